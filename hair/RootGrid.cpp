#include "hair/RootGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Guides rooted at one place share it: places in the order of their first guide.
// Cells are sized so that each holds a few places on average, whether the places
// fill a volume or, as here, cover a surface.
RootGrid::RootGrid(const std::vector<float>& roots)
{
    const uint32_t guides = static_cast<uint32_t>(roots.size() / 3);
    std::vector<uint32_t> order(guides);
    for (uint32_t g = 0; g < guides; ++g) {
        order[g] = g;
    }
    auto rootOf = [&](uint32_t g) { return &roots[3 * size_t(g)]; };
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return std::memcmp(rootOf(a), rootOf(b), 3 * sizeof(float)) < 0;
    });
    for (size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || std::memcmp(rootOf(order[k - 1]), rootOf(order[k]), 3 * sizeof(float)) != 0) {
            placeStarts.push_back(static_cast<uint32_t>(k));
            placeRoots.insert(placeRoots.end(), rootOf(order[k]), rootOf(order[k]) + 3);
        }
        placeGuides.push_back(order[k]);
    }
    placeStarts.push_back(static_cast<uint32_t>(order.size()));

    const size_t places = placeRoots.size() / 3;
    float low[3] = {placeRoots[0], placeRoots[1], placeRoots[2]};
    float high[3] = {low[0], low[1], low[2]};
    for (size_t k = 0; k < places; ++k) {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], placeRoots[3 * k + a]);
            high[a] = std::max(high[a], placeRoots[3 * k + a]);
        }
    }
    const float largest = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
    const float perSide = std::max(1.0f, std::cbrt(static_cast<float>(places)));
    cellSize = largest > 0.0f ? largest / perSide : 1.0f;
    size_t cells = 1;
    for (int a = 0; a < 3; ++a) {
        gridOrigin[a] = low[a];
        gridSize[a] = std::clamp(static_cast<int>((high[a] - low[a]) / cellSize) + 1, 1,
                                 kMaxCellsPerSide);
        cells *= static_cast<size_t>(gridSize[a]);
    }

    std::vector<size_t> placeCells(places);
    cellStarts.assign(cells + 1, 0);
    for (size_t k = 0; k < places; ++k) {
        int cell[3];
        cellOf(&placeRoots[3 * k], cell);
        placeCells[k] = cellIndex(cell);
        ++cellStarts[placeCells[k] + 1];
    }
    for (size_t c = 0; c < cells; ++c) {
        cellStarts[c + 1] += cellStarts[c];
    }
    cellPlaces.resize(places);
    std::vector<uint32_t> filled(cellStarts.begin(), cellStarts.end() - 1);
    for (size_t k = 0; k < places; ++k) {
        cellPlaces[filled[placeCells[k]]++] = static_cast<uint32_t>(k);
    }
}

void RootGrid::cellOf(const float point[3], int cell[3]) const
{
    for (int a = 0; a < 3; ++a) {
        // Clamped while still a float, so a point far outside converts safely.
        const float along = std::floor((point[a] - gridOrigin[a]) / cellSize);
        cell[a] = static_cast<int>(std::clamp(along, 0.0f, static_cast<float>(gridSize[a] - 1)));
    }
}

size_t RootGrid::cellIndex(const int cell[3]) const
{
    const size_t row = static_cast<size_t>(cell[2]) * gridSize[1] + static_cast<size_t>(cell[1]);
    return row * gridSize[0] + static_cast<size_t>(cell[0]);
}

// Shells of cells outward from the point's cell, until no cell further out can
// hold a root nearer than the third found: a point in a cell k shells away lies
// at least (k - 1) cells from the point.
int RootGrid::nearestThree(const float point[3], uint32_t found[3], float distance[3]) const
{
    int centre[3];
    cellOf(point, centre);
    float bestSq[3] = {0.0f, 0.0f, 0.0f};
    int count = 0;
    const int wanted = static_cast<int>(std::min<size_t>(3, placeGuides.size()));

    // Equal distances keep the lower guide first, whatever the cell order.
    auto consider = [&](uint32_t g, float dSq) {
        auto nearer = [&](int k) { return dSq < bestSq[k] || (dSq == bestSq[k] && g < found[k]); };
        if (count == wanted && !nearer(wanted - 1)) {
            return false;
        }
        int k = count < wanted ? count++ : wanted - 1;
        for (; k > 0 && nearer(k - 1); --k) {
            bestSq[k] = bestSq[k - 1];
            found[k] = found[k - 1];
        }
        bestSq[k] = dSq;
        found[k] = g;
        return true;
    };
    auto visit = [&](int x, int y, int z) {
        if (x < 0 || y < 0 || z < 0 || x >= gridSize[0] || y >= gridSize[1] || z >= gridSize[2]) {
            return;
        }
        const int cell[3] = {x, y, z};
        const size_t c = cellIndex(cell);
        for (uint32_t m = cellStarts[c]; m < cellStarts[c + 1]; ++m) {
            const uint32_t place = cellPlaces[m];
            const float* r = &placeRoots[3 * place];
            const float d[3] = {r[0] - point[0], r[1] - point[1], r[2] - point[2]};
            const float dSq = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            // A place's guides come in order, so once one is not taken none after it is.
            for (uint32_t k = placeStarts[place]; k < placeStarts[place + 1]; ++k) {
                if (!consider(placeGuides[k], dSq)) {
                    break;
                }
            }
        }
    };
    const int lastShell = std::max({gridSize[0], gridSize[1], gridSize[2]});
    for (int shell = 0; shell <= lastShell; ++shell) {
        for (int dx = -shell; dx <= shell; ++dx) {
            for (int dy = -shell; dy <= shell; ++dy) {
                const bool onSide = std::abs(dx) == shell || std::abs(dy) == shell;
                // Inside the shell's sides only its top and bottom cells are new.
                const int step = onSide || shell == 0 ? 1 : 2 * shell;
                for (int dz = -shell; dz <= shell; dz += step) {
                    visit(centre[0] + dx, centre[1] + dy, centre[2] + dz);
                }
            }
        }
        const float reach = static_cast<float>(shell) * cellSize;
        if (count == wanted && reach * reach >= bestSq[wanted - 1]) {
            break;
        }
    }
    for (int k = 0; k < count; ++k) {
        distance[k] = std::sqrt(bestSq[k]);
    }
    return count;
}
