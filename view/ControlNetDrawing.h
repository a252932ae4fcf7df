#ifndef TRESSMOOR_VIEW_CONTROLNETDRAWING_H
#define TRESSMOOR_VIEW_CONTROLNETDRAWING_H

struct SceneInputs;

constexpr float kControlPointSize = 5.0f;     // pixels
constexpr float kControlPolygonWidth = 1.0f;  // pixels
// Unlit colours that neither the lit material, the hair texture nor the clear colour can give.
const float kControlPointColour[3] = {1.0f, 1.0f, 0.0f};
const float kControlPolygonColour[3] = {1.0f, 0.0f, 1.0f};

// Draw, under the current transform, the control points and the control polygon
// of what the scene shows, as its two flags ask: the sphere's or torus's net and
// every current strand's centreline. Sends no GL call with both flags off, and
// leaves every GL state it touches as it found it.
void drawControlNets(const SceneInputs& scene);

// How far the nets the scene shows reach from the origin along towardViewer (a
// unit vector), as a depth the camera must see to hold them once they are
// pulled toward the viewer; 0 when none is shown.
double controlNetDepth(const SceneInputs& scene, const double towardViewer[3]);

#endif
