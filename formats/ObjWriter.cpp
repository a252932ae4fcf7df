#include "formats/ObjWriter.h"

#include <algorithm>

#include "formats/ParallelText.h"

namespace {

// A v line: its letter, three numbers with their spaces, the line end.
constexpr size_t kLineRoom = 2 + 3 * (OutputBuffer::kLongestNumber + 1);
static_assert(kLineRoom <= OutputBuffer::kLargestReservation, "a line fits any buffer");

}  // namespace

void writeObjCurves(const StrandStream& stream, const std::vector<std::string>& comments,
                    OutputBuffer& out, const WriteProgress& progress)
{
    const uint64_t points = stream.pointCount();
    ProgressCounter counter(progress, 2 * points);
    for (const std::string& comment : comments) {
        out.append("# ");
        out.append(comment);
        out.append('\n');
    }
    const uint64_t units = stream.unitCount();
    const uint64_t unitsPerSpan = stream.unitsPerSpan();
    const auto counted = [&](uint64_t values) { counter.add(values); };

    writeSpansInParallel(out, units, unitsPerSpan, [&](uint64_t first, uint64_t end, OutputBuffer& span) {
        StrandRun run;
        stream.fill(first, end, run);
        for (size_t n = 0; n < run.points.size(); n += 3) {
            char* at = span.reserve<kLineRoom>();
            *at++ = 'v';
            for (int axis = 0; axis < 3; ++axis) {
                *at++ = ' ';
                at = OutputBuffer::writeFloat(at, run.points[n + axis]);
            }
            *at++ = '\n';
            span.commit(at);
        }
        return uint64_t(run.points.size() / 3);
    }, counted);

    // OBJ indices count from 1, and each strand's run on from the strands before it.
    std::vector<uint64_t> firstIndex(units + 1, 1);
    for (uint64_t unit = 0; unit < units; ++unit) {
        uint64_t unitPoints = 0;
        stream.forEachStrand(unit, unit + 1, [&](uint64_t, uint32_t n, uint64_t) { unitPoints += n; });
        firstIndex[unit + 1] = firstIndex[unit] + unitPoints;
    }
    writeSpansInParallel(out, units, unitsPerSpan, [&](uint64_t first, uint64_t end, OutputBuffer& span) {
        uint64_t next = firstIndex[first];
        stream.forEachStrand(first, end, [&](uint64_t, uint32_t count, uint64_t) {
            span.append('l');
            for (uint64_t k = 0; k < count; ++k) {
                char* at = span.reserve<kLineRoom>();
                *at++ = ' ';
                span.commit(OutputBuffer::writeInteger(at, next + k));
            }
            if (count == 1) {
                span.append(' ');
                span.appendInteger(next);
            }
            span.append('\n');
            next += count;
        });
        return next - firstIndex[first];
    }, counted);
}
