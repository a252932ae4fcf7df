#include "formats/StrandStream.h"

GuideStrands guideStrandsOf(const HairStrands& strands)
{
    GuideStrands guides;
    guides.points = strands.points;
    guides.starts.reserve(uint64_t(strands.header.strandCount) + 1);
    uint64_t next = 0;
    guides.starts.push_back(next);
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        next += uint64_t(strands.segmentsOf(s)) + 1;
        guides.starts.push_back(next);
    }
    return guides;
}
