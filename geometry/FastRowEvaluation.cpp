#include <cstddef>
#include <cstring>
#include <optional>

#include "geometry/DegenerateNormals.h"
#include "geometry/Lanes.h"
#include "geometry/NurbsBasis.h"
#include "geometry/NurbsSurface.h"
#include "geometry/RationalPoint.h"

namespace {

// Control columns up to which a row keeps the u sums of all its columns on the stack.
constexpr int kMaxFastColumns = 64;

// Samples of a row whose sums are formed before any of them is finished; a
// multiple of four.
constexpr int kChunkSamples = 32;

// A vertex is written as two runs of four floats: position and normal x, then
// normal y and z and the texture coordinates.
static_assert(sizeof(SurfaceVertex) == 8 * sizeof(float) &&
                  offsetof(SurfaceVertex, normal) == 3 * sizeof(float) &&
                  offsetof(SurfaceVertex, texCoord) == 6 * sizeof(float),
              "SurfaceVertex is eight floats in a row");

// Row i of a surface of orders kOrderU x kOrderV, a chunk of samples at a time:
// first the weighted sums of each, then the rest four samples at a time, one in
// each lane, each lane doing exactly one sample's operations. Taken apart like
// this, the samples' long chains of dependent operations overlap instead of
// following one another, and four samples share each division and square-root
// instruction (two for doubles). Degenerate normals are settled last, again
// four at a time.
template <int kOrderU, int kOrderV>
class FastRow {
public:
    FastRow(const NurbsSurface& surface, int i, double limitSq)
        : s(surface),
          i(i),
          limitSq(limitSq),
          row(surface.stripVertices + i % 2),
          texS(rowTexCoordS(i, surface.samplesU)),
          stepT(1.0f / static_cast<float>(surface.samplesV)),
          stepV(sampleStep(surface.knotsV, surface.degreeV, surface.numCtrlV, surface.samplesV)),
          v(surface.knotsV[surface.degreeV])
    {
    }

    void evaluate()
    {
        sumColumns();
        for (int first = 0; first <= s.samplesV; first += kChunkSamples) {
            const int left = s.samplesV + 1 - first;
            const int count = left < kChunkSamples ? left : kChunkSamples;
            sumChunk(first, count);
            for (int c = 0; c < count; c += 4) {
                finishFour(first, c, count);
            }
            settleDegenerate();
        }
    }

private:
    // The u sums of every control column the row uses, each formed once: the
    // same sums rowSum and rowSumDu hold a span at a time in the general path.
    void sumColumns()
    {
        const float* bu = s.basisU + i * kOrderU;
        const float* du = s.basisDerivU + i * kOrderU;
        const ControlPoint* firstRow = s.controlNet + (s.spanU[i] - (kOrderU - 1)) * s.numCtrlV;
        const int firstColumn = s.spanV[0] - (kOrderV - 1);
        const int lastColumn = s.spanV[s.samplesV];
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const ControlPoint* column = firstRow + c;
            Lanes sum = {0.0f, 0.0f, 0.0f, 0.0f};
            Lanes sumDu = {0.0f, 0.0f, 0.0f, 0.0f};
            for (int l = 0; l < kOrderU; ++l) {
                const Lanes q = lanesOf(column[l * s.numCtrlV]);
                sum = sum + bu[l] * q;
                sumDu = sumDu + du[l] * q;
            }
            columnSum[c] = sum;
            columnSumDu[c] = sumDu;
        }
    }

    // S, Su and Sv of the chunk's samples, and their t and v.
    void sumChunk(int first, int count)
    {
        for (int c = 0; c < count; ++c) {
            const int j = first + c;
            const Lanes* sum = columnSum + s.spanV[j] - (kOrderV - 1);
            const Lanes* sumDu = columnSumDu + s.spanV[j] - (kOrderV - 1);
            const float* bv = s.basisV + j * kOrderV;
            const float* dv = s.basisDerivV + j * kOrderV;
            Lanes S = {0.0f, 0.0f, 0.0f, 0.0f};
            Lanes Su = {0.0f, 0.0f, 0.0f, 0.0f};
            Lanes Sv = {0.0f, 0.0f, 0.0f, 0.0f};
            for (int k = 0; k < kOrderV; ++k) {
                S = S + bv[k] * sum[k];
                Su = Su + bv[k] * sumDu[k];
                Sv = Sv + dv[k] * sum[k];
            }
            chunkS[c] = S;
            chunkSu[c] = Su;
            chunkSv[c] = Sv;
            chunkT[c] = t;
            chunkV[c] = v;
            t = t + stepT;
            v = v + stepV;
        }
        // Lanes past the chunk's end repeat its last sample and are not written.
        for (int c = count; c % 4 != 0; ++c) {
            chunkS[c] = chunkS[count - 1];
            chunkSu[c] = chunkSu[count - 1];
            chunkSv[c] = chunkSv[count - 1];
            chunkT[c] = chunkT[count - 1];
        }
    }

    // Chunk samples c .. c + 3 written out, the degenerate ones kept for later.
    void finishFour(int first, int c, int count)
    {
        WeightedSum<Lanes> S = {chunkS[c], chunkS[c + 1], chunkS[c + 2], chunkS[c + 3]};
        WeightedSum<Lanes> Su = {chunkSu[c], chunkSu[c + 1], chunkSu[c + 2], chunkSu[c + 3]};
        WeightedSum<Lanes> Sv = {chunkSv[c], chunkSv[c + 1], chunkSv[c + 2], chunkSv[c + 3]};
        // From one sum per vector to one component of four samples per vector.
        transpose(S.x, S.y, S.z, S.w);
        transpose(Su.x, Su.y, Su.z, Su.w);
        transpose(Sv.x, Sv.y, Sv.z, Sv.w);
        RationalPoint<Lanes> p = rationalPoint(S, Su, Sv);
        LaneNormals n = unitNormals(p.cross);
        Lanes texS4 = {texS, texS, texS, texS};
        Lanes texT;
        std::memcpy(&texT, &chunkT[c], sizeof(texT));
        // Back to one vertex per lane: position and normal x, then normal y
        // and z and the texture coordinates.
        transpose(p.position[0], p.position[1], p.position[2], n.normal[0]);
        transpose(n.normal[1], n.normal[2], texS4, texT);
        const Lanes front[4] = {p.position[0], p.position[1], p.position[2], n.normal[0]};
        const Lanes back[4] = {n.normal[1], n.normal[2], texS4, texT};
        for (int lane = 0; lane < 4 && c + lane < count; ++lane) {
            SurfaceVertex& vertex = row[2 * (first + c + lane)];
            unsigned char* bytes = reinterpret_cast<unsigned char*>(&vertex);
            std::memcpy(bytes, &front[lane], sizeof(Lanes));
            std::memcpy(bytes + sizeof(Lanes), &back[lane], sizeof(Lanes));
            // Also reached by NaN, so no NaN normal is ever left.
            if (!(n.lengthSq[lane] > limitSq)) {
                pendingColumns[pending] = first + c + lane;
                pendingV[pending] = chunkV[c + lane];
                pendingNormals[pending] = vertex.normal;
                ++pending;
            }
        }
    }

    // The degenerate samples of the chunk, four at a time.
    void settleDegenerate()
    {
        if (pending > 0 && !fallback) {
            fallback.emplace(s, i, limitSq);
        }
        for (int n = 0; n < pending; n += 4) {
            fallback->template normalsOfFour<kOrderU, kOrderV>(
                pendingColumns + n, pendingV + n, pending - n < 4 ? pending - n : 4,
                pendingNormals + n);
        }
        pending = 0;
    }

    const NurbsSurface& s;
    const int i;
    const double limitSq;
    SurfaceVertex* const row;
    const float texS;
    const float stepT;
    // The v parameter of each column, only for the degenerate-normal fallback.
    const float stepV;
    float t = 0.0f;
    float v;
    std::optional<FallbackRow> fallback;

    Lanes columnSum[kMaxFastColumns];
    Lanes columnSumDu[kMaxFastColumns];
    Lanes chunkS[kChunkSamples];
    Lanes chunkSu[kChunkSamples];
    Lanes chunkSv[kChunkSamples];
    float chunkT[kChunkSamples];
    float chunkV[kChunkSamples];
    int pendingColumns[kChunkSamples];
    float pendingV[kChunkSamples];
    float* pendingNormals[kChunkSamples];
    int pending = 0;
};

}  // namespace

void NurbsSurface::evaluateRow(int i)
{
    if (stripVertices == nullptr) {
        return;
    }
    // The sphere and torus are of degree 2 and the strands of degree 3.
    if (orderU == 3 && orderV == 3 && numCtrlV <= kMaxFastColumns) {
        evaluateRowOfOrders<3, 3>(i);
    } else if (orderU == 4 && orderV == 4 && numCtrlV <= kMaxFastColumns) {
        evaluateRowOfOrders<4, 4>(i);
    } else {
        evaluateRowOfAnyOrder(i);
    }
}

template <int kOrderU, int kOrderV>
void NurbsSurface::evaluateRowOfOrders(int i)
{
    FastRow<kOrderU, kOrderV> fastRow(*this, i, degenerateLimitSq);
    fastRow.evaluate();
}
