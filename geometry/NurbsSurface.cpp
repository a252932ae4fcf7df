#include "geometry/NurbsSurface.h"

#include <cmath>
#include <cstdio>

namespace {

// A normal counts as degenerate when |Pv x Pu| is below this share of the
// product of the net's extents per unit parameter in u and in v. At the sphere's
// poles rounding leaves it below 1e-6 of that product; regular samples of the
// shapes and of strands measure above 1e-3.
constexpr double kDegenerateRatio = 1e-4;

// Distances, as shares of a sample's span, at which a degenerate sample's normal
// is taken from beside it; a wider one is tried only if the nearer point is
// degenerate too.
constexpr float kNudgeShares[] = {1.0f / 1024.0f, 1.0f / 64.0f, 1.0f / 4.0f};

template <typename T>
void freeArray(T*& array)
{
    delete[] array;
    array = nullptr;
}

// Value and first derivative of one span polynomial, by Horner's rule.
void evaluatePolynomial(const float* coeff, int degree, float t, float& value, float& deriv)
{
    float b = coeff[degree];
    for (int m = degree - 1; m >= 0; --m) {
        b = t * b + coeff[m];
    }
    float d = static_cast<float>(degree) * coeff[degree];
    for (int m = degree - 1; m >= 1; --m) {
        d = t * d + static_cast<float>(m) * coeff[m];
    }
    value = b;
    deriv = d;
}

// Offset (span index minus degree) of the last span of non-zero length in the
// sampled range. Capping the search there keeps a parameter at or past the end
// out of an empty span whose basis functions are all zero.
int lastSpanOffset(const float* knots, int degree, int numCtrl)
{
    int r = numCtrl - degree - 1;
    while (r > 0 && !(knots[degree + r] < knots[degree + r + 1])) {
        --r;
    }
    return r;
}

int spanOffsetAt(const float* knots, int degree, int lastOffset, float t)
{
    int r = 0;
    while (r < lastOffset && t >= knots[degree + r + 1]) {
        ++r;
    }
    return r;
}

float sampleStep(const float* knots, int degree, int numCtrl, int samples)
{
    if (samples <= 0) {
        return 0.0f;
    }
    return (knots[numCtrl] - knots[degree]) / static_cast<float>(samples);
}

// Parameter of sample k, accumulated exactly as sampleDirection does.
float sampleParameter(const float* knots, int degree, int numCtrl, int samples, int k)
{
    const float step = sampleStep(knots, degree, numCtrl, samples);
    float t = knots[degree];
    for (int n = 0; n < k; ++n) {
        t = t + step;
    }
    return t;
}

void sampleDirection(const float* knots, const float* coeff, int degree, int numCtrl,
                     int samples, int* span, float* basis, float* basisDeriv)
{
    const int order = degree + 1;
    const int lastOffset = lastSpanOffset(knots, degree, numCtrl);
    const float step = sampleStep(knots, degree, numCtrl, samples);
    float t = knots[degree];
    int r = 0;
    for (int k = 0; k <= samples; ++k) {
        while (r < lastOffset && t >= knots[degree + r + 1]) {
            ++r;
        }
        span[k] = r + degree;
        for (int j = 0; j < order; ++j) {
            evaluatePolynomial(coeff + (r * order + j) * order, degree, t,
                               basis[k * order + j], basisDeriv[k * order + j]);
        }
        // Accumulated step by step; start + k * step would round differently.
        t = t + step;
    }
}

// Largest bounding-box diagonal over the lines of the net along one direction:
// `lines` lines of `count` points, point n of line m at m * lineStride + n * pointStride.
double lineExtent(const ControlPoint* net, int lines, int count, int lineStride, int pointStride)
{
    double extent = 0.0;
    for (int m = 0; m < lines; ++m) {
        double lo[3] = {0.0, 0.0, 0.0};
        double hi[3] = {0.0, 0.0, 0.0};
        bool any = false;
        for (int n = 0; n < count; ++n) {
            const ControlPoint& q = net[m * lineStride + n * pointStride];
            if (q.w == 0.0f) {
                continue;
            }
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

double parameterRange(const float* knots, int degree, int numCtrl)
{
    const double range = double(knots[numCtrl]) - double(knots[degree]);
    return range > 0.0 ? range : 1.0;
}

// A parameter `distance` away from t, below it unless that leaves the range.
float besideParameter(float t, float distance, float start)
{
    const float below = t - distance;
    return below >= start ? below : t + distance;
}

// Unit normal Pv x Pu at an arbitrary (u, v), evaluated straight from the span
// polynomials; false when it is degenerate there as well.
bool normalAt(const NurbsSurface& s, float u, float v, double limitSq, float normal[3])
{
    const int ru = spanOffsetAt(s.knotsU, s.degreeU,
                                lastSpanOffset(s.knotsU, s.degreeU, s.numCtrlU), u);
    const int rv = spanOffsetAt(s.knotsV, s.degreeV,
                                lastSpanOffset(s.knotsV, s.degreeV, s.numCtrlV), v);
    float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float sumDu[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float sumDv[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int l = 0; l <= s.degreeU; ++l) {
        float bu = 0.0f;
        float du = 0.0f;
        evaluatePolynomial(s.basisCoeffU + (ru * s.orderU + l) * s.orderU, s.degreeU, u, bu, du);
        for (int k = 0; k <= s.degreeV; ++k) {
            float bv = 0.0f;
            float dv = 0.0f;
            evaluatePolynomial(s.basisCoeffV + (rv * s.orderV + k) * s.orderV, s.degreeV, v,
                               bv, dv);
            const ControlPoint& q = s.controlNet[(ru + l) * s.numCtrlV + rv + k];
            const float c[4] = {q.x, q.y, q.z, q.w};
            for (int a = 0; a < 4; ++a) {
                sum[a] += bu * bv * c[a];
                sumDu[a] += du * bv * c[a];
                sumDv[a] += bu * dv * c[a];
            }
        }
    }
    const float inv = 1.0f / sum[3];
    float p[3];
    float pu[3];
    float pv[3];
    for (int a = 0; a < 3; ++a) {
        p[a] = sum[a] * inv;
        pu[a] = (sumDu[a] - sumDu[3] * p[a]) * inv;
        pv[a] = (sumDv[a] - sumDv[3] * p[a]) * inv;
    }
    const float n[3] = {pv[1] * pu[2] - pu[1] * pv[2], pu[0] * pv[2] - pv[0] * pu[2],
                        pv[0] * pu[1] - pu[0] * pv[1]};
    const double lengthSq = double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2];
    if (!(lengthSq > limitSq) || !std::isfinite(lengthSq)) {
        return false;
    }
    const double invLength = 1.0 / std::sqrt(lengthSq);
    for (int a = 0; a < 3; ++a) {
        normal[a] = static_cast<float>(n[a] * invLength);
    }
    return true;
}

// The normal of sample (i, j) where Pu and Pv give no direction: the limit of the
// normals approaching it from the lower parameter side (from above only at the
// start of the range), found by stepping a little beside the sample in u, then
// in v, then in both.
void degenerateNormal(const NurbsSurface& s, int i, int j, double limitSq, float normal[3])
{
    const float u = sampleParameter(s.knotsU, s.degreeU, s.numCtrlU, s.samplesU, i);
    const float v = sampleParameter(s.knotsV, s.degreeV, s.numCtrlV, s.samplesV, j);
    const float startU = s.knotsU[s.degreeU];
    const float startV = s.knotsV[s.degreeV];
    const float spanLengthU = s.knotsU[s.spanU[i] + 1] - s.knotsU[s.spanU[i]];
    const float spanLengthV = s.knotsV[s.spanV[j] + 1] - s.knotsV[s.spanV[j]];
    for (float share : kNudgeShares) {
        const float besideU = besideParameter(u, spanLengthU * share, startU);
        const float besideV = besideParameter(v, spanLengthV * share, startV);
        if (normalAt(s, besideU, v, limitSq, normal) || normalAt(s, u, besideV, limitSq, normal) ||
            normalAt(s, besideU, besideV, limitSq, normal)) {
            return;
        }
    }
    // The surface is collapsed all around this sample: any unit vector will do.
    normal[0] = 0.0f;
    normal[1] = 0.0f;
    normal[2] = 1.0f;
}

}  // namespace

NurbsSurface::NurbsSurface() = default;

NurbsSurface::~NurbsSurface()
{
    release();
}

void NurbsSurface::setup(int degreeU, int degreeV, int numCtrlU, int numCtrlV,
                         const ControlPoint* net, const float* knotsU, const float* knotsV,
                         int samplesU, int samplesV)
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

    controlNet = new ControlPoint[numCtrlU * numCtrlV];
    this->knotsU = new float[numKnotsU];
    this->knotsV = new float[numKnotsV];
    basisCoeffU = new float[orderU * orderU * numSpansU];
    basisCoeffV = new float[orderV * orderV * numSpansV];
    rowSum = new ControlPoint[orderV];
    rowSumDu = new ControlPoint[orderV];

    for (int n = 0; n < numCtrlU * numCtrlV; ++n) {
        controlNet[n] = net[n];
    }
    for (int n = 0; n < numKnotsU; ++n) {
        this->knotsU[n] = knotsU[n];
    }
    for (int n = 0; n < numKnotsV; ++n) {
        this->knotsV[n] = knotsV[n];
    }

    const double derivScaleU = lineExtent(controlNet, numCtrlV, numCtrlU, 1, numCtrlV) /
                               parameterRange(this->knotsU, degreeU, numCtrlU);
    const double derivScaleV = lineExtent(controlNet, numCtrlU, numCtrlV, numCtrlV, 1) /
                               parameterRange(this->knotsV, degreeV, numCtrlV);
    const double limit = kDegenerateRatio * derivScaleU * derivScaleV;
    degenerateLimitSq = limit * limit;

    precomputeBasis();
    setTessellation(samplesU, samplesV);
}

void NurbsSurface::setTessellation(int samplesU, int samplesV)
{
    this->samplesU = samplesU;
    this->samplesV = samplesV;

    freeArray(basisU);
    freeArray(basisDerivU);
    freeArray(basisV);
    freeArray(basisDerivV);
    freeArray(spanU);
    freeArray(spanV);
    basisU = new float[(samplesU + 1) * orderU];
    basisDerivU = new float[(samplesU + 1) * orderU];
    basisV = new float[(samplesV + 1) * orderV];
    basisDerivV = new float[(samplesV + 1) * orderV];
    spanU = new int[samplesU + 1];
    spanV = new int[samplesV + 1];

    freeArray(stripVertices);
    stripVertices = new SurfaceVertex[2 * (samplesV + 1)];

    sampleBasis();
}

void NurbsSurface::precomputeBasis()
{
    for (int r = 0; r < numSpansU; ++r) {
        for (int j = 0; j < orderU; ++j) {
            for (int m = 0; m < orderU; ++m) {
                basisCoeffU[(r * orderU + j) * orderU + m] =
                    basisCoefficient(knotsU, r + degreeU, r + j, degreeU, m);
            }
        }
    }
    for (int r = 0; r < numSpansV; ++r) {
        for (int j = 0; j < orderV; ++j) {
            for (int m = 0; m < orderV; ++m) {
                basisCoeffV[(r * orderV + j) * orderV + m] =
                    basisCoefficient(knotsV, r + degreeV, r + j, degreeV, m);
            }
        }
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
    const float d1 = knots[i + k] - knots[i];
    const float d2 = knots[i + k + 1] - knots[i + 1];
    // A term over a zero-length knot interval is left out, never divided.
    float result = 0.0f;
    if (m == 0) {
        if (d1 != 0.0f) {
            result = result + -knots[i] * basisCoefficient(knots, span, i, k - 1, 0) / d1;
        }
        if (d2 != 0.0f) {
            result = result + knots[i + k + 1] * basisCoefficient(knots, span, i + 1, k - 1, 0) / d2;
        }
    } else if (m == k) {
        if (d1 != 0.0f) {
            result = result + basisCoefficient(knots, span, i, k - 1, k - 1) / d1;
        }
        if (d2 != 0.0f) {
            result = result - basisCoefficient(knots, span, i + 1, k - 1, k - 1) / d2;
        }
    } else {
        if (d1 != 0.0f) {
            result = result + (basisCoefficient(knots, span, i, k - 1, m - 1) -
                               knots[i] * basisCoefficient(knots, span, i, k - 1, m)) / d1;
        }
        if (d2 != 0.0f) {
            result = result - (basisCoefficient(knots, span, i + 1, k - 1, m - 1) -
                               knots[i + k + 1] * basisCoefficient(knots, span, i + 1, k - 1, m)) /
                                  d2;
        }
    }
    return result;
}

void NurbsSurface::sampleBasis()
{
    sampleDirection(knotsU, basisCoeffU, degreeU, numCtrlU, samplesU, spanU, basisU, basisDerivU);
    sampleDirection(knotsV, basisCoeffV, degreeV, numCtrlV, samplesV, spanV, basisV, basisDerivV);
}

void NurbsSurface::evaluateRow(int i)
{
    if (stripVertices == nullptr) {
        return;
    }
    const int su = spanU[i];
    const float* bu = basisU + i * orderU;
    const float* du = basisDerivU + i * orderU;
    const ControlPoint* firstRow = controlNet + (su - degreeU) * numCtrlV;

    // Texture coordinates are accumulated in single precision, like the parameters.
    const float stepS = 1.0f / static_cast<float>(samplesU);
    const float stepT = 1.0f / static_cast<float>(samplesV);
    float s = 0.0f;
    for (int n = 0; n < i; ++n) {
        s = s + stepS;
    }
    float t = 0.0f;

    int cachedSpanV = -1;
    for (int j = 0; j <= samplesV; ++j) {
        const int sv = spanV[j];
        if (sv != cachedSpanV) {
            cachedSpanV = sv;
            for (int k = 0; k <= degreeV; ++k) {
                const int c = sv - degreeV + k;
                ControlPoint sum = {0.0f, 0.0f, 0.0f, 0.0f};
                ControlPoint sumDu = {0.0f, 0.0f, 0.0f, 0.0f};
                for (int l = 0; l <= degreeU; ++l) {
                    const ControlPoint& q = firstRow[l * numCtrlV + c];
                    sum.x = sum.x + bu[l] * q.x;
                    sum.y = sum.y + bu[l] * q.y;
                    sum.z = sum.z + bu[l] * q.z;
                    sum.w = sum.w + bu[l] * q.w;
                    sumDu.x = sumDu.x + du[l] * q.x;
                    sumDu.y = sumDu.y + du[l] * q.y;
                    sumDu.z = sumDu.z + du[l] * q.z;
                    sumDu.w = sumDu.w + du[l] * q.w;
                }
                rowSum[k] = sum;
                rowSumDu[k] = sumDu;
            }
        }

        const float* bv = basisV + j * orderV;
        const float* dv = basisDerivV + j * orderV;
        ControlPoint S = {0.0f, 0.0f, 0.0f, 0.0f};
        ControlPoint Su = {0.0f, 0.0f, 0.0f, 0.0f};
        ControlPoint Sv = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int k = 0; k <= degreeV; ++k) {
            const ControlPoint& a = rowSum[k];
            const ControlPoint& b = rowSumDu[k];
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

        const float inv = 1.0f / S.w;
        const float px = S.x * inv;
        const float py = S.y * inv;
        const float pz = S.z * inv;
        const float pux = (Su.x - Su.w * px) * inv;
        const float puy = (Su.y - Su.w * py) * inv;
        const float puz = (Su.z - Su.w * pz) * inv;
        const float pvx = (Sv.x - Sv.w * px) * inv;
        const float pvy = (Sv.y - Sv.w * py) * inv;
        const float pvz = (Sv.z - Sv.w * pz) * inv;
        const float nx = pvy * puz - puy * pvz;
        const float ny = pux * pvz - pvx * puz;
        const float nz = pvx * puy - pux * pvy;

        SurfaceVertex& vertex = stripVertices[2 * j + i % 2];
        vertex.position[0] = px;
        vertex.position[1] = py;
        vertex.position[2] = pz;
        const double lengthSq = double(nx) * nx + double(ny) * ny + double(nz) * nz;
        if (lengthSq > degenerateLimitSq) {
            const double invLength = 1.0 / std::sqrt(lengthSq);
            vertex.normal[0] = static_cast<float>(nx * invLength);
            vertex.normal[1] = static_cast<float>(ny * invLength);
            vertex.normal[2] = static_cast<float>(nz * invLength);
        } else {
            // Also reached by NaN, so no NaN normal is ever written.
            degenerateNormal(*this, i, j, degenerateLimitSq, vertex.normal);
        }
        vertex.texCoord[0] = s;
        vertex.texCoord[1] = t;
        t = t + stepT;
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
    freeArray(controlNet);
    freeArray(knotsU);
    freeArray(knotsV);
    freeArray(basisCoeffU);
    freeArray(basisCoeffV);
    freeArray(basisU);
    freeArray(basisDerivU);
    freeArray(basisV);
    freeArray(basisDerivV);
    freeArray(rowSum);
    freeArray(rowSumDu);
    freeArray(stripVertices);
    freeArray(spanU);
    freeArray(spanV);
}
