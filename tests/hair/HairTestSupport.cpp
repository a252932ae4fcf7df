#include "HairTestSupport.h"

#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

HairRecipe makeRecipe(int shape, int style, int clusters, int hairs, int parts, int length,
                      int restAngle)
{
    return {shape, style, length, restAngle, hairs, clusters, parts};
}

std::string describe(const HairRecipe& settings)
{
    std::ostringstream out;
    out << "shape " << settings.shape << " style " << settings.style << " clusters "
        << settings.clusters << " hairs " << settings.hairs << " parts " << settings.parts
        << " length " << settings.length << " restAngle " << settings.restAngle;
    return out.str();
}

Point3 centrePoint(const NurbsSurface& strand, int r)
{
    const ControlPoint* ring = strand.controlNet + r * kStrandRingPoints;
    return {ring[2].x, ring[0].y, ring[0].z};
}

Centreline centrelineOf(const NurbsSurface& strand)
{
    Centreline line;
    for (int r = 0; r < strand.numCtrlU; ++r) {
        line.push_back(centrePoint(strand, r));
    }
    return line;
}

int randAfter(long long draws)
{
    for (long long n = 0; n < draws; ++n) {
        rand();
    }
    return rand();
}

std::string growCapturingOutput(bool (*grower)(const HairRecipe&), const HairRecipe& settings,
                                bool* grown)
{
    testing::internal::CaptureStdout();
    bool result = grower(settings);
    std::string output = testing::internal::GetCapturedStdout();
    if (grown != nullptr) {
        *grown = result;
    }
    return output;
}

std::vector<SurfaceVertex> underlyingGrid()
{
    testing::internal::CaptureStdout();
    SurfaceVertex* samples = underlyingSurface.evaluateGrid();
    testing::internal::GetCapturedStdout();
    std::vector<SurfaceVertex> grid;
    if (samples != nullptr) {
        int count = (underlyingSurface.samplesU + 1) * (underlyingSurface.samplesV + 1);
        grid.assign(samples, samples + count);
        delete[] samples;
    }
    return grid;
}

void growQuietly(const HairRecipe& recipe)
{
    bool grown = false;
    growCapturingOutput(growShapeHair, recipe, &grown);
    ASSERT_TRUE(grown) << describe(recipe);
}
