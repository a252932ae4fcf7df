// tressmoor-render --mesh: the user's mesh drawn under its hair, read back as pixels.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "PngReading.h"
#include "ToolRunSupport.h"

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

// A cube whose faces wind counter-clockwise seen from outside, or from inside.
std::string cubeFile(bool outward)
{
    const char* faces[6][4] = {{"1", "4", "3", "2"}, {"5", "6", "7", "8"}, {"1", "2", "6", "5"},
                               {"3", "4", "8", "7"}, {"2", "3", "7", "6"}, {"1", "5", "8", "4"}};
    std::string text = "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n";
    for (const auto& face : faces) {
        text += "f";
        for (int k = 0; k < 4; ++k) {
            text += std::string(" ") + face[outward ? k : 3 - k];
        }
        text += "\n";
    }
    const std::string name = outward ? "out.obj" : "in.obj";
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
    const std::string mesh = cubeFile(true);
    for (const char* options : {" --hair some.hair"}) {
        const ToolRun run = renderMesh("--mesh " + mesh + options + " --image refused.png");
        EXPECT_EQ(run.status, 2) << options;
        EXPECT_FALSE(fileExists(meshFolder() + "/refused.png")) << options;
    }
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
