#include "view/HairView.h"

#include <algorithm>

#include <FL/Fl.H>

#include "app/HairSettings.h"
#include "view/DenseHairLines.h"
#include "view/DrawPass.h"

#include <GL/glx.h>

namespace {

// Unbounded presses would end in a subnormal factor that 1.2 no longer changes,
// or in infinity, and the view would stay blank for good.
float clampedZoom(float factor)
{
    return std::min(std::max(factor, kMinZoomFactor), kMaxZoomFactor);
}

}  // namespace

HairView::HairView(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label)
{
}

HairView::~HairView() = default;

void HairView::draw()
{
    ViewState view = {zoomFactor, rotationX, rotationZ, translationX, translationY};
    SceneInputs scene = {UnderlyingShape::NoShape, DisplayMode::Smooth, false, false, store,
                         surface, guideTubes};
    if (settings != nullptr) {
        scene.shape = settings->shape;
        scene.displayMode = settings->displayMode;
        scene.controlPoints = settings->controlPoints;
        scene.controlPolygon = settings->controlPolygon;
        if (settings->meshGround != nullptr) {
            scene.mesh = &settings->meshGround->mesh;
        }
    }
    const float noOffset[3] = {0.0f, 0.0f, 0.0f};
    if (childLines != nullptr) {
        view = childLines->holdingView(view, noOffset, scene);
    }
    drawScenePass(view, scene, {context(), !context_valid(), !valid(), w(), h()});
    if (childLines != nullptr) {
        childLines->draw(view, noOffset, multiDrawArrays(),
                         scene.displayMode == DisplayMode::Texture);
    }
}

MultiDrawArrays HairView::multiDrawArrays()
{
    // Looked up once a context is current; GL 1.1 itself has no such call.
    if (!multiDrawLookedUp) {
        multiDraw = reinterpret_cast<MultiDrawArrays>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glMultiDrawArrays")));
        multiDrawLookedUp = true;
    }
    return multiDraw;
}

int HairView::handle(int event)
{
    const int x = Fl::event_x();
    const int y = h() - Fl::event_y();

    if (event == FL_PUSH) {
        lastMouseX = x;
        lastMouseY = y;
        if (settings != nullptr && settings->zoomMode == ZoomMode::ZoomIn) {
            zoomFactor = clampedZoom(zoomFactor * 1.2f);
        }
        if (settings != nullptr && settings->zoomMode == ZoomMode::ZoomOut) {
            zoomFactor = clampedZoom(zoomFactor * 0.8f);
        }
        redraw();
    } else if (event == FL_DRAG) {
        const int dx = x - lastMouseX;
        const int dy = lastMouseY - y;
        if (settings != nullptr && settings->rotate) {
            rotationZ = static_cast<float>(rotationZ + dx / 4.0);
            rotationX = static_cast<float>(rotationX + dy / 4.0);
        }
        if (settings != nullptr && settings->translate) {
            translationX = static_cast<float>(translationX + dx / 4.0);
            translationY = static_cast<float>(translationY + dy / 4.0);
        }
        lastMouseX = x;
        lastMouseY = y;
        redraw();
    }
    return 1;
}
