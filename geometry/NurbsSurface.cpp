#include "geometry/NurbsSurface.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Orders up to which the degenerate-normal fallback keeps its bases on the stack.
constexpr int kLocalFallbackOrder = 8;

// Control columns up to which a row keeps the u sums of all its columns on the stack.
constexpr int kMaxFastColumns = 64;

// Samples of a row whose sums are formed before any of them is finished; a
// multiple of four.
constexpr int kChunkSamples = 32;

// Texture coordinates are accumulated in single precision, like the parameters:
// row i's s is 1 / samplesU added i times.
float rowTexCoordS(int i, int samplesU)
{
    const float stepS = 1.0f / static_cast<float>(samplesU);
    float s = 0.0f;
    for (int n = 0; n < i; ++n) {
        s = s + stepS;
    }
    return s;
}

// Four floats side by side: the components x, y, z, w of one weighted sum, or
// one quantity of four samples. Arithmetic on it is lane by lane in single
// precision, each lane rounded exactly as the same operation on one float; with
// contraction off nothing is fused.
typedef float Lanes __attribute__((vector_size(16)));
typedef float LanePair __attribute__((vector_size(8)));
typedef double DoublePair __attribute__((vector_size(16)));

Lanes lanesOf(const ControlPoint& point)
{
    Lanes lanes;
    std::memcpy(&lanes, &point, sizeof(lanes));
    return lanes;
}

// Rows become columns: afterwards a holds the first lanes of a, b, c and d as
// they were, b the second lanes, and so on.
void transpose(Lanes& a, Lanes& b, Lanes& c, Lanes& d)
{
    const Lanes ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const Lanes cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const Lanes ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const Lanes cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
    b = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
    c = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
    d = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
}

DoublePair lowInDouble(Lanes lanes)
{
    return __builtin_convertvector(__builtin_shufflevector(lanes, lanes, 0, 1), DoublePair);
}

DoublePair highInDouble(Lanes lanes)
{
    return __builtin_convertvector(__builtin_shufflevector(lanes, lanes, 2, 3), DoublePair);
}

Lanes inSingle(DoublePair low, DoublePair high)
{
    const LanePair lowSingle = __builtin_convertvector(low, LanePair);
    const LanePair highSingle = __builtin_convertvector(high, LanePair);
    return __builtin_shufflevector(lowSingle, highSingle, 0, 1, 2, 3);
}

// Square roots of both lanes, correctly rounded as std::sqrt's are; SSE2 takes
// both at once.
DoublePair squareRoots(DoublePair x)
{
#if defined(__SSE2__)
    return _mm_sqrt_pd(x);
#else
    return DoublePair{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

// A vertex is written as two runs of four floats: position and normal x, then
// normal y and z and the texture coordinates.
static_assert(sizeof(SurfaceVertex) == 8 * sizeof(float) &&
                  offsetof(SurfaceVertex, normal) == 3 * sizeof(float) &&
                  offsetof(SurfaceVertex, texCoord) == 6 * sizeof(float),
              "SurfaceVertex is eight floats in a row");

template <typename T>
void freeArray(T*& array)
{
    delete[] array;
    array = nullptr;
}

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

// One step of the coefficient recursion: the coefficient of t^m of N(i, k), from
// those of N(i, k - 1) (`lower`) and N(i + 1, k - 1) (`next`), indexed by power.
// The running value, the order of the terms and the omitted zero-denominator
// terms are those of basisCoefficient's definition, so the floats are the same.
float expandedCoefficient(const float* knots, int i, int k, int m, const float* lower,
                          const float* next)
{
    const float d1 = knots[i + k] - knots[i];
    const float d2 = knots[i + k + 1] - knots[i + 1];
    // A term over a zero-length knot interval is left out, never divided.
    float result = 0.0f;
    if (m == 0) {
        if (d1 != 0.0f) {
            result = result + -knots[i] * lower[0] / d1;
        }
        if (d2 != 0.0f) {
            result = result + knots[i + k + 1] * next[0] / d2;
        }
    } else if (m == k) {
        if (d1 != 0.0f) {
            result = result + lower[k - 1] / d1;
        }
        if (d2 != 0.0f) {
            result = result - next[k - 1] / d2;
        }
    } else {
        if (d1 != 0.0f) {
            result = result + (lower[m - 1] - knots[i] * lower[m]) / d1;
        }
        if (d2 != 0.0f) {
            result = result - (next[m - 1] - knots[i + k + 1] * next[m]) / d2;
        }
    }
    return result;
}

// Floats of working space expandSpan needs.
int expansionWorkSize(int count, int degree)
{
    return 2 * (count + degree) * (degree + 1);
}

// Coefficients of N(first, degree) .. N(first + count - 1, degree) on knot span
// `span`, degree + 1 powers each, into `out`. The recursion is evaluated bottom
// up: each level holds every N(i, k) the level above needs, computed once,
// instead of once per path through the recursion.
void expandSpan(const float* knots, int span, int first, int count, int degree, float* work,
                float* out)
{
    const int order = degree + 1;
    const int widest = count + degree;
    float* lower = work;
    float* upper = work + widest * order;
    for (int n = 0; n < widest; ++n) {
        lower[n * order] = first + n == span ? 1.0f : 0.0f;
    }
    for (int k = 1; k <= degree; ++k) {
        for (int n = 0; n < widest - k; ++n) {
            for (int m = 0; m <= k; ++m) {
                upper[n * order + m] = expandedCoefficient(knots, first + n, k, m, lower + n * order,
                                                           lower + (n + 1) * order);
            }
        }
        std::swap(lower, upper);
    }
    for (int n = 0; n < count * order; ++n) {
        out[n] = lower[n];
    }
}

template <typename T>
void copyArray(T* to, const T* from, int count)
{
    std::memcpy(to, from, sizeof(T) * count);
}

template <typename T>
bool sameBits(const T* a, const T* b, int count)
{
    return std::memcmp(a, b, sizeof(T) * count) == 0;
}

// The tables of one direction of a recent set-up, and what they were made from.
// Every strand of a growth has the same knots, degree and sample count, so all
// but the first copy their tables from here instead of computing them; the
// copies are the very floats a fresh computation gives, since the key holds
// every input, compared bit for bit.
struct DirectionTables {
    int degree = -1;
    int numCtrl = 0;
    int samples = -1;   // -1: coefficients only, no sampled tables yet
    float* knots = nullptr;
    float* coeff = nullptr;
    int* span = nullptr;
    float* basis = nullptr;
    float* basisDeriv = nullptr;

    int numKnots() const { return numCtrl + degree + 1; }
    int coeffCount() const { return (numCtrl - degree) * (degree + 1) * (degree + 1); }

    bool hasCoefficients(const float* k, int d, int n) const
    {
        return degree == d && numCtrl == n && sameBits(knots, k, numKnots());
    }

    void keepCoefficients(const float* k, const float* c, int d, int n)
    {
        release();
        degree = d;
        numCtrl = n;
        knots = new float[numKnots()];
        coeff = new float[coeffCount()];
        copyArray(knots, k, numKnots());
        copyArray(coeff, c, coeffCount());
    }

    // The sampled tables of these coefficients.
    void keepSamples(const int* sp, const float* b, const float* bd, int s)
    {
        const int entries = (s + 1) * (degree + 1);
        delete[] span;
        delete[] basis;
        delete[] basisDeriv;
        samples = s;
        span = new int[s + 1];
        basis = new float[entries];
        basisDeriv = new float[entries];
        copyArray(span, sp, s + 1);
        copyArray(basis, b, entries);
        copyArray(basisDeriv, bd, entries);
    }

    void release()
    {
        freeArray(knots);
        freeArray(coeff);
        freeArray(span);
        freeArray(basis);
        freeArray(basisDeriv);
        degree = -1;
        samples = -1;
    }

    ~DirectionTables() { release(); }
};

// Enough for both directions of a strand and of the underlying surface.
constexpr int kRecentTables = 4;
DirectionTables recentTables[kRecentTables];
int nextRecentSlot = 0;

DirectionTables* tablesWithCoefficients(const float* knots, int degree, int numCtrl)
{
    for (DirectionTables& tables : recentTables) {
        if (tables.hasCoefficients(knots, degree, numCtrl)) {
            return &tables;
        }
    }
    return nullptr;
}

// Coefficient table of one direction, copied from a recent set-up with the
// same knots and degree or computed and kept for the next.
void fillCoefficients(const float* knots, int degree, int numCtrl, float* coeff)
{
    if (const DirectionTables* recent = tablesWithCoefficients(knots, degree, numCtrl)) {
        copyArray(coeff, recent->coeff, recent->coeffCount());
        return;
    }
    const int order = degree + 1;
    float* work = new float[expansionWorkSize(order, degree)];
    for (int r = 0; r < numCtrl - degree; ++r) {
        expandSpan(knots, r + degree, r, order, degree, work, coeff + r * order * order);
    }
    delete[] work;
    recentTables[nextRecentSlot].keepCoefficients(knots, coeff, degree, numCtrl);
    nextRecentSlot = (nextRecentSlot + 1) % kRecentTables;
}

// Sampled tables of one direction, copied from a recent set-up made from the same
// knots, coefficients and sample count, or sampled and kept with the coefficients
// they were sampled from.
void fillSamples(const float* knots, const float* coeff, int degree, int numCtrl, int samples,
                 int* span, float* basis, float* basisDeriv)
{
    DirectionTables* recent = tablesWithCoefficients(knots, degree, numCtrl);
    if (recent != nullptr && !sameBits(recent->coeff, coeff, recent->coeffCount())) {
        recent = nullptr;
    }
    if (recent != nullptr && recent->samples == samples) {
        const int entries = (samples + 1) * (degree + 1);
        copyArray(span, recent->span, samples + 1);
        copyArray(basis, recent->basis, entries);
        copyArray(basisDeriv, recent->basisDeriv, entries);
        return;
    }
    sampleDirection(knots, coeff, degree, numCtrl, samples, span, basis, basisDeriv);
    if (recent != nullptr) {
        recent->keepSamples(span, basis, basisDeriv, samples);
    }
}

// Largest bounding-box diagonal over the lines of the net along one direction:
// `lines` lines of `count` points, point n of line m at m * lineStride + n * pointStride.
// Points of weight 0 are left out, and so is a NaN coordinate (that is how
// std::fmin and std::fmax treat it); a line with no point left has no extent,
// and one whose coordinate is NaN throughout an undefined one, which the
// largest extent ignores. The comparisons are written out, as the library
// functions are calls; of two zeros either may be kept, as with those, since
// only squared differences of the bounds are used.
double lineExtent(const ControlPoint* net, int lines, int count, int lineStride, int pointStride)
{
    const double inf = std::numeric_limits<double>::infinity();
    double extent = 0.0;
    for (int m = 0; m < lines; ++m) {
        double lo[3] = {inf, inf, inf};
        double hi[3] = {-inf, -inf, -inf};
        bool any = false;
        for (int n = 0; n < count; ++n) {
            const ControlPoint& q = net[m * lineStride + n * pointStride];
            if (q.w == 0.0f) {
                continue;
            }
            // Dividing by a unit weight changes nothing, so strands skip the divisions.
            const double c[3] = {q.w == 1.0f ? double(q.x) : double(q.x) / q.w,
                                 q.w == 1.0f ? double(q.y) : double(q.y) / q.w,
                                 q.w == 1.0f ? double(q.z) : double(q.z) / q.w};
            for (int a = 0; a < 3; ++a) {
                lo[a] = c[a] < lo[a] ? c[a] : lo[a];
                hi[a] = c[a] > hi[a] ? c[a] : hi[a];
            }
            any = true;
        }
        double d[3];
        for (int a = 0; a < 3; ++a) {
            d[a] = lo[a] <= hi[a] ? hi[a] - lo[a] : any ? std::nan("") : 0.0;
        }
        const double diagonal = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        extent = diagonal > extent ? diagonal : extent;
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

// The basis of one direction at one parameter: the span offset, and the values
// and first derivatives of the order functions non-zero there.
struct BasisAt {
    int offset = 0;
    const float* value = nullptr;
    const float* deriv = nullptr;
};

// The basis at t, computed into `value` and `deriv`, which `basis` then reads.
void evaluateBasisAt(const float* knots, const float* coeff, int degree, int lastOffset, float t,
                     float* value, float* deriv, BasisAt& basis)
{
    const int order = degree + 1;
    basis.offset = spanOffsetAt(knots, degree, lastOffset, t);
    for (int l = 0; l < order; ++l) {
        evaluatePolynomial(coeff + (basis.offset * order + l) * order, degree, t, value[l], deriv[l]);
    }
    basis.value = value;
    basis.deriv = deriv;
}

// Unit normal Pv x Pu at some (u, v) from the bases of both directions, summed
// straight over the control points; false when it is degenerate there as well.
bool normalFrom(const NurbsSurface& s, const BasisAt& atU, const BasisAt& atV, double limitSq,
                float normal[3])
{
    Lanes sum = {0.0f, 0.0f, 0.0f, 0.0f};
    Lanes sumDu = {0.0f, 0.0f, 0.0f, 0.0f};
    Lanes sumDv = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int l = 0; l < s.orderU; ++l) {
        const float bu = atU.value[l];
        const float du = atU.deriv[l];
        const ControlPoint* row = s.controlNet + (atU.offset + l) * s.numCtrlV + atV.offset;
        for (int k = 0; k < s.orderV; ++k) {
            const float bv = atV.value[k];
            const float dv = atV.deriv[k];
            const Lanes c = lanesOf(row[k]);
            sum = sum + bu * bv * c;
            sumDu = sumDu + du * bv * c;
            sumDv = sumDv + bu * dv * c;
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

// One weighted sum of the net for four samples, one in each lane: term by term
// over the control points `points` (one component per vector), each weighted by
// the product of u basis entry l and v basis entry k of the lane.
template <int kOrderU, int kOrderV>
void sumTerms(const float* uBasis, const Lanes vBasis[4], const Lanes points[][4], Lanes& x,
              Lanes& y, Lanes& z, Lanes& w)
{
    x = Lanes{0.0f, 0.0f, 0.0f, 0.0f};
    y = x;
    z = x;
    w = x;
    for (int l = 0; l < kOrderU; ++l) {
        for (int k = 0; k < kOrderV; ++k) {
            const Lanes weight = uBasis[l] * vBasis[k];
            const Lanes* c = points[l * kOrderV + k];
            x = x + weight * c[0];
            y = y + weight * c[1];
            z = z + weight * c[2];
            w = w + weight * c[3];
        }
    }
}

// The normal of a sample where Pu and Pv give no direction: the limit of the
// normals approaching it from the lower parameter side (from above only at the
// start of the range), found by stepping a little beside the sample in u, then
// in v, then in both. One of these serves a whole row: whatever depends on the
// row alone is worked out at its first degenerate sample and kept for the others.
// At the sample's own u or v the basis is that of the sampled tables: the same
// span search and the same polynomials at the same parameter give those floats.
class FallbackRow {
public:
    FallbackRow(const NurbsSurface& surface, int i, double limitSq)
        : s(surface), limitSq(limitSq)
    {
        const int floats = 2 * kBesideUCount * s.orderU + 2 * s.orderV;
        storage = floats <= kLocalFloats ? local : new float[floats];
        besideVValue = storage + 2 * kBesideUCount * s.orderU;
        besideVDeriv = besideVValue + s.orderV;

        lastOffsetU = lastSpanOffset(s.knotsU, s.degreeU, s.numCtrlU);
        lastOffsetV = lastSpanOffset(s.knotsV, s.degreeV, s.numCtrlV);
        u = sampleParameter(s.knotsU, s.degreeU, s.numCtrlU, s.samplesU, i);
        startU = s.knotsU[s.degreeU];
        spanLengthU = s.knotsU[s.spanU[i] + 1] - s.knotsU[s.spanU[i]];
        atU.offset = s.spanU[i] - s.degreeU;
        atU.value = s.basisU + i * s.orderU;
        atU.deriv = s.basisDerivU + i * s.orderU;
    }

    ~FallbackRow()
    {
        if (storage != local) {
            delete[] storage;
        }
    }

    FallbackRow(const FallbackRow&) = delete;
    FallbackRow& operator=(const FallbackRow&) = delete;

    // Normal of the row's sample j, which lies at v.
    void normal(int j, float v, float out[3])
    {
        const float startV = s.knotsV[s.degreeV];
        const float spanLengthV = s.knotsV[s.spanV[j] + 1] - s.knotsV[s.spanV[j]];
        BasisAt atV;
        atV.offset = s.spanV[j] - s.degreeV;
        atV.value = s.basisV + j * s.orderV;
        atV.deriv = s.basisDerivV + j * s.orderV;
        for (int n = 0; n < kBesideUCount; ++n) {
            const BasisAt& nudgedU = besideUAt(n);
            if (normalFrom(s, nudgedU, atV, limitSq, out)) {
                return;
            }
            const float nudgedV = besideParameter(v, spanLengthV * kNudgeShares[n], startV);
            BasisAt besideV;
            evaluateBasisAt(s.knotsV, s.basisCoeffV, s.degreeV, lastOffsetV, nudgedV, besideVValue,
                            besideVDeriv, besideV);
            if (normalFrom(s, atU, besideV, limitSq, out) ||
                normalFrom(s, nudgedU, besideV, limitSq, out)) {
                return;
            }
        }
        // The surface is collapsed all around this sample: any unit vector will do.
        out[0] = 0.0f;
        out[1] = 0.0f;
        out[2] = 1.0f;
    }

    // The same for up to four samples of the row at once, sample `columns[lane]`
    // at `vs[lane]` in each lane: the first try, beside in u, for all of them
    // together with each lane doing exactly normalFrom's operations, then
    // `normal` for a lane where that too is degenerate.
    template <int kOrderU, int kOrderV>
    void normalsOfFour(const int columns[4], const float vs[4], int count, float* const out[4])
    {
        static_assert(kOrderU <= 4 && kOrderV <= 4, "a row of a basis fits four lanes");
        const BasisAt& nudgedU = besideUAt(0);
        int lanes[4];
        Lanes bv[4] = {};
        Lanes dv[4] = {};
        for (int lane = 0; lane < 4; ++lane) {
            const int j = columns[lane < count ? lane : count - 1];
            lanes[lane] = s.spanV[j] - s.degreeV;
            std::memcpy(&bv[lane], s.basisV + j * kOrderV, sizeof(float) * kOrderV);
            std::memcpy(&dv[lane], s.basisDerivV + j * kOrderV, sizeof(float) * kOrderV);
        }
        // bv[k] now holds the value of basis function k at each lane's v.
        transpose(bv[0], bv[1], bv[2], bv[3]);
        transpose(dv[0], dv[1], dv[2], dv[3]);

        // The control points of every term, one component of the four lanes'
        // points per vector. Lanes on one span share their points: each
        // component is then spread over the four lanes, as the transpose would.
        Lanes points[kOrderU * kOrderV][4];
        const bool oneSpan = lanes[0] == lanes[3];
        for (int l = 0; l < kOrderU; ++l) {
            const ControlPoint* row = s.controlNet + (nudgedU.offset + l) * s.numCtrlV;
            for (int k = 0; k < kOrderV; ++k) {
                Lanes* c = points[l * kOrderV + k];
                if (oneSpan) {
                    const ControlPoint& q = row[lanes[0] + k];
                    c[0] = Lanes{q.x, q.x, q.x, q.x};
                    c[1] = Lanes{q.y, q.y, q.y, q.y};
                    c[2] = Lanes{q.z, q.z, q.z, q.z};
                    c[3] = Lanes{q.w, q.w, q.w, q.w};
                } else {
                    for (int lane = 0; lane < 4; ++lane) {
                        c[lane] = lanesOf(row[lanes[lane] + k]);
                    }
                    transpose(c[0], c[1], c[2], c[3]);
                }
            }
        }
        // Each sum on its own, term by term in normalFrom's order, each term's
        // weight the product of a u and a v basis value as there.
        Lanes Sx, Sy, Sz, Sw;
        sumTerms<kOrderU, kOrderV>(nudgedU.value, bv, points, Sx, Sy, Sz, Sw);
        Lanes Sux, Suy, Suz, Suw;
        sumTerms<kOrderU, kOrderV>(nudgedU.deriv, bv, points, Sux, Suy, Suz, Suw);
        Lanes Svx, Svy, Svz, Svw;
        sumTerms<kOrderU, kOrderV>(nudgedU.value, dv, points, Svx, Svy, Svz, Svw);
        const Lanes inv = 1.0f / Sw;
        const Lanes px = Sx * inv;
        const Lanes py = Sy * inv;
        const Lanes pz = Sz * inv;
        const Lanes pux = (Sux - Suw * px) * inv;
        const Lanes puy = (Suy - Suw * py) * inv;
        const Lanes puz = (Suz - Suw * pz) * inv;
        const Lanes pvx = (Svx - Svw * px) * inv;
        const Lanes pvy = (Svy - Svw * py) * inv;
        const Lanes pvz = (Svz - Svw * pz) * inv;
        const Lanes nx = pvy * puz - puy * pvz;
        const Lanes ny = pux * pvz - pvx * puz;
        const Lanes nz = pvx * puy - pux * pvy;
        for (int lane = 0; lane < count; ++lane) {
            const double n[3] = {nx[lane], ny[lane], nz[lane]};
            const double lengthSq = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
            if (!(lengthSq > limitSq) || !std::isfinite(lengthSq)) {
                normal(columns[lane], vs[lane], out[lane]);
                continue;
            }
            const double invLength = 1.0 / std::sqrt(lengthSq);
            for (int a = 0; a < 3; ++a) {
                out[lane][a] = static_cast<float>(n[a] * invLength);
            }
        }
    }

private:
    static constexpr int kBesideUCount = sizeof(kNudgeShares) / sizeof(kNudgeShares[0]);
    static constexpr int kLocalFloats = 2 * (kBesideUCount + 1) * kLocalFallbackOrder;

    const BasisAt& besideUAt(int n)
    {
        if (!besideUDone[n]) {
            const float nudged = besideParameter(u, spanLengthU * kNudgeShares[n], startU);
            float* value = storage + 2 * n * s.orderU;
            evaluateBasisAt(s.knotsU, s.basisCoeffU, s.degreeU, lastOffsetU, nudged, value,
                            value + s.orderU, besideU[n]);
            besideUDone[n] = true;
        }
        return besideU[n];
    }

    const NurbsSurface& s;
    double limitSq;
    float local[kLocalFloats];
    float* storage;
    float* besideVValue;
    float* besideVDeriv;
    int lastOffsetU = 0;
    int lastOffsetV = 0;
    float u = 0.0f;
    float startU = 0.0f;
    float spanLengthU = 0.0f;
    BasisAt atU;
    BasisAt besideU[kBesideUCount];
    bool besideUDone[kBesideUCount] = {};
};

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

    sampleBasis();
}

void NurbsSurface::precomputeBasis()
{
    fillCoefficients(knotsU, degreeU, numCtrlU, basisCoeffU);
    fillCoefficients(knotsV, degreeV, numCtrlV, basisCoeffV);
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

void NurbsSurface::sampleBasis()
{
    fillSamples(knotsU, basisCoeffU, degreeU, numCtrlU, samplesU, spanU, basisU, basisDerivU);
    fillSamples(knotsV, basisCoeffV, degreeV, numCtrlV, samplesV, spanV, basisV, basisDerivV);
}

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
    const int su = spanU[i];
    const float* bu = basisU + i * kOrderU;
    const float* du = basisDerivU + i * kOrderU;
    const ControlPoint* firstRow = controlNet + (su - (kOrderU - 1)) * numCtrlV;
    const double limitSq = degenerateLimitSq;

    const float s = rowTexCoordS(i, samplesU);
    const float stepT = 1.0f / static_cast<float>(samplesV);
    float t = 0.0f;
    // The v parameter of each column, only for the degenerate-normal fallback.
    const float stepV = sampleStep(knotsV, degreeV, numCtrlV, samplesV);
    float v = knotsV[degreeV];
    std::optional<FallbackRow> fallback;

    // The u sums of every control column the row uses, each formed once: the
    // same sums rowSum and rowSumDu hold a span at a time in the general path.
    Lanes columnSum[kMaxFastColumns];
    Lanes columnSumDu[kMaxFastColumns];
    const int firstColumn = spanV[0] - (kOrderV - 1);
    const int lastColumn = spanV[samplesV];
    for (int c = firstColumn; c <= lastColumn; ++c) {
        const ControlPoint* column = firstRow + c;
        Lanes sum = {0.0f, 0.0f, 0.0f, 0.0f};
        Lanes sumDu = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int l = 0; l < kOrderU; ++l) {
            const Lanes q = lanesOf(column[l * numCtrlV]);
            sum = sum + bu[l] * q;
            sumDu = sumDu + du[l] * q;
        }
        columnSum[c] = sum;
        columnSumDu[c] = sumDu;
    }

    // A chunk of samples at a time: first the weighted sums of each, then the
    // rest four samples at a time, one in each lane, each lane doing exactly one
    // sample's operations. Taken apart like this, the samples' long chains of
    // dependent operations overlap instead of following one another, and four
    // samples share each division and square-root instruction (two for doubles).
    // Degenerate normals are settled last, again four at a time.
    SurfaceVertex* const row = stripVertices + i % 2;
    Lanes chunkS[kChunkSamples];
    Lanes chunkSu[kChunkSamples];
    Lanes chunkSv[kChunkSamples];
    float chunkT[kChunkSamples];
    float chunkV[kChunkSamples];
    int pendingColumns[kChunkSamples];
    float pendingV[kChunkSamples];
    float* pendingNormals[kChunkSamples];
    int pending = 0;
    for (int first = 0; first <= samplesV; first += kChunkSamples) {
        const int count = samplesV + 1 - first < kChunkSamples ? samplesV + 1 - first : kChunkSamples;
        for (int c = 0; c < count; ++c) {
            const int j = first + c;
            const Lanes* sum = columnSum + spanV[j] - (kOrderV - 1);
            const Lanes* sumDu = columnSumDu + spanV[j] - (kOrderV - 1);
            const float* bv = basisV + j * kOrderV;
            const float* dv = basisDerivV + j * kOrderV;
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
        for (int c = 0; c < count; c += 4) {
            Lanes Sx = chunkS[c], Sy = chunkS[c + 1], Sz = chunkS[c + 2], Sw = chunkS[c + 3];
            Lanes Sux = chunkSu[c], Suy = chunkSu[c + 1], Suz = chunkSu[c + 2], Suw = chunkSu[c + 3];
            Lanes Svx = chunkSv[c], Svy = chunkSv[c + 1], Svz = chunkSv[c + 2], Svw = chunkSv[c + 3];
            // From one sum per vector to one component of four samples per vector.
            transpose(Sx, Sy, Sz, Sw);
            transpose(Sux, Suy, Suz, Suw);
            transpose(Svx, Svy, Svz, Svw);
            // Position, and the partial derivatives of the rational surface.
            const Lanes inv = 1.0f / Sw;
            Lanes Px = Sx * inv;
            Lanes Py = Sy * inv;
            Lanes Pz = Sz * inv;
            const Lanes Pux = (Sux - Suw * Px) * inv;
            const Lanes Puy = (Suy - Suw * Py) * inv;
            const Lanes Puz = (Suz - Suw * Pz) * inv;
            const Lanes Pvx = (Svx - Svw * Px) * inv;
            const Lanes Pvy = (Svy - Svw * Py) * inv;
            const Lanes Pvz = (Svz - Svw * Pz) * inv;
            // Normal Pv x Pu, its length taken in double: (x^2 + y^2) + z^2.
            const Lanes nx = Pvy * Puz - Puy * Pvz;
            const Lanes ny = Pux * Pvz - Pvx * Puz;
            const Lanes nz = Pvx * Puy - Pux * Pvy;
            const DoublePair nxLow = lowInDouble(nx), nxHigh = highInDouble(nx);
            const DoublePair nyLow = lowInDouble(ny), nyHigh = highInDouble(ny);
            const DoublePair nzLow = lowInDouble(nz), nzHigh = highInDouble(nz);
            const DoublePair lengthSqLow = nxLow * nxLow + nyLow * nyLow + nzLow * nzLow;
            const DoublePair lengthSqHigh = nxHigh * nxHigh + nyHigh * nyHigh + nzHigh * nzHigh;
            const DoublePair invLengthLow = 1.0 / squareRoots(lengthSqLow);
            const DoublePair invLengthHigh = 1.0 / squareRoots(lengthSqHigh);
            Lanes Nx = inSingle(nxLow * invLengthLow, nxHigh * invLengthHigh);
            Lanes Ny = inSingle(nyLow * invLengthLow, nyHigh * invLengthHigh);
            Lanes Nz = inSingle(nzLow * invLengthLow, nzHigh * invLengthHigh);
            Lanes S4 = {s, s, s, s};
            Lanes T;
            std::memcpy(&T, &chunkT[c], sizeof(T));
            // Back to one vertex per lane: position and normal x, then normal y
            // and z and the texture coordinates.
            transpose(Px, Py, Pz, Nx);
            transpose(Ny, Nz, S4, T);
            const Lanes front[4] = {Px, Py, Pz, Nx};
            const Lanes back[4] = {Ny, Nz, S4, T};
            const double lengthSq[4] = {lengthSqLow[0], lengthSqLow[1], lengthSqHigh[0],
                                        lengthSqHigh[1]};
            for (int lane = 0; lane < 4 && c + lane < count; ++lane) {
                SurfaceVertex& vertex = row[2 * (first + c + lane)];
                unsigned char* bytes = reinterpret_cast<unsigned char*>(&vertex);
                std::memcpy(bytes, &front[lane], sizeof(Lanes));
                std::memcpy(bytes + sizeof(Lanes), &back[lane], sizeof(Lanes));
                // Also reached by NaN, so no NaN normal is ever left.
                if (!(lengthSq[lane] > limitSq)) {
                    pendingColumns[pending] = first + c + lane;
                    pendingV[pending] = chunkV[c + lane];
                    pendingNormals[pending] = vertex.normal;
                    ++pending;
                }
            }
        }
        // The degenerate samples of the chunk, four at a time.
        if (pending > 0 && !fallback) {
            fallback.emplace(*this, i, limitSq);
        }
        for (int n = 0; n < pending; n += 4) {
            fallback->normalsOfFour<kOrderU, kOrderV>(pendingColumns + n, pendingV + n,
                                                      pending - n < 4 ? pending - n : 4,
                                                      pendingNormals + n);
        }
        pending = 0;
    }
}

void NurbsSurface::evaluateRowOfAnyOrder(int i)
{
    const int su = spanU[i];
    const float* bu = basisU + i * orderU;
    const float* du = basisDerivU + i * orderU;
    const ControlPoint* firstRow = controlNet + (su - degreeU) * numCtrlV;

    const float s = rowTexCoordS(i, samplesU);
    const float stepT = 1.0f / static_cast<float>(samplesV);
    float t = 0.0f;
    const float stepV = sampleStep(knotsV, degreeV, numCtrlV, samplesV);
    float v = knotsV[degreeV];
    std::optional<FallbackRow> fallback;

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
