#include <optional>

#include "geometry/DegenerateNormals.h"
#include "geometry/NurbsBasis.h"
#include "geometry/NurbsSurface.h"
#include "geometry/RationalPoint.h"

namespace {

// rowSum and rowSumDu for v span sv of row i: for each of the span's control
// columns, the sum down the column weighted by the row's u basis and by its
// derivatives.
void sumSpanColumns(NurbsSurface& s, int i, int sv)
{
    const float* bu = s.basisU + i * s.orderU;
    const float* du = s.basisDerivU + i * s.orderU;
    const ControlPoint* firstRow = s.controlNet + (s.spanU[i] - s.degreeU) * s.numCtrlV;
    for (int k = 0; k <= s.degreeV; ++k) {
        const int c = sv - s.degreeV + k;
        ControlPoint sum = {0.0f, 0.0f, 0.0f, 0.0f};
        ControlPoint sumDu = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int l = 0; l <= s.degreeU; ++l) {
            const ControlPoint& q = firstRow[l * s.numCtrlV + c];
            sum.x = sum.x + bu[l] * q.x;
            sum.y = sum.y + bu[l] * q.y;
            sum.z = sum.z + bu[l] * q.z;
            sum.w = sum.w + bu[l] * q.w;
            sumDu.x = sumDu.x + du[l] * q.x;
            sumDu.y = sumDu.y + du[l] * q.y;
            sumDu.z = sumDu.z + du[l] * q.z;
            sumDu.w = sumDu.w + du[l] * q.w;
        }
        s.rowSum[k] = sum;
        s.rowSumDu[k] = sumDu;
    }
}

// S, Su and Sv of column j, from the partial sums of its v span.
void sumSample(const NurbsSurface& s, int j, WeightedSum<float>& S, WeightedSum<float>& Su,
               WeightedSum<float>& Sv)
{
    const float* bv = s.basisV + j * s.orderV;
    const float* dv = s.basisDerivV + j * s.orderV;
    S = {0.0f, 0.0f, 0.0f, 0.0f};
    Su = {0.0f, 0.0f, 0.0f, 0.0f};
    Sv = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k <= s.degreeV; ++k) {
        const ControlPoint& a = s.rowSum[k];
        const ControlPoint& b = s.rowSumDu[k];
        S.x = S.x + bv[k] * a.x;
        S.y = S.y + bv[k] * a.y;
        S.z = S.z + bv[k] * a.z;
        S.w = S.w + bv[k] * a.w;
        Su.x = Su.x + bv[k] * b.x;
        Su.y = Su.y + bv[k] * b.y;
        Su.z = Su.z + bv[k] * b.z;
        Su.w = Su.w + bv[k] * b.w;
        Sv.x = Sv.x + dv[k] * a.x;
        Sv.y = Sv.y + dv[k] * a.y;
        Sv.z = Sv.z + dv[k] * a.z;
        Sv.w = Sv.w + dv[k] * a.w;
    }
}

}  // namespace

void NurbsSurface::evaluateRowOfAnyOrder(int i)
{
    const float s = rowTexCoordS(i, samplesU);
    const float stepT = 1.0f / static_cast<float>(samplesV);
    float t = 0.0f;
    // The v parameter of each column, only for the degenerate-normal fallback.
    const float stepV = sampleStep(knotsV, degreeV, numCtrlV, samplesV);
    float v = knotsV[degreeV];
    std::optional<FallbackRow> fallback;

    // Along a row the partial sums serve every column of the same v span.
    int cachedSpanV = -1;
    for (int j = 0; j <= samplesV; ++j) {
        if (spanV[j] != cachedSpanV) {
            cachedSpanV = spanV[j];
            sumSpanColumns(*this, i, cachedSpanV);
        }
        WeightedSum<float> S;
        WeightedSum<float> Su;
        WeightedSum<float> Sv;
        sumSample(*this, j, S, Su, Sv);
        const RationalPoint<float> p = rationalPoint(S, Su, Sv);

        SurfaceVertex& vertex = stripVertices[2 * j + i % 2];
        vertex.position[0] = p.position[0];
        vertex.position[1] = p.position[1];
        vertex.position[2] = p.position[2];
        const double lengthSq = squaredLength(p.cross);
        if (lengthSq > degenerateLimitSq) {
            writeUnitNormal(p.cross, lengthSq, vertex.normal);
        } else {
            // Also reached by NaN, so no NaN normal is ever written.
            if (!fallback) {
                fallback.emplace(*this, i, degenerateLimitSq);
            }
            fallback->normal(j, v, vertex.normal);
        }
        vertex.texCoord[0] = s;
        vertex.texCoord[1] = t;
        t = t + stepT;
        v = v + stepV;
    }
}
