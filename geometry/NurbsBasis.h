#ifndef TRESSMOOR_GEOMETRY_NURBSBASIS_H
#define TRESSMOOR_GEOMETRY_NURBSBASIS_H

// The B-spline basis of one direction of a surface: the power-basis
// coefficients of every function on every span, and their sampled values.
// Spans are given by their offset, the span index minus the degree.

// Value and first derivative of one span polynomial, by Horner's rule.
void evaluatePolynomial(const float* coeff, int degree, float t, float& value, float& deriv);

// Offset of the last span of non-zero length in the sampled range. Capping the
// search there keeps a parameter at or past the end out of an empty span whose
// basis functions are all zero.
int lastSpanOffset(const float* knots, int degree, int numCtrl);

int spanOffsetAt(const float* knots, int degree, int lastOffset, float t);

// Distance between neighbouring samples; 0 for no samples.
float sampleStep(const float* knots, int degree, int numCtrl, int samples);

// Parameter of sample k, accumulated exactly as sampleDirection does.
float sampleParameter(const float* knots, int degree, int numCtrl, int samples, int k);

// Span, basis values and derivatives of samples 0 .. samples of one direction.
void sampleDirection(const float* knots, const float* coeff, int degree, int numCtrl,
                     int samples, int* span, float* basis, float* basisDeriv);

// Floats of working space expandSpan needs.
int expansionWorkSize(int count, int degree);

// Coefficients of N(first, degree) .. N(first + count - 1, degree) on knot span
// `span`, degree + 1 powers each, into `out`.
void expandSpan(const float* knots, int span, int first, int count, int degree, float* work,
                float* out);

// The whole coefficient table of one direction, laid out as basisCoeffU.
void expandCoefficients(const float* knots, int degree, int numCtrl, float* coeff);

// The basis of one direction at one parameter: the span offset, and the values
// and first derivatives of the order functions non-zero there.
struct BasisAt {
    int offset = 0;
    const float* value = nullptr;
    const float* deriv = nullptr;
};

// The basis at t, computed into `value` and `deriv`, which `basis` then reads.
void evaluateBasisAt(const float* knots, const float* coeff, int degree, int lastOffset, float t,
                     float* value, float* deriv, BasisAt& basis);

// Texture coordinates are accumulated in single precision, like the parameters:
// row i's s is 1 / samplesU added i times.
float rowTexCoordS(int i, int samplesU);

#endif
