#ifndef TRESSMOOR_FORMATS_PARALLELTEXT_H
#define TRESSMOOR_FORMATS_PARALLELTEXT_H

#include <cstdint>
#include <functional>
#include <vector>

#include "formats/OutputBuffer.h"

// A long array of a file made on every core. Its units are taken in spans;
// worker threads each make a span's text (or bytes) into an output of their own,
// and the spans are handed on to the file in order, a round at a time, so memory
// holds only a round's spans whatever the array's length. Writing floats as their
// shortest text is most of a large file's cost, and one core cannot keep up.
//
// makeSpan(first, end, out) writes units first .. end - 1 and returns how many
// values it wrote; first == 0 tells it that nothing of the array precedes it. It
// runs on several threads at once. written(values) follows each span's handing on,
// on the calling thread.
//
// Nothing is made once the output has failed. A span that fails its output, or
// a worker that cannot be started or runs out of memory, fails the output with
// the reason, and no later span is handed on or made.
using MakeSpan = std::function<uint64_t(uint64_t first, uint64_t end, OutputBuffer& out)>;
void writeSpansInParallel(OutputBuffer& out, uint64_t units, uint64_t unitsPerSpan,
                          const MakeSpan& makeSpan,
                          const std::function<void(uint64_t values)>& written = nullptr);

// How many threads make spans: the machine's cores, at least one and at most 16.
unsigned spanWorkers();

#endif
