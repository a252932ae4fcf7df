#ifndef TRESSMOOR_FORMATS_STRANDSTREAM_H
#define TRESSMOOR_FORMATS_STRANDSTREAM_H

#include <cstdint>
#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "hair/ChildStrands.h"

// The checked strands of a HAIR file as the guides of child strands, read in place.
GuideStrands guideStrandsOf(const HairStrands& strands);

// What a file with children is written from: the guides, as a HAIR file holds
// them, followed by the children they bring, made in turns one guide at a time
// so that no more than a turn's children are ever in memory. Without children,
// with the guides kept and no widths asked for, it is the file's strands alone.
class StrandStream {
public:
    StrandStream(const HairStrands& guides, UnderlyingShape shape, const ChildOptions& options);
    StrandStream(const StrandStream&) = delete;
    StrandStream& operator=(const StrandStream&) = delete;

    // False with the reason when the children cannot be made: between guides
    // needs the shape and guides of one length.
    bool check(std::string& problem) const;

    // Whether anything beyond the file's own strands is asked for.
    bool dense() const { return isDense; }

    uint64_t guideCount() const { return guideView.strandCount(); }
    uint64_t keptGuides() const { return options.keepGuides ? guideCount() : 0; }
    uint64_t strandCount() const { return keptGuides() + generator.childCount(); }
    uint64_t pointCount() const;

    // The points of a strand, and of the guide it came from; known without making
    // the children (between guides, every child has the guides' one length).
    uint32_t pointsOf(uint64_t strand) const;
    // The guide's point at place i along a strand that came from it, its last
    // for a place beyond its tip.
    uint64_t guidePointAt(uint64_t guide, uint32_t i) const;
    // The guide itself, or the guide whose turn made the child; between guides a
    // child follows others too, which only making it tells.
    uint64_t turnGuideOf(uint64_t strand) const;
    uint32_t guidePoints(uint64_t guide) const;

    // Strands come in units, in file order: the kept guides a block at a time,
    // then the children of each guide's turn. The first strand of unit
    // unitCount() is strandCount(), so units first .. end - 1 hold strands
    // firstStrandOf(first) .. firstStrandOf(end) - 1.
    uint64_t unitCount() const;
    uint64_t firstStrandOf(uint64_t unit) const;
    // Units in a span of a writer's parallel arrays: enough points to keep a
    // core busy for a while, few enough that a round of spans takes little memory.
    uint64_t unitsPerSpan() const;
    // Append the strands of units first .. end - 1; safe to call from several
    // threads at once.
    void fill(uint64_t first, uint64_t end, StrandRun& run) const;

    // The width of point i of a strand of n points that came from the guide:
    // the taper asked for, otherwise the guide's own thickness at that point.
    float widthAt(uint64_t guide, uint32_t i, uint32_t n) const;
    bool widthsVary() const;
    float widestWidth() const;

    const HairStrands& guides;
    const UnderlyingShape shape;
    const ChildOptions options;

private:
    static constexpr uint64_t kGuidesPerUnit = 1024;
    uint64_t guideUnits() const;

    GuideStrands guideView;
    ChildGenerator generator;
    bool isDense;
};

#endif
