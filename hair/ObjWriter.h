#ifndef TRESSMOOR_HAIR_OBJWRITER_H
#define TRESSMOOR_HAIR_OBJWRITER_H

#include <string>
#include <vector>

#include "hair/HairFile.h"

// Shortest text that reads back as the same float, whatever the C locale says.
void appendFloatText(std::string& out, float value);

// The hair's centrelines as OBJ polylines: the recipe as a comment line, one v
// line per point, then one l line per strand.
std::vector<unsigned char> encodeObj(const HairFileContents& contents);

#endif
