#ifndef TRESSMOOR_HAIR_HAIRGROWTH_H
#define TRESSMOOR_HAIR_HAIRGROWTH_H

#include "hair/HairRecipe.h"

class HairStore;
class NurbsSurface;

// Scale of the random root index on the 21 x 21 sample grid of a surface.
constexpr int kRootSampleLimit = 440;

// Grow the whole hair of the recipe into the store. Both refuse, and change
// nothing (not even the rand() sequence), when the recipe asks for more than
// the store holds or for a strand it cannot build; the surface grower roots the
// hair on the surface's sample grid, and also refuses unless the shape is Sphere
// or Torus and the surface is set up with at least 441 samples.
bool growPlaneHair(const HairRecipe& recipe, HairStore& store);
bool growSurfaceHair(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store);

// Build the recipe's shape as its builder does and grow its hair: the plane's
// hair directly, the sphere's or torus's after setting it up on the surface.
bool growShapeHair(const HairRecipe& recipe, NurbsSurface& surface, HairStore& store);

#endif
