#ifndef TRESSMOOR_HAIR_HAIRGROWTH_H
#define TRESSMOOR_HAIR_HAIRGROWTH_H

#include "hair/HairRecipe.h"

// Scale of the random root index on the 21 x 21 sample grid of a surface.
constexpr int kRootSampleLimit = 440;

// Grow the whole hair of the recipe into hairStore. Both refuse, and change
// nothing (not even the rand() sequence), when the recipe asks for more than
// the store holds or for a strand it cannot build; the surface grower also
// refuses unless the shape is Sphere or Torus and underlyingSurface is set up
// with at least 441 samples.
bool growPlaneHair(const HairRecipe& recipe);
bool growSurfaceHair(const HairRecipe& recipe);

// Build the recipe's shape as its builder does and grow its hair: the plane's
// hair directly, the sphere or torus after setting up underlyingSurface.
bool growShapeHair(const HairRecipe& recipe);

#endif
