#ifndef TRESSMOOR_FORMATS_STOREDHAIR_H
#define TRESSMOOR_FORMATS_STOREDHAIR_H

#include <string>
#include <vector>

#include "formats/HairExport.h"
#include "formats/HairFile.h"

class HairStore;
class NurbsSurface;

// Take clusters, hairs and parts from the hair in the store, which is what the
// file will hold even if the sliders have moved since it grew. False when no hair
// has grown or the current strands do not share one layout.
bool adoptStoreLayout(const HairStore& store, HairRecipe& recipe, std::string& problem);

// The current strands' centrelines with the recipe, whose layout must match the
// store (see adoptStoreLayout).
bool storedHairContents(const HairStore& store, const HairRecipe& recipe,
                        HairFileContents& contents, std::string& problem);

// The same as its HAIR file's bytes, and its strands read in place from them:
// what files with children and pictures are made from, so that every format
// and picture takes the strands a saved file holds.
bool storedHairStrands(const HairStore& store, const HairRecipe& recipe, HairBytes& hair,
                       std::string& problem);

// The same, encoded in the chosen format; shapeSurface is the sphere or torus the
// hair grew on (see rootSurfaceCoordinates).
bool encodeStoredHair(const HairStore& store, NurbsSurface& shapeSurface, const HairRecipe& recipe,
                      HairFileFormat format, std::vector<unsigned char>& bytes,
                      std::string& problem);

// Load a decoded file: set the recipe's sphere or torus up on the surface as its
// builder does (the plane leaves it alone), then rebuild the store's current
// strands through buildStrand, clusters² records of hairs strands each. Grows
// nothing and draws no random numbers; false, changing nothing, for contents
// that do not follow a valid recipe.
bool applyHairFile(const HairFileContents& contents, NurbsSurface& surface, HairStore& store);

#endif
