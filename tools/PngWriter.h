#ifndef TRESSMOOR_TOOLS_PNGWRITER_H
#define TRESSMOOR_TOOLS_PNGWRITER_H

#include <string>
#include <vector>

// Pictures of the view as PNG files, through libpng. The pixels are 8-bit RGB
// with the rows from the bottom up, as GL reads a frame back; the file shows
// them the right way up.

// Width and height of 1 or more; false with the reason when libpng refuses.
bool encodePng(int width, int height, const unsigned char* rgb, std::vector<unsigned char>& png,
               std::string& problem);

// Encode, then write atomically, so that a failure leaves no partial file.
bool writePngFile(const std::string& path, int width, int height, const unsigned char* rgb,
                  std::string& problem);

#endif
