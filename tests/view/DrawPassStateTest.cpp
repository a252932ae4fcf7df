#include <gtest/gtest.h>

#include <array>
#include <vector>

#include <FL/Fl.H>
#include <FL/gl.h>

#include "RenderSupport.h"
#include "hair/HairStore.h"
#include "view/HairDrawing.h"
#include "view/HairView.h"

namespace {

using Vec4 = std::array<GLfloat, 4>;

Vec4 floats(void (*get)(GLenum, GLenum, GLfloat*), GLenum target, GLenum name)
{
    Vec4 v = {-9.0f, -9.0f, -9.0f, -9.0f};
    get(target, name, v.data());
    return v;
}

Vec4 lightParameter(GLenum name)
{
    return floats(glGetLightfv, GL_LIGHT0, name);
}

Vec4 frontMaterial(GLenum name)
{
    return floats(glGetMaterialfv, GL_FRONT, name);
}

Vec4 globalFloats(GLenum name)
{
    Vec4 v = {-9.0f, -9.0f, -9.0f, -9.0f};
    glGetFloatv(name, v.data());
    return v;
}

std::array<GLint, 2> polygonMode()
{
    std::array<GLint, 2> mode = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, mode.data());
    return mode;
}

std::array<GLint, 4> viewport()
{
    std::array<GLint, 4> v = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

std::array<GLfloat, 16> matrix(GLenum which)
{
    std::array<GLfloat, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

GLint textureParameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint levelParameter(int level, GLenum name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

class DrawPassState : public testing::Test {
protected:
    void SetUp() override
    {
        view = shownView();
        resetScene(view);
    }

    // A real pass through FLTK, then its context made current for reading back.
    void pass()
    {
        drawThroughFltk(view);
        view->make_current();
    }

    HairView* view = nullptr;
};

}  // namespace

TEST_F(DrawPassState, FixedStateFollowsTheLightingAndMaterialTables)
{
    growOn(UnderlyingShape::Sphere, kTinyHair);
    ASSERT_FALSE(HasFatalFailure());
    pass();

    EXPECT_EQ(globalFloats(GL_COLOR_CLEAR_VALUE), (Vec4{0.1f, 0.2f, 0.3f, 0.0f}));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    EXPECT_EQ(lightParameter(GL_AMBIENT), (Vec4{0.2f, 0.6f, 0.7f, 1.0f}));
    EXPECT_EQ(lightParameter(GL_DIFFUSE), (Vec4{0.7f, 0.6f, 0.5f, 1.0f}));
    EXPECT_EQ(lightParameter(GL_SPECULAR), (Vec4{1.0f, 1.0f, 1.0f, 1.0f})) << "GL's default";
    EXPECT_EQ(lightParameter(GL_POSITION), (Vec4{0.0f, 3.0f, 2.0f, 0.0f}));
    EXPECT_EQ(globalFloats(GL_LIGHT_MODEL_AMBIENT), (Vec4{0.4f, 0.4f, 0.4f, 1.0f}));
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &value);
    EXPECT_EQ(value, GL_FALSE);

    EXPECT_EQ(frontMaterial(GL_AMBIENT), (Vec4{0.2f, 0.6f, 0.8f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_DIFFUSE), (Vec4{0.1f, 0.5f, 0.8f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_SPECULAR), (Vec4{0.1f, 0.1f, 0.2f, 0.2f}));
    EXPECT_EQ(frontMaterial(GL_SHININESS)[0], 5.0f);
    EXPECT_EQ(frontMaterial(GL_EMISSION), (Vec4{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(floats(glGetMaterialfv, GL_BACK, GL_DIFFUSE), (Vec4{0.8f, 0.8f, 0.8f, 1.0f}))
        << "the back material keeps GL's default";
}

TEST_F(DrawPassState, OrthographicBoxSitsOnTheModelViewMatrix)
{
    growOn(UnderlyingShape::Sphere, kTinyHair);
    ASSERT_FALSE(HasFatalFailure());
    view->rotationX = 40.0f;
    view->translationX = 12.0f;
    view->zoomFactor = 2.0f;
    pass();

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    std::array<GLfloat, 16> expectedProjection{};
    expectedProjection[0] = expectedProjection[5] = expectedProjection[10] = expectedProjection[15] = 1.0f;
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), expectedProjection);

    // The camera is pushed and popped: only the box is left on the stack.
    const std::array<GLfloat, 16> modelView = matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) {
        const float expected = i == 0 || i == 5 ? 0.005f : i == 10 ? -0.005f : i == 15 ? 1.0f : 0.0f;
        EXPECT_FLOAT_EQ(modelView[i], expected) << "element " << i;
    }
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, view->w(), view->h()}));
}

TEST_F(DrawPassState, PolygonModeFollowsTheDisplayMode)
{
    const struct {
        UnderlyingShape shape;
        DisplayMode mode;
        GLint expected;
    } cases[] = {
        {UnderlyingShape::Sphere, DisplayMode::Wireframe, GL_LINE},
        {UnderlyingShape::Sphere, DisplayMode::Smooth, GL_FILL},
        {UnderlyingShape::Sphere, DisplayMode::Texture, GL_FILL},
        {UnderlyingShape::Torus, DisplayMode::Wireframe, GL_LINE},
        {UnderlyingShape::Sphere, DisplayMode::Wireframe, GL_LINE},
        // The plane square is always filled, and the mode stays filled after it.
        {UnderlyingShape::Plane, DisplayMode::Wireframe, GL_FILL},
        {UnderlyingShape::Plane, DisplayMode::Texture, GL_FILL},
    };
    for (const auto& c : cases) {
        growOn(c.shape, kTinyHair);
        ASSERT_FALSE(HasFatalFailure());
        settings().displayMode = c.mode;
        pass();
        EXPECT_EQ(polygonMode(), (std::array<GLint, 2>{c.expected, c.expected}))
            << "shape " << c.shape << ", mode " << c.mode;
    }
    // Nothing drawn: the mode set at the start of the pass remains.
    hairStore.hairGrown = false;
    settings().displayMode = DisplayMode::Wireframe;
    pass();
    EXPECT_EQ(polygonMode(), (std::array<GLint, 2>{GL_LINE, GL_LINE}));
}

TEST_F(DrawPassState, LightStaysPutWhenAResizeReinitialises)
{
    const int width = view->w();
    const int height = view->h();
    const int sizes[][2] = {{300, 200}, {445, 455}, {160, 380}, {width, height}};
    for (const auto& size : sizes) {
        view->size(size[0], size[1]);
        pass();
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, size[0], size[1]}));
        EXPECT_EQ(lightParameter(GL_POSITION), (Vec4{0.0f, 3.0f, 2.0f, 0.0f}))
            << "after resizing to " << size[0] << " x " << size[1];
        EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX)[0], 0.005f);
    }
}

TEST_F(DrawPassState, PlaneSquareLeavesTheUpwardNormalCurrent)
{
    growOn(UnderlyingShape::Plane, {2, 3, 10, 5});
    ASSERT_FALSE(HasFatalFailure());
    for (DisplayMode mode : {DisplayMode::Smooth, DisplayMode::Texture}) {
        settings().displayMode = mode;
        pass();
        EXPECT_EQ(globalFloats(GL_CURRENT_NORMAL)[0], 0.0f) << "mode " << mode;
        EXPECT_EQ(globalFloats(GL_CURRENT_NORMAL)[1], 1.0f) << "mode " << mode;
        EXPECT_EQ(globalFloats(GL_CURRENT_NORMAL)[2], 0.0f) << "mode " << mode;
    }
}

namespace {

void expectHairTextureBound(const std::string& when)
{
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    ASSERT_NE(bound, 0) << when;
    EXPECT_EQ(static_cast<unsigned>(bound), hairTextureName) << when;
    EXPECT_TRUE(glIsTexture(bound)) << when;
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST) << when;
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR) << when;
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT) << when;
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT) << when;
    GLint envMode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    EXPECT_EQ(envMode, GL_MODULATE) << when;

    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 64) << when;
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 64) << when;
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), 3) << when;
    // The whole mipmap chain, down to one texel.
    EXPECT_EQ(levelParameter(6, GL_TEXTURE_WIDTH), 1) << when;
    EXPECT_EQ(levelParameter(6, GL_TEXTURE_HEIGHT), 1) << when;

    std::vector<unsigned char> image(sizeof hairTexture, 0xab);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    EXPECT_EQ(image, std::vector<unsigned char>(hairTexture, hairTexture + sizeof hairTexture)) << when;
}

}  // namespace

TEST_F(DrawPassState, TextureObjectHoldsTheHairTextureAndTexturingEndsWithThePass)
{
    growOn(UnderlyingShape::Sphere, kTinyHair);
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = DisplayMode::Texture;
    pass();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    expectHairTextureBound("after a Texture pass");

    const unsigned name = hairTextureName;
    pass();
    EXPECT_EQ(hairTextureName, name) << "one texture object serves every pass";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(DrawPassState, TextureIsMadeAgainInANewContext)
{
    growOn(UnderlyingShape::Torus, kTinyHair);
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = DisplayMode::Texture;
    pass();
    expectHairTextureBound("in the first context");

    // Hiding a GL window destroys its context; showing it makes a new one.
    for (int round = 0; round < 2; ++round) {
        view->hide();
        Fl::check();
        ASSERT_EQ(view->context(), nullptr);
        view->show();
        pass();
        expectHairTextureBound("after showing the view again, round " + std::to_string(round));
    }
}
