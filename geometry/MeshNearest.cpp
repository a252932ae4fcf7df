#include "geometry/MeshNearest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "geometry/Arrays.h"
#include "geometry/BothCores.h"

namespace {

constexpr int kLeafTriangles = 8;
constexpr int kMortonBits = 10;
// Past this depth ranges are halved by count, which keeps the tree shallower
// than the search's stack however the triangles cluster.
constexpr int kMortonDepth = 60;
constexpr int kSearchStack = 128;

uint32_t spreadBits(uint32_t x)
{
    x = (x | (x << 16)) & 0x030000FFu;
    x = (x | (x << 8)) & 0x0300F00Fu;
    x = (x | (x << 4)) & 0x030C30C3u;
    x = (x | (x << 2)) & 0x09249249u;
    return x;
}

const float* vertexOf(const TriangleMesh& mesh, int32_t triangle, int corner)
{
    return mesh.positions + size_t(mesh.triangles[size_t(triangle) * 3 + corner]) * 3;
}

void toDouble(const float* from, double to[3])
{
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

double distanceSquared(const double a[3], const double b[3])
{
    const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

float boxDistanceSquared(const MeshNearest::Node& node, const float p[3])
{
    float sum = 0.0f;
    for (int a = 0; a < 3; ++a) {
        const float below = node.low[a] - p[a];
        const float above = p[a] - node.high[a];
        const float d = below > 0.0f ? below : (above > 0.0f ? above : 0.0f);
        sum += d * d;
    }
    return sum;
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

// Least significant digit first, 10 bits at a time over the 30 bits of the
// codes; stable, so triangles of one cell stay in triangle order. Each half of
// the keys is counted and placed on a core of its own, the first half's keys
// of a digit before the second's.
void sortKeys(uint64_t*& keys, int32_t count)
{
    constexpr int kDigitBits = 10;
    constexpr int kDigits = 1 << kDigitBits;
    uint64_t* sorted = new uint64_t[size_t(count)];
    std::vector<int32_t> starts(2 * size_t(kDigits));
    const int32_t bounds[3] = {0, count / 2, count};
    for (int shift = 32; shift < 32 + 3 * kMortonBits; shift += kDigitBits) {
        auto digit = [shift](uint64_t key) { return int((key >> shift) & (kDigits - 1)); };
        auto countHalf = [&](int half) {
            int32_t* mine = starts.data() + size_t(half) * kDigits;
            std::fill(mine, mine + kDigits, 0);
            for (int32_t i = bounds[half]; i < bounds[half + 1]; ++i) ++mine[digit(keys[i])];
        };
        runBoth([&] { countHalf(0); }, [&] { countHalf(1); });
        int32_t running = 0;
        for (int d = 0; d < kDigits; ++d) {
            for (int half = 0; half < 2; ++half) {
                int32_t& start = starts[size_t(half) * kDigits + size_t(d)];
                const int32_t here = start;
                start = running;
                running += here;
            }
        }
        auto placeHalf = [&](int half) {
            int32_t* mine = starts.data() + size_t(half) * kDigits;
            for (int32_t i = bounds[half]; i < bounds[half + 1]; ++i) sorted[mine[digit(keys[i])]++] = keys[i];
        };
        runBoth([&] { placeHalf(0); }, [&] { placeHalf(1); });
        std::swap(keys, sorted);
    }
    delete[] sorted;
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

void MeshNearest::setup(const TriangleMesh& source)
{
    release();
    mesh = &source;
    const int32_t count = source.triangleCount;
    if (count <= 0) return;

    // Centroids quantised to 10 bits per axis over their box, interleaved, with
    // the triangle in the low half: a sort puts near triangles side by side.
    float low[3], high[3];
    for (int a = 0; a < 3; ++a) {
        low[a] = std::numeric_limits<float>::max();
        high[a] = -std::numeric_limits<float>::max();
    }
    // The box of all vertices holds every centroid, and is read in order.
    for (int32_t v = 0; v < source.vertexCount; ++v) {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], source.positions[size_t(v) * 3 + a]);
            high[a] = std::max(high[a], source.positions[size_t(v) * 3 + a]);
        }
    }
    uint64_t* keys = new uint64_t[size_t(count)];
    const double cells = double(1 << kMortonBits) - 1.0;
    double toCell[3];
    for (int a = 0; a < 3; ++a) {
        const double extent = double(high[a]) - low[a];
        toCell[a] = extent > 0.0 ? cells / (3.0 * extent) : 0.0;
    }
    auto codeTriangles = [&](int32_t begin, int32_t end) {
        for (int32_t t = begin; t < end; ++t) {
            const float* v0 = vertexOf(source, t, 0);
            const float* v1 = vertexOf(source, t, 1);
            const float* v2 = vertexOf(source, t, 2);
            uint32_t code = 0;
            for (int a = 0; a < 3; ++a) {
                // Three times the centroid, less three times the low corner.
                const double q = (double(v0[a]) + v1[a] + v2[a] - 3.0 * double(low[a])) * toCell[a];
                const uint32_t cell = static_cast<uint32_t>(std::min(std::max(q, 0.0), cells));
                code |= spreadBits(cell) << (2 - a);
            }
            keys[t] = (uint64_t(code) << 32) | uint32_t(t);
        }
    };
    runBoth([&] { codeTriangles(0, count / 2); }, [&] { codeTriangles(count / 2, count); });
    sortKeys(keys, count);
    order = new int32_t[size_t(count)];
    for (int32_t i = 0; i < count; ++i) order[i] = static_cast<int32_t>(keys[i] & 0xFFFFFFFFu);

    // At most 2 n - 1 nodes; the pages past the ones used are never touched.
    nodes = new Node[size_t(count) * 2];
    nodeCount = 1;
    if (count <= kLeafTriangles) {
        build(0, keys, 0, count, 0, nodeCount);
    } else {
        // The root's two halves are built at once, each numbering its nodes in
        // a range of its own: a subtree over n triangles has at most 2 n - 1.
        const int32_t split = splitOf(keys, 0, count, 0);
        Node& root = nodes[0];
        root.first = 1;
        root.count = 0;
        int32_t nextLow = 3;
        int32_t nextHigh = 1 + 2 * split;
        runBoth([&] { build(1, keys, 0, split, 1, nextLow); },
                [&] { build(2, keys, split, count, 1, nextHigh); });
        nodeCount = nextHigh;
        for (int a = 0; a < 3; ++a) {
            root.low[a] = std::min(nodes[1].low[a], nodes[2].low[a]);
            root.high[a] = std::max(nodes[1].high[a], nodes[2].high[a]);
        }
    }
    delete[] keys;
}

int32_t MeshNearest::splitOf(const uint64_t* keys, int32_t begin, int32_t end, int depth)
{
    // Where the highest bit in which the range's codes differ turns on.
    const uint64_t firstCode = keys[begin] >> 32;
    const uint64_t lastCode = keys[end - 1] >> 32;
    if (depth >= kMortonDepth || firstCode == lastCode) return begin + (end - begin) / 2;
    const int bit = 63 - __builtin_clzll(firstCode ^ lastCode);
    const uint64_t* at = std::lower_bound(keys + begin, keys + end, uint64_t(1) << bit,
                                          [bit](uint64_t key, uint64_t) { return !(((key >> 32) >> bit) & 1u); });
    return static_cast<int32_t>(at - keys);
}

void MeshNearest::build(int32_t node, const uint64_t* keys, int32_t begin, int32_t end, int depth, int32_t& next)
{
    Node& n = nodes[node];
    if (end - begin <= kLeafTriangles) {
        n.first = begin;
        n.count = end - begin;
        for (int a = 0; a < 3; ++a) {
            n.low[a] = std::numeric_limits<float>::max();
            n.high[a] = -std::numeric_limits<float>::max();
        }
        for (int32_t i = begin; i < end; ++i) {
            for (int k = 0; k < 3; ++k) {
                const float* v = vertexOf(*mesh, order[i], k);
                for (int a = 0; a < 3; ++a) {
                    n.low[a] = std::min(n.low[a], v[a]);
                    n.high[a] = std::max(n.high[a], v[a]);
                }
            }
        }
        return;
    }
    const int32_t split = splitOf(keys, begin, end, depth);
    const int32_t children = next;
    next += 2;
    n.first = children;
    n.count = 0;
    build(children, keys, begin, split, depth + 1, next);
    build(children + 1, keys, split, end, depth + 1, next);
    Node& parent = nodes[node];
    for (int a = 0; a < 3; ++a) {
        parent.low[a] = std::min(nodes[children].low[a], nodes[children + 1].low[a]);
        parent.high[a] = std::max(nodes[children].high[a], nodes[children + 1].high[a]);
    }
}

void MeshNearest::release()
{
    freeArray(nodes);
    freeArray(order);
    nodeCount = 0;
    mesh = nullptr;
}

bool MeshNearest::nearestPoint(const float point[3], SurfacePoint& nearest, int32_t hint) const
{
    if (nodes == nullptr || !std::isfinite(point[0]) || !std::isfinite(point[1]) ||
        !std::isfinite(point[2])) {
        return false;
    }
    const double p[3] = {point[0], point[1], point[2]};
    double best = std::numeric_limits<double>::infinity();
    int32_t bestTriangle = -1;
    double bestB = 0.0, bestC = 0.0;
    auto consider = [&](int32_t t) {
        double a[3], b[3], c[3];
        toDouble(vertexOf(*mesh, t, 0), a);
        toDouble(vertexOf(*mesh, t, 1), b);
        toDouble(vertexOf(*mesh, t, 2), c);
        double wb, wc;
        nearestOnTriangle(p, a, b, c, wb, wc);
        double q[3];
        for (int k = 0; k < 3; ++k) q[k] = a[k] + wb * (b[k] - a[k]) + wc * (c[k] - a[k]);
        const double d = distanceSquared(p, q);
        if (d < best) {
            best = d;
            bestTriangle = t;
            bestB = wb;
            bestC = wc;
        }
    };
    if (hint >= 0 && hint < mesh->triangleCount) consider(hint);
    int32_t stack[kSearchStack];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const Node& n = nodes[stack[--top]];
        // Boxes are float; a little slack keeps rounding from pruning the answer.
        if (double(boxDistanceSquared(n, point)) > best * (1.0 + 1e-6)) continue;
        if (n.count > 0) {
            for (int32_t i = n.first; i < n.first + n.count; ++i) consider(order[i]);
            continue;
        }
        // The nearer child is searched first, so the farther is often pruned;
        // a child already too far is not kept at all. The grandchildren are
        // fetched early, while the search goes on.
        const float near0 = boxDistanceSquared(nodes[n.first], point);
        const float near1 = boxDistanceSquared(nodes[n.first + 1], point);
        const bool firstNearer = near0 <= near1;
        const int32_t order2[2] = {firstNearer ? n.first + 1 : n.first, firstNearer ? n.first : n.first + 1};
        const float distance2[2] = {firstNearer ? near1 : near0, firstNearer ? near0 : near1};
        for (int k = 0; k < 2; ++k) {
            if (double(distance2[k]) > best * (1.0 + 1e-6)) continue;
            const Node& child = nodes[order2[k]];
            if (child.count == 0) __builtin_prefetch(nodes + child.first);
            stack[top++] = order2[k];
        }
    }
    if (bestTriangle < 0) return false;
    nearest = pointOnTriangle(*mesh, bestTriangle, bestB, bestC);
    return true;
}
