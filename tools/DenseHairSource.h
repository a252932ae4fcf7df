#ifndef TRESSMOOR_TOOLS_DENSEHAIRSOURCE_H
#define TRESSMOOR_TOOLS_DENSEHAIRSOURCE_H

#include <string>

#include "formats/DenseHairFile.h"

// Tressmoor's own hair with children, as a tool reads it back to make it again:
// how the children were made, and the guides as the hair's plain file holds
// them, taken from the file or grown again when it dropped them.
struct DenseHairSource {
    DenseHairInfo info;
    HairBytes guides;
};

// False when the file is not such hair, or does not hold exactly what its
// guides and child options make; claimed then tells whether its header says it
// is, and problem why it is not taken as such. Growing the guides again runs a
// fresh run's growths, with their lines and progress as tressmoor-grow's.
bool readDenseHairSource(const HairBytes& file, const char* program, DenseHairSource& source,
                         bool& claimed, std::string& problem);

#endif
