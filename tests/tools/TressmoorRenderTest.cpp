// Runs tressmoor-render as a batch job would, without a display, and reads its
// pictures back.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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

// The smallest box around every pixel that is not the clear colour.
struct DrawnBox {
    int left = 0;
    int right = -1;
    int bottom = 0;
    int top = -1;
};

DrawnBox drawnBox(const PngPicture& shown)
{
    DrawnBox box = {shown.width, -1, shown.height, -1};
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            if (isDrawn(shown.at(x, y))) {
                box = {std::min(box.left, x), std::max(box.right, x), std::min(box.bottom, y),
                       std::max(box.top, y)};
            }
        }
    }
    return box;
}

bool samePixel(const PngPicture& a, const PngPicture& b, int x, int y)
{
    return std::equal(a.at(x, y), a.at(x, y) + 3, b.at(x, y));
}

// The hair of the README's pictures, small enough to draw in a moment.
const std::string kSmallHair = "--clusters 3 --hairs 10 --length 20 --rest-angle 10 ";

// Another program's strands: a tuft of curling strands of 2 to 24 points, each
// its own length, scale units across around the given middle, in no frame the
// view knows.
HandMadeHairFile foreignTuft(float middleX, float middleY, float middleZ, float scale)
{
    HandMadeHairFile file;
    file.flags = 3;  // segments and points
    file.info = "made elsewhere";
    const int strands = 120;
    for (int s = 0; s < strands; ++s) {
        const int points = 2 + (s * 7) % 23;
        const float angle = 2.4f * static_cast<float>(s);
        const float spread = 0.3f * std::sqrt(static_cast<float>(s) / strands);
        for (int i = 0; i < points; ++i) {
            const float along = static_cast<float>(i) / 23.0f;
            file.points.push_back(middleX + scale * (spread * std::cos(angle) + 0.1f * std::sin(5.0f * along + angle)));
            file.points.push_back(middleY + scale * (along - 0.5f));
            file.points.push_back(middleZ + scale * (spread * std::sin(angle) + 0.2f * along * along));
        }
        file.segments.push_back(static_cast<uint16_t>(points - 1));
        file.pointCount += static_cast<uint32_t>(points);
    }
    file.strandCount = strands;
    return file;
}

// The largest resident memory of a run of the tool, in KiB. llvmpipe's worker
// threads hold as much binned work as they lag behind, which moves a run's peak
// by tens of MB; drawing in the calling thread alone makes it repeatable. Under
// AddressSanitizer, memory that GL frees waits in a quarantine of up to 256 MB
// and would count as the run's own; it is given back at once here.
long peakResidentKiB(const std::string& arguments)
{
    const std::string command =
        "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0\" "
        "env -u DISPLAY LP_NUM_THREADS=0 " +
        std::string(TRESSMOOR_RENDER_BINARY) + " " + arguments + " > /dev/null";
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
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
                               "--control-points", "--control-polygon", "--turntable", "--hair",
                               "--children", "--child-mode", "--child-radius", "--clump", "--frizz",
                               "--seed", "--root-width", "--tip-width", "--guides", "--units",
                               "--help", "--version"}) {
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

namespace {

// Pixels of the clear colour in the middle 50 x 50 of a picture.
int clearInTheMiddle(const PngPicture& shown)
{
    int clear = 0;
    for (int y = shown.height / 2 - 25; y < shown.height / 2 + 25; ++y) {
        for (int x = shown.width / 2 - 25; x < shown.width / 2 + 25; ++x) {
            clear += isClear(shown.at(x, y)) ? 1 : 0;
        }
    }
    return clear;
}

// Of the pixels drawn in the middle half of a picture at zoom 1, those that the
// picture zoomed by a factor does not draw near where the zoom carries them.
// One-pixel lines stay one pixel wide, so a line may land two pixels off.
int lostInTheZoom(const PngPicture& atOne, const PngPicture& zoomed, int factor, int* drawn)
{
    const double middleX = atOne.width / 2.0;
    const double middleY = atOne.height / 2.0;
    int lost = 0;
    *drawn = 0;
    for (int y = 0; y < atOne.height; ++y) {
        for (int x = 0; x < atOne.width; ++x) {
            const double fromX = x + 0.5 - middleX;
            const double fromY = y + 0.5 - middleY;
            if (!isDrawn(atOne.at(x, y)) || std::fabs(fromX) * factor > middleX - 3 ||
                std::fabs(fromY) * factor > middleY - 3) {
                continue;
            }
            ++*drawn;
            const int toX = static_cast<int>(std::floor(middleX + factor * fromX));
            const int toY = static_cast<int>(std::floor(middleY + factor * fromY));
            bool found = false;
            for (int dy = -2; dy <= 2 && !found; ++dy) {
                for (int dx = -2; dx <= 2 && !found; ++dx) {
                    found = isDrawn(zoomed.at(toX + dx, toY + dy));
                }
            }
            lost += found ? 0 : 1;
        }
    }
    return lost;
}

}  // namespace

// Zoomed in, the picture is the middle of the scene magnified: the sphere's lit
// surface, the children and another program's strands, none cut away by the
// depth of the box the scene is drawn in.
TEST(TressmoorRenderPictures, ZoomingInMagnifiesTheMiddleAndCutsNothingAway)
{
    const std::string folder = freshFolder("render-zoom");
    for (const char* zoom : {"2.5", "20", "1000"}) {
        SCOPED_TRACE(zoom);
        const std::string image = folder + "/sphere-" + zoom + ".png";
        ASSERT_EQ(render("--shape sphere --display smooth " + kSmallHair + "--zoom " + zoom +
                         " --image " + image)
                      .status,
                  0);
        EXPECT_EQ(clearInTheMiddle(picture(image)), 0);
    }
    const std::string children = folder + "/children.png";
    ASSERT_EQ(render("--shape sphere --display smooth " + kSmallHair +
                     "--children 20 --child-radius 5 --guides drop --zoom 2.5 --image " + children)
                  .status,
              0);
    EXPECT_EQ(clearInTheMiddle(picture(children)), 0);

    // The tuft is framed to fill the box's depth at zoom 1, turned to lie along the line of sight.
    const std::string file = folder + "/tuft.hair";
    writeBytes(file, foreignTuft(30.0f, -20.0f, 10.0f, 100.0f).bytes());
    for (const char* picture : {"grown", "tuft"}) {
        SCOPED_TRACE(picture);
        const std::string scene = std::string(picture) == "tuft"
                                      ? "--hair " + file + " --rotate-x 75 "
                                      : "--shape torus --style combed " + kSmallHair;
        ASSERT_EQ(render(scene + " --image " + folder + "/one.png").status, 0);
        ASSERT_EQ(render(scene + " --zoom 2 --image " + folder + "/two.png").status, 0);
        int drawn = 0;
        const int lost = lostInTheZoom(::picture(folder + "/one.png"), ::picture(folder + "/two.png"),
                                       2, &drawn);
        EXPECT_GT(drawn, 500);
        EXPECT_LE(lost, drawn / 100) << "of " << drawn;
    }
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

TEST(TressmoorRenderChildren, AreTheSameForTheSameSeedAndOtherForAnother)
{
    const std::string folder = freshFolder("render-children-seed");
    const std::string hair = kSmallHair + "--shape sphere --display smooth --children 20 --frizz 3 ";
    for (const char* run : {"first", "again", "seed2"}) {
        const std::string seed = std::string(run) == "seed2" ? "--seed 2 " : "";
        const ToolRun drawn = render(hair + seed + "--image " + folder + "/" + run + ".png");
        ASSERT_EQ(drawn.status, 0) << drawn.err;
        EXPECT_NE(drawn.out.find("(445 x 455, 1890 strands)"), std::string::npos) << drawn.out;
    }
    EXPECT_EQ(readBytes(folder + "/first.png"), readBytes(folder + "/again.png"));
    const PngPicture first = picture(folder + "/first.png");
    const PngPicture other = picture(folder + "/seed2.png");
    long differing = 0;
    for (int y = 0; y < first.height; ++y) {
        for (int x = 0; x < first.width; ++x) {
            differing += samePixel(first, other, x, y) ? 0 : 1;
        }
    }
    EXPECT_GT(differing, 1000) << "another seed moves the children";

    // Frames drawn one after another in one context, children and all, are
    // the pictures fresh runs draw: nothing of one frame's lines leaks into the next.
    const ToolRun turning = render(hair + "--display texture --turntable 2 --image " + folder + "/turn.png");
    ASSERT_EQ(turning.status, 0) << turning.err;
    ASSERT_EQ(render(hair + "--display texture --rotate-z 180 --image " + folder + "/half.png").status, 0);
    EXPECT_TRUE(picture(folder + "/turn-001.png").rgb == picture(folder + "/half.png").rgb);
}

// Children are drawn after the pass, each pixel by the nearest of the guides, the
// shape and the children; so wherever a child shows, the picture is what the
// children over the bare shape show, and everywhere else it is the guides' picture.
TEST(TressmoorRenderChildren, LieOverTheGuidesPictureAndGuidesDropLeavesTheShapeAlone)
{
    const std::string folder = freshFolder("render-children-over");
    for (const char* display : {"smooth", "texture", "wireframe"}) {
        SCOPED_TRACE(display);
        const std::string hair = kSmallHair + "--shape sphere --display " + display + " ";
        const std::string kids = "--children 15 --child-radius 6 ";
        ASSERT_EQ(render(hair + "--image " + folder + "/guides.png").status, 0);
        ASSERT_EQ(render(hair + kids + "--image " + folder + "/both.png").status, 0);
        ASSERT_EQ(render(hair + kids + "--guides drop --image " + folder + "/children.png").status, 0);
        const ToolRun bare = render(hair + "--guides drop --image " + folder + "/shape.png");
        ASSERT_EQ(bare.status, 0);
        EXPECT_NE(bare.out.find("(445 x 455, 0 strands)"), std::string::npos) << bare.out;
        const PngPicture guides = picture(folder + "/guides.png");
        const PngPicture both = picture(folder + "/both.png");
        const PngPicture children = picture(folder + "/children.png");
        const PngPicture shape = picture(folder + "/shape.png");

        long neither = 0, childShown = 0, guideKept = 0;
        long outsideShape = 0, outsideGuides = 0, outsideChildren = 0;
        for (int y = 0; y < both.height; ++y) {
            for (int x = 0; x < both.width; ++x) {
                const bool asGuides = samePixel(both, guides, x, y);
                const bool asChildren = samePixel(both, children, x, y);
                neither += !asGuides && !asChildren ? 1 : 0;
                childShown += !asGuides ? 1 : 0;
                guideKept += asGuides && !asChildren && !samePixel(guides, shape, x, y) ? 1 : 0;
                // The sphere's outline: radius 100 of the box's 400 units, each way.
                const double across = (x + 0.5 - both.width / 2.0) / (both.width * 100.0 / 400.0);
                const double up = (y + 0.5 - both.height / 2.0) / (both.height * 100.0 / 400.0);
                if (across * across + up * up > 1.05 * 1.05) {
                    outsideShape += isDrawn(shape.at(x, y)) ? 1 : 0;
                    outsideGuides += isDrawn(guides.at(x, y)) ? 1 : 0;
                    outsideChildren += isDrawn(children.at(x, y)) ? 1 : 0;
                }
            }
        }
        EXPECT_EQ(neither, 0) << "pixels that are neither the guides' nor the children's";
        EXPECT_GT(childShown, 2000);
        EXPECT_GT(guideKept, 200) << "the guides still show between the children";
        EXPECT_EQ(outsideShape, 0) << "--guides drop draws no tube";
        EXPECT_GT(outsideGuides, 1000);
        EXPECT_GT(outsideChildren, outsideGuides) << "children grow out of the shape too";
        EXPECT_GT(countPixels(shape, isDrawn), 5000) << "the shape is drawn";
    }
}

// A hair file tressmoor-grow wrote is drawn as the growth itself is: its
// strands rebuilt, not grown again, on the shape its recipe names. Hair with
// children is its guides there, with the children they make by the file's own
// options; guides it dropped are grown again from its recipe and growth.
TEST(TressmoorRenderHairFile, OwnFileIsThePictureOfItsGrowth)
{
    const std::string folder = freshFolder("render-own-file");
    const struct {
        const char* growth;
        const char* picture;
    } cases[] = {
        {"--shape torus --style combed --hairs 10 --clusters 3 --growth 2",
         "--display texture --rotate-x 20"},
        {"--shape sphere --hairs 8 --clusters 2 --parts 12", "--display smooth --control-polygon"},
        {"--shape plane --hairs 10 --clusters 3 --length 20", "--display wireframe --children 12"},
        {"--shape sphere --hairs 10 --clusters 3",
         "--display smooth --children 30 --child-mode between --seed 9 --guides drop"},
        {"--shape sphere --hairs 6 --clusters 3 --children 8 --frizz 2", "--display texture"},
        {"--shape torus --hairs 5 --clusters 3 --children 6 --child-mode between --tip-width 0.5",
         "--display smooth --zoom 2.5"},
        {"--shape sphere --style combed --hairs 4 --clusters 3 --children 9 --child-mode between "
         "--guides drop --growth 2 --seed 4",
         "--display wireframe --rotate-x 30"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.growth);
        const std::string file = folder + "/" + std::to_string(++n) + ".hair";
        const ToolRun grown = runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + c.growth +
                                          " --out " + file,
                                      folder);
        ASSERT_EQ(grown.status, 0) << grown.err;
        const std::string fromFile = folder + "/file" + std::to_string(n) + ".png";
        const std::string fromGrowth = folder + "/growth" + std::to_string(n) + ".png";
        const ToolRun drawn = render(std::string("--hair ") + file + " " + c.picture + " --image " + fromFile);
        ASSERT_EQ(drawn.status, 0) << drawn.err;
        const bool dropped = std::string(c.growth).find("--guides drop") != std::string::npos;
        EXPECT_EQ(drawn.out.find("ttotal") == std::string::npos, !dropped) << drawn.out;
        EXPECT_EQ(drawn.err.find("note"), std::string::npos) << drawn.err;
        ASSERT_EQ(render(std::string(c.growth) + " " + c.picture + " --image " + fromGrowth).status, 0);
        const PngPicture a = picture(fromFile);
        EXPECT_GT(countPixels(a, isDrawn), 10000);
        EXPECT_TRUE(a.rgb == picture(fromGrowth).rgb);
    }
}

// Hair with children is drawn as the growth with the same child options, the
// guides rebuilt (or grown again when dropped) and the children made again;
// child options given with it replace the file's, and a damaged header is noted.
TEST(TressmoorRenderHairFile, HairWithChildrenIsDrawnAsItsGrowthWithItsChildren)
{
    const std::string folder = freshFolder("render-dense-file");
    const struct {
        const char* growth;
        const char* children;
        const char* picture;
    } cases[] = {
        {"--shape torus --hairs 6 --clusters 3 --growth 2", "--children 15 --frizz 1",
         "--display texture"},
        {"--shape sphere --style combed --hairs 5 --clusters 2",
         "--children 40 --child-mode between --guides drop --tip-width 0.3", "--display smooth"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.growth);
        const std::string file = folder + "/" + std::to_string(++n) + ".hair";
        ASSERT_EQ(runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + c.growth + " " + c.children +
                              " --out " + file,
                          folder)
                      .status,
                  0);
        const std::string fromFile = folder + "/file" + std::to_string(n) + ".png";
        const std::string fromGrowth = folder + "/growth" + std::to_string(n) + ".png";
        const ToolRun drawn = render("--hair " + file + " " + c.picture + " --image " + fromFile);
        ASSERT_EQ(drawn.status, 0) << drawn.err;
        EXPECT_EQ(drawn.err, "");
        ASSERT_EQ(render(std::string(c.growth) + " " + c.children + " " + c.picture + " --image " +
                         fromGrowth)
                      .status,
                  0);
        EXPECT_TRUE(picture(fromFile).rgb == picture(fromGrowth).rgb);

        const std::string replaced = folder + "/replaced" + std::to_string(n) + ".png";
        ASSERT_EQ(render("--hair " + file + " --children 3 " + c.picture + " --image " + replaced).status, 0);
        ASSERT_EQ(render(std::string(c.growth) + " --children 3 " + c.picture + " --image " +
                         fromGrowth)
                      .status,
                  0);
        EXPECT_TRUE(picture(replaced).rgb == picture(fromGrowth).rgb);
    }

    Bytes damaged = readBytes(folder + "/1.hair");
    const std::string info(damaged.begin() + 40, damaged.begin() + 128);
    damaged[40 + info.find("children=") + 9] = 'x';
    writeBytes(folder + "/damaged.hair", damaged);
    const ToolRun noted = render("--hair " + folder + "/damaged.hair --image " + folder + "/d.png");
    EXPECT_EQ(noted.status, 0);
    EXPECT_NE(noted.err.find("is Tressmoor's hair with children, but its information text of hair "
                             "with children is damaged"),
              std::string::npos)
        << noted.err;
    EXPECT_GT(countPixels(picture(folder + "/d.png"), isDrawn), 1000);
}

// Another program's strands, wherever they lie and whatever their scale, fill
// the picture but a margin at any angle.
TEST(TressmoorRenderHairFile, ForeignStrandsAreFramedInsideThePicture)
{
    const std::string folder = freshFolder("render-foreign");
    const struct {
        const char* name;
        HandMadeHairFile file;
        const char* options;
    } cases[] = {
        {"small-far", foreignTuft(5000.0f, -3000.0f, 12000.0f, 2.0f), ""},
        {"huge", foreignTuft(0.0f, 1.0e6f, 0.0f, 3.0e6f), "--rotate-x 70 --rotate-z 40 --display smooth"},
        {"turning", foreignTuft(-40.0f, 0.0f, 20.0f, 50.0f), "--turntable 3 --size 300x200"},
        {"children", foreignTuft(10.0f, 10.0f, 10.0f, 30.0f),
         "--children 25 --child-radius 4 --frizz 2 --rotate-x -50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = folder + "/" + c.name + ".hair";
        writeBytes(file, c.file.bytes());
        const std::string image = folder + "/" + c.name + ".png";
        const ToolRun run = render("--hair " + file + " " + c.options + " --image " + image);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        std::vector<std::string> frames = {image};
        if (std::string(c.options).find("--turntable") != std::string::npos) {
            frames = {folder + "/turning-000.png", folder + "/turning-001.png",
                      folder + "/turning-002.png"};
        }
        // Every frame inside; the frame that sets a turntable's zoom fills its picture.
        double widest = 0.0;
        for (const std::string& path : frames) {
            const PngPicture shown = picture(path);
            const DrawnBox box = drawnBox(shown);
            EXPECT_GT(countPixels(shown, isDrawn), shown.width * shown.height / 100) << path;
            EXPECT_GT(box.left, 0) << path;
            EXPECT_GT(box.bottom, 0) << path;
            EXPECT_LT(box.right, shown.width - 1) << path;
            EXPECT_LT(box.top, shown.height - 1) << path;
            widest = std::max({widest, double(box.right - box.left) / shown.width,
                               double(box.top - box.bottom) / shown.height});
        }
        EXPECT_GT(widest, 0.75);
    }

    // --zoom and --translate act on the fitted picture: half the size, moved right.
    const std::string file = folder + "/huge.hair";
    ASSERT_EQ(render("--hair " + file + " --zoom 0.5 --translate 100,0 --image " + folder + "/half.png").status, 0);
    const PngPicture half = picture(folder + "/half.png");
    const DrawnBox box = drawnBox(half);
    EXPECT_GT(box.left, half.width * 45 / 100);
    EXPECT_LT(box.right - box.left, half.width / 2);
}

TEST(TressmoorRenderHairFile, BadFilesAndOptionsAreRefusedWithOneLineAndNoPicture)
{
    const std::string folder = freshFolder("render-bad-files");
    const Bytes own = tressmoorFile(1, 2, 8).bytes();
    writeBytes(folder + "/own.hair", own);
    writeBytes(folder + "/short.hair", Bytes(own.begin(), own.begin() + 140));
    writeBytes(folder + "/text.hair", Bytes(300, 'x'));
    writeBytes(folder + "/foreign.hair", foreignTuft(0.0f, 0.0f, 0.0f, 10.0f).bytes());
    const Bytes old = {'o', 'l', 'd'};
    writeBytes(folder + "/kept.png", old);

    const struct {
        std::string arguments;
        int status;
        std::string message;
    } cases[] = {
        {"--hair " + folder + "/missing.hair", 1, "cannot draw \"" + folder + "/missing.hair\": "},
        {"--hair " + folder + "/short.hair", 1, "cannot draw \"" + folder + "/short.hair\": "},
        {"--hair " + folder + "/text.hair", 1, "cannot draw \"" + folder + "/text.hair\": "},
        {"--hair " + folder, 1, "cannot draw \"" + folder + "\": "},
        {"--hair " + folder + "/foreign.hair --children 4 --child-mode between", 1,
         "cannot draw \"" + folder + "/foreign.hair\": children between guides need the shape"},
        {"--hair " + folder + "/own.hair --shape sphere", 2, "--shape does not go with --hair"},
        {"--hairs 3 --hair " + folder + "/own.hair", 2, "--hairs does not go with --hair"},
        {"--hair=", 2, "--hair needs a file name"},
        {"--children -1", 2, "--children must be a whole number"},
        {"--children 1e3", 2, "--children must be a whole number"},
        {"--child-radius nan", 2, "--child-radius must be a number from 0 to 1000"},
        {"--clump 1.5", 2, "--clump must be a number from 0 to 1"},
        {"--frizz inf", 2, "--frizz must be a number"},
        {"--child-mode clumps", 2, "--child-mode must be around or between"},
        {"--guides some", 2, "--guides must be keep or drop"},
        {"--units MM", 2, "--units must be mm, cm, m or in"},
        {"--parts 16 --children 2000000", 1, "points for one guide, the most drawn at once"},
    };
    for (const auto& c : cases) {
        const ToolRun run = render(c.arguments + " --image " + folder + "/kept.png");
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(lineCount(run.err), 1u) << c.arguments << ": " << run.err;
        EXPECT_EQ(readBytes(folder + "/kept.png"), old) << c.arguments;
    }

    // A recipe that does not fit its strands is noted, and they are drawn as another program's.
    HandMadeHairFile misfit = foreignTuft(0.0f, 0.0f, 0.0f, 10.0f);
    misfit.info = "tressmoor-hair 1 sphere messy length=10 restAngle=1 hairs=2 clusters=1 parts=8";
    writeBytes(folder + "/misfit.hair", misfit.bytes());
    const ToolRun noted = render("--hair " + folder + "/misfit.hair --image " + folder + "/misfit.png");
    EXPECT_EQ(noted.status, 0);
    EXPECT_NE(noted.err.find("note: \"" + folder + "/misfit.hair\" has a Tressmoor recipe that does not fit it"),
              std::string::npos)
        << noted.err;
    EXPECT_EQ(lineCount(noted.err), 1u);
    EXPECT_GT(countPixels(picture(folder + "/misfit.png"), isDrawn), 1000);
}

// Children are drawn a batch at a time, so eight times as many cost no more
// memory; kept whole, the extra children's points and normals would take 67 MB.
TEST(TressmoorRenderChildren, MemoryStaysFlatAsChildrenGrow)
{
    const std::string folder = freshFolder("render-children-memory");
    const std::string hair = "--shape sphere --clusters 5 --hairs 20 --parts 16 --image " + folder;
    const long few = peakResidentKiB(hair + "/few.png --children 50");
    const long many = peakResidentKiB(hair + "/many.png --children 400");
    ASSERT_GT(few, 0);
    ASSERT_GT(many, 0);
    const long extraChildData = 500L * 350 * 16 * 24 / 1024;
    RecordProperty("fewKiB", static_cast<int>(few));
    RecordProperty("manyKiB", static_cast<int>(many));
    EXPECT_LT(many - few, extraChildData / 8) << few << " KiB with 50 children, " << many << " with 400";
}
