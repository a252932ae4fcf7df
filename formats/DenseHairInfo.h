#ifndef TRESSMOOR_FORMATS_DENSEHAIRINFO_H
#define TRESSMOOR_FORMATS_DENSEHAIRINFO_H

#include <string>

#include "hair/ChildStrands.h"
#include "hair/HairRecipe.h"

// What a HAIR file of hair with children or widths says of itself in the
// header's 88-byte information text: the recipe and growth its guides came
// from, when Tressmoor grew them, and every child option, so that the hair can
// be made again and told apart from another program's strands.
//
// Where it all fits, the text is words: "tressmoor-dense 1", the recipe's shape,
// style and five numbers, "children=N", the mode, then the options that differ
// from their defaults, the widths as one word, e.g. "tressmoor-dense 1 sphere
// combed 10 1 50 10 16 children=200 between radius=6 widths=3:0.5". Where it
// does not, "tressmoor-dense 2" and the same values packed in base64, so that
// nothing is ever cut off. Hair grown on a mesh is always packed, with the mesh
// file's hash after the seed.
constexpr const char* kDenseHairTag = "tressmoor-dense";

struct DenseHairInfo {
    bool hasRecipe = false;  // the guides grew in Tressmoor, from this recipe
    HairRecipe recipe = {};
    int growth = 1;          // which growth of a fresh run the guides are
    ChildRequest request;
};

std::string formatDenseHairInfo(const DenseHairInfo& info);

// False with the reason when the text is not one this version reads: hasTag
// tells whether it opens with the tag at all, so that another program's file
// can be told from a damaged one or one from a newer version.
bool parseDenseHairInfo(const std::string& text, DenseHairInfo& info, bool& hasTag,
                        std::string& problem);

#endif
