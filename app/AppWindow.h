#ifndef TRESSMOOR_APP_APPWINDOW_H
#define TRESSMOOR_APP_APPWINDOW_H

#include <FL/Fl_Widget.H>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairRecipe.h"

class Fl_Window;
class Fl_Menu_Bar;
class Fl_Value_Slider;
class Fl_Button;
struct Fl_Menu_Item;
class HairView;
class HairSettings;

constexpr int kMenuItemCount = 30;
extern Fl_Menu_Item kMenuItems[kMenuItemCount];

// The main window: menu bar, view, sliders and button, each wired to one
// HairSettings operation. Building it opens nothing; show() maps it.
class AppWindow {
public:
    AppWindow();
    void show();

    // Menu items, sliders and the button land here through static callbacks;
    // each runs exactly one settings operation.
    void runCommand(void (HairSettings::*operation)());

    // Mark the shape's and the style's radio items, as picking them would; for
    // settings that change without a pick, such as a loaded hair file.
    void markShapeAndStyle(UnderlyingShape shape, HairStyle style);

    // Tell what each control does on hovering; until a shape is picked, the
    // controls that only act on grown hair say to pick one first.
    void updateTooltips();

    Fl_Window* mainWindow;
    Fl_Menu_Bar* menuBar;
    HairView* view;
    Fl_Value_Slider* lengthSlider;
    Fl_Value_Slider* restAngleSlider;
    Fl_Value_Slider* hairsSlider;
    Fl_Value_Slider* clustersSlider;
    Fl_Button* renderButton;
    Fl_Value_Slider* partsSlider;
    HairSettings* settings;
};

extern AppWindow* theAppWindow;

// Ask the view of theAppWindow, when there is one, to draw again.
void redrawView();

#endif
