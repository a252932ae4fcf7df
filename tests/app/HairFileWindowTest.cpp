// "Save Hair Data" and "Load Hair Data" in the real window, with the dialogs'
// messages captured instead of shown.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "WindowDriving.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "formats/HairFile.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

namespace {

struct Message {
    HairFileMessage kind;
    std::string text;
};

std::vector<Message> messages;

void captureMessage(HairFileMessage kind, const std::string& text)
{
    messages.push_back({kind, text});
}

// The view asks for a redraw only when shown.
AppWindow& shownApp()
{
    if (theAppWindow == nullptr) {
        theAppWindow = new AppWindow;
    }
    showHairFileMessage = captureMessage;
    messages.clear();
    AppWindow& a = *theAppWindow;
    if (!a.mainWindow->shown()) {
        a.show();
        Fl::check();
    }
    a.view->clear_damage();
    return a;
}

// The settings and what the sliders show, as one comparable line.
std::string windowState()
{
    const AppWindow& a = *theAppWindow;
    const HairSettings& s = *a.settings;
    std::ostringstream out;
    out << "shape " << s.shape << " style " << s.style << " length " << s.length << "/"
        << a.lengthSlider->value() << " restAngle " << s.restAngle << "/" << a.restAngleSlider->value()
        << " hairs " << s.hairs << "/" << a.hairsSlider->value() << " clusters " << s.clusters << "/"
        << a.clustersSlider->value() << " parts " << s.parts << "/" << a.partsSlider->value();
    return out.str();
}

Bytes surfaceNet()
{
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(underlyingSurface.controlNet);
    return raw == nullptr ? Bytes() : Bytes(raw, raw + sizeof(ControlPoint) * 81);
}

}  // namespace

TEST(SaveHairData, BeforeAnyHairSaysThereIsNothingToSaveAndWritesNothing)
{
    AppWindow& a = shownApp();
    hairStore.hairGrown = false;  // as at start, before any shape is picked
    EXPECT_EQ(pick("Save Hair Data"), "");
    ASSERT_EQ(messages.size(), 1u) << "the message comes before any file chooser";
    EXPECT_EQ(messages[0].kind, HairFileMessage::Information);
    EXPECT_EQ(messages[0].text, kNothingToSaveMessage);

    const std::string path = freshFolder("window-nothing") + "/hair.hair";
    EXPECT_FALSE(saveHairFile(*a.settings, path));
    EXPECT_FALSE(fileExists(path));
}

TEST(LoadHairData, RestoresSettingsSlidersSurfaceAndStrandsWithoutGrowing)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-round-trip");
    const struct {
        const char* shape;
        const char* style;
        Sliders sliders;
    } cases[] = {{"Sphere", "Combed", {12, 30, 4, 3, 12}},
                 {"Torus", "Messy", {40, 90, 50, 1, 16}},
                 {"Plane", "Combed", {1, 0, 7, 10, 8}}};
    for (const auto& c : cases) {
        moveSliders(c.sliders);
        pick(c.style);
        pick(c.shape);
        const std::string saved = windowState();
        const std::vector<Bytes> strands = currentStrands(hairStore);
        const Bytes surface = surfaceNet();
        const std::string path = folder + "/" + c.shape + ".hair";
        ASSERT_TRUE(saveHairFile(*a.settings, path)) << c.shape;

        moveSliders({5, 5, 2, 2, 14});
        pick(strcmp(c.shape, "Torus") == 0 ? "Sphere" : "Torus");
        pick(strcmp(c.style, "Messy") == 0 ? "Combed" : "Messy");
        a.view->clear_damage();
        srand(99);
        const int next = rand();
        srand(99);

        testing::internal::CaptureStdout();
        ASSERT_TRUE(loadHairFile(*a.settings, path)) << c.shape;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "loading grows and echoes nothing";
        EXPECT_EQ(rand(), next) << "loading draws no random numbers";
        EXPECT_EQ(windowState(), saved);
        EXPECT_EQ(firstDifference(strands, currentStrands(hairStore)), "") << c.shape;
        if (strcmp(c.shape, "Plane") != 0) {
            EXPECT_EQ(surfaceNet(), surface) << c.shape << " surface set up again";
        }
        EXPECT_NE(a.view->damage(), 0) << "the view redraws";
        EXPECT_TRUE(messages.empty()) << messages[0].text;
    }
}

namespace {

// The shape and style items the menu bar shows as chosen.
std::string markedShapeAndStyle()
{
    std::string marked;
    for (const char* path : {"Under Lying Shape/Plane", "Under Lying Shape/Sphere",
                             "Under Lying Shape/Torus", "Style/Messy", "Style/Combed"}) {
        const Fl_Menu_Item* item = theAppWindow->menuBar->find_item(path);
        if (item == nullptr) {
            return std::string("no item ") + path;
        }
        if (item->value() != 0) {
            marked += (marked.empty() ? "" : ", ") + std::string(item->label());
        }
    }
    return marked;
}

}  // namespace

TEST(LoadHairData, MarksTheLoadedShapeAndStyleInTheMenus)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-menu-marks");
    pick("Messy");
    pick("Torus");
    ASSERT_TRUE(saveHairFile(*a.settings, folder + "/torus.hair"));
    pick("Combed");
    pick("Sphere");
    ASSERT_EQ(markedShapeAndStyle(), "Sphere, Combed");

    ASSERT_TRUE(loadHairFile(*a.settings, folder + "/torus.hair"));
    EXPECT_EQ(markedShapeAndStyle(), "Torus, Messy");
    EXPECT_FALSE(loadHairFile(*a.settings, folder + "/missing.hair"));
    EXPECT_EQ(markedShapeAndStyle(), "Torus, Messy") << "a failed load leaves the marks";
}

TEST(LoadHairData, AnyProblemIsShownAndChangesNothing)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-bad-files");
    moveSliders({9, 4, 3, 2, 10});
    pick("Messy");
    pick("Sphere");
    const std::string path = folder + "/good.hair";
    ASSERT_TRUE(saveHairFile(*a.settings, path));
    const Bytes good = readBytes(path);

    struct BadFile {
        const char* name;
        Bytes bytes;
        const char* reason;
    };
    std::vector<BadFile> files = {
        {"truncated.hair", Bytes(good.begin(), good.begin() + 100), "too short for the 128-byte HAIR header"},
        {"nan.hair", good, "not a finite number"},
        {"foreign.hair", good, "without a Tressmoor recipe"},
        {"range.hair", good, "hairs 51 is outside the slider's range, from 1 to 50"},
    };
    const float nan = std::nanf("");
    memcpy(&files[1].bytes[128 + 4], &nan, 4);
    std::fill(files[2].bytes.begin() + 40, files[2].bytes.begin() + 128, 0);
    const std::string info(good.begin() + 40, good.begin() + 128);
    files[3].bytes[40 + info.find("hairs=3") + 6] = '5';
    files[3].bytes.insert(files[3].bytes.begin() + 40 + info.find("hairs=3") + 7, '1');
    files[3].bytes.erase(files[3].bytes.begin() + 127);

    const std::string before = windowState();
    const std::vector<Bytes> strands = currentStrands(hairStore);
    const ControlPoint* net = underlyingSurface.controlNet;
    for (BadFile& file : files) {
        writeBytes(folder + "/" + file.name, file.bytes);
    }
    files.push_back({"missing.hair", {}, "No such file or directory"});
    for (const BadFile& file : files) {
        const std::string filePath = folder + "/" + file.name;
        messages.clear();
        a.view->clear_damage();
        srand(5);
        const int next = rand();
        srand(5);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(loadHairFile(*a.settings, filePath)) << file.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        ASSERT_EQ(messages.size(), 1u) << file.name;
        EXPECT_EQ(messages[0].kind, HairFileMessage::Problem);
        EXPECT_EQ(messages[0].text.find("Cannot load \"" + filePath + "\": "), 0u) << messages[0].text;
        EXPECT_NE(messages[0].text.find(file.reason), std::string::npos) << messages[0].text;
        EXPECT_EQ(windowState(), before) << file.name;
        EXPECT_EQ(firstDifference(strands, currentStrands(hairStore)), "") << file.name;
        EXPECT_EQ(underlyingSurface.controlNet, net) << file.name;
        EXPECT_EQ(a.view->damage(), 0) << file.name;
        EXPECT_EQ(rand(), next) << file.name;
    }
}

TEST(SaveHairData, AFailureNamesTheFileAndTheReason)
{
    AppWindow& a = shownApp();
    pick("Plane");
    const std::string path = freshFolder("window-save-failure") + "/missing/hair.obj";
    EXPECT_FALSE(saveHairFile(*a.settings, path));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, HairFileMessage::Problem);
    EXPECT_EQ(messages[0].text, "Cannot save \"" + path +
                                    "\": cannot create a file in its folder: No such file or directory.");
}

// glibc's rand() starts as if seeded with 1, so srand(1) gives this process a
// fresh run's sequence, which is what the tool starts from.
TEST(TressmoorGrow, WritesWhatTheWindowSavesAfterTheSameGrowth)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-and-tool");
    const struct {
        const char* shape;
        const char* style;
        Sliders sliders;
        int growth;
        const char* extension;
    } cases[] = {{"Sphere", "Combed", {10, 1, 1, 1, 10}, 1, ".hair"},
                 {"Torus", "Messy", {25, 60, 8, 3, 14}, 3, ".obj"},
                 {"Plane", "Combed", {3, 45, 20, 2, 16}, 2, ".hair"}};
    for (const auto& c : cases) {
        moveSliders(c.sliders);
        pick(c.style);
        srand(1);
        pick(c.shape);
        for (int g = 2; g <= c.growth; ++g) {
            testing::internal::CaptureStdout();
            a.renderButton->do_callback();
            testing::internal::GetCapturedStdout();
        }
        const std::string windowPath = folder + "/window-" + c.shape + c.extension;
        ASSERT_TRUE(saveHairFile(*a.settings, windowPath));

        std::string shape = c.shape, style = c.style;
        shape[0] = static_cast<char>(tolower(shape[0]));
        style[0] = static_cast<char>(tolower(style[0]));
        const std::string toolPath = folder + "/tool-" + shape + c.extension;
        std::ostringstream command;
        command << TRESSMOOR_GROW_BINARY << " --shape " << shape << " --style " << style
                << " --length " << c.sliders.length << " --rest-angle " << c.sliders.restAngle
                << " --hairs " << c.sliders.hairs << " --clusters " << c.sliders.clusters
                << " --parts " << c.sliders.parts << " --growth " << c.growth << " --out '"
                << toolPath << "' > /dev/null 2>&1";
        ASSERT_EQ(system(command.str().c_str()), 0) << command.str();
        const Bytes tool = readBytes(toolPath);
        EXPECT_FALSE(tool.empty());
        EXPECT_TRUE(tool == readBytes(windowPath)) << command.str();
    }
}

TEST(SaveHairData, TheLongestNameTheFolderTakesSavesAndLoads)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-long-name");
    pick("Sphere");
    const std::string saved = windowState();
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::string path = folder + "/" + std::string(static_cast<size_t>(longest) - 5, 'n') + ".hair";
    ASSERT_TRUE(saveHairFile(*a.settings, path)) << messages[0].text;
    pick("Torus");
    ASSERT_TRUE(loadHairFile(*a.settings, path));
    EXPECT_EQ(windowState(), saved);
    EXPECT_EQ(folderEntries(folder).size(), 1u);
}

namespace {

// What the alert showed while it was up, as seen from inside its modal loop.
struct AlertSeen {
    bool shown = false;
    int screen[4] = {};
    int window[4] = {};
    int button[4] = {};
    std::string text;
};

void inspectAndCloseAlert(void* data)
{
    AlertSeen& seen = *static_cast<AlertSeen*>(data);
    Fl_Window* alert = Fl::modal();
    if (alert == nullptr) {
        Fl::repeat_timeout(0.05, inspectAndCloseAlert, data);
        return;
    }
    seen.shown = true;
    Fl::screen_xywh(seen.screen[0], seen.screen[1], seen.screen[2], seen.screen[3],
                    alert->x() + alert->w() / 2, alert->y() + alert->h() / 2);
    const int window[4] = {alert->x(), alert->y(), alert->w(), alert->h()};
    std::copy(window, window + 4, seen.window);
    Fl_Widget* close = nullptr;
    for (int i = 0; i < alert->children(); ++i) {
        Fl_Widget* child = alert->child(i);
        const std::string label = child->label() != nullptr ? child->label() : "";
        if (child->visible() && label == "Close") {
            close = child;
            const int button[4] = {alert->x() + child->x(), alert->y() + child->y(), child->w(), child->h()};
            std::copy(button, button + 4, seen.button);
        } else if (label.find("Cannot") != std::string::npos) {
            seen.text = label;
        }
    }
    if (close != nullptr) {
        close->do_callback();
    } else {
        alert->hide();
    }
}

// Whether the rectangle x, y, w, h lies inside the screen rectangle.
bool onScreen(const int rectangle[4], const int screen[4])
{
    return rectangle[0] >= screen[0] && rectangle[1] >= screen[1] &&
           rectangle[0] + rectangle[2] <= screen[0] + screen[2] &&
           rectangle[1] + rectangle[3] <= screen[1] + screen[3];
}

// Wrapping turns a space into a line break and breaks long words, so texts are
// compared without either.
std::string withoutBlanks(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }),
               text.end());
    return text;
}

// A label as FLTK draws it: "@@" shows as one '@', while a single '@' would
// start a symbol name and hide the rest of the text, so it counts as a cut.
std::string asDrawn(const std::string& label)
{
    std::string drawn;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '@') {
            if (i + 1 == label.size() || label[i + 1] != '@') {
                return drawn + "<cut>";
            }
            ++i;
        }
        drawn += label[i];
    }
    return drawn;
}

}  // namespace

TEST(HairFileDialog, LongPathsAndControlCharactersStillFitTheScreen)
{
    AppWindow& a = shownApp();
    showHairFileMessage = showHairFileMessageInDialog;
    const std::string folder = freshFolder("window-dialog") + "/" + std::string(200, 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    // A recipe that ends in a newline, in a file with a long name.
    const std::string file = folder + "/" + std::string(120, 'n') + "@" + std::string(120, 'n') + ".hair";
    HandMadeHairFile recipeWithNewline = tressmoorFile(1, 1, 10);
    recipeWithNewline.info += "\n";
    writeBytes(file, recipeWithNewline.bytes());
    // Far too long for any screen, even wrapped: its middle is left out.
    std::string deep = folder;
    for (int level = 0; level < 12; ++level) {
        deep += "/" + std::string(250, 'a' + level);
    }
    deep += "/gone.hair";

    for (const std::string& path : {file, deep}) {
        AlertSeen seen;
        Fl::add_timeout(0.05, inspectAndCloseAlert, &seen);
        EXPECT_FALSE(loadHairFile(*a.settings, path));
        ASSERT_TRUE(seen.shown);
        const std::string where = "path of " + std::to_string(path.size()) + " bytes";
        EXPECT_TRUE(onScreen(seen.window, seen.screen))
            << where << ": alert " << seen.window[2] << " x " << seen.window[3] << " at "
            << seen.window[0] << ", " << seen.window[1] << " on a screen of " << seen.screen[2]
            << " x " << seen.screen[3];
        EXPECT_GT(seen.button[2], 0) << where << ": no Close button";
        EXPECT_TRUE(onScreen(seen.button, seen.screen))
            << where << ": Close button at " << seen.button[0] << ", " << seen.button[1];
        const std::string shown = withoutBlanks(asDrawn(seen.text));
        if (path == file) {
            EXPECT_NE(shown.find(path), std::string::npos) << "the whole path shows: " << seen.text;
            EXPECT_NE(shown.find("parts=10\\n\"ismalformed"), std::string::npos) << seen.text;
        } else {
            EXPECT_EQ(shown.find("Cannotload\"" + folder), 0u) << seen.text;
            EXPECT_NE(shown.find("gone.hair\":Nosuchfileordirectory."), std::string::npos) << seen.text;
        }
    }
    showHairFileMessage = captureMessage;
}

TEST(HairFileFolder, ChoosersOpenWhereTheLastSaveOrLoadWas)
{
    AppWindow& a = shownApp();
    HairSettings& s = *a.settings;
    s.hairFileFolder.clear();
    char working[4096];
    ASSERT_NE(getcwd(working, sizeof working), nullptr);
    EXPECT_EQ(chooserFolder(s), working) << "at first, the working folder";

    const std::string saved = freshFolder("window-folder-saved");
    const std::string loaded = freshFolder("window-folder-loaded");
    pick("Plane");
    ASSERT_TRUE(saveHairFile(s, saved + "/plane.hair"));
    EXPECT_EQ(chooserFolder(s), saved);
    ASSERT_TRUE(saveHairFile(s, loaded + "/plane.hair"));
    ASSERT_TRUE(saveHairFile(s, saved + "/again.obj"));
    ASSERT_TRUE(loadHairFile(s, loaded + "/plane.hair"));
    EXPECT_EQ(chooserFolder(s), loaded);

    EXPECT_FALSE(loadHairFile(s, saved + "/missing.hair"));
    EXPECT_FALSE(saveHairFile(s, saved + "/no-such-folder/plane.hair"));
    EXPECT_EQ(chooserFolder(s), loaded) << "a failed save or load leaves the folder";
}
