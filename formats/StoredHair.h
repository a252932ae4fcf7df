#ifndef TRESSMOOR_FORMATS_STOREDHAIR_H
#define TRESSMOOR_FORMATS_STOREDHAIR_H

#include <string>
#include <vector>

#include "formats/HairExport.h"
#include "formats/HairFile.h"

class HairStore;

// Take clusters, hairs and parts from the hair in the store, which is what the
// file will hold even if the sliders have moved since it grew. False when no hair
// has grown or the current strands do not share one layout.
bool adoptStoreLayout(const HairStore& store, HairRecipe& recipe, std::string& problem);

// The current strands' centrelines with the recipe, whose layout must match the
// store (see adoptStoreLayout).
bool storedHairContents(const HairStore& store, const HairRecipe& recipe,
                        HairFileContents& contents, std::string& problem);

// The same, encoded in the chosen format.
bool encodeStoredHair(const HairStore& store, const HairRecipe& recipe, HairFileFormat format,
                      std::vector<unsigned char>& bytes, std::string& problem);

// Rebuild the store's current strands from a decoded file through buildStrand:
// clusters² records of hairs strands each. Draws no random numbers.
bool applyHairFile(const HairFileContents& contents);

#endif
