#include "app/HairSettings.h"

#include <cstdio>
#include <string>

#include <FL/Fl_Value_Slider.H>

#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/MeshCommands.h"
#include "app/ShownChildren.h"
#include "formats/MeshHair.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "hair/MeshGrowth.h"

HairSettings::HairSettings()
    : shape(UnderlyingShape::NoShape),
      style(HairStyle::Messy),
      displayMode(DisplayMode::Wireframe),
      zoomMode(ZoomMode::NoZoom),
      rotate(false),
      translate(false),
      controlPoints(false),
      controlPolygon(false),
      length(kLengthRange.initial),
      parts(kPartsRange.initial),
      restAngle(kRestAngleRange.initial),
      hairs(kHairsRange.initial),
      clusters(kClustersRange.initial)
{
    hairStore.hairGrown = false;
}

namespace {

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
    shape = UnderlyingShape::Plane;
    growCurrentShape();
}

void HairSettings::buildSphere()
{
    shape = UnderlyingShape::Sphere;
    growCurrentShape();
}

void HairSettings::buildTorus()
{
    shape = UnderlyingShape::Torus;
    growCurrentShape();
}

void HairSettings::openMesh()
{
    openMeshThroughChooser(*this);
}

void HairSettings::buildMesh()
{
    if (meshGround == nullptr || !meshGround->ready()) {
        return;
    }
    shape = UnderlyingShape::Mesh;
    growCurrentShape();
}

bool growWindowHair(const HairRecipe& recipe, const MeshGround* ground)
{
    if (recipe.shape != UnderlyingShape::Mesh) {
        growShapeHair(recipe, underlyingSurface, hairStore);
        return true;
    }
    std::string unused;
    return ground != nullptr && growMeshHair(recipe, *ground, hairStore) &&
           holdAsFiled(hairStore, underlyingSurface, recipe, ground->fit, unused);
}

void HairSettings::growCurrentShape()
{
    if (!growWindowHair(recipeFromSettings(*this), meshGround.get())) {
        return;
    }
    growth = ++growthsRun;
    std::string problem;
    if (!showChildrenOf(*this, problem)) {
        showHairFileMessage(HairFileMessage::Problem, "Cannot show the children: " + problem + ".");
    }
    redrawView();
}

void HairSettings::regenerate()
{
    if (shape == UnderlyingShape::Plane) {
        buildPlane();
    } else if (shape == UnderlyingShape::Sphere) {
        buildSphere();
    } else if (shape == UnderlyingShape::Torus) {
        buildTorus();
    } else if (shape == UnderlyingShape::Mesh) {
        buildMesh();
    }
}

void HairSettings::setMessy()
{
    style = HairStyle::Messy;
    printf("style = MESSY\n");
    regenerate();
}

void HairSettings::setCombed()
{
    style = HairStyle::Combed;
    printf("style = COMBED\n");
    regenerate();
}

void HairSettings::toggleControlPoints() { controlPoints = !controlPoints; }
void HairSettings::toggleControlPolygon() { controlPolygon = !controlPolygon; }
void HairSettings::setWireframe() { displayMode = DisplayMode::Wireframe; }
void HairSettings::setSmooth() { displayMode = DisplayMode::Smooth; }
void HairSettings::setTexture() { displayMode = DisplayMode::Texture; }
void HairSettings::toggleRotate() { rotate = !rotate; }
void HairSettings::toggleTranslate() { translate = !translate; }
void HairSettings::setZoomIn() { zoomMode = ZoomMode::ZoomIn; }
void HairSettings::setZoomOut() { zoomMode = ZoomMode::ZoomOut; }
void HairSettings::setNoZoom() { zoomMode = ZoomMode::NoZoom; }

void HairSettings::updateNumber(Fl_Value_Slider* slider, int& field, const SettingRange& range)
{
    field = sliderValue(slider);
    printf("%s = %d\n", range.name, field);
}

void HairSettings::updateLength()
{
    updateNumber(theAppWindow->lengthSlider, length, kLengthRange);
}

void HairSettings::updateRestAngle()
{
    updateNumber(theAppWindow->restAngleSlider, restAngle, kRestAngleRange);
}

void HairSettings::updateHairs()
{
    updateNumber(theAppWindow->hairsSlider, hairs, kHairsRange);
}

void HairSettings::updateClusters()
{
    updateNumber(theAppWindow->clustersSlider, clusters, kClustersRange);
}

void HairSettings::updateParts()
{
    updateNumber(theAppWindow->partsSlider, parts, kPartsRange);
}

HairRecipe recipeFromSettings(const HairSettings& settings)
{
    HairRecipe recipe = {settings.shape, settings.style, settings.length, settings.restAngle,
                         settings.hairs, settings.clusters, settings.parts};
    if (settings.shape == UnderlyingShape::Mesh && settings.meshGround != nullptr) {
        recipe.meshHash = settings.meshGround->seed;
    }
    return recipe;
}

void applyRecipe(const HairRecipe& recipe, HairSettings& settings)
{
    settings.shape = recipe.shape;
    settings.style = recipe.style;
    settings.length = recipe.length;
    settings.restAngle = recipe.restAngle;
    settings.hairs = recipe.hairs;
    settings.clusters = recipe.clusters;
    settings.parts = recipe.parts;
}
