#include "view/DrawPass.h"

#include <GL/gl.h>

#include <cmath>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/ControlNetDrawing.h"
#include "view/HairDrawing.h"

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

// Projection and lighting; the program never switches matrix mode, so the
// orthographic box goes onto the model-view matrix.
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
    }
}

}  // namespace

void applyViewCamera(const ViewState& view)
{
    glTranslatef(view.translationX, -view.translationY, 0.0f);
    glRotatef(view.rotationX + kTiltDegrees, 1.0f, 0.0f, 0.0f);
    glRotatef(kTurnDegrees - view.rotationZ, 0.0f, 0.0f, 1.0f);
    glScalef(view.zoomFactor, view.zoomFactor, view.zoomFactor);
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

    glPushMatrix();
    applyViewCamera(view);
    if (scene.store != nullptr && scene.store->hairGrown) {
        drawScene(scene);
        drawControlNets(scene);
    }
    glPopMatrix();
    glEnable(GL_LIGHTING);
}
