#ifndef TRESSMOOR_HAIR_ROOTGRID_H
#define TRESSMOOR_HAIR_ROOTGRID_H

#include <cstddef>
#include <cstdint>
#include <vector>

// The guides' roots in a grid of cells, to find the guides whose roots are
// nearest a point. Grown hair roots many guides at one sample of the shape's
// grid, so the grid holds places, each listing the guides rooted there in order.
class RootGrid {
public:
    // At most this many cells a side, 16.7 million in all (64 MiB of cell
    // starts), however far apart a few roots lie.
    static constexpr int kMaxCellsPerSide = 256;

    // Roots as x, y, z per guide; at least one.
    explicit RootGrid(const std::vector<float>& roots);

    // Up to three guides whose roots are nearest the point, nearest first, with
    // their distances; equal distances keep the lower guide first.
    int nearestThree(const float point[3], uint32_t found[3], float distance[3]) const;

private:
    // The cell a point lies in, a point outside the grid in the nearest cell.
    void cellOf(const float point[3], int cell[3]) const;
    size_t cellIndex(const int cell[3]) const;

    std::vector<float> placeRoots;      // x, y, z per place
    std::vector<uint32_t> placeStarts;  // place k holds placeGuides[placeStarts[k] ..]
    std::vector<uint32_t> placeGuides;
    float gridOrigin[3] = {0.0f, 0.0f, 0.0f};
    float cellSize = 1.0f;
    int gridSize[3] = {1, 1, 1};
    std::vector<uint32_t> cellStarts;   // cell c holds cellPlaces[cellStarts[c] ..]
    std::vector<uint32_t> cellPlaces;
};

#endif
