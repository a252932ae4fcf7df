#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <random>

#include "ReferenceSurface.h"

namespace {

// A random walk of parts points with steps of 1 to 40 units in any direction.
std::vector<float> randomCentreline(std::mt19937& rng, int parts)
{
    std::uniform_real_distribution<float> start(-100.0f, 100.0f);
    std::uniform_real_distribution<float> stepLength(1.0f, 40.0f);
    std::normal_distribution<float> direction(0.0f, 1.0f);
    std::vector<float> points = {start(rng), start(rng), start(rng)};
    for (int r = 1; r < parts; ++r) {
        float d[3] = {direction(rng), direction(rng), direction(rng)};
        const float scale = stepLength(rng) / std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int a = 0; a < 3; ++a) points.push_back(points[3 * (r - 1) + a] + d[a] * scale);
    }
    return points;
}

std::string describeCentreline(const std::vector<float>& points)
{
    std::string text = "centreline";
    for (float c : points) text += " " + std::to_string(c);
    return text;
}

double length3(const double a[3])
{
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

}  // namespace

TEST(StrandSurface, EverySampleOfEveryPartsCountIsFiniteAndOnTheTube)
{
    std::mt19937 rng(4242);
    for (int parts = 8; parts <= 16; parts += 2) {
        for (int trial = 0; trial < 20; ++trial) {
            const std::vector<float> centreline = randomCentreline(rng, parts);
            const SurfaceInput in = strandInput(centreline);
            NurbsSurface strand;
            in.setUp(strand);
            const std::vector<SurfaceVertex> grid = evaluateRows(strand);
            const double rounding = FLT_EPSILON * rationalSumScale(in);
            for (int i = 0; i <= 20; ++i) {
                const float u = sampleParameterOf(in.knotsU, 3, parts, 20, i);
                const double su = hornerScale(strand.basisCoeffU, 3, strand.spanU[i], u).value;
                for (int j = 0; j <= 20; ++j) {
                    const SurfaceVertex& vertex = grid[i * 21 + j];
                    const float* n = vertex.normal;
                    ASSERT_TRUE(std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2]))
                        << "parts " << parts << " sample (" << i << ", " << j << ")\n" << describeCentreline(centreline);
                    ASSERT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-5f);
                    const float v = sampleParameterOf(in.knotsV, 3, 9, 20, j);
                    const double sv = hornerScale(strand.basisCoeffV, 3, strand.spanV[j], v).value;
                    const ReferencePoint ref = evaluateReference(in, u, v);
                    for (int a = 0; a < 3; ++a) {
                        ASSERT_NEAR(vertex.position[a], ref.position[a], rounding * su * sv)
                            << "parts " << parts << " sample (" << i << ", " << j << ")\n"
                            << describeCentreline(centreline);
                    }
                }
            }
        }
    }
}

TEST(StrandSurface, SamplingEndsInTheLastSpanOfNonZeroLength)
{
    int endsOnRepeatedKnot = 0;
    for (int parts = 8; parts <= 16; parts += 2) {
        const std::vector<float> knots = strandKnotsU(parts);
        int lastSpan = parts - 1;
        while (!(knots[lastSpan] < knots[lastSpan + 1])) --lastSpan;
        NurbsSurface strand;
        std::mt19937 rng(parts);
        strandInput(randomCentreline(rng, parts)).setUp(strand);
        EXPECT_EQ(strand.spanU[20], lastSpan) << "parts " << parts;
        for (int k = 0; k <= 20; ++k) {
            EXPECT_LT(knots[strand.spanU[k]], knots[strand.spanU[k] + 1]) << "parts " << parts << " sample " << k;
        }
        // Where the last sample reaches the repeated end knot, the plain search would
        // step into the empty span after it.
        if (sampleParameterOf(knots, 3, parts, 20, 20) >= knots[parts - 1]) ++endsOnRepeatedKnot;
    }
    EXPECT_GT(endsOnRepeatedKnot, 0);
}

TEST(StrandSurface, RepeatedCentrelinePointGivesTheLowerSideNormal)
{
    std::mt19937 rng(99);
    int degenerateSamples = 0;
    for (int parts = 8; parts <= 16; parts += 2) {
        for (int r = 0; r + 1 < parts; ++r) {
            std::vector<float> centreline = randomCentreline(rng, parts);
            std::copy(centreline.begin() + 3 * r, centreline.begin() + 3 * r + 3, centreline.begin() + 3 * (r + 1));
            const SurfaceInput in = strandInput(centreline);
            NurbsSurface strand;
            in.setUp(strand);
            const std::vector<SurfaceVertex> grid = evaluateRows(strand);
            std::vector<ReferencePoint> refs;
            double maxDu = 0.0;
            double maxDv = 0.0;
            for (int i = 0; i <= 20; ++i) {
                for (int j = 0; j <= 20; ++j) {
                    refs.push_back(evaluateReference(in, sampleParameterOf(in.knotsU, 3, parts, 20, i),
                                                     sampleParameterOf(in.knotsV, 3, 9, 20, j)));
                    maxDu = std::max(maxDu, length3(refs.back().du));
                    maxDv = std::max(maxDv, length3(refs.back().dv));
                }
            }
            const double range = in.knotsU[parts] - in.knotsU[3];
            for (int i = 0; i <= 20; ++i) {
                const float u = sampleParameterOf(in.knotsU, 3, parts, 20, i);
                for (int j = 0; j <= 20; ++j) {
                    const float v = sampleParameterOf(in.knotsV, 3, 9, 20, j);
                    const float* n = grid[i * 21 + j].normal;
                    const std::string where = "parts " + std::to_string(parts) + " repeated point " +
                                              std::to_string(r) + " sample (" + std::to_string(i) + ", " +
                                              std::to_string(j) + ")\n" + describeCentreline(centreline);
                    ASSERT_TRUE(std::isfinite(n[0]) && std::isfinite(n[1]) && std::isfinite(n[2])) << where;
                    ASSERT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-5f) << where;
                    const double relative = refs[i * 21 + j].crossLength / (maxDu * maxDv);
                    const double below = i > 0 ? u - 1e-5 * range : u + 1e-5 * range;
                    const ReferencePoint side = evaluateReference(in, below, v);
                    if (relative < 1e-6) {
                        ++degenerateSamples;
                        EXPECT_LT(angleDegrees(n, side.normal), 1.0) << where;
                    } else if (relative > 1e-3) {
                        EXPECT_LT(angleDegrees(n, refs[i * 21 + j].normal), 0.5) << where;
                    } else {
                        EXPECT_LT(std::min(angleDegrees(n, side.normal), angleDegrees(n, refs[i * 21 + j].normal)), 1.0)
                            << where;
                    }
                }
            }
        }
    }
    EXPECT_GT(degenerateSamples, 0);
}
