#ifndef TRESSMOOR_FORMATS_OBJWRITER_H
#define TRESSMOOR_FORMATS_OBJWRITER_H

#include <string>
#include <vector>

#include "formats/OutputBuffer.h"
#include "formats/StrandStream.h"

// The strands' points as OBJ polylines: the comment lines first, one "# " line
// each, then one v line per point, then one l line per strand. A strand of a
// single point, which a line cannot be, names that point twice.
void writeObjCurves(const StrandStream& stream, const std::vector<std::string>& comments,
                    OutputBuffer& out, const WriteProgress& progress = WriteProgress());

#endif
