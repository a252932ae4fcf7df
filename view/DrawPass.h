#ifndef TRESSMOOR_VIEW_DRAWPASS_H
#define TRESSMOOR_VIEW_DRAWPASS_H

#include <cstdint>

#include "geometry/UnderlyingShapes.h"

class HairStore;
class NurbsSurface;

enum class DisplayMode : int32_t { Wireframe = 0, Smooth = 1, Texture = 3 };

// Where the camera stands: scale, two angles in degrees and a translation in
// scene units, as the view's mouse handling leaves them.
struct ViewState {
    float zoomFactor = 1.0f;
    float rotationX = 0.0f;
    float rotationZ = 0.0f;
    float translationX = 0.0f;
    float translationY = 0.0f;
};

// The zoom presses keep zoomFactor within these. Below a thousandth the whole
// scene is under a pixel; above a thousandfold a pixel is far finer than a strand.
constexpr float kMinZoomFactor = 1.0e-3f;
constexpr float kMaxZoomFactor = 1.0e3f;

// The size of the window's view in pixels, and so of a picture that shows it.
constexpr int kViewWidth = 445;
constexpr int kViewHeight = 455;

// What a pass shows: the settings it reads, the hair, and the sphere's or torus's
// surface under it. Surfaces are evaluated as they are drawn, hence not const.
struct SceneInputs {
    UnderlyingShape shape;
    DisplayMode displayMode;
    bool controlPoints;
    bool controlPolygon;
    HairStore* store;
    NurbsSurface* surface;
    // Whether the strands are drawn as tubes, with their control nets; without,
    // the shape alone.
    bool hairTubes;
};

// The GL context a pass draws in, current while it runs: an identity (a texture
// name belongs to the context that made it), whether the context is new, whether
// its fixed state must be set up again, and the viewport's size in pixels.
struct DrawTarget {
    const void* context;
    bool contextIsNew;
    bool initialise;
    int width;
    int height;
};

// Half the side of the orthographic cube the pass looks through, in scene units:
// after the camera's transform, -kSceneHalfSize to kSceneHalfSize on every axis
// is what the picture shows.
constexpr double kSceneHalfSize = 200.0;

// The camera's transform of the scene, as a pass applies it after the projection.
void applyViewCamera(const ViewState& view);

// The two turns of that transform as a matrix, row by row: a model point p,
// once scaled by the zoom, goes to rotation p before the translation.
void viewRotation(const ViewState& view, double rotation[3][3]);

// One whole draw pass: the fixed lighting and projection when the target asks for
// them, then the cleared frame, the material, the camera and the scene.
void drawScenePass(const ViewState& view, const SceneInputs& scene, const DrawTarget& target);

#endif
