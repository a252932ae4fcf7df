#include "formats/StrandStream.h"

#include <algorithm>

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

std::optional<StrandStream> StrandStream::make(const HairStrands& guides, UnderlyingShape shape,
                                               const ChildRequest& options, std::string& problem,
                                               const MeshGround* ground)
{
    std::optional<ChildGenerator> generator =
        ChildGenerator::make(guideStrandsOf(guides), shape, options.generation, problem, ground);
    if (!generator) {
        return std::nullopt;
    }
    std::optional<StrandStream> stream;
    stream.emplace(StrandStream(guides, shape, options, std::move(*generator)));
    return stream;
}

StrandStream::StrandStream(const HairStrands& guides, UnderlyingShape shape,
                           const ChildRequest& options, ChildGenerator generator)
    : guides(guides),
      shape(shape),
      options(options),
      generator(std::move(generator)),
      isDense(makesDenseFile(options))
{
    divideIntoUnits();
}

// Whole strands and whole broods are gathered into units while they fit; a
// brood too large for one is cut into pieces, whose first children's random
// states are found here once, by drawing past the children before them.
void StrandStream::divideIntoUnits()
{
    uint64_t unitPoints = kUnitPoints;
    auto take = [&](uint64_t strand, uint64_t state, uint64_t points) {
        if (unitPoints + points > kUnitPoints) {
            units.push_back({strand, state});
            unitPoints = 0;
        }
        unitPoints += points;
    };
    for (uint64_t g = 0; g < keptGuides(); ++g) {
        take(g, 0, guidePoints(g));
    }
    const uint64_t children = options.generation.children;
    for (uint64_t g = 0; children > 0 && g < guideCount(); ++g) {
        const uint64_t first = keptGuides() + g * children;
        ChildCursor cursor = generator.broodStart(g);
        const uint64_t each = generator.childPoints(g);
        if (children * each <= kUnitPoints) {
            take(first, cursor.state, children * each);
            continue;
        }
        const uint64_t perPiece = std::max<uint64_t>(1, kUnitPoints / std::max<uint64_t>(each, 1));
        unitPoints = kUnitPoints;
        for (uint64_t c = 0; c < children; c += perPiece) {
            generator.skip(cursor, c);
            take(first + c, cursor.state, std::min(perPiece, children - c) * each);
        }
    }
    units.push_back({strandCount(), 0});
}

uint64_t StrandStream::pointCount() const
{
    return (options.output.keepGuides ? uint64_t(guides.header.pointCount) : 0) +
           generator.childPointCount();
}

uint32_t StrandStream::guidePoints(uint64_t guide) const
{
    return static_cast<uint32_t>(guideView().pointCount(guide));
}

uint64_t StrandStream::guidePointAt(uint64_t guide, uint32_t i) const
{
    return guideView().starts[guide] + std::min(i, guidePoints(guide) - 1);
}

uint64_t StrandStream::broodGuideOf(uint64_t strand) const
{
    return strand < keptGuides() ? strand : (strand - keptGuides()) / options.generation.children;
}

uint32_t StrandStream::pointsOf(uint64_t strand) const
{
    if (strand < keptGuides()) {
        return guidePoints(strand);
    }
    return static_cast<uint32_t>(generator.childPoints(broodGuideOf(strand)));
}

void StrandStream::fill(uint64_t first, uint64_t end, StrandRun& run) const
{
    const uint64_t last = firstStrandOf(end);
    uint64_t s = firstStrandOf(first);
    const GuideStrands& view = guideView();
    for (; s < last && s < keptGuides(); ++s) {
        const uint64_t start = view.starts[s];
        const uint32_t count = guidePoints(s);
        for (uint64_t n = start; n < start + count; ++n) {
            float xyz[3];
            view.point(n, xyz);
            run.points.insert(run.points.end(), xyz, xyz + 3);
        }
        run.pointCounts.push_back(count);
        run.guides.push_back(static_cast<uint32_t>(s));
    }
    if (s >= last) {
        return;
    }
    // The range starts a unit or a brood, whose first child's state is known.
    ChildCursor cursor;
    cursor.guide = broodGuideOf(s);
    cursor.child = (s - keptGuides()) % options.generation.children;
    cursor.state = s == firstStrandOf(first) ? units[first].state
                                             : generator.broodStart(cursor.guide).state;
    while (s < last) {
        const uint64_t broodEnd = keptGuides() + (cursor.guide + 1) * options.generation.children;
        const uint64_t stop = std::min(last, broodEnd);
        generator.generate(cursor, cursor.child + (stop - s), run);
        s = stop;
        if (s < last) {
            cursor = generator.broodStart(cursor.guide + 1);
        }
    }
}

float StrandStream::widthAt(uint64_t guide, uint32_t i, uint32_t n) const
{
    if (options.output.widthsGiven) {
        return strandWidth(options.output, i, n);
    }
    return guides.thicknessOf(guidePointAt(guide, i));
}

bool StrandStream::widthsVary() const
{
    return options.output.widthsGiven ? !widthsAreConstant(options.output)
                                      : guides.thickness != nullptr;
}

float StrandStream::widestWidth() const
{
    if (options.output.widthsGiven) {
        return std::max({options.output.rootWidth, options.output.tipWidth, 0.0f});
    }
    float widest = std::max(guides.header.defaultThickness, 0.0f);
    if (guides.thickness != nullptr) {
        widest = 0.0f;
        for (uint64_t n = 0; n < guides.header.pointCount; ++n) {
            widest = std::max(widest, guides.thicknessOf(n));
        }
    }
    return widest;
}
