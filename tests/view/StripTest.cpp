#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "GlCallLog.h"
#include "RenderSupport.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairDrawing.h"
#include "view/HairView.h"

namespace {

// A saddle over a 100 x 100 square: degree 1 in both directions, so every
// sample lies on it and the normals differ from vertex to vertex.
void setUpSaddle(NurbsSurface& surface, int samplesU, int samplesV)
{
    const ControlPoint net[4] = {
        {-50.0f, -50.0f, 0.0f, 1.0f}, {-50.0f, 50.0f, 20.0f, 1.0f},
        {50.0f, -50.0f, 20.0f, 1.0f}, {50.0f, 50.0f, -10.0f, 1.0f},
    };
    const float knots[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    surface.setup(1, 1, 2, 2, net, knots, knots, samplesU, samplesV);
}

std::vector<SurfaceVertex> gridOf(NurbsSurface& surface)
{
    testing::internal::CaptureStdout();  // evaluateGrid reports its sample count
    std::unique_ptr<SurfaceVertex[]> grid(surface.evaluateGrid());
    testing::internal::GetCapturedStdout();
    const size_t count = static_cast<size_t>(surface.samplesU + 1) * (surface.samplesV + 1);
    return std::vector<SurfaceVertex>(grid.get(), grid.get() + count);
}

// Vertex k of the strip joining rows i - 1 and i: the even slots hold the even row.
const SurfaceVertex& stripVertex(const std::vector<SurfaceVertex>& grid, int samplesV, int i, int k)
{
    const int row = (k % 2 == i % 2) ? i : i - 1;
    return grid[static_cast<size_t>(row) * (samplesV + 1) + k / 2];
}

std::array<float, 3> asArray(const float v[3])
{
    return {v[0], v[1], v[2]};
}

void expectStripsFollowGrid(const std::vector<LoggedPrimitive>& strips, size_t first,
                            const std::vector<SurfaceVertex>& grid, int samplesU, int samplesV,
                            bool textured, const std::string& what)
{
    ASSERT_GE(strips.size(), first + samplesU) << what;
    for (int i = 1; i <= samplesU; ++i) {
        const LoggedPrimitive& strip = strips[first + i - 1];
        ASSERT_EQ(strip.mode, static_cast<GLenum>(GL_TRIANGLE_STRIP)) << what << " strip " << i;
        ASSERT_EQ(strip.vertices.size(), static_cast<size_t>(2 * samplesV + 2)) << what << " strip " << i;
        EXPECT_EQ(strip.texturing, textured) << what << " strip " << i;
        for (int k = 0; k < 2 * samplesV + 2; ++k) {
            const SurfaceVertex& expected = stripVertex(grid, samplesV, i, k);
            const LoggedVertex& sent = strip.vertices[k];
            ASSERT_EQ(sent.position, asArray(expected.position)) << what << " strip " << i << " vertex " << k;
            ASSERT_EQ(sent.normal, asArray(expected.normal)) << what << " strip " << i << " vertex " << k;
            ASSERT_EQ(sent.hasTexCoord, textured) << what << " strip " << i << " vertex " << k;
            if (textured) {
                ASSERT_EQ(sent.texCoord[0], expected.texCoord[0]) << what << " strip " << i << " vertex " << k;
                ASSERT_EQ(sent.texCoord[1], expected.texCoord[1]) << what << " strip " << i << " vertex " << k;
            }
        }
    }
}

class SurfaceStrips : public testing::Test {
protected:
    void SetUp() override
    {
        view = shownView();
        resetScene(view);
        view->make_current();
    }

    void TearDown() override
    {
        glCallLog.stop();
        glDisable(GL_TEXTURE_2D);
    }

    HairView* view = nullptr;
};

}  // namespace

TEST_F(SurfaceStrips, SurfaceWithoutSamplesSendsNothingAtAll)
{
    NurbsSurface never;
    NurbsSurface flat;
    setUpSaddle(flat, 3, 3);
    glCallLog.start();
    never.draw(StripStyle::Plain);
    never.draw(StripStyle::Textured);
    flat.setTessellation(3, 0);
    flat.draw(StripStyle::Plain);
    flat.draw(StripStyle::Textured);
    flat.setTessellation(0, 3);
    flat.draw(StripStyle::Plain);
    flat.draw(StripStyle::Textured);
    glCallLog.stop();
    EXPECT_EQ(glCallLog.calls, 0);
}

TEST_F(SurfaceStrips, OneStripPerRowPairWithTheRowsInterleaved)
{
    const std::array<int, 2> sampleCounts[] = {{1, 1}, {1, 5}, {3, 4}, {7, 2}, {20, 20}};
    for (const auto& samples : sampleCounts) {
        NurbsSurface saddle;
        setUpSaddle(saddle, samples[0], samples[1]);
        const std::vector<SurfaceVertex> grid = gridOf(saddle);
        std::ostringstream what;
        what << "saddle " << samples[0] << " x " << samples[1];

        glCallLog.start();
        saddle.draw(StripStyle::Plain);
        glCallLog.stop();
        EXPECT_EQ(glCallLog.primitives.size(), static_cast<size_t>(samples[0])) << what.str();
        EXPECT_EQ(glCallLog.lineWidthCalls, samples[0]) << what.str();
        EXPECT_EQ(glCallLog.textureEnables + glCallLog.textureBinds + glCallLog.textureDisables, 0)
            << what.str();
        expectStripsFollowGrid(glCallLog.primitives, 0, grid, samples[0], samples[1], false, what.str());
    }
}

TEST_F(SurfaceStrips, TexturedStripsCarryTheGridTexCoordsAndEndUntextured)
{
    NurbsSurface saddle;
    setUpSaddle(saddle, 3, 4);
    const std::vector<SurfaceVertex> grid = gridOf(saddle);
    saddle.draw(StripStyle::Textured);  // the texture object now exists in this context
    ASSERT_NE(hairTextureName, 0u);

    glCallLog.start();
    saddle.draw(StripStyle::Textured);
    glCallLog.stop();
    expectStripsFollowGrid(glCallLog.primitives, 0, grid, 3, 4, true, "textured saddle");
    for (const LoggedPrimitive& strip : glCallLog.primitives) {
        EXPECT_EQ(strip.boundTexture, static_cast<GLint>(hairTextureName));
    }
    EXPECT_EQ(glCallLog.textureEnables, 3);
    EXPECT_EQ(glCallLog.textureBinds, 3);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    glCallLog.start();
    saddle.draw(StripStyle::Plain);
    glCallLog.stop();
    expectStripsFollowGrid(glCallLog.primitives, 0, grid, 3, 4, false, "plain after textured");
}

namespace {

// Whether a strand's control point, and so perhaps its tube, lies beyond the
// depth of the orthographic box under the view's camera.
bool reachesOutOfTheBox(const HairView& view)
{
    const Matrix m = sceneMatrix(view);
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        const HairCluster& cluster = hairStore.hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            const NurbsSurface& strand = cluster.strands[q];
            for (int k = 0; k < strand.numCtrlU * strand.numCtrlV; ++k) {
                const ControlPoint& c = strand.controlNet[k];
                const float point[3] = {c.x / c.w, c.y / c.w, c.z / c.w};
                const double depth = toWindow(m, point, view.w(), view.h())[2];
                if (depth < 0.0 || depth > 1.0) {
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace

TEST_F(SurfaceStrips, PassSendsTheSceneByShapeModeAndHairSize)
{
    const UnderlyingShape shapes[] = {UnderlyingShape::Sphere, UnderlyingShape::Torus,
                                      UnderlyingShape::Plane};
    const HairSize sizes[] = {{1, 1, 10, 1}, {2, 3, 10, 5}, {3, 10, 20, 10}};
    // Texture twice in a row: the second pass starts with whatever the first left on.
    const DisplayMode modes[] = {DisplayMode::Smooth, DisplayMode::Texture, DisplayMode::Texture,
                                 DisplayMode::Wireframe, DisplayMode::Smooth};
    for (UnderlyingShape shape : shapes) {
        for (const HairSize& size : sizes) {
            growOn(shape, size);
            ASSERT_FALSE(HasFatalFailure());
            const int hairStrips = size.clusters * size.clusters * size.hairs * kStrandSamples;
            const int surfaceStrips = shape == UnderlyingShape::Plane ? 0 : kShapeSamples;
            for (DisplayMode mode : modes) {
                settings().displayMode = mode;
                const std::string what =
                    describe(shape, size) + ", mode " + std::to_string(static_cast<int>(mode));
                glCallLog.start();
                drawThroughFltk(view);
                glCallLog.stop();

                // At zoom 1 the box alone is the camera, unless the hair reaches out of its
                // depth: then the projection holds it, set for the pass and reset after.
                EXPECT_EQ(glCallLog.matrixModeCalls, reachesOutOfTheBox(*view) ? 4 : 0) << what;
                EXPECT_EQ(glCallLog.countPrimitives(GL_TRIANGLE_STRIP), surfaceStrips + hairStrips) << what;
                EXPECT_EQ(glCallLog.countPrimitives(GL_QUADS),
                          shape == UnderlyingShape::Plane ? 1 : 0)
                    << what;
                ASSERT_EQ(glCallLog.primitives.size(),
                          static_cast<size_t>(surfaceStrips + hairStrips +
                                              (shape == UnderlyingShape::Plane ? 1 : 0)))
                    << what;
                int texturedStrips = 0;
                for (size_t n = 0; n < glCallLog.primitives.size(); ++n) {
                    const LoggedPrimitive& primitive = glCallLog.primitives[n];
                    const bool isHair = n >= static_cast<size_t>(surfaceStrips) &&
                                        n < static_cast<size_t>(surfaceStrips + hairStrips);
                    const bool carriesTexCoords = primitive.vertices.front().hasTexCoord;
                    texturedStrips += carriesTexCoords ? 1 : 0;
                    ASSERT_EQ(primitive.texturing, carriesTexCoords) << what << " primitive " << n;
                    ASSERT_EQ(carriesTexCoords, isHair && mode == DisplayMode::Texture)
                        << what << " primitive " << n;
                    if (primitive.mode == GL_TRIANGLE_STRIP) {
                        ASSERT_EQ(primitive.vertices.size(), 42u) << what << " primitive " << n;
                    }
                }
                EXPECT_EQ(texturedStrips, mode == DisplayMode::Texture ? hairStrips : 0) << what;
                if (shape == UnderlyingShape::Plane) {
                    const LoggedPrimitive& square = glCallLog.primitives.back();
                    ASSERT_EQ(square.mode, static_cast<GLenum>(GL_QUADS)) << what;
                    ASSERT_EQ(square.vertices.size(), 4u) << what;
                    for (const LoggedVertex& corner : square.vertices) {
                        EXPECT_EQ(corner.normal, (std::array<float, 3>{0.0f, 1.0f, 0.0f})) << what;
                        EXPECT_EQ(std::fabs(corner.position[0]), 100.0f) << what;
                        EXPECT_EQ(corner.position[1], 0.0f) << what;
                        EXPECT_EQ(std::fabs(corner.position[2]), 100.0f) << what;
                    }
                }
            }
        }
    }
}

TEST_F(SurfaceStrips, StrandsAreSentInStoreOrderAsTheirOwnGrids)
{
    growOn(UnderlyingShape::Torus, {2, 3, 10, 5});
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = DisplayMode::Texture;
    glCallLog.start();
    drawThroughFltk(view);
    glCallLog.stop();

    expectStripsFollowGrid(glCallLog.primitives, 0, gridOf(underlyingSurface), kShapeSamples,
                           kShapeSamples, false, "torus");
    size_t first = kShapeSamples;
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        for (int q = 0; q < hairStore.hairClusters[p].strandCount; ++q) {
            NurbsSurface& strand = hairStore.hairClusters[p].strands[q];
            const std::string what = "strand " + std::to_string(q) + " of record " + std::to_string(p);
            expectStripsFollowGrid(glCallLog.primitives, first, gridOf(strand), kStrandSamples,
                                   kStrandSamples, true, what);
            first += kStrandSamples;
        }
    }
    EXPECT_EQ(first, glCallLog.primitives.size());
}

TEST_F(SurfaceStrips, SmoothAndTextureSendTheSameGeometry)
{
    growOn(UnderlyingShape::Sphere, {2, 2, 10, 5});
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = DisplayMode::Smooth;
    glCallLog.start();
    drawThroughFltk(view);
    const std::vector<LoggedPrimitive> smooth = glCallLog.primitives;
    settings().displayMode = DisplayMode::Texture;
    glCallLog.start();
    drawThroughFltk(view);
    glCallLog.stop();
    const std::vector<LoggedPrimitive>& textured = glCallLog.primitives;

    ASSERT_EQ(smooth.size(), textured.size());
    for (size_t n = 0; n < smooth.size(); ++n) {
        ASSERT_EQ(smooth[n].vertices.size(), textured[n].vertices.size()) << "strip " << n;
        for (size_t k = 0; k < smooth[n].vertices.size(); ++k) {
            ASSERT_EQ(smooth[n].vertices[k].position, textured[n].vertices[k].position)
                << "strip " << n << " vertex " << k;
            ASSERT_EQ(smooth[n].vertices[k].normal, textured[n].vertices[k].normal)
                << "strip " << n << " vertex " << k;
        }
    }
}

TEST_F(SurfaceStrips, OnlyCurrentStrandsOfAGrownHairAreDrawn)
{
    growOn(UnderlyingShape::Sphere, {2, 5, 10, 5});
    growOn(UnderlyingShape::Sphere, {1, 2, 10, 5});
    ASSERT_FALSE(HasFatalFailure());
    const int surfaceStrips = kShapeSamples;

    glCallLog.start();
    drawThroughFltk(view);
    glCallLog.stop();
    EXPECT_EQ(glCallLog.primitives.size(), static_cast<size_t>(surfaceStrips + 2 * kStrandSamples))
        << "records 1 to 3 and strands 2 to 4 are left over from the first growth";

    hairStore.hairClusters[0].strandCount = 0;
    glCallLog.start();
    drawThroughFltk(view);
    glCallLog.stop();
    EXPECT_EQ(glCallLog.primitives.size(), static_cast<size_t>(surfaceStrips));

    hairStore.hairClusters[0].strandCount = 2;
    hairStore.clusterCount = 0;
    glCallLog.start();
    drawThroughFltk(view);
    glCallLog.stop();
    EXPECT_EQ(glCallLog.primitives.size(), static_cast<size_t>(surfaceStrips));

    hairStore.clusterCount = 1;
    hairStore.hairGrown = false;
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus,
                                  UnderlyingShape::Plane, UnderlyingShape::NoShape}) {
        settings().shape = shape;
        glCallLog.start();
        drawThroughFltk(view);
        glCallLog.stop();
        EXPECT_TRUE(glCallLog.primitives.empty()) << "shape " << shape << " before any hair";
    }
}

namespace {

using Triangle = std::array<std::array<double, 3>, 3>;

// The triangles of a pass as GL's feedback mode reports them, in window coordinates.
std::vector<Triangle> feedbackTriangles(HairView* view, int* otherPolygons)
{
    std::vector<GLfloat> buffer(4000000);
    view->make_current();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    view->draw();
    const int used = glRenderMode(GL_RENDER);
    EXPECT_GT(used, 0) << "feedback buffer overflowed";
    std::vector<Triangle> triangles;
    *otherPolygons = 0;
    for (int n = 0; n < used;) {
        const int token = static_cast<int>(buffer[n++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
        const int count = static_cast<int>(buffer[n++]);
        if (count == 3) {
            Triangle t;
            for (int v = 0; v < 3; ++v) {
                t[v] = {buffer[n + v * 3], buffer[n + v * 3 + 1], buffer[n + v * 3 + 2]};
            }
            triangles.push_back(t);
        } else {
            ++*otherPolygons;
        }
        n += count * 3;
    }
    return triangles;
}

bool samePoint(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return std::fabs(a[0] - b[0]) < 0.02 && std::fabs(a[1] - b[1]) < 0.02 &&
           std::fabs(a[2] - b[2]) < 1e-4;
}

// The strips of one surface cut into their triangles, projected to the window.
void appendExpectedTriangles(NurbsSurface& surface, const Matrix& m, int width, int height,
                             std::vector<Triangle>& triangles)
{
    const std::vector<SurfaceVertex> grid = gridOf(surface);
    for (int i = 1; i <= surface.samplesU; ++i) {
        for (int k = 0; k + 2 < 2 * surface.samplesV + 2; ++k) {
            Triangle t;
            for (int v = 0; v < 3; ++v) {
                const std::array<double, 3> w =
                    toWindow(m, stripVertex(grid, surface.samplesV, i, k + v).position, width, height);
                t[v] = w;
            }
            triangles.push_back(t);
        }
    }
}

std::string show(const Triangle& t)
{
    std::ostringstream text;
    for (const auto& v : t) {
        text << "(" << v[0] << ", " << v[1] << ", " << v[2] << ") ";
    }
    return text.str();
}

}  // namespace

TEST_F(SurfaceStrips, FeedbackTrianglesAreTheGridsThroughTheCamera)
{
    growOn(UnderlyingShape::Sphere, kTinyHair);
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = DisplayMode::Smooth;
    view->zoomFactor = 1.2f;
    view->rotationX = 10.0f;
    view->rotationZ = -25.0f;
    view->translationX = 6.0f;
    view->translationY = -7.5f;
    drawThroughFltk(view);

    int otherPolygons = 0;
    const std::vector<Triangle> sent = feedbackTriangles(view, &otherPolygons);
    EXPECT_EQ(otherPolygons, 0) << "nothing should be clipped";

    const Matrix m = sceneMatrix(*view);
    std::vector<Triangle> expected;
    appendExpectedTriangles(underlyingSurface, m, view->w(), view->h(), expected);
    appendExpectedTriangles(hairStore.hairClusters[0].strands[0], m, view->w(), view->h(), expected);

    ASSERT_EQ(sent.size(), expected.size());
    for (size_t n = 0; n < sent.size(); ++n) {
        for (const auto& corner : expected[n]) {
            bool found = false;
            for (const auto& got : sent[n]) {
                found = found || samePoint(corner, got);
            }
            ASSERT_TRUE(found) << "triangle " << n << ": expected " << show(expected[n]) << "got "
                               << show(sent[n]);
        }
    }
}
