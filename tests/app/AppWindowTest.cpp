#include <cstdlib>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include "app/AppWindow.h"
#include "app/HairSettings.h"
#include "app/ProgramText.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

namespace {

// One window for the whole program, as in the real thing.
AppWindow& app()
{
    if (theAppWindow == nullptr) {
        theAppWindow = new AppWindow;
    }
    return *theAppWindow;
}

struct MenuRecord {
    const char* label;
    int flags;
    Fl_Color colour;
    bool hasCallback;
};

const MenuRecord kExpectedMenu[kMenuItemCount] = {
    {"File", FL_SUBMENU, 176, false},
    {"Load Hair Data", 0, 178, true},
    {"Save Hair Data", 0, 203, true},
    {nullptr, 0, 0, false},
    {"Under Lying Shape", FL_SUBMENU, 216, false},
    {"Plane", FL_MENU_RADIO, 218, true},
    {"Sphere", FL_MENU_RADIO, 242, true},
    {"Torus", FL_MENU_RADIO, 234, true},
    {"Mesh...", FL_MENU_RADIO, 234, true},
    {nullptr, 0, 0, false},
    {"Style", FL_SUBMENU, 243, false},
    {"Messy", FL_MENU_RADIO, 241, true},
    {"Combed", FL_MENU_RADIO, 241, true},
    {nullptr, 0, 0, false},
    {"Model", FL_SUBMENU, 232, false},
    {"Control Points", FL_MENU_TOGGLE, 137, true},
    {"Control Polygon", FL_MENU_TOGGLE, 153, true},
    {"Wireframe", FL_MENU_RADIO, 177, true},
    {"Smooth", FL_MENU_RADIO, 194, true},
    {"Texture", FL_MENU_RADIO, 234, true},
    {nullptr, 0, 0, false},
    {"View", FL_SUBMENU, 137, false},
    {"Rotate", FL_MENU_TOGGLE, 138, true},
    {"Translate", FL_MENU_TOGGLE, 138, true},
    {"Zoom In", FL_MENU_RADIO, 209, true},
    {"Zoom Out", FL_MENU_RADIO, 162, true},
    {"No Zoom", FL_MENU_RADIO, 249, true},
    {nullptr, 0, 0, false},
    {"Exit", 0, 248, true},
    {nullptr, 0, 0, false},
};

int menuIndex(const char* label)
{
    for (int i = 0; i < kMenuItemCount; ++i) {
        if (kMenuItems[i].text != nullptr && std::string(kMenuItems[i].text) == label) {
            return i;
        }
    }
    ADD_FAILURE() << "no menu item " << label;
    return -1;
}

// Runs the item's callback the way the menu bar does when a person picks it.
std::string pick(const char* label)
{
    testing::internal::CaptureStdout();
    app().menuBar->picked(&kMenuItems[menuIndex(label)]);
    return testing::internal::GetCapturedStdout();
}

std::string moveSlider(Fl_Value_Slider* slider, double value)
{
    testing::internal::CaptureStdout();
    slider->value(value);
    slider->do_callback();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(AppWindowLayout, MainWindowAndChildrenInCreationOrder)
{
    AppWindow& a = app();
    EXPECT_STREQ(a.mainWindow->label(), "Tressmoor");
    EXPECT_EQ(a.mainWindow->w(), 684);
    EXPECT_EQ(a.mainWindow->h(), 506);
    EXPECT_EQ(a.mainWindow->box(), FL_PLASTIC_UP_BOX);
    EXPECT_EQ(a.mainWindow->user_data(), &a);
    EXPECT_FALSE(a.mainWindow->shown());

    ASSERT_EQ(a.mainWindow->children(), 8);
    const Fl_Widget* expected[] = {a.menuBar, a.view, a.lengthSlider, a.restAngleSlider,
                                   a.hairsSlider, a.clustersSlider, a.renderButton, a.partsSlider};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(a.mainWindow->child(i), expected[i]) << "child " << i;
    }
    EXPECT_EQ(a.mainWindow->resizable(), nullptr) << "no widget is made resizable";

    EXPECT_EQ(a.menuBar->x(), 0);
    EXPECT_EQ(a.menuBar->y(), 0);
    EXPECT_EQ(a.menuBar->w(), 675);
    EXPECT_EQ(a.menuBar->h(), 25);
    EXPECT_STREQ(a.menuBar->label(), "menuBar");
    EXPECT_EQ(a.menuBar->box(), FL_PLASTIC_UP_BOX);
    EXPECT_EQ(a.menuBar->down_box(), FL_PLASTIC_DOWN_BOX);
    EXPECT_EQ(a.menuBar->selection_color(), 14u);
    EXPECT_EQ(a.menuBar->labelfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(a.menuBar->textfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(a.menuBar->menu(), kMenuItems);

    EXPECT_EQ(a.view->x(), 10);
    EXPECT_EQ(a.view->y(), 35);
    EXPECT_EQ(a.view->w(), 445);
    EXPECT_EQ(a.view->h(), 455);
    EXPECT_STREQ(a.view->label(), "XYZ");
    EXPECT_EQ(a.view->box(), FL_PLASTIC_UP_BOX);
    EXPECT_EQ(a.view->color(), 23u);
    EXPECT_EQ(a.view->labeltype(), FL_ENGRAVED_LABEL);
    EXPECT_EQ(a.view->labelfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(a.view->labelcolor(), 176u);
    EXPECT_EQ(a.view->align(), FL_ALIGN_INSIDE);
    EXPECT_EQ(a.view->mode(), FL_RGB | FL_DOUBLE | FL_DEPTH);

    EXPECT_EQ(a.renderButton->x(), 475);
    EXPECT_EQ(a.renderButton->y(), 425);
    EXPECT_EQ(a.renderButton->w(), 135);
    EXPECT_EQ(a.renderButton->h(), 35);
    EXPECT_STREQ(a.renderButton->label(), "Render Hair");
    EXPECT_EQ(a.renderButton->box(), FL_PLASTIC_UP_BOX);
    EXPECT_EQ(a.renderButton->down_box(), FL_PLASTIC_UP_FRAME);
    EXPECT_EQ(a.renderButton->labeltype(), FL_ENGRAVED_LABEL);
    EXPECT_EQ(a.renderButton->labelfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(a.renderButton->labelsize(), 16);
    EXPECT_EQ(a.renderButton->labelcolor(), 201u);
    EXPECT_EQ(a.renderButton->when(), FL_WHEN_RELEASE);
    EXPECT_NE(a.renderButton->callback(), nullptr);
}

TEST(AppWindowLayout, SlidersKeepTheirRangesStepsAndLabels)
{
    AppWindow& a = app();
    struct Expected {
        Fl_Value_Slider* slider;
        int y;
        const char* label;
        double minimum, maximum, step, value;
        Fl_Align align;
    } expected[] = {
        {a.lengthSlider, 70, "Length of Hair", 1, 40, 1, 10, 5},
        {a.restAngleSlider, 205, "Rest Angle                    (from Straight to Curly)", 0, 90, 1, 1, 133},
        {a.hairsSlider, 280, "# of Hairs in a Cluster", 1, 50, 1, 1, 5},
        {a.clustersSlider, 350, "# of Clusters", 1, 10, 1, 1, 5},
        {a.partsSlider, 120, "# of Hair Parts", 8, 16, 2, 10, 5},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.label);
        EXPECT_EQ(e.slider->x(), 475);
        EXPECT_EQ(e.slider->y(), e.y);
        EXPECT_EQ(e.slider->w(), 185);
        EXPECT_EQ(e.slider->h(), 25);
        EXPECT_STREQ(e.slider->label(), e.label);
        EXPECT_EQ(e.slider->minimum(), e.minimum);
        EXPECT_EQ(e.slider->maximum(), e.maximum);
        EXPECT_EQ(e.slider->step(), e.step);
        EXPECT_EQ(e.slider->value(), e.value);
        EXPECT_EQ(e.slider->align(), e.align);
        EXPECT_EQ(e.slider->type(), FL_HOR_NICE_SLIDER);
        EXPECT_EQ(e.slider->box(), FL_PLASTIC_UP_BOX);
        EXPECT_EQ(e.slider->color(), 245u);
        EXPECT_EQ(e.slider->labeltype(), FL_ENGRAVED_LABEL);
        EXPECT_EQ(e.slider->labelfont(), FL_HELVETICA_BOLD);
        EXPECT_EQ(e.slider->labelcolor(), 195u);
        EXPECT_EQ(e.slider->textfont(), FL_HELVETICA_BOLD);
        EXPECT_EQ(e.slider->when(), FL_WHEN_CHANGED);
        EXPECT_NE(e.slider->callback(), nullptr);
    }
    // The parts slider rounds any position to the even values 8..16.
    EXPECT_EQ(a.partsSlider->round(11.2), 12);
    EXPECT_EQ(a.partsSlider->round(8.9), 8);
}

TEST(AppWindowLayout, MenuTableRecords)
{
    for (int i = 0; i < kMenuItemCount; ++i) {
        const Fl_Menu_Item& item = kMenuItems[i];
        const MenuRecord& e = kExpectedMenu[i];
        SCOPED_TRACE("record " + std::to_string(i));
        if (e.label == nullptr) {
            EXPECT_EQ(item.text, nullptr);
            EXPECT_EQ(item.flags, 0);
            EXPECT_EQ(item.callback_, nullptr);
            EXPECT_EQ(item.labelcolor_, 0u);
            continue;
        }
        EXPECT_STREQ(item.text, e.label);
        EXPECT_EQ(item.flags, e.flags);
        EXPECT_EQ(item.labelcolor_, e.colour);
        EXPECT_EQ(item.callback_ != nullptr, e.hasCallback);
        EXPECT_EQ(item.shortcut_, 0);
        EXPECT_EQ(item.user_data_, nullptr);
        EXPECT_EQ(item.labeltype_, FL_ENGRAVED_LABEL);
        EXPECT_EQ(item.labelfont_, FL_HELVETICA_BOLD);
        EXPECT_EQ(item.labelsize_, 14);
        EXPECT_EQ(item.value(), 0) << "no item starts checked or chosen";
    }
}

TEST(HairSettingsDefaults, MatchTheSlidersAndStartWithNoShape)
{
    HairSettings s;
    EXPECT_EQ(s.shape, UnderlyingShape::NoShape);
    EXPECT_EQ(s.style, HairStyle::Messy);
    EXPECT_EQ(s.displayMode, DisplayMode::Wireframe);
    EXPECT_EQ(s.zoomMode, ZoomMode::NoZoom);
    EXPECT_FALSE(s.rotate || s.translate || s.controlPoints || s.controlPolygon);
    AppWindow& a = app();
    EXPECT_EQ(s.length, a.lengthSlider->value());
    EXPECT_EQ(s.parts, a.partsSlider->value());
    EXPECT_EQ(s.restAngle, a.restAngleSlider->value());
    EXPECT_EQ(s.hairs, a.hairsSlider->value());
    EXPECT_EQ(s.clusters, a.clustersSlider->value());
    EXPECT_FALSE(hairStore.hairGrown);
}

TEST(CommandTable, SlidersStoreAndPrintEveryChange)
{
    AppWindow& a = app();
    HairSettings& s = *a.settings;
    EXPECT_EQ(moveSlider(a.lengthSlider, 23), "length = 23\n");
    EXPECT_EQ(s.length, 23);
    EXPECT_EQ(moveSlider(a.restAngleSlider, 0), "restAngle = 0\n");
    EXPECT_EQ(s.restAngle, 0);
    EXPECT_EQ(moveSlider(a.restAngleSlider, 90), "restAngle = 90\n");
    EXPECT_EQ(s.restAngle, 90);
    EXPECT_EQ(moveSlider(a.hairsSlider, 50), "hairs = 50\n");
    EXPECT_EQ(s.hairs, 50);
    EXPECT_EQ(moveSlider(a.clustersSlider, 7), "clusters = 7\n");
    EXPECT_EQ(s.clusters, 7);
    EXPECT_EQ(moveSlider(a.partsSlider, 12), "parts = 12\n");
    EXPECT_EQ(s.parts, 12);

    // A drag over several values runs the action once per value.
    std::string drag;
    for (int v = 2; v <= 4; ++v) {
        drag += moveSlider(a.lengthSlider, v);
    }
    EXPECT_EQ(drag, "length = 2\nlength = 3\nlength = 4\n");
    EXPECT_FALSE(hairStore.hairGrown) << "moving sliders grows nothing";
}

TEST(CommandTable, TogglesFlipAndChoicesStoreSilently)
{
    HairSettings& s = *app().settings;
    const struct {
        const char* label;
        bool HairSettings::*flag;
    } toggles[] = {{"Control Points", &HairSettings::controlPoints},
                   {"Control Polygon", &HairSettings::controlPolygon},
                   {"Rotate", &HairSettings::rotate},
                   {"Translate", &HairSettings::translate}};
    for (const auto& t : toggles) {
        const bool before = s.*t.flag;
        EXPECT_EQ(pick(t.label), "") << t.label;
        EXPECT_EQ(s.*t.flag, !before) << t.label;
        pick(t.label);
        EXPECT_EQ(s.*t.flag, before) << t.label;
    }

    const struct {
        const char* label;
        DisplayMode value;
    } displayChoices[] = {{"Smooth", DisplayMode::Smooth},
                          {"Texture", DisplayMode::Texture},
                          {"Wireframe", DisplayMode::Wireframe}};
    for (const auto& c : displayChoices) {
        EXPECT_EQ(pick(c.label), "") << c.label;
        EXPECT_EQ(s.displayMode, c.value) << c.label;
    }
    const struct {
        const char* label;
        ZoomMode value;
    } zoomChoices[] = {{"Zoom In", ZoomMode::ZoomIn},
                       {"Zoom Out", ZoomMode::ZoomOut},
                       {"No Zoom", ZoomMode::NoZoom},
                       {"No Zoom", ZoomMode::NoZoom}};
    for (const auto& c : zoomChoices) {
        EXPECT_EQ(pick(c.label), "") << c.label;
        EXPECT_EQ(s.zoomMode, c.value) << c.label;
    }
}

TEST(CommandTable, RebuildsBeforeAnyShapeGrowNothingAndRequestNoRedraw)
{
    AppWindow& a = app();
    HairSettings& s = *a.settings;
    ASSERT_EQ(s.shape, UnderlyingShape::NoShape);
    a.view->clear_damage();

    EXPECT_EQ(pick("Combed"), "style = COMBED\n");
    EXPECT_EQ(s.style, HairStyle::Combed);
    EXPECT_EQ(pick("Messy"), "style = MESSY\n");
    EXPECT_EQ(s.style, HairStyle::Messy);

    testing::internal::CaptureStdout();
    a.renderButton->do_callback();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(s.shape, UnderlyingShape::NoShape);
    EXPECT_FALSE(hairStore.hairGrown);
    EXPECT_EQ(a.view->damage(), 0) << "no redraw was requested";
}

TEST(CommandTable, ExitItemEndsTheProcessWithStatusOne)
{
    AppWindow& a = app();
    EXPECT_EXIT(a.menuBar->picked(&kMenuItems[menuIndex("Exit")]), testing::ExitedWithCode(1), "");
}

namespace {

// The view asks for a redraw only when shown; show it on the test's display.
AppWindow& shownApp()
{
    AppWindow& a = app();
    if (!a.mainWindow->shown()) {
        a.show();
        Fl::check();
    }
    a.view->clear_damage();
    return a;
}

}  // namespace

TEST(ShapeCommands, SphereAndTorusSetUpTheSurfaceGrowHairAndRedraw)
{
    AppWindow& a = shownApp();
    HairSettings& s = *a.settings;
    moveSlider(a.clustersSlider, 2);
    moveSlider(a.hairsSlider, 3);

    EXPECT_EQ(pick("Sphere"), "ttotal = 441\n");
    EXPECT_EQ(s.shape, UnderlyingShape::Sphere);
    EXPECT_TRUE(hairStore.hairGrown);
    EXPECT_EQ(hairStore.clusterCount, 4);
    EXPECT_EQ(hairStore.hairClusters[3].strandCount, 3);
    EXPECT_EQ(underlyingSurface.samplesU, 20);
    EXPECT_EQ(underlyingSurface.numCtrlU, 9);
    // Sample (0, 5) of the sphere is (100, 0, 0).
    SurfaceVertex* grid = underlyingSurface.evaluateGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_NEAR(grid[5].position[0], 100.0f, 1e-3f);
    delete[] grid;
    EXPECT_NE(a.view->damage(), 0);

    a.view->clear_damage();
    EXPECT_EQ(pick("Torus"), "ttotal = 441\n");
    EXPECT_EQ(s.shape, UnderlyingShape::Torus);
    grid = underlyingSurface.evaluateGrid();
    EXPECT_NEAR(grid[10 * 21].position[1], 150.0f, 1e-3f) << "sample (10, 0) of the torus";
    delete[] grid;
    EXPECT_NE(a.view->damage(), 0);
}

TEST(ShapeCommands, PlaneLeavesTheSurfaceAndRenderRebuildsTheCurrentShape)
{
    AppWindow& a = shownApp();
    HairSettings& s = *a.settings;
    moveSlider(a.clustersSlider, 1);
    moveSlider(a.hairsSlider, 1);
    moveSlider(a.partsSlider, 10);
    pick("Sphere");
    const ControlPoint* sphereNet = underlyingSurface.controlNet;

    EXPECT_EQ(pick("Plane"), "") << "the plane evaluates no surface";
    EXPECT_EQ(s.shape, UnderlyingShape::Plane);
    EXPECT_EQ(underlyingSurface.controlNet, sphereNet) << "the plane leaves the sphere in place";
    EXPECT_EQ(hairStore.clusterCount, 1);
    // Plane strands stand on the square at y = 0.
    const NurbsSurface& strand = hairStore.hairClusters[0].strands[0];
    ASSERT_NE(strand.controlNet, nullptr);
    EXPECT_EQ(strand.numCtrlU, 10);
    EXPECT_EQ(strand.controlNet[0].y, 0.0f);

    // "Render Hair" and the style items rebuild with the current settings.
    moveSlider(a.hairsSlider, 4);
    a.view->clear_damage();
    testing::internal::CaptureStdout();
    a.renderButton->do_callback();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(hairStore.hairClusters[0].strandCount, 4);
    EXPECT_NE(a.view->damage(), 0);

    moveSlider(a.partsSlider, 16);
    EXPECT_EQ(pick("Combed"), "style = COMBED\n");
    EXPECT_EQ(hairStore.hairClusters[0].strands[0].numCtrlU, 16) << "the style item grows anew";

    pick("Sphere");
    EXPECT_EQ(pick("Messy"), "style = MESSY\nttotal = 441\n");
}

TEST(Tooltips, EveryControlSaysWhatItDoesAndToPickAShapeFirst)
{
    AppWindow& a = app();
    a.settings->shape = UnderlyingShape::NoShape;
    a.updateTooltips();
    const struct {
        Fl_Widget* widget;
        const char* name;
        bool waitsForAShape;
    } controls[] = {{a.menuBar, "menu bar", false},          {a.view, "view", true},
                    {a.lengthSlider, "length", true},        {a.restAngleSlider, "rest angle", true},
                    {a.hairsSlider, "hairs", true},          {a.clustersSlider, "clusters", true},
                    {a.partsSlider, "parts", true},          {a.renderButton, "Render Hair", true}};
    auto tooltip = [](Fl_Widget* widget) {
        return std::string(widget->tooltip() != nullptr ? widget->tooltip() : "");
    };
    for (const auto& c : controls) {
        EXPECT_GT(tooltip(c.widget).size(), 20u) << c.name;
        EXPECT_EQ(tooltip(c.widget).find("Pick a shape") != std::string::npos, c.waitsForAShape)
            << c.name << ": " << tooltip(c.widget);
    }
    EXPECT_NE(tooltip(a.partsSlider).find("from 8 to 16 in steps of 2"), std::string::npos);
    EXPECT_EQ(tooltip(a.view).find("Rotate"), std::string::npos)
        << "before a shape there is nothing to turn: " << tooltip(a.view);

    // Through the menu, as a person picks it.
    pick("Plane");
    for (const auto& c : controls) {
        EXPECT_EQ(tooltip(c.widget).find("Pick a shape"), std::string::npos)
            << c.name << ": " << tooltip(c.widget);
    }
    EXPECT_NE(tooltip(a.renderButton).find("Grow the hair anew"), std::string::npos);
    // Rotate is off at start, so a drag turns nothing until it is picked.
    EXPECT_NE(tooltip(a.view).find("once View > Rotate is on (it is off at start)"), std::string::npos)
        << tooltip(a.view);
}

// FLTK keeps the text of the tooltip under the pointer, not a copy: every
// command updates the tooltips, so an unchanged text must keep its storage,
// and a changed one must not stay kept once freed.
TEST(Tooltips, TheTipUnderThePointerIsNeverFreedUnderIt)
{
    AppWindow& a = app();
    pick("Plane");
    Fl_Widget* const controls[] = {a.menuBar, a.lengthSlider, a.restAngleSlider, a.hairsSlider,
                                   a.clustersSlider, a.partsSlider};
    for (Fl_Widget* widget : controls) {
        Fl_Tooltip::current(widget);
        ASSERT_EQ(Fl_Tooltip::current(), widget);
        const char* kept = widget->tooltip();
        pick("Messy");
        EXPECT_EQ(widget->tooltip(), kept) << "the same text, where the tooltip keeps it";
        EXPECT_EQ(Fl_Tooltip::current(), widget);
    }
    Fl_Tooltip::current(a.partsSlider);
    a.settings->shape = UnderlyingShape::NoShape;
    a.updateTooltips();
    EXPECT_NE(Fl_Tooltip::current(), a.partsSlider) << "a tip that changed is put away";
    EXPECT_NE(std::string(a.partsSlider->tooltip()).find("Pick a shape"), std::string::npos);
    pick("Plane");
}

// The bar's tooltip and --help name every menu of the real bar, a line each.
TEST(Tooltips, MenuBarTipAndHelpNameEveryMenuOnItsOwnLine)
{
    std::vector<std::string> menus;
    int depth = 0;
    for (const Fl_Menu_Item& item : kMenuItems) {
        if (item.text == nullptr) {
            --depth;
        } else {
            if (depth == 0) {
                menus.push_back(item.text);
            }
            depth += (item.flags & FL_SUBMENU) != 0 ? 1 : 0;
        }
    }
    ASSERT_EQ(menus.size(), 6u);
    const std::string tip = menuBarTooltip();
    const std::string help = programHelp();
    for (const std::string& menu : menus) {
        EXPECT_TRUE(tip.rfind(menu + ": ", 0) == 0 || tip.find("\n" + menu + ": ") != std::string::npos)
            << menu << " in " << tip;
        EXPECT_NE(help.find("\n  " + menu + "  "), std::string::npos) << menu << " in " << help;
    }
    EXPECT_EQ(std::string(app().menuBar->tooltip()), tip);
}
