#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/UnderlyingShapes.h"
#include "HairTestSupport.h"
#include "hair/ChildStrands.h"

namespace {

// Guides held as the little-endian bytes the generator reads in place.
struct Guides {
    std::vector<unsigned char> bytes;
    GuideStrands strands;

    void add(const std::vector<float>& xyz)
    {
        if (strands.starts.empty()) {
            strands.starts.push_back(0);
        }
        for (float value : xyz) {
            uint32_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            for (int b = 0; b < 4; ++b) {
                bytes.push_back(static_cast<unsigned char>(bits >> (8 * b)));
            }
        }
        strands.starts.push_back(strands.starts.back() + xyz.size() / 3);
        strands.points = bytes.data();
    }
};

// Straight strands of n points standing out of the shape along its normal, one
// unit apart, rooted on a spread of points of the shape.
Guides standingGuides(UnderlyingShape shape, int count, int n)
{
    Guides guides;
    srand(3);
    for (int g = 0; g < count; ++g) {
        // Any point will do: the shape's frame is taken at the root as given.
        const float u = static_cast<float>(rand() % 1000) / 1000.0f;
        const float v = static_cast<float>(rand() % 1000) / 1000.0f;
        float root[3];
        if (shape == UnderlyingShape::Plane) {
            root[0] = 200.0f * u - 100.0f;
            root[1] = 0.0f;
            root[2] = 200.0f * v - 100.0f;
        } else {
            const double a = 6.283185307179586 * u;
            const double b = 3.141592653589793 * (v - 0.5);
            const double radial = shape == UnderlyingShape::Sphere ? 100.0 * std::cos(b) : 100.0 + 50.0 * std::cos(2 * b);
            root[0] = static_cast<float>(radial * std::cos(a));
            root[1] = static_cast<float>(radial * std::sin(a));
            root[2] = static_cast<float>(shape == UnderlyingShape::Sphere ? 100.0 * std::sin(b) : 50.0 * std::sin(2 * b));
        }
        const RootFrame frame = shapeFrame(shape, root);
        std::vector<float> xyz;
        for (int i = 0; i < n; ++i) {
            for (int a = 0; a < 3; ++a) {
                xyz.push_back(root[a] + static_cast<float>(i) * frame.normal[a]);
            }
        }
        guides.add(xyz);
    }
    return guides;
}

// A generator whose options the test knows to be good.
ChildGenerator generatorFor(const GuideStrands& guides, UnderlyingShape shape,
                            const ChildOptions& options)
{
    std::string problem;
    std::optional<ChildGenerator> generator = ChildGenerator::make(guides, shape, options, problem);
    if (!generator) {
        throw std::runtime_error("no generator: " + problem);
    }
    return std::move(*generator);
}

std::vector<StrandRun> allBroods(const ChildGenerator& generator, uint64_t broods)
{
    std::vector<StrandRun> batches(broods);
    for (uint64_t g = 0; g < broods; ++g) {
        generator.generate(g, batches[g]);
    }
    return batches;
}

const float* childPoint(const StrandRun& batch, size_t child, size_t i, size_t n)
{
    return &batch.points[3 * (child * n + i)];
}

float distance(const float* a, const float* b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

}  // namespace

TEST(ChildStrands, TheSameSeedGivesTheSameChildrenInAnyOrderAndNeverDrawsFromRand)
{
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        const Guides guides = standingGuides(UnderlyingShape::Sphere, 40, 10);
        ChildOptions options;
        options.children = 25;
        options.mode = mode;
        options.frizz = 2.0f;
        srand(11);
        const int nextDraw = rand();
        srand(11);
        const ChildGenerator generator = generatorFor(guides.strands, UnderlyingShape::Sphere, options);
        const std::vector<StrandRun> first = allBroods(generator, 40);
        EXPECT_EQ(rand(), nextDraw) << "mode " << static_cast<int>(mode) << ": children left rand() alone";

        // One brood on its own comes out as it did among the others.
        StrandRun alone;
        generator.generate(17, alone);
        EXPECT_EQ(alone.points, first[17].points) << "mode " << static_cast<int>(mode);

        options.seed = 2;
        const ChildGenerator reseeded = generatorFor(guides.strands, UnderlyingShape::Sphere, options);
        StrandRun other;
        reseeded.generate(17, other);
        ASSERT_EQ(other.points.size(), alone.points.size());
        EXPECT_NE(other.points, alone.points) << "mode " << static_cast<int>(mode) << ": another seed, other children";

        uint64_t children = 0;
        uint64_t points = 0;
        for (const StrandRun& batch : first) {
            children += batch.strandCount();
            points += batch.points.size() / 3;
        }
        EXPECT_EQ(children, generator.childCount());
        EXPECT_EQ(points, generator.childPointCount());
    }
}

// Roots spread over the disc around the guide's root, across the shape's normal;
// clump 1 brings every tip onto the guide's, clump 0 keeps the root's offset.
TEST(ChildStrands, AroundChildrenRootOnTheDiscAndClumpTowardsTheGuide)
{
    const int n = 12;
    for (UnderlyingShape shape : {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus, UnderlyingShape::NoShape}) {
        const Guides guides = standingGuides(shape == UnderlyingShape::NoShape ? UnderlyingShape::Sphere : shape, 30, n);
        for (float clump : {0.0f, 1.0f}) {
            ChildOptions options;
            options.children = 200;
            options.radius = 6.0f;
            options.clump = clump;
            const ChildGenerator generator = generatorFor(guides.strands, shape, options);
            double radiusSqSum = 0.0;
            for (uint64_t g = 0; g < 30; ++g) {
                StrandRun batch;
                generator.generate(g, batch);
                float guideRoot[3];
                float guideTip[3];
                guides.strands.point(guides.strands.starts[g], guideRoot);
                guides.strands.point(guides.strands.starts[g] + n - 1, guideTip);
                const RootFrame frame = generator.guideFrame(g);
                for (size_t c = 0; c < batch.strandCount(); ++c) {
                    const float* root = childPoint(batch, c, 0, n);
                    const float* tip = childPoint(batch, c, n - 1, n);
                    const float offset[3] = {root[0] - guideRoot[0], root[1] - guideRoot[1],
                                             root[2] - guideRoot[2]};
                    const float r = distance(root, guideRoot);
                    radiusSqSum += r * r;
                    ASSERT_LE(r, 6.0f * 1.0001f) << "shape " << shape << " guide " << g;
                    EXPECT_NEAR(offset[0] * frame.normal[0] + offset[1] * frame.normal[1] +
                                    offset[2] * frame.normal[2],
                                0.0f, 1e-4f);
                    const float tipShift = distance(tip, guideTip);
                    if (clump == 1.0f) {
                        EXPECT_LE(tipShift, 1e-4f) << "shape " << shape << " guide " << g;
                    } else {
                        EXPECT_NEAR(tipShift, r, 1e-4f) << "shape " << shape << " guide " << g;
                    }
                }
            }
            // Uniform over the disc: the mean squared radius is half the radius squared.
            EXPECT_NEAR(radiusSqSum / (30 * 200), 18.0, 0.6) << "shape " << shape;
        }
    }
}

TEST(ChildStrands, FrizzGrowsFromNothingAtTheRootToItsMostAtTheTip)
{
    const int n = 9;
    const Guides guides = standingGuides(UnderlyingShape::Plane, 5, n);
    ChildOptions options;
    options.children = 100;
    options.clump = 1.0f;
    options.frizz = 3.0f;
    const ChildGenerator generator = generatorFor(guides.strands, UnderlyingShape::Plane, options);
    float largestTipStray = 0.0f;
    for (uint64_t g = 0; g < 5; ++g) {
        StrandRun batch;
        generator.generate(g, batch);
        for (size_t c = 0; c < batch.strandCount(); ++c) {
            for (int i = 1; i < n; ++i) {
                float guidePoint[3];
                guides.strands.point(guides.strands.starts[g] + i, guidePoint);
                // With clump 1 the offset shrinks to nothing, so at the tip only frizz is left.
                const float along = static_cast<float>(i) / (n - 1);
                const float stray = distance(childPoint(batch, c, i, n), guidePoint);
                EXPECT_LE(stray, 6.0f * (1.0f - along) + 3.0f * along + 1e-4f);
                if (i == n - 1) {
                    EXPECT_LE(stray, 3.0f + 1e-4f);
                    largestTipStray = std::max(largestTipStray, stray);
                }
            }
        }
    }
    EXPECT_GT(largestTipStray, 2.0f) << "frizz reaches near its limit at the tip";
}

// Every child roots on the shape, follows the guide whose root is nearest (found
// through the grid, checked here by scanning them all), and stands out of the
// surface as guides standing straight out of it do.
TEST(ChildStrands, BetweenChildrenRootOnTheShapeAndStandAsTheirGuides)
{
    const int n = 8;
    for (UnderlyingShape shape : {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        const Guides guides = standingGuides(shape, 300, n);
        ChildOptions options;
        options.children = 20;
        options.mode = ChildMode::Between;
        const ChildGenerator generator = generatorFor(guides.strands, shape, options);
        for (uint64_t brood = 0; brood < 300; brood += 7) {
            StrandRun batch;
            generator.generate(brood, batch);
            for (size_t c = 0; c < batch.strandCount(); ++c) {
                const float* root = childPoint(batch, c, 0, n);
                const std::string where = "shape " + std::to_string(static_cast<int>(shape)) + " brood " +
                                          std::to_string(brood) + " child " + std::to_string(c);
                if (shape == UnderlyingShape::Plane) {
                    EXPECT_EQ(root[1], 0.0f) << where;
                    EXPECT_LE(std::fabs(root[0]), 100.0f) << where;
                    EXPECT_LE(std::fabs(root[2]), 100.0f) << where;
                } else if (shape == UnderlyingShape::Sphere) {
                    EXPECT_NEAR(distance(root, std::vector<float>{0, 0, 0}.data()), 100.0f, 1e-3f) << where;
                } else {
                    const float axis = std::hypot(root[0], root[1]);
                    EXPECT_NEAR(std::hypot(axis - 100.0f, root[2]), 50.0f, 1e-3f) << where;
                }
                uint32_t nearest = 0;
                float nearestDistance = 1e30f;
                for (uint32_t g = 0; g < 300; ++g) {
                    float guideRoot[3];
                    guides.strands.point(guides.strands.starts[g], guideRoot);
                    if (distance(root, guideRoot) < nearestDistance) {
                        nearestDistance = distance(root, guideRoot);
                        nearest = g;
                    }
                }
                EXPECT_EQ(batch.guides[c], nearest) << where;
                const RootFrame frame = shapeFrame(shape, root);
                for (int i = 0; i < n; ++i) {
                    const float expected[3] = {root[0] + i * frame.normal[0],
                                               root[1] + i * frame.normal[1],
                                               root[2] + i * frame.normal[2]};
                    EXPECT_LE(distance(childPoint(batch, c, i, n), expected), 1e-3f)
                        << where << " point " << i;
                }
            }
        }
    }
}

// A generator whose options cannot be met does not exist, so it cannot be asked
// for children.
TEST(ChildStrands, BetweenGuidesNeedsAShapeAndGuidesOfOneLength)
{
    Guides guides = standingGuides(UnderlyingShape::Plane, 3, 6);
    ChildOptions options;
    options.children = 2;
    options.mode = ChildMode::Between;
    std::string problem;
    EXPECT_FALSE(ChildGenerator::make(guides.strands, UnderlyingShape::NoShape, options, problem));
    EXPECT_NE(problem.find("shape"), std::string::npos);
    guides.add({0, 0, 0, 0, 1, 0, 0, 2, 0});
    problem.clear();
    EXPECT_FALSE(ChildGenerator::make(guides.strands, UnderlyingShape::Plane, options, problem));
    EXPECT_NE(problem.find("one length"), std::string::npos);
    options.mode = ChildMode::Around;
    EXPECT_TRUE(ChildGenerator::make(guides.strands, UnderlyingShape::NoShape, options, problem));
    // Without children, between guides asks nothing of them.
    options.mode = ChildMode::Between;
    options.children = 0;
    EXPECT_TRUE(ChildGenerator::make(guides.strands, UnderlyingShape::NoShape, options, problem));
}

TEST(ChildStrands, WidthsTaperLinearlyFromRootToTip)
{
    ChildOutput output;
    output.rootWidth = 3.0f;
    output.tipWidth = 0.5f;
    EXPECT_FALSE(widthsAreConstant(output));
    EXPECT_EQ(strandWidth(output, 0, 11), 3.0f);
    EXPECT_EQ(strandWidth(output, 10, 11), 0.5f);
    EXPECT_FLOAT_EQ(strandWidth(output, 5, 11), 1.75f);
    for (int i = 1; i < 11; ++i) {
        EXPECT_LT(strandWidth(output, i, 11), strandWidth(output, i - 1, 11));
    }
    EXPECT_TRUE(widthsAreConstant(ChildOutput()));
    EXPECT_EQ(strandWidth(ChildOutput(), 4, 16), 2.0f);
}

// Writers make a large brood in pieces on several threads: each piece from a
// cursor drawn past the children before it, or carried on from the piece
// before, comes out exactly as that part of the whole brood.
TEST(ChildStrands, ABroodMadeInPiecesIsTheWholeBrood)
{
    const int n = 7;
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        for (float frizz : {0.0f, 2.0f}) {
            const Guides guides = standingGuides(UnderlyingShape::Torus, 20, n);
            ChildOptions options;
            options.children = 300;
            options.mode = mode;
            options.frizz = frizz;
            const ChildGenerator generator = generatorFor(guides.strands, UnderlyingShape::Torus, options);
            srand(5);
            for (uint64_t g = 0; g < 20; g += 3) {
                const std::string where = std::string(childModeName(mode)) + " frizz " +
                                          std::to_string(frizz) + " brood " + std::to_string(g);
                StrandRun whole;
                generator.generate(g, whole);
                StrandRun carried;
                ChildCursor cursor = generator.broodStart(g);
                for (uint64_t start = 0; start < options.children;) {
                    const uint64_t end = std::min<uint64_t>(start + 1 + rand() % 60, options.children);
                    // A piece on its own starts from a fresh cursor drawn past the others.
                    ChildCursor skipped = generator.broodStart(g);
                    generator.skip(skipped, start);
                    EXPECT_EQ(skipped.state, cursor.state) << where << " child " << start;
                    StrandRun alone;
                    generator.generate(skipped, end, alone);
                    ASSERT_EQ(alone.points.size(), (end - start) * n * 3) << where;
                    EXPECT_TRUE(std::equal(alone.points.begin(), alone.points.end(),
                                           whole.points.begin() + start * n * 3))
                        << where << " children " << start << " to " << end;
                    generator.generate(cursor, end, carried);
                    EXPECT_EQ(cursor.child, end) << where;
                    start = end;
                }
                EXPECT_EQ(carried.points, whole.points) << where;
                EXPECT_EQ(carried.guides, whole.guides) << where;
            }
        }
    }
}
