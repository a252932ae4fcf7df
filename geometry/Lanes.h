#ifndef TRESSMOOR_GEOMETRY_LANES_H
#define TRESSMOOR_GEOMETRY_LANES_H

#include <cmath>
#include <cstring>

#include "geometry/NurbsSurface.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Four floats side by side: the components x, y, z, w of one weighted sum, or
// one quantity of four samples. Arithmetic on it is lane by lane in single
// precision, each lane rounded exactly as the same operation on one float; with
// contraction off nothing is fused.
typedef float Lanes __attribute__((vector_size(16)));
typedef float LanePair __attribute__((vector_size(8)));
typedef double DoublePair __attribute__((vector_size(16)));

inline Lanes lanesOf(const ControlPoint& point)
{
    Lanes lanes;
    std::memcpy(&lanes, &point, sizeof(lanes));
    return lanes;
}

// Rows become columns: afterwards a holds the first lanes of a, b, c and d as
// they were, b the second lanes, and so on.
inline void transpose(Lanes& a, Lanes& b, Lanes& c, Lanes& d)
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

inline DoublePair lowInDouble(Lanes lanes)
{
    return __builtin_convertvector(__builtin_shufflevector(lanes, lanes, 0, 1), DoublePair);
}

inline DoublePair highInDouble(Lanes lanes)
{
    return __builtin_convertvector(__builtin_shufflevector(lanes, lanes, 2, 3), DoublePair);
}

inline Lanes inSingle(DoublePair low, DoublePair high)
{
    const LanePair lowSingle = __builtin_convertvector(low, LanePair);
    const LanePair highSingle = __builtin_convertvector(high, LanePair);
    return __builtin_shufflevector(lowSingle, highSingle, 0, 1, 2, 3);
}

// Square roots of both lanes, correctly rounded as std::sqrt's are; SSE2 takes
// both at once.
inline DoublePair squareRoot(DoublePair x)
{
#if defined(__SSE2__)
    return _mm_sqrt_pd(x);
#else
    return DoublePair{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

#endif
