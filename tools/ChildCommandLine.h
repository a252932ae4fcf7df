#ifndef TRESSMOOR_TOOLS_CHILDCOMMANDLINE_H
#define TRESSMOOR_TOOLS_CHILDCOMMANDLINE_H

#include <string>

#include "hair/ChildStrands.h"
#include "tools/GrowthCommandLine.h"

// The child strand options every companion takes: --children, --child-mode,
// the numbers of the child table, --seed and --guides.

// Read the reader's current option if it is a child option. Bad sets message to
// the one-line error, which names the option and what it accepts.
OptionResult readChildOption(ArgumentReader& reader, ChildRequest& request, std::string& message);

// The help lines of the child options.
std::string childOptionsHelp();

#endif
