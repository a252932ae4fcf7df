#include "view/DrawPass.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/ControlNetDrawing.h"
#include "view/HairDrawing.h"
#include "view/MeshDrawing.h"

namespace {

const GLfloat kClearColour[4] = {0.1f, 0.2f, 0.3f, 0.0f};
const GLfloat kLightAmbient[4] = {0.2f, 0.6f, 0.7f, 1.0f};
const GLfloat kLightDiffuse[4] = {0.7f, 0.6f, 0.5f, 1.0f};
const GLfloat kLightPosition[4] = {0.0f, 3.0f, 2.0f, 0.0f};
const GLfloat kModelAmbient[4] = {0.4f, 0.4f, 0.4f, 1.0f};
const GLfloat kLocalViewer = 0.0f;
const GLfloat kMaterialAmbient[4] = {0.2f, 0.6f, 0.8f, 1.0f};
const GLfloat kMaterialDiffuse[4] = {0.1f, 0.5f, 0.8f, 1.0f};
const GLfloat kMaterialSpecular[4] = {0.1f, 0.1f, 0.2f, 0.2f};
const GLfloat kMaterialShininess = 5.0f;
const GLfloat kMaterialEmission[4] = {0.0f, 0.0f, 0.0f, 1.0f};

// The camera looks at the scene from this fixed tilt and turn before the user's own.
constexpr float kTiltDegrees = 30.0f;
constexpr float kTurnDegrees = 30.0f;

// What the depth of a scene is widened by, so that rounding in the camera's
// transform cannot carry its nearest or farthest point out of sight.
constexpr double kDepthRounding = 1.001;

// At zoom 1, with the scene inside its depth, the orthographic box alone is the
// camera and every frame is drawn as it always was.
bool boxHoldsTheView(const ViewState& view, double depth)
{
    return view.zoomFactor == 1.0f && depth * kDepthRounding <= kSceneHalfSize;
}

// Projection and lighting. The orthographic box goes onto the model-view
// matrix; the projection matrix stays the identity but while a zoomed camera
// is pushed.
void initialiseGl(int width, int height)
{
    glClearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    // After a resize the matrix still holds the old orthographic box, which
    // would turn the light; the direction is meant in unscaled eye space.
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kModelAmbient);
    glLightModelfv(GL_LIGHT_MODEL_LOCAL_VIEWER, &kLocalViewer);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    glOrtho(-kSceneHalfSize, kSceneHalfSize, -kSceneHalfSize, kSceneHalfSize,
            -kSceneHalfSize, kSceneHalfSize);
}

void applyMaterial()
{
    glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, kMaterialDiffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kMaterialSpecular);
    glMaterialfv(GL_FRONT, GL_SHININESS, &kMaterialShininess);
    glMaterialfv(GL_FRONT, GL_EMISSION, kMaterialEmission);
}

void drawHairInOwnMatrix(const SceneInputs& scene)
{
    if (!scene.hairTubes) {
        return;
    }
    glPushMatrix();
    drawHair(*scene.store, scene.displayMode);
    glPopMatrix();
}

// The square is always filled, and lit as the upward face it is rather than
// with whatever normal the last hair vertex left behind.
void drawPlaneSquare()
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPushMatrix();
    glBegin(GL_QUADS);
    glColor3f(0.0f, 0.0f, 1.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glVertex3d(-kPlaneHalfSide, 0.0, -kPlaneHalfSide);
    glVertex3d(kPlaneHalfSide, 0.0, -kPlaneHalfSide);
    glVertex3d(kPlaneHalfSide, 0.0, kPlaneHalfSide);
    glVertex3d(-kPlaneHalfSide, 0.0, kPlaneHalfSide);
    glEnd();
    glPopMatrix();
}

void drawScene(const SceneInputs& scene)
{
    if (scene.shape == UnderlyingShape::Plane) {
        drawHairInOwnMatrix(scene);
        drawPlaneSquare();
    } else if (scene.shape == UnderlyingShape::Sphere || scene.shape == UnderlyingShape::Torus) {
        // Half the sphere's samples have normals pointing in (its profile circle
        // sweeps it twice); one-sided lighting would leave that covering dark.
        scene.surface->draw(StripStyle::Plain, scene.shape == UnderlyingShape::Sphere
                                                     ? NormalFacing::AwayFromOrigin
                                                     : NormalFacing::AsEvaluated);
        drawHairInOwnMatrix(scene);
    } else if (scene.shape == UnderlyingShape::Mesh && scene.mesh != nullptr) {
        drawMesh(*scene.mesh);
        drawHairInOwnMatrix(scene);
    }
}

}  // namespace

double sceneDepth(const ViewState& view, const SceneInputs& scene)
{
    const bool meshShown = scene.shape == UnderlyingShape::Mesh && scene.mesh != nullptr;
    if (scene.store == nullptr || !scene.store->hairGrown ||
        (!isUnderlyingShape(scene.shape) && !meshShown)) {
        return 0.0;
    }
    double rotation[3][3];
    viewRotation(view, rotation);
    const double* towardViewer = rotation[2];
    double depth = shapeReach(scene.shape);
    // A tube lies within the hull of its control points.
    const HairStore& store = *scene.store;
    for (int p = 0; scene.hairTubes && p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            const NurbsSurface& strand = cluster.strands[q];
            const int points = strand.controlNet != nullptr ? strand.numCtrlU * strand.numCtrlV : 0;
            for (int k = 0; k < points; ++k) {
                const ControlPoint& c = strand.controlNet[k];
                const double along = (towardViewer[0] * c.x + towardViewer[1] * c.y +
                                      towardViewer[2] * c.z) / c.w;
                depth = std::max(depth, std::fabs(along));
            }
        }
    }
    return std::max(depth, controlNetDepth(scene, towardViewer));
}

void pushViewCamera(const ViewState& view, double depth)
{
    glPushMatrix();
    if (boxHoldsTheView(view, depth)) {
        glTranslatef(view.translationX, -view.translationY, 0.0f);
        glRotatef(view.rotationX + kTiltDegrees, 1.0f, 0.0f, 0.0f);
        glRotatef(kTurnDegrees - view.rotationZ, 0.0f, 0.0f, 1.0f);
        glScalef(view.zoomFactor, view.zoomFactor, view.zoomFactor);
        return;
    }
    // A scale on the model-view matrix would scale the normals as well, and so
    // the light, and carry the scene out of the box's depth. The projection
    // comes after the lighting: it takes the zoom, the translation (which the
    // zoom must not scale) and a depth that holds the scene, and never less than
    // the box gives at this zoom.
    const double zoom = view.zoomFactor;
    const double seen = std::max(kSceneHalfSize / zoom, depth * kDepthRounding);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslated(view.translationX / kSceneHalfSize, -view.translationY / kSceneHalfSize, 0.0);
    glScaled(zoom, zoom, kSceneHalfSize / seen);
    glMatrixMode(GL_MODELVIEW);
    glRotatef(view.rotationX + kTiltDegrees, 1.0f, 0.0f, 0.0f);
    glRotatef(kTurnDegrees - view.rotationZ, 0.0f, 0.0f, 1.0f);
}

void popViewCamera(const ViewState& view, double depth)
{
    glPopMatrix();
    if (!boxHoldsTheView(view, depth)) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
}

void viewRotation(const ViewState& view, double rotation[3][3])
{
    const double degree = 3.14159265358979323846 / 180.0;
    const double tilt = (static_cast<double>(view.rotationX) + kTiltDegrees) * degree;
    const double turn = (kTurnDegrees - static_cast<double>(view.rotationZ)) * degree;
    const double ct = std::cos(tilt), st = std::sin(tilt);
    const double cz = std::cos(turn), sz = std::sin(turn);
    // The tilt about x after the turn about z, as glRotatef composes them.
    const double rows[3][3] = {{cz, -sz, 0.0}, {ct * sz, ct * cz, -st}, {st * sz, st * cz, ct}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            rotation[r][c] = rows[r][c];
        }
    }
}

void drawScenePass(const ViewState& view, const SceneInputs& scene, const DrawTarget& target)
{
    useHairTextureContext(target.context, target.contextIsNew);
    if (target.initialise) {
        initialiseGl(target.width, target.height);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK,
                  scene.displayMode == DisplayMode::Wireframe ? GL_LINE : GL_FILL);
    applyMaterial();

    const double depth = std::max(view.depthReach, sceneDepth(view, scene));
    pushViewCamera(view, depth);
    if (scene.store != nullptr && scene.store->hairGrown) {
        drawScene(scene);
        drawControlNets(scene);
    }
    popViewCamera(view, depth);
    glEnable(GL_LIGHTING);
}
