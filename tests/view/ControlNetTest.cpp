#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <algorithm>
#include <string>
#include <vector>

#include <FL/gl.h>

#include "GlCallLog.h"
#include "RenderSupport.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/ControlNetDrawing.h"
#include "view/HairView.h"

// The state calls only the control nets make, wrapped like the others.
int netStateCalls = 0;

extern "C" {

void __real_glPushAttrib(GLbitfield mask);
void __real_glPopAttrib();
void __real_glPointSize(GLfloat size);

void __wrap_glPushAttrib(GLbitfield mask)
{
    netStateCalls += glCallLog.recording ? 1 : 0;
    __real_glPushAttrib(mask);
}

void __wrap_glPopAttrib()
{
    netStateCalls += glCallLog.recording ? 1 : 0;
    __real_glPopAttrib();
}

void __wrap_glPointSize(GLfloat size)
{
    netStateCalls += glCallLog.recording ? 1 : 0;
    __real_glPointSize(size);
}

}  // extern "C"

namespace {

using Point = std::array<float, 3>;

constexpr int kKnownParts = 10;

std::vector<Point> sphereNetPoints()
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildSphereNet(net);
    std::vector<Point> points;
    for (const ControlPoint& p : net) {
        points.push_back({p.x / p.w, p.y / p.w, p.z / p.w});
    }
    return points;
}

Point unitRow(const Matrix& m, int row, float sign)
{
    const double x = m[row];
    const double y = m[4 + row];
    const double z = m[8 + row];
    const double length = std::sqrt(x * x + y * y + z * z);
    return {static_cast<float>(sign * x / length), static_cast<float>(sign * y / length),
            static_cast<float>(sign * z / length)};
}

// A strand of its own making, the only one in the store: it leaves the sphere's
// point nearest the viewer and runs across the screen, in front of everything.
std::vector<Point> plantKnownStrand(const HairView& view)
{
    const Matrix m = sceneMatrix(view);
    const Point towardViewer = unitRow(m, 2, -1.0f);  // the orthographic box flips z
    const Point across = unitRow(m, 0, -1.0f);
    std::vector<Point> centreline;
    float x[kKnownParts];
    float y[kKnownParts];
    float z[kKnownParts];
    for (int r = 0; r < kKnownParts; ++r) {
        for (int axis = 0; axis < 3; ++axis) {
            const float value = 101.0f * towardViewer[axis] + 9.0f * r * across[axis];
            (axis == 0 ? x : axis == 1 ? y : z)[r] = value;
        }
        centreline.push_back({x[r], y[r], z[r]});
    }
    float knots[kKnownParts + 4];
    buildStrandKnotsU(kKnownParts, knots);
    ControlPoint scratch[kKnownParts * kStrandRingPoints];
    EXPECT_TRUE(buildStrand(hairStore, 0, 0, x, y, z, kKnownParts, knots, scratch));
    hairStore.clusterCount = 1;
    hairStore.hairClusters[0].strandCount = 1;
    return centreline;
}

Rgb bytes(const float colour[3])
{
    return {static_cast<int>(colour[0] * 255.0f + 0.5f), static_cast<int>(colour[1] * 255.0f + 0.5f),
            static_cast<int>(colour[2] * 255.0f + 0.5f)};
}

bool hasColour(const Frame& frame, int x, int y, const float colour[3])
{
    return nearColour(frame.at(x, y), bytes(colour));
}

bool colourWithin(const Frame& frame, int x, int y, int radius, const float colour[3])
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (hasColour(frame, x + dx, y + dy, colour)) {
                return true;
            }
        }
    }
    return false;
}

int countColour(const Frame& frame, const float colour[3])
{
    int count = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            count += hasColour(frame, x, y, colour) ? 1 : 0;
        }
    }
    return count;
}

struct Projected {
    Point model;
    double x;
    double y;
    bool visible;  // nothing of the sphere lies between it and the viewer
    bool hidden;   // well behind the sphere
};

Projected project(const HairView& view, const Point& p)
{
    const auto w = toWindow(sceneMatrix(view), p.data(), view.w(), view.h());
    const double acrossX = (w[0] - view.w() / 2.0) * 400.0 / view.w();
    const double acrossY = (w[1] - view.h() / 2.0) * 400.0 / view.h();
    const double fromAxis = std::sqrt(acrossX * acrossX + acrossY * acrossY);
    const double frontness = (0.5 - w[2]) * 400.0;  // model units nearer than the centre
    // Net points lie on or outside the sphere of radius 100.
    return {p, w[0], w[1], frontness > 5.0 || fromAxis > 105.0, frontness < -5.0 && fromAxis < 95.0};
}

std::string where(const Projected& p)
{
    return "point (" + std::to_string(p.model[0]) + ", " + std::to_string(p.model[1]) + ", " +
           std::to_string(p.model[2]) + ") at pixel " + std::to_string(p.x) + ", " + std::to_string(p.y);
}

class ControlNets : public testing::Test {
protected:
    void SetUp() override
    {
        view = shownView();
        resetScene(view);
        showNets(false, false);
    }

    void TearDown() override
    {
        glCallLog.stop();
        showNets(false, false);
    }

    void showNets(bool points, bool polygon)
    {
        settings().controlPoints = points;
        settings().controlPolygon = polygon;
    }

    // The sphere's surface with the known strand on it.
    std::vector<Point> sphereWithKnownStrand()
    {
        settings().shape = UnderlyingShape::Sphere;
        setupSphereSurface(underlyingSurface);
        return plantKnownStrand(*view);
    }

    void logPass()
    {
        netStateCalls = 0;
        glCallLog.start();
        drawThroughFltk(view);
        glCallLog.stop();
    }

    HairView* view = nullptr;
};

}  // namespace

TEST_F(ControlNets, PointsShowAtTheProjectedNetAndCentrelineAndOnlyWhenAsked)
{
    const std::vector<Point> centreline = sphereWithKnownStrand();
    view->rotationX = 15.0f;
    view->rotationZ = -20.0f;
    view->zoomFactor = 1.1f;
    const Frame before = renderFrame(view);
    showNets(true, false);
    const Frame points = renderFrame(view);

    std::vector<Projected> drawn;
    for (const Point& p : sphereNetPoints()) {
        drawn.push_back(project(*view, p));
    }
    int visible = 0;
    int hidden = 0;
    for (const Projected& p : drawn) {
        const int x = static_cast<int>(p.x);
        const int y = static_cast<int>(p.y);
        if (p.visible) {
            ++visible;
            EXPECT_TRUE(hasColour(points, x, y, kControlPointColour)) << where(p);
            EXPECT_FALSE(colourWithin(before, x, y, 2, kControlPointColour)) << where(p);
            continue;
        }
        bool nearAVisiblePoint = false;
        for (const Projected& other : drawn) {
            nearAVisiblePoint |= other.visible && std::abs(other.x - p.x) < 5 && std::abs(other.y - p.y) < 5;
        }
        if (p.hidden && !nearAVisiblePoint) {
            ++hidden;
            EXPECT_FALSE(colourWithin(points, x, y, 2, kControlPointColour)) << "behind the sphere: " << where(p);
        }
    }
    EXPECT_GE(visible, 30);
    EXPECT_GE(hidden, 5);

    // The root and tip rows lie beyond the ends of the drawn tube.
    for (int row : {0, kKnownParts - 1}) {
        const Projected p = project(*view, centreline[row]);
        EXPECT_TRUE(hasColour(points, static_cast<int>(p.x), static_cast<int>(p.y), kControlPointColour))
            << "strand row " << row << ", " << where(p);
    }
    EXPECT_EQ(countColour(points, kControlPolygonColour), 0);

    showNets(false, true);
    const Frame polygon = renderFrame(view);
    EXPECT_EQ(countColour(polygon, kControlPointColour), 0);
    const Point firstSegmentMiddle = {(centreline[0][0] + centreline[1][0]) / 2,
                                      (centreline[0][1] + centreline[1][1]) / 2,
                                      (centreline[0][2] + centreline[1][2]) / 2};
    const Projected middle = project(*view, firstSegmentMiddle);
    EXPECT_TRUE(colourWithin(polygon, static_cast<int>(middle.x), static_cast<int>(middle.y), 1,
                             kControlPolygonColour))
        << "centreline segment, " << where(middle);
    EXPECT_GT(countColour(polygon, kControlPolygonColour), 500);

    showNets(false, false);
    EXPECT_EQ(renderFrame(view).rgb, before.rgb) << "turning both off again restores the old frame";
}

TEST_F(ControlNets, GlStateAfterAPassIsTheSameWithTheNetsShown)
{
    const struct {
        UnderlyingShape shape;
        DisplayMode mode;
    } cases[] = {{UnderlyingShape::Sphere, DisplayMode::Smooth},
                 {UnderlyingShape::Sphere, DisplayMode::Texture},
                 {UnderlyingShape::Torus, DisplayMode::Wireframe},
                 {UnderlyingShape::Plane, DisplayMode::Wireframe},
                 {UnderlyingShape::Plane, DisplayMode::Texture}};
    for (const auto& c : cases) {
        growOn(c.shape, {2, 3, 10, 5});
        ASSERT_FALSE(HasFatalFailure());
        settings().displayMode = c.mode;
        std::vector<float> states[2];
        for (int shown = 0; shown < 2; ++shown) {
            showNets(shown == 1, shown == 1);
            drawThroughFltk(view);
            view->make_current();
            std::vector<float>& s = states[shown];
            for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_COLOR_MATERIAL}) {
                s.push_back(glIsEnabled(cap));
            }
            for (GLenum name : {GL_DEPTH_FUNC, GL_POLYGON_MODE, GL_SHADE_MODEL, GL_MODELVIEW_STACK_DEPTH}) {
                GLint value[2] = {-1, -1};
                glGetIntegerv(name, value);
                s.insert(s.end(), value, value + 2);
            }
            for (GLenum name : {GL_POINT_SIZE, GL_LINE_WIDTH, GL_CURRENT_COLOR, GL_CURRENT_NORMAL,
                                GL_CURRENT_TEXTURE_COORDS, GL_MODELVIEW_MATRIX}) {
                GLfloat value[16];
                std::fill(value, value + 16, -9.0f);
                glGetFloatv(name, value);
                s.insert(s.end(), value, value + 16);
            }
        }
        EXPECT_EQ(states[1], states[0]) << "shape " << c.shape << ", mode " << c.mode;
    }
}

TEST_F(ControlNets, PassSendsTheNetsOfWhatIsShownAndNothingMoreWhenOff)
{
    const std::vector<Point> centreline = sphereWithKnownStrand();
    settings().displayMode = DisplayMode::Texture;
    drawThroughFltk(view);  // the first Texture pass also makes the texture
    logPass();
    const GlCallLog untouched = glCallLog;

    showNets(true, false);
    logPass();
    ASSERT_EQ(glCallLog.countPrimitives(GL_POINTS), 1);
    const LoggedPrimitive& points = glCallLog.primitives.back();
    EXPECT_FALSE(points.texturing) << "the nets are never textured";
    const std::vector<Point> net = sphereNetPoints();
    ASSERT_EQ(points.vertices.size(), net.size() + kKnownParts);
    for (size_t k = 0; k < net.size(); ++k) {
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(points.vertices[k].position[axis], net[k][axis], 1e-3) << "net point " << k;
        }
    }
    for (int r = 0; r < kKnownParts; ++r) {
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(points.vertices[net.size() + r].position[axis], centreline[r][axis], 1e-4)
                << "centreline point " << r;
        }
    }

    showNets(false, true);
    logPass();
    EXPECT_EQ(glCallLog.countPrimitives(GL_POINTS), 0);
    ASSERT_EQ(glCallLog.countPrimitives(GL_LINE_STRIP), 2 * kShapeNetSize + 1);
    const LoggedPrimitive& strandLine = glCallLog.primitives.back();
    ASSERT_EQ(strandLine.vertices.size(), static_cast<size_t>(kKnownParts));
    EXPECT_NEAR(strandLine.vertices.back().position[1], centreline.back()[1], 1e-4);
    // Row 1 of the net, then column 1: both parameter directions.
    const LoggedPrimitive& row = glCallLog.primitives[glCallLog.primitives.size() - 2 * kShapeNetSize];
    const LoggedPrimitive& column = glCallLog.primitives[glCallLog.primitives.size() - kShapeNetSize];
    for (int k = 0; k < kShapeNetSize; ++k) {
        EXPECT_NEAR(row.vertices[k].position[0], net[1 * kShapeNetSize + k][0], 1e-3) << "row vertex " << k;
        EXPECT_NEAR(column.vertices[k].position[2], net[k * kShapeNetSize + 1][2], 1e-3) << "column vertex " << k;
    }

    // The plane hides the sphere's surface, so its net goes too.
    settings().shape = UnderlyingShape::Plane;
    showNets(true, true);
    logPass();
    ASSERT_EQ(glCallLog.countPrimitives(GL_POINTS), 1);
    EXPECT_EQ(glCallLog.primitives.back().vertices.size(), static_cast<size_t>(kKnownParts));
    EXPECT_EQ(glCallLog.countPrimitives(GL_LINE_STRIP), 1);

    settings().shape = UnderlyingShape::Sphere;
    showNets(false, false);
    logPass();
    EXPECT_EQ(netStateCalls, 0);
    EXPECT_EQ(glCallLog.calls, untouched.calls);
    ASSERT_EQ(glCallLog.primitives.size(), untouched.primitives.size());
    for (size_t n = 0; n < untouched.primitives.size(); ++n) {
        ASSERT_EQ(glCallLog.primitives[n].mode, untouched.primitives[n].mode) << "primitive " << n;
        ASSERT_EQ(glCallLog.primitives[n].vertices.size(), untouched.primitives[n].vertices.size());
    }
}

TEST_F(ControlNets, OnlyCurrentStrandsOfAGrownHairShowTheirCentrelines)
{
    const HairSize size = {2, 3, 10, 5};
    growOn(UnderlyingShape::Torus, size);
    ASSERT_FALSE(HasFatalFailure());
    showNets(true, true);
    const int netPoints = kShapeNetSize * kShapeNetSize;
    const int strands = size.clusters * size.clusters * size.hairs;
    logPass();
    ASSERT_EQ(glCallLog.countPrimitives(GL_POINTS), 1);
    EXPECT_EQ(glCallLog.primitives.back().vertices.size(), static_cast<size_t>(netPoints + strands * 10));
    EXPECT_EQ(glCallLog.countPrimitives(GL_LINE_STRIP), 2 * kShapeNetSize + strands);

    hairStore.hairClusters[1].strandCount = 1;
    hairStore.clusterCount = 3;
    logPass();
    EXPECT_EQ(glCallLog.primitives.back().vertices.size(), static_cast<size_t>(netPoints + 7 * 10));
    EXPECT_EQ(glCallLog.countPrimitives(GL_LINE_STRIP), 2 * kShapeNetSize + 7);

    hairStore.hairGrown = false;
    logPass();
    EXPECT_TRUE(glCallLog.primitives.empty());
    EXPECT_EQ(netStateCalls, 0) << "nothing shown, no net";
}

TEST_F(ControlNets, ScreenshotShowsBothOverTheHair)
{
    for (DisplayMode mode : {DisplayMode::Smooth, DisplayMode::Wireframe}) {
        growOn(UnderlyingShape::Sphere, kScreenshotHair);
        ASSERT_FALSE(HasFatalFailure());
        settings().displayMode = mode;
        showNets(true, true);
        const Frame frame = renderFrame(view);
        EXPECT_GT(countColour(frame, kControlPointColour), 200) << "mode " << mode;
        EXPECT_GT(countColour(frame, kControlPolygonColour), 500) << "mode " << mode;
        const std::string path = std::string(TRESSMOOR_TEST_OUTPUT) + "/view-sphere-control-net-" +
                                 (mode == DisplayMode::Smooth ? "smooth" : "wireframe") + ".png";
        EXPECT_TRUE(writePng(path, frame)) << path;
    }
}
