#include "view/ControlNetDrawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/DrawPass.h"

namespace {

// The cross-section is symmetric about the centreline, so the ring point half
// way round sits opposite the first and their midpoint is the centre.
constexpr int kOppositeRingPoint = (kStrandRingPoints - 1) / 2;

// How far the nets are pulled toward the viewer, in the clip-space depth of the
// orthographic box (2 of its 400 units). A 5-pixel point on a sloping surface
// would otherwise lose part of its square to the very surface it lies on, and a
// centreline would vanish inside its own tube.
constexpr float kDepthPull = 0.01f;

// The orthographic box sits on the model-view matrix, so a shift applied before
// the whole of it moves along the clip-space depth; nearer is smaller. A zoomed
// camera scales that depth once more on the projection, which the shift undoes.
void pushPulledTowardViewer()
{
    GLfloat scene[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, scene);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -kDepthPull / projection[10]);
    glMultMatrixf(scene);
}

void sendCartesian(const ControlPoint& point)
{
    glVertex3f(point.x / point.w, point.y / point.w, point.z / point.w);
}

bool hasStrandNet(const NurbsSurface& strand)
{
    return strand.controlNet != nullptr && strand.numCtrlV == kStrandRingPoints;
}

// Ring row `row` of a strand tube is centred on centreline point `row`.
void strandCentre(const NurbsSurface& strand, int row, float centre[3])
{
    const ControlPoint& first = strand.controlNet[row * kStrandRingPoints];
    const ControlPoint& opposite = strand.controlNet[row * kStrandRingPoints + kOppositeRingPoint];
    centre[0] = 0.5f * (first.x / first.w + opposite.x / opposite.w);
    centre[1] = 0.5f * (first.y / first.w + opposite.y / opposite.w);
    centre[2] = 0.5f * (first.z / first.w + opposite.z / opposite.w);
}

void sendStrandCentreline(const NurbsSurface& strand)
{
    float centre[3];
    for (int row = 0; row < strand.numCtrlU; ++row) {
        strandCentre(strand, row, centre);
        glVertex3f(centre[0], centre[1], centre[2]);
    }
}

void sendSurfacePoints(const NurbsSurface& surface)
{
    for (int k = 0; k < surface.numCtrlU * surface.numCtrlV; ++k) {
        sendCartesian(surface.controlNet[k]);
    }
}

// One polyline per row of the net and one per column: both parameter directions.
void drawSurfacePolygon(const NurbsSurface& surface)
{
    for (int i = 0; i < surface.numCtrlU; ++i) {
        glBegin(GL_LINE_STRIP);
        for (int j = 0; j < surface.numCtrlV; ++j) {
            sendCartesian(surface.controlNet[i * surface.numCtrlV + j]);
        }
        glEnd();
    }
    for (int j = 0; j < surface.numCtrlV; ++j) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i < surface.numCtrlU; ++i) {
            sendCartesian(surface.controlNet[i * surface.numCtrlV + j]);
        }
        glEnd();
    }
}

void drawStrandPolygons(const HairStore& store)
{
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            if (hasStrandNet(cluster.strands[q])) {
                glBegin(GL_LINE_STRIP);
                sendStrandCentreline(cluster.strands[q]);
                glEnd();
            }
        }
    }
}

// Every point in one GL_POINTS: the largest hair has 80000 of them. A null store
// sends the surface's alone.
void drawPoints(const NurbsSurface* surface, const HairStore* store)
{
    glBegin(GL_POINTS);
    if (surface != nullptr) {
        sendSurfacePoints(*surface);
    }
    for (int p = 0; store != nullptr && p < store->clusterCount; ++p) {
        const HairCluster& cluster = store->hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            if (hasStrandNet(cluster.strands[q])) {
                sendStrandCentreline(cluster.strands[q]);
            }
        }
    }
    glEnd();
}

bool netsShown(const SceneInputs& scene)
{
    const bool sceneShown = isUnderlyingShape(scene.shape);
    return sceneShown && (scene.controlPoints || scene.controlPolygon);
}

// The surface's net when the scene shows it.
const NurbsSurface* shownSurface(const SceneInputs& scene)
{
    const bool surfaceShown =
        scene.shape == UnderlyingShape::Sphere || scene.shape == UnderlyingShape::Torus;
    return surfaceShown && scene.surface != nullptr && scene.surface->controlNet != nullptr
               ? scene.surface
               : nullptr;
}

double depthAlong(const double towardViewer[3], const float point[3])
{
    return std::fabs(towardViewer[0] * point[0] + towardViewer[1] * point[1] +
                     towardViewer[2] * point[2]);
}

}  // namespace

double controlNetDepth(const SceneInputs& scene, const double towardViewer[3])
{
    if (!netsShown(scene) || scene.store == nullptr) {
        return 0.0;
    }
    double depth = 0.0;
    if (const NurbsSurface* surface = shownSurface(scene)) {
        for (int k = 0; k < surface->numCtrlU * surface->numCtrlV; ++k) {
            const ControlPoint& c = surface->controlNet[k];
            const float point[3] = {c.x / c.w, c.y / c.w, c.z / c.w};
            depth = std::max(depth, depthAlong(towardViewer, point));
        }
    }
    for (int p = 0; p < scene.store->clusterCount; ++p) {
        const HairCluster& cluster = scene.store->hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            if (hasStrandNet(cluster.strands[q])) {
                float centre[3];
                for (int row = 0; row < cluster.strands[q].numCtrlU; ++row) {
                    strandCentre(cluster.strands[q], row, centre);
                    depth = std::max(depth, depthAlong(towardViewer, centre));
                }
            }
        }
    }
    // Pulled toward the viewer by a share of the depth seen, the nets must still be within it.
    return depth / (1.0 - kDepthPull);
}

void drawControlNets(const SceneInputs& scene)
{
    if (!netsShown(scene)) {
        return;
    }
    const NurbsSurface* surface = shownSurface(scene);

    // Restores lighting, texturing, depth function, point size, line width and
    // the current colour, normal and texture coordinate the scene relies on.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_POINT_BIT | GL_LINE_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    // Points land on their own lines: let the later ones win ties.
    glDepthFunc(GL_LEQUAL);
    pushPulledTowardViewer();
    if (scene.controlPolygon) {
        glLineWidth(kControlPolygonWidth);
        glColor3f(kControlPolygonColour[0], kControlPolygonColour[1], kControlPolygonColour[2]);
        if (surface != nullptr) {
            drawSurfacePolygon(*surface);
        }
        if (scene.hairTubes) {
            drawStrandPolygons(*scene.store);
        }
    }
    if (scene.controlPoints) {
        glPointSize(kControlPointSize);
        glColor3f(kControlPointColour[0], kControlPointColour[1], kControlPointColour[2]);
        drawPoints(surface, scene.hairTubes ? scene.store : nullptr);
    }
    glPopMatrix();
    glPopAttrib();
}
