#ifndef TRESSMOOR_TESTS_HAIR_HAIRTESTSUPPORT_H
#define TRESSMOOR_TESTS_HAIR_HAIRTESTSUPPORT_H

#include <string>
#include <vector>

#include "hair/HairRecipe.h"
#include "geometry/NurbsSurface.h"

struct Point3 {
    float x;
    float y;
    float z;
};

using Centreline = std::vector<Point3>;
using Bytes = std::vector<unsigned char>;

HairRecipe makeRecipe(int shape, int style, int clusters, int hairs, int parts,
                          int length = 10, int restAngle = 1);

std::string describe(const HairRecipe& settings);

// Point r of a strand's centreline, read back from its control net. Ring points 2
// and 6 have zero x offset and points 0 and 4 zero y and z offsets, so this is exact.
Point3 centrePoint(const NurbsSurface& strand, int r);
Centreline centrelineOf(const NurbsSurface& strand);

// The value rand() returns after `draws` further draws, leaving the generator there.
int randAfter(long long draws);

// Run a grower with its printing captured; returns what it printed.
std::string growCapturingOutput(bool (*grower)(const HairRecipe&), const HairRecipe& settings,
                                bool* grown = nullptr);

// Build the recipe's shape and grow its hair, its printing captured; a fatal
// failure when the growth is refused.
void growQuietly(const HairRecipe& recipe);

// Every byte that defines each current strand of hairStore (counts, control net,
// knots and the precomputed basis tables), one entry per strand in record order.
std::vector<Bytes> currentStrands();

// Where two strand lists first differ, or "" when they are identical.
std::string firstDifference(const std::vector<Bytes>& expected, const std::vector<Bytes>& actual);

// The whole sample grid of underlyingSurface, without its printed line.
std::vector<SurfaceVertex> underlyingGrid();

#endif
