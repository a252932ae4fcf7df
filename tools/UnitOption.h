#ifndef TRESSMOOR_TOOLS_UNITOPTION_H
#define TRESSMOOR_TOOLS_UNITOPTION_H

#include <string>

#include "formats/LengthUnit.h"
#include "tools/GrowthCommandLine.h"

// --units, which every companion takes: the unit a USD layer states for its
// coordinates, which stay as they are.
OptionResult readUnitOption(ArgumentReader& reader, LengthUnit& unit, std::string& message);

// Its help lines.
std::string unitOptionHelp();

#endif
