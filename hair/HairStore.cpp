#include "hair/HairStore.h"

HairStore hairStore;

const ControlPoint kStrandCrossSection[kStrandRingPoints] = {
    {1.0f, 0.0f, 0.0f, 1.0f},
    {0.707107f, 0.0f, 0.707107f, 1.0f},
    {0.0f, 0.0f, 1.0f, 1.0f},
    {-0.707107f, 0.0f, 0.707107f, 1.0f},
    {-1.0f, 0.0f, 0.0f, 1.0f},
    {-0.707107f, 0.0f, -0.707107f, 1.0f},
    {0.0f, 0.0f, -1.0f, 1.0f},
    {0.707107f, 0.0f, -0.707107f, 1.0f},
    {1.0f, 0.0f, 0.0f, 1.0f},
};

const float kStrandKnotsV[13] = {
    0.0f, 0.0f, 0.0f, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f,
};

bool isValidStrandParts(int parts)
{
    return parts >= kMinStrandParts && parts <= kMaxStrandParts && parts % 2 == 0;
}

void buildStrandKnotsU(int parts, float* strandKnotsU)
{
    for (int r = 0; r < 3; ++r) {
        strandKnotsU[r] = 0.0f;
        strandKnotsU[parts + 3 - r] = 1.0f;
    }
    // parts / 2 is an integer division; the interior knots are then accumulated
    // in single precision, not computed as multiples of the step.
    float step = 1.0f / (parts / 2);
    float value = 0.0f + step;
    for (int r = 3; r < parts + 1; r += 2) {
        strandKnotsU[r] = value;
        strandKnotsU[r + 1] = value;
        value = value + step;
    }
}

bool buildStrand(HairStore& store, int p, int k, const float* pathX, const float* pathY,
                 const float* pathZ, int parts, const float* strandKnotsU, ControlPoint* scratchNet)
{
    if (p < 0 || p >= kMaxClusters || k < 0 || k >= kMaxStrandsPerCluster ||
        !isValidStrandParts(parts)) {
        return false;
    }

    for (int r = 0; r < parts; ++r) {
        for (int l = 0; l < kStrandRingPoints; ++l) {
            const ControlPoint& ring = kStrandCrossSection[l];
            ControlPoint& point = scratchNet[r * kStrandRingPoints + l];
            point.x = pathX[r] + ring.x;
            point.y = pathY[r] + ring.y;
            point.z = pathZ[r] + ring.z;
            point.w = ring.w;
        }
    }

    store.hairGrown = true;
    NurbsSurface& strand = store.hairClusters[p].strands[k];
    strand.release();
    strand.setup(kStrandDegree, kStrandDegree, parts, kStrandRingPoints, scratchNet,
                 strandKnotsU, kStrandKnotsV, kStrandSamples, kStrandSamples,
                 &store.strandBasisTables);
    return true;
}
