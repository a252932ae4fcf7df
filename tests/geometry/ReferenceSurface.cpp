#include "ReferenceSurface.h"

#include <algorithm>
#include <cmath>
#include <sstream>

void SurfaceInput::setUp(NurbsSurface& surface, BasisTableCache* cache) const
{
    surface.setup(degreeU, degreeV, numCtrlU, numCtrlV, net.data(), knotsU.data(), knotsV.data(),
                  samplesU, samplesV, cache);
}

std::string SurfaceInput::describe() const
{
    std::ostringstream out;
    out.precision(9);
    out << "degrees " << degreeU << " x " << degreeV << ", ctrl " << numCtrlU << " x " << numCtrlV
        << ", samples " << samplesU << " x " << samplesV << "\nknotsU";
    for (float k : knotsU) out << ' ' << k;
    out << "\nknotsV";
    for (float k : knotsV) out << ' ' << k;
    out << "\nnet (x y z w)";
    for (const ControlPoint& q : net) out << "  " << q.x << ' ' << q.y << ' ' << q.z << ' ' << q.w;
    return out.str();
}

int referenceSpan(const std::vector<float>& knots, int degree, int numCtrl, double t)
{
    int first = -1;
    int chosen = -1;
    for (int s = degree; s < numCtrl; ++s) {
        if (!(knots[s] < knots[s + 1])) continue;
        if (first < 0) first = s;
        if (knots[s] <= t) chosen = s;
    }
    if (chosen >= 0) return chosen;
    return first >= 0 ? first : degree;
}

// Degree-0 functions are 1 on the chosen span only, so the recursion gives the
// span's polynomial even where t lies a rounding error outside the span.
double referenceBasis(const std::vector<float>& knots, int span, int i, int p, double t)
{
    if (p == 0) return i == span ? 1.0 : 0.0;
    double value = 0.0;
    const double d1 = double(knots[i + p]) - knots[i];
    const double d2 = double(knots[i + p + 1]) - knots[i + 1];
    if (d1 != 0.0) value += (t - knots[i]) / d1 * referenceBasis(knots, span, i, p - 1, t);
    if (d2 != 0.0) value += (knots[i + p + 1] - t) / d2 * referenceBasis(knots, span, i + 1, p - 1, t);
    return value;
}

double referenceBasisDerivative(const std::vector<float>& knots, int span, int i, int p, double t)
{
    if (p == 0) return 0.0;
    double value = 0.0;
    const double d1 = double(knots[i + p]) - knots[i];
    const double d2 = double(knots[i + p + 1]) - knots[i + 1];
    if (d1 != 0.0) value += p / d1 * referenceBasis(knots, span, i, p - 1, t);
    if (d2 != 0.0) value -= p / d2 * referenceBasis(knots, span, i + 1, p - 1, t);
    return value;
}

ReferencePoint evaluateReference(const SurfaceInput& in, double u, double v)
{
    const int su = referenceSpan(in.knotsU, in.degreeU, in.numCtrlU, u);
    const int sv = referenceSpan(in.knotsV, in.degreeV, in.numCtrlV, v);
    double sum[4] = {0, 0, 0, 0};
    double sumDu[4] = {0, 0, 0, 0};
    double sumDv[4] = {0, 0, 0, 0};
    for (int iu = su - in.degreeU; iu <= su; ++iu) {
        const double nu = referenceBasis(in.knotsU, su, iu, in.degreeU, u);
        const double du = referenceBasisDerivative(in.knotsU, su, iu, in.degreeU, u);
        for (int iv = sv - in.degreeV; iv <= sv; ++iv) {
            const double nv = referenceBasis(in.knotsV, sv, iv, in.degreeV, v);
            const double dv = referenceBasisDerivative(in.knotsV, sv, iv, in.degreeV, v);
            const ControlPoint& q = in.net[iu * in.numCtrlV + iv];
            const double c[4] = {q.x, q.y, q.z, q.w};
            for (int a = 0; a < 4; ++a) {
                sum[a] += nu * nv * c[a];
                sumDu[a] += du * nv * c[a];
                sumDv[a] += nu * dv * c[a];
            }
        }
    }
    ReferencePoint r{};
    for (int a = 0; a < 3; ++a) {
        r.position[a] = sum[a] / sum[3];
        r.du[a] = (sumDu[a] - sumDu[3] * r.position[a]) / sum[3];
        r.dv[a] = (sumDv[a] - sumDv[3] * r.position[a]) / sum[3];
    }
    const double n[3] = {r.dv[1] * r.du[2] - r.dv[2] * r.du[1], r.dv[2] * r.du[0] - r.dv[0] * r.du[2],
                         r.dv[0] * r.du[1] - r.dv[1] * r.du[0]};
    r.crossLength = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int a = 0; a < 3; ++a) r.normal[a] = r.crossLength > 0.0 ? n[a] / r.crossLength : 0.0;
    return r;
}

float sampleParameterOf(const std::vector<float>& knots, int degree, int numCtrl, int samples, int k)
{
    const float step = (knots[numCtrl] - knots[degree]) / static_cast<float>(samples);
    float t = knots[degree];
    for (int n = 0; n < k; ++n) t += step;
    return t;
}

std::vector<float> strandKnotsU(int parts)
{
    std::vector<float> knots(parts + 4);
    for (int r = 0; r < 3; ++r) {
        knots[r] = 0.0f;
        knots[parts + 3 - r] = 1.0f;
    }
    const float step = 1.0f / static_cast<float>(parts / 2);
    float value = step;
    for (int r = 3; r < parts + 1; r += 2) {
        knots[r] = value;
        knots[r + 1] = value;
        value += step;
    }
    return knots;
}

std::vector<float> strandKnotsV()
{
    return {0.0f, 0.0f, 0.0f, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f};
}

SurfaceInput strandInput(const std::vector<float>& centreline)
{
    const int parts = static_cast<int>(centreline.size() / 3);
    const float diagonal = static_cast<float>(std::sqrt(0.5));
    const float ringX[9] = {1, diagonal, 0, -diagonal, -1, -diagonal, 0, diagonal, 1};
    const float ringZ[9] = {0, diagonal, 1, diagonal, 0, -diagonal, -1, -diagonal, 0};
    SurfaceInput in;
    in.degreeU = 3;
    in.degreeV = 3;
    in.numCtrlU = parts;
    in.numCtrlV = 9;
    in.knotsU = strandKnotsU(parts);
    in.knotsV = strandKnotsV();
    in.samplesU = 20;
    in.samplesV = 20;
    for (int r = 0; r < parts; ++r) {
        for (int l = 0; l < 9; ++l) {
            in.net.push_back({centreline[3 * r] + ringX[l], centreline[3 * r + 1],
                              centreline[3 * r + 2] + ringZ[l], 1.0f});
        }
    }
    return in;
}

double angleDegrees(const float a[3], const double b[3])
{
    double dot = 0.0;
    double la = 0.0;
    double lb = 0.0;
    for (int k = 0; k < 3; ++k) {
        dot += a[k] * b[k];
        la += double(a[k]) * a[k];
        lb += b[k] * b[k];
    }
    const double c = std::clamp(dot / std::sqrt(la * lb), -1.0, 1.0);
    return std::acos(c) * 180.0 / std::acos(-1.0);
}

std::vector<SurfaceVertex> evaluateRows(NurbsSurface& surface)
{
    const int columns = surface.samplesV + 1;
    std::vector<SurfaceVertex> grid((surface.samplesU + 1) * columns);
    for (int i = 0; i <= surface.samplesU; ++i) {
        surface.evaluateRow(i);
        for (int j = 0; j < columns; ++j) grid[i * columns + j] = surface.stripVertices[2 * j + i % 2];
    }
    return grid;
}

HornerScale hornerScale(const float* coeff, int degree, int span, float t)
{
    const int order = degree + 1;
    const int r = span - degree;
    HornerScale scale;
    for (int j = 0; j < order; ++j) {
        for (int m = 0; m < order; ++m) {
            const double a = std::fabs(coeff[(r * order + j) * order + m]);
            scale.value += a * std::pow(std::fabs(t), m);
            if (m > 0) scale.deriv += m * a * std::pow(std::fabs(t), m - 1);
        }
    }
    return scale;
}

double rationalSumScale(const SurfaceInput& in)
{
    double maxWeighted = 0.0;
    double maxCartesian = 0.0;
    double maxWeight = 0.0;
    double minWeight = 1e30;
    for (const ControlPoint& q : in.net) {
        for (float c : {q.x, q.y, q.z}) {
            maxWeighted = std::max(maxWeighted, std::fabs(double(c)));
            maxCartesian = std::max(maxCartesian, std::fabs(double(c) / q.w));
        }
        maxWeight = std::max(maxWeight, double(q.w));
        minWeight = std::min(minWeight, double(q.w));
    }
    return (maxWeighted + maxCartesian * maxWeight) / minWeight;
}

int pick(std::mt19937& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

std::vector<float> randomKnots(std::mt19937& rng, int degree, int numCtrl)
{
    const float offsets[] = {0.0f, 0.0f, -2.0f};
    const float scales[] = {1.0f, 4.0f, 4.0f};
    const int range = pick(rng, 0, 2);
    std::vector<float> knots(numCtrl + degree + 1);
    do {
        std::vector<int> eighths(knots.size());
        for (int& e : eighths) e = pick(rng, 0, 8);
        std::sort(eighths.begin(), eighths.end());
        for (size_t n = 0; n < knots.size(); ++n) knots[n] = offsets[range] + scales[range] * (eighths[n] / 8.0f);
    } while (!(knots[degree] < knots[numCtrl]));
    return knots;
}
