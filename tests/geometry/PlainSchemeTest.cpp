#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>

#include "PlainSurface.h"
#include "ReferenceSurface.h"
#include "geometry/BasisTableCache.h"
#include "hair/HairRecipe.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

// The fast surface against the plain one, float for float. Comparisons are of
// bit patterns, so a NaN or a signed zero anywhere would count too.

namespace {

template <typename T>
bool sameBits(const T* fast, const std::vector<T>& plain)
{
    return fast != nullptr && std::memcmp(fast, plain.data(), plain.size() * sizeof(T)) == 0;
}

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

bool sameBits(const SurfaceVertex& a, const SurfaceVertex& b)
{
    return std::memcmp(&a, &b, sizeof(SurfaceVertex)) == 0;
}

std::string describeVertex(const SurfaceVertex& v)
{
    std::ostringstream out;
    out.precision(9);
    out << "position " << v.position[0] << ' ' << v.position[1] << ' ' << v.position[2] << ", normal "
        << v.normal[0] << ' ' << v.normal[1] << ' ' << v.normal[2] << ", st " << v.texCoord[0] << ' '
        << v.texCoord[1];
    return out.str();
}

// Knots with arbitrary float values, so every rounding of the recursion is exercised.
std::vector<float> randomRealKnots(std::mt19937& rng, int degree, int numCtrl)
{
    std::uniform_real_distribution<float> value(-3.0f, 5.0f);
    std::vector<float> knots(numCtrl + degree + 1);
    do {
        for (float& k : knots) k = value(rng);
        std::sort(knots.begin(), knots.end());
        // Some repeats, as real knot vectors have.
        for (size_t n = 1; n < knots.size(); ++n) {
            if (pick(rng, 0, 4) == 0) knots[n] = knots[n - 1];
        }
    } while (!(knots[degree] < knots[numCtrl]));
    return knots;
}

SurfaceInput randomSurface(std::mt19937& rng, int maxDegree, bool realKnots)
{
    SurfaceInput in;
    in.degreeU = pick(rng, 1, maxDegree);
    in.degreeV = pick(rng, 1, maxDegree);
    in.numCtrlU = in.degreeU + pick(rng, 1, 6);
    in.numCtrlV = in.degreeV + pick(rng, 1, 6);
    in.knotsU = realKnots ? randomRealKnots(rng, in.degreeU, in.numCtrlU) : randomKnots(rng, in.degreeU, in.numCtrlU);
    in.knotsV = realKnots ? randomRealKnots(rng, in.degreeV, in.numCtrlV) : randomKnots(rng, in.degreeV, in.numCtrlV);
    in.samplesU = pick(rng, 1, 24);
    in.samplesV = pick(rng, 1, 24);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    std::uniform_real_distribution<float> weight(0.25f, 2.0f);
    for (int n = 0; n < in.numCtrlU * in.numCtrlV; ++n) {
        const float w = weight(rng);
        in.net.push_back({coordinate(rng) * w, coordinate(rng) * w, coordinate(rng) * w, w});
    }
    return in;
}

SurfaceInput shapeInput(void (*buildNet)(ControlPoint*))
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildNet(net);
    SurfaceInput in;
    in.degreeU = 2;
    in.degreeV = 2;
    in.numCtrlU = kShapeNetSize;
    in.numCtrlV = kShapeNetSize;
    in.net.assign(net, net + kShapeNetSize * kShapeNetSize);
    in.knotsU.assign(kCircleKnots, kCircleKnots + 12);
    in.knotsV.assign(kCircleKnots, kCircleKnots + 12);
    in.samplesU = kShapeSamples;
    in.samplesV = kShapeSamples;
    return in;
}

// A random walk; with `stalls`, some points repeat the one before, which
// collapses the tube there and sends samples through the degenerate-normal path.
std::vector<float> randomCentreline(std::mt19937& rng, int parts, bool stalls)
{
    std::uniform_real_distribution<float> start(-100.0f, 100.0f);
    std::uniform_real_distribution<float> step(-20.0f, 20.0f);
    std::vector<float> points = {start(rng), start(rng), start(rng)};
    for (int r = 1; r < parts; ++r) {
        const bool stall = stalls && pick(rng, 0, 2) == 0;
        for (int a = 0; a < 3; ++a) points.push_back(points[3 * (r - 1) + a] + (stall ? 0.0f : step(rng)));
    }
    return points;
}

SurfaceInput inputOf(const NurbsSurface& s)
{
    SurfaceInput in;
    in.degreeU = s.degreeU;
    in.degreeV = s.degreeV;
    in.numCtrlU = s.numCtrlU;
    in.numCtrlV = s.numCtrlV;
    in.net.assign(s.controlNet, s.controlNet + s.numCtrlU * s.numCtrlV);
    in.knotsU.assign(s.knotsU, s.knotsU + s.numKnotsU);
    in.knotsV.assign(s.knotsV, s.knotsV + s.numKnotsV);
    in.samplesU = s.samplesU;
    in.samplesV = s.samplesV;
    return in;
}

// Every table of the set-up surface against the plain one.
void expectSameTables(const NurbsSurface& fast, const PlainSurface& plain, const std::string& what)
{
    const SurfaceInput& in = plain.in;
    ASSERT_EQ(fast.orderU, plain.orderU) << what;
    ASSERT_EQ(fast.orderV, plain.orderV) << what;
    ASSERT_EQ(fast.numSpansU, in.numCtrlU - in.degreeU) << what;
    ASSERT_EQ(fast.numSpansV, in.numCtrlV - in.degreeV) << what;
    ASSERT_EQ(fast.samplesU, in.samplesU) << what;
    ASSERT_EQ(fast.samplesV, in.samplesV) << what;
    EXPECT_TRUE(sameBits(fast.controlNet, in.net)) << "control net\n" << what;
    EXPECT_TRUE(sameBits(fast.knotsU, in.knotsU)) << "u knots\n" << what;
    EXPECT_TRUE(sameBits(fast.knotsV, in.knotsV)) << "v knots\n" << what;
    for (size_t n = 0; n < plain.basisCoeffU.size(); ++n) {
        ASSERT_TRUE(sameFloat(fast.basisCoeffU[n], plain.basisCoeffU[n]))
            << "u coefficient " << n << ": " << fast.basisCoeffU[n] << " against " << plain.basisCoeffU[n] << "\n" << what;
    }
    for (size_t n = 0; n < plain.basisCoeffV.size(); ++n) {
        ASSERT_TRUE(sameFloat(fast.basisCoeffV[n], plain.basisCoeffV[n]))
            << "v coefficient " << n << ": " << fast.basisCoeffV[n] << " against " << plain.basisCoeffV[n] << "\n" << what;
    }
    EXPECT_TRUE(sameBits(fast.spanU, plain.spanU)) << "u spans\n" << what;
    EXPECT_TRUE(sameBits(fast.spanV, plain.spanV)) << "v spans\n" << what;
    EXPECT_TRUE(sameBits(fast.basisU, plain.basisU)) << "u basis\n" << what;
    EXPECT_TRUE(sameBits(fast.basisDerivU, plain.basisDerivU)) << "u derivatives\n" << what;
    EXPECT_TRUE(sameBits(fast.basisV, plain.basisV)) << "v basis\n" << what;
    EXPECT_TRUE(sameBits(fast.basisDerivV, plain.basisDerivV)) << "v derivatives\n" << what;
}

// Rows in drawing order, each against the plain row, with the other parity's
// slots still holding the row before; then the whole grid.
void expectSameVertices(NurbsSurface& fast, const PlainSurface& plain, const std::string& what)
{
    const int columns = plain.in.samplesV + 1;
    std::vector<SurfaceVertex> previous;
    for (int i = 0; i <= plain.in.samplesU; ++i) {
        fast.evaluateRow(i);
        const std::vector<SurfaceVertex> row = plain.evaluateRow(i);
        for (int j = 0; j < columns; ++j) {
            const SurfaceVertex& got = fast.stripVertices[2 * j + i % 2];
            ASSERT_TRUE(sameBits(got, row[j])) << "sample (" << i << ", " << j << ")\n  fast  "
                                               << describeVertex(got) << "\n  plain " << describeVertex(row[j])
                                               << "\n" << what;
            if (i > 0) {
                ASSERT_TRUE(sameBits(fast.stripVertices[2 * j + (i - 1) % 2], previous[j]))
                    << "row " << i << " disturbed row " << i - 1 << " at column " << j << "\n" << what;
            }
        }
        previous = row;
    }
    testing::internal::CaptureStdout();
    SurfaceVertex* grid = fast.evaluateGrid();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(grid, nullptr) << what;
    const std::vector<SurfaceVertex> plainGrid = plain.evaluateGrid();
    EXPECT_EQ(std::memcmp(grid, plainGrid.data(), plainGrid.size() * sizeof(SurfaceVertex)), 0) << "grid\n" << what;
    delete[] grid;
}

// Returns the plain surface, whose counters tell which fallback paths were taken.
PlainSurface expectSameAsPlain(const SurfaceInput& in, const std::string& label)
{
    NurbsSurface fast;
    in.setUp(fast);
    PlainSurface plain(in);
    const std::string what = label + "\n" + in.describe();
    expectSameTables(fast, plain, what);
    expectSameVertices(fast, plain, what);
    return plain;
}

// A surface of the given degrees on a 6 x 5 net whose first degree + 1 rows are
// one point, so its first u span is collapsed altogether, and whose last row
// repeats the one before it.
SurfaceInput collapsedCorner(int degree)
{
    SurfaceInput in;
    in.degreeU = degree;
    in.degreeV = degree;
    in.numCtrlU = 6;
    in.numCtrlV = 5;
    for (int r = 0; r < in.numCtrlU; ++r) {
        const int row = r <= degree ? 0 : r == in.numCtrlU - 1 ? r - 1 : r;
        for (int c = 0; c < in.numCtrlV; ++c) {
            const float w = c % 2 == 0 ? 1.0f : 0.75f;
            const float x = row == 0 ? 0.0f : 10.0f * row;
            const float y = row == 0 ? 0.0f : 7.0f * c + row;
            in.net.push_back({x * w, y * w, float(row * c) * w, w});
        }
    }
    for (int n = 0; n < in.numCtrlU + degree + 1; ++n) {
        in.knotsU.push_back(n <= degree ? 0.0f : n >= in.numCtrlU ? 1.0f : float(n - degree) / (in.numCtrlU - degree));
    }
    for (int n = 0; n < in.numCtrlV + degree + 1; ++n) {
        in.knotsV.push_back(n <= degree ? 0.0f : n >= in.numCtrlV ? 1.0f : float(n - degree) / (in.numCtrlV - degree));
    }
    in.samplesU = 20;
    in.samplesV = 20;
    return in;
}

}  // namespace

TEST(PlainScheme, CoefficientsOfRandomKnotVectorsMatchTheRecursion)
{
    // Degrees beyond the shapes' 2 and 3 reach deeper into the expansion.
    std::mt19937 rng(9001);
    NurbsSurface surface;
    for (int trial = 0; trial < 400; ++trial) {
        const SurfaceInput in = randomSurface(rng, 6, trial % 2 == 1);
        in.setUp(surface);
        const PlainSurface plain(in);
        ASSERT_TRUE(sameBits(surface.basisCoeffU, plain.basisCoeffU)) << "trial " << trial << "\n" << in.describe();
        ASSERT_TRUE(sameBits(surface.basisCoeffV, plain.basisCoeffV)) << "trial " << trial << "\n" << in.describe();
        // The public one-coefficient operation as well, on spans sampling never selects.
        const int span = pick(rng, 0, in.numCtrlU + in.degreeU - 1);
        const int i = pick(rng, 0, in.numCtrlU - 1);
        const int m = pick(rng, 0, in.degreeU + 1);
        const float got = surface.basisCoefficient(in.knotsU.data(), span, i, in.degreeU, m);
        const float want = plainBasisCoefficient(in.knotsU, span, i, in.degreeU, m);
        ASSERT_TRUE(sameFloat(got, want))
            << "span " << span << " i " << i << " m " << m << "\n" << in.describe();
    }
}

TEST(PlainScheme, SphereAndTorusMatchBitForBit)
{
    const PlainSurface sphere = expectSameAsPlain(shapeInput(buildSphereNet), "sphere");
    expectSameAsPlain(shapeInput(buildTorusNet), "torus");
    // The poles' rows take the fallback normal.
    EXPECT_GE(sphere.degenerateSamples, 2 * 21);
}

TEST(PlainScheme, EveryStepOfTheDegenerateNormalFallbackMatchesBitForBit)
{
    for (int degree : {2, 3}) {
        const PlainSurface plain = expectSameAsPlain(collapsedCorner(degree), "collapsed corner");
        if (HasFatalFailure()) return;
        EXPECT_GT(plain.degenerateSamples, 0) << "degree " << degree;
        EXPECT_GT(plain.laterTries, 0) << "degree " << degree;
        EXPECT_GT(plain.noDirection, 0) << "degree " << degree;
    }
}

TEST(PlainScheme, StrandsOfEveryPartsValueMatchBitForBit)
{
    std::mt19937 rng(31337);
    for (int parts = kMinStrandParts; parts <= kMaxStrandParts; parts += 2) {
        for (int trial = 0; trial < 12; ++trial) {
            const std::vector<float> centreline = randomCentreline(rng, parts, trial % 3 == 2);
            std::ostringstream label;
            label << "strand of " << parts << " parts, trial " << trial;
            expectSameAsPlain(strandInput(centreline), label.str());
            if (HasFatalFailure()) return;
        }
    }
}

TEST(PlainScheme, RandomRationalSurfacesMatchBitForBit)
{
    std::mt19937 rng(123);
    for (int trial = 0; trial < 300; ++trial) {
        expectSameAsPlain(randomSurface(rng, 3, trial % 2 == 1), "trial " + std::to_string(trial));
        if (HasFatalFailure()) return;
    }
}

TEST(PlainScheme, RowsOutOfOrderAndRepeatedMatchBitForBit)
{
    NurbsSurface fast;
    const SurfaceInput in = shapeInput(buildTorusNet);
    in.setUp(fast);
    const PlainSurface plain(in);
    for (int i : {7, 3, 3, 20, 0, 19, 5, 5, 12}) {
        fast.evaluateRow(i);
        const std::vector<SurfaceVertex> row = plain.evaluateRow(i);
        for (int j = 0; j <= in.samplesV; ++j) {
            ASSERT_TRUE(sameBits(fast.stripVertices[2 * j + i % 2], row[j])) << "row " << i << " column " << j;
        }
    }
}

TEST(PlainScheme, SurfacesSetUpOneAfterAnotherKeepNothingOfTheLast)
{
    // Strands share their tables through a cache; a surface set up after one of
    // other knots, degree or sample counts must still get its own.
    std::mt19937 rng(64);
    BasisTableCache cache;
    NurbsSurface reused;
    for (int trial = 0; trial < 60; ++trial) {
        SurfaceInput in = strandInput(randomCentreline(rng, 2 * pick(rng, 3, 8), false));
        if (trial % 4 == 1) in.samplesU = pick(rng, 1, 30);
        if (trial % 4 == 2) in.knotsV = {0.0f, 0.0f, 0.0f, 0.0f, 0.2f, 0.3f, 0.5f, 0.6f, 0.9f, 1.0f, 1.0f, 1.0f, 1.0f};
        if (trial % 4 == 3) in = randomSurface(rng, 3, true);
        in.setUp(reused, &cache);
        const PlainSurface plain(in);
        expectSameTables(reused, plain, "trial " + std::to_string(trial) + "\n" + in.describe());
        if (HasFatalFailure()) return;
    }
}

TEST(PlainScheme, EveryStrandOfAGrowthMatchesBitForBit)
{
    HairRecipe settings = defaultRecipe(UnderlyingShape::Plane);
    settings.clusters = 2;
    settings.hairs = 6;
    settings.length = 12;
    settings.restAngle = 4;
    int strands = 0;
    const auto store = std::make_unique<HairStore>();
    NurbsSurface surface;
    for (int parts : {16, 6, 10, 16}) {
        for (UnderlyingShape shape :
             {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
            for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
                settings.parts = parts;
                settings.shape = shape;
                settings.style = style;
                bool grown = false;
                testing::internal::CaptureStdout();
                if (shape == UnderlyingShape::Plane) {
                    grown = growPlaneHair(settings, *store);
                } else {
                    shape == UnderlyingShape::Sphere ? setupSphereSurface(surface)
                                                     : setupTorusSurface(surface);
                    grown = growSurfaceHair(settings, surface, *store);
                }
                testing::internal::GetCapturedStdout();
                ASSERT_TRUE(grown);
                for (int p = 0; p < store->clusterCount; ++p) {
                    for (int k = 0; k < store->hairClusters[p].strandCount; ++k) {
                        NurbsSurface& strand = store->hairClusters[p].strands[k];
                        const SurfaceInput in = inputOf(strand);
                        ASSERT_EQ(in.numCtrlU, parts);
                        std::ostringstream label;
                        label << "parts " << parts << " shape " << static_cast<int>(shape)
                              << " style " << static_cast<int>(style) << " record " << p
                              << " strand " << k;
                        const PlainSurface plain(in);
                        expectSameTables(strand, plain, label.str());
                        expectSameVertices(strand, plain, label.str());
                        if (HasFatalFailure()) return;
                        ++strands;
                    }
                }
            }
        }
    }
    EXPECT_EQ(strands, 4 * 6 * 4 * 6);
}

namespace {

// FNV-1a over the bytes of every vertex of the whole grid, rows in order.
unsigned long long gridHash(const SurfaceInput& in)
{
    NurbsSurface surface;
    in.setUp(surface);
    unsigned long long hash = 14695981039346656037ull;
    for (const SurfaceVertex& vertex : evaluateRows(surface)) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&vertex);
        for (size_t n = 0; n < sizeof(SurfaceVertex); ++n) {
            hash = (hash ^ bytes[n]) * 1099511628211ull;
        }
    }
    return hash;
}

// A fixed wandering centreline of sixteen points.
std::vector<float> fixedCentreline()
{
    std::vector<float> points;
    for (int r = 0; r < 16; ++r) {
        points.push_back(3.0f * r - 0.25f * r * r);
        points.push_back(9.0f * r);
        points.push_back(0.5f * r * r - 4.0f * r);
    }
    return points;
}

}  // namespace

// The same floats whatever the compiler's target. These hashes were taken from
// the default build, and the surface code as it stood before it was made fast
// gives them too; a build for another instruction set, with contraction off as
// the project builds, must reproduce them. Fused multiply-adds would not.
TEST(PlainScheme, GridsAreTheSameBitsOnEveryTarget)
{
    EXPECT_EQ(gridHash(shapeInput(buildSphereNet)), 0x75f022a2f889718cull);
    EXPECT_EQ(gridHash(shapeInput(buildTorusNet)), 0xf92784d4996e3640ull);
    EXPECT_EQ(gridHash(strandInput(fixedCentreline())), 0x462f93079b341ea8ull);
}
