#ifndef TRESSMOOR_HAIR_HAIRGROWTH_H
#define TRESSMOOR_HAIR_HAIRGROWTH_H

class HairSettings;

// Scale of the random root index on the 21 x 21 sample grid of a surface.
constexpr int kRootSampleLimit = 440;

// Grow the whole hair from the settings into hairStore. Both refuse, and change
// nothing (not even the rand() sequence), when the settings ask for more than
// the store holds or for a strand it cannot build; the surface grower also
// refuses unless the shape is Sphere or Torus and underlyingSurface is set up
// with at least 441 samples.
bool growPlaneHair(const HairSettings& settings);
bool growSurfaceHair(const HairSettings& settings);

#endif
