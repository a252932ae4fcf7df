#ifndef TRESSMOOR_FORMATS_STRANDSTREAM_H
#define TRESSMOOR_FORMATS_STRANDSTREAM_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "hair/ChildStrands.h"

// The checked strands of a HAIR file as the guides of child strands, read in place.
GuideStrands guideStrandsOf(const HairStrands& strands);

// Whether the options ask for more than the guides' own file: children, widths
// or the guides left out.
inline bool makesDenseFile(const ChildRequest& options)
{
    return options.generation.children > 0 || options.output.widthsGiven ||
           !options.output.keepGuides;
}

// What a file with children is written from: the guides, as a HAIR file holds
// them, followed by the children they bring, made a brood (one guide's children)
// or a piece of one at a time, so that no more than a round of spans is ever in
// memory, however many children a guide has. Without children, with the guides
// kept and no widths asked for, it is the file's strands alone. It reads the
// strands' bytes in place: their owner must outlive it.
class StrandStream {
public:
    // None, with the reason, when the children cannot be made: between guides
    // needs the shape and guides of one length. Hair on a mesh, in the mesh's
    // own units, needs its ground for children; it must outlive the stream.
    static std::optional<StrandStream> make(const HairStrands& guides, UnderlyingShape shape,
                                            const ChildRequest& options, std::string& problem,
                                            const MeshGround* ground = nullptr);
    StrandStream(StrandStream&&) = default;
    StrandStream(const StrandStream&) = delete;
    StrandStream& operator=(const StrandStream&) = delete;

    // Whether anything beyond the file's own strands is asked for.
    bool dense() const { return isDense; }

    uint64_t guideCount() const { return guideView().strandCount(); }
    uint64_t keptGuides() const { return options.output.keepGuides ? guideCount() : 0; }
    uint64_t strandCount() const { return keptGuides() + generator.childCount(); }
    uint64_t pointCount() const;

    // The points of a strand; known without making the children (between
    // guides, every child has the guides' one length).
    uint32_t pointsOf(uint64_t strand) const;
    // The guide's point at place i along a strand that came from it, its last
    // for a place beyond its tip.
    uint64_t guidePointAt(uint64_t guide, uint32_t i) const;
    // The guide itself, or the guide whose brood the child is of; between guides
    // a child follows others too, which only making it tells.
    uint64_t broodGuideOf(uint64_t strand) const;
    uint32_t guidePoints(uint64_t guide) const;

    // Strands come in units of at most kUnitPoints points (or one strand, when
    // it is longer), in file order: kept guides, then whole broods or pieces of
    // one. The first strand of unit unitCount() is strandCount(), so units
    // first .. end - 1 hold strands firstStrandOf(first) .. firstStrandOf(end) - 1.
    // Small enough that a large brood's pieces spread over every worker, large
    // enough that the table of units stays a few bytes per thousand points.
    static constexpr uint64_t kUnitPoints = uint64_t(1) << 13;
    uint64_t unitCount() const { return units.size() - 1; }
    uint64_t firstStrandOf(uint64_t unit) const { return units[unit].strand; }
    // Units in a span of a writer's parallel arrays: enough points to keep a
    // core busy for a while, few enough that a round of spans takes little memory.
    static constexpr uint64_t kSpanPoints = uint64_t(1) << 17;
    static constexpr uint64_t unitsPerSpan() { return kSpanPoints / kUnitPoints; }

    // visit(strand, points, broodGuide) for every strand of units first .. end - 1.
    template <typename Visit>
    void forEachStrand(uint64_t first, uint64_t end, Visit visit) const
    {
        const uint64_t last = firstStrandOf(end);
        for (uint64_t s = firstStrandOf(first); s < last; ++s) {
            visit(s, pointsOf(s), broodGuideOf(s));
        }
    }
    // Append the strands of units first .. end - 1; safe to call from several
    // threads at once.
    void fill(uint64_t first, uint64_t end, StrandRun& run) const;

    // The width of point i of a strand of n points that came from the guide:
    // the taper asked for, otherwise the guide's own thickness at that point.
    float widthAt(uint64_t guide, uint32_t i, uint32_t n) const;
    bool widthsVary() const;
    float widestWidth() const;
    // The mesh the children grew on, and its uv at a root in the mesh's units.
    const MeshGround* meshGround() const { return generator.meshGround(); }
    bool meshCoordinatesAt(const float root[3], float st[2]) const
    {
        return generator.meshCoordinatesAt(root, st);
    }

    // A view of the bytes, kept by value so that no copy of a view can dangle.
    const HairStrands guides;
    const UnderlyingShape shape;
    const ChildRequest options;

private:
    // Where a unit starts, and for children the random state of its first.
    struct UnitStart {
        uint64_t strand;
        uint64_t state;
    };

    StrandStream(const HairStrands& guides, UnderlyingShape shape, const ChildRequest& options,
                 ChildGenerator generator);
    const GuideStrands& guideView() const { return generator.guideStrands(); }
    void divideIntoUnits();

    ChildGenerator generator;
    bool isDense;
    std::vector<UnitStart> units;
};

#endif
