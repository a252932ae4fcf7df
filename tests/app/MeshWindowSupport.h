#ifndef TRESSMOOR_TESTS_APP_MESHWINDOWSUPPORT_H
#define TRESSMOOR_TESTS_APP_MESHWINDOWSUPPORT_H

#include <string>
#include <vector>

#include "HairTestSupport.h"
#include "PngReading.h"
#include "RenderSupport.h"
#include "WindowDriving.h"

class HairView;
class MeshGround;

// The real window with hair on meshes, driven as a person drives it, with its
// message dialogs and the mesh chooser answered by the test.

// The messages the window showed since the last freshWindow().
extern std::vector<std::string> messages;
// What the mesh chooser answers next ("" cancels), and the folders and titles
// it was asked to open with.
extern std::string chooserAnswer;
extern std::vector<std::string> chooserFolders;
extern std::vector<std::string> chooserTitles;

// The window at rest, its messages and the mesh chooser caught.
HairView* freshWindow();

// Pick "Mesh..." and answer the chooser with the path, or cancel with "".
void pickMesh(const std::string& path);

// The same recipe as the tools' options.
std::string recipeOptions(const Sliders& s, const char* style);

// The items of Under Lying Shape that are marked, joined.
std::string markedShape();

// A lumpy ball of triangles, outward-wound, in units far from the view's.
std::string writeLumpyBall(const std::string& path);

// As in the other rendered-against-window tests: where two surfaces meet at one
// depth, Xvfb's 32-bit depth buffer and OSMesa's 24-bit one round differently.
constexpr long kCrossingPixels = 8;

// The view turned, moved and zoomed as a person would with the mouse.
void setView(HairView* view, const ViewState& state);

// The pixels of the view's frame that differ from the picture tressmoor-render
// wrote, said on standard output under the name. With expectSame, at most
// kCrossingPixels are expected to, and the frame is written beside the
// picture when more do. -1 when the two cannot be compared.
long framePicturedAs(HairView* view, const std::string& picturePath, const std::string& name,
                     bool expectSame = true);

// Save the window's hair in every format beside tressmoor-grow's files of the
// same options, named by prefix, and expect the same bytes.
void expectSavedAsTheToolWrites(HairSettings& settings, const std::string& growOptions,
                                const std::string& prefix);

std::string hashTextOf(const std::string& meshPath);

// The window's whole state that a refused load must leave, as one comparable value.
struct WindowState {
    UnderlyingShape shape;
    int hairs, clusters, parts, length;
    const MeshGround* ground;
    std::string meshPath;
    std::vector<Bytes> strands;

    static WindowState now();
    bool operator==(const WindowState& o) const;
};

#endif
