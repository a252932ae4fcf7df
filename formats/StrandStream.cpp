#include "formats/StrandStream.h"

#include <algorithm>

#include "formats/ByteCodec.h"

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

StrandStream::StrandStream(const HairStrands& guides, UnderlyingShape shape,
                           const ChildOptions& options)
    : guides(guides),
      shape(shape),
      options(options),
      guideView(guideStrandsOf(guides)),
      generator(guideView, shape, options),
      isDense(options.children > 0 || options.widthsGiven || !options.keepGuides)
{
}

bool StrandStream::check(std::string& problem) const
{
    return generator.check(problem);
}

uint64_t StrandStream::pointCount() const
{
    return (options.keepGuides ? uint64_t(guides.header.pointCount) : 0) +
           generator.childPointCount();
}

uint32_t StrandStream::guidePoints(uint64_t guide) const
{
    return static_cast<uint32_t>(guideView.pointCount(guide));
}

uint64_t StrandStream::guidePointAt(uint64_t guide, uint32_t i) const
{
    return guideView.starts[guide] + std::min(i, guidePoints(guide) - 1);
}

uint64_t StrandStream::turnGuideOf(uint64_t strand) const
{
    return strand < keptGuides() ? strand : (strand - keptGuides()) / options.children;
}

uint32_t StrandStream::pointsOf(uint64_t strand) const
{
    if (strand < keptGuides() || options.mode == ChildMode::Around) {
        return guidePoints(turnGuideOf(strand));
    }
    return guidePoints(0);
}

uint64_t StrandStream::guideUnits() const
{
    return (keptGuides() + kGuidesPerUnit - 1) / kGuidesPerUnit;
}

uint64_t StrandStream::unitCount() const
{
    return guideUnits() + (options.children > 0 ? guideCount() : 0);
}

uint64_t StrandStream::firstStrandOf(uint64_t unit) const
{
    if (unit < guideUnits()) {
        return unit * kGuidesPerUnit;
    }
    return keptGuides() + (unit - guideUnits()) * options.children;
}

uint64_t StrandStream::unitsPerSpan() const
{
    constexpr uint64_t kSpanPoints = uint64_t(1) << 17;
    return std::max<uint64_t>(1, kSpanPoints * std::max<uint64_t>(unitCount(), 1) /
                                     std::max<uint64_t>(pointCount(), 1));
}

void StrandStream::fill(uint64_t first, uint64_t end, StrandRun& run) const
{
    for (uint64_t unit = first; unit < end; ++unit) {
        if (unit >= guideUnits()) {
            generator.generate(unit - guideUnits(), run);
            continue;
        }
        const uint64_t firstGuide = unit * kGuidesPerUnit;
        const uint64_t lastGuide = std::min(firstGuide + kGuidesPerUnit, keptGuides());
        for (uint64_t g = firstGuide; g < lastGuide; ++g) {
            const uint64_t start = guideView.starts[g];
            const uint32_t count = guidePoints(g);
            for (uint64_t n = start; n < start + count; ++n) {
                float xyz[3];
                guideView.point(n, xyz);
                run.points.insert(run.points.end(), xyz, xyz + 3);
            }
            run.pointCounts.push_back(count);
            run.guides.push_back(static_cast<uint32_t>(g));
        }
    }
}

float StrandStream::widthAt(uint64_t guide, uint32_t i, uint32_t n) const
{
    if (options.widthsGiven) {
        return strandWidth(options, i, n);
    }
    return guides.thicknessOf(guidePointAt(guide, i));
}

bool StrandStream::widthsVary() const
{
    return options.widthsGiven ? !widthsAreConstant(options) : guides.thickness != nullptr;
}

float StrandStream::widestWidth() const
{
    if (options.widthsGiven) {
        return std::max({options.rootWidth, options.tipWidth, 0.0f});
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
