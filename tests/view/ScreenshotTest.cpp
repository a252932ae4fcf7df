#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "RenderSupport.h"
#include "view/HairView.h"

namespace {

struct Shot {
    UnderlyingShape shape;
    const char* shapeName;
    DisplayMode mode;
    const char* modeName;
};

// Test names and failure messages show the shot as "sphere_smooth".
std::string nameOf(const Shot& shot)
{
    return std::string(shot.shapeName) + "_" + shot.modeName;
}

void PrintTo(const Shot& shot, std::ostream* out)
{
    *out << nameOf(shot);
}

class Screenshot : public testing::TestWithParam<Shot> {};

std::string shotName(const testing::TestParamInfo<Shot>& info)
{
    return nameOf(info.param);
}

bool startsLikePng(const std::string& path)
{
    unsigned char signature[8] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const size_t read = std::fread(signature, 1, 8, file);
    std::fclose(file);
    const unsigned char expected[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return read == 8 && std::equal(signature, signature + 8, expected);
}

}  // namespace

TEST_P(Screenshot, ShapeInDisplayModeIsSavedAsPng)
{
    const Shot shot = GetParam();
    HairView* view = shownView();
    resetScene(view);
    growOn(shot.shape, kScreenshotHair);
    ASSERT_FALSE(HasFatalFailure());
    settings().displayMode = shot.mode;
    const Frame frame = renderFrame(view);

    const double drawnShare = static_cast<double>(frame.countNonClear()) / (frame.width * frame.height);
    EXPECT_GT(drawnShare, 0.02) << "the scene is visible";
    EXPECT_LT(drawnShare, 0.9) << "the background shows around it";
    EXPECT_TRUE(frame.isClear(0, 0));
    EXPECT_TRUE(frame.isClear(frame.width - 1, frame.height - 1));

    const std::string path = std::string(TRESSMOOR_TEST_OUTPUT) + "/view-" + shot.shapeName + "-" +
                             shot.modeName + ".png";
    ASSERT_TRUE(writePng(path, frame)) << path;
    EXPECT_TRUE(startsLikePng(path)) << path;
}

INSTANTIATE_TEST_SUITE_P(
    EveryShapeAndMode, Screenshot,
    testing::Values(Shot{UnderlyingShape::Plane, "plane", DisplayMode::Wireframe, "wireframe"},
                    Shot{UnderlyingShape::Plane, "plane", DisplayMode::Smooth, "smooth"},
                    Shot{UnderlyingShape::Plane, "plane", DisplayMode::Texture, "texture"},
                    Shot{UnderlyingShape::Sphere, "sphere", DisplayMode::Wireframe, "wireframe"},
                    Shot{UnderlyingShape::Sphere, "sphere", DisplayMode::Smooth, "smooth"},
                    Shot{UnderlyingShape::Sphere, "sphere", DisplayMode::Texture, "texture"},
                    Shot{UnderlyingShape::Torus, "torus", DisplayMode::Wireframe, "wireframe"},
                    Shot{UnderlyingShape::Torus, "torus", DisplayMode::Smooth, "smooth"},
                    Shot{UnderlyingShape::Torus, "torus", DisplayMode::Texture, "texture"}),
    shotName);
