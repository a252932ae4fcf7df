#include <FL/Fl.H>
#include <gtest/gtest.h>

#include "app/AppWindow.h"
#include "app/HairSettings.h"
#include "view/HairView.h"

namespace {

class HairViewHandle : public testing::Test {
protected:
    void SetUp() override
    {
        if (theAppWindow == nullptr) {
            theAppWindow = new AppWindow;
            // FLTK records redraw requests only for a window on screen.
            theAppWindow->show();
            Fl::check();
        }
        view = theAppWindow->view;
        settings = theAppWindow->settings;
        *settings = HairSettings();
        view->zoomFactor = 1.0f;
        view->rotationX = view->rotationZ = 0.0f;
        view->translationX = view->translationY = 0.0f;
        view->lastMouseX = view->lastMouseY = 0;
    }

    // Places the pointer in view coordinates (y downward), as FLTK reports it.
    int send(int event, int x, int y, int button = FL_LEFT_MOUSE)
    {
        Fl::e_x = x;
        Fl::e_y = y;
        Fl::e_keysym = button;
        view->clear_damage();
        return view->handle(event);
    }

    HairView* view = nullptr;
    HairSettings* settings = nullptr;
};

}  // namespace

TEST_F(HairViewHandle, StartsAtRest)
{
    EXPECT_EQ(view->zoomFactor, 1.0f);
    EXPECT_EQ(view->rotationX, 0.0f);
    EXPECT_EQ(view->rotationZ, 0.0f);
    EXPECT_EQ(view->translationX, 0.0f);
    EXPECT_EQ(view->translationY, 0.0f);
}

TEST_F(HairViewHandle, PressRecordsPositionWithYUpwardAndZoomsInSinglePrecision)
{
    EXPECT_EQ(send(FL_PUSH, 100, 55), 1);
    EXPECT_EQ(view->lastMouseX, 100);
    EXPECT_EQ(view->lastMouseY, 455 - 55);
    EXPECT_EQ(view->zoomFactor, 1.0f) << "NoZoom changes nothing";
    EXPECT_NE(view->damage(), 0) << "every press redraws";

    settings->zoomMode = ZoomMode::ZoomIn;
    for (int i = 0; i < 3; ++i) {
        send(FL_PUSH, 10, 10);
    }
    const float threeIn = 1.0f * 1.2f * 1.2f * 1.2f;
    EXPECT_EQ(view->zoomFactor, threeIn);
    EXPECT_NEAR(view->zoomFactor, 1.728f, 1e-5f);

    view->zoomFactor = 1.0f;
    send(FL_PUSH, 10, 10);
    settings->zoomMode = ZoomMode::ZoomOut;
    send(FL_PUSH, 10, 10);
    EXPECT_EQ(view->zoomFactor, 1.2f * 0.8f);
    EXPECT_NE(view->zoomFactor, 1.0f);
    EXPECT_NEAR(view->zoomFactor, 0.96f, 1e-6f);
}

TEST_F(HairViewHandle, DragsRotateAndTranslateByQuarterPixels)
{
    send(FL_PUSH, 200, 200);
    // Neither mode on: the drag only moves the last position and redraws.
    EXPECT_EQ(send(FL_DRAG, 208, 200), 1);
    EXPECT_NE(view->damage(), 0);
    EXPECT_EQ(view->rotationZ, 0.0f);
    EXPECT_EQ(view->translationX, 0.0f);
    EXPECT_EQ(view->lastMouseX, 208);

    settings->rotate = true;
    send(FL_DRAG, 216, 200);
    EXPECT_EQ(view->rotationZ, 2.0f) << "8 pixels right turn by 2 degrees";
    EXPECT_EQ(view->translationX, 0.0f);

    settings->translate = true;
    send(FL_DRAG, 224, 200);
    EXPECT_EQ(view->rotationZ, 4.0f);
    EXPECT_EQ(view->translationX, 2.0f) << "both modes take the same dx";

    settings->rotate = false;
    // 3 pixels down: dy is positive when the pointer moves down.
    send(FL_DRAG, 224, 203);
    EXPECT_EQ(view->translationY, 0.75f);
    EXPECT_EQ(view->rotationX, 0.0f);
    EXPECT_EQ(view->lastMouseY, 455 - 203);

    settings->rotate = true;
    send(FL_DRAG, 221, 200);
    EXPECT_EQ(view->rotationZ, 3.25f);
    EXPECT_EQ(view->rotationX, -0.75f);
    EXPECT_EQ(view->translationX, 1.25f);
    EXPECT_EQ(view->translationY, 0.0f);
}

TEST_F(HairViewHandle, EveryButtonActsAlike)
{
    settings->rotate = true;
    settings->zoomMode = ZoomMode::ZoomIn;
    const int buttons[] = {FL_LEFT_MOUSE, FL_MIDDLE_MOUSE, FL_RIGHT_MOUSE};
    float expectedZoom = 1.0f;
    float expectedRotation = 0.0f;
    for (int button : buttons) {
        send(FL_PUSH, 50, 50, button);
        send(FL_DRAG, 54, 50, button);
        expectedZoom *= 1.2f;
        expectedRotation = static_cast<float>(expectedRotation + 1.0);
        EXPECT_EQ(view->zoomFactor, expectedZoom) << "button " << button;
        EXPECT_EQ(view->rotationZ, expectedRotation) << "button " << button;
    }
}

TEST_F(HairViewHandle, OtherEventsAreUsedAndChangeNothing)
{
    settings->rotate = true;
    settings->translate = true;
    settings->zoomMode = ZoomMode::ZoomIn;
    send(FL_PUSH, 0, 0);
    const float zoom = view->zoomFactor;
    const int events[] = {FL_RELEASE, FL_MOVE, FL_MOUSEWHEEL, FL_KEYDOWN, FL_KEYUP, FL_SHORTCUT,
                          FL_FOCUS, FL_UNFOCUS, FL_ENTER, FL_LEAVE, FL_SHOW, FL_HIDE};
    for (int event : events) {
        EXPECT_EQ(send(event, 300, 300), 1) << "event " << event;
        EXPECT_EQ(view->damage(), 0) << "event " << event;
    }
    EXPECT_EQ(view->zoomFactor, zoom);
    EXPECT_EQ(view->rotationX, 0.0f);
    EXPECT_EQ(view->rotationZ, 0.0f);
    EXPECT_EQ(view->translationX, 0.0f);
    EXPECT_EQ(view->translationY, 0.0f);
    EXPECT_EQ(view->lastMouseX, 0);
}

TEST_F(HairViewHandle, AnglesAreNeverWrapped)
{
    settings->rotate = true;
    send(FL_PUSH, 0, 0);
    send(FL_DRAG, 4000, 0);
    EXPECT_EQ(view->rotationZ, 1000.0f);
}

// Unbounded, 460 presses out reach a subnormal factor that 1.2 rounds back to
// itself, and 490 presses in reach infinity.
TEST_F(HairViewHandle, ZoomStaysWithinItsRangeAndEveryPressInsideIsAsBefore)
{
    settings->zoomMode = ZoomMode::ZoomOut;
    float product = 1.0f;
    for (int press = 1; press <= 600; ++press) {
        send(FL_PUSH, 0, 0);
        product *= 0.8f;
        const float expected = product >= kMinZoomFactor ? product : kMinZoomFactor;
        ASSERT_EQ(view->zoomFactor, expected) << "zoom-out press " << press;
    }

    settings->zoomMode = ZoomMode::ZoomIn;
    product = kMinZoomFactor;
    for (int press = 1; press <= 600; ++press) {
        send(FL_PUSH, 0, 0);
        product *= 1.2f;
        const float expected = product <= kMaxZoomFactor ? product : kMaxZoomFactor;
        ASSERT_EQ(view->zoomFactor, expected) << "zoom-in press " << press;
    }

    settings->zoomMode = ZoomMode::ZoomOut;
    send(FL_PUSH, 0, 0);
    EXPECT_EQ(view->zoomFactor, kMaxZoomFactor * 0.8f) << "the top of the range zooms out at once";
}
