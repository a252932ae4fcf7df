#include "geometry/DegenerateNormals.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "geometry/Lanes.h"
#include "geometry/RationalPoint.h"

namespace {

// A normal counts as degenerate when |Pv x Pu| is below this share of the
// product of the net's extents per unit parameter in u and in v. At the sphere's
// poles rounding leaves it below 1e-6 of that product; regular samples of the
// shapes and of strands measure above 1e-3.
constexpr double kDegenerateRatio = 1e-4;

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
    const RationalPoint<float> p =
        rationalPoint(weightedSumOf(sum), weightedSumOf(sumDu), weightedSumOf(sumDv));
    const double lengthSq = squaredLength(p.cross);
    if (!(lengthSq > limitSq) || !std::isfinite(lengthSq)) {
        return false;
    }
    writeUnitNormal(p.cross, lengthSq, normal);
    return true;
}

// The bases and control points of up to four samples on one row, one lane each.
template <int kOrderU, int kOrderV>
struct FourSamples {
    // Entry k: the value of v basis function k at each lane's v; dv the derivatives.
    Lanes bv[4] = {};
    Lanes dv[4] = {};
    // The control points of every term, one component of the four lanes'
    // points per vector.
    Lanes points[kOrderU * kOrderV][4];
};

template <int kOrderU, int kOrderV>
void gatherFour(const NurbsSurface& s, const BasisAt& atU, const int columns[4], int count,
                FourSamples<kOrderU, kOrderV>& four)
{
    int lanes[4];
    for (int lane = 0; lane < 4; ++lane) {
        const int j = columns[lane < count ? lane : count - 1];
        lanes[lane] = s.spanV[j] - s.degreeV;
        std::memcpy(&four.bv[lane], s.basisV + j * kOrderV, sizeof(float) * kOrderV);
        std::memcpy(&four.dv[lane], s.basisDerivV + j * kOrderV, sizeof(float) * kOrderV);
    }
    transpose(four.bv[0], four.bv[1], four.bv[2], four.bv[3]);
    transpose(four.dv[0], four.dv[1], four.dv[2], four.dv[3]);

    // Lanes on one span share their points: each component is then spread over
    // the four lanes, as the transpose would.
    const bool oneSpan = lanes[0] == lanes[3];
    for (int l = 0; l < kOrderU; ++l) {
        const ControlPoint* row = s.controlNet + (atU.offset + l) * s.numCtrlV;
        for (int k = 0; k < kOrderV; ++k) {
            Lanes* c = four.points[l * kOrderV + k];
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
}

// One weighted sum of the net for four samples, one in each lane: term by term
// in normalFrom's order over the control points `points`, each term weighted by
// the product of u basis entry l and v basis entry k of the lane, as there.
template <int kOrderU, int kOrderV>
WeightedSum<Lanes> sumTerms(const float* uBasis, const Lanes vBasis[4], const Lanes points[][4])
{
    WeightedSum<Lanes> sum;
    sum.x = Lanes{0.0f, 0.0f, 0.0f, 0.0f};
    sum.y = sum.x;
    sum.z = sum.x;
    sum.w = sum.x;
    for (int l = 0; l < kOrderU; ++l) {
        for (int k = 0; k < kOrderV; ++k) {
            const Lanes weight = uBasis[l] * vBasis[k];
            const Lanes* c = points[l * kOrderV + k];
            sum.x = sum.x + weight * c[0];
            sum.y = sum.y + weight * c[1];
            sum.z = sum.z + weight * c[2];
            sum.w = sum.w + weight * c[3];
        }
    }
    return sum;
}

}  // namespace

double degenerateLimitSquared(const ControlPoint* net, int numCtrlU, int numCtrlV,
                              const float* knotsU, int degreeU, const float* knotsV, int degreeV)
{
    const double derivScaleU =
        lineExtent(net, numCtrlV, numCtrlU, 1, numCtrlV) / parameterRange(knotsU, degreeU, numCtrlU);
    const double derivScaleV =
        lineExtent(net, numCtrlU, numCtrlV, numCtrlV, 1) / parameterRange(knotsV, degreeV, numCtrlV);
    const double limit = kDegenerateRatio * derivScaleU * derivScaleV;
    return limit * limit;
}

FallbackRow::FallbackRow(const NurbsSurface& surface, int i, double limitSq)
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

FallbackRow::~FallbackRow()
{
    if (storage != local) {
        delete[] storage;
    }
}

void FallbackRow::normal(int j, float v, float out[3])
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

template <int kOrderU, int kOrderV>
void FallbackRow::normalsOfFour(const int columns[4], const float vs[4], int count,
                                float* const out[4])
{
    static_assert(kOrderU <= 4 && kOrderV <= 4, "a row of a basis fits four lanes");
    const BasisAt& nudgedU = besideUAt(0);
    FourSamples<kOrderU, kOrderV> four;
    gatherFour(s, nudgedU, columns, count, four);
    const WeightedSum<Lanes> S = sumTerms<kOrderU, kOrderV>(nudgedU.value, four.bv, four.points);
    const WeightedSum<Lanes> Su = sumTerms<kOrderU, kOrderV>(nudgedU.deriv, four.bv, four.points);
    const WeightedSum<Lanes> Sv = sumTerms<kOrderU, kOrderV>(nudgedU.value, four.dv, four.points);
    const RationalPoint<Lanes> p = rationalPoint(S, Su, Sv);
    for (int lane = 0; lane < count; ++lane) {
        const float cross[3] = {p.cross[0][lane], p.cross[1][lane], p.cross[2][lane]};
        const double lengthSq = squaredLength(cross);
        if (!(lengthSq > limitSq) || !std::isfinite(lengthSq)) {
            normal(columns[lane], vs[lane], out[lane]);
            continue;
        }
        writeUnitNormal(cross, lengthSq, out[lane]);
    }
}

template void FallbackRow::normalsOfFour<3, 3>(const int[4], const float[4], int, float* const[4]);
template void FallbackRow::normalsOfFour<4, 4>(const int[4], const float[4], int, float* const[4]);

const BasisAt& FallbackRow::besideUAt(int n)
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
