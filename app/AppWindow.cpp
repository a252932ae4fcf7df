#include "app/AppWindow.h"

#include <cstdlib>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/Fl_Window.H>

#include "app/HairSettings.h"
#include "app/ProgramText.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

AppWindow* theAppWindow = nullptr;

namespace {

// Every control's parent is the main window, whose user data is the AppWindow.
template <void (HairSettings::*Operation)()>
void settingsCallback(Fl_Widget* widget, void*)
{
    AppWindow* app = static_cast<AppWindow*>(widget->parent()->user_data());
    app->runCommand(Operation);
}

void exitCallback(Fl_Widget*, void*)
{
    exit(1);
}

constexpr Fl_Fontsize kMenuLabelSize = 14;
// Menu records keep their label type in one byte.
uchar menuLabelType()
{
    return static_cast<uchar>(FL_ENGRAVED_LABEL);
}

Fl_Menu_Item submenu(const char* label, Fl_Color colour)
{
    return {label, 0, nullptr, nullptr, FL_SUBMENU, menuLabelType(), FL_HELVETICA_BOLD,
            kMenuLabelSize, colour};
}

Fl_Menu_Item item(const char* label, int flags, Fl_Color colour, Fl_Callback* callback)
{
    return {label, 0, callback, nullptr, flags, menuLabelType(), FL_HELVETICA_BOLD,
            kMenuLabelSize, colour};
}

constexpr Fl_Menu_Item kEnd = {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};

}  // namespace

Fl_Menu_Item kMenuItems[kMenuItemCount] = {
    submenu("File", 176),
    item("Load Hair Data", 0, 178, settingsCallback<&HairSettings::loadHairData>),
    item("Save Hair Data", 0, 203, settingsCallback<&HairSettings::saveHairData>),
    kEnd,
    submenu("Under Lying Shape", 216),
    item("Plane", FL_MENU_RADIO, 218, settingsCallback<&HairSettings::buildPlane>),
    item("Sphere", FL_MENU_RADIO, 242, settingsCallback<&HairSettings::buildSphere>),
    item("Torus", FL_MENU_RADIO, 234, settingsCallback<&HairSettings::buildTorus>),
    item("Mesh...", FL_MENU_RADIO, 234, settingsCallback<&HairSettings::openMesh>),
    kEnd,
    submenu("Style", 243),
    item("Messy", FL_MENU_RADIO, 241, settingsCallback<&HairSettings::setMessy>),
    item("Combed", FL_MENU_RADIO, 241, settingsCallback<&HairSettings::setCombed>),
    kEnd,
    submenu("Model", 232),
    item("Control Points", FL_MENU_TOGGLE, 137, settingsCallback<&HairSettings::toggleControlPoints>),
    item("Control Polygon", FL_MENU_TOGGLE, 153, settingsCallback<&HairSettings::toggleControlPolygon>),
    item("Wireframe", FL_MENU_RADIO, 177, settingsCallback<&HairSettings::setWireframe>),
    item("Smooth", FL_MENU_RADIO, 194, settingsCallback<&HairSettings::setSmooth>),
    item("Texture", FL_MENU_RADIO, 234, settingsCallback<&HairSettings::setTexture>),
    kEnd,
    submenu("View", 137),
    item("Rotate", FL_MENU_TOGGLE, 138, settingsCallback<&HairSettings::toggleRotate>),
    item("Translate", FL_MENU_TOGGLE, 138, settingsCallback<&HairSettings::toggleTranslate>),
    item("Zoom In", FL_MENU_RADIO, 209, settingsCallback<&HairSettings::setZoomIn>),
    item("Zoom Out", FL_MENU_RADIO, 162, settingsCallback<&HairSettings::setZoomOut>),
    item("No Zoom", FL_MENU_RADIO, 249, settingsCallback<&HairSettings::setNoZoom>),
    kEnd,
    item("Exit", 0, 248, exitCallback),
    kEnd,
};

namespace {

// A slider's place and label; its range, step and default come from the recipe's
// table of numbers.
struct SliderLayout {
    int y;
    const char* label;
    const SettingRange& range;
    Fl_Align align;
    Fl_Callback* callback;
};

constexpr Fl_Align kLabelAbove = FL_ALIGN_TOP | FL_ALIGN_LEFT;

Fl_Value_Slider* makeSlider(const SliderLayout& layout)
{
    Fl_Value_Slider* slider = new Fl_Value_Slider(475, layout.y, 185, 25, layout.label);
    slider->type(FL_HOR_NICE_SLIDER);
    slider->box(FL_PLASTIC_UP_BOX);
    slider->color(245);
    slider->labeltype(FL_ENGRAVED_LABEL);
    slider->labelfont(FL_HELVETICA_BOLD);
    slider->labelcolor(195);
    // The rest angle's minimum, 0, is FLTK's own default.
    slider->minimum(layout.range.minimum);
    slider->maximum(layout.range.maximum);
    slider->step(layout.range.step);
    slider->value(layout.range.initial);
    slider->textfont(FL_HELVETICA_BOLD);
    slider->callback(layout.callback);
    slider->align(layout.align);
    return slider;
}

}  // namespace

AppWindow::AppWindow()
{
    mainWindow = new Fl_Window(684, 506, "Tressmoor");
    mainWindow->box(FL_PLASTIC_UP_BOX);
    mainWindow->user_data(this);

    menuBar = new Fl_Menu_Bar(0, 0, 675, 25, "menuBar");
    menuBar->box(FL_PLASTIC_UP_BOX);
    menuBar->down_box(FL_PLASTIC_DOWN_BOX);
    menuBar->selection_color(14);
    menuBar->labelfont(FL_HELVETICA_BOLD);
    menuBar->textfont(FL_HELVETICA_BOLD);
    menuBar->menu(kMenuItems);

    // The view paints its whole area with GL, so these attributes never show.
    view = new HairView(10, 35, kViewWidth, kViewHeight, "XYZ");
    view->box(FL_PLASTIC_UP_BOX);
    view->color(23);
    view->labeltype(FL_ENGRAVED_LABEL);
    view->labelfont(FL_HELVETICA_BOLD);
    view->labelcolor(176);
    view->align(FL_ALIGN_INSIDE);

    lengthSlider = makeSlider({70, "Length of Hair", kLengthRange, kLabelAbove,
                               settingsCallback<&HairSettings::updateLength>});
    restAngleSlider = makeSlider({205, "Rest Angle                    (from Straight to Curly)",
                                  kRestAngleRange, kLabelAbove | FL_ALIGN_WRAP,
                                  settingsCallback<&HairSettings::updateRestAngle>});
    hairsSlider = makeSlider({280, "# of Hairs in a Cluster", kHairsRange, kLabelAbove,
                              settingsCallback<&HairSettings::updateHairs>});
    clustersSlider = makeSlider({350, "# of Clusters", kClustersRange, kLabelAbove,
                                 settingsCallback<&HairSettings::updateClusters>});

    renderButton = new Fl_Button(475, 425, 135, 35, "Render Hair");
    renderButton->box(FL_PLASTIC_UP_BOX);
    renderButton->down_box(FL_PLASTIC_UP_FRAME);
    renderButton->labeltype(FL_ENGRAVED_LABEL);
    renderButton->labelfont(FL_HELVETICA_BOLD);
    renderButton->labelsize(16);
    renderButton->labelcolor(201);
    renderButton->callback(settingsCallback<&HairSettings::regenerate>);

    // Created last, though it stands second from the top.
    partsSlider = makeSlider({120, "# of Hair Parts", kPartsRange, kLabelAbove,
                              settingsCallback<&HairSettings::updateParts>});

    mainWindow->end();

    settings = new HairSettings;
    // The view follows these settings and shows the program-wide hair and surface.
    view->settings = settings;
    view->store = &hairStore;
    view->surface = &underlyingSurface;
    updateTooltips();
}

void AppWindow::show()
{
    mainWindow->show();
    view->show();
}

void AppWindow::runCommand(void (HairSettings::*operation)())
{
    (settings->*operation)();
    updateTooltips();
}

namespace {

constexpr const char* kPickShapeFirst = "Pick a shape from Under Lying Shape first.";

// FLTK's tooltip keeps the text of the widget under the pointer, not a copy
// of it, and draws it when its delay is up: a copied text replaced meanwhile
// would be drawn from freed memory. So a text is replaced only when it
// changes, and the widget's tooltip is put away first.
void copyTooltip(Fl_Widget* widget, const std::string& text)
{
    if (widget->tooltip() != nullptr && text == widget->tooltip()) return;
    if (Fl_Tooltip::current() == widget) Fl_Tooltip::exit(widget);
    widget->copy_tooltip(text.c_str());
}

void setSliderTooltip(Fl_Value_Slider* slider, const std::string& meaning,
                      const SettingRange& range, bool shapeChosen)
{
    copyTooltip(slider, meaning + ", " + describeRange(range) + ".\n" +
                            (shapeChosen ? "Shows at the next Render Hair." : kPickShapeFirst));
}

}  // namespace

void AppWindow::updateTooltips()
{
    const bool shapeChosen = settings->shape != UnderlyingShape::NoShape;
    // Menu items in this FLTK have no tooltips of their own, so the bar's says
    // what every menu holds.
    copyTooltip(menuBar, menuBarTooltip());
    view->tooltip(shapeChosen ? "Drag to turn the scene once View > Rotate is on (it is off at "
                                "start). View > Translate moves it as you drag; Zoom In and "
                                "Zoom Out scale it at every press."
                              : "Nothing to show yet. Pick a shape from Under Lying Shape to "
                                "grow hair on it.");
    setSliderTooltip(lengthSlider, "The largest rise of a strand per part", kLengthRange,
                     shapeChosen);
    setSliderTooltip(restAngleSlider,
                     "The largest sideways offset of a part, from straight (0) to curly",
                     kRestAngleRange, shapeChosen);
    setSliderTooltip(hairsSlider, "Hairs in each cluster", kHairsRange, shapeChosen);
    setSliderTooltip(clustersSlider, "Clusters along each side of the shape", kClustersRange,
                     shapeChosen);
    setSliderTooltip(partsSlider, "Points along each strand's centreline", kPartsRange,
                     shapeChosen);
    renderButton->tooltip(shapeChosen ? "Grow the hair anew from the sliders; every press gives "
                                        "a new head of hair."
                                      : "Nothing to render yet. Pick a shape from Under Lying "
                                        "Shape first.");
}

namespace {

// The bar shows kMenuItems itself (a static table is not copied), so marking a
// record of the table marks the item on the bar.
void markRadioItem(Fl_Callback* callback)
{
    for (Fl_Menu_Item& item : kMenuItems) {
        if (item.text != nullptr && item.callback_ == callback) {
            item.setonly();
        }
    }
}

}  // namespace

void AppWindow::markShapeAndStyle(UnderlyingShape shape, HairStyle style)
{
    if (shape == UnderlyingShape::Plane) {
        markRadioItem(settingsCallback<&HairSettings::buildPlane>);
    } else if (shape == UnderlyingShape::Sphere) {
        markRadioItem(settingsCallback<&HairSettings::buildSphere>);
    } else if (shape == UnderlyingShape::Torus) {
        markRadioItem(settingsCallback<&HairSettings::buildTorus>);
    } else if (shape == UnderlyingShape::Mesh) {
        markRadioItem(settingsCallback<&HairSettings::openMesh>);
    } else {
        // A cancelled "Mesh..." before any shape: the bar marked it on the pick.
        for (Fl_Menu_Item& item : kMenuItems) {
            if (item.text != nullptr && item.callback_ == settingsCallback<&HairSettings::openMesh>) {
                item.clear();
            }
        }
    }
    if (style == HairStyle::Messy) {
        markRadioItem(settingsCallback<&HairSettings::setMessy>);
    } else if (style == HairStyle::Combed) {
        markRadioItem(settingsCallback<&HairSettings::setCombed>);
    }
    menuBar->redraw();
}

void redrawView()
{
    if (theAppWindow != nullptr && theAppWindow->view != nullptr) {
        theAppWindow->view->redraw();
    }
}
