#ifndef TRESSMOOR_TESTS_GEOMETRY_REFERENCESURFACE_H
#define TRESSMOOR_TESTS_GEOMETRY_REFERENCESURFACE_H

#include <random>
#include <string>
#include <vector>

#include "geometry/NurbsSurface.h"

// The inputs of one surface, kept by the tests to rebuild and to describe it.
struct SurfaceInput {
    int degreeU = 0;
    int degreeV = 0;
    int numCtrlU = 0;
    int numCtrlV = 0;
    std::vector<ControlPoint> net;
    std::vector<float> knotsU;
    std::vector<float> knotsV;
    int samplesU = 0;
    int samplesV = 0;

    void setUp(NurbsSurface& surface, BasisTableCache* cache = nullptr) const;
    std::string describe() const;
};

// A whole number from lo to hi inclusive.
int pick(std::mt19937& rng, int lo, int hi);

// Knots on a grid of eighths, so repeated knots are common, in [0, 1], [0, 4] or
// [-2, 2]; at least one span of the sampled range has non-zero length.
std::vector<float> randomKnots(std::mt19937& rng, int degree, int numCtrl);

// A point of the surface evaluated in double by plain Cox-de Boor recursion.
struct ReferencePoint {
    double position[3];
    double du[3];
    double dv[3];
    double normal[3];       // unit Pv x Pu, zero where it has no direction
    double crossLength;     // |Pv x Pu|
};

// Index of the knot span a parameter is evaluated on: the last span of non-zero
// length in the sampled range that starts at or below t.
int referenceSpan(const std::vector<float>& knots, int degree, int numCtrl, double t);

// Value and derivative of N(i, p) at t, as the polynomial of knot span `span`.
double referenceBasis(const std::vector<float>& knots, int span, int i, int p, double t);
double referenceBasisDerivative(const std::vector<float>& knots, int span, int i, int p, double t);

ReferencePoint evaluateReference(const SurfaceInput& input, double u, double v);

// Parameter of sample k in one direction: the range start plus the step, added
// one sample at a time in single precision.
float sampleParameterOf(const std::vector<float>& knots, int degree, int numCtrl, int samples,
                        int k);

// Knots of a strand tube along its centreline, for parts points.
std::vector<float> strandKnotsU(int parts);
std::vector<float> strandKnotsV();
// The tube of a centreline given as parts points (x, y, z), 20 x 20 samples.
SurfaceInput strandInput(const std::vector<float>& centreline);

double angleDegrees(const float a[3], const double b[3]);

// The basis polynomials are in the absolute parameter, so single-precision
// Horner's rule loses digits in proportion to sum |a_m| |t|^m over the sample's
// functions (value) and sum m |a_m| |t|^(m-1) (derivative), read from a
// coefficient table laid out as basisCoeffU.
struct HornerScale {
    double value = 0.0;
    double deriv = 0.0;
};
HornerScale hornerScale(const float* coeff, int degree, int span, float t);

// Size of the weighted sums of a sample relative to its position: what their
// rounding errors scale with after the division by the weight.
double rationalSumScale(const SurfaceInput& input);

// The whole grid, row by row through evaluateRow, without the printed line of evaluateGrid.
std::vector<SurfaceVertex> evaluateRows(NurbsSurface& surface);

#endif
