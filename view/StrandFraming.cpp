#include "view/StrandFraming.h"

#include <algorithm>
#include <cmath>

TurnedBounds turnedBounds(const GuideStrands& guides, const ViewState& view)
{
    TurnedBounds bounds;
    const uint64_t points = guides.strandCount() > 0 ? guides.starts.back() : 0;
    double rotation[3][3];
    viewRotation(view, rotation);
    for (uint64_t n = 0; n < points; ++n) {
        float p[3];
        guides.point(n, p);
        for (int r = 0; r < 3; ++r) {
            const double turned = rotation[r][0] * p[0] + rotation[r][1] * p[1] + rotation[r][2] * p[2];
            bounds.low[r] = n == 0 ? turned : std::min(bounds.low[r], turned);
            bounds.high[r] = n == 0 ? turned : std::max(bounds.high[r], turned);
        }
    }
    return bounds;
}

StrandFit fitStrands(const TurnedBounds& bounds, const ViewState& view, float reach)
{
    double rotation[3][3];
    viewRotation(view, rotation);
    double middle[3];
    double half[3];
    for (int a = 0; a < 3; ++a) {
        // Halves first: the two ends of a box near the float limits would overflow their sum.
        middle[a] = bounds.low[a] / 2.0 + bounds.high[a] / 2.0;
        half[a] = bounds.high[a] / 2.0 - bounds.low[a] / 2.0 + reach;
    }
    StrandFit fit;
    // The turned middle back in the model's axes: the rotation's transpose.
    for (int a = 0; a < 3; ++a) {
        fit.offset[a] = static_cast<float>(
            -(rotation[0][a] * middle[0] + rotation[1][a] * middle[1] + rotation[2][a] * middle[2]));
    }
    // Depth is not seen, so it needs no margin; a hair's breadth keeps rounding off the clip planes.
    const double room[3] = {(1.0 - kFramingMargin) * kSceneHalfSize,
                            (1.0 - kFramingMargin) * kSceneHalfSize, 0.999 * kSceneHalfSize};
    fit.zoom = kLargestFittingZoom;
    for (int a = 0; a < 3; ++a) {
        if (half[a] * kLargestFittingZoom > room[a]) {
            fit.zoom = std::min(fit.zoom, room[a] / half[a]);
        }
    }
    return fit;
}

ViewState framedView(const ViewState& user, double zoom)
{
    ViewState view = user;
    view.zoomFactor = static_cast<float>(static_cast<double>(user.zoomFactor) * zoom);
    return view;
}
