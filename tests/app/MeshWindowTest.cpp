// "Mesh..." in the real window: the chooser answered, the hair grown on the mesh
// drawn as tressmoor-render --mesh draws it, saved as tressmoor-grow --mesh
// writes it, and bad files or a cancel changing nothing.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "MeshWindowSupport.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "app/MeshCommands.h"
#include "formats/MeshReader.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

namespace {

struct MeshCase {
    const char* name;
    std::string mesh;  // empty: the lumpy ball the test writes
    Sliders sliders;
    const char* style;
    DisplayMode displayMode;
    const char* display;
    int growth;
    bool controlNets = false;  // Control Points and Control Polygon both on
    ViewState view = {};
    std::string viewOptions = "";  // the same view for tressmoor-render
};

const MeshCase kCases[] = {
    {"ball_smooth", "", {15, 30, 6, 4, 10}, "messy", DisplayMode::Smooth, "smooth", 1},
    {"ball_texture_combed", "", {25, 60, 4, 3, 12}, "combed", DisplayMode::Texture, "texture", 2},
    {"cube_ply_wireframe", TRESSMOOR_ASSIMP_MODELS "/PLY/cube.ply", {10, 20, 5, 3, 10}, "messy",
     DisplayMode::Wireframe, "wireframe", 1},
    {"spider_obj_smooth", TRESSMOOR_ASSIMP_MODELS "/OBJ/spider.obj", {12, 45, 3, 5, 8}, "combed",
     DisplayMode::Smooth, "smooth", 1},
    {"ball_nets_turned", "", {20, 40, 3, 2, 8}, "messy", DisplayMode::Smooth, "smooth", 3, true,
     {1.4f, 35.0f, -50.0f, 20.0f, -10.0f},
     "--control-points --control-polygon --rotate-x 35 --rotate-z -50 --translate 20,-10 "
     "--zoom 1.4"},
    {"wuson_ply_texture_turned", TRESSMOOR_ASSIMP_MODELS "/PLY/Wuson.ply", {4, 30, 8, 6, 10},
     "messy", DisplayMode::Texture, "texture", 1, false, {1.8f, -75.0f, 0.0f, 0.0f, 0.0f},
     "--rotate-x -75 --zoom 1.8"},
};

class MeshInWindow : public testing::TestWithParam<MeshCase> {};

std::string caseName(const testing::TestParamInfo<MeshCase>& info)
{
    return info.param.name;
}

void PrintTo(const MeshCase& c, std::ostream* out)
{
    *out << c.name;
}

}  // namespace

// glibc's rand() starts as if seeded with 1, so srand(1) and no growths yet make
// the window a fresh run of the tools.
TEST_P(MeshInWindow, GrowsDrawsAsTheRendererAndSavesWhatTheToolWrites)
{
    const MeshCase& c = GetParam();
    const std::string folder = freshFolder(std::string("mesh-window-") + c.name);
    const std::string mesh = c.mesh.empty() ? writeLumpyBall(folder + "/ball.obj") : c.mesh;

    HairView* view = freshWindow();
    HairSettings& s = settings();
    s.displayMode = c.displayMode;
    s.controlPoints = c.controlNets;
    s.controlPolygon = c.controlNets;
    setView(view, c.view);
    moveSliders(c.sliders);
    pick(strcmp(c.style, "combed") == 0 ? "Combed" : "Messy");
    srand(1);
    s.growthsRun = 0;
    pickMesh(mesh);
    for (int g = 2; g <= c.growth; ++g) {
        pressRenderHair();
    }
    ASSERT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_TRUE(hairStore.hairGrown);
    EXPECT_EQ(s.growth, c.growth);
    EXPECT_EQ(markedShape(), "Mesh...");
    ASSERT_NE(s.meshGround, nullptr);

    const std::string options = recipeOptions(c.sliders, c.style) + " --growth " +
                                std::to_string(c.growth) + " --mesh '" + mesh + "'";
    const std::string picturePath = folder + "/render.png";
    ASSERT_EQ(run(std::string("env -u DISPLAY ") + TRESSMOOR_RENDER_BINARY + " " + options +
                  " --display " + c.display + " " + c.viewOptions + " --image '" + picturePath +
                  "'"),
              0)
        << options;
    EXPECT_GE(framePicturedAs(view, picturePath, c.name), 0);
    s.controlPoints = false;
    s.controlPolygon = false;

    expectSavedAsTheToolWrites(s, options, folder + "/grown");
}

INSTANTIATE_TEST_SUITE_P(Meshes, MeshInWindow, testing::ValuesIn(kCases), caseName);

TEST(MeshMenu, BadFilesAreRefusedInOneLineNamingTheFileAndChangeNothing)
{
    const std::string folder = freshFolder("mesh-window-bad");
    writeBytes(folder + "/empty.obj", Bytes());
    const std::string garbage = "solid nothing\n\x01\x02 not a mesh at all\n";
    writeBytes(folder + "/garbage.ply", Bytes(garbage.begin(), garbage.end()));
    const std::string points = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    writeBytes(folder + "/points.obj", Bytes(points.begin(), points.end()));
    const std::string flat = "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n";
    writeBytes(folder + "/flat.obj", Bytes(flat.begin(), flat.end()));
    const std::string good = writeLumpyBall(folder + "/ball.obj");

    for (const char* before : {"Sphere", "Mesh..."}) {
        HairView* view = freshWindow();
        HairSettings& s = settings();
        moveSliders({10, 20, 3, 2, 10});
        if (strcmp(before, "Sphere") == 0) {
            pick("Sphere");
        } else {
            pickMesh(good);
        }
        ASSERT_TRUE(messages.empty());
        const std::vector<Bytes> strands = currentStrands(hairStore);
        const MeshGround* ground = s.meshGround.get();
        const UnderlyingShape shape = s.shape;
        const int growth = s.growth;
        const std::string marked = markedShape();
        for (const char* name : {"empty.obj", "garbage.ply", "points.obj", "flat.obj", "missing.obj"}) {
            const std::string path = folder + "/" + name;
            messages.clear();
            view->clear_damage();
            pickMesh(path);
            ASSERT_EQ(messages.size(), 1u) << name;
            EXPECT_NE(messages[0].find(path), std::string::npos) << messages[0];
            EXPECT_EQ(messages[0].find('\n'), std::string::npos) << messages[0];
            EXPECT_EQ(s.shape, shape) << name;
            EXPECT_EQ(s.meshGround.get(), ground) << name;
            EXPECT_EQ(s.growth, growth) << name;
            EXPECT_EQ(firstDifference(strands, currentStrands(hairStore)), "") << name;
            EXPECT_EQ(markedShape(), marked) << name << " after " << before;
        }
    }
}

TEST(MeshMenu, CancellingChangesNothing)
{
    HairView* view = freshWindow();
    HairSettings& s = settings();
    for (const char* name : {"Plane", "Sphere", "Torus", "Mesh..."}) {
        const_cast<Fl_Menu_Item*>(
            theAppWindow->menuBar->find_item((std::string("Under Lying Shape/") + name).c_str()))
            ->clear();
    }
    pickMesh("");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(s.shape, UnderlyingShape::NoShape);
    EXPECT_FALSE(hairStore.hairGrown);
    EXPECT_EQ(markedShape(), "") << "no shape is marked before one is chosen";

    moveSliders({10, 20, 3, 2, 10});
    pick("Torus");
    const std::vector<Bytes> strands = currentStrands(hairStore);
    const int growth = s.growth;
    view->clear_damage();
    pickMesh("");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(s.shape, UnderlyingShape::Torus);
    EXPECT_EQ(s.growth, growth);
    EXPECT_EQ(firstDifference(strands, currentStrands(hairStore)), "");
    EXPECT_EQ(markedShape(), "Torus");
}

TEST(MeshMenu, TheChooserOpensInTheFolderOfTheLastMesh)
{
    freshWindow();
    HairSettings& s = settings();
    s.meshFolder.clear();
    pickMesh("");
    ASSERT_EQ(chooserFolders.size(), 1u);
    EXPECT_EQ(chooserFolders[0], chooserFolder(s)) << "at first, where the hair files go";

    const std::string folder = freshFolder("mesh-window-folder");
    moveSliders({10, 20, 2, 2, 10});
    pickMesh(writeLumpyBall(folder + "/ball.obj"));
    pickMesh(folder + "/missing.obj");
    pickMesh("");
    ASSERT_EQ(chooserFolders.size(), 4u);
    EXPECT_EQ(chooserFolders[2], folder);
    EXPECT_EQ(chooserFolders[3], folder) << "a file chosen but refused moves it too";
}

TEST(MeshMenu, StyleSlidersAndRenderHairRegrowOnTheMesh)
{
    const std::string folder = freshFolder("mesh-window-regrow");
    freshWindow();
    HairSettings& s = settings();
    moveSliders({10, 20, 3, 2, 10});
    pickMesh(writeLumpyBall(folder + "/ball.obj"));
    ASSERT_EQ(s.shape, UnderlyingShape::Mesh);
    std::vector<Bytes> last = currentStrands(hairStore);
    EXPECT_EQ(last.size(), 3u * 2u * 2u);

    pick("Combed");
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_NE(firstDifference(last, currentStrands(hairStore)), "") << "combed hair grew";
    last = currentStrands(hairStore);

    moveSliders({10, 20, 4, 3, 12});
    pressRenderHair();
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(currentStrands(hairStore).size(), 4u * 3u * 3u);

    pick("Sphere");
    EXPECT_EQ(s.shape, UnderlyingShape::Sphere);
    EXPECT_EQ(markedShape(), "Sphere");
    EXPECT_TRUE(messages.empty());
}

TEST_P(MeshInWindow, LoadBringsBackTheToolsHairOnItsMeshAndSavesItAgainByteForByte)
{
    const MeshCase& c = GetParam();
    const std::string folder = freshFolder(std::string("mesh-window-load-") + c.name);
    const std::string mesh = c.mesh.empty() ? writeLumpyBall(folder + "/ball.obj") : c.mesh;
    const std::string options = recipeOptions(c.sliders, c.style) + " --growth " +
                                std::to_string(c.growth) + " --mesh '" + mesh + "'";
    const std::string toolPath = folder + "/tool.hair";
    ASSERT_EQ(run(std::string(TRESSMOOR_GROW_BINARY) + " " + options + " --out '" + toolPath + "'"),
              0);

    // The grown hair in the window, to compare the loaded strands with.
    freshWindow();
    HairSettings& s = settings();
    moveSliders(c.sliders);
    pick(strcmp(c.style, "combed") == 0 ? "Combed" : "Messy");
    srand(1);
    s.growthsRun = 0;
    pickMesh(mesh);
    for (int g = 2; g <= c.growth; ++g) {
        pressRenderHair();
    }
    const std::vector<Bytes> grown = currentStrands(hairStore);

    moveSliders({5, 5, 2, 2, 14});
    pick("Torus");
    s.meshPath.clear();
    chooserAnswer = mesh;
    chooserFolders.clear();
    ASSERT_TRUE(loadHairFile(s, toolPath)) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(markedShape(), "Mesh...");
    EXPECT_EQ(theAppWindow->hairsSlider->value(), c.sliders.hairs);
    EXPECT_EQ(s.meshPath, mesh);
    EXPECT_EQ(chooserFolders.size(), c.mesh.empty() ? 0u : 1u)
        << "the mesh beside the hair is found without asking";
    // A growth on a mesh is held as its file holds it, so the load gives it back to the bit.
    EXPECT_EQ(firstDifference(grown, currentStrands(hairStore)), "");

    expectSavedAsTheToolWrites(s, options, folder + "/again");
}

TEST(MeshHairLoad, FindsTheMeshWhereItWasLastOpenedOrAsksForIt)
{
    const std::string meshes = freshFolder("mesh-window-meshes");
    const std::string hairs = freshFolder("mesh-window-hairs");
    const std::string ball = writeLumpyBall(meshes + "/ball.obj");
    const std::string hairPath = hairs + "/on-ball.hair";
    ASSERT_EQ(run(std::string(TRESSMOOR_GROW_BINARY) + " --mesh '" + ball +
                  "' --hairs 3 --clusters 2 --out '" + hairPath + "'"),
              0);

    freshWindow();
    HairSettings& s = settings();
    moveSliders({10, 20, 2, 2, 10});
    pickMesh(ball);
    pick("Sphere");
    chooserFolders.clear();
    ASSERT_TRUE(loadHairFile(s, hairPath)) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(chooserFolders.empty()) << "where the mesh was last opened";
    EXPECT_EQ(s.shape, UnderlyingShape::Mesh);
    EXPECT_EQ(s.hairs, 3);

    pick("Plane");
    s.meshPath.clear();
    chooserAnswer = ball;
    ASSERT_TRUE(loadHairFile(s, hairPath)) << (messages.empty() ? "" : messages[0]);
    ASSERT_EQ(chooserFolders.size(), 1u) << "asked for";
    EXPECT_EQ(chooserFolders[0], hairs);
    EXPECT_NE(chooserTitles.back().find(hashTextOf(ball)), std::string::npos)
        << "the chooser says which mesh it wants: " << chooserTitles.back();
    EXPECT_EQ(s.meshPath, ball);
}

TEST(MeshHairLoad, AMissingOrDifferentMeshIsRefusedNamingTheOneNeededAndChangesNothing)
{
    const std::string folder = freshFolder("mesh-window-wrong-mesh");
    const std::string meshes = freshFolder("mesh-window-wrong-mesh-meshes");
    const std::string ball = writeLumpyBall(meshes + "/ball.obj");
    const std::string hairPath = folder + "/on-ball.hair";
    ASSERT_EQ(run(std::string(TRESSMOOR_GROW_BINARY) + " --mesh '" + ball +
                  "' --hairs 3 --clusters 2 --out '" + hairPath + "'"),
              0);
    const std::string needed = hashTextOf(ball);
    // Beside the hair, a mesh that is not its own: looked at, and passed over.
    const std::string other = folder + "/other.ply";
    ASSERT_EQ(run(std::string("cp '") + TRESSMOOR_ASSIMP_MODELS + "/PLY/cube.ply' '" + other + "'"), 0);
    // The same mesh changed by a byte is another mesh.
    Bytes changed = readBytes(ball);
    changed.back() = '\n';
    changed.push_back('\n');
    writeBytes(meshes + "/changed.obj", changed);

    for (const char* before : {"Torus", "Mesh..."}) {
        freshWindow();
        HairSettings& s = settings();
        moveSliders({10, 20, 2, 2, 10});
        if (strcmp(before, "Torus") == 0) {
            pick("Torus");
            s.meshPath.clear();
        } else {
            pickMesh(other);
        }
        const WindowState state = WindowState::now();
        const std::string marked = markedShape();
        for (const std::string& answer :
             {std::string(), other, meshes + "/changed.obj", meshes + "/missing.obj"}) {
            messages.clear();
            chooserAnswer = answer;
            EXPECT_FALSE(loadHairFile(s, hairPath)) << answer;
            ASSERT_EQ(messages.size(), 1u) << answer;
            EXPECT_NE(messages[0].find(needed), std::string::npos) << messages[0];
            EXPECT_NE(messages[0].find(hairPath), std::string::npos) << messages[0];
            if (!answer.empty()) {
                EXPECT_NE(messages[0].find(answer), std::string::npos) << messages[0];
            }
            EXPECT_TRUE(WindowState::now() == state) << answer << " after " << before;
            EXPECT_EQ(markedShape(), marked);
        }
    }
}
