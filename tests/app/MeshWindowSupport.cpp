#include "MeshWindowSupport.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "app/MeshCommands.h"
#include "app/ShownChildren.h"
#include "formats/MeshReader.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

std::vector<std::string> messages;
std::string chooserAnswer;
std::vector<std::string> chooserFolders;
std::vector<std::string> chooserTitles;

namespace {

void captureMessage(HairFileMessage, const std::string& text)
{
    messages.push_back(text);
}

std::string answerChooser(const std::string& title, const std::string& folder)
{
    chooserTitles.push_back(title);
    chooserFolders.push_back(folder);
    return chooserAnswer;
}

}  // namespace

HairView* freshWindow()
{
    HairView* view = shownView();
    resetScene(view);
    // As the program starts: no children, none drawn.
    settings().children = ChildRequest();
    std::string unused;
    showChildrenOf(settings(), unused);
    showHairFileMessage = captureMessage;
    chooseMeshPath = answerChooser;
    messages.clear();
    chooserFolders.clear();
    return view;
}

void pickMesh(const std::string& path)
{
    chooserAnswer = path;
    pick("Mesh...");
}

std::string recipeOptions(const Sliders& s, const char* style)
{
    std::ostringstream out;
    out << "--style " << style << " --length " << s.length << " --rest-angle " << s.restAngle
        << " --hairs " << s.hairs << " --clusters " << s.clusters << " --parts " << s.parts;
    return out.str();
}

std::string markedShape()
{
    std::string marked;
    for (const char* name : {"Plane", "Sphere", "Torus", "Mesh..."}) {
        const Fl_Menu_Item* item =
            theAppWindow->menuBar->find_item((std::string("Under Lying Shape/") + name).c_str());
        if (item != nullptr && item->value() != 0) {
            marked += name;
        }
    }
    return marked;
}

std::string writeLumpyBall(const std::string& path)
{
    constexpr int kRings = 12;
    constexpr int kSegments = 18;
    std::ostringstream text;
    text << "v 5000 200 -30\n";
    for (int r = 1; r < kRings; ++r) {
        const double theta = M_PI * r / kRings;
        for (int s = 0; s < kSegments; ++s) {
            const double phi = 2.0 * M_PI * s / kSegments;
            const double radius = 40.0 * (1.0 + 0.2 * std::sin(3.0 * phi) * std::sin(theta));
            text << "v " << 5000 + radius * std::sin(theta) * std::cos(phi) << " "
                 << 200 + radius * std::sin(theta) * std::sin(phi) << " "
                 << -30 + 40.0 * std::cos(theta) << "\n";
        }
    }
    text << "v 5000 200 -70\n";
    const int bottom = 2 + (kRings - 1) * kSegments;
    auto at = [](int ring, int s) { return 2 + (ring - 1) * kSegments + s % kSegments; };
    for (int s = 0; s < kSegments; ++s) {
        text << "f 1 " << at(1, s) << " " << at(1, s + 1) << "\n";
        for (int r = 1; r + 1 < kRings; ++r) {
            text << "f " << at(r, s) << " " << at(r + 1, s) << " " << at(r + 1, s + 1) << " "
                 << at(r, s + 1) << "\n";
        }
        text << "f " << bottom << " " << at(kRings - 1, s + 1) << " " << at(kRings - 1, s) << "\n";
    }
    const std::string written = text.str();
    writeBytes(path, Bytes(written.begin(), written.end()));
    return path;
}

std::string hashTextOf(const std::string& meshPath)
{
    uint64_t hash = 0;
    std::string problem;
    EXPECT_TRUE(hashMeshFile(meshPath, hash, problem)) << problem;
    return meshHashText(hash);
}

WindowState WindowState::now()
{
    const HairSettings& s = settings();
    return {s.shape, s.hairs, s.clusters, s.parts, s.length, s.meshGround.get(), s.meshPath,
            currentStrands(hairStore)};
}

bool WindowState::operator==(const WindowState& o) const
{
    return shape == o.shape && hairs == o.hairs && clusters == o.clusters && parts == o.parts &&
           length == o.length && ground == o.ground && meshPath == o.meshPath &&
           strands == o.strands;
}

void setView(HairView* view, const ViewState& state)
{
    view->zoomFactor = state.zoomFactor;
    view->rotationX = state.rotationX;
    view->rotationZ = state.rotationZ;
    view->translationX = state.translationX;
    view->translationY = state.translationY;
}

long framePicturedAs(HairView* view, const std::string& picturePath, const std::string& name,
                     bool expectSame)
{
    PngPicture picture;
    std::string problem;
    EXPECT_TRUE(readPng(picturePath, picture, problem)) << problem;
    const Frame frame = renderFrame(view);
    EXPECT_EQ(picture.width, frame.width);
    EXPECT_EQ(picture.height, frame.height);
    if (picture.width != frame.width || picture.height != frame.height) {
        return -1;
    }
    EXPECT_GT(frame.countNonClear(), frame.width * frame.height / 100) << "the mesh and hair show";
    const long differing = differingPixels(frame, picture);
    std::cout << name << ": " << differing << " pixels differ\n";
    if (expectSame) {
        EXPECT_LE(differing, kCrossingPixels) << name;
    }
    if (expectSame && differing > kCrossingPixels) {
        writePng(picturePath.substr(0, picturePath.find_last_of('/')) + "/window.png", frame);
    }
    return differing;
}

void expectSavedAsTheToolWrites(HairSettings& settings, const std::string& growOptions,
                                const std::string& prefix)
{
    for (const char* extension : {".hair", ".obj", ".usda"}) {
        const std::string windowPath = prefix + "-window" + extension;
        const std::string toolPath = prefix + "-tool" + extension;
        ASSERT_TRUE(saveHairFile(settings, windowPath)) << (messages.empty() ? "" : messages.back());
        ASSERT_EQ(run(std::string(TRESSMOOR_GROW_BINARY) + " " + growOptions + " --out '" +
                      toolPath + "'"),
                  0)
            << growOptions;
        const Bytes tool = readBytes(toolPath);
        EXPECT_FALSE(tool.empty());
        EXPECT_TRUE(tool == readBytes(windowPath)) << extension << ": " << growOptions;
    }
}
