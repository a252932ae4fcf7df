#ifndef TRESSMOOR_FORMATS_DENSEHAIRFILE_H
#define TRESSMOOR_FORMATS_DENSEHAIRFILE_H

#include <string>

#include "formats/DenseHairInfo.h"
#include "formats/HairCodec.h"
#include "formats/HairFile.h"

// A HAIR file Tressmoor wrote of its own hair with children, read back: how the
// children were made, and the guides as the hair's own file holds them.
struct DenseHairGuides {
    DenseHairInfo info;
    // The recipe and, when the file kept them, the guides' centrelines; without
    // them the guides are grown again from the recipe and growth.
    HairFileContents guides;
    bool guidesKept = false;
};

// False with the reason when the checked strands are not Tressmoor's hair with
// children: hasTag tells whether the information text says they are, so that
// a damaged or newer file is told from another program's.
bool readDenseHairGuides(const HairStrands& file, DenseHairGuides& dense, bool& hasTag,
                         std::string& problem);

// Whether the file holds exactly what the guides (the plain file of the recipe's
// hair, checked) bring with the options: every byte as writing them again gives.
// Children on a mesh are made on its ground.
bool denseHairMatches(const unsigned char* fileBytes, size_t size, const HairStrands& guides,
                      const DenseHairInfo& info, std::string& problem,
                      const MeshGround* ground = nullptr);

#endif
