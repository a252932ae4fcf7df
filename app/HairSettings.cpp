#include "app/HairSettings.h"

#include <cstdio>

#include <FL/Fl_Value_Slider.H>

#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

HairSettings::HairSettings()
    : shape(None),
      style(Messy),
      displayMode(Wireframe),
      zoomMode(NoZoom),
      rotate(false),
      translate(false),
      controlPoints(false),
      controlPolygon(false),
      length(10),
      parts(10),
      restAngle(1),
      hairs(1),
      clusters(1)
{
    hairStore.hairGrown = false;
}

namespace {

void redrawView()
{
    if (theAppWindow != nullptr && theAppWindow->view != nullptr) {
        theAppWindow->view->redraw();
    }
}

// Slider steps are whole numbers, so truncation never changes a value.
int sliderValue(Fl_Value_Slider* slider)
{
    return static_cast<int>(slider->value());
}

}  // namespace

void HairSettings::loadHairData()
{
    loadHairThroughChooser(*this);
}

void HairSettings::saveHairData()
{
    saveHairThroughChooser(*this);
}

void HairSettings::buildPlane()
{
    shape = Plane;
    growPlaneHair(*this);
    redrawView();
}

void HairSettings::buildSphere()
{
    shape = Sphere;
    setupSphereSurface();
    growSurfaceHair(*this);
    redrawView();
}

void HairSettings::buildTorus()
{
    shape = Torus;
    setupTorusSurface();
    growSurfaceHair(*this);
    redrawView();
}

void HairSettings::regenerate()
{
    if (shape == Plane) {
        buildPlane();
    } else if (shape == Sphere) {
        buildSphere();
    } else if (shape == Torus) {
        buildTorus();
    }
}

void HairSettings::setMessy()
{
    style = Messy;
    printf("style = MESSY\n");
    regenerate();
}

void HairSettings::setCombed()
{
    style = Combed;
    printf("style = COMBED\n");
    regenerate();
}

void HairSettings::toggleControlPoints() { controlPoints = !controlPoints; }
void HairSettings::toggleControlPolygon() { controlPolygon = !controlPolygon; }
void HairSettings::setWireframe() { displayMode = Wireframe; }
void HairSettings::setSmooth() { displayMode = Smooth; }
void HairSettings::setTexture() { displayMode = Texture; }
void HairSettings::toggleRotate() { rotate = !rotate; }
void HairSettings::toggleTranslate() { translate = !translate; }
void HairSettings::setZoomIn() { zoomMode = ZoomIn; }
void HairSettings::setZoomOut() { zoomMode = ZoomOut; }
void HairSettings::setNoZoom() { zoomMode = NoZoom; }

void HairSettings::updateLength()
{
    length = sliderValue(theAppWindow->lengthSlider);
    printf("length = %d\n", length);
}

void HairSettings::updateRestAngle()
{
    restAngle = sliderValue(theAppWindow->restAngleSlider);
    printf("restAngle = %d\n", restAngle);
}

void HairSettings::updateHairs()
{
    hairs = sliderValue(theAppWindow->hairsSlider);
    printf("hairs = %d\n", hairs);
}

void HairSettings::updateClusters()
{
    clusters = sliderValue(theAppWindow->clustersSlider);
    printf("clusters = %d\n", clusters);
}

void HairSettings::updateParts()
{
    parts = sliderValue(theAppWindow->partsSlider);
    printf("parts = %d\n", parts);
}
