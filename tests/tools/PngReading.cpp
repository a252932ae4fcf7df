#include "PngReading.h"

#include <cstring>

#include <png.h>

bool readPng(const std::string& path, PngPicture& picture, std::string& problem)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        problem = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
    // A negative stride puts the file's last row first in memory.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), stride, nullptr) == 0) {
        problem = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}
