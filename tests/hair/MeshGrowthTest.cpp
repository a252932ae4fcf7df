#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "TestMeshes.h"
#include "formats/MeshReader.h"
#include "geometry/MeshNearest.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "hair/MeshGrowth.h"

namespace {

HairStore store;
NurbsSurface surface;

// The distance from a strand's point to the mesh, found the slow way.
double distanceToMesh(const TriangleMesh& mesh, const Point3& point)
{
    const float p[3] = {point.x, point.y, point.z};
    return bruteNearestDistance(mesh, p);
}

void buildGround(const MeshLists& lists, MeshGround& ground, uint64_t hash = 0x5EED)
{
    TriangleMesh mesh;
    buildMesh(lists, mesh);
    ASSERT_TRUE(ground.setup(mesh, hash));
}

HairRecipe meshRecipe(HairStyle style, int clusters, int hairs, int parts, int length = 10,
                      int restAngle = 1)
{
    return makeRecipe(UnderlyingShape::Mesh, style, clusters, hairs, parts, length, restAngle);
}

std::vector<Centreline> currentCentrelines()
{
    std::vector<Centreline> lines;
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            lines.push_back(centrelineOf(cluster.strands[k]));
        }
    }
    return lines;
}

class EveryTestMesh : public ::testing::TestWithParam<NamedMesh> {};

std::string meshName(const ::testing::TestParamInfo<NamedMesh>& info)
{
    return info.param.name;
}

}  // namespace

TEST_P(EveryTestMesh, RootsLieOnTheSurfaceAndMessyHairLeavesItOutward)
{
    MeshGround ground;
    buildGround(GetParam().lists, ground);
    for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
        for (int seed = 1; seed <= 3; ++seed) {
            const HairRecipe recipe = meshRecipe(style, 2 + seed, 12, 10, 7 * seed, 30 * (seed - 1));
            srand(seed);
            ASSERT_TRUE(growMeshHair(recipe, ground, store)) << describe(recipe);
            const std::vector<Centreline> lines = currentCentrelines();
            ASSERT_EQ(lines.size(), strandTotal(recipe));
            int movedOff = 0;
            int outwardSteps = 0;
            for (size_t i = 0; i < lines.size(); ++i) {
                const Centreline& line = lines[i];
                const std::string where = describe(recipe) + ", seed " + std::to_string(seed) +
                                          ", strand " + std::to_string(i);
                // Fitted units: the bounding sphere has radius 100.
                ASSERT_LT(distanceToMesh(ground.mesh, line[0]), 1e-3) << where;
                ASSERT_LE(std::sqrt(line[0].x * line[0].x + line[0].y * line[0].y + line[0].z * line[0].z),
                          100.001)
                    << where;
                SurfacePoint at;
                const float root[3] = {line[0].x, line[0].y, line[0].z};
                ASSERT_TRUE(ground.nearest.nearestPoint(root, at));
                const double step[3] = {line[1].x - line[0].x, line[1].y - line[0].y, line[1].z - line[0].z};
                const double outward =
                    step[0] * at.normal[0] + step[1] * at.normal[1] + step[2] * at.normal[2];
                const double stepLength = std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
                movedOff += stepLength > 0.0;
                if (style == HairStyle::Messy) {
                    // A rest offset on an axis the normal hardly touches moves a
                    // ten-thousandth of its size against it at most.
                    ASSERT_GE(outward, -3e-4 * recipe.restAngle - 1e-5) << where;
                    outwardSteps += outward > 0.0;
                }
            }
            EXPECT_GT(movedOff, static_cast<int>(lines.size()) * 9 / 10);
            // Only a step whose length draws all came out 0 stays in the tangent plane.
            if (style == HairStyle::Messy) {
                EXPECT_GT(outwardSteps, static_cast<int>(lines.size()) * 99 / 100);
            }
        }
    }
}

TEST_P(EveryTestMesh, TheSameInputsGrowTheSameBytesAndAnotherFileOthers)
{
    MeshGround first;
    MeshGround again;
    MeshGround otherFile;
    buildGround(GetParam().lists, first, 77);
    buildGround(GetParam().lists, again, 77);
    buildGround(GetParam().lists, otherFile, 78);
    for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
        const HairRecipe recipe = meshRecipe(style, 4, 6, 12, 20, 10);
        srand(5);
        ASSERT_TRUE(growMeshHair(recipe, first, store));
        const std::vector<Bytes> expected = currentStrands(store);
        srand(5);
        ASSERT_TRUE(growMeshHair(recipe, again, store));
        EXPECT_EQ(firstDifference(expected, currentStrands(store)), "") << describe(recipe);
        // Growing again carries the sequence on, so the hair differs.
        ASSERT_TRUE(growMeshHair(recipe, again, store));
        EXPECT_NE(firstDifference(expected, currentStrands(store)), "") << describe(recipe);
        srand(5);
        ASSERT_TRUE(growMeshHair(recipe, otherFile, store));
        EXPECT_NE(firstDifference(expected, currentStrands(store)), "") << describe(recipe);
    }
}

INSTANTIATE_TEST_SUITE_P(MeshGrowth, EveryTestMesh, ::testing::ValuesIn(allTestMeshes()), meshName);

// The mesh's hair draws exactly what the sphere's would, so the sequence after
// it is the same and the other shapes' hair that follows is untouched.
TEST(MeshGrowth, DrawsAsManyRandomNumbersAsTheSphere)
{
    MeshGround ground;
    buildGround(icosphere(3), ground);
    for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
        for (int clusters : {1, 3, 10}) {
            HairRecipe recipe = meshRecipe(style, clusters, clusters == 10 ? 50 : 7, 8 + 2 * clusters % 10);
            srand(11);
            ASSERT_TRUE(growMeshHair(recipe, ground, store));
            const int afterMesh = rand();
            recipe.shape = UnderlyingShape::Sphere;
            srand(11);
            growQuietly(recipe, surface, store);
            EXPECT_EQ(afterMesh, rand()) << describe(recipe);
        }
    }
}

// Each cluster roots around its own evenly spread root, within the disc.
TEST(MeshGrowth, StrandsRootNearTheirClusterRoot)
{
    MeshGround ground;
    buildGround(torusMesh(64, 32), ground);
    for (int clusters = 1; clusters <= 10; ++clusters) {
        std::vector<SurfacePoint> roots(clusters * clusters);
        double radius = 0.0;
        ASSERT_TRUE(meshClusterRoots(ground, clusters, roots.data(), radius));
        const HairRecipe recipe = meshRecipe(HairStyle::Messy, clusters, 20, 8);
        int within = 0;
        int strands = 0;
        srand(clusters);
        ASSERT_TRUE(growMeshHair(recipe, ground, store));
        for (int p = 0; p < store.clusterCount; ++p) {
            const float* centre = roots[p].position;
            for (int k = 0; k < store.hairClusters[p].strandCount; ++k) {
                const Point3 root = centrelineOf(store.hairClusters[p].strands[k])[0];
                const double d = std::hypot(std::hypot(root.x - centre[0], root.y - centre[1]), root.z - centre[2]);
                // The surface point nearest a disc point is no farther from it than
                // the cluster root, so at most twice the radius from the root.
                ASSERT_LE(d, 2.0 * radius * 1.001 + 1e-3) << "cluster " << p << " of " << clusters;
                within += d <= radius * 1.001 + 1e-3;
                ++strands;
            }
        }
        // Where the surface is flat enough the root stays inside the disc.
        EXPECT_GT(within, strands * 3 / 4) << clusters << " clusters";
    }
}

// On the flat grid every combed strand of a cluster rises by the cluster's
// lengths, up to the jitter; clusters rise by their own.
TEST(MeshGrowth, CombedClustersShareOneProfile)
{
    MeshGround ground;
    buildGround(squareGrid(20), ground);
    const HairRecipe recipe = meshRecipe(HairStyle::Combed, 3, 10, 12, 40, 20);
    srand(3);
    ASSERT_TRUE(growMeshHair(recipe, ground, store));
    int clustersApart = 0;
    std::vector<float> previousRise;
    for (int p = 0; p < store.clusterCount; ++p) {
        std::vector<float> low(recipe.parts, INFINITY);
        std::vector<float> high(recipe.parts, -INFINITY);
        for (int k = 0; k < recipe.hairs; ++k) {
            const Centreline line = centrelineOf(store.hairClusters[p].strands[k]);
            for (int s = 1; s < recipe.parts; ++s) {
                const float rise = line[s].z - line[s - 1].z;
                low[s] = std::min(low[s], rise);
                high[s] = std::max(high[s], rise);
            }
        }
        for (int s = 1; s < recipe.parts; ++s) {
            EXPECT_LE(high[s] - low[s], 5.001f) << "cluster " << p << ", part " << s;
        }
        if (!previousRise.empty()) {
            for (int s = 1; s < recipe.parts; ++s) {
                clustersApart += std::fabs(previousRise[s] - low[s]) > 5.0f;
            }
        }
        previousRise = low;
    }
    EXPECT_GT(clustersApart, 0);
}

TEST(MeshGrowth, RefusesWithoutTouchingTheSequence)
{
    MeshGround ground;
    MeshGround empty;
    buildGround(icosphere(2), ground);
    struct Case {
        const char* what;
        HairRecipe recipe;
        const MeshGround* ground;
    };
    const HairRecipe good = meshRecipe(HairStyle::Messy, 2, 2, 8);
    HairRecipe sphere = good;
    sphere.shape = UnderlyingShape::Sphere;
    const Case cases[] = {{"another shape", sphere, &ground},
                          {"no mesh", good, &empty},
                          {"too many clusters", meshRecipe(HairStyle::Messy, 11, 2, 8), &ground},
                          {"too many hairs", meshRecipe(HairStyle::Messy, 2, 103, 8), &ground},
                          {"odd parts", meshRecipe(HairStyle::Messy, 2, 2, 9), &ground}};
    for (const Case& c : cases) {
        srand(9);
        EXPECT_FALSE(growMeshHair(c.recipe, *c.ground, store)) << c.what;
        const int next = rand();
        srand(9);
        EXPECT_EQ(next, rand()) << c.what;
    }
    // A mesh whose triangles have no area is not ground to grow on.
    MeshLists flat;
    flat.addTriangle(flat.addVertex(0, 0, 0), flat.addVertex(1, 0, 0), flat.addVertex(2, 0, 0));
    TriangleMesh line;
    buildMesh(flat, line);
    MeshGround none;
    EXPECT_FALSE(none.setup(line, 1));
    EXPECT_FALSE(none.ready());
    // The shape's own grower refuses the mesh, which needs its ground.
    EXPECT_FALSE(growShapeHair(good, surface, store));
}

TEST(MeshGrowth, GrowsOnARealFile)
{
    for (const char* name : {"OBJ/spider.obj", "PLY/Wuson.ply"}) {
        const std::string path = std::string(TRESSMOOR_ASSIMP_MODELS) + "/" + name;
        TriangleMesh mesh;
        uint64_t hash = 0;
        std::string problem;
        ASSERT_TRUE(readMesh(path, mesh, hash, problem)) << problem;
        MeshGround ground;
        ASSERT_TRUE(ground.setup(mesh, hash)) << path;
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            const HairRecipe recipe = meshRecipe(style, 6, 8, 10, 15, 5);
            srand(2);
            ASSERT_TRUE(growMeshHair(recipe, ground, store)) << path;
            const std::vector<Centreline> lines = currentCentrelines();
            ASSERT_EQ(lines.size(), strandTotal(recipe));
            double farthest = 0.0;
            for (const Centreline& line : lines) {
                farthest = std::max(farthest, distanceToMesh(ground.mesh, line[0]));
            }
            EXPECT_LT(farthest, 1e-3) << path << ", " << describe(recipe);
        }
    }
}
