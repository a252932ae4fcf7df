// "Save Hair Data" to USD curves in the real window, with its messages captured.
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "UsdTextSupport.h"
#include "WindowDriving.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "formats/HairFile.h"
#include "hair/HairStore.h"

namespace {

std::vector<std::string> messages;

void captureMessage(HairFileMessage, const std::string& text)
{
    messages.push_back(text);
}

AppWindow& shownApp()
{
    if (theAppWindow == nullptr) {
        theAppWindow = new AppWindow;
    }
    showHairFileMessage = captureMessage;
    messages.clear();
    if (!theAppWindow->mainWindow->shown()) {
        theAppWindow->show();
        Fl::check();
    }
    return *theAppWindow;
}

void moveSlider(Fl_Value_Slider* slider, int value)
{
    testing::internal::CaptureStdout();
    slider->value(value);
    slider->do_callback();
    testing::internal::GetCapturedStdout();
}

std::string readText(const std::string& path)
{
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

// glibc's rand() starts as if seeded with 1, so srand(1) gives this process a
// fresh run's sequence, which is what tressmoor-grow starts from.
TEST(SaveHairDataAsUsd, WritesTheLayerOfTheHairShownAndWhatTressmoorGrowWrites)
{
    AppWindow& a = shownApp();
    const std::string folder = freshFolder("window-usd");
    moveSlider(a.hairsSlider, 5);
    moveSlider(a.clustersSlider, 2);
    moveSlider(a.partsSlider, 14);
    pick("Messy");
    srand(1);
    pick("Sphere");
    // The sliders may move after the growth; the file holds the hair as grown.
    moveSlider(a.hairsSlider, 9);
    const std::string path = folder + "/sphere.USDA";
    ASSERT_TRUE(saveHairFile(*a.settings, path)) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(messages.empty());

    const UsdLayer layer = parseUsdLayer(readText(path));
    ASSERT_EQ(layer.problem, "");
    EXPECT_EQ(layer.metadata[4], "string tressmoorRecipe = \"tressmoor-hair 1 sphere messy length=10 "
                                 "restAngle=1 hairs=5 clusters=2 parts=14\"");
    const auto& attributes = layer.attributes;
    EXPECT_EQ(usdIntegers(attributes.at("curveVertexCounts").value), std::vector<long long>(20, 14));
    EXPECT_EQ(usdIntegers(attributes.at("primvars:clusterId").value),
              (std::vector<long long>{0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3}));
    EXPECT_EQ(usdFloats(attributes.at("primvars:st").value).size(), 40u);
    EXPECT_EQ(attributes.count("primvars:displayColor"), 0u);

    std::vector<float> points;
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        for (int k = 0; k < hairStore.hairClusters[p].strandCount; ++k) {
            const ControlPoint* net = hairStore.hairClusters[p].strands[k].controlNet;
            for (int r = 0; r < 14; ++r) {
                points.insert(points.end(), {net[r * 9 + 2].x, net[r * 9].y, net[r * 9].z});
            }
        }
    }
    EXPECT_EQ(bitDifference(points, usdFloats(attributes.at("points").value)), "");

    const std::string toolPath = folder + "/tool.usda";
    const std::string command = std::string(TRESSMOOR_GROW_BINARY) +
                                " --shape sphere --hairs 5 --clusters 2 --parts 14 --out '" + toolPath +
                                "' > /dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0);
    EXPECT_EQ(readText(toolPath), readText(path));
}

TEST(LoadHairData, AForeignFileIsRefusedWithTheConverterNamed)
{
    AppWindow& a = shownApp();
    const std::string path = freshFolder("window-foreign") + "/foreign.hair";
    HandMadeHairFile file;
    file.strandCount = 1;
    file.pointCount = 8;
    file.defaultSegments = 7;
    file.points.assign(24, 1.0f);
    file.info = "another tool";
    writeBytes(path, file.bytes());
    EXPECT_FALSE(loadHairFile(*a.settings, path));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot load \"" + path + "\": it is a HAIR file without a Tressmoor recipe, so "
                           "the shape and settings it belongs to are unknown (tressmoor-convert can turn "
                           "it into USD or OBJ curves).");
}
