// Hair with children that tressmoor-grow wrote, loaded, drawn and saved by the
// real window: its frames against tressmoor-render's pictures of the same file,
// and its saves against tressmoor-grow's files, byte for byte.
#include <malloc.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "PngReading.h"
#include "RenderSupport.h"
#include "WindowDriving.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "formats/DenseHairInfo.h"
#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "hair/HairStore.h"
#include "view/DenseHairLines.h"
#include "view/HairView.h"

namespace {

// As in the rendered-against-window tests: the two agree to the byte but where
// two surfaces meet at one depth, which rounding settles differently in Xvfb's
// 32-bit depth buffer and OSMesa's 24-bit one.
constexpr long kCrossingPixels = 8;

std::vector<std::string> messages;

void captureMessage(HairFileMessage, const std::string& text)
{
    messages.push_back(text);
}

HairView* freshWindow()
{
    HairView* view = shownView();
    resetScene(view);
    showHairFileMessage = captureMessage;
    messages.clear();
    return view;
}

int grow(const std::string& options, const std::string& out)
{
    return run(std::string(TRESSMOOR_GROW_BINARY) + " " + options + " --out '" + out + "'");
}

// The information text of a HAIR file's bytes.
std::string infoOf(const Bytes& bytes)
{
    const std::string info(bytes.begin() + 40, bytes.begin() + 128);
    return info.substr(0, info.find('\0'));
}

struct Kind {
    const char* name;
    std::string growth;  // tressmoor-grow's options
    DisplayMode displayMode;
    const char* display;
    ViewState view;
    std::string viewOptions;  // the same view for tressmoor-render
};

const Kind kKinds[] = {
    {"around_sphere_smooth", "--shape sphere --hairs 4 --clusters 3 --children 20 --frizz 1",
     DisplayMode::Smooth, "smooth", {}, ""},
    {"between_torus_texture",
     "--shape torus --style combed --hairs 5 --clusters 2 --children 30 --child-mode between "
     "--growth 2",
     DisplayMode::Texture, "texture", {}, ""},
    {"widths_plane_wireframe",
     "--shape plane --hairs 6 --clusters 2 --length 20 --children 10 --root-width 3 "
     "--tip-width 0.5 --clump 0.8",
     DisplayMode::Wireframe, "wireframe", {}, ""},
    {"dropped_guides_sphere_turned",
     "--shape sphere --style combed --hairs 3 --clusters 2 --children 15 --guides drop "
     "--growth 3 --seed 7",
     DisplayMode::Smooth, "smooth", {1.3f, 25.0f, -40.0f, 30.0f, -20.0f},
     "--rotate-x 25 --rotate-z -40 --translate 30,-20 --zoom 1.3"},
    {"between_dropped_widths_torus",
     "--shape torus --hairs 8 --clusters 3 --parts 12 --children 12 --child-mode between "
     "--guides drop --tip-width 0.2",
     DisplayMode::Texture, "texture", {0.8f, -60.0f, 75.0f, -15.0f, 25.0f},
     "--rotate-x -60 --rotate-z 75 --translate=-15,25 --zoom 0.8"},
};

class DenseHairInWindow : public testing::TestWithParam<Kind> {};

std::string kindName(const testing::TestParamInfo<Kind>& info)
{
    return info.param.name;
}

// Failure messages show the kind by its name, not as the bytes of the record.
void PrintTo(const Kind& kind, std::ostream* out)
{
    *out << kind.name;
}

}  // namespace

TEST_P(DenseHairInWindow, LoadsDrawsAsTheRendererAndSavesWhatTheToolWrote)
{
    const Kind& kind = GetParam();
    const std::string folder = freshFolder(std::string("dense-window-") + kind.name);
    const std::string file = folder + "/grown.hair";
    ASSERT_EQ(grow(kind.growth, file), 0) << kind.growth;
    const Bytes grown = readBytes(file);
    DenseHairInfo info;
    bool hasTag = false;
    std::string problem;
    ASSERT_TRUE(parseDenseHairInfo(infoOf(grown), info, hasTag, problem)) << problem;

    HairView* view = freshWindow();
    HairSettings& s = settings();
    s.displayMode = kind.displayMode;
    view->zoomFactor = kind.view.zoomFactor;
    view->rotationX = kind.view.rotationX;
    view->rotationZ = kind.view.rotationZ;
    view->translationX = kind.view.translationX;
    view->translationY = kind.view.translationY;
    ASSERT_TRUE(loadHairFile(s, file));
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(s.shape, info.recipe.shape);
    EXPECT_EQ(s.style, info.recipe.style);
    EXPECT_EQ(theAppWindow->hairsSlider->value(), info.recipe.hairs);
    EXPECT_EQ(theAppWindow->partsSlider->value(), info.recipe.parts);
    EXPECT_EQ(view->guideTubes, info.request.output.keepGuides);
    ASSERT_NE(view->childLines, nullptr);
    EXPECT_EQ(view->childLines->lineStrandCount(),
              uint64_t(strandTotal(info.recipe)) * info.request.generation.children);

    const std::string picturePath = folder + "/render.png";
    ASSERT_EQ(run(std::string("env -u DISPLAY ") + TRESSMOOR_RENDER_BINARY + " --hair '" + file +
                  "' --display " + kind.display + " " + kind.viewOptions + " --image '" +
                  picturePath + "'"),
              0);
    PngPicture picture;
    ASSERT_TRUE(readPng(picturePath, picture, problem)) << problem;
    const Frame frame = renderFrame(view);
    ASSERT_EQ(picture.width, frame.width);
    ASSERT_EQ(picture.height, frame.height);
    const long differing = differingPixels(frame, picture);
    std::cout << kind.name << ": " << differing << " pixels differ\n";
    EXPECT_LE(differing, kCrossingPixels);
    if (differing > kCrossingPixels) {
        writePng(folder + "/window.png", frame);
    }

    // Without the children the frame would be another: they are drawn.
    DenseHairLines* lines = view->childLines;
    view->childLines = nullptr;
    EXPECT_GT(differingPixels(renderFrame(view), picture), 50);
    view->childLines = lines;

    for (const char* extension : {".hair", ".obj", ".usda"}) {
        const std::string toolPath = folder + "/tool" + extension;
        const std::string windowPath = folder + "/window" + extension;
        ASSERT_EQ(grow(kind.growth, toolPath), 0);
        ASSERT_TRUE(saveHairFile(s, windowPath)) << (messages.empty() ? "" : messages.back());
        EXPECT_TRUE(readBytes(toolPath) == readBytes(windowPath)) << extension;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DenseHairInWindow, testing::ValuesIn(kKinds), kindName);

// "Render Hair" after dropped guides were grown again goes on with the fresh
// run's sequence, so the next growth is tressmoor-grow's next, children and all.
TEST(DenseHairGrowth, RenderHairGrowsTheNextGuidesWithTheFilesChildren)
{
    const std::string folder = freshFolder("dense-window-growth");
    const std::string options =
        "--shape torus --hairs 6 --clusters 2 --children 8 --child-mode between --guides drop "
        "--clump 0.3";
    ASSERT_EQ(grow(options + " --growth 2", folder + "/second.hair"), 0);
    freshWindow();
    HairSettings& s = settings();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(loadHairFile(s, folder + "/second.hair"));
    testing::internal::GetCapturedStdout();
    for (int growth = 3; growth <= 4; ++growth) {
        pressRenderHair();
        const std::string tool = folder + "/tool-" + std::to_string(growth) + ".hair";
        const std::string window = folder + "/window-" + std::to_string(growth) + ".hair";
        ASSERT_EQ(grow(options + " --growth " + std::to_string(growth), tool), 0);
        ASSERT_TRUE(saveHairFile(s, window));
        EXPECT_TRUE(readBytes(tool) == readBytes(window)) << "growth " << growth;
    }
}

// Sliders, shapes and styles grow new guides; every growth brings the file's children.
TEST(DenseHairGrowth, SlidersShapesAndStylesKeepTheHairDense)
{
    const std::string folder = freshFolder("dense-window-sliders");
    ASSERT_EQ(grow("--shape sphere --hairs 3 --clusters 2 --children 25 --frizz 2 --seed 9",
                   folder + "/dense.hair"),
              0);
    freshWindow();
    HairSettings& s = settings();
    ASSERT_TRUE(loadHairFile(s, folder + "/dense.hair"));
    const std::string request = infoOf(readBytes(folder + "/dense.hair")).substr(0, 17);

    AppWindow& a = *theAppWindow;
    a.hairsSlider->value(7);
    a.hairsSlider->do_callback();
    a.clustersSlider->value(3);
    a.clustersSlider->do_callback();
    const struct {
        const char* action;
        UnderlyingShape shape;
    } actions[] = {{"Render Hair", UnderlyingShape::Sphere},
                   {"Torus", UnderlyingShape::Torus},
                   {"Combed", UnderlyingShape::Torus},
                   {"Plane", UnderlyingShape::Plane}};
    for (const auto& step : actions) {
        if (strcmp(step.action, "Render Hair") == 0) {
            pressRenderHair();
        } else {
            pick(step.action);
        }
        EXPECT_EQ(s.shape, step.shape) << step.action;
        ASSERT_NE(a.view->childLines, nullptr) << step.action;
        EXPECT_EQ(a.view->childLines->lineStrandCount(), uint64_t(7 * 3 * 3 * 25)) << step.action;
        const std::string path = folder + "/after-" + step.action + ".hair";
        ASSERT_TRUE(saveHairFile(s, path)) << step.action;
        const Bytes saved = readBytes(path);
        DenseHairInfo info;
        bool hasTag = false;
        std::string problem;
        ASSERT_TRUE(parseDenseHairInfo(infoOf(saved), info, hasTag, problem)) << problem;
        EXPECT_EQ(info.request.generation.children, 25u);
        EXPECT_EQ(info.request.generation.seed, 9u);
        EXPECT_EQ(info.request.generation.frizz, 2.0f);
        EXPECT_EQ(info.recipe.hairs, 7);
        EXPECT_EQ(info.recipe.shape, step.shape);
        EXPECT_EQ(info.growth, s.growth);
        HairStrands strands;
        ASSERT_TRUE(decodeHairStrands(saved.data(), saved.size(), 1e9f, strands, problem)) << problem;
        EXPECT_EQ(strands.header.strandCount, uint32_t(7 * 3 * 3 * 26)) << step.action;
    }

    // A plain file brings the window back to hair without children.
    ASSERT_EQ(grow("--shape sphere --hairs 2", folder + "/plain.hair"), 0);
    ASSERT_TRUE(loadHairFile(s, folder + "/plain.hair"));
    EXPECT_EQ(a.view->childLines, nullptr);
    EXPECT_TRUE(a.view->guideTubes);
    ASSERT_TRUE(saveHairFile(s, folder + "/plain-again.hair"));
    EXPECT_TRUE(readBytes(folder + "/plain.hair") == readBytes(folder + "/plain-again.hair"));
}

// A file far larger than any hair the window grows loads, where it was refused.
TEST(DenseHairFiles, LargerThanAnyGrownHairLoads)
{
    const std::string folder = freshFolder("dense-window-large");
    const std::string file = folder + "/large.hair";
    ASSERT_EQ(grow("--shape sphere --hairs 50 --clusters 10 --parts 8 --children 12", file), 0);
    ASSERT_GT(readBytes(file).size(), kMaxHairFileSize);
    freshWindow();
    ASSERT_TRUE(loadHairFile(settings(), file)) << messages[0];
    ASSERT_NE(theAppWindow->view->childLines, nullptr);
    EXPECT_EQ(theAppWindow->view->childLines->lineStrandCount(), 5000u * 12u);
}

// Refusals say what is wrong with Tressmoor's own file, and never call it
// another program's; another program's keeps its message naming the converter.
TEST(DenseHairFiles, RefusalsNameTheRealReasonAndChangeNothing)
{
    const std::string folder = freshFolder("dense-window-refused");
    const std::string kept = folder + "/kept.hair";
    const std::string dropped = folder + "/dropped.hair";
    ASSERT_EQ(grow("--shape sphere --hairs 4 --clusters 2 --children 6", kept), 0);
    ASSERT_EQ(grow("--shape torus --hairs 4 --clusters 2 --children 6 --guides drop --growth 2",
                   dropped),
              0);
    struct Refused {
        std::string name;
        Bytes bytes;
        const char* reason;
    };
    std::vector<Refused> files;
    for (const std::string& source : {kept, dropped}) {
        const Bytes good = readBytes(source);
        const std::string info = infoOf(good);
        const std::string which = source == kept ? "kept" : "dropped";
        Bytes newer = good;
        newer[40 + info.find(" 1 ") + 1] = '7';
        files.push_back({which + "-newer.hair", newer, "from a newer Tressmoor (version 7"});
        Bytes damaged = good;
        damaged[40 + info.find("children=") + 9] = 'x';
        files.push_back({which + "-damaged.hair", damaged, "information text of hair with children is damaged"});
        Bytes changed = good;
        changed[changed.size() - 5] ^= 0x40;
        files.push_back({which + "-changed.hair", changed,
                         "it is Tressmoor's hair with children, but it does not hold what its "
                         "recipe, growth and child options make"});
    }
    Bytes foreign = readBytes(kept);
    std::fill(foreign.begin() + 40, foreign.begin() + 128, 0);
    files.push_back({"foreign.hair", foreign, "without a Tressmoor recipe"});

    freshWindow();
    HairSettings& s = settings();
    pick("Sphere");
    ASSERT_EQ(grow("--shape plane --hairs 3 --children 4", folder + "/shown.hair"), 0);
    ASSERT_TRUE(loadHairFile(s, folder + "/shown.hair"));
    const std::vector<Bytes> strands = currentStrands(hairStore);
    const UnderlyingShape shape = s.shape;
    const DenseHairLines* lines = theAppWindow->view->childLines;
    for (const Refused& file : files) {
        const std::string path = folder + "/" + file.name;
        writeBytes(path, file.bytes);
        messages.clear();
        testing::internal::CaptureStdout();
        EXPECT_FALSE(loadHairFile(s, path)) << file.name;
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(messages.size(), 1u) << file.name;
        EXPECT_EQ(messages[0].find("Cannot load \"" + path + "\": "), 0u) << messages[0];
        EXPECT_NE(messages[0].find(file.reason), std::string::npos) << messages[0];
        const bool ours = file.name != "foreign.hair";
        EXPECT_EQ(messages[0].find("tressmoor-convert") == std::string::npos, ours) << messages[0];
        EXPECT_EQ(messages[0].find("another program") == std::string::npos, true) << messages[0];
        EXPECT_EQ(s.shape, shape) << file.name;
        EXPECT_EQ(firstDifference(strands, currentStrands(hairStore)), "") << file.name;
        EXPECT_EQ(theAppWindow->view->childLines, lines) << file.name;
    }
}

namespace {

// Pixels of the texture's warm colours, which the hair's blue material never lights.
long warmPixels(const Frame& frame)
{
    long warm = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const Rgb p = frame.at(x, y);
            warm += p.r > p.b + 40;
        }
    }
    return warm;
}

}  // namespace

// In Texture mode children fade along their length as their guides' tubes do.
TEST(DenseHairTexture, ChildrenTakeTheHairTexturesColoursAlongTheirLength)
{
    const std::string folder = freshFolder("dense-window-texture");
    const std::string file = folder + "/children.hair";
    ASSERT_EQ(grow("--shape plane --hairs 5 --clusters 3 --length 30 --children 40 --guides drop",
                   file),
              0);
    HairView* view = freshWindow();
    ASSERT_TRUE(loadHairFile(settings(), file));
    settings().displayMode = DisplayMode::Smooth;
    const long smooth = warmPixels(renderFrame(view));
    settings().displayMode = DisplayMode::Texture;
    const long textured = warmPixels(renderFrame(view));
    std::cout << "warm pixels: " << smooth << " in Smooth, " << textured << " in Texture\n";
    EXPECT_EQ(smooth, 0);
    EXPECT_GT(textured, 200);
}

// The children are made again at every redraw, never kept: after the load the
// window holds what the same hair without children takes, however large the
// file. (What the GL driver keeps of a redraw's lines is its own.)
TEST(DenseHairFiles, TheWindowKeepsOnlyTheGuides)
{
    const std::string folder = freshFolder("dense-window-memory");
    const std::string recipe = "--shape sphere --hairs 2 --clusters 2 --parts 16";
    ASSERT_EQ(grow(recipe, folder + "/plain.hair"), 0);
    ASSERT_EQ(grow(recipe + " --children 20000", folder + "/dense.hair"), 0);
    const double fileBytes = static_cast<double>(readBytes(folder + "/dense.hair").size());
    freshWindow();
    ASSERT_TRUE(loadHairFile(settings(), folder + "/plain.hair"));
    const double plain = static_cast<double>(mallinfo2().uordblks);
    ASSERT_TRUE(loadHairFile(settings(), folder + "/dense.hair"));
    const double dense = static_cast<double>(mallinfo2().uordblks);
    std::cout << "held beyond the plain hair: " << (dense - plain) / 1e6 << " MB for a "
              << fileBytes / 1e6 << " MB file\n";
    EXPECT_LT(dense - plain, fileBytes / 20);
    ASSERT_NE(theAppWindow->view->childLines, nullptr);
    EXPECT_EQ(theAppWindow->view->childLines->lineStrandCount(), 8u * 20000u);
}
