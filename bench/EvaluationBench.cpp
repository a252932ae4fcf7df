#include <benchmark/benchmark.h>

#include <GL/glu.h>

#include "BenchSupport.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

// Cost of evaluating one surface's whole sample grid: ours row by row through
// evaluateRow, GLU's with its NURBS tessellator cut to the same 20 x 20 steps of
// the same parameter domain. Both are reported per sample of the 21 x 21 grid.

namespace {

constexpr int kGridSamples = (kShapeSamples + 1) * (kShapeSamples + 1);

void setUpSphere(NurbsSurface& surface)
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildSphereNet(net);
    surface.setup(2, 2, kShapeNetSize, kShapeNetSize, net, kCircleKnots, kCircleKnots,
                  kShapeSamples, kShapeSamples);
}

// A wandering 16-part centreline, the ring about each point as buildStrand makes it.
void setUpStrand(NurbsSurface& surface)
{
    ControlPoint net[kLargestParts * kStrandRingPoints];
    float knotsU[kLargestParts + 4];
    buildStrandKnotsU(kLargestParts, knotsU);
    for (int r = 0; r < kLargestParts; ++r) {
        const float centre[3] = {3.0f * r - 0.25f * r * r, 9.0f * r, 0.5f * r * r - 4.0f * r};
        for (int l = 0; l < kStrandRingPoints; ++l) {
            const ControlPoint& ring = kStrandCrossSection[l];
            net[r * kStrandRingPoints + l] = {centre[0] + ring.x, centre[1] + ring.y,
                                              centre[2] + ring.z, ring.w};
        }
    }
    surface.setup(kStrandDegree, kStrandDegree, kLargestParts, kStrandRingPoints, net, knotsU,
                  kStrandKnotsV, kStrandSamples, kStrandSamples);
}

void evaluateAllRows(benchmark::State& state, NurbsSurface& surface)
{
    for (auto _ : state) {
        for (int i = 0; i <= surface.samplesU; ++i) {
            surface.evaluateRow(i);
            benchmark::DoNotOptimize(surface.stripVertices);
            benchmark::ClobberMemory();
        }
    }
    state.counters["samples"] = kGridSamples;
}

void BM_EvaluateSphere(benchmark::State& state)
{
    NurbsSurface surface;
    setUpSphere(surface);
    evaluateAllRows(state, surface);
}

void BM_EvaluateStrand(benchmark::State& state)
{
    NurbsSurface surface;
    setUpStrand(surface);
    evaluateAllRows(state, surface);
}

// Where GLU's callbacks put what they are given: a small ring, as our
// evaluation writes its two-row buffer.
constexpr int kSinkSize = 1024;
float sinkVertices[kSinkSize][3];
float sinkNormals[kSinkSize][3];
long sinkVertexCount = 0;
long sinkNormalCount = 0;

void APIENTRY takeVertex(GLfloat* vertex)
{
    float* out = sinkVertices[sinkVertexCount++ % kSinkSize];
    out[0] = vertex[0];
    out[1] = vertex[1];
    out[2] = vertex[2];
}

void APIENTRY takeNormal(GLfloat* normal)
{
    float* out = sinkNormals[sinkNormalCount++ % kSinkSize];
    out[0] = normal[0];
    out[1] = normal[1];
    out[2] = normal[2];
}

void tessellateWithGlu(benchmark::State& state, NurbsSurface& surface)
{
    GLUnurbs* nurbs = gluNewNurbsRenderer();
    gluNurbsProperty(nurbs, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
    gluNurbsProperty(nurbs, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    // GLU_DOMAIN_DISTANCE counts steps per unit of parameter: this many make the
    // surface's 20 steps over its own range in each direction.
    const float rangeU = surface.knotsU[surface.numCtrlU] - surface.knotsU[surface.degreeU];
    const float rangeV = surface.knotsV[surface.numCtrlV] - surface.knotsV[surface.degreeV];
    gluNurbsProperty(nurbs, GLU_U_STEP, surface.samplesU / rangeU);
    gluNurbsProperty(nurbs, GLU_V_STEP, surface.samplesV / rangeV);
    gluNurbsProperty(nurbs, GLU_CULLING, GL_FALSE);
    gluNurbsProperty(nurbs, GLU_AUTO_LOAD_MATRIX, GL_FALSE);
    gluNurbsCallback(nurbs, GLU_NURBS_VERTEX, reinterpret_cast<_GLUfuncptr>(takeVertex));
    gluNurbsCallback(nurbs, GLU_NURBS_NORMAL, reinterpret_cast<_GLUfuncptr>(takeNormal));

    const long verticesBefore = sinkVertexCount;
    const long normalsBefore = sinkNormalCount;
    for (auto _ : state) {
        // u is GLU's s: a step in u moves numCtrlV points through the u-major net.
        gluBeginSurface(nurbs);
        gluNurbsSurface(nurbs, surface.numKnotsU, surface.knotsU, surface.numKnotsV,
                        surface.knotsV, 4 * surface.numCtrlV, 4,
                        reinterpret_cast<GLfloat*>(surface.controlNet), surface.orderU,
                        surface.orderV, GL_MAP2_VERTEX_4);
        gluEndSurface(nurbs);
        benchmark::ClobberMemory();
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["samples"] = kGridSamples;
    state.counters["gluVertices"] = (sinkVertexCount - verticesBefore) / passes;
    state.counters["gluNormals"] = (sinkNormalCount - normalsBefore) / passes;
    gluDeleteNurbsRenderer(nurbs);
}

void BM_GluSphere(benchmark::State& state)
{
    NurbsSurface surface;
    setUpSphere(surface);
    tessellateWithGlu(state, surface);
}

void BM_GluStrand(benchmark::State& state)
{
    NurbsSurface surface;
    setUpStrand(surface);
    tessellateWithGlu(state, surface);
}

}  // namespace

// Each figure is the median of three repetitions.
BENCHMARK(BM_EvaluateSphere)->Name("Evaluate/Sphere")->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_GluSphere)->Name("Evaluate/Sphere/GLU")->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_EvaluateStrand)->Name("Evaluate/Strand16")->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_GluStrand)->Name("Evaluate/Strand16/GLU")->Repetitions(3)->DisplayAggregatesOnly(true);
