#include "hair/HairGrowth.h"

#include <cmath>

#include "geometry/UnderlyingShapes.h"
#include "hair/GrowthWalk.h"
#include "hair/HairStore.h"

namespace {

using namespace growth;

// Roots sample a 21 x 21 grid; a smaller grid would put the root index out of range.
constexpr long long kRootSampleCount = kRootSampleLimit + 1;
constexpr float kPlaneLow = -kPlaneHalfSide;
constexpr float kPlaneWidth = 2.0f * kPlaneHalfSide;

bool hasRootGrid(const NurbsSurface& surface)
{
    if (surface.controlNet == nullptr || surface.stripVertices == nullptr ||
        surface.samplesU < 1 || surface.samplesV < 1) {
        return false;
    }
    long long samples = (static_cast<long long>(surface.samplesU) + 1) * (surface.samplesV + 1);
    return samples >= kRootSampleCount;
}

// Hair on the plane: each cluster covers its own cell of the square, and every
// strand rises in +y from a root scattered over that cell.
struct PlaneGrowth {
    const HairRecipe& recipe;
    GrowthArrays& work;
    // Cell corners are accumulated by repeated single-precision addition, so the
    // last cells may not end exactly at the plane's edge.
    float cellSize = kPlaneWidth / recipe.clusters;
    float cellOriginX = kPlaneLow;
    float cellOriginZ = kPlaneLow;

    void randomTemplate()
    {
        work.templateLength[0] = 0.0f;
        for (int r = 1; r < recipe.parts; ++r) {
            work.templateLength[r] = work.templateLength[r - 1] + scaledRandom(recipe.length);
            work.templateRestA[r] = scaledRandom(recipe.restAngle);
            work.templateRestB[r] = scaledRandom(recipe.restAngle);
        }
    }

    void walkStrand()
    {
        float* pathX = work.pathX;
        float* pathY = work.pathY;
        float* pathZ = work.pathZ;
        pathY[0] = 0.0f;
        pathX[0] = cellOriginX + scaledRandom(cellSize);
        pathZ[0] = cellOriginZ + scaledRandom(cellSize);

        // Sideways offsets are measured from the root, never summed, so a strand
        // stays within restAngle of it however many parts it has.
        if (recipe.style == HairStyle::Combed) {
            for (int r = 1; r < recipe.parts; ++r) {
                pathY[r] = work.templateLength[r] + scaledRandom(kCombedJitter);
                pathX[r] = pathX[0] + work.templateRestA[r] + scaledRandom(kCombedJitter);
                pathZ[r] = pathZ[0] + work.templateRestB[r] + scaledRandom(kCombedJitter);
            }
        } else {
            for (int r = 1; r < recipe.parts; ++r) {
                pathY[r] = pathY[r - 1] + scaledRandom(recipe.length);
                pathX[r] = pathX[0] + scaledRandom(recipe.restAngle);
                pathZ[r] = pathZ[0] + scaledRandom(recipe.restAngle);
            }
        }
    }

    void startCluster(int) {}
    void nextColumn() { cellOriginX += cellSize; }

    void nextRow()
    {
        cellOriginZ += cellSize;
        cellOriginX = kPlaneLow;
    }
};

// The normal at a root turned to point out of the shape: away from the sphere's
// centre, or from the nearest point of the torus's centre circle. The surface's
// own normals point inward on half the sphere and everywhere on the torus.
void outwardNormal(UnderlyingShape shape, const SurfaceVertex& root, float out[3])
{
    const double p[3] = {root.position[0], root.position[1], root.position[2]};
    double centre[3];
    shapeCentreNear(shape, p, centre);
    const double facing = root.normal[0] * (p[0] - centre[0]) + root.normal[1] * (p[1] - centre[1]) +
                          root.normal[2] * (p[2] - centre[2]);
    const float sign = facing >= 0.0 ? 1.0f : -1.0f;
    for (int a = 0; a < 3; ++a) {
        out[a] = sign * root.normal[a];
    }
}

// Hair on the sphere or torus: every strand roots on a random sample of the
// surface's grid and walks out of the shape along the normal.
struct SurfaceGrowth {
    const HairRecipe& recipe;
    GrowthArrays& work;
    const SurfaceVertex* rootSamples;
    OutwardWalk walk{recipe, work, recipe.shape == UnderlyingShape::Torus};

    void startCluster(int) {}
    void randomTemplate() { walk.randomTemplate(); }

    void walkStrand()
    {
        // Truncation toward zero; the index reaches 440 only on the largest draw.
        const int m = static_cast<int>(scaledRandom(kRootSampleLimit));
        const SurfaceVertex& root = rootSamples[m];
        work.pathX[0] = root.position[0];
        work.pathY[0] = root.position[1];
        work.pathZ[0] = root.position[2];
        float nOut[3];
        outwardNormal(recipe.shape, root, nOut);
        walk.walkFromRoot(root.normal, nOut);
    }

    void nextColumn() {}
    void nextRow() {}
};

}  // namespace

bool growPlaneHair(const HairRecipe& recipe, HairStore& store)
{
    if (!fitsStore(recipe)) {
        return false;
    }
    GrowthArrays work;
    work.allocate(recipe.parts);
    PlaneGrowth growth{recipe, work};
    growClusters(recipe, work, growth, store);
    work.release();
    return true;
}

bool growSurfaceHair(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store)
{
    if (!fitsStore(recipe) ||
        (recipe.shape != UnderlyingShape::Sphere && recipe.shape != UnderlyingShape::Torus) ||
        !hasRootGrid(surface)) {
        return false;
    }
    SurfaceVertex* rootSamples = surface.evaluateGrid();
    if (rootSamples == nullptr) {
        return false;
    }
    GrowthArrays work;
    work.allocate(recipe.parts);
    SurfaceGrowth growth{recipe, work, rootSamples};
    growClusters(recipe, work, growth, store);
    work.release();
    delete[] rootSamples;
    return true;
}

bool growShapeHair(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store)
{
    if (recipe.shape == UnderlyingShape::Plane) {
        return growPlaneHair(recipe, store);
    }
    if (!setupShapeSurface(recipe.shape, surface)) {
        return false;
    }
    return growSurfaceHair(recipe, surface, store);
}
