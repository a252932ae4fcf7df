#include "hair/HairGrowth.h"

#include <cmath>
#include <cstdlib>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

namespace {

constexpr int kRandomRange = 32767;
// Roots sample a 21 x 21 grid; a smaller grid would put the root index out of range.
constexpr long long kRootSampleCount = kRootSampleLimit + 1;
constexpr float kPlaneLow = -kPlaneHalfSide;
constexpr float kPlaneWidth = 2.0f * kPlaneHalfSide;
constexpr int kCombedJitter = 5;
constexpr float kNearZero = 0.0001f;

// glibc's rand() reaches 2^31 - 1; keeping the low 15 bits gives every platform
// the 0 .. 32767 range the scaling assumes.
int nextRandom()
{
    return rand() & 0x7FFF;
}

// An integer product, then a floating-point division. The product is formed in
// 64 bits so a huge scale cannot overflow; for every scale the sliders allow it
// equals the plain int product.
float scaledRandom(int scale)
{
    long long product = static_cast<long long>(nextRandom()) * scale;
    return static_cast<float>(product) / kRandomRange;
}

float scaledRandom(float scale)
{
    return static_cast<float>(nextRandom()) * scale / kRandomRange;
}

bool isNearZero(float n)
{
    return -kNearZero < n && n < kNearZero;
}

bool fitsStore(const HairRecipe& recipe)
{
    return recipe.clusters >= 1 && recipe.clusters <= kMaxClusters &&
           recipe.clusters * recipe.clusters <= kMaxClusters && recipe.hairs >= 1 &&
           recipe.hairs <= kMaxStrandsPerCluster && isValidStrandParts(recipe.parts);
}

bool hasRootGrid(const NurbsSurface& surface)
{
    if (surface.controlNet == nullptr || surface.stripVertices == nullptr ||
        surface.samplesU < 1 || surface.samplesV < 1) {
        return false;
    }
    long long samples = (static_cast<long long>(surface.samplesU) + 1) * (surface.samplesV + 1);
    return samples >= kRootSampleCount;
}

// Everything one growth works with; allocated once and shared by all its strands.
struct GrowthArrays {
    float* pathX = nullptr;
    float* pathY = nullptr;
    float* pathZ = nullptr;
    float* templateLength = nullptr;
    float* templateRestA = nullptr;
    float* templateRestB = nullptr;
    float* strandKnotsU = nullptr;
    ControlPoint* scratchNet = nullptr;

    void allocate(int parts)
    {
        pathX = new float[parts];
        pathY = new float[parts];
        pathZ = new float[parts];
        templateLength = new float[parts];
        templateRestA = new float[parts];
        templateRestB = new float[parts];
        strandKnotsU = new float[parts + 4];
        scratchNet = new ControlPoint[parts * kStrandRingPoints];
        buildStrandKnotsU(parts, strandKnotsU);
    }

    void release()
    {
        delete[] pathX;
        delete[] pathY;
        delete[] pathZ;
        delete[] templateLength;
        delete[] templateRestA;
        delete[] templateRestB;
        delete[] strandKnotsU;
        delete[] scratchNet;
        pathX = pathY = pathZ = nullptr;
        templateLength = templateRestA = templateRestB = nullptr;
        strandKnotsU = nullptr;
        scratchNet = nullptr;
    }
};

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

    // Unlike the plane's, the surface template is not a running sum: each part's
    // length is measured from the point before it along the normal.
    void randomTemplate()
    {
        for (int s = 1; s < recipe.parts; ++s) {
            work.templateLength[s] = scaledRandom(recipe.length);
            work.templateRestA[s] = scaledRandom(recipe.restAngle);
            work.templateRestB[s] = scaledRandom(recipe.restAngle);
        }
    }

    // One coordinate of a messy strand: a step out of the shape, or where the
    // normal hardly touches the axis a rest offset instead, above the root on the
    // torus and below it on the sphere. Exactly one draw either way, so the
    // sequence never depends on the normal.
    float messyStep(float previous, float root, float n, float nOut) const
    {
        if (isNearZero(n)) {
            return recipe.shape == UnderlyingShape::Torus ? root + scaledRandom(recipe.restAngle)
                                                          : root - scaledRandom(recipe.restAngle);
        }
        return previous + nOut * scaledRandom(recipe.length);
    }

    // Every axis grows by the jitter plus the cluster's length along the outward
    // normal. The fallbacks keep the surface normal as it is, and y shares
    // templateRestA with x: that is the combed look, not a slip.
    void combedStep(int s, const float n[3], const float nOut[3])
    {
        float* pathX = work.pathX;
        float* pathY = work.pathY;
        float* pathZ = work.pathZ;
        float g = scaledRandom(kCombedJitter);
        pathX[s] = isNearZero(n[0]) ? pathX[0] + g - n[0] * work.templateRestA[s]
                                    : pathX[s - 1] + g + nOut[0] * work.templateLength[s];
        g = scaledRandom(kCombedJitter);
        pathY[s] = isNearZero(n[1]) ? pathY[0] + g - n[1] * work.templateRestA[s]
                                    : pathY[s - 1] + g + nOut[1] * work.templateLength[s];
        g = scaledRandom(kCombedJitter);
        pathZ[s] = isNearZero(n[2]) ? pathZ[0] + g - n[2] * work.templateRestB[s]
                                    : pathZ[s - 1] + g + nOut[2] * work.templateLength[s];
    }

    void walkStrand()
    {
        float* pathX = work.pathX;
        float* pathY = work.pathY;
        float* pathZ = work.pathZ;
        // Truncation toward zero; the index reaches 440 only on the largest draw.
        const int m = static_cast<int>(scaledRandom(kRootSampleLimit));
        const SurfaceVertex& root = rootSamples[m];
        pathX[0] = root.position[0];
        pathY[0] = root.position[1];
        pathZ[0] = root.position[2];
        const float* n = root.normal;
        float nOut[3];
        outwardNormal(recipe.shape, root, nOut);

        for (int s = 1; s < recipe.parts; ++s) {
            if (recipe.style == HairStyle::Combed) {
                combedStep(s, n, nOut);
            } else {
                pathX[s] = messyStep(pathX[s - 1], pathX[0], n[0], nOut[0]);
                pathY[s] = messyStep(pathY[s - 1], pathY[0], n[1], nOut[1]);
                pathZ[s] = messyStep(pathZ[s - 1], pathZ[0], n[2], nOut[2]);
            }
        }
    }

    void nextColumn() {}
    void nextRow() {}
};

// clusters x clusters clusters in record order, row by row: a combed cluster's
// template first, then each strand's walk and tube.
template <typename Growth>
void growClusters(const HairRecipe& recipe, GrowthArrays& work, Growth& growth, HairStore& store)
{
    const int clusters = recipe.clusters;
    store.clusterCount = clusters * clusters;
    for (int i = 0; i < clusters; ++i) {
        for (int j = 0; j < clusters; ++j) {
            const int p = i * clusters + j;
            if (recipe.style == HairStyle::Combed) {
                growth.randomTemplate();
            }
            store.hairClusters[p].strandCount = recipe.hairs;
            for (int k = 0; k < recipe.hairs; ++k) {
                growth.walkStrand();
                buildStrand(store, p, k, work.pathX, work.pathY, work.pathZ, recipe.parts,
                            work.strandKnotsU, work.scratchNet);
            }
            growth.nextColumn();
        }
        growth.nextRow();
    }
}

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
