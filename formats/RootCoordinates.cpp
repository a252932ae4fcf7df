#include "formats/RootCoordinates.h"

#include <algorithm>

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

}  // namespace

bool rootSurfaceCoordinates(const HairStrands& strands, UnderlyingShape shape,
                            NurbsSurface& shapeSurface, std::vector<float>& st)
{
    st.clear();
    if (shape != UnderlyingShape::Plane && shape != UnderlyingShape::Sphere &&
        shape != UnderlyingShape::Torus) {
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
