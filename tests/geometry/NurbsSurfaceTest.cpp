#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "ReferenceSurface.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"

namespace {

const double kDegreesPerRadian = 180.0 / std::acos(-1.0);

SurfaceInput randomSurface(std::mt19937& rng)
{
    SurfaceInput in;
    in.degreeU = pick(rng, 1, 3);
    in.degreeV = pick(rng, 1, 3);
    in.numCtrlU = in.degreeU + pick(rng, 1, 5);
    in.numCtrlV = in.degreeV + pick(rng, 1, 5);
    in.knotsU = randomKnots(rng, in.degreeU, in.numCtrlU);
    in.knotsV = randomKnots(rng, in.degreeV, in.numCtrlV);
    in.samplesU = pick(rng, 1, 16);
    in.samplesV = pick(rng, 1, 16);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    std::uniform_real_distribution<float> weight(0.5f, 2.0f);
    for (int n = 0; n < in.numCtrlU * in.numCtrlV; ++n) {
        const float w = weight(rng);
        in.net.push_back({coordinate(rng) * w, coordinate(rng) * w, coordinate(rng) * w, w});
    }
    return in;
}

// Bilinear patch with u along +x and v along +y.
SurfaceInput bilinearPatch(int samplesU, int samplesV)
{
    SurfaceInput in;
    in.degreeU = 1;
    in.degreeV = 1;
    in.numCtrlU = 2;
    in.numCtrlV = 2;
    in.net = {{0, 0, 0, 1}, {0, 1, 0, 1}, {1, 0, 0, 1}, {1, 1, 0, 1}};
    in.knotsU = {0, 0, 1, 1};
    in.knotsV = {0, 0, 1, 1};
    in.samplesU = samplesU;
    in.samplesV = samplesV;
    return in;
}

bool isUnitAndFinite(const float n[3])
{
    const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    return std::isfinite(length) && std::fabs(length - 1.0) < 1e-5;
}

double length3(const double a[3])
{
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

}  // namespace

TEST(NurbsBasis, CircleKnotsSampleSpansAndExactQuarter)
{
    NurbsSurface surface;
    ControlPoint net[81];
    buildSphereNet(net);
    surface.setup(2, 2, 9, 9, net, kCircleKnots, kCircleKnots, 20, 20);
    for (int k = 0; k <= 20; ++k) {
        const int expected = k < 5 ? 2 : k < 10 ? 4 : k < 15 ? 6 : 8;
        EXPECT_EQ(surface.spanU[k], expected) << "sample " << k;
        EXPECT_EQ(surface.spanV[k], expected) << "sample " << k;
    }
    // Sample 5 sits exactly on knot 0.25, where only the first function of span 4 is 1.
    EXPECT_EQ(surface.basisU[5 * 3 + 0], 1.0f);
    EXPECT_EQ(surface.basisU[5 * 3 + 1], 0.0f);
    EXPECT_EQ(surface.basisU[5 * 3 + 2], 0.0f);
    // N(0, 2) on [0, 0.25) is (1 - 4u)^2.
    EXPECT_EQ(surface.basisCoeffU[0], 1.0f);
    EXPECT_EQ(surface.basisCoeffU[1], -8.0f);
    EXPECT_EQ(surface.basisCoeffU[2], 16.0f);
}

TEST(NurbsBasis, CollapsedFunctionHasZeroCoefficients)
{
    // N(0, 2) has the knots 0, 0, 0, 0: its support is a single point.
    const float knots[] = {0, 0, 0, 0, 0.5f, 1, 1, 1};
    NurbsSurface surface;
    for (int span = 0; span < 7; ++span) {
        for (int m = 0; m <= 3; ++m) {
            EXPECT_EQ(surface.basisCoefficient(knots, span, 0, 2, m), 0.0f) << "span " << span << " m " << m;
        }
    }
    for (int i = 0; i < 5; ++i) {
        for (int span = 0; span < 7; ++span) {
            for (int m = 0; m <= 2; ++m) {
                EXPECT_TRUE(std::isfinite(surface.basisCoefficient(knots, span, i, 2, m)));
            }
        }
    }
}

TEST(NurbsBasis, RandomKnotTablesMatchCoxDeBoor)
{
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 300; ++trial) {
        const SurfaceInput in = randomSurface(rng);
        NurbsSurface surface;
        in.setUp(surface);
        for (int k = 0; k <= in.samplesU; ++k) {
            const float u = sampleParameterOf(in.knotsU, in.degreeU, in.numCtrlU, in.samplesU, k);
            const int span = surface.spanU[k];
            ASSERT_EQ(span, referenceSpan(in.knotsU, in.degreeU, in.numCtrlU, u))
                << "sample " << k << " u = " << u << "\n" << in.describe();
            // Never an empty span, so the basis functions cannot all vanish.
            ASSERT_LT(in.knotsU[span], in.knotsU[span + 1]) << "sample " << k << "\n" << in.describe();
            const HornerScale scale = hornerScale(surface.basisCoeffU, in.degreeU, span, u);
            ASSERT_LT(scale.value, 1e4) << in.describe();
            const double valueTolerance = 4.0 * FLT_EPSILON * scale.value;
            const double derivTolerance = 8.0 * FLT_EPSILON * scale.deriv;
            double sum = 0.0;
            double derivSum = 0.0;
            for (int j = 0; j <= in.degreeU; ++j) {
                const float value = surface.basisU[k * surface.orderU + j];
                const float deriv = surface.basisDerivU[k * surface.orderU + j];
                const int function = span - in.degreeU + j;
                EXPECT_NEAR(value, referenceBasis(in.knotsU, span, function, in.degreeU, u), valueTolerance)
                    << "sample " << k << " function " << j << "\n" << in.describe();
                EXPECT_NEAR(deriv, referenceBasisDerivative(in.knotsU, span, function, in.degreeU, u),
                            derivTolerance)
                    << "sample " << k << " function " << j << "\n" << in.describe();
                sum += value;
                derivSum += deriv;
            }
            EXPECT_NEAR(sum, 1.0, valueTolerance) << "sample " << k << "\n" << in.describe();
            EXPECT_NEAR(derivSum, 0.0, derivTolerance) << "sample " << k << "\n" << in.describe();
        }
    }
}

TEST(NurbsSurfaceEvaluation, RandomRationalSurfacesMatchReference)
{
    std::mt19937 rng(77);
    int comparedNormals = 0;
    int samples = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const SurfaceInput in = randomSurface(rng);
        NurbsSurface surface;
        in.setUp(surface);
        const std::vector<SurfaceVertex> grid = evaluateRows(surface);
        const double sumScale = rationalSumScale(in);
        for (int i = 0; i <= in.samplesU; ++i) {
            const float u = sampleParameterOf(in.knotsU, in.degreeU, in.numCtrlU, in.samplesU, i);
            const HornerScale su = hornerScale(surface.basisCoeffU, in.degreeU, surface.spanU[i], u);
            for (int j = 0; j <= in.samplesV; ++j) {
                const float v = sampleParameterOf(in.knotsV, in.degreeV, in.numCtrlV, in.samplesV, j);
                const HornerScale sv = hornerScale(surface.basisCoeffV, in.degreeV, surface.spanV[j], v);
                const SurfaceVertex& got = grid[i * (in.samplesV + 1) + j];
                const ReferencePoint ref = evaluateReference(in, u, v);
                // Both tolerances leave a margin of about five over the largest
                // error these seeds produce.
                const double rounding = FLT_EPSILON * sumScale;
                const double positionTolerance = rounding * su.value * sv.value;
                for (int a = 0; a < 3; ++a) {
                    ASSERT_NEAR(got.position[a], ref.position[a], positionTolerance)
                        << "sample (" << i << ", " << j << ") u = " << u << " v = " << v << "\n" << in.describe();
                }
                ASSERT_TRUE(isUnitAndFinite(got.normal)) << "sample (" << i << ", " << j << ")\n" << in.describe();
                const double du = length3(ref.du);
                const double dv = length3(ref.dv);
                const double sine = ref.crossLength / (du * dv);
                const double normalTolerance =
                    0.25 * rounding * (su.deriv * sv.value / du + su.value * sv.deriv / dv) / sine * kDegreesPerRadian;
                // Where rounding alone may turn the normal by a degree, it says nothing.
                if (sine > 0.05 && normalTolerance < 1.0) {
                    EXPECT_LT(angleDegrees(got.normal, ref.normal), normalTolerance)
                        << "sample (" << i << ", " << j << ") u = " << u << " v = " << v << "\n" << in.describe();
                    ++comparedNormals;
                }
                ++samples;
            }
        }
    }
    EXPECT_GT(comparedNormals, samples * 4 / 5);
}

TEST(NurbsSurfaceEvaluation, NormalIsPvCrossPu)
{
    NurbsSurface surface;
    bilinearPatch(4, 2).setUp(surface);
    const std::vector<SurfaceVertex> grid = evaluateRows(surface);
    for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 2; ++j) {
            const SurfaceVertex& vertex = grid[i * 3 + j];
            EXPECT_FLOAT_EQ(vertex.position[0], i / 4.0f);
            EXPECT_FLOAT_EQ(vertex.position[1], j / 2.0f);
            EXPECT_EQ(vertex.normal[0], 0.0f);
            EXPECT_EQ(vertex.normal[1], 0.0f);
            EXPECT_EQ(vertex.normal[2], -1.0f);
        }
    }
}

TEST(NurbsSurfaceEvaluation, TextureCoordinatesAccumulateInSinglePrecision)
{
    NurbsSurface surface;
    bilinearPatch(7, 3).setUp(surface);
    // Row 5 first, out of order: s must not depend on earlier calls.
    for (int i : {5, 0, 1, 2, 3, 4, 5, 6, 7}) {
        surface.evaluateRow(i);
        float s = 0.0f;
        for (int n = 0; n < i; ++n) s += 1.0f / 7.0f;
        float t = 0.0f;
        for (int j = 0; j <= 3; ++j) {
            const SurfaceVertex& vertex = surface.stripVertices[2 * j + i % 2];
            EXPECT_EQ(vertex.texCoord[0], s) << "row " << i;
            EXPECT_EQ(vertex.texCoord[1], t) << "row " << i << " column " << j;
            t += 1.0f / 3.0f;
        }
    }
    EXPECT_NEAR(surface.stripVertices[1].texCoord[0], 1.0f, 1e-6f);
}

TEST(NurbsSurfaceEvaluation, RowFillsOnlyItsParitySlots)
{
    NurbsSurface surface;
    ControlPoint net[81];
    buildSphereNet(net);
    surface.setup(2, 2, 9, 9, net, kCircleKnots, kCircleKnots, 20, 20);
    const int slots = 2 * 21;
    std::vector<SurfaceVertex> before(slots);
    for (int slot = 0; slot < slots; ++slot) {
        SurfaceVertex& vertex = surface.stripVertices[slot];
        std::fill(vertex.position, vertex.position + 3, 1234.0f);
        std::fill(vertex.normal, vertex.normal + 3, 1234.0f);
        std::fill(vertex.texCoord, vertex.texCoord + 2, 1234.0f);
    }
    for (int row : {2, 3, 4}) {
        std::copy(surface.stripVertices, surface.stripVertices + slots, before.begin());
        surface.evaluateRow(row);
        for (int slot = 0; slot < slots; ++slot) {
            const bool same = std::memcmp(&before[slot], &surface.stripVertices[slot], sizeof(SurfaceVertex)) == 0;
            EXPECT_EQ(same, slot % 2 != row % 2) << "row " << row << " slot " << slot;
        }
    }
}

TEST(NurbsSurfaceEvaluation, GridMatchesRowsAndPrintsCount)
{
    NurbsSurface surface;
    ControlPoint net[81];
    buildTorusNet(net);
    surface.setup(2, 2, 9, 9, net, kCircleKnots, kCircleKnots, 20, 20);
    const std::vector<SurfaceVertex> rows = evaluateRows(surface);
    testing::internal::CaptureStdout();
    SurfaceVertex* grid = surface.evaluateGrid();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ttotal = 441\n");
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(rows.size(), 441u);
    EXPECT_EQ(std::memcmp(grid, rows.data(), 441 * sizeof(SurfaceVertex)), 0);
    // The strip buffer keeps the last two rows.
    EXPECT_EQ(std::memcmp(&surface.stripVertices[2 * 7 + 0], &grid[20 * 21 + 7], sizeof(SurfaceVertex)), 0);
    EXPECT_EQ(std::memcmp(&surface.stripVertices[2 * 7 + 1], &grid[19 * 21 + 7], sizeof(SurfaceVertex)), 0);
    delete[] grid;
}

TEST(NurbsSurfaceEvaluation, GridWithoutSamplesIsNullAndSilent)
{
    NurbsSurface empty;
    NurbsSurface noRows;
    bilinearPatch(0, 5).setUp(noRows);
    NurbsSurface noColumns;
    bilinearPatch(5, 0).setUp(noColumns);
    NurbsSurface released;
    bilinearPatch(5, 5).setUp(released);
    released.release();
    for (NurbsSurface* surface : {&empty, &noRows, &noColumns, &released}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(surface->evaluateGrid(), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
}

TEST(NurbsSurfaceLifecycle, ReleaseIsRepeatableAndKeepsCounts)
{
    NurbsSurface never;
    never.release();
    never.release();
    EXPECT_EQ(never.controlNet, nullptr);
    EXPECT_EQ(never.samplesU, 0);

    NurbsSurface surface;
    bilinearPatch(6, 4).setUp(surface);
    surface.release();
    surface.release();
    for (const void* array : {(const void*)surface.controlNet, (const void*)surface.knotsU,
                              (const void*)surface.knotsV, (const void*)surface.basisCoeffU,
                              (const void*)surface.basisCoeffV, (const void*)surface.basisU,
                              (const void*)surface.basisDerivU, (const void*)surface.basisV,
                              (const void*)surface.basisDerivV, (const void*)surface.rowSum,
                              (const void*)surface.rowSumDu, (const void*)surface.stripVertices,
                              (const void*)surface.spanU, (const void*)surface.spanV}) {
        EXPECT_EQ(array, nullptr);
    }
    EXPECT_EQ(surface.samplesU, 6);
    EXPECT_EQ(surface.samplesV, 4);
    EXPECT_EQ(surface.numCtrlU, 2);
}

TEST(NurbsSurfaceLifecycle, SetupAgainWithOtherSizesMatchesFreshSurface)
{
    std::mt19937 rng(5);
    NurbsSurface reused;
    for (int trial = 0; trial < 40; ++trial) {
        const SurfaceInput in = randomSurface(rng);
        // The caller's buffers may be overwritten as soon as setup returns.
        SurfaceInput scratch = in;
        scratch.setUp(reused);
        std::fill(scratch.knotsU.begin(), scratch.knotsU.end(), NAN);
        std::fill(scratch.knotsV.begin(), scratch.knotsV.end(), NAN);
        std::fill(scratch.net.begin(), scratch.net.end(), ControlPoint{NAN, NAN, NAN, NAN});
        NurbsSurface fresh;
        in.setUp(fresh);
        const std::vector<SurfaceVertex> a = evaluateRows(reused);
        const std::vector<SurfaceVertex> b = evaluateRows(fresh);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(SurfaceVertex)), 0) << in.describe();
        EXPECT_EQ(reused.numKnotsU, in.numCtrlU + in.degreeU + 1);
        EXPECT_EQ(reused.numSpansV, in.numCtrlV - in.degreeV);
    }
}
