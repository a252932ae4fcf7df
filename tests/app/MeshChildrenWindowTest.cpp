// Hair with children grown on a mesh, in the real window: loaded on its mesh,
// drawn as tressmoor-render draws the file on that mesh, saved as
// tressmoor-grow writes it, grown again with its children, and refused without
// its mesh changing nothing.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "MeshWindowSupport.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "hair/HairStore.h"
#include "view/DenseHairLines.h"
#include "view/HairView.h"

namespace {

int grow(const std::string& options, const std::string& out)
{
    return run(std::string(TRESSMOOR_GROW_BINARY) + " " + options + " --out '" + out + "'");
}

uint64_t childLineCount()
{
    const DenseHairLines* lines = theAppWindow->view->childLines;
    return lines == nullptr ? 0 : lines->lineStrandCount();
}

struct DenseMeshCase {
    const char* name;
    std::string mesh;  // empty: the lumpy ball the test writes beside the hair
    Sliders sliders;
    const char* style;
    int growth;
    std::string children;  // tressmoor-grow's child options
    uint64_t perGuide;
    bool keepGuides;
    DisplayMode displayMode;
    const char* display;
    ViewState view;
    std::string viewOptions;  // the same view for tressmoor-render
};

const DenseMeshCase kDenseCases[] = {
    {"ball_around_smooth", "", {15, 30, 4, 3, 10}, "messy", 1, "--children 12 --frizz 1", 12, true,
     DisplayMode::Smooth, "smooth", {}, ""},
    {"ball_between_dropped_texture", "", {20, 40, 5, 3, 12}, "combed", 2,
     "--children 20 --child-mode between --guides drop --tip-width 0.3", 20, false,
     DisplayMode::Texture, "texture", {1.3f, 25.0f, -40.0f, 30.0f, -20.0f},
     "--rotate-x 25 --rotate-z -40 --translate 30,-20 --zoom 1.3"},
    {"wuson_clumped_wireframe", TRESSMOOR_ASSIMP_MODELS "/PLY/Wuson.ply", {4, 30, 8, 5, 10}, "messy",
     1, "--children 8 --clump 0.8 --child-radius 6 --seed 5", 8, true, DisplayMode::Wireframe,
     "wireframe", {1.8f, -75.0f, 0.0f, 0.0f, 0.0f}, "--rotate-x -75 --zoom 1.8"},
    {"cube_dropped_third_growth", TRESSMOOR_ASSIMP_MODELS "/PLY/cube.ply", {12, 20, 3, 4, 8},
     "messy", 3, "--children 10 --guides drop --root-width 3", 10, false, DisplayMode::Smooth,
     "smooth", {}, ""},
};

class DenseMeshInWindow : public testing::TestWithParam<DenseMeshCase> {};

std::string caseName(const testing::TestParamInfo<DenseMeshCase>& info)
{
    return info.param.name;
}

void PrintTo(const DenseMeshCase& c, std::ostream* out)
{
    *out << c.name;
}

}  // namespace

TEST_P(DenseMeshInWindow, LoadsOnItsMeshDrawsAsTheRendererAndSavesWhatTheToolWrote)
{
    const DenseMeshCase& c = GetParam();
    const std::string folder = freshFolder(std::string("mesh-children-window-") + c.name);
    const std::string mesh = c.mesh.empty() ? writeLumpyBall(folder + "/ball.obj") : c.mesh;
    const std::string options = recipeOptions(c.sliders, c.style) + " --growth " +
                                std::to_string(c.growth) + " --mesh '" + mesh + "' " + c.children;
    const std::string file = folder + "/fur.hair";
    ASSERT_EQ(grow(options, file), 0) << options;

    HairView* view = freshWindow();
    HairSettings& s = settings();
    moveSliders({5, 5, 2, 2, 14});
    pick("Torus");
    s.meshPath.clear();
    s.displayMode = c.displayMode;
    setView(view, c.view);
    chooserAnswer = mesh;
    chooserFolders.clear();
    ASSERT_TRUE(loadHairFile(s, file)) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(chooserFolders.size(), c.mesh.empty() ? 0u : 1u)
        << "the mesh beside the hair is found without asking";
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(s.meshPath, mesh);
    EXPECT_EQ(markedShape(), "Mesh...");
    EXPECT_EQ(s.style, strcmp(c.style, "combed") == 0 ? HairStyle::Combed : HairStyle::Messy);
    EXPECT_EQ(s.growth, c.growth);
    EXPECT_EQ(theAppWindow->hairsSlider->value(), c.sliders.hairs);
    EXPECT_EQ(theAppWindow->clustersSlider->value(), c.sliders.clusters);
    EXPECT_EQ(theAppWindow->partsSlider->value(), c.sliders.parts);
    EXPECT_EQ(view->guideTubes, c.keepGuides);
    const uint64_t guides = uint64_t(c.sliders.clusters) * c.sliders.clusters * c.sliders.hairs;
    EXPECT_EQ(childLineCount(), guides * c.perGuide);

    const std::string picturePath = folder + "/render.png";
    ASSERT_EQ(run(std::string("env -u DISPLAY ") + TRESSMOOR_RENDER_BINARY + " --hair '" + file +
                  "' --mesh '" + mesh + "' --display " + c.display + " " + c.viewOptions +
                  " --image '" + picturePath + "'"),
              0);
    EXPECT_GE(framePicturedAs(view, picturePath, c.name), 0);
    // Without the children the frame would be another: they are drawn.
    DenseHairLines* lines = view->childLines;
    view->childLines = nullptr;
    EXPECT_GT(framePicturedAs(view, picturePath, std::string(c.name) + " without children", false),
              50);
    view->childLines = lines;

    expectSavedAsTheToolWrites(s, options, folder + "/loaded");
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DenseMeshInWindow, testing::ValuesIn(kDenseCases), caseName);

// Render Hair after the load goes on with the fresh run's sequence on the mesh,
// so the next growth is tressmoor-grow's next, its children and all.
TEST(DenseMeshGrowth, RenderHairGrowsTheToolsNextGrowthWithTheFilesChildren)
{
    const std::string folder = freshFolder("mesh-children-window-growth");
    const std::string mesh = writeLumpyBall(folder + "/ball.obj");
    const std::string options = "--mesh '" + mesh + "' --hairs 5 --clusters 3 --length 14 " +
                                "--children 9 --child-mode between --guides drop --clump 0.3";
    ASSERT_EQ(grow(options + " --growth 2", folder + "/second.hair"), 0);
    freshWindow();
    HairSettings& s = settings();
    ASSERT_TRUE(loadHairFile(s, folder + "/second.hair")) << (messages.empty() ? "" : messages[0]);
    for (int growth = 3; growth <= 4; ++growth) {
        pressRenderHair();
        EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
        EXPECT_EQ(childLineCount(), 5u * 3u * 3u * 9u) << "growth " << growth;
        const std::string tool = folder + "/tool-" + std::to_string(growth) + ".hair";
        const std::string window = folder + "/window-" + std::to_string(growth) + ".hair";
        ASSERT_EQ(grow(options + " --growth " + std::to_string(growth), tool), 0);
        ASSERT_TRUE(saveHairFile(s, window)) << (messages.empty() ? "" : messages[0]);
        EXPECT_TRUE(readBytes(tool) == readBytes(window)) << "growth " << growth;
    }
    // The sliders grow other guides, with the same children each.
    moveSliders({14, 1, 3, 4, 8});
    pressRenderHair();
    EXPECT_EQ(childLineCount(), 3u * 4u * 4u * 9u);
}

// Another shape or mesh takes the children along, as the shapes do; a plain
// file brings the window back to hair without children.
TEST(DenseMeshGrowth, ShapesAndMeshesKeepTheChildrenAPlainFileEndsThem)
{
    const std::string folder = freshFolder("mesh-children-window-shapes");
    const std::string ball = writeLumpyBall(folder + "/ball.obj");
    const std::string children = " --children 6 --frizz 2 --seed 4";
    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 4 --clusters 2" + children, folder + "/dense.hair"), 0);
    freshWindow();
    HairSettings& s = settings();
    ASSERT_TRUE(loadHairFile(s, folder + "/dense.hair"));
    ASSERT_EQ(childLineCount(), 4u * 2u * 2u * 6u);

    pick("Sphere");
    EXPECT_EQ(s.shape, UnderlyingShape::Sphere);
    EXPECT_EQ(childLineCount(), 4u * 2u * 2u * 6u);

    // A fresh run on the other mesh, saved as the tool writes its first growth.
    const std::string cube = TRESSMOOR_ASSIMP_MODELS "/PLY/cube.ply";
    srand(1);
    s.growthsRun = 0;
    pickMesh(cube);
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(markedShape(), "Mesh...");
    EXPECT_EQ(childLineCount(), 4u * 2u * 2u * 6u);
    ASSERT_TRUE(saveHairFile(s, folder + "/window.usda"));
    ASSERT_EQ(grow("--mesh '" + cube + "' --hairs 4 --clusters 2 --length 10 --rest-angle 1 --parts 10" +
                       children,
                   folder + "/tool.usda"),
              0);
    EXPECT_TRUE(readBytes(folder + "/tool.usda") == readBytes(folder + "/window.usda"));

    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 2", folder + "/plain.hair"), 0);
    ASSERT_TRUE(loadHairFile(s, folder + "/plain.hair"));
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(theAppWindow->view->childLines, nullptr);
    EXPECT_TRUE(theAppWindow->view->guideTubes);
    ASSERT_TRUE(saveHairFile(s, folder + "/plain-again.hair"));
    EXPECT_TRUE(readBytes(folder + "/plain.hair") == readBytes(folder + "/plain-again.hair"));
}

// Without its mesh, hair with children is refused naming the mesh it needs,
// its dropped guides grown again or not, and the window is left as it was.
TEST(DenseMeshLoad, AMissingOrDifferentMeshIsRefusedAndChangesNothing)
{
    const std::string folder = freshFolder("mesh-children-window-refused");
    const std::string meshes = freshFolder("mesh-children-window-refused-meshes");
    const std::string ball = writeLumpyBall(meshes + "/ball.obj");
    const std::string needed = hashTextOf(ball);
    const std::string other = TRESSMOOR_ASSIMP_MODELS "/PLY/cube.ply";
    Bytes changed = readBytes(ball);
    changed.push_back('\n');
    writeBytes(meshes + "/changed.obj", changed);
    const std::string kept = folder + "/kept.hair";
    const std::string dropped = folder + "/dropped.hair";
    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 3 --clusters 2 --children 5", kept), 0);
    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 3 --clusters 2 --children 5 --guides drop --growth 2",
                   dropped),
              0);

    freshWindow();
    HairSettings& s = settings();
    ASSERT_EQ(grow("--shape sphere --hairs 2 --clusters 2 --children 7", folder + "/shown.hair"), 0);
    ASSERT_TRUE(loadHairFile(s, folder + "/shown.hair"));
    s.meshPath.clear();
    const WindowState state = WindowState::now();
    const std::string marked = markedShape();
    const DenseHairLines* lines = theAppWindow->view->childLines;
    ASSERT_NE(lines, nullptr);
    for (const std::string& hair : {kept, dropped}) {
        for (const std::string& answer : {std::string(), other, meshes + "/changed.obj",
                                          meshes + "/missing.obj"}) {
            messages.clear();
            chooserAnswer = answer;
            EXPECT_FALSE(loadHairFile(s, hair)) << answer;
            ASSERT_EQ(messages.size(), 1u) << answer;
            EXPECT_NE(messages[0].find(needed), std::string::npos) << messages[0];
            EXPECT_NE(messages[0].find(hair), std::string::npos) << messages[0];
            EXPECT_EQ(messages[0].find('\n'), std::string::npos) << messages[0];
            EXPECT_TRUE(WindowState::now() == state) << hair << " with " << answer;
            EXPECT_EQ(markedShape(), marked);
            EXPECT_EQ(theAppWindow->view->childLines, lines);
            EXPECT_EQ(childLineCount(), 2u * 2u * 2u * 7u);
        }
    }
}

// Beside the hair, the mesh named as the hair file is hashed first, and every
// format assimp imports is looked at, but nothing it does not.
TEST(DenseMeshLoad, TheMeshBesideTheHairIsFoundByItsNameFirstAmongAssimpsFormats)
{
    const std::string folder = freshFolder("mesh-children-window-beside");
    const std::string ball = writeLumpyBall(folder + "/fur.obj");
    writeBytes(folder + "/a-copy.obj", readBytes(ball));
    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 2 --clusters 2 --children 3", folder + "/fur.hair"), 0);
    freshWindow();
    HairSettings& s = settings();
    s.meshPath.clear();
    chooserAnswer = "";
    ASSERT_TRUE(loadHairFile(s, folder + "/fur.hair")) << (messages.empty() ? "" : messages[0]);
    EXPECT_EQ(s.meshPath, ball) << "the mesh of the hair file's name, before the others";
    EXPECT_TRUE(chooserFolders.empty());

    // DirectX's .x is not among the endings people bring most, but assimp reads it.
    const std::string xFolder = freshFolder("mesh-children-window-beside-x");
    ASSERT_EQ(run(std::string("cp '") + TRESSMOOR_ASSIMP_MODELS + "/X/Testwuson.X' '" + xFolder + "/'"), 0);
    ASSERT_EQ(grow("--mesh '" + xFolder + "/Testwuson.X' --hairs 2 --clusters 2 --children 3",
                   xFolder + "/groom.hair"),
              0);
    writeBytes(xFolder + "/groom.obj.bak", readBytes(ball));
    s.meshPath.clear();
    ASSERT_TRUE(loadHairFile(s, xFolder + "/groom.hair")) << (messages.empty() ? "" : messages[0]);
    EXPECT_EQ(s.meshPath, xFolder + "/Testwuson.X");
    EXPECT_TRUE(chooserFolders.empty());
    EXPECT_EQ(childLineCount(), 2u * 2u * 2u * 3u);

    // A copy under a name assimp does not import is not looked at.
    const std::string bakFolder = freshFolder("mesh-children-window-beside-bak");
    writeBytes(bakFolder + "/fur.obj.bak", readBytes(ball));
    writeBytes(bakFolder + "/fur.hair", readBytes(folder + "/fur.hair"));
    s.meshPath.clear();
    messages.clear();
    EXPECT_FALSE(loadHairFile(s, bakFolder + "/fur.hair"));
    EXPECT_EQ(chooserFolders.size(), 1u) << "asked for, since none beside is the mesh";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(hashTextOf(ball)), std::string::npos) << messages[0];
}

// A point the fit takes beyond what a strand's tube is built from is refused,
// where it was shown.
TEST(DenseMeshLoad, APointFarOutsideItsMeshIsRefused)
{
    const std::string folder = freshFolder("mesh-children-window-far");
    const std::string ball = writeLumpyBall(folder + "/ball.obj");
    ASSERT_EQ(grow("--mesh '" + ball + "' --hairs 2 --clusters 2", folder + "/fur.hair"), 0);
    Bytes bytes = readBytes(folder + "/fur.hair");
    // The fifth point's y, little-endian, as 3e38: finite, but far beyond any mesh.
    const unsigned char far[4] = {0xe6, 0xb1, 0x61, 0x7f};
    std::copy(far, far + 4, bytes.begin() + 128 + 12 * 4 + 4);
    writeBytes(folder + "/fur.hair", bytes);
    freshWindow();
    HairSettings& s = settings();
    pick("Plane");
    const WindowState state = WindowState::now();
    EXPECT_FALSE(loadHairFile(s, folder + "/fur.hair"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("point 5 lies far outside its mesh"), std::string::npos) << messages[0];
    EXPECT_TRUE(WindowState::now() == state);
}
