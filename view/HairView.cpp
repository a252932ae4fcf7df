#include "view/HairView.h"

#include <FL/Fl.H>
#include <FL/gl.h>

#include "app/AppWindow.h"
#include "app/HairSettings.h"

HairView::HairView(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label)
{
}

HairView::~HairView() = default;

void HairView::draw()
{
    if (!valid()) {
        glClearColor(0.1f, 0.2f, 0.3f, 0.0f);
        glViewport(0, 0, w(), h());
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

int HairView::handle(int event)
{
    const int x = Fl::event_x();
    const int y = h() - Fl::event_y();
    // A view standing alone, without the main window, has no modes to follow.
    const HairSettings* settings = theAppWindow != nullptr ? theAppWindow->settings : nullptr;

    if (event == FL_PUSH) {
        lastMouseX = x;
        lastMouseY = y;
        if (settings != nullptr && settings->zoomMode == ZoomIn) {
            zoomFactor *= 1.2f;
        }
        if (settings != nullptr && settings->zoomMode == ZoomOut) {
            zoomFactor *= 0.8f;
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
