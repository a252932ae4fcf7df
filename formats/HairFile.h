#ifndef TRESSMOOR_FORMATS_HAIRFILE_H
#define TRESSMOOR_FORMATS_HAIRFILE_H

#include <cstddef>
#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "hair/HairRecipe.h"

// Tressmoor's own hair files: HAIR files that carry the recipe of the hair
// beside every strand's centreline (HairExport writes the same as OBJ or USD).

// Every strand tube is the unit ring swept along its centreline.
constexpr float kHairFileThickness = 2.0f;

// A saved coordinate farther out than this could overflow the tube's evaluation;
// grown hair never leaves a few hundred units of the origin.
constexpr float kMaxHairCoordinate = 1.0e6f;

// The largest file a valid Tressmoor hair can take: the most strands and points
// the sliders allow, with every optional array. Anything larger is refused unread.
constexpr size_t kMaxHairFileStrands =
    size_t(kClustersRange.maximum) * kClustersRange.maximum * kHairsRange.maximum;
constexpr size_t kMaxHairFilePoints = kMaxHairFileStrands * kPartsRange.maximum;
constexpr size_t kMaxHairFileSize = kHairHeaderSize + 2 * kMaxHairFileStrands + 32 * kMaxHairFilePoints;

// A hair as its files hold it: the recipe and the centrelines, x, y, z per point,
// strand by strand in record order, root first: clusters² x hairs x parts points.
struct HairFileContents {
    HairRecipe recipe;
    std::vector<float> points;
};

// Check every field of a HAIR file, then that it carries a recipe whose layout
// it follows, and only if all is well fill contents.
bool decodeHairFile(const unsigned char* data, size_t size, HairFileContents& contents,
                    std::string& problem);

// The recipe of checked strands whose layout follows it; false with the reason
// otherwise. hasTag tells whether the information text opens with a recipe at all.
bool readTressmoorRecipe(const HairStrands& strands, HairRecipe& recipe, bool& hasTag,
                         std::string& problem);

// The HAIR file's bytes; the points must follow the recipe's layout.
std::vector<unsigned char> encodeHairFile(const HairFileContents& contents);

#endif
