// tressmoor-render's pictures against the window's own frames: the tool runs
// without a display while the window draws the same growth under Xvfb.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

#include <gtest/gtest.h>

#include "PngReading.h"
#include "RenderSupport.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

namespace {

// Both sides run Mesa's llvmpipe on the same GL calls, and agree to the byte
// except where two surfaces meet at the same depth: which one shows there is
// settled by rounding, and the window under Xvfb has a 32-bit depth buffer where
// OSMesa has at most a 24-bit one. Lines crossing where a strand meets the
// surface, or a control point sitting on the sphere, flip a pixel or two
// (measured: none in most scenes, 2 in two). The control points and the polygon
// through them meet at the same depths too, so no case shows both. Anything
// else moves thousands of pixels.
constexpr long kCrossingPixels = 8;

struct Case {
    const char* name;
    std::string arguments;  // tressmoor-render's options besides --image
    HairRecipe recipe;
    int growth;
    DisplayMode displayMode;
    ViewState view;
    bool controlPoints;
    bool controlPolygon;
};

HairRecipe recipeOf(UnderlyingShape shape, HairStyle style, int hairs, int clusters, int length,
                    int restAngle)
{
    HairRecipe recipe = defaultRecipe(shape);
    recipe.style = style;
    recipe.hairs = hairs;
    recipe.clusters = clusters;
    recipe.length = length;
    recipe.restAngle = restAngle;
    return recipe;
}

// The hair of the README's pictures: three clusters a side of ten long, curly hairs.
std::string docsHair(const char* shape, const char* display)
{
    return std::string("--clusters 3 --hairs 10 --length 20 --rest-angle 10 --shape ") + shape +
           " --display " + display;
}

const Case kCases[] = {
    {"sphere_smooth", "--shape sphere --display smooth", defaultRecipe(UnderlyingShape::Sphere), 1,
     DisplayMode::Smooth, {}, false, false},
    {"plane_as_the_window_starts", "", defaultRecipe(UnderlyingShape::Plane), 1,
     DisplayMode::Wireframe, {}, false, false},
    {"plane_wireframe", docsHair("plane", "wireframe"),
     recipeOf(UnderlyingShape::Plane, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Wireframe,
     {}, false, false},
    {"plane_smooth", docsHair("plane", "smooth"),
     recipeOf(UnderlyingShape::Plane, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Smooth, {},
     false, false},
    {"plane_texture", docsHair("plane", "texture"),
     recipeOf(UnderlyingShape::Plane, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Texture,
     {}, false, false},
    {"sphere_wireframe", docsHair("sphere", "wireframe"),
     recipeOf(UnderlyingShape::Sphere, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Wireframe,
     {}, false, false},
    {"sphere_texture", docsHair("sphere", "texture"),
     recipeOf(UnderlyingShape::Sphere, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Texture,
     {}, false, false},
    {"torus_wireframe", docsHair("torus", "wireframe"),
     recipeOf(UnderlyingShape::Torus, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Wireframe,
     {}, false, false},
    {"torus_smooth", docsHair("torus", "smooth"),
     recipeOf(UnderlyingShape::Torus, HairStyle::Messy, 10, 3, 20, 10), 1, DisplayMode::Smooth, {},
     false, false},
    {"torus_texture_combed_second_growth",
     "--shape torus --style combed --hairs 20 --clusters 4 --length 20 --rest-angle 10 "
     "--growth 2 --display texture",
     recipeOf(UnderlyingShape::Torus, HairStyle::Combed, 20, 4, 20, 10), 2, DisplayMode::Texture,
     {}, false, false},
    {"sphere_turned_moved_zoomed_with_points",
     "--shape sphere --hairs 10 --clusters 3 --rotate-x 25 --rotate-z -40 --translate 30,-20 "
     "--zoom 1.3 --control-points --display smooth",
     recipeOf(UnderlyingShape::Sphere, HairStyle::Messy, 10, 3, 10, 1), 1, DisplayMode::Smooth,
     {1.3f, 25.0f, -40.0f, 30.0f, -20.0f}, true, false},
    {"torus_turned_with_polygon",
     "--shape torus --style combed --hairs 5 --clusters 2 --rotate-x -60 --rotate-z 75 "
     "--zoom 0.8 --translate=-15,25 --control-polygon",
     recipeOf(UnderlyingShape::Torus, HairStyle::Combed, 5, 2, 10, 1), 1, DisplayMode::Wireframe,
     {0.8f, -60.0f, 75.0f, -15.0f, 25.0f}, false, true},
};

std::string caseName(const testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

// Failure messages show the case by its name, not as the bytes of the record.
void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

class RenderedAgainstWindow : public testing::TestWithParam<Case> {};

int runTool(const std::string& arguments)
{
    const std::string command = std::string("env -u DISPLAY ") + TRESSMOOR_RENDER_BINARY + " " +
                                arguments + " > /dev/null";
    const int result = system(command.c_str());
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

// The window as a fresh run shows it: the settings as the sliders and menus
// left them, then the shape picked and Render Hair pressed growth - 1 times.
Frame windowFrame(const Case& c)
{
    HairView* view = shownView();
    resetScene(view);
    HairSettings& s = settings();
    s.style = c.recipe.style;
    s.length = c.recipe.length;
    s.restAngle = c.recipe.restAngle;
    s.hairs = c.recipe.hairs;
    s.clusters = c.recipe.clusters;
    s.parts = c.recipe.parts;
    s.displayMode = c.displayMode;
    s.controlPoints = c.controlPoints;
    s.controlPolygon = c.controlPolygon;
    view->zoomFactor = c.view.zoomFactor;
    view->rotationX = c.view.rotationX;
    view->rotationZ = c.view.rotationZ;
    view->translationX = c.view.translationX;
    view->translationY = c.view.translationY;
    // rand() is never seeded, which is the sequence srand(1) starts.
    srand(1);
    if (c.recipe.shape == UnderlyingShape::Plane) {
        s.buildPlane();
    } else if (c.recipe.shape == UnderlyingShape::Sphere) {
        s.buildSphere();
    } else {
        s.buildTorus();
    }
    for (int growth = 2; growth <= c.growth; ++growth) {
        s.regenerate();
    }
    const Frame frame = renderFrame(view);
    s.controlPoints = false;
    s.controlPolygon = false;
    return frame;
}

struct Difference {
    int maxChannel = 0;
    long pixels = 0;
};

Difference compare(const Frame& window, const PngPicture& picture)
{
    Difference d;
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            const Rgb w = window.at(x, y);
            const unsigned char* p = picture.at(x, y);
            const int channel =
                std::max({std::abs(w.r - p[0]), std::abs(w.g - p[1]), std::abs(w.b - p[2])});
            if (channel != 0) {
                d.maxChannel = std::max(d.maxChannel, channel);
                ++d.pixels;
            }
        }
    }
    return d;
}

}  // namespace

TEST_P(RenderedAgainstWindow, PictureEqualsTheWindowsViewPixelForPixel)
{
    const Case& c = GetParam();
    const std::string folder = std::string(TRESSMOOR_TEST_OUTPUT) + "/render-vs-window-";
    const std::string picturePath = folder + c.name + ".png";
    ASSERT_EQ(runTool(c.arguments + " --image " + picturePath), 0) << c.arguments;
    PngPicture picture;
    std::string problem;
    ASSERT_TRUE(readPng(picturePath, picture, problem)) << problem;

    const Frame window = windowFrame(c);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(picture.width, window.width);
    ASSERT_EQ(picture.height, window.height);
    EXPECT_GT(window.countNonClear(), window.width * window.height / 50) << "the scene is shown";

    const Difference d = compare(window, picture);
    RecordProperty("differingPixels", static_cast<int>(d.pixels));
    RecordProperty("largestChannelDifference", d.maxChannel);
    std::cout << c.name << ": " << d.pixels << " of " << window.width * window.height
              << " pixels differ (largest channel difference " << d.maxChannel << ")\n";
    EXPECT_LE(d.pixels, kCrossingPixels) << c.name;
    if (d.pixels > 0) {
        writePng(folder + c.name + "-window.png", window);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCase, RenderedAgainstWindow, testing::ValuesIn(kCases), caseName);
