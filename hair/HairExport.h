#ifndef TRESSMOOR_HAIR_HAIREXPORT_H
#define TRESSMOOR_HAIR_HAIREXPORT_H

#include <vector>

#include "hair/HairCodec.h"
#include "hair/HairFile.h"
#include "hair/OutputBuffer.h"

// What Tressmoor knows of the strands of its own files beyond their arrays: the
// recipe, so each strand's cluster record, and, when every root lies on the
// shape, the roots' surface coordinates. Nothing is known of another program's.
struct TressmoorStrands {
    bool known = false;
    HairRecipe recipe = {};
    std::vector<float> rootSt;  // s, t per strand; empty when unknown
};

// For checked strands that follow the recipe.
TressmoorStrands tressmoorStrandsOf(const HairStrands& strands, const HairRecipe& recipe);

// Write checked strands in the format. HAIR keeps the header and every array the
// strands have; OBJ and USD carry the recipe, and USD the clusters and roots,
// when they are known. displayPrimvars adds USD's display colour and opacity.
void writeHairFileAs(const HairStrands& strands, const TressmoorStrands& own, HairFileFormat format,
                     bool displayPrimvars, OutputBuffer& out,
                     const WriteProgress& progress = WriteProgress());

#endif
