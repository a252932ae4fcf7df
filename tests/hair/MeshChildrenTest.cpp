#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestMeshes.h"
#include "geometry/MeshNearest.h"
#include "hair/ChildStrands.h"
#include "hair/MeshGrowth.h"

namespace {

// Guides standing out of the mesh along its normal, rooted uniformly by area,
// written in the mesh's own units as its hair files hold them.
struct MeshGuides {
    std::vector<unsigned char> bytes;
    GuideStrands strands;
    std::vector<float> fittedRoots;
};

void makeGuides(const MeshGround& ground, int count, int points, uint64_t seed, MeshGuides& guides)
{
    SplitMix64 random{seed};
    std::vector<float> xyz;
    guides.strands.starts.assign(1, 0);
    for (int g = 0; g < count; ++g) {
        const SurfacePoint root = ground.areas.randomPoint(ground.mesh, random);
        guides.fittedRoots.insert(guides.fittedRoots.end(), root.position, root.position + 3);
        for (int i = 0; i < points; ++i) {
            double fitted[3];
            for (int a = 0; a < 3; ++a) {
                fitted[a] = root.position[a] + 2.0 * i * root.normal[a] + 0.3 * i * i * (a == 0);
            }
            double own[3];
            ground.fit.toMesh(fitted, own);
            xyz.insert(xyz.end(), own, own + 3);
        }
        guides.strands.starts.push_back(guides.strands.starts.back() + points);
    }
    guides.bytes.resize(xyz.size() * 4);
    std::memcpy(guides.bytes.data(), xyz.data(), guides.bytes.size());
    guides.strands.points = guides.bytes.data();
}

void buildGround(const MeshLists& lists, MeshGround& ground)
{
    TriangleMesh mesh;
    buildMesh(lists, mesh);
    ASSERT_TRUE(ground.setup(mesh, 0xC41D));
}

void toFitted(const MeshGround& ground, const float* own, float fitted[3])
{
    const double in[3] = {own[0], own[1], own[2]};
    double out[3];
    ground.fit.toFitted(in, out);
    for (int a = 0; a < 3; ++a) {
        fitted[a] = static_cast<float>(out[a]);
    }
}

double distance(const float a[3], const float b[3])
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

StrandRun allChildren(const ChildGenerator& generator)
{
    StrandRun run;
    for (uint64_t g = 0; g < generator.guideStrands().strandCount(); ++g) {
        generator.generate(g, run);
    }
    return run;
}

ChildOptions meshOptions(ChildMode mode, uint32_t children, float frizz)
{
    ChildOptions options;
    options.children = children;
    options.mode = mode;
    options.radius = 6.0f;
    options.frizz = frizz;
    options.seed = 77;
    return options;
}

class MeshChildren : public ::testing::TestWithParam<NamedMesh> {};

// Every child of either mode roots on the surface, found the slow way, and
// stands as long as its guide; around children root near their guide's root,
// between children follow the guide whose root is nearest their own.
TEST_P(MeshChildren, RootOnTheSurface)
{
    MeshGround ground;
    buildGround(GetParam().lists, ground);
    MeshGuides guides;
    makeGuides(ground, 12, 8, 5, guides);
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        for (float frizz : {0.0f, 1.5f}) {
            std::string problem;
            const ChildOptions options = meshOptions(mode, 9, frizz);
            const auto generator = ChildGenerator::make(guides.strands, UnderlyingShape::Mesh,
                                                        options, problem, &ground);
            ASSERT_TRUE(generator) << problem;
            ASSERT_EQ(generator->meshGround(), &ground);
            const StrandRun run = allChildren(*generator);
            ASSERT_EQ(run.strandCount(), 12u * 9u);
            size_t first = 0;
            int nearRadius = 0;
            for (size_t k = 0; k < run.strandCount(); ++k) {
                ASSERT_EQ(run.pointCounts[k], 8u);
                float root[3];
                toFitted(ground, &run.points[3 * first], root);
                EXPECT_LT(bruteNearestDistance(ground.mesh, root), 2e-3) << k;
                const uint32_t guide = run.guides[k];
                ASSERT_LT(guide, 12u);
                const float* guideRoot = &guides.fittedRoots[3 * guide];
                if (mode == ChildMode::Around) {
                    EXPECT_EQ(guide, k / 9);
                    // The nearest point to the disc's edge is never further than the edge.
                    EXPECT_LE(distance(root, guideRoot), 2.0 * options.radius + 1e-3);
                    nearRadius += distance(root, guideRoot) <= options.radius * 1.01 + 1e-3;
                } else {
                    for (int other = 0; other < 12; ++other) {
                        EXPECT_LE(distance(root, guideRoot),
                                  distance(root, &guides.fittedRoots[3 * other]) + 1e-3);
                    }
                }
                first += run.pointCounts[k];
            }
            if (mode == ChildMode::Around) {
                // Where the mesh is smooth the surface point lies within the disc.
                EXPECT_GE(nearRadius, int(run.strandCount() * 9 / 10)) << GetParam().name;
            }
        }
    }
}

// A brood made in pieces, with children drawn past, comes out as it does whole.
TEST_P(MeshChildren, PiecesMatchTheWhole)
{
    MeshGround ground;
    buildGround(GetParam().lists, ground);
    MeshGuides guides;
    makeGuides(ground, 5, 6, 9, guides);
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        std::string problem;
        const auto generator = ChildGenerator::make(
            guides.strands, UnderlyingShape::Mesh, meshOptions(mode, 7, 0.8f), problem, &ground);
        ASSERT_TRUE(generator) << problem;
        for (uint64_t g = 0; g < 5; ++g) {
            StrandRun whole;
            generator->generate(g, whole);
            StrandRun tail;
            ChildCursor cursor = generator->broodStart(g);
            generator->skip(cursor, 3);
            generator->generate(cursor, 7, tail);
            const size_t skipped = 3 * 6 * 3;
            ASSERT_EQ(tail.points.size() + skipped, whole.points.size());
            EXPECT_TRUE(std::equal(tail.points.begin(), tail.points.end(),
                                   whole.points.begin() + skipped));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TestMeshes, MeshChildren, ::testing::ValuesIn(allTestMeshes()),
                         [](const auto& info) { return info.param.name; });

// Between guides, children spread over the whole mesh: both pieces of the
// two-piece mesh get them in proportion to their area, wherever the guides are.
TEST(MeshChildrenSpread, BothPiecesByArea)
{
    MeshGround ground;
    buildGround(twoPieces(), ground);
    MeshGuides guides;
    makeGuides(ground, 40, 4, 3, guides);
    std::string problem;
    const auto generator = ChildGenerator::make(guides.strands, UnderlyingShape::Mesh,
                                                meshOptions(ChildMode::Between, 200, 0.0f),
                                                problem, &ground);
    ASSERT_TRUE(generator) << problem;
    const StrandRun run = allChildren(*generator);
    // The second ball is at x = 1.5 with radius 0.6, the first at -1.2 with radius 1.
    int second = 0;
    for (size_t k = 0; k < run.strandCount(); ++k) {
        second += run.points[3 * 4 * k] > 0.15f;
    }
    const double share = double(second) / double(run.strandCount());
    const double expected = 0.36 / 1.36;
    const double spread = std::sqrt(expected * (1 - expected) / run.strandCount());
    EXPECT_NEAR(share, expected, 5 * spread) << second << " of " << run.strandCount();
}

// The same seed makes the same floats; another seed, other children.
TEST(MeshChildrenSpread, SeedDecides)
{
    MeshGround ground;
    buildGround(torusMesh(48, 24), ground);
    MeshGuides guides;
    makeGuides(ground, 6, 5, 2, guides);
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        ChildOptions options = meshOptions(mode, 10, 1.0f);
        std::string problem;
        const auto one = ChildGenerator::make(guides.strands, UnderlyingShape::Mesh, options,
                                              problem, &ground);
        const auto again = ChildGenerator::make(guides.strands, UnderlyingShape::Mesh, options,
                                                problem, &ground);
        options.seed += 1;
        const auto other = ChildGenerator::make(guides.strands, UnderlyingShape::Mesh, options,
                                                problem, &ground);
        ASSERT_TRUE(one && again && other) << problem;
        const StrandRun a = allChildren(*one);
        const StrandRun b = allChildren(*again);
        const StrandRun c = allChildren(*other);
        ASSERT_EQ(a.points.size(), b.points.size());
        EXPECT_EQ(0, std::memcmp(a.points.data(), b.points.data(), a.points.size() * 4));
        EXPECT_NE(0, std::memcmp(a.points.data(), c.points.data(), a.points.size() * 4));
    }
}

// Without its ground, mesh hair has no surface for children between guides.
TEST(MeshChildrenSpread, BetweenNeedsTheGround)
{
    MeshGround ground;
    buildGround(icosphere(2), ground);
    MeshGuides guides;
    makeGuides(ground, 3, 4, 1, guides);
    std::string problem;
    EXPECT_FALSE(ChildGenerator::make(guides.strands, UnderlyingShape::Mesh,
                                      meshOptions(ChildMode::Between, 2, 0.0f), problem));
    EXPECT_FALSE(problem.empty());
    MeshGround empty;
    EXPECT_FALSE(ChildGenerator::make(guides.strands, UnderlyingShape::Mesh,
                                      meshOptions(ChildMode::Between, 2, 0.0f), problem, &empty));
}

}  // namespace
