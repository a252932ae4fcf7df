#include "geometry/NurbsSurface.h"

#include <cstddef>
#include <cstdio>
#include <memory>

#include "geometry/Arrays.h"
#include "geometry/BasisTableCache.h"
#include "geometry/DegenerateNormals.h"
#include "geometry/NurbsBasis.h"

namespace {

// Consecutive arrays out of one allocation. Every element type here is a run of
// four-byte floats or ints, so each array starts aligned for its type.
class BlockCarver {
public:
    template <typename T>
    void reserve(int count)
    {
        bytes += sizeof(T) * count;
    }

    unsigned char* allocate()
    {
        block = new unsigned char[bytes];
        next = block;
        return block;
    }

    template <typename T>
    T* take(int count)
    {
        T* array = reinterpret_cast<T*>(next);
        std::uninitialized_default_construct_n(array, count);
        next += sizeof(T) * count;
        return array;
    }

private:
    size_t bytes = 0;
    unsigned char* block = nullptr;
    unsigned char* next = nullptr;
};

}  // namespace

NurbsSurface::NurbsSurface() = default;

NurbsSurface::~NurbsSurface()
{
    release();
}

void NurbsSurface::setup(int degreeU, int degreeV, int numCtrlU, int numCtrlV,
                         const ControlPoint* net, const float* knotsU, const float* knotsV,
                         int samplesU, int samplesV, BasisTableCache* cache)
{
    release();
    this->degreeU = degreeU;
    this->degreeV = degreeV;
    this->numCtrlU = numCtrlU;
    this->numCtrlV = numCtrlV;
    orderU = degreeU + 1;
    orderV = degreeV + 1;
    numKnotsU = numCtrlU + degreeU + 1;
    numKnotsV = numCtrlV + degreeV + 1;
    numSpansU = numCtrlU - degreeU;
    numSpansV = numCtrlV - degreeV;

    // One allocation instead of seven: a growth sets up thousands of strands.
    BlockCarver carver;
    carver.reserve<ControlPoint>(numCtrlU * numCtrlV);
    carver.reserve<ControlPoint>(orderV);
    carver.reserve<ControlPoint>(orderV);
    carver.reserve<float>(numKnotsU);
    carver.reserve<float>(numKnotsV);
    carver.reserve<float>(orderU * orderU * numSpansU);
    carver.reserve<float>(orderV * orderV * numSpansV);
    setupBlock = carver.allocate();
    controlNet = carver.take<ControlPoint>(numCtrlU * numCtrlV);
    rowSum = carver.take<ControlPoint>(orderV);
    rowSumDu = carver.take<ControlPoint>(orderV);
    this->knotsU = carver.take<float>(numKnotsU);
    this->knotsV = carver.take<float>(numKnotsV);
    basisCoeffU = carver.take<float>(orderU * orderU * numSpansU);
    basisCoeffV = carver.take<float>(orderV * orderV * numSpansV);

    copyArray(controlNet, net, numCtrlU * numCtrlV);
    copyArray(this->knotsU, knotsU, numKnotsU);
    copyArray(this->knotsV, knotsV, numKnotsV);

    degenerateLimitSq = degenerateLimitSquared(controlNet, numCtrlU, numCtrlV, this->knotsU,
                                               degreeU, this->knotsV, degreeV);

    precomputeBasis(cache);
    setTessellation(samplesU, samplesV, cache);
}

void NurbsSurface::setTessellation(int samplesU, int samplesV, BasisTableCache* cache)
{
    this->samplesU = samplesU;
    this->samplesV = samplesV;

    freeArray(tessellationBlock);
    BlockCarver carver;
    carver.reserve<SurfaceVertex>(2 * (samplesV + 1));
    carver.reserve<float>((samplesU + 1) * orderU);
    carver.reserve<float>((samplesU + 1) * orderU);
    carver.reserve<float>((samplesV + 1) * orderV);
    carver.reserve<float>((samplesV + 1) * orderV);
    carver.reserve<int>(samplesU + 1);
    carver.reserve<int>(samplesV + 1);
    tessellationBlock = carver.allocate();
    stripVertices = carver.take<SurfaceVertex>(2 * (samplesV + 1));
    basisU = carver.take<float>((samplesU + 1) * orderU);
    basisDerivU = carver.take<float>((samplesU + 1) * orderU);
    basisV = carver.take<float>((samplesV + 1) * orderV);
    basisDerivV = carver.take<float>((samplesV + 1) * orderV);
    spanU = carver.take<int>(samplesU + 1);
    spanV = carver.take<int>(samplesV + 1);

    sampleBasis(cache);
}

void NurbsSurface::precomputeBasis(BasisTableCache* cache)
{
    if (cache != nullptr) {
        cache->fillCoefficients(knotsU, degreeU, numCtrlU, basisCoeffU);
        cache->fillCoefficients(knotsV, degreeV, numCtrlV, basisCoeffV);
    } else {
        expandCoefficients(knotsU, degreeU, numCtrlU, basisCoeffU);
        expandCoefficients(knotsV, degreeV, numCtrlV, basisCoeffV);
    }
}

float NurbsSurface::basisCoefficient(const float* knots, int span, int i, int k, int m)
{
    if (k == 0) {
        return i == span ? 1.0f : 0.0f;
    }
    if (m > k) {
        return 0.0f;
    }
    float* work = new float[expansionWorkSize(1, k)];
    float* coeff = new float[k + 1];
    expandSpan(knots, span, i, 1, k, work, coeff);
    const float result = coeff[m];
    delete[] work;
    delete[] coeff;
    return result;
}

void NurbsSurface::sampleBasis(BasisTableCache* cache)
{
    if (cache != nullptr) {
        cache->fillSamples(knotsU, basisCoeffU, degreeU, numCtrlU, samplesU, spanU, basisU,
                           basisDerivU);
        cache->fillSamples(knotsV, basisCoeffV, degreeV, numCtrlV, samplesV, spanV, basisV,
                           basisDerivV);
    } else {
        sampleDirection(knotsU, basisCoeffU, degreeU, numCtrlU, samplesU, spanU, basisU,
                        basisDerivU);
        sampleDirection(knotsV, basisCoeffV, degreeV, numCtrlV, samplesV, spanV, basisV,
                        basisDerivV);
    }
}

SurfaceVertex* NurbsSurface::evaluateGrid()
{
    if (samplesU == 0 || samplesV == 0 || stripVertices == nullptr) {
        return nullptr;
    }
    const int columns = samplesV + 1;
    const int count = (samplesU + 1) * columns;
    SurfaceVertex* grid = new SurfaceVertex[count];
    for (int i = 0; i <= samplesU; ++i) {
        evaluateRow(i);
        for (int j = 0; j < columns; ++j) {
            grid[i * columns + j] = stripVertices[2 * j + i % 2];
        }
    }
    std::printf("ttotal = %d\n", count);
    return grid;
}

void NurbsSurface::release()
{
    freeArray(setupBlock);
    freeArray(tessellationBlock);
    controlNet = nullptr;
    knotsU = nullptr;
    knotsV = nullptr;
    basisCoeffU = nullptr;
    basisCoeffV = nullptr;
    basisU = nullptr;
    basisDerivU = nullptr;
    basisV = nullptr;
    basisDerivV = nullptr;
    rowSum = nullptr;
    rowSumDu = nullptr;
    stripVertices = nullptr;
    spanU = nullptr;
    spanV = nullptr;
}
