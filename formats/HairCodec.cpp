#include "formats/HairCodec.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/ByteCodec.h"

namespace {

bool decodeHeader(const unsigned char* data, size_t size, HairHeader& header, std::string& problem)
{
    if (size < kHairHeaderSize) {
        problem = "it is " + std::to_string(size) + " bytes long, too short for the " +
                  std::to_string(kHairHeaderSize) + "-byte HAIR header";
        return false;
    }
    if (memcmp(data, "HAIR", 4) != 0) {
        problem = "it is not a HAIR file (it does not begin with the signature HAIR)";
        return false;
    }
    header.strandCount = readU32(data + 4);
    header.pointCount = readU32(data + 8);
    header.flags = readU32(data + 12);
    header.defaultSegments = readU32(data + 16);
    header.defaultThickness = readF32(data + 20);
    header.defaultTransparency = readF32(data + 24);
    for (int c = 0; c < 3; ++c) {
        header.defaultColour[c] = readF32(data + 28 + 4 * c);
    }
    const char* info = reinterpret_cast<const char*>(data + kHairInfoOffset);
    header.info.assign(info, strnlen(info, kHairInfoSize));

    if ((header.flags & ~kHairKnownFlags) != 0) {
        char hex[16];
        snprintf(hex, sizeof hex, "0x%X", header.flags);
        problem = std::string("its header sets reserved flag bits (flags ") + hex + ")";
        return false;
    }
    if ((header.flags & kHairHasPoints) == 0) {
        problem = "it has no points array";
        return false;
    }
    return true;
}

// Lays the arrays out after the header, in flag order, once the counts are
// known to fill the file exactly.
bool locateArrays(const unsigned char* data, size_t size, HairStrands& strands,
                  std::string& problem)
{
    const HairHeader& header = strands.header;
    // Every count is below 2^32, so none of these 64-bit sums can overflow.
    const uint64_t count = header.strandCount;
    const uint64_t points = header.pointCount;
    const uint64_t sizes[] = {2 * count, 12 * points, 4 * points, 4 * points, 12 * points};
    const unsigned char** arrays[] = {&strands.segments, &strands.points, &strands.thickness,
                                      &strands.transparency, &strands.colours};
    uint64_t expected = kHairHeaderSize;
    for (int bit = 0; bit < 5; ++bit) {
        if ((header.flags & (1u << bit)) != 0) {
            expected += sizes[bit];
        }
    }
    if (expected != size) {
        problem = "its header announces " + std::to_string(count) + " strands and " +
                  std::to_string(points) + " points, which take " + std::to_string(expected) +
                  " bytes, but the file has " + std::to_string(size);
        return false;
    }
    const unsigned char* next = data + kHairHeaderSize;
    for (int bit = 0; bit < 5; ++bit) {
        if ((header.flags & (1u << bit)) != 0) {
            *arrays[bit] = next;
            next += sizes[bit];
        }
    }
    return true;
}

bool checkSegments(const HairStrands& strands, std::string& problem)
{
    const uint64_t count = strands.header.strandCount;
    uint64_t pointsFromSegments = 0;
    if (strands.segments != nullptr) {
        // The segments array fits in the file, so this loop is bounded by its size.
        for (uint64_t s = 0; s < count; ++s) {
            pointsFromSegments += uint64_t(readU16(strands.segments + 2 * s)) + 1;
        }
    } else {
        pointsFromSegments = count * (uint64_t(strands.header.defaultSegments) + 1);
    }
    if (pointsFromSegments != strands.header.pointCount) {
        problem = "its strands' segments make " + std::to_string(pointsFromSegments) +
                  " points, but its header says " + std::to_string(strands.header.pointCount);
        return false;
    }
    return true;
}

// The first value of a point that is not a finite number, or a coordinate out of
// range; null when every value is good.
const char* pointValueProblem(const HairStrands& strands, uint64_t n, float limit)
{
    for (int axis = 0; axis < 3; ++axis) {
        const float value = strands.coordinate(n, axis);
        if (!std::isfinite(value)) {
            return "a coordinate that is not a finite number";
        }
        if (std::fabs(value) > limit) {
            return "a coordinate that is out of range";
        }
    }
    if (strands.thickness != nullptr && !std::isfinite(readF32(strands.thickness + 4 * n))) {
        return "a thickness that is not a finite number";
    }
    if (strands.transparency != nullptr && !std::isfinite(readF32(strands.transparency + 4 * n))) {
        return "a transparency that is not a finite number";
    }
    for (int channel = 0; strands.colours != nullptr && channel < 3; ++channel) {
        if (!std::isfinite(readF32(strands.colours + 12 * n + 4 * channel))) {
            return "a colour that is not a finite number";
        }
    }
    return nullptr;
}

bool checkPointValues(const HairStrands& strands, float limit, std::string& problem)
{
    uint64_t strand = 0;
    uint64_t pointInStrand = 0;
    for (uint64_t n = 0; n < strands.header.pointCount; ++n) {
        while (pointInStrand > strands.segmentsOf(strand)) {
            ++strand;
            pointInStrand = 0;
        }
        if (const char* bad = pointValueProblem(strands, n, limit)) {
            problem = "point " + std::to_string(pointInStrand + 1) + " of strand " +
                      std::to_string(strand + 1) + " has " + bad;
            return false;
        }
        ++pointInStrand;
    }
    return true;
}

// The defaults stand in for arrays a file leaves out, so they must be numbers too.
bool checkDefaults(const HairHeader& header, std::string& problem)
{
    const struct {
        const char* name;
        float value;
    } defaults[] = {{"thickness", header.defaultThickness},
                    {"transparency", header.defaultTransparency},
                    {"colour", header.defaultColour[0]},
                    {"colour", header.defaultColour[1]},
                    {"colour", header.defaultColour[2]}};
    for (const auto& d : defaults) {
        if (!std::isfinite(d.value)) {
            problem = std::string("its header's default ") + d.name + " is not a finite number";
            return false;
        }
    }
    return true;
}

}  // namespace

uint32_t HairStrands::segmentsOf(uint64_t s) const
{
    return segments != nullptr ? readU16(segments + 2 * s) : header.defaultSegments;
}

float HairStrands::coordinate(uint64_t n, int axis) const
{
    return readF32(points + 12 * n + 4 * axis);
}

float HairStrands::thicknessOf(uint64_t n) const
{
    return thickness != nullptr ? readF32(thickness + 4 * n) : header.defaultThickness;
}

float HairStrands::transparencyOf(uint64_t n) const
{
    return transparency != nullptr ? readF32(transparency + 4 * n) : header.defaultTransparency;
}

float HairStrands::colourOf(uint64_t n, int channel) const
{
    return colours != nullptr ? readF32(colours + 12 * n + 4 * channel) : header.defaultColour[channel];
}

bool decodeHairStrands(const unsigned char* data, size_t size, float coordinateLimit,
                       HairStrands& strands, std::string& problem)
{
    HairStrands decoded;
    if (!decodeHeader(data, size, decoded.header, problem) ||
        !locateArrays(data, size, decoded, problem) || !checkSegments(decoded, problem) ||
        !checkDefaults(decoded.header, problem) ||
        !checkPointValues(decoded, coordinateLimit, problem)) {
        return false;
    }
    strands = decoded;
    return true;
}

void appendHairHeader(std::vector<unsigned char>& out, const HairHeader& header)
{
    const size_t start = out.size();
    appendText(out, "HAIR");
    appendU32(out, header.strandCount);
    appendU32(out, header.pointCount);
    appendU32(out, header.flags);
    appendU32(out, header.defaultSegments);
    appendF32(out, header.defaultThickness);
    appendF32(out, header.defaultTransparency);
    for (float channel : header.defaultColour) {
        appendF32(out, channel);
    }
    appendText(out, header.info.substr(0, kHairInfoSize));
    out.resize(start + kHairHeaderSize, 0);
}
