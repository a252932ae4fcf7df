#include "hair/HairGrowth.h"

#include <cstdlib>

#include "app/HairSettings.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

namespace {

constexpr int kRandomRange = 32767;
// Roots sample a 21 x 21 grid; a smaller grid would put the root index out of range.
constexpr long long kRootSampleCount = kRootSampleLimit + 1;
constexpr float kPlaneLow = -100.0f;
constexpr float kPlaneWidth = 200.0f;
constexpr int kCombedJitter = 5;
constexpr float kNearZero = 0.0001f;

// glibc's rand() reaches 2^31 - 1; keeping the low 15 bits gives every platform
// the 0 .. 32767 range the scaling assumes.
int drawRandom()
{
    return rand() & 0x7FFF;
}

// An integer product, then a floating-point division. The product is formed in
// 64 bits so a huge scale cannot overflow; for every scale the sliders allow it
// equals the plain int product.
float scaledDraw(int scale)
{
    long long product = static_cast<long long>(drawRandom()) * scale;
    return static_cast<float>(product) / kRandomRange;
}

float scaledDraw(float scale)
{
    return static_cast<float>(drawRandom()) * scale / kRandomRange;
}

bool isNearZero(float n)
{
    return -kNearZero < n && n < kNearZero;
}

bool fitsStore(const HairSettings& settings)
{
    return settings.clusters >= 1 && settings.clusters <= kMaxClusters &&
           settings.clusters * settings.clusters <= kMaxClusters && settings.hairs >= 1 &&
           settings.hairs <= kMaxStrandsPerCluster && isValidStrandParts(settings.parts);
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

void drawPlaneTemplate(const HairSettings& settings, GrowthArrays& work)
{
    work.templateLength[0] = 0.0f;
    for (int r = 1; r < settings.parts; ++r) {
        work.templateLength[r] = work.templateLength[r - 1] + scaledDraw(settings.length);
        work.templateRestA[r] = scaledDraw(settings.restAngle);
        work.templateRestB[r] = scaledDraw(settings.restAngle);
    }
}

// Unlike the plane's, the surface template is not a running sum: each part's
// length is measured from the point before it along the normal.
void drawSurfaceTemplate(const HairSettings& settings, GrowthArrays& work)
{
    for (int s = 1; s < settings.parts; ++s) {
        work.templateLength[s] = scaledDraw(settings.length);
        work.templateRestA[s] = scaledDraw(settings.restAngle);
        work.templateRestB[s] = scaledDraw(settings.restAngle);
    }
}

void walkPlaneStrand(const HairSettings& settings, GrowthArrays& work, float cellOriginX,
                     float cellOriginZ, float cellSize)
{
    float* pathX = work.pathX;
    float* pathY = work.pathY;
    float* pathZ = work.pathZ;
    pathY[0] = 0.0f;
    pathX[0] = cellOriginX + scaledDraw(cellSize);
    pathZ[0] = cellOriginZ + scaledDraw(cellSize);

    // Sideways offsets are measured from the root, never summed, so a strand
    // stays within restAngle of it however many parts it has.
    if (settings.style == Combed) {
        for (int r = 1; r < settings.parts; ++r) {
            pathY[r] = work.templateLength[r] + scaledDraw(kCombedJitter);
            pathX[r] = pathX[0] + work.templateRestA[r] + scaledDraw(kCombedJitter);
            pathZ[r] = pathZ[0] + work.templateRestB[r] + scaledDraw(kCombedJitter);
        }
    } else {
        for (int r = 1; r < settings.parts; ++r) {
            pathY[r] = pathY[r - 1] + scaledDraw(settings.length);
            pathX[r] = pathX[0] + scaledDraw(settings.restAngle);
            pathZ[r] = pathZ[0] + scaledDraw(settings.restAngle);
        }
    }
}

// One coordinate of a messy surface strand. Torus hair grows against the normal,
// sphere hair along it; an axis the normal hardly touches gets a rest offset
// instead. Exactly one draw either way, so the sequence never depends on the normal.
float messySurfaceStep(const HairSettings& settings, float previous, float root, float n)
{
    if (settings.shape == Torus) {
        if (isNearZero(n)) {
            return root + scaledDraw(settings.restAngle);
        }
        return previous - n * scaledDraw(settings.length);
    }
    if (isNearZero(n)) {
        return root - scaledDraw(settings.restAngle);
    }
    return previous + n * scaledDraw(settings.length);
}

void walkSurfaceStrand(const HairSettings& settings, GrowthArrays& work,
                       const SurfaceVertex* rootSamples)
{
    float* pathX = work.pathX;
    float* pathY = work.pathY;
    float* pathZ = work.pathZ;
    // Truncation toward zero; the index reaches 440 only on the largest draw.
    int m = static_cast<int>(scaledDraw(kRootSampleLimit));
    const SurfaceVertex& root = rootSamples[m];
    pathX[0] = root.position[0];
    pathY[0] = root.position[1];
    pathZ[0] = root.position[2];
    float nx = root.normal[0];
    float ny = root.normal[1];
    float nz = root.normal[2];

    for (int s = 1; s < settings.parts; ++s) {
        if (settings.style == Combed) {
            // y subtracts its growth term and its fallback shares templateRestA
            // with x: that is the combed look, not a slip.
            float g = scaledDraw(kCombedJitter);
            pathX[s] = isNearZero(nx) ? pathX[0] + g - nx * work.templateRestA[s]
                                      : pathX[s - 1] + g + nx * work.templateLength[s];
            g = scaledDraw(kCombedJitter);
            pathY[s] = isNearZero(ny) ? pathY[0] + g - ny * work.templateRestA[s]
                                      : pathY[s - 1] + g - ny * work.templateLength[s];
            g = scaledDraw(kCombedJitter);
            pathZ[s] = isNearZero(nz) ? pathZ[0] + g - nz * work.templateRestB[s]
                                      : pathZ[s - 1] + g + nz * work.templateLength[s];
        } else {
            pathX[s] = messySurfaceStep(settings, pathX[s - 1], pathX[0], nx);
            pathY[s] = messySurfaceStep(settings, pathY[s - 1], pathY[0], ny);
            pathZ[s] = messySurfaceStep(settings, pathZ[s - 1], pathZ[0], nz);
        }
    }
}

void buildStrandFromPath(int p, int k, const HairSettings& settings, GrowthArrays& work)
{
    buildStrand(p, k, work.pathX, work.pathY, work.pathZ, settings.parts, work.strandKnotsU,
                work.scratchNet);
}

}  // namespace

bool growPlaneHair(const HairSettings& settings)
{
    if (!fitsStore(settings)) {
        return false;
    }
    const int clusters = settings.clusters;
    GrowthArrays work;
    work.allocate(settings.parts);

    // Cell corners are accumulated by repeated single-precision addition, so the
    // last cells may not end exactly at the plane's edge.
    float cellSize = kPlaneWidth / clusters;
    float cellOriginX = kPlaneLow;
    float cellOriginZ = kPlaneLow;
    hairStore.clusterCount = clusters * clusters;

    for (int i = 0; i < clusters; ++i) {
        for (int j = 0; j < clusters; ++j) {
            int p = i * clusters + j;
            if (settings.style == Combed) {
                drawPlaneTemplate(settings, work);
            }
            hairStore.hairClusters[p].strandCount = settings.hairs;
            for (int k = 0; k < settings.hairs; ++k) {
                walkPlaneStrand(settings, work, cellOriginX, cellOriginZ, cellSize);
                buildStrandFromPath(p, k, settings, work);
            }
            cellOriginX += cellSize;
        }
        cellOriginZ += cellSize;
        cellOriginX = kPlaneLow;
    }

    work.release();
    return true;
}

bool growSurfaceHair(const HairSettings& settings)
{
    if (!fitsStore(settings) || (settings.shape != Sphere && settings.shape != Torus) ||
        !hasRootGrid(underlyingSurface)) {
        return false;
    }
    SurfaceVertex* rootSamples = underlyingSurface.evaluateGrid();
    if (rootSamples == nullptr) {
        return false;
    }
    const int clusters = settings.clusters;
    GrowthArrays work;
    work.allocate(settings.parts);
    hairStore.clusterCount = clusters * clusters;

    for (int i = 0; i < clusters; ++i) {
        for (int j = 0; j < clusters; ++j) {
            int p = i * clusters + j;
            if (settings.style == Combed) {
                drawSurfaceTemplate(settings, work);
            }
            hairStore.hairClusters[p].strandCount = settings.hairs;
            for (int k = 0; k < settings.hairs; ++k) {
                walkSurfaceStrand(settings, work, rootSamples);
                buildStrandFromPath(p, k, settings, work);
            }
        }
    }

    work.release();
    delete[] rootSamples;
    return true;
}
