// The zoom through the real draw pass, drawn off screen: at every zoom whatever
// lies in the view's square is drawn, and the light on a point of a surface
// does not change with the zoom.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HairTestSupport.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/PngWriter.h"
#include "view/DenseHairLines.h"
#include "view/OffscreenRenderer.h"

namespace {

constexpr int kClear[3] = {26, 51, 76};
constexpr int kControlYellow[3] = {255, 255, 0};

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // rows from the bottom up

    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    bool is(int x, int y, const int colour[3], int tolerance = 1) const
    {
        const unsigned char* p = at(x, y);
        return std::abs(p[0] - colour[0]) <= tolerance && std::abs(p[1] - colour[1]) <= tolerance &&
               std::abs(p[2] - colour[2]) <= tolerance;
    }
    bool isClear(int x, int y) const { return is(x, y, kClear); }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

std::string show(const ViewState& view)
{
    return "zoom " + std::to_string(view.zoomFactor) + ", turned " + std::to_string(view.rotationX) +
           "/" + std::to_string(view.rotationZ) + ", moved " + std::to_string(view.translationX) +
           "," + std::to_string(view.translationY);
}

// A model point seen by the view: window x and y in pixels, and how near the
// viewer it lies (larger is nearer), in model units. Worked out here on its own:
// the turn about z, then the tilt about x, then the zoom and the move, across
// the 400 units of the box.
struct Seen {
    double x;
    double y;
    double nearness;
    double across;  // distance from the line of sight through the origin, model units
};

Seen seenAt(const ViewState& view, const float p[3])
{
    const double degree = 3.14159265358979323846 / 180.0;
    const double turn = (30.0 - view.rotationZ) * degree;
    const double tilt = (view.rotationX + 30.0) * degree;
    const double x1 = std::cos(turn) * p[0] - std::sin(turn) * p[1];
    const double y1 = std::sin(turn) * p[0] + std::cos(turn) * p[1];
    const double y2 = std::cos(tilt) * y1 - std::sin(tilt) * p[2];
    const double z2 = std::sin(tilt) * y1 + std::cos(tilt) * p[2];
    const double zoom = view.zoomFactor;
    return {((view.translationX + zoom * x1) / 200.0 + 1.0) * kViewWidth / 2.0,
            ((-view.translationY + zoom * y2) / 200.0 + 1.0) * kViewHeight / 2.0, z2,
            std::sqrt(x1 * x1 + y2 * y2)};
}

class Zoom : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string problem;
        ASSERT_TRUE(renderer().open(kViewWidth, kViewHeight, problem)) << problem;
    }

    static OffscreenRenderer& renderer()
    {
        static OffscreenRenderer shared;
        return shared;
    }

    void grow(UnderlyingShape shape, HairStyle style, int clusters, int hairs, int length)
    {
        growQuietly(makeRecipe(shape, style, clusters, hairs, 10, length, 10), underlyingSurface,
                    hairStore);
        scene = {shape, DisplayMode::Smooth, false, false, &hairStore, &underlyingSurface, true};
    }

    // The sphere alone: grown, then its strands hidden, as --guides drop does.
    void bareSphere()
    {
        grow(UnderlyingShape::Sphere, HairStyle::Messy, 1, 1, 10);
        hairStore.clusterCount = 0;
    }

    Frame draw(const ViewState& view)
    {
        Frame frame;
        frame.width = kViewWidth;
        frame.height = kViewHeight;
        renderer().render(view, scene, frame.rgb);
        if (frame.rgb.size() != static_cast<size_t>(kViewWidth) * kViewHeight * 3) {
            ADD_FAILURE() << "no frame drawn";
            frame.rgb.assign(static_cast<size_t>(kViewWidth) * kViewHeight * 3, 0);
        }
        return frame;
    }

    // Kept in the tests' output folder, to be looked at.
    static void keep(const Frame& frame, const std::string& name)
    {
        std::string problem;
        EXPECT_TRUE(writePngFile(std::string(TRESSMOOR_TEST_OUTPUT) + "/" + name + ".png", frame.width,
                                 frame.height, frame.rgb.data(), problem))
            << problem;
    }

    SceneInputs scene = {UnderlyingShape::NoShape, DisplayMode::Smooth, false, false, &hairStore,
                         &underlyingSurface, true};
};

}  // namespace

TEST_F(Zoom, MiddleOfTheSphereIsItsSurfaceAtEveryZoomIn)
{
    grow(UnderlyingShape::Sphere, HairStyle::Messy, 3, 10, 20);
    ASSERT_FALSE(HasFatalFailure());
    // Up to 3.8 the box's depth cut the front of the sphere, then the whole of it.
    for (float zoom : {1.2f, 2.0f, 2.5f, 3.8f, 20.0f, 1000.0f}) {
        ViewState view;
        view.zoomFactor = zoom;
        const Frame frame = draw(view);
        int background = 0;
        for (int y = kViewHeight / 2 - 25; y < kViewHeight / 2 + 25; ++y) {
            for (int x = kViewWidth / 2 - 25; x < kViewWidth / 2 + 25; ++x) {
                background += frame.isClear(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(background, 0) << show(view);
        if (zoom == 2.5f || zoom == 20.0f || zoom == 1000.0f) {
            keep(frame, "zoom-sphere-" + std::to_string(static_cast<int>(zoom * 10)));
        }
    }
}

namespace {

// Where each strand's tube ends: the middle of its last ring of samples. (The
// tube stops short of the centreline's last point, its knots not being clamped.)
std::vector<float> tubeEnds(HairStore& store)
{
    std::vector<float> ends;
    for (int p = 0; p < store.clusterCount; ++p) {
        for (int q = 0; q < store.hairClusters[p].strandCount; ++q) {
            NurbsSurface& strand = store.hairClusters[p].strands[q];
            const std::vector<SurfaceVertex> grid = wholeGrid(strand);
            const int ring = strand.samplesV + 1;
            float middle[3] = {0.0f, 0.0f, 0.0f};
            for (int j = 0; j < ring; ++j) {
                for (int a = 0; a < 3; ++a) {
                    middle[a] += grid[strand.samplesU * ring + j].position[a] / ring;
                }
            }
            ends.insert(ends.end(), middle, middle + 3);
        }
    }
    return ends;
}

}  // namespace

// Each strand's tip, wherever it lies in the square, shows: its tube, or what
// stands in front of it. Combed hair on the sphere and torus reaches further
// along the line of sight than the box's depth even at zoom 1.
TEST_F(Zoom, HairTipsShowUntilTheyLeaveTheSquare)
{
    const struct {
        UnderlyingShape shape;
        HairStyle style;
    } scenes[] = {{UnderlyingShape::Sphere, HairStyle::Messy}, {UnderlyingShape::Sphere, HairStyle::Combed},
                  {UnderlyingShape::Torus, HairStyle::Combed}, {UnderlyingShape::Plane, HairStyle::Messy}};
    const ViewState views[] = {{1.0f, 0.0f, 0.0f, 0.0f, 0.0f},    {1.5f, 0.0f, 0.0f, 0.0f, 0.0f},
                               {2.5f, 0.0f, 0.0f, 0.0f, 0.0f},    {4.0f, 0.0f, 0.0f, 0.0f, 0.0f},
                               {2.5f, 40.0f, -70.0f, 30.0f, -20.0f}, {1.0f, -60.0f, 15.0f, 0.0f, 0.0f}};
    for (const auto& s : scenes) {
        grow(s.shape, s.style, 3, 10, 20);
        ASSERT_FALSE(HasFatalFailure());
        const std::vector<float> ends = tubeEnds(hairStore);
        for (const ViewState& view : views) {
            const Frame frame = draw(view);
            // The tube's radius of 1 in pixels, and two for the rasteriser's rounding.
            // (Below zoom 1 a tube is under two pixels across and covers some pixel
            // centres but not others, so a tip may show a few pixels short of its
            // end; hence the views here zoom 1 and in.)
            const int reach = static_cast<int>(std::ceil(view.zoomFactor * kViewWidth / 400.0)) + 2;
            int tips = 0;
            int lost = 0;
            for (size_t n = 0; n < ends.size(); n += 3) {
                const Seen seen = seenAt(view, &ends[n]);
                const int x = static_cast<int>(std::floor(seen.x));
                const int y = static_cast<int>(std::floor(seen.y));
                if (!frame.inside(x - reach, y - reach) || !frame.inside(x + reach, y + reach)) {
                    continue;
                }
                ++tips;
                bool shown = false;
                for (int dy = -reach; dy <= reach && !shown; ++dy) {
                    for (int dx = -reach; dx <= reach && !shown; ++dx) {
                        shown = !frame.isClear(x + dx, y + dy);
                    }
                }
                lost += shown ? 0 : 1;
            }
            EXPECT_GT(tips, 3) << s.shape << " " << s.style << ", " << show(view);
            EXPECT_EQ(lost, 0) << "of " << tips << " tips, " << s.shape << " " << s.style << ", "
                               << show(view);
        }
    }
}

// The depth the pass asks of the camera holds every sample of every surface it
// draws and every point of the nets it shows, in every view.
TEST_F(Zoom, SceneDepthHoldsEverythingThePassDraws)
{
    const ViewState views[] = {{1.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {3.0f, 75.0f, -20.0f, 10.0f, 5.0f},
                               {0.2f, -130.0f, 310.0f, 0.0f, 0.0f}};
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus, UnderlyingShape::Plane}) {
        grow(shape, HairStyle::Combed, 3, 5, 30);
        ASSERT_FALSE(HasFatalFailure());
        std::vector<SurfaceVertex> samples;
        if (shape != UnderlyingShape::Plane) {
            samples = wholeGrid(underlyingSurface);
        }
        for (int p = 0; p < hairStore.clusterCount; ++p) {
            for (int q = 0; q < hairStore.hairClusters[p].strandCount; ++q) {
                const std::vector<SurfaceVertex> tube = wholeGrid(hairStore.hairClusters[p].strands[q]);
                samples.insert(samples.end(), tube.begin(), tube.end());
            }
        }
        ASSERT_GT(samples.size(), 1000u);
        for (const ViewState& view : views) {
            double farthest = 0.0;
            if (shape == UnderlyingShape::Plane) {
                for (float x : {-kPlaneHalfSide, kPlaneHalfSide}) {
                    for (float z : {-kPlaneHalfSide, kPlaneHalfSide}) {
                        const float corner[3] = {x, 0.0f, z};
                        farthest = std::max(farthest, std::fabs(seenAt(view, corner).nearness));
                    }
                }
            }
            for (const SurfaceVertex& sample : samples) {
                farthest = std::max(farthest, std::fabs(seenAt(view, sample.position).nearness));
            }
            scene.controlPoints = false;
            const double depth = sceneDepth(view, scene);
            EXPECT_LE(farthest, depth) << shape << ", " << show(view);
            EXPECT_GT(farthest, 0.7 * depth) << "a bound, but not a loose one";
            // The nets are pulled toward the viewer by a hundredth of the depth seen.
            scene.controlPoints = true;
            for (int k = 0; k < kShapeNetSize * kShapeNetSize && shape != UnderlyingShape::Plane; ++k) {
                const ControlPoint& c = underlyingSurface.controlNet[k];
                const float point[3] = {c.x / c.w, c.y / c.w, c.z / c.w};
                EXPECT_LE(std::fabs(seenAt(view, point).nearness), 0.99 * sceneDepth(view, scene))
                    << "net point " << k << ", " << shape << ", " << show(view);
            }
        }
    }
}

// Every control point of the sphere's net that is not behind the sphere shows in
// its own colour, however far in front of the sphere it lies.
TEST_F(Zoom, SphereNetStaysInSight)
{
    bareSphere();
    ASSERT_FALSE(HasFatalFailure());
    scene.controlPoints = true;
    for (float zoom : {1.0f, 1.5f, 2.5f}) {
        for (float turn : {0.0f, 50.0f}) {
            ViewState view;
            view.zoomFactor = zoom;
            view.rotationZ = turn;
            const Frame frame = draw(view);
            int checked = 0;
            for (int k = 0; k < kShapeNetSize * kShapeNetSize; ++k) {
                const ControlPoint& c = underlyingSurface.controlNet[k];
                const float point[3] = {c.x / c.w, c.y / c.w, c.z / c.w};
                const Seen seen = seenAt(view, point);
                const int x = static_cast<int>(std::floor(seen.x));
                const int y = static_cast<int>(std::floor(seen.y));
                // Points on the sphere's rim or behind it may be hidden by its strips.
                const double front = seen.across < kSphereRadius
                                         ? std::sqrt(kSphereRadius * kSphereRadius - seen.across * seen.across)
                                         : 0.0;
                if (!frame.inside(x - 3, y - 3) || !frame.inside(x + 3, y + 3) ||
                    seen.nearness < front + 1.0) {
                    continue;
                }
                ++checked;
                EXPECT_TRUE(frame.is(x, y, kControlYellow, 2))
                    << "net point " << k << " at " << x << ", " << y << ", " << show(view);
            }
            EXPECT_GT(checked, 4) << show(view);
        }
    }
}

// A point of the sphere is brought under the same pixel at every zoom by moving
// the view, and must be lit alike. The strips are shaded from the same vertex
// colours at the same point, so only the rasteriser's rounding of positions and
// of the 8-bit colour can differ: up to a step of 2 in a channel. Before, the
// zoom scaled the normals too, and the light moved with it by tens of steps.
TEST_F(Zoom, LitColourOfASurfacePointStaysWithTheZoom)
{
    bareSphere();
    ASSERT_FALSE(HasFatalFailure());
    const Frame atOne = draw(ViewState());
    keep(atOne, "zoom-bare-sphere");
    std::vector<std::pair<int, int>> pixels = {{kViewWidth / 2, kViewHeight / 2}};
    for (int y = 130; y <= 330; y += 25) {
        for (int x = 125; x <= 325; x += 25) {
            const double dx = x + 0.5 - kViewWidth / 2.0;
            const double dy = y + 0.5 - kViewHeight / 2.0;
            // Well inside the sphere's outline of 100 units, about 111 pixels.
            if (dx * dx + dy * dy < 90.0 * 90.0) {
                pixels.push_back({x, y});
            }
        }
    }
    ASSERT_GT(pixels.size(), 30u);
    int litPixels = 0;
    for (const auto& [x, y] : pixels) {
        const unsigned char* p = atOne.at(x, y);
        litPixels += p[0] > 100 ? 1 : 0;  // the diffuse light is on, not the ambient alone
    }
    EXPECT_GT(litPixels, 5) << "the samples must cover the lit part too";

    for (float zoom : {0.5f, 2.5f, 20.0f, 1000.0f}) {
        for (const auto& [x, y] : pixels) {
            // Scene units of the pixel's centre at zoom 1; the move that keeps it there.
            const double sceneX = ((x + 0.5) * 2.0 / kViewWidth - 1.0) * 200.0;
            const double sceneY = ((y + 0.5) * 2.0 / kViewHeight - 1.0) * 200.0;
            ViewState view;
            view.zoomFactor = zoom;
            view.translationX = static_cast<float>((1.0 - zoom) * sceneX);
            view.translationY = static_cast<float>((zoom - 1.0) * sceneY);
            const Frame zoomed = draw(view);
            const unsigned char* expected = atOne.at(x, y);
            const int colour[3] = {expected[0], expected[1], expected[2]};
            const unsigned char* got = zoomed.at(x, y);
            EXPECT_TRUE(zoomed.is(x, y, colour, 2))
                << "pixel " << x << ", " << y << ": " << int(got[0]) << " " << int(got[1]) << " "
                << int(got[2]) << " against " << colour[0] << " " << colour[1] << " " << colour[2]
                << " at zoom 1, " << show(view);
        }
    }
}

// Zooming out shrinks the scene about the middle of the view, down to the
// least zoom, where the sphere is under one pixel.
TEST_F(Zoom, ZoomingOutShrinksTheSceneAboutTheMiddle)
{
    bareSphere();
    ASSERT_FALSE(HasFatalFailure());
    struct Box {
        int left = 1 << 20, right = -1, bottom = 1 << 20, top = -1;
    };
    auto drawnBox = [](const Frame& frame) {
        Box box;
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                if (!frame.isClear(x, y)) {
                    box = {std::min(box.left, x), std::max(box.right, x), std::min(box.bottom, y),
                           std::max(box.top, y)};
                }
            }
        }
        return box;
    };
    ViewState view;
    const Box whole = drawnBox(draw(view));
    // The sphere's outline of 100 units is 111 pixels; its strips lie a little inside it.
    ASSERT_GT(whole.right - whole.left, 200);
    const double middleX = kViewWidth / 2.0;
    const double middleY = kViewHeight / 2.0;
    for (float zoom : {0.5f, 0.25f, 0.1f, 0.05f}) {
        view.zoomFactor = zoom;
        const Box box = drawnBox(draw(view));
        // A pixel and a half for where the rasteriser rounds each edge.
        EXPECT_NEAR(box.left, middleX + (whole.left - middleX) * zoom, 1.5) << show(view);
        EXPECT_NEAR(box.right, middleX + (whole.right - middleX) * zoom, 1.5) << show(view);
        EXPECT_NEAR(box.bottom, middleY + (whole.bottom - middleY) * zoom, 1.5) << show(view);
        EXPECT_NEAR(box.top, middleY + (whole.top - middleY) * zoom, 1.5) << show(view);
    }
    // The origin falls on the middle pixel's centre, inside the sphere a fifth of a pixel across.
    view.zoomFactor = kMinZoomFactor;
    const Frame least = draw(view);
    EXPECT_FALSE(least.isClear(kViewWidth / 2, kViewHeight / 2));
}

namespace {

// Grown strands' centrelines as HAIR points: three little-endian floats each.
struct GuideBytes {
    std::vector<unsigned char> bytes;
    GuideStrands guides;
};

void guidesOfStore(const HairStore& store, GuideBytes& out)
{
    std::vector<float> points;
    out.guides.starts = {0};
    for (int p = 0; p < store.clusterCount; ++p) {
        for (int q = 0; q < store.hairClusters[p].strandCount; ++q) {
            for (const Point3& c : centrelineOf(store.hairClusters[p].strands[q])) {
                points.insert(points.end(), {c.x, c.y, c.z});
            }
            out.guides.starts.push_back(points.size() / 3);
        }
    }
    out.bytes.resize(points.size() * sizeof(float));
    std::memcpy(out.bytes.data(), points.data(), out.bytes.size());
    out.guides.points = out.bytes.data();
}

}  // namespace

// The depth the lines ask of the camera holds every point of every line drawn.
TEST_F(Zoom, StrandLinesReachNoFurtherThanTheirDepth)
{
    const ViewState views[] = {{1.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {2.5f, 40.0f, -70.0f, 30.0f, -20.0f},
                               {20.0f, -90.0f, 200.0f, 0.0f, 0.0f}};
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus, UnderlyingShape::Plane}) {
        grow(shape, HairStyle::Messy, 3, 4, 20);
        ASSERT_FALSE(HasFatalFailure());
        GuideBytes guides;
        guidesOfStore(hairStore, guides);
        for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
            for (float frizz : {0.0f, 15.0f}) {
                ChildOptions options;
                options.children = 12;
                options.mode = mode;
                options.radius = 30.0f;
                options.frizz = frizz;
                std::string problem;
                std::optional<DenseHairLines> lines =
                    DenseHairLines::make(guides.guides, shape, options, true, problem);
                ASSERT_TRUE(lines) << problem;
                const float noOffset[3] = {0.0f, 0.0f, 0.0f};
                for (const ViewState& view : views) {
                    double rotation[3][3];
                    viewRotation(view, rotation);
                    double farthest = 0.0;
                    lines->forEachBatch(view, noOffset, [&](const LineBatch& batch) {
                        for (size_t i = 0; i < batch.points.size(); i += 3) {
                            const double along = rotation[2][0] * batch.points[i] +
                                                  rotation[2][1] * batch.points[i + 1] +
                                                  rotation[2][2] * batch.points[i + 2];
                            farthest = std::max(farthest, std::fabs(along));
                        }
                    });
                    const double depth = lines->depth(view, noOffset);
                    EXPECT_LE(farthest, depth) << shape << " mode " << static_cast<int>(mode)
                                               << " frizz " << frizz << ", " << show(view);
                    EXPECT_GT(farthest, 0.25 * depth) << "a bound, but not a loose one";
                    const ViewState holding = lines->holdingView(view, noOffset, scene);
                    EXPECT_GE(holding.depthReach, depth);
                    EXPECT_GE(holding.depthReach, sceneDepth(view, scene));
                }
            }
        }
    }
}
