#ifndef TRESSMOOR_VIEW_DRAWPASS_H
#define TRESSMOOR_VIEW_DRAWPASS_H

#include <cstdint>

#include "geometry/UnderlyingShapes.h"

class HairStore;
class NurbsSurface;
class TriangleMesh;

enum class DisplayMode : int32_t { Wireframe = 0, Smooth = 1, Texture = 3 };

// Where the camera stands: scale, two angles in degrees and a translation in
// scene units, as the view's mouse handling leaves them.
struct ViewState {
    float zoomFactor = 1.0f;
    float rotationX = 0.0f;
    float rotationZ = 0.0f;
    float translationX = 0.0f;
    float translationY = 0.0f;
    // The depth the camera must see on either side of the origin, in model units,
    // for what is drawn beyond the pass's own scene (strands drawn as lines after
    // it); the pass holds the deeper of this and its scene.
    double depthReach = 0.0;
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
    // The user's mesh, fitted, when the shape is Mesh; nothing is drawn without it.
    const TriangleMesh* mesh = nullptr;
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
// after the camera's transform, -kSceneHalfSize to kSceneHalfSize across and up
// is what the picture shows. Along the line of sight the camera sees at least as
// far, and further when the scene reaches further.
constexpr double kSceneHalfSize = 200.0;

// How far the pass's scene reaches from the origin along the line of sight, in
// model units, at most: the shape, the strand tubes and the control nets shown.
double sceneDepth(const ViewState& view, const SceneInputs& scene);

// The camera's transform of the scene, on top of the orthographic box: pushed
// before drawing and taken off after, with depth what the drawing between
// reaches along the line of sight (as sceneDepth).
void pushViewCamera(const ViewState& view, double depth);
void popViewCamera(const ViewState& view, double depth);

// The two turns of that transform as a matrix, row by row: a model point p,
// once scaled by the zoom, goes to rotation p before the translation.
void viewRotation(const ViewState& view, double rotation[3][3]);

// One whole draw pass: the fixed lighting and projection when the target asks for
// them, then the cleared frame, the material, the camera and the scene.
void drawScenePass(const ViewState& view, const SceneInputs& scene, const DrawTarget& target);

#endif
