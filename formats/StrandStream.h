#ifndef TRESSMOOR_FORMATS_STRANDSTREAM_H
#define TRESSMOOR_FORMATS_STRANDSTREAM_H

#include "formats/HairCodec.h"
#include "hair/ChildStrands.h"

// The checked strands of a HAIR file as the guides of child strands, read in place.
GuideStrands guideStrandsOf(const HairStrands& strands);

#endif
