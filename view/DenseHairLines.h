#ifndef TRESSMOOR_VIEW_DENSEHAIRLINES_H
#define TRESSMOOR_VIEW_DENSEHAIRLINES_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "hair/ChildStrands.h"
#include "view/StrandLines.h"

// The strands a picture draws as lit lines after the draw pass: the children of
// the guides, made brood by brood, and the guides themselves where they have no
// tubes (another program's strands). Memory stays the same however many
// children there are: each brood goes into a batch of lines that is drawn and
// reused once it holds kLineBatchPoints points.
constexpr uint64_t kLineBatchPoints = uint64_t(1) << 16;
// One brood is made at once; past this many points the picture is refused.
constexpr uint64_t kMaxBroodPoints = uint64_t(1) << 24;

class DenseHairLines {
public:
    // None, with the reason, when the children cannot be made or drawn. The
    // guides' bytes are read in place and must outlive the lines. shape is
    // NoShape for strands that grew on no known shape; guidesAsLines draws the
    // guides as lines before their children. Hair on a mesh, in its ground's
    // fitted units, has its children made on the ground, which must outlive the lines.
    static std::optional<DenseHairLines> make(const GuideStrands& guides, UnderlyingShape shape,
                                              const ChildOptions& options, bool guidesAsLines,
                                              std::string& problem,
                                              const MeshGround* ground = nullptr);

    // How many strands are drawn as lines.
    uint64_t lineStrandCount() const;
    uint64_t linePointCount() const;
    // How far a child may stray from its guide's points.
    float childReach() const;

    // Every strip, batch by batch in brood order, moved by offset (see
    // StrandFraming.h) and lit for the view: children by the normal of their
    // shape at their root (a mesh's interpolated normal), strands of no known shape as if facing the viewer.
    // Each batch is handed over, then cleared and refilled; textured, its
    // points carry their places along their strands.
    void forEachBatch(const ViewState& view, const float offset[3],
                      const std::function<void(const LineBatch&)>& use, bool textured = false);

    // How far the lines reach from the origin along the view's line of sight, at
    // most, in model units, the offset included.
    double depth(const ViewState& view, const float offset[3]) const;

    // The view to draw both the pass of scene and these lines with: its depth
    // holds them all.
    ViewState holdingView(const ViewState& view, const float offset[3], const SceneInputs& scene) const;

    // All of them, in the current context after the draw pass, under its camera,
    // lighting and material; the view as holdingView gives it. In Texture mode
    // each takes the hair texture along its length, as a strand's tube does.
    void draw(const ViewState& view, const float offset[3], MultiDrawArrays multiDrawArrays,
              bool textured = false);

private:
    DenseHairLines(ChildGenerator generator, UnderlyingShape shape, bool guidesAsLines);
    void appendStrip(const float* points, uint32_t count, const float normal[3],
                     const float offset[3]);

    ChildGenerator generator;
    UnderlyingShape shape;
    bool guidesAsLines;
    StrandRun children;
    LineBatch lines;
    std::vector<float> guidePoints;
};

#endif
