#ifndef TRESSMOOR_HAIR_GROWTHWALK_H
#define TRESSMOOR_HAIR_GROWTHWALK_H

#include <cstdlib>

#include "hair/HairRecipe.h"
#include "hair/HairStore.h"

// What the growers share: the scaled rand() draws, the working arrays of one
// growth, the walk of a strand out of a surface along its outward normal, and
// the visit of the clusters in record order.
namespace growth {

constexpr int kRandomRange = 32767;
constexpr int kCombedJitter = 5;
constexpr float kNearZero = 0.0001f;

// glibc's rand() reaches 2^31 - 1; keeping the low 15 bits gives every platform
// the 0 .. 32767 range the scaling assumes.
inline int nextRandom()
{
    return rand() & 0x7FFF;
}

// An integer product, then a floating-point division. The product is formed in
// 64 bits so a huge scale cannot overflow; for every scale the sliders allow it
// equals the plain int product.
inline float scaledRandom(int scale)
{
    long long product = static_cast<long long>(nextRandom()) * scale;
    return static_cast<float>(product) / kRandomRange;
}

inline float scaledRandom(float scale)
{
    return static_cast<float>(nextRandom()) * scale / kRandomRange;
}

inline bool isNearZero(float n)
{
    return -kNearZero < n && n < kNearZero;
}

inline bool fitsStore(const HairRecipe& recipe)
{
    return recipe.clusters >= 1 && recipe.clusters <= kMaxClusters &&
           recipe.clusters * recipe.clusters <= kMaxClusters && recipe.hairs >= 1 &&
           recipe.hairs <= kMaxStrandsPerCluster && isValidStrandParts(recipe.parts);
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

// A strand walked out of a curved surface from its root: the sphere's, the
// torus's and a mesh's hair all grow this way.
struct OutwardWalk {
    const HairRecipe& recipe;
    GrowthArrays& work;
    // Where the normal hardly touches an axis, messy hair takes a rest offset on
    // it instead: above the root on the torus, below it everywhere else.
    bool restAbove;

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

    // One coordinate of a messy strand: a step out of the shape, or the rest
    // offset. Exactly one draw either way, so the sequence never depends on the
    // normal.
    float messyStep(float previous, float root, float n, float nOut) const
    {
        if (isNearZero(n)) {
            return restAbove ? root + scaledRandom(recipe.restAngle)
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

    // The parts after the root, which the caller has put in path[0]: n is the
    // surface's normal there and nOut the same turned out of the shape.
    void walkFromRoot(const float n[3], const float nOut[3])
    {
        float* pathX = work.pathX;
        float* pathY = work.pathY;
        float* pathZ = work.pathZ;
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
};

// clusters x clusters clusters in record order, row by row: a combed cluster's
// template first, then each strand's walk and tube. Growth tells the walk where
// it is through startCluster (record p), walkStrand and nextColumn and nextRow.
template <typename Growth>
void growClusters(const HairRecipe& recipe, GrowthArrays& work, Growth& growth, HairStore& store)
{
    const int clusters = recipe.clusters;
    store.clusterCount = clusters * clusters;
    for (int i = 0; i < clusters; ++i) {
        for (int j = 0; j < clusters; ++j) {
            const int p = i * clusters + j;
            growth.startCluster(p);
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

}  // namespace growth

#endif
