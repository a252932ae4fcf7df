// Surface coordinates worked out from a point: they lead back to the point, they
// pick the sphere's first covering, and on the grid they are the grid's own.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "formats/RootCoordinates.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"

namespace {

// The shapes' rational circle at a parameter, written out independently: four
// quarters between the control points 0, 2, 4, 6, 8, weights 1, sqrt(2)/2, 1.
void circleAt(double p, const double start[5][2], double out[2])
{
    const int q = std::min(3, static_cast<int>(p * 4.0));
    const double t = p * 4.0 - q;
    const double w = std::sqrt(2.0) / 2.0;
    const double a = (1 - t) * (1 - t), b = 2 * t * (1 - t) * w, c = t * t;
    for (int k = 0; k < 2; ++k) {
        const double corner = start[q][k] + start[q + 1][k];
        out[k] = (a * start[q][k] + b * corner + c * start[q + 1][k]) / (a + b + c);
    }
}

void shapePointAt(UnderlyingShape shape, double u, double v, double out[3])
{
    const double profile[5][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 0}};
    const double sweep[5][2] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    double ae[2], bc[2];
    circleAt(u, profile, ae);
    circleAt(v, sweep, bc);
    const bool sphere = shape == UnderlyingShape::Sphere;
    const double radial = sphere ? 100.0 * ae[0] : 50.0 * ae[0] + 100.0;
    out[0] = radial * bc[0];
    out[1] = radial * bc[1];
    out[2] = (sphere ? 100.0 : 50.0) * ae[1];
}

double wrappedDifference(double a, double b)
{
    const double d = std::fabs(a - b);
    return std::min(d, 1.0 - d);
}

}  // namespace

TEST(ShapeCoordinates, PointsOnAndNearTheShapesLeadBackToThemselves)
{
    srand(5);
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (int n = 0; n < 2000; ++n) {
            double p[3];
            shapePointAt(shape, rand() / (RAND_MAX + 1.0), rand() / (RAND_MAX + 1.0), p);
            const float point[3] = {float(p[0]), float(p[1]), float(p[2])};
            float st[2];
            ASSERT_TRUE(shapeCoordinatesAt(shape, point, st));
            ASSERT_TRUE(st[0] >= 0.0f && st[0] <= 1.0f && st[1] >= 0.0f && st[1] <= 1.0f);
            if (shape == UnderlyingShape::Sphere) {
                // The covering first in row order: rows 0 to 5 above, 10 to 15 below.
                EXPECT_TRUE(point[2] >= 0 ? st[0] <= 0.25f : st[0] >= 0.5f && st[0] <= 0.75f)
                    << point[2] << " at u " << st[0];
            }
            double back[3];
            shapePointAt(shape, st[0], st[1], back);
            const double miss = std::hypot(back[0] - p[0], back[1] - p[1], back[2] - p[2]);
            EXPECT_LT(miss, 2e-3) << shape << " point " << p[0] << ", " << p[1] << ", " << p[2];
        }
    }
}

// Where the grid's sample lies on the covering first in row order, the coordinates
// are the sample's own, up to the grid's accumulated steps and the seams, where
// 0 and 1 meet.
TEST(ShapeCoordinates, GridSamplesOfTheFirstCoveringKeepTheirCoordinates)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        NurbsSurface surface;
        setupShapeSurface(shape, surface);
        const std::vector<SurfaceVertex> grid = wholeGrid(surface);
        ASSERT_EQ(grid.size(), 441u);
        int compared = 0;
        for (size_t n = 0; n < grid.size(); ++n) {
            const SurfaceVertex& sample = grid[n];
            const float u = sample.texCoord[0];
            const bool firstCovering = shape == UnderlyingShape::Torus || u <= 0.25f ||
                                       (u > 0.5f && u < 0.75f);
            const float* p = sample.position;
            // On the axis every column meets; on the sphere's equator both coverings do.
            const bool sphereEquator = shape == UnderlyingShape::Sphere && std::fabs(p[2]) < 1e-3f;
            if (!firstCovering || sphereEquator || std::hypot(p[0], p[1]) < 1.0f) {
                continue;
            }
            float st[2];
            ASSERT_TRUE(shapeCoordinatesAt(shape, p, st));
            EXPECT_LT(wrappedDifference(st[0], u), 1e-5) << shape << " sample " << n;
            EXPECT_LT(wrappedDifference(st[1], sample.texCoord[1]), 1e-5) << shape << " sample " << n;
            ++compared;
        }
        EXPECT_GT(compared, 150) << shape;
    }
}

TEST(ShapeCoordinates, ThePlaneMapsItsSquareAndAnUnknownShapeHasNone)
{
    const float corner[3] = {-100.0f, 0.0f, 50.0f};
    float st[2];
    ASSERT_TRUE(shapeCoordinatesAt(UnderlyingShape::Plane, corner, st));
    EXPECT_EQ(st[0], 0.0f);
    EXPECT_EQ(st[1], 0.75f);
    EXPECT_FALSE(shapeCoordinatesAt(UnderlyingShape::NoShape, corner, st));
}
