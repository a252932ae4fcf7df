// tressmoor-grow --mesh, run on real files as a batch job would.
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "ToolRunSupport.h"
#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "formats/MeshReader.h"
#include "formats/RecipeText.h"
#include "geometry/MeshNearest.h"

namespace {

const std::string kModels = "/usr/share/assimp/models";

const std::string& folder()
{
    static const std::string made = freshFolder("mesh-grow-" + std::to_string(getpid()));
    return made;
}

ToolRun grow(const std::string& arguments)
{
    return runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + arguments, folder());
}

struct MeshFile {
    std::string path;
    TriangleMesh mesh;  // in the file's own units
    uint64_t hash = 0;
    double radius = 0.0;

    explicit MeshFile(const std::string& name) : path(kModels + "/" + name)
    {
        std::string problem;
        EXPECT_TRUE(readMesh(path, mesh, hash, problem)) << problem;
        radius = 100.0 / computeFit(mesh).scale;
    }
};

// Every point of a HAIR file, x, y, z.
std::vector<float> hairPoints(const HairStrands& strands)
{
    std::vector<float> points;
    for (uint64_t n = 0; n < strands.header.pointCount; ++n) {
        for (int a = 0; a < 3; ++a) {
            points.push_back(strands.coordinate(n, a));
        }
    }
    return points;
}

// The numbers of one attribute's array in a USD layer, after the given prim.
std::vector<float> usdArray(const std::string& text, const std::string& prim, const std::string& name)
{
    const size_t at = text.find(name + " = [", text.find(prim));
    std::vector<float> values;
    if (at == std::string::npos) {
        return values;
    }
    const size_t end = text.find(']', at);
    std::string numbers = text.substr(at + name.size() + 4, end - at - name.size() - 4);
    std::replace_if(numbers.begin(), numbers.end(), [](char c) { return c == '(' || c == ')' || c == ','; }, ' ');
    std::istringstream in(numbers);
    for (float value; in >> value;) {
        values.push_back(value);
    }
    return values;
}

// Whether uv is the mesh's uv at p on any triangle p lies on.
bool isUvNear(const MeshFile& file, const float p[3], const float uv[2])
{
    const TriangleMesh& mesh = file.mesh;
    const double q[3] = {p[0], p[1], p[2]};
    for (int t = 0; t < mesh.triangleCount; ++t) {
        const int32_t* v = mesh.triangles + 3 * t;
        double corner[3][3];
        for (int c = 0; c < 3; ++c) {
            for (int a = 0; a < 3; ++a) {
                corner[c][a] = mesh.positions[3 * v[c] + a];
            }
        }
        double wb = 0.0;
        double wc = 0.0;
        nearestOnTriangle(q, corner[0], corner[1], corner[2], wb, wc);
        double d2 = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double x = corner[0][a] + wb * (corner[1][a] - corner[0][a]) +
                             wc * (corner[2][a] - corner[0][a]) - q[a];
            d2 += x * x;
        }
        if (std::sqrt(d2) > 1e-4 * file.radius) {
            continue;
        }
        bool same = true;
        for (int k = 0; k < 2; ++k) {
            const double at = (1.0 - wb - wc) * mesh.uvs[2 * v[0] + k] + wb * mesh.uvs[2 * v[1] + k] +
                              wc * mesh.uvs[2 * v[2] + k];
            same = same && std::fabs(at - uv[k]) < 1e-3;
        }
        if (same) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The roots of the hair in every format sit on the mesh as the file has it.
TEST(MeshGrowTool, EveryFormatHoldsTheHairOnTheMeshInItsOwnUnits)
{
    for (const char* name : {"PLY/Wuson.ply", "OBJ/spider.obj", "PLY/cube_binary.ply"}) {
        MeshFile file(name);
        for (const char* style : {"messy", "combed"}) {
            const std::string options = std::string("--mesh ") + file.path + " --style " + style +
                                        " --hairs 7 --clusters 4 --parts 12 --length 12 --growth 2";
            for (const char* extension : {"hair", "obj", "usda"}) {
                const ToolRun run = grow(options + " --out " + folder() + "/hair." + extension);
                ASSERT_EQ(run.status, 0) << name << ": " << run.err;
                EXPECT_EQ(run.out.find("ttotal"), std::string::npos);
            }
            HairBytes hair;
            hair.bytes = readBytes(folder() + "/hair.hair");
            std::string problem;
            ASSERT_TRUE(decodeHairStrands(hair.bytes.data(), hair.bytes.size(), FLT_MAX, hair.strands, problem))
                << problem;
            HairRecipe recipe;
            bool hasTag = false;
            ASSERT_TRUE(readTressmoorRecipe(hair.strands, recipe, hasTag, problem)) << problem;
            EXPECT_EQ(recipe.shape, UnderlyingShape::Mesh);
            EXPECT_EQ(recipe.meshHash, file.hash) << name;
            EXPECT_EQ(hair.strands.header.info.rfind(kMeshRecipeTag, 0), 0u);
            ASSERT_EQ(hair.strands.header.strandCount, 16u * 7u);

            MeshNearest nearest;
            nearest.setup(file.mesh);
            const std::vector<float> points = hairPoints(hair.strands);
            for (uint32_t s = 0; s < hair.strands.header.strandCount; ++s) {
                const float* root = &points[3 * 12 * s];
                SurfacePoint at;
                ASSERT_TRUE(nearest.nearestPoint(root, at));
                const double d = std::hypot(std::hypot(at.position[0] - root[0], at.position[1] - root[1]),
                                            at.position[2] - root[2]);
                ASSERT_LE(d, 1e-4 * file.radius) << name << " strand " << s;
            }

            // OBJ and USD hold the very points of the HAIR file, and USD the mesh.
            std::vector<float> obj;
            std::istringstream lines(readText(folder() + "/hair.obj"));
            for (std::string line; std::getline(lines, line);) {
                std::istringstream words(line);
                std::string kind;
                float x, y, z;
                if (words >> kind && kind == "v" && words >> x >> y >> z) {
                    obj.insert(obj.end(), {x, y, z});
                }
            }
            EXPECT_EQ(obj, points) << name;
            const std::string usd = readText(folder() + "/hair.usda");
            EXPECT_EQ(usdArray(usd, "def BasisCurves", "point3f[] points"), points) << name;
            const std::vector<float> meshPoints = usdArray(usd, "def Mesh", "point3f[] points");
            ASSERT_EQ(meshPoints.size(), size_t(3 * file.mesh.vertexCount)) << name;
            for (size_t i = 0; i < meshPoints.size(); ++i) {
                ASSERT_NEAR(meshPoints[i], file.mesh.positions[i], 1e-6 * file.radius) << name << " " << i;
            }
            EXPECT_EQ(usdArray(usd, "def Mesh", "int[] faceVertexIndices").size(),
                      size_t(3 * file.mesh.triangleCount));
            EXPECT_EQ(usdArray(usd, "def Mesh", "normal3f[] normals").size(), size_t(3 * file.mesh.vertexCount));
            const bool uvs = file.mesh.uvs != nullptr;
            EXPECT_EQ(usd.find("texCoord2f[] primvars:st") != std::string::npos, uvs) << name;
            if (uvs) {
                // Each strand's st is the mesh's uv at its root: on a seam, that
                // of one of the triangles meeting there.
                const std::vector<float> st = usdArray(usd, "def BasisCurves", "texCoord2f[] primvars:st");
                ASSERT_EQ(st.size(), 2u * hair.strands.header.strandCount);
                for (uint32_t s = 0; s < hair.strands.header.strandCount; ++s) {
                    EXPECT_TRUE(isUvNear(file, &points[3 * 12 * s], &st[2 * s]))
                        << name << " strand " << s << ": st " << st[2 * s] << ", " << st[2 * s + 1];
                }
            }
        }
    }
}

TEST(MeshGrowTool, TheSameFileAndSettingsGiveTheSameBytes)
{
    const std::string options = "--mesh " + kModels + "/OBJ/spider.obj --hairs 5 --clusters 3 --growth 3";
    for (const char* extension : {"hair", "usda"}) {
        ASSERT_EQ(grow(options + " --out " + folder() + "/first." + extension).status, 0);
        ASSERT_EQ(grow(options + " --out " + folder() + "/second." + extension).status, 0);
        EXPECT_EQ(readBytes(folder() + "/first." + extension), readBytes(folder() + "/second." + extension));
        ASSERT_EQ(grow(options + " --rest-angle 2 --out " + folder() + "/third." + extension).status, 0);
        EXPECT_NE(readBytes(folder() + "/first." + extension), readBytes(folder() + "/third." + extension));
    }
}

// Every refusal of the reader is one line naming the file, and no file is left.
TEST(MeshGrowTool, BadMeshesAreRefusedWithOneLineAndNoFile)
{
    writeBytes(folder() + "/empty.obj", Bytes());
    const std::string text = "this is no mesh\n";
    writeBytes(folder() + "/words.obj", Bytes(text.begin(), text.end()));
    const std::string lineOnly = "v 0 0 0\nv 1 0 0\nl 1 2\n";
    writeBytes(folder() + "/line.obj", Bytes(lineOnly.begin(), lineOnly.end()));
    const std::string flat = "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n";
    writeBytes(folder() + "/flat.obj", Bytes(flat.begin(), flat.end()));
    const std::string huge = "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n";
    writeBytes(folder() + "/huge.obj", Bytes(huge.begin(), huge.end()));
    for (const char* name : {"empty.obj", "words.obj", "line.obj", "flat.obj", "huge.obj", "missing.obj", "."}) {
        for (const char* extension : {"hair", "usda"}) {
            const std::string out = folder() + "/refused." + extension;
            const std::string path = folder() + "/" + name;
            const ToolRun run = grow("--mesh " + path + " --out " + out);
            EXPECT_EQ(run.status, 2) << name;
            EXPECT_EQ(lineCount(run.err), 1u) << name << ": " << run.err;
            EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
            EXPECT_FALSE(fileExists(out)) << name;
        }
    }
    EXPECT_EQ(grow("--mesh --out x.hair").status, 2);
    // Children take the mesh's refusal with it.
    EXPECT_EQ(grow("--mesh " + folder() + "/flat.obj --children 2 --out x.hair").status, 2);
}

// A Tressmoor that does not know the mesh takes the file for another program's;
// the window's reader says what it is.
TEST(MeshGrowTool, OtherReadersTakeTheFileForAnotherProgramsHair)
{
    ASSERT_EQ(grow("--mesh " + kModels + "/PLY/cube.ply --hairs 3 --out " + folder() + "/other.hair").status, 0);
    const Bytes bytes = readBytes(folder() + "/other.hair");
    HairFileContents contents;
    std::string problem;
    EXPECT_FALSE(decodeHairFile(bytes.data(), bytes.size(), contents, problem));
    EXPECT_NE(problem.find("mesh"), std::string::npos) << problem;
    // The words of the ordinary recipe are not there for an older reader to misread.
    EXPECT_EQ(std::string(bytes.begin() + kHairInfoOffset, bytes.begin() + kHairInfoOffset + 14),
              kMeshRecipeTag);
}

namespace {

ToolRun convert(const std::string& arguments)
{
    return runTool(std::string(TRESSMOOR_CONVERT_BINARY) + " " + arguments, folder());
}

}  // namespace

// Given its mesh, a mesh hair's file converts to what tressmoor-grow writes; the
// mesh is checked by its hash, and without it the file still converts.
TEST(MeshGrowTool, ConvertingWithTheMeshGivesWhatGrowWrites)
{
    const std::string f = folder() + "/";
    for (const char* name : {"PLY/Wuson.ply", "OBJ/spider.obj", "PLY/cube.ply"}) {
        const std::string mesh = kModels + "/" + name;
        for (const char* widths : {"", " --root-width 3 --tip-width 0.5"}) {
            const std::string options = "--mesh " + mesh + " --style combed --hairs 6 --clusters 3" + widths;
            ASSERT_EQ(grow(options + " --out " + f + "grown.hair").status, 0);
            ASSERT_EQ(grow(options + " --out " + f + "grown.usda").status, 0);
            ASSERT_EQ(grow(options + " --out " + f + "grown.obj").status, 0);
            ToolRun run = convert("--mesh " + mesh + " " + f + "grown.hair " + f + "converted.usda");
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(readBytes(f + "grown.usda"), readBytes(f + "converted.usda")) << name << widths;
            for (const char* extension : {"hair", "obj"}) {
                run = convert(f + "grown.hair " + f + "converted." + extension);
                ASSERT_EQ(run.status, 0) << run.err;
                EXPECT_EQ(readBytes(f + "grown." + extension), readBytes(f + "converted." + extension))
                    << name << widths << " " << extension;
            }
            // Without the mesh the layer has the strands and says what it lacks.
            run = convert(f + "grown.hair " + f + "bare.usda");
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.err.find("--mesh"), std::string::npos) << run.err;
            EXPECT_EQ(readText(f + "bare.usda").find("def Mesh"), std::string::npos);
        }
    }
    ASSERT_EQ(grow("--mesh " + kModels + "/PLY/cube.ply --out " + f + "cube.hair").status, 0);
    ASSERT_EQ(grow("--shape sphere --out " + f + "sphere.hair").status, 0);
    const std::string refusals[] = {
        "--mesh " + kModels + "/PLY/Wuson.ply " + f + "cube.hair " + f + "refused.usda",  // another mesh
        "--mesh " + kModels + "/PLY/cube.ply " + f + "sphere.hair " + f + "refused.usda",  // not on a mesh
        "--mesh " + f + "missing.ply " + f + "cube.hair " + f + "refused.usda",
        "--children 2 " + f + "cube.hair " + f + "refused.usda"};
    for (const std::string& arguments : refusals) {
        const ToolRun run = convert(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(lineCount(run.err), 1u) << run.err;
        EXPECT_FALSE(fileExists(f + "refused.usda")) << arguments;
    }
}

// Children on a mesh, in every format and both modes: every root, guide's and
// child's, on the mesh in its own units; each st the mesh's uv at its own root;
// tressmoor-convert given the mesh makes the same layer from the HAIR file,
// whether it kept its guides or they are grown again.
TEST(MeshGrowTool, ChildrenRootOnTheMeshInItsOwnUnits)
{
    const std::string f = folder() + "/";
    for (const char* name : {"PLY/Wuson.ply", "OBJ/spider.obj", "PLY/cube.ply"}) {
        MeshFile file(name);
        MeshNearest nearest;
        nearest.setup(file.mesh);
        for (const char* mode : {"around", "between"}) {
            for (const char* guides : {"keep", "drop"}) {
                const std::string options = "--mesh " + file.path + " --hairs 5 --clusters 3 --parts 8 --children 6" +
                                            " --child-mode " + mode + " --guides " + guides + " --frizz 1";
                for (const char* extension : {"hair", "obj", "usda"}) {
                    const ToolRun run = grow(options + " --out " + f + "kids." + extension);
                    ASSERT_EQ(run.status, 0) << name << " " << mode << ": " << run.err;
                }
                const uint32_t guideCount = 9 * 5;
                const uint32_t strands = guideCount * (6 + (guides[0] == 'k'));
                const std::string usd = readText(f + "kids.usda");
                const std::vector<float> points = usdArray(usd, "def BasisCurves", "point3f[] points");
                ASSERT_EQ(points.size(), 3u * 8u * strands) << name << " " << mode;
                const bool uvs = file.mesh.uvs != nullptr;
                const std::vector<float> st = usdArray(usd, "def BasisCurves", "texCoord2f[] primvars:st");
                ASSERT_EQ(st.size(), uvs ? 2u * strands : 0u) << name;
                EXPECT_EQ(usdArray(usd, "def BasisCurves", "float2[] primvars:groom_root_uv"), st) << name;
                for (uint32_t s = 0; s < strands; ++s) {
                    const float* root = &points[3 * 8 * s];
                    SurfacePoint at;
                    ASSERT_TRUE(nearest.nearestPoint(root, at));
                    const double d = std::hypot(std::hypot(at.position[0] - root[0], at.position[1] - root[1]),
                                                at.position[2] - root[2]);
                    ASSERT_LE(d, 1e-4 * file.radius) << name << " " << mode << " strand " << s;
                    if (uvs) {
                        EXPECT_TRUE(isUvNear(file, root, &st[2 * s])) << name << " " << mode << " strand " << s;
                    }
                }
                // The OBJ holds the layer's very points.
                std::vector<float> obj;
                std::istringstream lines(readText(f + "kids.obj"));
                for (std::string line; std::getline(lines, line);) {
                    std::istringstream words(line);
                    std::string kind;
                    float x, y, z;
                    if (words >> kind && kind == "v" && words >> x >> y >> z) {
                        obj.insert(obj.end(), {x, y, z});
                    }
                }
                EXPECT_EQ(obj, points) << name << " " << mode;
                ToolRun run = convert("--mesh " + file.path + " " + f + "kids.hair " + f + "again.usda");
                ASSERT_EQ(run.status, 0) << run.err;
                EXPECT_EQ(run.err, "") << name << " " << mode << " " << guides;
                EXPECT_EQ(readBytes(f + "kids.usda"), readBytes(f + "again.usda")) << name << " " << mode << " " << guides;
            }
        }
    }
    // Plain mesh hair takes children only with its mesh to make them on.
    ASSERT_EQ(grow("--mesh " + kModels + "/PLY/cube.ply --hairs 2 --out " + f + "plain.hair").status, 0);
    const ToolRun refused = convert("--children 2 " + f + "plain.hair " + f + "refused.usda");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--mesh"), std::string::npos) << refused.err;
    EXPECT_FALSE(fileExists(f + "refused.usda"));
    const ToolRun made = convert("--mesh " + kModels + "/PLY/cube.ply --children 2 " + f + "plain.hair " + f +
                                 "made.usda");
    EXPECT_EQ(made.status, 0) << made.err;
}
