#ifndef TRESSMOOR_TESTS_HAIR_HAIRTESTSUPPORT_H
#define TRESSMOOR_TESTS_HAIR_HAIRTESTSUPPORT_H

#include <ostream>
#include <string>
#include <vector>

#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairRecipe.h"

class HairStore;

struct Point3 {
    float x;
    float y;
    float z;
};

using Centreline = std::vector<Point3>;
using Bytes = std::vector<unsigned char>;

// Test messages show a shape or a style by its code, as the settings hold it.
std::ostream& operator<<(std::ostream& out, UnderlyingShape shape);
std::ostream& operator<<(std::ostream& out, HairStyle style);

HairRecipe makeRecipe(UnderlyingShape shape, HairStyle style, int clusters, int hairs, int parts,
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

// Build the recipe's shape on the surface and grow its hair into the store, its
// printing captured; a fatal failure when the growth is refused.
void growQuietly(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store);

// Every byte that defines each current strand of the store (counts, control net,
// knots and the precomputed basis tables), one entry per strand in record order.
std::vector<Bytes> currentStrands(const HairStore& store);

// Where two strand lists first differ, or "" when they are identical.
std::string firstDifference(const std::vector<Bytes>& expected, const std::vector<Bytes>& actual);

// The whole sample grid of the surface, without its printed line.
std::vector<SurfaceVertex> wholeGrid(NurbsSurface& surface);

#endif
