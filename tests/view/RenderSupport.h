#ifndef TRESSMOOR_TESTS_VIEW_RENDERSUPPORT_H
#define TRESSMOOR_TESTS_VIEW_RENDERSUPPORT_H

#include <array>
#include <string>
#include <vector>

#include "HairTestSupport.h"
#include "app/HairSettings.h"
#include "geometry/NurbsSurface.h"

class HairView;

// The main window, created once and shown; its view has drawn at least once.
HairView* shownView();
HairSettings& settings();

// Let FLTK run one real draw pass of the view (initialising it if invalid).
void drawThroughFltk(HairView* view);

// Everything the draw pass reads back at rest: view state, Smooth mode, no hair.
void resetScene(HairView* view);

// Test messages show a display or zoom mode by its code, as the settings hold it.
std::ostream& operator<<(std::ostream& out, DisplayMode mode);
std::ostream& operator<<(std::ostream& out, ZoomMode mode);

struct HairSize {
    int clusters;
    int hairs;
    int length;
    int restAngle;
};
constexpr HairSize kTinyHair = {1, 1, 2, 1};
constexpr HairSize kScreenshotHair = {3, 10, 20, 10};

// Set the shape, build the sphere or torus surface and grow hair on it.
void growOn(UnderlyingShape shape, HairSize size);

std::string describe(UnderlyingShape shape, HairSize size);

struct Rgb {
    int r;
    int g;
    int b;
};

// One frame of the view, row 0 at the bottom as GL reads it.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const;
    bool isClear(int x, int y) const;
    int countNonClear() const;
};

// The clear colour as the frame buffer holds it.
constexpr Rgb kClearBytes = {26, 51, 76};
bool nearColour(Rgb a, Rgb b, int tolerance = 1);

// A real FLTK pass, then one more pass straight into the back buffer, read back.
Frame renderFrame(HairView* view);

// Through the program's own PNG writer, which shows the view the right way up.
bool writePng(const std::string& path, const Frame& frame);

using Matrix = std::array<double, 16>;  // column-major, as GL keeps it

// The draw pass's whole transform, orthographic box included, built without GL.
Matrix sceneMatrix(const HairView& view);
// A model point through the matrix and the viewport: window x, y and depth.
std::array<double, 3> toWindow(const Matrix& m, const float position[3], int width, int height);

#endif
