// tressmoor-render --mesh: the user's mesh drawn under its hair, read back as pixels.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "PngReading.h"
#include "ToolRunSupport.h"
#include "formats/MeshReader.h"

namespace {

const std::string& meshFolder()
{
    static const std::string made = freshFolder("mesh-render-" + std::to_string(getpid()));
    return made;
}

ToolRun renderMesh(const std::string& arguments)
{
    return runTool(std::string(TRESSMOOR_RENDER_BINARY) + " " + arguments, meshFolder(),
                   "cd '" + meshFolder() + "' && ");
}

// A cube whose faces wind counter-clockwise seen from outside, or from inside,
// with its corners at ±1 about the given centre.
std::string cubeFile(bool outward, double centre = 0.0)
{
    const char* faces[6][4] = {{"1", "4", "3", "2"}, {"5", "6", "7", "8"}, {"1", "2", "6", "5"},
                               {"3", "4", "8", "7"}, {"2", "3", "7", "6"}, {"1", "5", "8", "4"}};
    const int corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                               {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    std::string text;
    for (const auto& corner : corners) {
        text += "v";
        for (int a = 0; a < 3; ++a) {
            text += " " + std::to_string(centre + corner[a]);
        }
        text += "\n";
    }
    for (const auto& face : faces) {
        text += "f";
        for (int k = 0; k < 4; ++k) {
            text += std::string(" ") + face[outward ? k : 3 - k];
        }
        text += "\n";
    }
    const std::string name = centre != 0.0 ? "far.obj" : outward ? "out.obj" : "in.obj";
    writeBytes(meshFolder() + "/" + name, Bytes(text.begin(), text.end()));
    return name;
}

bool isClearPixel(const unsigned char* p)
{
    return std::abs(p[0] - 26) <= 1 && std::abs(p[1] - 51) <= 1 && std::abs(p[2] - 76) <= 1;
}

struct Coverage {
    int drawn = 0;
    double brightness = 0.0;  // mean of r + g + b over the drawn pixels
    double upper = 0.0;       // the same over the picture's upper and lower halves
    double lower = 0.0;
};

Coverage coverage(const std::string& name)
{
    PngPicture shown;
    std::string problem;
    EXPECT_TRUE(readPng(meshFolder() + "/" + name, shown, problem)) << problem;
    Coverage c;
    int upper = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const unsigned char* p = shown.at(x, y);
            if (!isClearPixel(p)) {
                const int sum = p[0] + p[1] + p[2];
                ++c.drawn;
                c.brightness += sum;
                // Rows run from the bottom up.
                if (y >= shown.height / 2) {
                    ++upper;
                    c.upper += sum;
                } else {
                    c.lower += sum;
                }
            }
        }
    }
    c.brightness /= c.drawn > 0 ? c.drawn : 1;
    c.upper /= upper > 0 ? upper : 1;
    c.lower /= c.drawn - upper > 0 ? c.drawn - upper : 1;
    return c;
}

const char kBare[] = " --hairs 1 --clusters 1 --length 1 --parts 8 ";

}  // namespace

// The mesh is lit on the side its winding faces out: the light comes from
// above, so the cube's top shines; wound the other way, its normals point in,
// and it is lit where the inside faces up, at the bottom.
TEST(MeshRender, TheMeshIsLitOnTheSideItsWindingFacesOut)
{
    for (bool outward : {true, false}) {
        const std::string mesh = cubeFile(outward);
        const ToolRun run = renderMesh("--mesh " + mesh + kBare + "--display smooth --image " + mesh + ".png");
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const Coverage out = coverage("out.obj.png");
    const Coverage in = coverage("in.obj.png");
    // The cube fitted into the sphere's place covers a good part of the picture.
    EXPECT_GT(out.drawn, 20000);
    EXPECT_NEAR(in.drawn, out.drawn, out.drawn / 10);
    EXPECT_GT(out.upper, out.lower * 1.1) << out.upper << " above, " << out.lower << " below";
    EXPECT_GT(in.lower, in.upper * 1.1) << in.upper << " above, " << in.lower << " below";
}

// Wireframe draws the triangles' edges only, so the background shows through.
TEST(MeshRender, WireframeDrawsLinesAndSmoothFillsTheMesh)
{
    const std::string mesh = cubeFile(true);
    for (const char* mode : {"wireframe", "smooth"}) {
        const ToolRun run = renderMesh("--mesh " + mesh + kBare + "--display " + mode + " --image " + mode + ".png");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.find("ttotal"), std::string::npos);
    }
    const Coverage lines = coverage("wireframe.png");
    const Coverage filled = coverage("smooth.png");
    EXPECT_GT(lines.drawn, 1000);
    EXPECT_LT(lines.drawn, filled.drawn / 4);
}

// Hair grows on the mesh and is drawn over it, the same on every run.
TEST(MeshRender, HairIsDrawnOverTheMeshTheSameEveryRun)
{
    const std::string mesh = cubeFile(true);
    const std::string hair = " --hairs 20 --clusters 6 --length 20 --rest-angle 5 --display smooth";
    ASSERT_EQ(renderMesh("--mesh " + mesh + kBare + "--display smooth --image bare.png").status, 0);
    ASSERT_EQ(renderMesh("--mesh " + mesh + hair + " --image hairy.png").status, 0);
    ASSERT_EQ(renderMesh("--mesh " + mesh + hair + " --image again.png").status, 0);
    EXPECT_GT(coverage("hairy.png").drawn, coverage("bare.png").drawn * 11 / 10);
    EXPECT_EQ(readBytes(meshFolder() + "/hairy.png"), readBytes(meshFolder() + "/again.png"));
}

TEST(MeshRender, BadMeshesAndOptionsAreRefusedWithoutAPicture)
{
    writeBytes(meshFolder() + "/empty.obj", Bytes());
    for (const char* name : {"empty.obj", "missing.ply"}) {
        const ToolRun run = renderMesh(std::string("--mesh ") + name + " --image refused.png");
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_EQ(lineCount(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
        EXPECT_FALSE(fileExists(meshFolder() + "/refused.png")) << name;
    }
    // A hair file that is not there is refused as the file, not the mesh.
    const ToolRun run = renderMesh("--mesh " + cubeFile(true) + " --hair some.hair --image refused.png");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("some.hair"), std::string::npos) << run.err;
    EXPECT_FALSE(fileExists(meshFolder() + "/refused.png"));
}

// Children on the mesh are drawn as lines over it: more hair covers more of
// the picture, in either mode, and the same options draw the same pixels.
TEST(MeshRender, ChildrenAreDrawnOnTheMesh)
{
    const std::string mesh = cubeFile(true);
    const std::string hair = " --hairs 4 --clusters 4 --length 20 --display smooth";
    ASSERT_EQ(renderMesh("--mesh " + mesh + hair + " --image guides.png").status, 0);
    const Coverage guides = coverage("guides.png");
    for (const char* mode : {"around", "between"}) {
        const std::string options = "--mesh " + mesh + hair + " --children 12 --child-mode " + mode;
        const ToolRun run = renderMesh(options + " --image children.png");
        ASSERT_EQ(run.status, 0) << run.err;
        // 16 clusters of 4 guides, and 12 children for each.
        EXPECT_NE(run.out.find(", " + std::to_string(64 + 64 * 12) + " strands)"), std::string::npos) << run.out;
        ASSERT_EQ(renderMesh(options + " --image again.png").status, 0);
        EXPECT_EQ(readBytes(meshFolder() + "/children.png"), readBytes(meshFolder() + "/again.png")) << mode;
        const Coverage children = coverage("children.png");
        EXPECT_GT(children.drawn, guides.drawn + guides.drawn / 20) << mode;
    }
}

namespace {

ToolRun growOnMesh(const std::string& arguments)
{
    return runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + arguments, meshFolder(),
                   "cd '" + meshFolder() + "' && ");
}

// What the first picture line says of the picture: "(445 x 455, 96 strands)".
std::string pictureSaid(const std::string& out)
{
    const size_t open = out.find('(');
    return open == std::string::npos ? "" : out.substr(open, out.find(')', open) + 1 - open);
}

}  // namespace

// The file tressmoor-grow --mesh writes, drawn with --hair on its mesh, is the
// picture --mesh draws of the same growth, to the byte: the guides, their
// children (the file's, or those the picture asks for) and the view alike.
TEST(MeshRender, HairFromAFileOnItsMeshIsThePictureOfItsGrowth)
{
    // Far from the origin in its own units, the hair's points change when
    // rounded into them: the fit is not exact there.
    const std::string ball = cubeFile(true, 5000.0);
    const std::string wuson = std::string(TRESSMOOR_ASSIMP_MODELS) + "/PLY/Wuson.ply";
    const struct {
        std::string mesh;
        std::string growth;  // recipe, growth and child options
        std::string view;
        std::string children = "";  // child options given to both pictures, replacing the file's
    } cases[] = {
        {ball, "--hairs 20 --clusters 8 --length 15 --rest-angle 40", "--display smooth"},
        {ball, "--hairs 6 --clusters 5 --style combed --growth 3 --children 10 --frizz 1",
         "--display texture --rotate-x 30 --zoom 1.4"},
        {ball, "--hairs 5 --clusters 4 --children 12 --child-mode between --guides drop --growth 2 "
               "--tip-width 0.4",
         "--display wireframe --control-points"},
        {wuson, "--hairs 8 --clusters 6 --length 4 --children 6 --clump 0.8 --seed 3",
         "--display smooth --rotate-x -75 --zoom 1.8 --turntable 2"},
        {ball, "--hairs 6 --clusters 4 --length 12", "--display smooth", "--children 7 --child-mode between"},
        {ball, "--hairs 4 --clusters 3 --children 3", "--display texture", "--children 9 --frizz 2"},
    };
    for (const auto& c : cases) {
        const std::string options = "--mesh '" + c.mesh + "' " + c.growth;
        ASSERT_EQ(growOnMesh(options + " --out grown.hair").status, 0) << options;
        const std::string picture = c.view + " " + c.children;
        // Child options given to the picture replace the file's, so the growth goes without them.
        const std::string growing = "--mesh '" + c.mesh + "' " +
                                    c.growth.substr(0, c.children.empty() ? std::string::npos
                                                                          : c.growth.find(" --children"));
        const ToolRun grown = renderMesh(growing + " " + picture + " --image grown.png");
        ASSERT_EQ(grown.status, 0) << grown.err;
        const ToolRun read =
            renderMesh("--hair grown.hair --mesh '" + c.mesh + "' " + picture + " --image read.png");
        ASSERT_EQ(read.status, 0) << read.err;
        const bool turntable = c.view.find("--turntable") != std::string::npos;
        for (const char* frame : {"", "-000", "-001"}) {
            if (turntable == (frame[0] == '\0')) {
                continue;
            }
            const Bytes drawn = readBytes(meshFolder() + "/grown" + frame + ".png");
            EXPECT_FALSE(drawn.empty()) << options << frame;
            EXPECT_TRUE(drawn == readBytes(meshFolder() + "/read" + frame + ".png")) << options << frame;
        }
        EXPECT_EQ(pictureSaid(grown.out), pictureSaid(read.out)) << options;
    }
}

// Hair grown on a mesh needs that mesh: without it, or with another, one line
// says which mesh it needs, and no picture is written; --mesh is refused for
// hair grown on a shape.
TEST(MeshRender, HairFromAFileIsRefusedWithoutItsMesh)
{
    const std::string ball = cubeFile(true, 5000.0);
    const std::string other = cubeFile(true);
    ASSERT_EQ(growOnMesh("--mesh " + ball + " --hairs 3 --clusters 2 --out plain.hair").status, 0);
    ASSERT_EQ(growOnMesh("--mesh " + ball + " --hairs 3 --clusters 2 --children 4 --out dense.hair").status, 0);
    ASSERT_EQ(growOnMesh("--mesh " + ball + " --hairs 3 --clusters 2 --children 4 --guides drop "
                         "--out dropped.hair")
                  .status,
              0);
    ASSERT_EQ(growOnMesh("--shape sphere --hairs 3 --clusters 2 --out sphere.hair").status, 0);
    ASSERT_EQ(growOnMesh("--shape torus --children 3 --out torus.hair").status, 0);
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(hashMeshFile(meshFolder() + "/" + ball, hash, problem)) << problem;
    const std::string needed = meshHashText(hash);
    ASSERT_TRUE(hashMeshFile(meshFolder() + "/" + other, hash, problem)) << problem;
    const std::string given = meshHashText(hash);

    for (const char* hair : {"plain.hair", "dense.hair", "dropped.hair"}) {
        const ToolRun missing = renderMesh(std::string("--hair ") + hair + " --image refused.png");
        EXPECT_EQ(missing.status, 1) << hair;
        EXPECT_EQ(lineCount(missing.err), 1u) << missing.err;
        EXPECT_NE(missing.err.find(needed), std::string::npos) << missing.err;
        EXPECT_NE(missing.err.find("--mesh"), std::string::npos) << missing.err;
        const ToolRun another =
            renderMesh(std::string("--hair ") + hair + " --mesh " + other + " --image refused.png");
        EXPECT_EQ(another.status, 2) << hair;
        EXPECT_EQ(lineCount(another.err), 1u) << another.err;
        EXPECT_NE(another.err.find(needed), std::string::npos) << another.err;
        EXPECT_NE(another.err.find(given), std::string::npos) << another.err;
        EXPECT_FALSE(fileExists(meshFolder() + "/refused.png")) << hair;
    }
    // A point the fit takes beyond what a strand's tube is built from: 3e38 as a y.
    Bytes far = readBytes(meshFolder() + "/plain.hair");
    const unsigned char huge[4] = {0xe6, 0xb1, 0x61, 0x7f};
    std::copy(huge, huge + 4, far.begin() + 128 + 12 * 4 + 4);
    writeBytes(meshFolder() + "/far.hair", far);
    const ToolRun outside = renderMesh("--hair far.hair --mesh " + ball + " --image refused.png");
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(lineCount(outside.err), 1u) << outside.err;
    EXPECT_NE(outside.err.find("point 5 lies far outside its mesh"), std::string::npos) << outside.err;
    EXPECT_FALSE(fileExists(meshFolder() + "/refused.png"));

    for (const char* hair : {"sphere.hair", "torus.hair"}) {
        const ToolRun run = renderMesh(std::string("--hair ") + hair + " --mesh " + ball + " --image refused.png");
        EXPECT_EQ(run.status, 2) << hair;
        EXPECT_EQ(lineCount(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find(hair), std::string::npos) << run.err;
        EXPECT_FALSE(fileExists(meshFolder() + "/refused.png")) << hair;
    }
}
