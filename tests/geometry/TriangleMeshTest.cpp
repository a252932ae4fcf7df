#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "TestMeshes.h"
#include "geometry/MeshNearest.h"
#include "geometry/MeshRoots.h"
#include "geometry/MeshSampling.h"
#include "geometry/MeshWelding.h"
#include "geometry/TriangleMesh.h"
#include "geometry/UnderlyingShapes.h"

namespace {

double distance(const float a[3], const float b[3])
{
    const double d[3] = {double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

double length(const float a[3])
{
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    return distance(a, zero);
}


struct FittedMesh {
    TriangleMesh mesh;
    AreaTable areas;
    MeshNearest nearest;
    MeshFit fit;

    explicit FittedMesh(const MeshLists& lists)
    {
        buildMesh(lists, mesh);
        fit = fitMesh(mesh);
        areas.setup(mesh);
        nearest.setup(mesh);
    }
};

class EveryTestMesh : public ::testing::TestWithParam<NamedMesh> {};

std::string meshName(const ::testing::TestParamInfo<NamedMesh>& info)
{
    return info.param.name;
}

}  // namespace

TEST(TriangleMesh, WelderJoinsIdenticalVerticesAndKeepsHardEdges)
{
    // A cube as 12 separate triangles: 36 corners on 8 positions.
    const float corner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (int withNormals = 0; withNormals < 2; ++withNormals) {
        MeshWelder welder;
        welder.begin(36, 12, false);
        for (const auto& f : faces) {
            double n[3];
            triangleNormal(corner[f[0]], corner[f[1]], corner[f[2]], n);
            const float flat[3] = {float(n[0]), float(n[1]), float(n[2])};
            int32_t v[4];
            for (int k = 0; k < 4; ++k) v[k] = welder.addVertex(corner[f[k]], withNormals ? flat : nullptr, nullptr);
            welder.addTriangle(v[0], v[1], v[2]);
            welder.addTriangle(v[0], v[2], v[3]);
        }
        TriangleMesh mesh;
        welder.finish(mesh);
        EXPECT_EQ(mesh.vertexCount, withNormals ? 24 : 8);
        EXPECT_EQ(mesh.triangleCount, 12);
        EXPECT_NEAR(meshArea(mesh), 24.0, 1e-9);
        for (int v = 0; v < mesh.vertexCount; ++v) {
            EXPECT_NEAR(length(mesh.normals + v * 3), 1.0, 1e-6) << "vertex " << v;
            // Flat or smooth, every normal leans out of the cube.
            double along = 0.0;
            for (int a = 0; a < 3; ++a) along += mesh.normals[v * 3 + a] * mesh.positions[v * 3 + a];
            EXPECT_GT(along, 0.5) << "vertex " << v;
        }
    }
}

TEST(TriangleMesh, WelderFindsEveryRepeatAsItsTableGrows)
{
    // Separate triangles, every corner given twice: the table outgrows its
    // first size several times, and each repeat still finds its first.
    constexpr int kTriangles = 3000;
    MeshWelder welder;
    welder.begin(6 * kTriangles, kTriangles, true);
    SplitMix64 random{3};
    for (int t = 0; t < kTriangles; ++t) {
        int32_t corner[3];
        for (int k = 0; k < 3; ++k) {
            const float p[3] = {float(random.uniform()), float(random.uniform()), float(random.uniform())};
            const float uv[2] = {float(random.uniform()), 0.5f};
            corner[k] = welder.addVertex(p, nullptr, uv);
            ASSERT_EQ(welder.addVertex(p, nullptr, uv), corner[k]) << "triangle " << t;
        }
        welder.addTriangle(corner[0], corner[1], corner[2]);
    }
    EXPECT_EQ(welder.vertexCount(), 3 * kTriangles);
    // Past the indices a slot can hold, the welder refuses to begin.
    MeshWelder tooLarge;
    EXPECT_THROW(tooLarge.begin(int64_t(1) << 25, 1, false), std::bad_alloc);
}

TEST(TriangleMesh, SmoothNormalsHoldAtEveryScale)
{
    for (double scale : {1e-30, 1e-6, 1.0, 1e6, 1e30, 1e37}) {
        MeshLists lists;
        lists.append(icosphere(1), 0.0, 0.0, 0.0, scale);
        TriangleMesh mesh;
        buildMesh(lists, mesh);
        for (int v = 0; v < mesh.vertexCount; ++v) {
            ASSERT_NEAR(length(mesh.normals + v * 3), 1.0, 1e-5) << "scale " << scale << " vertex " << v;
            double out = 0.0;
            for (int a = 0; a < 3; ++a) out += mesh.normals[v * 3 + a] * (mesh.positions[v * 3 + a] / scale);
            EXPECT_GT(out, 0.99) << "scale " << scale << " vertex " << v;
        }
    }
}

TEST(TriangleMesh, SmoothNormalsIgnoreUvSeams)
{
    // The grid with a seam: the right half's vertices carry other uvs.
    MeshLists lists = squareGrid(4);
    for (size_t i = 0; i < lists.uvs.size(); i += 2) lists.uvs[i] += 1.0f;
    TriangleMesh mesh;
    buildMesh(lists, mesh);
    for (int v = 0; v < mesh.vertexCount; ++v) {
        EXPECT_FLOAT_EQ(mesh.normals[v * 3 + 2], 1.0f) << "vertex " << v;
    }
}

TEST_P(EveryTestMesh, FitCentresAndScalesAndRoundTrips)
{
    TriangleMesh mesh;
    buildMesh(GetParam().lists, mesh);
    const double areaBefore = meshArea(mesh);
    std::vector<float> original(mesh.positions, mesh.positions + mesh.vertexCount * 3);
    const MeshFit fit = fitMesh(mesh);
    const MeshBounds bounds = meshBounds(mesh);
    double radius = 0.0;
    for (int v = 0; v < mesh.vertexCount; ++v) radius = std::max(radius, length(mesh.positions + v * 3));
    EXPECT_NEAR(radius, kSphereRadius, 1e-3);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(bounds.low[a] + bounds.high[a], 0.0, 1e-3) << "axis " << a;
    EXPECT_NEAR(meshArea(mesh), areaBefore * fit.scale * fit.scale, 1e-6 * meshArea(mesh));
    // Both ways, to within 1e-4 of the bounding radius in either unit.
    for (int v = 0; v < mesh.vertexCount; ++v) {
        const double own[3] = {original[v * 3], original[v * 3 + 1], original[v * 3 + 2]};
        double fitted[3], back[3];
        fit.toFitted(own, fitted);
        fit.toMesh(fitted, back);
        for (int a = 0; a < 3; ++a) {
            ASSERT_NEAR(fitted[a], mesh.positions[v * 3 + a], 1e-4 * kSphereRadius) << "vertex " << v;
            ASSERT_NEAR(back[a], own[a], 1e-4 * kSphereRadius / fit.scale) << "vertex " << v;
        }
        const double fittedOwn[3] = {mesh.positions[v * 3], mesh.positions[v * 3 + 1], mesh.positions[v * 3 + 2]};
        fit.toMesh(fittedOwn, back);
        for (int a = 0; a < 3; ++a) ASSERT_NEAR(back[a], own[a], 1e-4 * kSphereRadius / fit.scale);
    }
}

TEST_P(EveryTestMesh, SampledPointsLieOnTheSurfaceFacingOut)
{
    FittedMesh fitted(GetParam().lists);
    SplitMix64 random{7};
    for (int i = 0; i < 400; ++i) {
        const SurfacePoint p = fitted.areas.randomPoint(fitted.mesh, random);
        ASSERT_GE(p.triangle, 0);
        ASSERT_GT(triangleArea(fitted.mesh, p.triangle), 0.0) << "sample " << i;
        EXPECT_LT(bruteNearestDistance(fitted.mesh, p.position), 1e-3) << "sample " << i;
        EXPECT_NEAR(length(p.normal), 1.0, 1e-5) << "sample " << i;
        if (GetParam().name == "icosphere") {
            double out = 0.0;
            for (int a = 0; a < 3; ++a) out += p.normal[a] * p.position[a];
            EXPECT_GT(out, 0.9 * length(p.position)) << "sample " << i;
        }
    }
}

TEST(TriangleMesh, SamplingFollowsArea)
{
    // The two balls' areas are 1 : 0.36; so must their shares of the samples be.
    FittedMesh fitted(twoPieces());
    SplitMix64 random{3};
    const int samples = 40000;
    int onFirst = 0;
    for (int i = 0; i < samples; ++i) {
        if (fitted.areas.randomPoint(fitted.mesh, random).position[0] < 0.0f) ++onFirst;
    }
    const double expected = 1.0 / 1.36;
    const double sigma = std::sqrt(expected * (1.0 - expected) / samples);
    EXPECT_NEAR(double(onFirst) / samples, expected, 4.0 * sigma);
    // The ends of the range land on triangles with area.
    for (double u : {0.0, 1.0, 0.5}) {
        const int32_t t = fitted.areas.triangleAt(u);
        ASSERT_GE(t, 0);
        EXPECT_GT(triangleArea(fitted.mesh, t), 0.0) << "u = " << u;
    }
}

TEST(TriangleMesh, DegenerateTrianglesAreNeverPicked)
{
    FittedMesh fitted(withDegenerateTriangles());
    const int last = fitted.mesh.triangleCount - 1;
    ASSERT_EQ(triangleArea(fitted.mesh, last), 0.0);
    ASSERT_EQ(triangleArea(fitted.mesh, last - 1), 0.0);
    EXPECT_LT(fitted.areas.triangleAt(1.0), last - 1);
    SplitMix64 random{11};
    for (int i = 0; i < 20000; ++i) {
        EXPECT_LT(fitted.areas.randomPoint(fitted.mesh, random).triangle, last - 1);
    }
    for (int v = 0; v < fitted.mesh.vertexCount; ++v) {
        ASSERT_NEAR(length(fitted.mesh.normals + v * 3), 1.0, 1e-5) << "vertex " << v;
    }
}

TEST_P(EveryTestMesh, NearestPointMatchesEveryTriangle)
{
    FittedMesh fitted(GetParam().lists);
    SplitMix64 random{5};
    for (int i = 0; i < 300; ++i) {
        // Points on, near and far from the surface.
        const double spread = i < 100 ? 5.0 : (i < 200 ? 40.0 : 300.0);
        const SurfacePoint on = fitted.areas.randomPoint(fitted.mesh, random);
        float p[3];
        for (int a = 0; a < 3; ++a) p[a] = float(on.position[a] + spread * (2.0 * random.uniform() - 1.0));
        SurfacePoint found;
        ASSERT_TRUE(fitted.nearest.nearestPoint(p, found));
        const double expected = bruteNearestDistance(fitted.mesh, p);
        EXPECT_NEAR(distance(p, found.position), expected, 1e-4 + 1e-6 * expected)
            << "query " << i << " at " << p[0] << ", " << p[1] << ", " << p[2];
        EXPECT_NEAR(length(found.normal), 1.0, 1e-5);
        // Starting from any triangle, near or not, finds a point as near.
        const int32_t hint = int32_t(random.next() % uint64_t(fitted.mesh.triangleCount));
        SurfacePoint hinted;
        ASSERT_TRUE(fitted.nearest.nearestPoint(p, hinted, i % 2 == 0 ? hint : on.triangle));
        EXPECT_NEAR(distance(p, hinted.position), expected, 1e-4 + 1e-6 * expected) << "query " << i;
    }
    const float nowhere[3] = {NAN, 0.0f, 0.0f};
    SurfacePoint none;
    EXPECT_FALSE(fitted.nearest.nearestPoint(nowhere, none));
}

TEST(TriangleMesh, NearestPointOnALargeMeshInAnyTriangleOrder)
{
    // Large enough for the tree to be built on both cores: in the file's
    // order, wholly shuffled, and in order for its first half only.
    const MeshLists torus = torusMesh(256, 160);
    const int half = int(torus.triangles.size() / 6);
    for (const MeshLists& lists : {torus, shuffled(torus), shuffled(torus, half)}) {
        FittedMesh fitted(lists);
        ASSERT_GE(fitted.mesh.triangleCount, 1 << 16);
        SplitMix64 random{21};
        for (int i = 0; i < 40; ++i) {
            const double spread = i < 20 ? 3.0 : 60.0;
            const SurfacePoint on = fitted.areas.randomPoint(fitted.mesh, random);
            float p[3];
            for (int a = 0; a < 3; ++a) p[a] = float(on.position[a] + spread * (2.0 * random.uniform() - 1.0));
            SurfacePoint found;
            ASSERT_TRUE(fitted.nearest.nearestPoint(p, found, on.triangle));
            const double expected = bruteNearestDistance(fitted.mesh, p);
            EXPECT_NEAR(distance(p, found.position), expected, 1e-4 + 1e-6 * expected) << "query " << i;
        }
    }
}

TEST(TriangleMesh, NearestPointOfACornerIsOnItsLowestNumberedTriangle)
{
    // Out along a ball's corner, every triangle about the corner is equally
    // near; the answer is the same whichever of them the search starts from.
    FittedMesh fitted(icosphere(3));
    const TriangleMesh& mesh = fitted.mesh;
    for (int v = 0; v < mesh.vertexCount; v += 7) {
        std::vector<int32_t> around;
        for (int t = 0; t < mesh.triangleCount; ++t) {
            for (int k = 0; k < 3; ++k) {
                if (mesh.triangles[t * 3 + k] == v) around.push_back(t);
            }
        }
        ASSERT_GE(around.size(), 5u);
        const float* corner = mesh.positions + v * 3;
        const float p[3] = {corner[0] * 1.25f, corner[1] * 1.25f, corner[2] * 1.25f};
        for (int32_t hint : around) {
            SurfacePoint found;
            ASSERT_TRUE(fitted.nearest.nearestPoint(p, found, hint));
            EXPECT_EQ(found.triangle, around.front()) << "corner " << v << ", search from " << hint;
            EXPECT_LT(distance(found.position, corner), 1e-4);
        }
    }
}

TEST(TriangleMesh, NearestPointCarriesUvsAndTheWindingSide)
{
    FittedMesh fitted(squareGrid(40));
    SplitMix64 random{9};
    const double half = 100.0 / std::sqrt(2.0);  // the square's half side once fitted
    for (int i = 0; i < 200; ++i) {
        const float p[3] = {float(150.0 * (2.0 * random.uniform() - 1.0)), float(150.0 * (2.0 * random.uniform() - 1.0)),
                            float(50.0 * (2.0 * random.uniform() - 1.0))};
        SurfacePoint found;
        ASSERT_TRUE(fitted.nearest.nearestPoint(p, found));
        EXPECT_NEAR(found.uv[0], (found.position[0] / half + 1.0) / 2.0, 1e-5) << "query " << i;
        EXPECT_NEAR(found.uv[1], (found.position[1] / half + 1.0) / 2.0, 1e-5) << "query " << i;
        EXPECT_FLOAT_EQ(found.normal[2], 1.0f) << "query " << i;
        const double clampedX = std::max(-half, std::min(half, double(p[0])));
        EXPECT_NEAR(found.position[0], clampedX, 1e-3) << "query " << i;
    }
}

TEST_P(EveryTestMesh, ClusterRootsAreEvenlySpread)
{
    FittedMesh fitted(GetParam().lists);
    const double area = fitted.areas.totalArea();
    // Coverage is measured at many points of the surface, the same for every count.
    std::vector<SurfacePoint> probes(20000);
    SplitMix64 probeRandom{99};
    for (auto& probe : probes) probe = fitted.areas.randomPoint(fitted.mesh, probeRandom);
    const int smallest = GetParam().name == "two_pieces" ? 4 : 1;
    for (int count : {1, 4, 9, 25, 49, 100, 400}) {
        if (count < smallest) continue;
        for (uint64_t seed : {1u, 2u, 12345u}) {
            std::vector<SurfacePoint> roots(count);
            ASSERT_TRUE(clusterRoots(fitted.mesh, fitted.areas, count, seed, roots.data()));
            const double d = rootSpacing(area, count);
            double closest = INFINITY;
            for (int i = 0; i < count; ++i) {
                EXPECT_LT(bruteNearestDistance(fitted.mesh, roots[i].position), 1e-3);
                for (int j = i + 1; j < count; ++j) closest = std::min(closest, distance(roots[i].position, roots[j].position));
            }
            double farthest = 0.0;
            for (const auto& probe : probes) {
                double nearestRoot = INFINITY;
                for (const auto& root : roots) nearestRoot = std::min(nearestRoot, distance(probe.position, root.position));
                farthest = std::max(farthest, nearestRoot);
            }
            if (count > 1) {
                EXPECT_GE(closest, 0.5 * d) << count << " roots, seed " << seed;
            }
            EXPECT_LE(farthest, 1.5 * d) << count << " roots, seed " << seed;
        }
    }
}

TEST(TriangleMesh, SameMeshAndSeedGiveTheSameRoots)
{
    FittedMesh first(torusMesh(96, 48));
    FittedMesh second(torusMesh(96, 48));
    std::vector<SurfacePoint> a(100), b(100), c(100);
    ASSERT_TRUE(clusterRoots(first.mesh, first.areas, 100, 42, a.data()));
    ASSERT_TRUE(clusterRoots(second.mesh, second.areas, 100, 42, b.data()));
    ASSERT_TRUE(clusterRoots(second.mesh, second.areas, 100, 43, c.data()));
    EXPECT_EQ(std::memcmp(a.data(), b.data(), sizeof(SurfacePoint) * 100), 0);
    EXPECT_NE(std::memcmp(a.data(), c.data(), sizeof(SurfacePoint) * 100), 0);
    TriangleMesh empty;
    AreaTable noAreas;
    noAreas.setup(empty);
    EXPECT_FALSE(clusterRoots(empty, noAreas, 4, 1, a.data()));
    EXPECT_FALSE(clusterRoots(first.mesh, first.areas, 0, 1, a.data()));
}

TEST(TriangleMesh, StrandRootsStayNearTheirClusterRoot)
{
    FittedMesh fitted(icosphere(4));
    std::vector<SurfacePoint> roots(25);
    ASSERT_TRUE(clusterRoots(fitted.mesh, fitted.areas, 25, 8, roots.data()));
    const double radius = rootSpacing(fitted.areas.totalArea(), 25) / 2.0;
    SplitMix64 random{4};
    for (const auto& clusterRoot : roots) {
        float tangent[3], bitangent[3];
        tangentFrame(clusterRoot.normal, tangent, bitangent);
        EXPECT_NEAR(length(tangent), 1.0, 1e-5);
        EXPECT_NEAR(length(bitangent), 1.0, 1e-5);
        for (int i = 0; i < 20; ++i) {
            SurfacePoint root;
            ASSERT_TRUE(rootNear(fitted.nearest, clusterRoot, radius, random.uniform(), random.uniform(), root));
            // On a ball the nearest point of a tangent disc is no farther than the disc's rim.
            EXPECT_LE(distance(root.position, clusterRoot.position), radius * 1.001);
            EXPECT_LT(bruteNearestDistance(fitted.mesh, root.position), 1e-3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TriangleMesh, EveryTestMesh, ::testing::ValuesIn(allTestMeshes()), meshName);
