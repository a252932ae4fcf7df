#ifndef TRESSMOOR_TESTS_GEOMETRY_PLAINSURFACE_H
#define TRESSMOOR_TESTS_GEOMETRY_PLAINSURFACE_H

#include <vector>

#include "ReferenceSurface.h"
#include "geometry/NurbsSurface.h"

// The surface's own scheme written out the plain way: the coefficient recursion
// called afresh for every entry, every loop in its textbook form, no caching of
// any kind. The fast NurbsSurface must give exactly these floats.
float plainBasisCoefficient(const std::vector<float>& knots, int span, int i, int k, int m);

struct PlainSurface {
    explicit PlainSurface(const SurfaceInput& input);

    // Row i of the grid, samplesV + 1 vertices in column order.
    std::vector<SurfaceVertex> evaluateRow(int i) const;
    // Every row, row-major.
    std::vector<SurfaceVertex> evaluateGrid() const;

    SurfaceInput in;
    int orderU;
    int orderV;
    std::vector<float> basisCoeffU;
    std::vector<float> basisCoeffV;
    std::vector<int> spanU;
    std::vector<int> spanV;
    std::vector<float> basisU;
    std::vector<float> basisDerivU;
    std::vector<float> basisV;
    std::vector<float> basisDerivV;
    double degenerateLimitSq;

    // How often evaluation took the degenerate-normal fallback, needed more than
    // its first try, and found no direction at all; so tests can tell they
    // reached those paths.
    mutable long degenerateSamples = 0;
    mutable long laterTries = 0;
    mutable long noDirection = 0;
};

#endif
