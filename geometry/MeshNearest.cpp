#include "geometry/MeshNearest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "geometry/Arrays.h"
#include "geometry/BothCores.h"
#include "geometry/KeySort.h"

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

// A box about triangles, empty until one is added.
struct RunBox {
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float high[3] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                     -std::numeric_limits<float>::max()};

    void add(const RunBox& other)
    {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], other.low[a]);
            high[a] = std::max(high[a], other.high[a]);
        }
    }
    // Its widths along the three axes added up.
    double width() const
    {
        return (double(high[0]) - low[0]) + (double(high[1]) - low[1]) + (double(high[2]) - low[2]);
    }
};

void boxTriangle(const TriangleMesh& mesh, int32_t triangle, RunBox& box)
{
    for (int k = 0; k < 3; ++k) {
        const float* v = vertexOf(mesh, triangle, k);
        for (int a = 0; a < 3; ++a) {
            box.low[a] = std::min(box.low[a], v[a]);
            box.high[a] = std::max(box.high[a], v[a]);
        }
    }
}

}  // namespace

// What the tree is built over: items, each a run of consecutive triangles
// that lie together or a single triangle, keyed by Morton code with the item's
// first triangle below it, and after the sort each item's first entry of order.
struct MeshNearest::Items {
    const uint64_t* keys = nullptr;
    const int32_t* offsets = nullptr;  // one more than there are items
    const RunBox* runs = nullptr;
    const uint8_t* together = nullptr;  // per run

    int32_t triangleOf(int32_t item) const { return int32_t(keys[item] & 0xFFFFFFFFu); }
};

void MeshNearest::setup(const TriangleMesh& source)
{
    release();
    mesh = &source;
    const int32_t count = source.triangleCount;
    if (count <= 0) return;

    // Centres quantised to 10 bits per axis over the box of all vertices, which
    // holds every one of them, interleaved: a sort puts near items side by side.
    // Centres are taken three times over, so a triangle's is the sum of its corners.
    float low[3], high[3];
    for (int a = 0; a < 3; ++a) {
        low[a] = std::numeric_limits<float>::max();
        high[a] = -std::numeric_limits<float>::max();
    }
    for (int32_t v = 0; v < source.vertexCount; ++v) {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], source.positions[size_t(v) * 3 + a]);
            high[a] = std::max(high[a], source.positions[size_t(v) * 3 + a]);
        }
    }
    const double cells = double(1 << kMortonBits) - 1.0;
    double toCell[3];
    for (int a = 0; a < 3; ++a) {
        const double extent = double(high[a]) - low[a];
        toCell[a] = extent > 0.0 ? cells / (3.0 * extent) : 0.0;
    }
    auto codeOf = [&](const double centreTimesThree[3]) {
        uint32_t code = 0;
        for (int a = 0; a < 3; ++a) {
            const double q = (centreTimesThree[a] - 3.0 * double(low[a])) * toCell[a];
            code |= spreadBits(static_cast<uint32_t>(std::min(std::max(q, 0.0), cells))) << (2 - a);
        }
        return uint64_t(code) << 32;
    };

    // Each run's box, and whether its triangles lie together: no wider on
    // any axis than their own widths added up, as a chain of touching
    // triangles always is.
    const int32_t runCount = (count + kLeafTriangles - 1) / kLeafTriangles;
    std::vector<RunBox> runs(static_cast<size_t>(runCount));
    std::vector<uint8_t> together(static_cast<size_t>(runCount));
    std::vector<int32_t> itemStarts(size_t(runCount) + 1);
    runInHalves(runCount, [&](int32_t begin, int32_t end) {
        for (int32_t r = begin; r < end; ++r) {
            RunBox& box = runs[r];
            boxTriangle(source, r * kLeafTriangles, box);
            double widths = box.width();
            const int32_t last = std::min(count, (r + 1) * kLeafTriangles);
            for (int32_t t = r * kLeafTriangles + 1; t < last; ++t) {
                RunBox one;
                boxTriangle(source, t, one);
                widths += one.width();
                box.add(one);
            }
            together[r] = box.width() <= widths ? 1 : 0;
        }
    });
    itemStarts[0] = 0;
    for (int32_t r = 0; r < runCount; ++r) {
        itemStarts[r + 1] = itemStarts[r] + (together[r] ? 1 : std::min(count - r * kLeafTriangles, kLeafTriangles));
    }
    const int32_t itemCount = itemStarts[runCount];
    std::unique_ptr<uint64_t[]> keys(new uint64_t[size_t(itemCount)]);
    runInHalves(runCount, [&](int32_t begin, int32_t end) {
        for (int32_t r = begin; r < end; ++r) {
            const int32_t first = r * kLeafTriangles;
            if (together[r]) {
                const RunBox& box = runs[r];
                const double centre[3] = {1.5 * (double(box.low[0]) + box.high[0]),
                                          1.5 * (double(box.low[1]) + box.high[1]),
                                          1.5 * (double(box.low[2]) + box.high[2])};
                keys[itemStarts[r]] = codeOf(centre) | uint32_t(first);
                continue;
            }
            const int32_t last = std::min(count, first + kLeafTriangles);
            for (int32_t t = first; t < last; ++t) {
                const float* v0 = vertexOf(source, t, 0);
                const float* v1 = vertexOf(source, t, 1);
                const float* v2 = vertexOf(source, t, 2);
                const double centre[3] = {double(v0[0]) + v1[0] + v2[0], double(v0[1]) + v1[1] + v2[1],
                                          double(v0[2]) + v1[2] + v2[2]};
                keys[itemStarts[r] + (t - first)] = codeOf(centre) | uint32_t(t);
            }
        }
    });
    sortKeysByCode(keys, itemCount);

    // Each item's place in order, then its triangles there.
    std::vector<int32_t> offsets(size_t(itemCount) + 1);
    Items items;
    items.keys = keys.get();
    items.offsets = offsets.data();
    items.runs = runs.data();
    items.together = together.data();
    offsets[0] = 0;
    for (int32_t i = 0; i < itemCount; ++i) {
        const int32_t t = items.triangleOf(i);
        const int32_t run = t / kLeafTriangles;
        offsets[i + 1] = offsets[i] + (together[run] ? std::min(count - t, kLeafTriangles) : 1);
    }
    order = new int32_t[size_t(count)];
    runInHalves(itemCount, [&](int32_t begin, int32_t end) {
        for (int32_t i = begin; i < end; ++i) {
            const int32_t t = items.triangleOf(i);
            for (int32_t k = 0; k < offsets[i + 1] - offsets[i]; ++k) order[offsets[i] + k] = t + k;
        }
    });

    // At most 2 n - 1 nodes over n items; the pages past the ones used are
    // never touched.
    nodes = new Node[size_t(itemCount) * 2];
    if (count <= kLeafTriangles) {
        int32_t next = 1;
        build(0, items, 0, itemCount, 0, next);
    } else {
        // The root's two halves are built at once, each numbering its nodes in
        // a range of its own: a subtree over n items has at most 2 n - 1.
        const int32_t split = splitOf(items.keys, 0, itemCount, 0);
        Node& root = nodes[0];
        root.first = 1;
        root.count = 0;
        int32_t nextLow = 3;
        int32_t nextHigh = 1 + 2 * split;
        if (count >= kWorthBothCores) {
            runBoth([&] { build(1, items, 0, split, 1, nextLow); },
                    [&] { build(2, items, split, itemCount, 1, nextHigh); });
        } else {
            build(1, items, 0, split, 1, nextLow);
            build(2, items, split, itemCount, 1, nextHigh);
        }
        for (int a = 0; a < 3; ++a) {
            root.low[a] = std::min(nodes[1].low[a], nodes[2].low[a]);
            root.high[a] = std::max(nodes[1].high[a], nodes[2].high[a]);
        }
    }
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

void MeshNearest::boxLeaf(Node& leaf, const Items& items, int32_t begin, int32_t end) const
{
    leaf.first = items.offsets[begin];
    leaf.count = items.offsets[end] - items.offsets[begin];
    RunBox box;
    for (int32_t i = begin; i < end; ++i) {
        const int32_t t = items.triangleOf(i);
        const int32_t run = t / kLeafTriangles;
        if (items.together[run]) {
            box.add(items.runs[run]);
        } else {
            RunBox one;
            boxTriangle(*mesh, t, one);
            box.add(one);
        }
    }
    for (int a = 0; a < 3; ++a) {
        leaf.low[a] = box.low[a];
        leaf.high[a] = box.high[a];
    }
}

void MeshNearest::build(int32_t node, const Items& items, int32_t begin, int32_t end, int depth, int32_t& next)
{
    // An item holds at most a leaf's worth of triangles, so a range of one is a leaf.
    if (items.offsets[end] - items.offsets[begin] <= kLeafTriangles) {
        boxLeaf(nodes[node], items, begin, end);
        return;
    }
    const int32_t split = splitOf(items.keys, begin, end, depth);
    const int32_t children = next;
    next += 2;
    nodes[node].first = children;
    nodes[node].count = 0;
    build(children, items, begin, split, depth + 1, next);
    build(children + 1, items, split, end, depth + 1, next);
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
        if (d < best || (d == best && t < bestTriangle)) {
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
