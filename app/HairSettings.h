#ifndef TRESSMOOR_APP_HAIRSETTINGS_H
#define TRESSMOOR_APP_HAIRSETTINGS_H

#include "geometry/UnderlyingShapes.h"  // UnderlyingShape
#include "hair/ChildStrands.h"           // ChildRequest
#include "hair/HairRecipe.h"            // HairStyle
#include "hair/MeshGrowth.h"            // MeshGround
#include "view/DrawPass.h"              // DisplayMode

#include <memory>
#include <string>

class Fl_Value_Slider;

enum class ZoomMode : int32_t { ZoomIn = 5, ZoomOut = 6, NoZoom = 7 };

// Every setting the user changes, and the actions behind the window's controls.
// The view, the drawing and the hair growth read the fields directly.
class HairSettings {
public:
    HairSettings();

    void loadHairData();
    void saveHairData();
    void buildPlane();
    void buildSphere();
    void buildTorus();
    void openMesh();
    // Grow on the opened mesh; the shape becomes Mesh.
    void buildMesh();
    void regenerate();
    void setMessy();
    void setCombed();
    void toggleControlPoints();
    void toggleControlPolygon();
    void setWireframe();
    void setSmooth();
    void setTexture();
    void toggleRotate();
    void toggleTranslate();
    void setZoomIn();
    void setZoomOut();
    void setNoZoom();
    void updateLength();
    void updateRestAngle();
    void updateHairs();
    void updateClusters();
    void updateParts();

    UnderlyingShape shape;
    HairStyle style;
    DisplayMode displayMode;
    ZoomMode zoomMode;
    bool rotate;
    bool translate;
    bool controlPoints;
    bool controlPolygon;
    int length;
    int parts;
    int restAngle;
    int hairs;
    int clusters;
    // Where the file choosers open: the folder of the last save or load, or the
    // working folder while this is empty.
    std::string hairFileFolder;
    // The children every growth brings, as the loaded file made them; none
    // until hair with children is loaded, and none again after a plain file.
    ChildRequest children;
    // Growths since the random generator was as a fresh run starts it, and
    // which of them the shown hair is, as tressmoor-grow's --growth counts.
    int growthsRun = 0;
    int growth = 1;
    // The mesh last opened with "Mesh...", fitted and ready for growth, where it
    // was read, and the folder its chooser opens in next.
    std::unique_ptr<MeshGround> meshGround;
    std::string meshPath;
    std::string meshFolder;

private:
    void growCurrentShape();
    // Store the slider's value in the field and print it as "name = value".
    void updateNumber(Fl_Value_Slider* slider, int& field, const SettingRange& range);
};

// Grow the recipe's hair into the window's store as every growth does: on a
// mesh, on its ground and held as its file holds it; the sphere and torus set
// up the window's surface first. False when the mesh is missing.
bool growWindowHair(const HairRecipe& recipe, const MeshGround* ground);

// The growth's inputs taken from the settings, and the other way round.
HairRecipe recipeFromSettings(const HairSettings& settings);
void applyRecipe(const HairRecipe& recipe, HairSettings& settings);

#endif
