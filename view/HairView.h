#ifndef TRESSMOOR_VIEW_HAIRVIEW_H
#define TRESSMOOR_VIEW_HAIRVIEW_H

#include <FL/Fl_Gl_Window.H>

class HairSettings;
class HairStore;
class NurbsSurface;

// The zoom presses keep zoomFactor within these. Below a thousandth the whole
// scene is under a pixel; above a thousandfold a pixel is far finer than a strand.
constexpr float kMinZoomFactor = 1.0e-3f;
constexpr float kMaxZoomFactor = 1.0e3f;

// The OpenGL view: turns mouse presses and drags into camera changes and draws
// the underlying shape with its hair. The window that owns it hands it the
// settings it follows and what it shows; without settings it has no modes to
// follow and shows an empty scene.
class HairView : public Fl_Gl_Window {
public:
    HairView(int x, int y, int w, int h, const char* label = nullptr);
    ~HairView() override;

    void draw() override;
    int handle(int event) override;

    float zoomFactor = 1.0f;
    float rotationX = 0.0f;
    float rotationZ = 0.0f;
    float translationX = 0.0f;
    float translationY = 0.0f;
    int lastMouseX = 0;
    int lastMouseY = 0;

    const HairSettings* settings = nullptr;
    HairStore* store = nullptr;
    NurbsSurface* surface = nullptr;
};

#endif
