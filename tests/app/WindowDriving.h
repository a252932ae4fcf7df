#ifndef TRESSMOOR_TESTS_APP_WINDOWDRIVING_H
#define TRESSMOOR_TESTS_APP_WINDOWDRIVING_H

#include <string>

#include "PngReading.h"
#include "RenderSupport.h"

// The real window driven as a person drives it, for the window test programs.

// A command's exit status, its output thrown away.
int run(const std::string& command);

// A menu item picked by its label, giving what it printed; Render Hair
// pressed, what it prints dropped.
std::string pick(const char* label);
void pressRenderHair();

struct Sliders {
    int length, restAngle, hairs, clusters, parts;
};
// The five sliders moved to the values, each calling back as a drag would.
void moveSliders(const Sliders& values);

// The pixels of the window's frame whose colour differs from the picture's.
long differingPixels(const Frame& window, const PngPicture& picture);

#endif
