#ifndef TRESSMOOR_VIEW_DENSEHAIRLINES_H
#define TRESSMOOR_VIEW_DENSEHAIRLINES_H

#include <cstdint>
#include <functional>
#include <string>

#include "hair/ChildStrands.h"
#include "view/StrandLines.h"

// The strands a picture draws as lit lines after the draw pass: the children of
// the guides, made turn by turn, and the guides themselves where they have no
// tubes (another program's strands). Memory stays the same however many
// children there are: each turn's children go into a batch of lines that is
// drawn and reused once it holds kLineBatchPoints points.
constexpr uint64_t kLineBatchPoints = uint64_t(1) << 16;
// One turn's children are made at once; past this many points the picture is refused.
constexpr uint64_t kMaxTurnPoints = uint64_t(1) << 24;

class DenseHairLines {
public:
    // The guides are read in place and must outlive this. shape is NoShape for
    // strands that grew on no known shape.
    DenseHairLines(const GuideStrands& guides, UnderlyingShape shape, const ChildOptions& options);

    // False with the reason when the children cannot be made or drawn.
    bool check(std::string& problem) const;

    // How many strands are drawn as lines.
    uint64_t lineStrandCount() const;
    uint64_t linePointCount() const;

    // Every strip, batch by batch in turn order, lit for the view: children by
    // the normal of their shape at their root, strands of no known shape as if
    // facing the viewer. Each batch is handed over, then cleared and refilled.
    void forEachBatch(const ViewState& view, const std::function<void(const LineBatch&)>& use);

    // How far the lines reach from the origin along the view's line of sight, at
    // most, in model units, the offset included.
    double depth(const ViewState& view) const;

    // The view to draw both the pass of scene and these lines with: its depth
    // holds them all.
    ViewState holdingView(const ViewState& view, const SceneInputs& scene) const;

    // All of them, in the current context after the draw pass, under its camera,
    // lighting and material; the view as holdingView gives it.
    void draw(const ViewState& view, MultiDrawArrays multiDrawArrays);

    // Draw the guides as lines before their children.
    bool guidesAsLines = false;
    // Added to every point drawn (see StrandFraming.h).
    float offset[3] = {0.0f, 0.0f, 0.0f};

private:
    void appendStrip(const float* points, uint32_t count, const float normal[3]);

    const GuideStrands& guides;
    UnderlyingShape shape;
    ChildOptions options;
    ChildGenerator generator;
    StrandRun children;
    LineBatch lines;
    std::vector<float> guidePoints;
};

#endif
