#ifndef TRESSMOOR_FORMATS_OBJWRITER_H
#define TRESSMOOR_FORMATS_OBJWRITER_H

#include <string>

#include "formats/HairCodec.h"
#include "formats/OutputBuffer.h"

// The strands' points as OBJ polylines: the comment line first when there is one,
// then one v line per point, then one l line per strand. A strand of a single
// point, which a line cannot be, names that point twice.
void writeObjCurves(const HairStrands& strands, const std::string& comment, OutputBuffer& out,
                    const WriteProgress& progress = WriteProgress());

#endif
