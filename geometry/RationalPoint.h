#ifndef TRESSMOOR_GEOMETRY_RATIONALPOINT_H
#define TRESSMOOR_GEOMETRY_RATIONALPOINT_H

#include <cmath>

#include "geometry/Lanes.h"

// From the weighted sums of a rational surface to its point and normal, written
// once for every evaluator: T is float for one sample, or Lanes for four
// samples, one in each lane. Each lane does exactly the float operations, so
// every path gives the same floats.

// One weighted sum S, Su or Sv of the net: weighted coordinates and weight.
template <typename T>
struct WeightedSum {
    T x;
    T y;
    T z;
    T w;
};

// The sum whose components x, y, z, w are the lanes of `components`.
inline WeightedSum<float> weightedSumOf(Lanes components)
{
    return {components[0], components[1], components[2], components[3]};
}

template <typename T>
struct RationalPoint {
    T position[3];
    T cross[3];  // Pv x Pu, not yet of unit length
};

// P = S / S.w; Pu = (Su - Su.w P) / S.w and Pv likewise; n = Pv x Pu.
template <typename T>
RationalPoint<T> rationalPoint(const WeightedSum<T>& S, const WeightedSum<T>& Su,
                               const WeightedSum<T>& Sv)
{
    const T inv = 1.0f / S.w;
    RationalPoint<T> p;
    p.position[0] = S.x * inv;
    p.position[1] = S.y * inv;
    p.position[2] = S.z * inv;
    const T pux = (Su.x - Su.w * p.position[0]) * inv;
    const T puy = (Su.y - Su.w * p.position[1]) * inv;
    const T puz = (Su.z - Su.w * p.position[2]) * inv;
    const T pvx = (Sv.x - Sv.w * p.position[0]) * inv;
    const T pvy = (Sv.y - Sv.w * p.position[1]) * inv;
    const T pvz = (Sv.z - Sv.w * p.position[2]) * inv;
    p.cross[0] = pvy * puz - puy * pvz;
    p.cross[1] = pux * pvz - pvx * puz;
    p.cross[2] = pvx * puy - pux * pvy;
    return p;
}

inline double squareRoot(double x)
{
    return std::sqrt(x);
}

// The normal's length is taken in double, one normal (D = double) or two
// (D = DoublePair) at a time: (x^2 + y^2) + z^2, then 1 / sqrt of it.
template <typename D>
D squaredLength(D x, D y, D z)
{
    return x * x + y * y + z * z;
}

template <typename D>
D inverseLength(D lengthSq)
{
    return 1.0 / squareRoot(lengthSq);
}

// One sample's cross product: its squared length, and the unit normal once that
// length is known to be usable.
inline double squaredLength(const float cross[3])
{
    return squaredLength<double>(cross[0], cross[1], cross[2]);
}

inline void writeUnitNormal(const float cross[3], double lengthSq, float normal[3])
{
    const double invLength = inverseLength(lengthSq);
    for (int a = 0; a < 3; ++a) {
        normal[a] = static_cast<float>(cross[a] * invLength);
    }
}

// Four samples' unit normals, one component per vector, and each lane's
// squared length, for telling the degenerate ones.
struct LaneNormals {
    Lanes normal[3];
    double lengthSq[4];
};

inline LaneNormals unitNormals(const Lanes cross[3])
{
    DoublePair low[3];
    DoublePair high[3];
    for (int a = 0; a < 3; ++a) {
        low[a] = lowInDouble(cross[a]);
        high[a] = highInDouble(cross[a]);
    }
    const DoublePair lengthSqLow = squaredLength(low[0], low[1], low[2]);
    const DoublePair lengthSqHigh = squaredLength(high[0], high[1], high[2]);
    const DoublePair invLengthLow = inverseLength(lengthSqLow);
    const DoublePair invLengthHigh = inverseLength(lengthSqHigh);
    LaneNormals n;
    for (int a = 0; a < 3; ++a) {
        n.normal[a] = inSingle(low[a] * invLengthLow, high[a] * invLengthHigh);
    }
    n.lengthSq[0] = lengthSqLow[0];
    n.lengthSq[1] = lengthSqLow[1];
    n.lengthSq[2] = lengthSqHigh[0];
    n.lengthSq[3] = lengthSqHigh[1];
    return n;
}

#endif
