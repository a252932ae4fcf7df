#ifndef TRESSMOOR_TESTS_TOOLS_PNGREADING_H
#define TRESSMOOR_TESTS_TOOLS_PNGREADING_H

#include <string>
#include <vector>

// A PNG file read back through libpng as 8-bit RGB, rows from the bottom up:
// the order in which GL reads a frame and the program's writer takes it.
struct PngPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// False with libpng's reason when the file is missing or not a PNG.
bool readPng(const std::string& path, PngPicture& picture, std::string& problem);

#endif
