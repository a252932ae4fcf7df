#include "tools/PngWriter.h"

#include <climits>
#include <cstring>

#include <png.h>

#include "formats/FileIo.h"

bool encodePng(int width, int height, const unsigned char* rgb, std::vector<unsigned char>& png,
               std::string& problem)
{
    constexpr int kChannels = 3;
    if (width < 1 || height < 1 || width > INT_MAX / kChannels) {
        problem = "the picture has no pixels or too many";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // A negative stride tells libpng that the first row in memory is the bottom one.
    const png_int_32 stride = -width * kChannels;

    png_alloc_size_t size = 0;
    if (png_image_write_get_memory_size(image, size, 0, rgb, stride, nullptr) == 0) {
        problem = std::string("libpng: ") + image.message;
        png_image_free(&image);
        return false;
    }
    png.resize(size);
    if (png_image_write_to_memory(&image, png.data(), &size, 0, rgb, stride, nullptr) == 0) {
        problem = std::string("libpng: ") + image.message;
        png_image_free(&image);
        return false;
    }
    png.resize(size);
    return true;
}

bool writePngFile(const std::string& path, int width, int height, const unsigned char* rgb,
                  std::string& problem)
{
    std::vector<unsigned char> png;
    return encodePng(width, height, rgb, png, problem) && writeFileAtomically(path, png, problem);
}
