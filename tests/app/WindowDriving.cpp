#include "WindowDriving.h"

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>

#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "app/AppWindow.h"

int run(const std::string& command)
{
    const int result = system((command + " > /dev/null 2>&1").c_str());
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

std::string pick(const char* label)
{
    testing::internal::CaptureStdout();
    for (int i = 0; i < kMenuItemCount; ++i) {
        if (kMenuItems[i].text != nullptr && strcmp(kMenuItems[i].text, label) == 0) {
            theAppWindow->menuBar->picked(&kMenuItems[i]);
        }
    }
    return testing::internal::GetCapturedStdout();
}

void pressRenderHair()
{
    testing::internal::CaptureStdout();
    theAppWindow->renderButton->do_callback();
    testing::internal::GetCapturedStdout();
}

void moveSliders(const Sliders& values)
{
    AppWindow& a = *theAppWindow;
    const struct {
        Fl_Value_Slider* slider;
        int value;
    } moves[] = {{a.lengthSlider, values.length},   {a.restAngleSlider, values.restAngle},
                 {a.hairsSlider, values.hairs},     {a.clustersSlider, values.clusters},
                 {a.partsSlider, values.parts}};
    testing::internal::CaptureStdout();
    for (const auto& m : moves) {
        m.slider->value(m.value);
        m.slider->do_callback();
    }
    testing::internal::GetCapturedStdout();
}

long differingPixels(const Frame& window, const PngPicture& picture)
{
    long pixels = 0;
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            const Rgb w = window.at(x, y);
            const unsigned char* p = picture.at(x, y);
            pixels += w.r != p[0] || w.g != p[1] || w.b != p[2];
        }
    }
    return pixels;
}
