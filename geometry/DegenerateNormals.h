#ifndef TRESSMOOR_GEOMETRY_DEGENERATENORMALS_H
#define TRESSMOOR_GEOMETRY_DEGENERATENORMALS_H

#include "geometry/NurbsBasis.h"
#include "geometry/NurbsSurface.h"

// Squared length of Pv x Pu at or below which a sample's normal is taken from
// beside it instead, for a net of numCtrlU x numCtrlV points.
double degenerateLimitSquared(const ControlPoint* net, int numCtrlU, int numCtrlV,
                              const float* knotsU, int degreeU, const float* knotsV, int degreeV);

// The normal of a sample where Pu and Pv give no direction: the limit of the
// normals approaching it from the lower parameter side (from above only at the
// start of the range), found by stepping a little beside the sample in u, then
// in v, then in both. One of these serves a whole row: whatever depends on the
// row alone is worked out at its first degenerate sample and kept for the others.
// At the sample's own u or v the basis is that of the sampled tables: the same
// span search and the same polynomials at the same parameter give those floats.
class FallbackRow {
public:
    FallbackRow(const NurbsSurface& surface, int i, double limitSq);
    ~FallbackRow();
    FallbackRow(const FallbackRow&) = delete;
    FallbackRow& operator=(const FallbackRow&) = delete;

    // Normal of the row's sample j, which lies at v.
    void normal(int j, float v, float out[3]);

    // The same for up to four samples of the row at once, sample `columns[lane]`
    // at `vs[lane]` in each lane: the first try, beside in u, for all of them
    // together with each lane doing exactly the one-sample operations, then
    // `normal` for a lane where that too is degenerate. For orders 3 and 4.
    template <int kOrderU, int kOrderV>
    void normalsOfFour(const int columns[4], const float vs[4], int count, float* const out[4]);

private:
    // Distances, as shares of a sample's span, at which a degenerate sample's
    // normal is taken from beside it; a wider one is tried only if the nearer
    // point is degenerate too.
    static constexpr float kNudgeShares[] = {1.0f / 1024.0f, 1.0f / 64.0f, 1.0f / 4.0f};
    static constexpr int kBesideUCount = sizeof(kNudgeShares) / sizeof(kNudgeShares[0]);
    // Orders up to which the bases beside the sample are kept in `local`.
    static constexpr int kLocalOrder = 8;
    static constexpr int kLocalFloats = 2 * (kBesideUCount + 1) * kLocalOrder;

    const BasisAt& besideUAt(int n);

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

#endif
