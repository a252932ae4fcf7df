#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "HairFileSupport.h"
#include "PngReading.h"
#include "tools/PngWriter.h"

namespace {

// Three pixels a row, two rows, every channel different; the bottom row first.
std::vector<unsigned char> tinyFrame()
{
    std::vector<unsigned char> rgb;
    for (int i = 0; i < 18; ++i) {
        rgb.push_back(static_cast<unsigned char>(i * 13 + 7));
    }
    return rgb;
}

}  // namespace

TEST(PngWriter, WritesTheFrameTheRightWayUpAndReadsBackExactly)
{
    const std::vector<unsigned char> frame = tinyFrame();
    const std::string path = freshFolder("png-writer") + "/tiny.png";
    std::string problem;
    ASSERT_TRUE(writePngFile(path, 3, 2, frame.data(), problem)) << problem;

    PngPicture back;
    ASSERT_TRUE(readPng(path, back, problem)) << problem;
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.rgb, frame);

    // Read as the file stores it, top row first: the frame's last row comes first.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> stored(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, stored.data(), 0, nullptr), 0) << image.message;
    EXPECT_EQ(std::vector<unsigned char>(stored.begin(), stored.begin() + 9),
              std::vector<unsigned char>(frame.begin() + 9, frame.end()));
}

TEST(PngWriter, RefusesAnEmptyFrameAndAnUnwritablePathWithAReason)
{
    const std::vector<unsigned char> frame = tinyFrame();
    std::vector<unsigned char> png;
    std::string problem;
    EXPECT_FALSE(encodePng(0, 2, frame.data(), png, problem));
    EXPECT_NE(problem, "");

    const std::string folder = freshFolder("png-writer-unwritable");
    problem.clear();
    EXPECT_FALSE(writePngFile(folder + "/missing/tiny.png", 3, 2, frame.data(), problem));
    EXPECT_NE(problem, "");
    EXPECT_TRUE(folderEntries(folder).empty());
}
