#ifndef TRESSMOOR_TESTS_FORMATS_HAIRFILESUPPORT_H
#define TRESSMOOR_TESTS_FORMATS_HAIRFILESUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "HairTestSupport.h"

// A HAIR file written field by field, independently of the program's encoder.
struct HandMadeHairFile {
    uint32_t strandCount = 0;
    uint32_t pointCount = 0;
    uint32_t flags = 2;
    uint32_t defaultSegments = 0;
    float defaults[5] = {2.0f, 0.0f, 0.1f, 0.5f, 0.8f};  // thickness, transparency, colour
    std::string info;
    std::vector<uint16_t> segments;
    std::vector<float> points;
    std::vector<float> thickness;
    std::vector<float> transparency;
    std::vector<float> colour;

    Bytes bytes() const;
};

// A consistent file of the given layout with the Tressmoor recipe and simple points.
HandMadeHairFile tressmoorFile(int clusters, int hairs, int parts);

Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
// Names in a folder other than "." and "..".
std::vector<std::string> folderEntries(const std::string& folder);
// A fresh empty folder under the build's test output.
std::string freshFolder(const std::string& name);

#endif
