#include "geometry/TriangleNearest.h"

namespace {

double distanceSquared(const double a[3], const double b[3])
{
    const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// The nearest point of segment a-b to p, as the weight of b.
double nearestOnSegment(const double p[3], const double a[3], const double b[3])
{
    const double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double length2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
    if (!(length2 > 0.0)) return 0.0;
    const double t = ((p[0] - a[0]) * ab[0] + (p[1] - a[1]) * ab[1] + (p[2] - a[2]) * ab[2]) / length2;
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}

}  // namespace

// Ericson's regions of the triangle (Real-Time Collision Detection, 5.1.5),
// with a triangle without area taken as its edges.
void nearestOnTriangle(const double p[3], const double a[3], const double b[3], const double c[3],
                       double& weightB, double& weightC)
{
    const double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double ac[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double ap[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double d1 = dot(ab, ap);
    const double d2 = dot(ac, ap);
    weightB = weightC = 0.0;
    if (d1 <= 0.0 && d2 <= 0.0) return;
    const double bp[3] = {p[0] - b[0], p[1] - b[1], p[2] - b[2]};
    const double d3 = dot(ab, bp);
    const double d4 = dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) {
        weightB = 1.0;
        return;
    }
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0 && d1 - d3 > 0.0) {
        weightB = d1 / (d1 - d3);
        return;
    }
    const double cp[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
    const double d5 = dot(ab, cp);
    const double d6 = dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) {
        weightC = 1.0;
        return;
    }
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0 && d2 - d6 > 0.0) {
        weightC = d2 / (d2 - d6);
        return;
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0 && (d4 - d3) + (d5 - d6) > 0.0) {
        weightC = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        weightB = 1.0 - weightC;
        return;
    }
    const double sum = va + vb + vc;
    if (sum > 0.0) {
        weightB = vb / sum;
        weightC = vc / sum;
        return;
    }
    // No area: the nearest of the three edges.
    const double tab = nearestOnSegment(p, a, b);
    const double tac = nearestOnSegment(p, a, c);
    const double tbc = nearestOnSegment(p, b, c);
    double onAb[3], onAc[3], onBc[3];
    for (int i = 0; i < 3; ++i) {
        onAb[i] = a[i] + tab * ab[i];
        onAc[i] = a[i] + tac * ac[i];
        onBc[i] = b[i] + tbc * (c[i] - b[i]);
    }
    const double dab = distanceSquared(p, onAb);
    const double dac = distanceSquared(p, onAc);
    const double dbc = distanceSquared(p, onBc);
    if (dab <= dac && dab <= dbc) {
        weightB = tab;
    } else if (dac <= dbc) {
        weightC = tac;
    } else {
        weightB = 1.0 - tbc;
        weightC = tbc;
    }
}
