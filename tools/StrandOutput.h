#ifndef TRESSMOOR_TOOLS_STRANDOUTPUT_H
#define TRESSMOOR_TOOLS_STRANDOUTPUT_H

#include <string>

#include "formats/HairExport.h"
#include "formats/StrandStream.h"
#include "tools/GrowthCommandLine.h"

// Write the stream to the file in the format, streamed to a temporary file that
// replaces the file only once it is complete and on disk. Work of over a second
// reports its progress on standard error, under the program's name. False with
// the reason when the file cannot be written; an existing file is then kept.
bool writeStrandFile(const std::string& path, const StrandStream& stream,
                     const TressmoorStrands& own, HairFileFormat format, const ExportSettings& settings,
                     const char* program, ToolClock::time_point start, std::string& problem);

#endif
