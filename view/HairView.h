#ifndef TRESSMOOR_VIEW_HAIRVIEW_H
#define TRESSMOOR_VIEW_HAIRVIEW_H

#include <FL/Fl_Gl_Window.H>

#include "view/DrawPass.h"
#include "view/StrandLines.h"

class DenseHairLines;
class HairSettings;
class HairStore;
class NurbsSurface;

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
    // Children drawn as lit lines after the pass, and whether the guides they
    // came from are drawn as tubes.
    DenseHairLines* childLines = nullptr;
    bool guideTubes = true;

private:
    MultiDrawArrays multiDrawArrays();
    MultiDrawArrays multiDraw = nullptr;
    bool multiDrawLookedUp = false;
};

#endif
