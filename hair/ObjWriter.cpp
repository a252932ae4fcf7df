#include "hair/ObjWriter.h"

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
        out.append("v ", 2);
        out.appendFloat(strands.coordinate(n, 0));
        out.append(' ');
        out.appendFloat(strands.coordinate(n, 1));
        out.append(' ');
        out.appendFloat(strands.coordinate(n, 2));
        out.append('\n');
        counter.count();
    }
    // OBJ indices count from 1.
    uint64_t next = 1;
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        const uint64_t count = uint64_t(strands.segmentsOf(s)) + 1;
        out.append('l');
        for (uint64_t k = 0; k < count; ++k) {
            out.append(' ');
            out.appendInteger(next + k);
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
