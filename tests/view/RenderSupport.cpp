#include "RenderSupport.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include <FL/Fl.H>
#include <FL/gl.h>
#include <gtest/gtest.h>

#include "app/AppWindow.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "tools/PngWriter.h"
#include "view/HairView.h"

namespace {

// Enough for Xvfb to map the window and for llvmpipe to finish a large pass.
constexpr int kMaxWaits = 1000;

}  // namespace

HairView* shownView()
{
    if (theAppWindow == nullptr) {
        theAppWindow = new AppWindow;
        theAppWindow->show();
    }
    HairView* view = theAppWindow->view;
    if (!view->shown()) {
        view->show();
    }
    drawThroughFltk(view);
    return view;
}

HairSettings& settings()
{
    return *theAppWindow->settings;
}

void drawThroughFltk(HairView* view)
{
    view->redraw();
    for (int i = 0; i < kMaxWaits && (view->damage() != 0 || !view->valid()); ++i) {
        Fl::wait(0.01);
    }
    EXPECT_EQ(view->damage(), 0) << "the view was never drawn";
}

void resetScene(HairView* view)
{
    view->zoomFactor = 1.0f;
    view->rotationX = 0.0f;
    view->rotationZ = 0.0f;
    view->translationX = 0.0f;
    view->translationY = 0.0f;
    settings().displayMode = DisplayMode::Smooth;
    settings().shape = UnderlyingShape::NoShape;
    settings().style = HairStyle::Messy;
    settings().parts = 10;
    hairStore.hairGrown = false;
}

void growOn(UnderlyingShape shape, HairSize size)
{
    HairSettings& s = settings();
    s.shape = shape;
    s.clusters = size.clusters;
    s.hairs = size.hairs;
    s.length = size.length;
    s.restAngle = size.restAngle;
    bool grown = false;
    if (shape == UnderlyingShape::Plane) {
        grown = growPlaneHair(recipeFromSettings(s), hairStore);
    } else {
        if (shape == UnderlyingShape::Sphere) {
            setupSphereSurface(underlyingSurface);
        } else {
            setupTorusSurface(underlyingSurface);
        }
        grown = growSurfaceHair(recipeFromSettings(s), underlyingSurface, hairStore);
    }
    ASSERT_TRUE(grown) << describe(shape, size);
}

std::ostream& operator<<(std::ostream& out, DisplayMode mode)
{
    return out << static_cast<int>(mode);
}

std::ostream& operator<<(std::ostream& out, ZoomMode mode)
{
    return out << static_cast<int>(mode);
}

std::string describe(UnderlyingShape shape, HairSize size)
{
    std::ostringstream text;
    text << "shape " << shape << ", " << size.clusters << " clusters of " << size.hairs
         << " hairs, length " << size.length << ", rest angle " << size.restAngle;
    return text.str();
}

Rgb Frame::at(int x, int y) const
{
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}

bool Frame::isClear(int x, int y) const
{
    return nearColour(at(x, y), kClearBytes);
}

int Frame::countNonClear() const
{
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            count += isClear(x, y) ? 0 : 1;
        }
    }
    return count;
}

bool nearColour(Rgb a, Rgb b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

Frame renderFrame(HairView* view)
{
    drawThroughFltk(view);
    // The front buffer of an Xvfb window reads back black under Mesa, so the
    // frame is drawn once more into the back buffer and read from there.
    view->make_current();
    view->draw();
    glFinish();
    Frame frame;
    frame.width = view->w();
    frame.height = view->h();
    frame.rgb.resize(static_cast<size_t>(frame.width) * frame.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    return frame;
}

bool writePng(const std::string& path, const Frame& frame)
{
    std::string problem;
    const bool written = writePngFile(path, frame.width, frame.height, frame.rgb.data(), problem);
    EXPECT_TRUE(written) << path << ": " << problem;
    return written;
}

namespace {

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix c{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[col * 4 + k];
            }
            c[col * 4 + row] = sum;
        }
    }
    return c;
}

Matrix identity()
{
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

double radians(double degrees)
{
    return degrees * 3.14159265358979323846 / 180.0;
}

}  // namespace

Matrix sceneMatrix(const HairView& view)
{
    Matrix ortho = identity();
    ortho[0] = 1.0 / 200.0;
    ortho[5] = 1.0 / 200.0;
    ortho[10] = -1.0 / 200.0;

    Matrix move = identity();
    move[12] = view.translationX;
    move[13] = -view.translationY;

    // The tilt about x first in the call order, so it acts last on a model point.
    const double tilt = radians(static_cast<double>(view.rotationX) + 30.0);
    Matrix tiltX = identity();
    tiltX[5] = std::cos(tilt);
    tiltX[6] = std::sin(tilt);
    tiltX[9] = -std::sin(tilt);
    tiltX[10] = std::cos(tilt);

    const double turn = radians(30.0 - static_cast<double>(view.rotationZ));
    Matrix turnZ = identity();
    turnZ[0] = std::cos(turn);
    turnZ[1] = std::sin(turn);
    turnZ[4] = -std::sin(turn);
    turnZ[5] = std::cos(turn);

    Matrix scale = identity();
    scale[0] = scale[5] = scale[10] = view.zoomFactor;

    return multiply(ortho, multiply(move, multiply(tiltX, multiply(turnZ, scale))));
}

std::array<double, 3> toWindow(const Matrix& m, const float position[3], int width, int height)
{
    double clip[4];
    for (int row = 0; row < 4; ++row) {
        clip[row] = m[row] * position[0] + m[4 + row] * position[1] + m[8 + row] * position[2] +
                    m[12 + row];
    }
    return {(clip[0] / clip[3] + 1.0) * width / 2.0, (clip[1] / clip[3] + 1.0) * height / 2.0,
            (clip[2] / clip[3] + 1.0) / 2.0};
}
