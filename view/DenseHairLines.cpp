#include "view/DenseHairLines.h"

#include <algorithm>
#include <cmath>

#include "hair/MeshGrowth.h"

std::optional<DenseHairLines> DenseHairLines::make(const GuideStrands& guides,
                                                   UnderlyingShape shape,
                                                   const ChildOptions& options,
                                                   bool guidesAsLines, std::string& problem,
                                                   const MeshGround* ground)
{
    std::optional<ChildGenerator> generator =
        ChildGenerator::make(guides, shape, options, problem, ground, true);
    if (!generator) {
        return std::nullopt;
    }
    uint64_t longest = 0;
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        longest = std::max(longest, guides.pointCount(g));
    }
    if (options.children > 0 && longest > kMaxBroodPoints / options.children) {
        problem = std::to_string(options.children) + " children of guides of up to " +
                  std::to_string(longest) + " points are more than " +
                  std::to_string(kMaxBroodPoints) + " points for one guide, the most drawn at once";
        return std::nullopt;
    }
    return DenseHairLines(std::move(*generator), shape, guidesAsLines);
}

DenseHairLines::DenseHairLines(ChildGenerator generator, UnderlyingShape shape, bool guidesAsLines)
    : generator(std::move(generator)), shape(shape), guidesAsLines(guidesAsLines)
{
}

uint64_t DenseHairLines::lineStrandCount() const
{
    const GuideStrands& guides = generator.guideStrands();
    return generator.childCount() + (guidesAsLines ? guides.strandCount() : 0);
}

uint64_t DenseHairLines::linePointCount() const
{
    const GuideStrands& guides = generator.guideStrands();
    const uint64_t guidePoints = guides.strandCount() > 0 ? guides.starts.back() : 0;
    return generator.childPointCount() + (guidesAsLines ? guidePoints : 0);
}

double DenseHairLines::depth(const ViewState& view, const float offset[3]) const
{
    const GuideStrands& guides = generator.guideStrands();
    const ChildOptions& options = generator.childOptions();
    double rotation[3][3];
    viewRotation(view, rotation);
    const double* towardViewer = rotation[2];
    double guideDepth = 0.0;
    double longestFromRoot = 0.0;
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        float root[3] = {0.0f, 0.0f, 0.0f};
        for (uint64_t n = guides.starts[g]; n < guides.starts[g + 1]; ++n) {
            float p[3];
            guides.point(n, p);
            if (n == guides.starts[g]) {
                std::copy(p, p + 3, root);
            }
            double along = 0.0;
            double fromRootSq = 0.0;
            for (int a = 0; a < 3; ++a) {
                // The offset is added in float as the lines are made, hence here too.
                along += towardViewer[a] * static_cast<double>(p[a] + offset[a]);
                const double fromRoot = static_cast<double>(p[a]) - root[a];
                fromRootSq += fromRoot * fromRoot;
            }
            guideDepth = std::max(guideDepth, std::fabs(along));
            longestFromRoot = std::max(longestFromRoot, std::sqrt(fromRootSq));
        }
    }
    if (options.children == 0) {
        return guideDepth;
    }
    // A child around a guide keeps within its radius of the guide and strays by
    // the frizz at most; one between guides stands on the shape and takes a
    // blend of their shapes, no longer than the longest.
    if (options.mode == ChildMode::Between) {
        return std::max(guideDepth, shapeReach(shape) + longestFromRoot + options.frizz);
    }
    const float radius = generator.meshGround() != nullptr ? 2.0f * options.radius : options.radius;
    return guideDepth + radius + options.frizz;
}

ViewState DenseHairLines::holdingView(const ViewState& view, const float offset[3],
                                      const SceneInputs& scene) const
{
    ViewState holding = view;
    holding.depthReach = std::max({view.depthReach, sceneDepth(view, scene), depth(view, offset)});
    return holding;
}

float DenseHairLines::childReach() const
{
    return generator.childReach();
}

void DenseHairLines::appendStrip(const float* points, uint32_t count, const float normal[3],
                                 const float offset[3])
{
    const size_t first = lines.points.size();
    lines.points.resize(first + size_t(3) * count);
    float* out = lines.points.data() + first;
    for (size_t i = 0; i < size_t(3) * count; i += 3) {
        out[i] = points[i] + offset[0];
        out[i + 1] = points[i + 1] + offset[1];
        out[i + 2] = points[i + 2] + offset[2];
    }
    lines.closeStrip(static_cast<int>(count), normal);
}

void DenseHairLines::forEachBatch(const ViewState& view, const float offset[3],
                                  const std::function<void(const LineBatch&)>& use,
                                  bool textured)
{
    // A line has no side of its own: one of no known shape is lit as the side
    // of a thin tube that faces the viewer, whose direction is the camera's
    // last row.
    double rotation[3][3];
    viewRotation(view, rotation);
    const float towardViewer[3] = {static_cast<float>(rotation[2][0]),
                                   static_cast<float>(rotation[2][1]),
                                   static_cast<float>(rotation[2][2])};
    const bool onShape = isUnderlyingShape(shape);
    const MeshGround* ground = generator.meshGround();
    const GuideStrands& guides = generator.guideStrands();
    lines.clear();
    lines.textured = textured;
    auto handOverWhenFull = [&]() {
        if (lines.points.size() >= 3 * kLineBatchPoints) {
            use(lines);
            lines.clear();
        }
    };
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        if (guidesAsLines) {
            const uint64_t count = guides.pointCount(g);
            guidePoints.resize(3 * count);
            for (uint64_t i = 0; i < count; ++i) {
                guides.point(guides.starts[g] + i, &guidePoints[3 * i]);
            }
            appendStrip(guidePoints.data(), static_cast<uint32_t>(count), towardViewer, offset);
            handOverWhenFull();
        }
        children.clear();
        generator.generate(g, children);
        const float* point = children.points.data();
        for (size_t c = 0; c < children.strandCount(); ++c) {
            const uint32_t count = children.pointCounts[c];
            const float* normal = towardViewer;
            RootFrame frame;
            SurfacePoint at;
            if (onShape) {
                frame = shapeFrame(shape, point);
                normal = frame.normal;
            } else if (ground != nullptr && ground->nearest.nearestPoint(point, at)) {
                normal = at.normal;
            }
            appendStrip(point, count, normal, offset);
            point += size_t(3) * count;
            handOverWhenFull();
        }
    }
    if (!lines.counts.empty()) {
        use(lines);
    }
    lines.clear();
}

void DenseHairLines::draw(const ViewState& view, const float offset[3],
                          MultiDrawArrays multiDrawArrays, bool textured)
{
    beginStrandLines(view, textured);
    forEachBatch(
        view, offset,
        [multiDrawArrays](const LineBatch& batch) { drawStrandLines(batch, multiDrawArrays); },
        textured);
    endStrandLines(view, textured);
}
