#ifndef TRESSMOOR_APP_HAIRSETTINGS_H
#define TRESSMOOR_APP_HAIRSETTINGS_H

enum UnderlyingShape { Torus = 3, Plane = 7, Sphere = 8, None = 20 };
enum HairStyle { Messy = 8, Combed = 9 };
enum DisplayMode { Wireframe = 0, Smooth = 1, Texture = 3 };
enum ZoomMode { ZoomIn = 5, ZoomOut = 6, NoZoom = 7 };

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

    int shape;
    int style;
    int displayMode;
    int zoomMode;
    bool rotate;
    bool translate;
    bool controlPoints;
    bool controlPolygon;
    int length;
    int parts;
    int restAngle;
    int hairs;
    int clusters;
};

#endif
