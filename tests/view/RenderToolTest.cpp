// tressmoor-render's pictures against the window's own frames: the tool runs
// without a display while the window draws the same growth under Xvfb.
#include <sys/wait.h>

#include <algorithm>
#include <array>
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
// surface flip a pixel or two (measured: none in most scenes, 2 in one). The
// sphere's surface covers the sphere twice, so inside its outline about a tenth
// of the pixels show the other covering (measured 9.9 % and 10.2 % at two
// zooms; a 16-bit OSMesa buffer against the 24-bit one flips 26 %). The control
// points and the polygon through them meet at the same depths too, so no case
// shows both. Anything else moves thousands of pixels.
constexpr long kCrossingPixels = 8;
constexpr double kSphereRadius = 100.0;
constexpr double kFlippedShareOfOutline = 0.12;

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

bool coversItselfTwice(const Case& c)
{
    return c.recipe.shape == UnderlyingShape::Sphere;
}

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

// The sphere's outline on the screen: an orthographic view shows a sphere as a
// circle of its radius, which the viewport stretches into an ellipse.
struct Outline {
    double centreX;
    double centreY;
    double radiusX;
    double radiusY;

    // Within a pixel of the outline counts as inside: the rim's pixels are
    // covered partly by one covering, partly by the other.
    bool contains(int x, int y) const
    {
        const double dx = (x + 0.5 - centreX) / (radiusX + 1.0);
        const double dy = (y + 0.5 - centreY) / (radiusY + 1.0);
        return dx * dx + dy * dy <= 1.0;
    }
    double area() const { return 3.14159265358979323846 * radiusX * radiusY; }
};

Outline sphereOutline(const HairView& view)
{
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    const std::array<double, 3> centre = toWindow(sceneMatrix(view), origin, view.w(), view.h());
    const double scale = kSphereRadius * view.zoomFactor / 400.0;
    return {centre[0], centre[1], scale * view.w(), scale * view.h()};
}

struct Difference {
    int maxChannel = 0;
    long pixels = 0;
    long insideOutline = 0;
};

Difference compare(const Frame& window, const PngPicture& picture, const Outline* outline)
{
    Difference d;
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            const Rgb w = window.at(x, y);
            const unsigned char* p = picture.at(x, y);
            const int channel =
                std::max({std::abs(w.r - p[0]), std::abs(w.g - p[1]), std::abs(w.b - p[2])});
            if (channel == 0) {
                continue;
            }
            if (outline != nullptr && outline->contains(x, y)) {
                ++d.insideOutline;
            } else {
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

    const Outline outline = sphereOutline(*shownView());
    const Difference d = compare(window, picture, coversItselfTwice(c) ? &outline : nullptr);
    RecordProperty("differingPixels", static_cast<int>(d.pixels));
    RecordProperty("largestChannelDifference", d.maxChannel);
    RecordProperty("flippedInsideSphere", static_cast<int>(d.insideOutline));
    std::cout << c.name << ": " << d.pixels << " of " << window.width * window.height
              << " pixels differ (largest channel difference " << d.maxChannel << ")";
    if (coversItselfTwice(c)) {
        std::cout << ", besides " << d.insideOutline << " inside the sphere's outline of "
                  << static_cast<long>(outline.area()) << " pixels";
    }
    std::cout << "\n";
    EXPECT_LE(d.pixels, kCrossingPixels) << c.name;
    if (coversItselfTwice(c)) {
        EXPECT_LE(d.insideOutline, kFlippedShareOfOutline * outline.area()) << c.name;
    }
    if (d.pixels + d.insideOutline > 0) {
        writePng(folder + c.name + "-window.png", window);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCase, RenderedAgainstWindow, testing::ValuesIn(kCases), caseName);
