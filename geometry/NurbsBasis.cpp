#include "geometry/NurbsBasis.h"

#include <utility>

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

namespace {

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

}  // namespace

int expansionWorkSize(int count, int degree)
{
    return 2 * (count + degree) * (degree + 1);
}

// The recursion is evaluated bottom up: each level holds every N(i, k) the
// level above needs, computed once, instead of once per path through the
// recursion.
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

void expandCoefficients(const float* knots, int degree, int numCtrl, float* coeff)
{
    const int order = degree + 1;
    float* work = new float[expansionWorkSize(order, degree)];
    for (int r = 0; r < numCtrl - degree; ++r) {
        expandSpan(knots, r + degree, r, order, degree, work, coeff + r * order * order);
    }
    delete[] work;
}

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

float rowTexCoordS(int i, int samplesU)
{
    const float stepS = 1.0f / static_cast<float>(samplesU);
    float s = 0.0f;
    for (int n = 0; n < i; ++n) {
        s = s + stepS;
    }
    return s;
}
