// Runs tressmoor-render as a batch job would, without a display, and reads its
// pictures back.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "PngReading.h"
#include "ToolRunSupport.h"

namespace {

// The tool runs in a folder of the current test's own, so that tests running
// side by side keep their outputs apart and relative picture names land in it.
const std::string& runFolder()
{
    static std::string test;
    static std::string folder;
    const std::string current = testing::UnitTest::GetInstance()->current_test_info()->name();
    if (current != test) {
        test = current;
        folder = freshFolder("render-runs-" + current);
    }
    return folder;
}

ToolRun render(const std::string& arguments)
{
    const std::string& folder = runFolder();
    return runTool(std::string(TRESSMOOR_RENDER_BINARY) + " " + arguments, folder,
                   "cd '" + folder + "' && ");
}

PngPicture picture(const std::string& path)
{
    PngPicture read;
    std::string problem;
    EXPECT_TRUE(readPng(path, read, problem)) << path << ": " << problem;
    return read;
}

// The clear colour (0.1, 0.2, 0.3) as an 8-bit frame holds it.
bool isClear(const unsigned char* p)
{
    return std::abs(p[0] - 26) <= 1 && std::abs(p[1] - 51) <= 1 && std::abs(p[2] - 76) <= 1;
}

int countPixels(const PngPicture& shown, bool (*matches)(const unsigned char*))
{
    int count = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            count += matches(shown.at(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool isDrawn(const unsigned char* p)
{
    return !isClear(p);
}

// The control nets' unlit colours; nothing lit or textured comes out as either.
bool isYellow(const unsigned char* p)
{
    return p[0] == 255 && p[1] == 255 && p[2] == 0;
}

bool isMagenta(const unsigned char* p)
{
    return p[0] == 255 && p[1] == 0 && p[2] == 255;
}

}  // namespace

TEST(TressmoorRenderOptions, BadValuesGiveOneLineNamingTheOptionWithStatusTwo)
{
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--display shaded --image a.png", "--display must be wireframe, smooth or texture"},
        {"--display --image a.png", "--display must be wireframe, smooth or texture"},
        {"--size 0x10 --image a.png", "--size must be WIDTHxHEIGHT, each a whole number from 1 to 4096"},
        {"--size 4097x10 --image a.png", "--size must be WIDTHxHEIGHT"},
        {"--size 445 --image a.png", "--size must be WIDTHxHEIGHT"},
        {"--size 44.5x455 --image a.png", "--size must be WIDTHxHEIGHT"},
        {"--size 445x455x2 --image a.png", "--size must be WIDTHxHEIGHT"},
        {"--size=x455 --image a.png", "--size must be WIDTHxHEIGHT"},
        {"--rotate-x abc --image a.png", "--rotate-x must be a number from -3600 to 3600 (degrees)"},
        {"--rotate-x nan --image a.png", "--rotate-x must be a number from -3600 to 3600"},
        {"--rotate-z inf --image a.png", "--rotate-z must be a number from -3600 to 3600"},
        {"--rotate-z 3600.5 --image a.png", "--rotate-z must be a number from -3600 to 3600"},
        {"--rotate-z 1,5 --image a.png", "--rotate-z must be a number from -3600 to 3600"},
        {"--translate 10 --image a.png", "--translate must be X,Y, each a number from -1000 to 1000"},
        {"--translate 1,2,3 --image a.png", "--translate must be X,Y"},
        {"--translate 0,-1001 --image a.png", "--translate must be X,Y"},
        {"--translate ,5 --image a.png", "--translate must be X,Y"},
        {"--zoom 0 --image a.png", "--zoom must be a number from 0.001 to 1000"},
        {"--zoom 0.0009 --image a.png", "--zoom must be a number from 0.001 to 1000"},
        {"--zoom 1000.1 --image a.png", "--zoom must be a number from 0.001 to 1000"},
        {"--zoom 1e400 --image a.png", "--zoom must be a number from 0.001 to 1000"},
        {"--zoom=-2 --image a.png", "--zoom must be a number from 0.001 to 1000"},
        {"--turntable 0 --image a.png", "--turntable must be a whole number from 1 to 1000"},
        {"--turntable 1001 --image a.png", "--turntable must be a whole number from 1 to 1000"},
        {"--turntable 2.5 --image a.png", "--turntable must be a whole number from 1 to 1000"},
        {"--control-points=yes --image a.png", "option --control-points takes no value"},
        {"--control-polygon= --image a.png", "option --control-polygon takes no value"},
        {"--image a.jpg", "--image must name a .png file"},
        {"--image=", "--image needs a file name"},
        {"--image", "--image needs a file name"},
        {"--display smooth", "--image FILE.png is required"},
        {"--hairs 51 --image a.png", "--hairs must be a whole number from 1 to 50"},
        {"--shape cube --image a.png", "--shape must be plane, sphere or torus"},
        {"--out a.hair --image a.png", "unknown option --out"},
        {"--help=1", "option --help takes no value"},
        {"--version=1", "option --version takes no value"},
    };
    for (const auto& c : cases) {
        const ToolRun run = render(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(lineCount(run.err), 1u) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_FALSE(fileExists(runFolder() + "/a.png")) << c.arguments;
    }

    const ToolRun help = render("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--shape", "--style", "--length", "--rest-angle", "--hairs",
                               "--clusters", "--parts", "--growth", "--image", "--display",
                               "--size", "--rotate-x", "--rotate-z", "--translate", "--zoom",
                               "--control-points", "--control-polygon", "--turntable", "--help",
                               "--version"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }

    const ToolRun version = render("--size 10x10 --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tressmoor-render " TRESSMOOR_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST(TressmoorRenderPictures, HonourTheSizeAndShowTheHairOnTheClearColour)
{
    const std::string folder = freshFolder("render-size");
    const ToolRun defaults = render("--image " + folder + "/default.png");
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    EXPECT_EQ(defaults.out.find("tressmoor-render: wrote " + folder +
                                "/default.png (445 x 455, 1 strand), drawn in "),
              0u)
        << defaults.out;
    EXPECT_EQ(lineCount(defaults.out), 1u) << defaults.out;
    const PngPicture view = picture(folder + "/default.png");
    EXPECT_EQ(view.width, 445);
    EXPECT_EQ(view.height, 455);

    const ToolRun small = render("--shape torus --display smooth --size 120x80 --image " + folder +
                                 "/small.png");
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(small.out.find("ttotal = 441\n"), 0u) << small.out;
    const PngPicture shown = picture(folder + "/small.png");
    ASSERT_EQ(shown.width, 120);
    ASSERT_EQ(shown.height, 80);
    EXPECT_TRUE(isClear(shown.at(0, 0)));
    EXPECT_TRUE(isClear(shown.at(119, 79)));
    // The torus spans 300 of the box's 400 units, so it fills much of the frame.
    const int drawn = countPixels(shown, isDrawn);
    EXPECT_GT(drawn, 120 * 80 / 5);
    EXPECT_LT(drawn, 120 * 80 * 9 / 10);
}

TEST(TressmoorRenderPictures, ControlNetsShowInTheirOwnColoursOnlyWhenAsked)
{
    const std::string folder = freshFolder("render-nets");
    const std::string common = "--shape sphere --display smooth --hairs 5 --image " + folder;
    ASSERT_EQ(render(common + "/plain.png").status, 0);
    ASSERT_EQ(render("--control-points " + common + "/points.png").status, 0);
    ASSERT_EQ(render("--control-polygon " + common + "/polygon.png").status, 0);

    const PngPicture plain = picture(folder + "/plain.png");
    EXPECT_EQ(countPixels(plain, isYellow), 0);
    EXPECT_EQ(countPixels(plain, isMagenta), 0);
    const PngPicture points = picture(folder + "/points.png");
    // At least a few of the net's 81 dots of 5 x 5 pixels, most of them in front.
    EXPECT_GT(countPixels(points, isYellow), 25 * 20);
    EXPECT_EQ(countPixels(points, isMagenta), 0);
    const PngPicture polygon = picture(folder + "/polygon.png");
    EXPECT_GT(countPixels(polygon, isMagenta), 500);
    EXPECT_EQ(countPixels(polygon, isYellow), 0);
}

// The frames come from one context, pass after pass; each must be the picture
// a fresh run draws at that angle.
TEST(TressmoorRenderPictures, TurntableWritesNumberedFramesTurningAboutZ)
{
    const std::string folder = freshFolder("render-turntable");
    const std::string hair = "--shape torus --display smooth --style combed --hairs 10 --clusters 3 ";
    const ToolRun run = render(hair + "--turntable 4 --rotate-z 10 --image " + folder + "/turn.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineCount(run.out), 5u) << run.out;
    const std::vector<std::string> expected = {"turn-000.png", "turn-001.png", "turn-002.png",
                                               "turn-003.png"};
    std::vector<std::string> written = folderEntries(folder);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, expected);

    std::vector<PngPicture> frames;
    for (const std::string& name : expected) {
        frames.push_back(picture(folder + "/" + name));
    }
    for (size_t a = 0; a < frames.size(); ++a) {
        for (size_t b = a + 1; b < frames.size(); ++b) {
            EXPECT_NE(frames[a].rgb, frames[b].rgb) << "frames " << a << " and " << b;
        }
    }
    const struct {
        int frame;
        const char* angle;
    } singles[] = {{0, "10"}, {1, "100"}, {3, "280"}};
    for (const auto& single : singles) {
        const std::string path = folder + "/single-" + single.angle + ".png";
        ASSERT_EQ(render(hair + "--rotate-z " + single.angle + " --image " + path).status, 0);
        EXPECT_TRUE(picture(path).rgb == frames[single.frame].rgb)
            << "frame " << single.frame << " against --rotate-z " << single.angle;
    }
}

TEST(TressmoorRenderPictures, AnUnwritablePictureFailsWithStatusOneAndLeavesNoFile)
{
    const std::string folder = freshFolder("render-unwritable");
    const ToolRun run = render("--image " + folder + "/missing/a.png");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("tressmoor-render: cannot write \"" + folder + "/missing/a.png\""),
              std::string::npos)
        << run.err;
    EXPECT_EQ(lineCount(run.err), 1u) << run.err;
    EXPECT_TRUE(folderEntries(folder).empty());
}
