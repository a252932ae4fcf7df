#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include <FL/gl.h>

#include "BenchFigures.h"
#include "BenchSupport.h"
#include "app/HairSettings.h"
#include "app/AppWindow.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

// One draw pass of the largest hair on the sphere, against the floor that GL
// alone sets: the same frame set-up and the same strips with the same calls,
// their vertices evaluated before the pass instead of during it.

namespace {

struct Strip {
    size_t first;
    int count;
};

// Every strip of one pass, in drawing order, as evaluateRow leaves them.
struct PassStrips {
    std::vector<SurfaceVertex> vertices;
    std::vector<Strip> underlying;
    std::vector<Strip> hair;
};

void collectStrips(NurbsSurface& surface, PassStrips& pass, std::vector<Strip>& strips)
{
    const int count = 2 * surface.samplesV + 2;
    for (int i = 0; i <= surface.samplesU; ++i) {
        surface.evaluateRow(i);
        if (i == 0) {
            continue;
        }
        strips.push_back({pass.vertices.size(), count});
        pass.vertices.insert(pass.vertices.end(), surface.stripVertices, surface.stripVertices + count);
    }
}

PassStrips collectPass()
{
    PassStrips pass;
    collectStrips(underlyingSurface, pass, pass.underlying);
    // The pass draws the sphere lit from outside, its normals turned away from the centre.
    for (SurfaceVertex& vertex : pass.vertices) {
        float* n = vertex.normal;
        const float* p = vertex.position;
        if (n[0] * p[0] + n[1] * p[1] + n[2] * p[2] < 0.0f) {
            n[0] = -n[0];
            n[1] = -n[1];
            n[2] = -n[2];
        }
    }
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        HairCluster& cluster = hairStore.hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            collectStrips(cluster.strands[q], pass, pass.hair);
        }
    }
    return pass;
}

// The calls of NurbsSurface::draw for one Plain strip.
void sendStrip(const SurfaceVertex* vertices, int count)
{
    glLineWidth(1.0f);
    glBegin(GL_TRIANGLE_STRIP);
    glColor3f(0.9f, 0.8f, 0.9f);
    for (int k = 0; k < count; ++k) {
        const SurfaceVertex& vertex = vertices[k];
        glNormal3f(vertex.normal[0], vertex.normal[1], vertex.normal[2]);
        glVertex3f(vertex.position[0], vertex.position[1], vertex.position[2]);
    }
    glEnd();
}

// The view's own pass with the scene hidden does the clear and every state
// call; the strips follow under the pass's camera transform. Before any timing
// the two passes' frames are compared pixel for pixel.
// The camera's depth is worked out once, before: the pass's own working of it
// is part of what the floor leaves out.
void floorPass(HairView* view, const PassStrips& pass, double depth)
{
    hairStore.hairGrown = false;
    view->draw();
    hairStore.hairGrown = true;
    const ViewState camera = {view->zoomFactor, view->rotationX, view->rotationZ,
                              view->translationX, view->translationY};
    pushViewCamera(camera, depth);
    for (const Strip& strip : pass.underlying) {
        sendStrip(&pass.vertices[strip.first], strip.count);
    }
    glPushMatrix();
    for (const Strip& strip : pass.hair) {
        sendStrip(&pass.vertices[strip.first], strip.count);
    }
    glPopMatrix();
    popViewCamera(camera, depth);
    glEnable(GL_LIGHTING);
}

std::vector<unsigned char> readFrame(HairView* view)
{
    std::vector<unsigned char> rgb(static_cast<size_t>(view->w()) * view->h() * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, view->w(), view->h(), GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

HairView* largestHairScene()
{
    HairView* view = shownView();
    if (!growLargestHair(UnderlyingShape::Sphere, HairStyle::Messy)) {
        return nullptr;
    }
    HairSettings& settings = *theAppWindow->settings;
    settings.shape = UnderlyingShape::Sphere;
    settings.displayMode = DisplayMode::Smooth;
    return view;
}

// The pass and the floor take turns, each first in every other round, so that a
// change in the machine's load falls on both alike; the figures are medians over
// the rounds, which a round disturbed by another process does not move. The
// benchmark's own time is the pass's.
void BM_DrawPassAgainstFloor(benchmark::State& state)
{
    HairView* view = largestHairScene();
    if (view == nullptr) {
        state.SkipWithError("the growth was refused");
        return;
    }
    const PassStrips pass = collectPass();
    const SceneInputs scene = {UnderlyingShape::Sphere, DisplayMode::Smooth, false, false,
                               &hairStore, &underlyingSurface, true};
    const double depth = sceneDepth({view->zoomFactor, view->rotationX, view->rotationZ,
                                     view->translationX, view->translationY},
                                    scene);
    view->make_current();
    // The floor must draw exactly the frame the pass draws.
    view->draw();
    glFinish();
    const std::vector<unsigned char> passFrame = readFrame(view);
    floorPass(view, pass, depth);
    glFinish();
    if (readFrame(view) != passFrame) {
        state.SkipWithError("the floor draws another frame than the pass");
        return;
    }

    const AgainstFloor times =
        timeAgainstFloor(state, [view] { view->draw(); }, [&] { floorPass(view, pass, depth); });
    state.counters["passMs"] = median(times.drawSeconds) * 1e3;
    state.counters["floorMs"] = median(times.floorSeconds) * 1e3;
    state.counters["passPerFloor"] = median(times.ratios);
    state.counters["stripVertices"] = static_cast<double>(pass.vertices.size());
}

}  // namespace

// A pass under llvmpipe takes a few hundred milliseconds; sixteen rounds of a
// pass and a floor keep the run short.
BENCHMARK(BM_DrawPassAgainstFloor)
    ->Name("DrawPass/Sphere")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(16);
