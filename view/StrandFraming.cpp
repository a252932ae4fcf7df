#include "view/StrandFraming.h"

#include <algorithm>
#include <cmath>

StrandFit centreStrands(const GuideStrands& guides, float reach)
{
    StrandFit fit;
    fit.reach = reach;
    const uint64_t points = guides.strandCount() > 0 ? guides.starts.back() : 0;
    if (points == 0) {
        return fit;
    }
    float low[3];
    guides.point(0, low);
    float high[3] = {low[0], low[1], low[2]};
    for (uint64_t n = 1; n < points; ++n) {
        float p[3];
        guides.point(n, p);
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], p[a]);
            high[a] = std::max(high[a], p[a]);
        }
    }
    for (int a = 0; a < 3; ++a) {
        // In double: the two ends of a box near the float limits would overflow their sum.
        fit.offset[a] = static_cast<float>(-(static_cast<double>(low[a]) + high[a]) / 2.0);
    }
    return fit;
}

TurnedBounds turnedBounds(const GuideStrands& guides, const StrandFit& fit, const ViewState& view)
{
    TurnedBounds bounds;
    const uint64_t points = guides.strandCount() > 0 ? guides.starts.back() : 0;
    double rotation[3][3];
    viewRotation(view, rotation);
    for (uint64_t n = 0; n < points; ++n) {
        float p[3];
        guides.point(n, p);
        // Moved in float, as the points are drawn.
        for (int a = 0; a < 3; ++a) {
            p[a] += fit.offset[a];
        }
        for (int r = 0; r < 3; ++r) {
            const double turned = rotation[r][0] * p[0] + rotation[r][1] * p[1] + rotation[r][2] * p[2];
            bounds.low[r] = n == 0 ? turned : std::min(bounds.low[r], turned);
            bounds.high[r] = n == 0 ? turned : std::max(bounds.high[r], turned);
        }
    }
    return bounds;
}

double zoomToFit(const TurnedBounds& bounds, const StrandFit& fit)
{
    const double across = (bounds.high[0] - bounds.low[0]) / 2.0 + fit.reach;
    const double up = (bounds.high[1] - bounds.low[1]) / 2.0 + fit.reach;
    // The translation does not move along the view, so depth is measured from the origin.
    const double deep = std::max(std::fabs(bounds.low[2]), std::fabs(bounds.high[2])) + fit.reach;
    const double room = (1.0 - kFramingMargin) * kSceneHalfSize;
    double zoom = kLargestFittingZoom;
    for (double extent : {across, up, deep}) {
        if (extent * kLargestFittingZoom > room) {
            zoom = std::min(zoom, room / extent);
        }
    }
    return zoom;
}

ViewState framedView(const ViewState& user, const TurnedBounds& bounds, double zoom)
{
    const double scale = static_cast<double>(user.zoomFactor) * zoom;
    const double middleX = (bounds.low[0] + bounds.high[0]) / 2.0;
    const double middleY = (bounds.low[1] + bounds.high[1]) / 2.0;
    ViewState view = user;
    view.zoomFactor = static_cast<float>(scale);
    // The view's y translation runs downward.
    view.translationX = static_cast<float>(user.translationX - scale * middleX);
    view.translationY = static_cast<float>(user.translationY + scale * middleY);
    return view;
}
