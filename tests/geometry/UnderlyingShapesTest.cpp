#include <gtest/gtest.h>

#include <cmath>

#include "ReferenceSurface.h"
#include "geometry/UnderlyingShapes.h"

namespace {

double dot3(const float a[3], const float b[3])
{
    return double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2];
}

double length3(const float a[3])
{
    return std::sqrt(dot3(a, a));
}

void expectAt(const SurfaceVertex& vertex, float x, float y, float z, const char* what)
{
    EXPECT_NEAR(vertex.position[0], x, 1e-3) << what;
    EXPECT_NEAR(vertex.position[1], y, 1e-3) << what;
    EXPECT_NEAR(vertex.position[2], z, 1e-3) << what;
}

bool isFinite(const SurfaceVertex& vertex)
{
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(vertex.position[a]) || !std::isfinite(vertex.normal[a])) return false;
    }
    return std::isfinite(vertex.texCoord[0]) && std::isfinite(vertex.texCoord[1]);
}

// Direction, +1 or -1 along z, that the normals of a row next to a pole tend to.
float poleSideDirection(const std::vector<SurfaceVertex>& grid, int row)
{
    double z = 0.0;
    for (int j = 0; j <= 20; ++j) z += grid[row * 21 + j].normal[2];
    return z > 0.0 ? 1.0f : -1.0f;
}

}  // namespace

TEST(UnderlyingShapes, CircleConstants)
{
    EXPECT_EQ(kCircleWeight, static_cast<float>(std::sqrt(2.0) / 2.0));
    EXPECT_EQ(kCircleWeight, 0.70710677f);
    ControlPoint net[81];
    buildSphereNet(net);
    EXPECT_EQ(net[1 * 9 + 1].w, kCircleWeight * kCircleWeight);
    EXPECT_EQ(net[1 * 9 + 1].w, 0.49999997f);
    EXPECT_EQ(net[2 * 9 + 3].w, kCircleWeight);
    // Point (1, 1): a = -1, b = -1, c = 1, e = 1, stored times its weight.
    EXPECT_EQ(net[1 * 9 + 1].x, 100.0f * net[10].w);
    EXPECT_EQ(net[1 * 9 + 1].y, -100.0f * net[10].w);
    EXPECT_EQ(net[1 * 9 + 1].z, 100.0f * net[10].w);
}

TEST(UnderlyingShapes, SphereSamples)
{
    NurbsSurface surface;
    setupSphereSurface(surface);
    ASSERT_EQ(surface.samplesU, 20);
    ASSERT_EQ(surface.numCtrlV, 9);
    const std::vector<SurfaceVertex> grid = evaluateRows(surface);
    for (int i = 0; i <= 20; ++i) {
        for (int j = 0; j <= 20; ++j) {
            const SurfaceVertex& vertex = grid[i * 21 + j];
            ASSERT_TRUE(isFinite(vertex)) << "sample (" << i << ", " << j << ")";
            EXPECT_NEAR(length3(vertex.position), 100.0, 1e-3) << "sample (" << i << ", " << j << ")";
            EXPECT_NEAR(length3(vertex.normal), 1.0, 1e-5) << "sample (" << i << ", " << j << ")";
            if (i == 0 || i == 10 || i == 20) {
                EXPECT_NEAR(vertex.position[2], 0.0f, 1e-3) << "row " << i;
            }
            if (i == 5) expectAt(vertex, 0, 0, 100, "row 5 collapses on the pole");
            if (i == 15) expectAt(vertex, 0, 0, -100, "row 15 collapses on the pole");
            if (i == 5 || i == 15) continue;
            // Rows with u below 0.25 or above 0.75 face out, the others face in.
            const double outward = dot3(vertex.normal, vertex.position) / length3(vertex.position);
            const double expected = (i < 5 || i > 15) ? 1.0 : -1.0;
            EXPECT_NEAR(outward, expected, 1e-4) << "sample (" << i << ", " << j << ")";
        }
    }
    expectAt(grid[0], 0, -100, 0, "sample (0, 0)");
    expectAt(grid[5], 100, 0, 0, "sample (0, 5)");
}

TEST(UnderlyingShapes, SpherePoleRowsTakeTheLowerSideNormal)
{
    NurbsSurface surface;
    setupSphereSurface(surface);
    const std::vector<SurfaceVertex> grid = evaluateRows(surface);
    for (int pole : {5, 15}) {
        const double toward[3] = {0.0, 0.0, poleSideDirection(grid, pole - 1)};
        // The row below must itself be close to the pole for this to be its limit.
        EXPECT_LT(angleDegrees(grid[(pole - 1) * 21].normal, toward), 30.0);
        for (int j = 0; j <= 20; ++j) {
            EXPECT_LT(angleDegrees(grid[pole * 21 + j].normal, toward), 1.0)
                << "pole row " << pole << " column " << j;
        }
    }
}

TEST(UnderlyingShapes, TorusSamples)
{
    NurbsSurface surface;
    setupTorusSurface(surface);
    const std::vector<SurfaceVertex> grid = evaluateRows(surface);
    for (int i = 0; i <= 20; ++i) {
        for (int j = 0; j <= 20; ++j) {
            const SurfaceVertex& vertex = grid[i * 21 + j];
            ASSERT_TRUE(isFinite(vertex)) << "sample (" << i << ", " << j << ")";
            const float* p = vertex.position;
            const double axial = std::hypot(double(p[0]), double(p[1]));
            EXPECT_GE(axial, 50.0 - 1e-3) << "sample (" << i << ", " << j << ")";
            EXPECT_LE(axial, 150.0 + 1e-3) << "sample (" << i << ", " << j << ")";
            EXPECT_LE(std::fabs(p[2]), 50.0 + 1e-3) << "sample (" << i << ", " << j << ")";
            // The tube is round: the normal runs along the line to the centre circle.
            const double toCentre[3] = {p[0] * 100.0 / axial - p[0], p[1] * 100.0 / axial - p[1], -p[2]};
            EXPECT_NEAR(std::hypot(std::hypot(toCentre[0], toCentre[1]), toCentre[2]), 50.0, 1e-3);
            EXPECT_LT(angleDegrees(vertex.normal, toCentre), 0.01) << "sample (" << i << ", " << j << ")";
        }
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(grid[i * 21].position[a], grid[i * 21 + 20].position[a], 1e-3) << "row " << i;
            EXPECT_NEAR(grid[i].position[a], grid[20 * 21 + i].position[a], 1e-3) << "column " << i;
        }
    }
    expectAt(grid[0], 0, 50, 0, "sample (0, 0)");
    expectAt(grid[10 * 21], 0, 150, 0, "sample (10, 0)");
    expectAt(grid[5 * 21], 0, 100, 50, "sample (5, 0)");
}

TEST(UnderlyingShapes, RebuildingReplacesTheSurface)
{
    NurbsSurface surface;
    setupTorusSurface(surface);
    setupSphereSurface(surface);
    setupSphereSurface(surface);
    const std::vector<SurfaceVertex> grid = evaluateRows(surface);
    for (const SurfaceVertex& vertex : grid) EXPECT_NEAR(length3(vertex.position), 100.0, 1e-3);
    testing::internal::CaptureStdout();
    SurfaceVertex* whole = surface.evaluateGrid();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ttotal = 441\n");
    delete[] whole;
}
