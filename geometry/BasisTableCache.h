#ifndef TRESSMOOR_GEOMETRY_BASISTABLECACHE_H
#define TRESSMOOR_GEOMETRY_BASISTABLECACHE_H

// Coefficient table of one direction, copied from a recent set-up with the
// same knots and degree or computed and kept for the next.
void fillCoefficients(const float* knots, int degree, int numCtrl, float* coeff);

// Sampled tables of one direction, copied from a recent set-up made from the same
// knots, coefficients and sample count, or sampled and kept with the coefficients
// they were sampled from.
void fillSamples(const float* knots, const float* coeff, int degree, int numCtrl, int samples,
                 int* span, float* basis, float* basisDeriv);

#endif
