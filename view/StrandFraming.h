#ifndef TRESSMOOR_VIEW_STRANDFRAMING_H
#define TRESSMOOR_VIEW_STRANDFRAMING_H

#include "hair/ChildStrands.h"
#include "view/DrawPass.h"

// Another program's strands come with no shape to place them and may lie
// anywhere at any scale. A picture of them moves them so that the middle of
// their box, as the view turns it, is the scene's origin, and zooms so that
// they fill the picture but a margin and stay within the scene's depth.

// Of the picture's half-width and half-height, the share left free on each side.
constexpr double kFramingMargin = 0.05;
// Strands finer than this, or a single point, are not magnified beyond it.
constexpr double kLargestFittingZoom = 1.0e6;

// The box of the strands under a view's turns, zoom and translation aside.
struct TurnedBounds {
    double low[3] = {0.0, 0.0, 0.0};
    double high[3] = {0.0, 0.0, 0.0};
};

struct StrandFit {
    float offset[3] = {0.0f, 0.0f, 0.0f};  // added to every point drawn
    double zoom = 1.0;
};

TurnedBounds turnedBounds(const GuideStrands& guides, const ViewState& view);

// The offset that brings the middle of the bounds to the origin, and the zoom
// at which they, grown by reach on every side (children stray from their guide
// by their radius and frizz), fill the picture but the margin across and up and
// the whole depth of the scene at most.
StrandFit fitStrands(const TurnedBounds& bounds, const ViewState& view, float reach);

// The view a picture is drawn with: the user's, its zoom times the fitted one.
// So --zoom enlarges the fitted picture about its middle and --translate moves
// it in the view's units.
ViewState framedView(const ViewState& user, double zoom);

#endif
