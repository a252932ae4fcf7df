#ifndef TRESSMOOR_VIEW_STRANDFRAMING_H
#define TRESSMOOR_VIEW_STRANDFRAMING_H

#include "hair/ChildStrands.h"
#include "view/DrawPass.h"

// Another program's strands come with no shape to place them and may lie
// anywhere at any scale. A picture moves them so that the middle of their box
// is the scene's origin, which the camera turns about, and fits the view to them.

// Of the picture's half-width and half-height, the share left free on each side.
constexpr double kFramingMargin = 0.05;
// Strands finer than this, or a single point, are not magnified beyond it.
constexpr double kLargestFittingZoom = 1.0e6;

struct StrandFit {
    float offset[3] = {0.0f, 0.0f, 0.0f};  // added to every point drawn
    float reach = 0.0f;                    // how far any strand drawn strays from the guides' points
};

// The box of the moved strands under a view's turns, zoom and translation aside.
struct TurnedBounds {
    double low[3] = {0.0, 0.0, 0.0};
    double high[3] = {0.0, 0.0, 0.0};
};

// The offset that brings the middle of the guides' box to the origin; reach is
// kept as given (children stray from their guide by their radius and frizz).
StrandFit centreStrands(const GuideStrands& guides, float reach);

// The guides' points, moved by the fit, under the view's rotation.
TurnedBounds turnedBounds(const GuideStrands& guides, const StrandFit& fit, const ViewState& view);

// The zoom at which the bounds, grown by the reach, fill the picture but the
// margin across and up, and stay within the scene's depth.
double zoomToFit(const TurnedBounds& bounds, const StrandFit& fit);

// The view a picture is drawn with: the user's turns; the fitted zoom times
// the user's; and the translation that centres the bounds, scaled by the user's
// zoom, plus the user's translation. So --zoom enlarges the fitted picture about
// its middle and --translate moves it in the view's units.
ViewState framedView(const ViewState& user, const TurnedBounds& bounds, double zoom);

#endif
