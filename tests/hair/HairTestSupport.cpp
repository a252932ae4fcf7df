#include "HairTestSupport.h"

#include <cstdlib>
#include <sstream>

#include <gtest/gtest.h>

#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

namespace {

template <typename T>
void append(Bytes& out, const T* values, int count)
{
    if (values != nullptr && count > 0) {
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(values);
        out.insert(out.end(), raw, raw + sizeof(T) * count);
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, UnderlyingShape shape)
{
    return out << static_cast<int>(shape);
}

std::ostream& operator<<(std::ostream& out, HairStyle style)
{
    return out << static_cast<int>(style);
}

HairRecipe makeRecipe(UnderlyingShape shape, HairStyle style, int clusters, int hairs, int parts,
                      int length, int restAngle)
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

std::vector<SurfaceVertex> wholeGrid(NurbsSurface& surface)
{
    testing::internal::CaptureStdout();
    SurfaceVertex* samples = surface.evaluateGrid();
    testing::internal::GetCapturedStdout();
    std::vector<SurfaceVertex> grid;
    if (samples != nullptr) {
        int count = (surface.samplesU + 1) * (surface.samplesV + 1);
        grid.assign(samples, samples + count);
        delete[] samples;
    }
    return grid;
}

void growQuietly(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store)
{
    testing::internal::CaptureStdout();
    const bool grown = growShapeHair(recipe, surface, store);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(grown) << describe(recipe);
}

std::vector<Bytes> currentStrands(const HairStore& store)
{
    std::vector<Bytes> strands;
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            const NurbsSurface& s = cluster.strands[k];
            Bytes b;
            const int counts[] = {s.degreeU, s.degreeV, s.numCtrlU, s.numCtrlV, s.numKnotsU,
                                  s.numKnotsV, s.samplesU, s.samplesV};
            append(b, counts, 8);
            append(b, s.controlNet, s.numCtrlU * s.numCtrlV);
            append(b, s.knotsU, s.numKnotsU);
            append(b, s.knotsV, s.numKnotsV);
            append(b, s.basisCoeffU, s.orderU * s.orderU * s.numSpansU);
            append(b, s.basisCoeffV, s.orderV * s.orderV * s.numSpansV);
            append(b, s.basisU, (s.samplesU + 1) * s.orderU);
            append(b, s.basisV, (s.samplesV + 1) * s.orderV);
            append(b, s.spanU, s.samplesU + 1);
            append(b, s.spanV, s.samplesV + 1);
            strands.push_back(b);
        }
    }
    return strands;
}

std::string firstDifference(const std::vector<Bytes>& expected, const std::vector<Bytes>& actual)
{
    if (expected.size() != actual.size()) {
        return "strand counts differ: " + std::to_string(expected.size()) + " and " +
               std::to_string(actual.size());
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            return "strand " + std::to_string(i) + " differs";
        }
    }
    return "";
}
