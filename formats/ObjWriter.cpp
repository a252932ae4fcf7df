#include "formats/ObjWriter.h"

namespace {

// A v line: its letter, three numbers with their spaces, the line end.
constexpr size_t kLineRoom = 2 + 3 * (OutputBuffer::kLongestNumber + 1);

}  // namespace

void writeObjCurves(const HairStrands& strands, const std::string& comment, OutputBuffer& out,
                    const WriteProgress& progress)
{
    const uint64_t points = strands.header.pointCount;
    ProgressCounter counter(progress, 2 * points);
    if (!comment.empty()) {
        out.append("# ");
        out.append(comment);
        out.append('\n');
    }
    for (uint64_t n = 0; n < points; ++n) {
        char* at = out.reserve(kLineRoom);
        *at++ = 'v';
        for (int axis = 0; axis < 3; ++axis) {
            *at++ = ' ';
            at = OutputBuffer::writeFloat(at, strands.coordinate(n, axis));
        }
        *at++ = '\n';
        out.commit(at);
        counter.count();
    }
    // OBJ indices count from 1.
    uint64_t next = 1;
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        const uint64_t count = uint64_t(strands.segmentsOf(s)) + 1;
        out.append('l');
        for (uint64_t k = 0; k < count; ++k) {
            char* at = out.reserve(kLineRoom);
            *at++ = ' ';
            out.commit(OutputBuffer::writeInteger(at, next + k));
            counter.count();
        }
        if (count == 1) {
            out.append(' ');
            out.appendInteger(next);
        }
        out.append('\n');
        next += count;
    }
}
