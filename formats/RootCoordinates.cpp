#include "formats/RootCoordinates.h"

#include <algorithm>
#include <cmath>

#include "geometry/UnderlyingShapes.h"

namespace {

constexpr int kGridColumns = kShapeSamples + 1;

bool hasShapeGrid(const NurbsSurface& surface)
{
    return surface.controlNet != nullptr && surface.stripVertices != nullptr &&
           surface.samplesU == kShapeSamples && surface.samplesV == kShapeSamples;
}

// The grid the growth draws roots from, evaluated row by row as evaluateGrid
// does, so the same floats.
std::vector<SurfaceVertex> shapeGrid(NurbsSurface& surface)
{
    std::vector<SurfaceVertex> grid;
    grid.reserve(kGridColumns * kGridColumns);
    for (int i = 0; i <= kShapeSamples; ++i) {
        surface.evaluateRow(i);
        for (int j = 0; j < kGridColumns; ++j) {
            grid.push_back(surface.stripVertices[2 * j + i % 2]);
        }
    }
    return grid;
}

// Float comparison, so -0 matches +0: the store rebuilds a root by adding 0.
const SurfaceVertex* sampleAt(const std::vector<SurfaceVertex>& grid, float x, float y, float z)
{
    for (const SurfaceVertex& sample : grid) {
        if (sample.position[0] == x && sample.position[1] == y && sample.position[2] == z) {
            return &sample;
        }
    }
    return nullptr;
}

float planeCoordinate(float value)
{
    const double fraction = (double(value) + kPlaneHalfSide) / (2.0 * kPlaneHalfSide);
    return static_cast<float>(std::clamp(fraction, 0.0, 1.0));
}

// Where along a quarter of the shapes' rational circle a direction lies, from 0
// at its start to 1 at its end; x and y are the direction's parts along the two.
// The quarter has the weights 1, w, 1, so tan of the angle from the start is
// (2sw + s^2) / (1 + 2sw) with s = t / (1 - t); solved for s, with no
// trigonometry. The half nearer the end is taken by symmetry, where y / x
// would grow without bound.
double alongQuarter(double x, double y)
{
    if (y > x) {
        return 1.0 - alongQuarter(y, x);
    }
    if (x <= 0.0) {
        return 0.0;
    }
    const double w = kCircleWeight;
    const double tangent = y / x;
    const double half = w * (1.0 - tangent);
    const double s = -half + std::sqrt(half * half + tangent);
    return s / (1.0 + s);
}

// The parameter, 0 to 1, of a direction on a circle of four quarters, each from
// start[q] to start[q + 1]; at a quarter's end the earlier quarter is taken.
double circleParameter(double x, double y, const double start[5][2])
{
    for (int q = 0; q < 4; ++q) {
        const double* from = start[q];
        const double* to = start[q + 1];
        const double alongStart = x * from[0] + y * from[1];
        const double alongEnd = x * to[0] + y * to[1];
        if (alongStart >= 0.0 && alongEnd >= 0.0) {
            return (q + alongQuarter(alongStart, alongEnd)) / 4.0;
        }
    }
    return 0.0;
}

// The profile circle in (radial, height) and the sweep circle in (x, y), from
// their control points 0, 2, 4, 6 and 8.
constexpr double kProfileStarts[5][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}, {-1, 0}};
constexpr double kSweepStarts[5][2] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}, {0, 1}};

}  // namespace

bool shapeCoordinatesAt(UnderlyingShape shape, const float point[3], float st[2])
{
    const double x = point[0];
    const double y = point[1];
    const double z = point[2];
    if (shape == UnderlyingShape::Plane) {
        st[0] = planeCoordinate(point[0]);
        st[1] = planeCoordinate(point[2]);
        return true;
    }
    if (shape != UnderlyingShape::Sphere && shape != UnderlyingShape::Torus) {
        return false;
    }
    const double axisDistance = std::sqrt(x * x + y * y);
    // The sphere's profile sweeps it twice: with a negative radius over the upper
    // half first in row order (rows 0 to 5), with a positive one over the lower
    // half (rows 10 to 15). The torus's profile is its tube's circle.
    double radial = axisDistance - kTorusCentreRadius;
    double height = z;
    double sweep = 1.0;
    if (shape == UnderlyingShape::Sphere) {
        const bool upper = z >= 0.0;
        radial = upper ? -axisDistance : axisDistance;
        sweep = upper ? -1.0 : 1.0;
    }
    double u = circleParameter(radial, height, kProfileStarts);
    double v = 0.0;
    // On the axis every column meets, and the first is taken.
    if (axisDistance > 1e-4 * kSphereRadius) {
        v = circleParameter(sweep * x / axisDistance, sweep * y / axisDistance, kSweepStarts);
    } else if (shape == UnderlyingShape::Sphere) {
        u = z >= 0.0 ? 0.25 : 0.75;
    }
    st[0] = static_cast<float>(u);
    st[1] = static_cast<float>(v);
    return true;
}

bool rootSurfaceCoordinates(const HairStrands& strands, UnderlyingShape shape,
                            NurbsSurface& shapeSurface, std::vector<float>& st)
{
    st.clear();
    if (!isUnderlyingShape(shape)) {
        return false;
    }
    if (shape != UnderlyingShape::Plane && !hasShapeGrid(shapeSurface)) {
        return false;
    }
    const std::vector<SurfaceVertex> grid =
        shape == UnderlyingShape::Plane ? std::vector<SurfaceVertex>() : shapeGrid(shapeSurface);
    std::vector<float> found;
    found.reserve(2 * size_t(strands.header.strandCount));
    uint64_t root = 0;
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        const float x = strands.coordinate(root, 0);
        const float z = strands.coordinate(root, 2);
        if (shape == UnderlyingShape::Plane) {
            found.push_back(planeCoordinate(x));
            found.push_back(planeCoordinate(z));
        } else {
            const SurfaceVertex* sample = sampleAt(grid, x, strands.coordinate(root, 1), z);
            if (sample == nullptr) {
                return false;
            }
            found.push_back(sample->texCoord[0]);
            found.push_back(sample->texCoord[1]);
        }
        root += uint64_t(strands.segmentsOf(s)) + 1;
    }
    st.swap(found);
    return true;
}
