#include "PlainSurface.h"

#include <cmath>

namespace {

constexpr double kDegenerateRatio = 1e-4;
constexpr float kNudgeShares[] = {1.0f / 1024.0f, 1.0f / 64.0f, 1.0f / 4.0f};

void hornerValueAndDerivative(const float* a, int p, float t, float& value, float& deriv)
{
    float b = a[p];
    for (int m = p - 1; m >= 0; --m) b = t * b + a[m];
    float d = static_cast<float>(p) * a[p];
    for (int m = p - 1; m >= 1; --m) d = t * d + static_cast<float>(m) * a[m];
    value = b;
    deriv = d;
}

int lastSpanOffset(const std::vector<float>& knots, int degree, int numCtrl)
{
    int r = numCtrl - degree - 1;
    while (r > 0 && !(knots[degree + r] < knots[degree + r + 1])) --r;
    return r;
}

int spanOffsetAt(const std::vector<float>& knots, int degree, int numCtrl, float t)
{
    const int last = lastSpanOffset(knots, degree, numCtrl);
    int r = 0;
    while (r < last && t >= knots[degree + r + 1]) ++r;
    return r;
}

float parameterOf(const std::vector<float>& knots, int degree, int numCtrl, int samples, int k)
{
    const float step = samples <= 0 ? 0.0f : (knots[numCtrl] - knots[degree]) / static_cast<float>(samples);
    float t = knots[degree];
    for (int n = 0; n < k; ++n) t = t + step;
    return t;
}

std::vector<float> coefficientTable(const std::vector<float>& knots, int degree, int numCtrl)
{
    const int order = degree + 1;
    std::vector<float> table;
    for (int r = 0; r < numCtrl - degree; ++r) {
        for (int j = 0; j < order; ++j) {
            for (int m = 0; m < order; ++m) table.push_back(plainBasisCoefficient(knots, r + degree, r + j, degree, m));
        }
    }
    return table;
}

void sampleDirection(const std::vector<float>& knots, const std::vector<float>& coeff, int degree, int numCtrl,
                     int samples, std::vector<int>& span, std::vector<float>& basis, std::vector<float>& deriv)
{
    const int order = degree + 1;
    span.assign(samples + 1, 0);
    basis.assign((samples + 1) * order, 0.0f);
    deriv.assign((samples + 1) * order, 0.0f);
    for (int k = 0; k <= samples; ++k) {
        const float t = parameterOf(knots, degree, numCtrl, samples, k);
        const int r = spanOffsetAt(knots, degree, numCtrl, t);
        span[k] = r + degree;
        for (int j = 0; j < order; ++j) {
            hornerValueAndDerivative(&coeff[(r * order + j) * order], degree, t, basis[k * order + j],
                                     deriv[k * order + j]);
        }
    }
}

double lineExtent(const std::vector<ControlPoint>& net, int lines, int count, int lineStride, int pointStride)
{
    double extent = 0.0;
    for (int m = 0; m < lines; ++m) {
        double lo[3] = {0.0, 0.0, 0.0};
        double hi[3] = {0.0, 0.0, 0.0};
        bool any = false;
        for (int n = 0; n < count; ++n) {
            const ControlPoint& q = net[m * lineStride + n * pointStride];
            if (q.w == 0.0f) continue;
            const double c[3] = {double(q.x) / q.w, double(q.y) / q.w, double(q.z) / q.w};
            for (int a = 0; a < 3; ++a) {
                lo[a] = any ? std::fmin(lo[a], c[a]) : c[a];
                hi[a] = any ? std::fmax(hi[a], c[a]) : c[a];
            }
            any = true;
        }
        const double dx = hi[0] - lo[0];
        const double dy = hi[1] - lo[1];
        const double dz = hi[2] - lo[2];
        extent = std::fmax(extent, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return extent;
}

double parameterRange(const std::vector<float>& knots, int degree, int numCtrl)
{
    const double range = double(knots[numCtrl]) - double(knots[degree]);
    return range > 0.0 ? range : 1.0;
}

// The four weighted sums of one sample, straight from the net: S, Su, Sv.
struct Sums {
    float s[4];
    float du[4];
    float dv[4];
};

// Position and unit normal from the sums; false when the normal is degenerate
// (off the grid, also when it is not finite).
bool finish(const Sums& sums, double limitSq, bool offGrid, float position[3], float normal[3])
{
    const float inv = 1.0f / sums.s[3];
    float p[3];
    float pu[3];
    float pv[3];
    for (int a = 0; a < 3; ++a) {
        p[a] = sums.s[a] * inv;
        pu[a] = (sums.du[a] - sums.du[3] * p[a]) * inv;
        pv[a] = (sums.dv[a] - sums.dv[3] * p[a]) * inv;
        position[a] = p[a];
    }
    const float n[3] = {pv[1] * pu[2] - pu[1] * pv[2], pu[0] * pv[2] - pv[0] * pu[2], pv[0] * pu[1] - pu[0] * pv[1]};
    const double lengthSq = double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2];
    if (!(lengthSq > limitSq) || (offGrid && !std::isfinite(lengthSq))) return false;
    const double invLength = 1.0 / std::sqrt(lengthSq);
    for (int a = 0; a < 3; ++a) normal[a] = static_cast<float>(n[a] * invLength);
    return true;
}

// The normal off the grid, from the span polynomials, summing over (l, k) as one loop.
bool normalAt(const PlainSurface& s, float u, float v, float normal[3])
{
    const SurfaceInput& in = s.in;
    const int ru = spanOffsetAt(in.knotsU, in.degreeU, in.numCtrlU, u);
    const int rv = spanOffsetAt(in.knotsV, in.degreeV, in.numCtrlV, v);
    Sums sums = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    for (int l = 0; l <= in.degreeU; ++l) {
        float bu = 0.0f;
        float du = 0.0f;
        hornerValueAndDerivative(&s.basisCoeffU[(ru * s.orderU + l) * s.orderU], in.degreeU, u, bu, du);
        for (int k = 0; k <= in.degreeV; ++k) {
            float bv = 0.0f;
            float dv = 0.0f;
            hornerValueAndDerivative(&s.basisCoeffV[(rv * s.orderV + k) * s.orderV], in.degreeV, v, bv, dv);
            const ControlPoint& q = in.net[(ru + l) * in.numCtrlV + rv + k];
            const float c[4] = {q.x, q.y, q.z, q.w};
            for (int a = 0; a < 4; ++a) {
                sums.s[a] += bu * bv * c[a];
                sums.du[a] += du * bv * c[a];
                sums.dv[a] += bu * dv * c[a];
            }
        }
    }
    float position[3];
    return finish(sums, s.degenerateLimitSq, true, position, normal);
}

float besideParameter(float t, float distance, float start)
{
    const float below = t - distance;
    return below >= start ? below : t + distance;
}

void degenerateNormal(const PlainSurface& s, int i, int j, float normal[3])
{
    const SurfaceInput& in = s.in;
    const float u = parameterOf(in.knotsU, in.degreeU, in.numCtrlU, in.samplesU, i);
    const float v = parameterOf(in.knotsV, in.degreeV, in.numCtrlV, in.samplesV, j);
    const float startU = in.knotsU[in.degreeU];
    const float startV = in.knotsV[in.degreeV];
    const float spanLengthU = in.knotsU[s.spanU[i] + 1] - in.knotsU[s.spanU[i]];
    const float spanLengthV = in.knotsV[s.spanV[j] + 1] - in.knotsV[s.spanV[j]];
    ++s.degenerateSamples;
    bool firstTry = true;
    for (float share : kNudgeShares) {
        const float besideU = besideParameter(u, spanLengthU * share, startU);
        const float besideV = besideParameter(v, spanLengthV * share, startV);
        if (normalAt(s, besideU, v, normal)) return;
        if (firstTry) ++s.laterTries;
        firstTry = false;
        if (normalAt(s, u, besideV, normal) || normalAt(s, besideU, besideV, normal)) {
            return;
        }
    }
    ++s.noDirection;
    normal[0] = 0.0f;
    normal[1] = 0.0f;
    normal[2] = 1.0f;
}

}  // namespace

float plainBasisCoefficient(const std::vector<float>& knots, int span, int i, int k, int m)
{
    if (k == 0) return i == span ? 1.0f : 0.0f;
    if (m > k) return 0.0f;
    const float d1 = knots[i + k] - knots[i];
    const float d2 = knots[i + k + 1] - knots[i + 1];
    float result = 0.0f;
    if (m == 0) {
        if (d1 != 0.0f) result = result + -knots[i] * plainBasisCoefficient(knots, span, i, k - 1, 0) / d1;
        if (d2 != 0.0f) result = result + knots[i + k + 1] * plainBasisCoefficient(knots, span, i + 1, k - 1, 0) / d2;
    } else if (m == k) {
        if (d1 != 0.0f) result = result + plainBasisCoefficient(knots, span, i, k - 1, k - 1) / d1;
        if (d2 != 0.0f) result = result - plainBasisCoefficient(knots, span, i + 1, k - 1, k - 1) / d2;
    } else {
        if (d1 != 0.0f) {
            result = result + (plainBasisCoefficient(knots, span, i, k - 1, m - 1) -
                               knots[i] * plainBasisCoefficient(knots, span, i, k - 1, m)) / d1;
        }
        if (d2 != 0.0f) {
            result = result - (plainBasisCoefficient(knots, span, i + 1, k - 1, m - 1) -
                               knots[i + k + 1] * plainBasisCoefficient(knots, span, i + 1, k - 1, m)) / d2;
        }
    }
    return result;
}

PlainSurface::PlainSurface(const SurfaceInput& input) : in(input)
{
    orderU = in.degreeU + 1;
    orderV = in.degreeV + 1;
    basisCoeffU = coefficientTable(in.knotsU, in.degreeU, in.numCtrlU);
    basisCoeffV = coefficientTable(in.knotsV, in.degreeV, in.numCtrlV);
    sampleDirection(in.knotsU, basisCoeffU, in.degreeU, in.numCtrlU, in.samplesU, spanU, basisU, basisDerivU);
    sampleDirection(in.knotsV, basisCoeffV, in.degreeV, in.numCtrlV, in.samplesV, spanV, basisV, basisDerivV);
    const double scaleU = lineExtent(in.net, in.numCtrlV, in.numCtrlU, 1, in.numCtrlV) /
                          parameterRange(in.knotsU, in.degreeU, in.numCtrlU);
    const double scaleV = lineExtent(in.net, in.numCtrlU, in.numCtrlV, in.numCtrlV, 1) /
                          parameterRange(in.knotsV, in.degreeV, in.numCtrlV);
    const double limit = kDegenerateRatio * scaleU * scaleV;
    degenerateLimitSq = limit * limit;
}

// Each sample from scratch: the u sums of the sample's v columns, then the v sums.
std::vector<SurfaceVertex> PlainSurface::evaluateRow(int i) const
{
    std::vector<SurfaceVertex> row(in.samplesV + 1);
    const int su = spanU[i] - in.degreeU;
    const float stepS = 1.0f / static_cast<float>(in.samplesU);
    const float stepT = 1.0f / static_cast<float>(in.samplesV);
    float s = 0.0f;
    for (int n = 0; n < i; ++n) s = s + stepS;
    for (int j = 0; j <= in.samplesV; ++j) {
        const int sv = spanV[j] - in.degreeV;
        Sums sums = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
        for (int k = 0; k < orderV; ++k) {
            float column[4] = {0, 0, 0, 0};
            float columnDu[4] = {0, 0, 0, 0};
            for (int l = 0; l < orderU; ++l) {
                const ControlPoint& q = in.net[(su + l) * in.numCtrlV + sv + k];
                const float c[4] = {q.x, q.y, q.z, q.w};
                for (int a = 0; a < 4; ++a) {
                    column[a] = column[a] + basisU[i * orderU + l] * c[a];
                    columnDu[a] = columnDu[a] + basisDerivU[i * orderU + l] * c[a];
                }
            }
            for (int a = 0; a < 4; ++a) {
                sums.s[a] = sums.s[a] + basisV[j * orderV + k] * column[a];
                sums.du[a] = sums.du[a] + basisV[j * orderV + k] * columnDu[a];
                sums.dv[a] = sums.dv[a] + basisDerivV[j * orderV + k] * column[a];
            }
        }
        SurfaceVertex& vertex = row[j];
        if (!finish(sums, degenerateLimitSq, false, vertex.position, vertex.normal)) {
            degenerateNormal(*this, i, j, vertex.normal);
        }
        float t = 0.0f;
        for (int n = 0; n < j; ++n) t = t + stepT;
        vertex.texCoord[0] = s;
        vertex.texCoord[1] = t;
    }
    return row;
}

std::vector<SurfaceVertex> PlainSurface::evaluateGrid() const
{
    std::vector<SurfaceVertex> grid;
    for (int i = 0; i <= in.samplesU; ++i) {
        const std::vector<SurfaceVertex> row = evaluateRow(i);
        grid.insert(grid.end(), row.begin(), row.end());
    }
    return grid;
}
