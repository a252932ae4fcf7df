#include "geometry/MeshRoots.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Only the largest cells' worth of a neighbour grid is ever allocated.
constexpr int64_t kMaxGridCells = int64_t(1) << 22;

double distanceSquared(const float a[3], const float b[3])
{
    const double d[3] = {double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// Neighbours of every candidate within reach, as one list per candidate with
// the weight each neighbour puts on it.
struct Neighbours {
    int32_t* start = nullptr;  // count + 1 offsets into index and weight
    int32_t* index = nullptr;
    double* weight = nullptr;

    ~Neighbours()
    {
        delete[] start;
        delete[] index;
        delete[] weight;
    }
};

// A grid of cells as wide as the reach, so a candidate's neighbours are in the
// 27 cells around its own. Cells are widened when the box would need too many.
void findNeighbours(const SurfacePoint* candidates, int32_t count, double reach, Neighbours& out)
{
    double low[3], high[3];
    for (int a = 0; a < 3; ++a) {
        low[a] = std::numeric_limits<double>::max();
        high[a] = -std::numeric_limits<double>::max();
    }
    for (int32_t i = 0; i < count; ++i) {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], double(candidates[i].position[a]));
            high[a] = std::max(high[a], double(candidates[i].position[a]));
        }
    }
    double cell = reach;
    int64_t dims[3];
    for (;;) {
        for (int a = 0; a < 3; ++a) dims[a] = int64_t((high[a] - low[a]) / cell) + 1;
        if (dims[0] * dims[1] * dims[2] <= kMaxGridCells) break;
        cell *= 2.0;
    }
    auto cellOf = [&](const float* p, int64_t c[3]) {
        for (int a = 0; a < 3; ++a) {
            c[a] = std::min(dims[a] - 1, int64_t((p[a] - low[a]) / cell));
        }
    };
    const int64_t cellCount = dims[0] * dims[1] * dims[2];
    int32_t* cellStart = new int32_t[size_t(cellCount) + 1]();
    int32_t* cellOfCandidate = new int32_t[size_t(count)];
    for (int32_t i = 0; i < count; ++i) {
        int64_t c[3];
        cellOf(candidates[i].position, c);
        cellOfCandidate[i] = static_cast<int32_t>((c[2] * dims[1] + c[1]) * dims[0] + c[0]);
        ++cellStart[cellOfCandidate[i] + 1];
    }
    for (int64_t c = 0; c < cellCount; ++c) cellStart[c + 1] += cellStart[c];
    int32_t* inCell = new int32_t[size_t(count)];
    int32_t* fill = new int32_t[size_t(cellCount)];
    std::copy(cellStart, cellStart + cellCount, fill);
    for (int32_t i = 0; i < count; ++i) inCell[fill[cellOfCandidate[i]]++] = i;
    delete[] fill;

    // Two passes over the same cells: the first counts, the second fills.
    const double reach2 = reach * reach;
    out.start = new int32_t[size_t(count) + 1];
    for (int pass = 0; pass < 2; ++pass) {
        int32_t written = 0;
        for (int32_t i = 0; i < count; ++i) {
            out.start[i] = written;
            int64_t c[3];
            cellOf(candidates[i].position, c);
            for (int64_t z = std::max<int64_t>(c[2] - 1, 0); z <= std::min(c[2] + 1, dims[2] - 1); ++z) {
                for (int64_t y = std::max<int64_t>(c[1] - 1, 0); y <= std::min(c[1] + 1, dims[1] - 1); ++y) {
                    for (int64_t x = std::max<int64_t>(c[0] - 1, 0); x <= std::min(c[0] + 1, dims[0] - 1); ++x) {
                        const int64_t k = (z * dims[1] + y) * dims[0] + x;
                        for (int32_t e = cellStart[k]; e < cellStart[k + 1]; ++e) {
                            const int32_t j = inCell[e];
                            const double d2 = distanceSquared(candidates[i].position, candidates[j].position);
                            if (j == i || d2 >= reach2) continue;
                            if (pass == 1) {
                                const double closeness = 1.0 - std::sqrt(d2) / reach;
                                const double c2 = closeness * closeness;
                                const double c4 = c2 * c2;
                                out.index[written] = j;
                                out.weight[written] = c4 * c4;
                            }
                            ++written;
                        }
                    }
                }
            }
        }
        out.start[count] = written;
        if (pass == 0) {
            out.index = new int32_t[size_t(written) + 1];
            out.weight = new double[size_t(written) + 1];
        }
    }
    delete[] inCell;
    delete[] cellOfCandidate;
    delete[] cellStart;
}

// A max-heap of candidates by crowding that knows where each candidate sits.
struct CrowdingHeap {
    int32_t* heap;
    int32_t* place;
    const double* crowding;
    int32_t size;

    // Ties go to the later candidate, so the order never depends on the sort.
    bool above(int32_t a, int32_t b) const
    {
        return crowding[a] > crowding[b] || (crowding[a] == crowding[b] && a > b);
    }
    void swapAt(int32_t i, int32_t j)
    {
        std::swap(heap[i], heap[j]);
        place[heap[i]] = i;
        place[heap[j]] = j;
    }
    void up(int32_t i)
    {
        while (i > 0 && above(heap[i], heap[(i - 1) / 2])) {
            swapAt(i, (i - 1) / 2);
            i = (i - 1) / 2;
        }
    }
    void down(int32_t i)
    {
        for (;;) {
            int32_t top = i;
            const int32_t left = 2 * i + 1;
            if (left < size && above(heap[left], heap[top])) top = left;
            if (left + 1 < size && above(heap[left + 1], heap[top])) top = left + 1;
            if (top == i) return;
            swapAt(i, top);
            i = top;
        }
    }
    int32_t pop()
    {
        const int32_t first = heap[0];
        swapAt(0, --size);
        down(0);
        place[first] = -1;
        return first;
    }
};

}  // namespace

double rootSpacing(double area, int count)
{
    return count > 0 ? std::sqrt(area / count) : 0.0;
}

bool clusterRoots(const TriangleMesh& mesh, const AreaTable& areas, int count, uint64_t seed,
                  SurfacePoint* roots)
{
    const double area = areas.totalArea();
    if (count < 1 || count > std::numeric_limits<int32_t>::max() / kRootCandidatesPerRoot || !(area > 0.0)) {
        return false;
    }
    const int32_t candidateCount = count * kRootCandidatesPerRoot;
    SurfacePoint* candidates = new SurfacePoint[size_t(candidateCount)];
    SplitMix64 random{seed};
    for (int32_t i = 0; i < candidateCount; ++i) candidates[i] = areas.randomPoint(mesh, random);

    // Twice the radius of the discs that count roots packed as tightly as a
    // hexagonal grid would give: points farther apart do not crowd each other.
    const double reach = 2.0 * std::sqrt(area / (2.0 * std::sqrt(3.0) * count));
    Neighbours neighbours;
    findNeighbours(candidates, candidateCount, reach, neighbours);

    double* crowding = new double[size_t(candidateCount)];
    for (int32_t i = 0; i < candidateCount; ++i) {
        double sum = 0.0;
        for (int32_t e = neighbours.start[i]; e < neighbours.start[i + 1]; ++e) sum += neighbours.weight[e];
        crowding[i] = sum;
    }
    CrowdingHeap heap{new int32_t[size_t(candidateCount)], new int32_t[size_t(candidateCount)], crowding,
                      candidateCount};
    for (int32_t i = 0; i < candidateCount; ++i) {
        heap.heap[i] = i;
        heap.place[i] = i;
    }
    for (int32_t i = candidateCount / 2; i-- > 0;) heap.down(i);

    while (heap.size > count) {
        const int32_t removed = heap.pop();
        for (int32_t e = neighbours.start[removed]; e < neighbours.start[removed + 1]; ++e) {
            const int32_t j = neighbours.index[e];
            if (heap.place[j] < 0) continue;
            crowding[j] -= neighbours.weight[e];
            heap.down(heap.place[j]);
        }
    }
    int32_t written = 0;
    for (int32_t i = 0; i < candidateCount; ++i) {
        if (heap.place[i] >= 0) roots[written++] = candidates[i];
    }
    delete[] heap.heap;
    delete[] heap.place;
    delete[] crowding;
    delete[] candidates;
    return true;
}

bool rootNear(const MeshNearest& nearest, const SurfacePoint& clusterRoot, double radius, double u1,
              double u2, SurfacePoint& root)
{
    float inDisc[3];
    pointInDisc(clusterRoot.position, clusterRoot.normal, radius, u1, u2, inDisc);
    return nearest.nearestPoint(inDisc, root, clusterRoot.triangle);
}
