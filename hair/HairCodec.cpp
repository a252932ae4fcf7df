#include "hair/HairCodec.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "hair/ByteCodec.h"

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

bool checkCoordinates(const HairStrands& strands, float limit, std::string& problem)
{
    uint64_t strand = 0;
    uint64_t pointInStrand = 0;
    for (uint64_t n = 0; n < strands.header.pointCount; ++n) {
        while (pointInStrand > strands.segmentsOf(strand)) {
            ++strand;
            pointInStrand = 0;
        }
        for (int axis = 0; axis < 3; ++axis) {
            const float value = strands.coordinate(n, axis);
            if (!std::isfinite(value) || std::fabs(value) > limit) {
                problem = "point " + std::to_string(pointInStrand + 1) + " of strand " +
                          std::to_string(strand + 1) + " has a coordinate that is " +
                          (std::isfinite(value) ? "out of range" : "not a finite number");
                return false;
            }
        }
        ++pointInStrand;
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

bool decodeHairStrands(const unsigned char* data, size_t size, float coordinateLimit,
                       HairStrands& strands, std::string& problem)
{
    HairStrands decoded;
    if (!decodeHeader(data, size, decoded.header, problem) ||
        !locateArrays(data, size, decoded, problem) || !checkSegments(decoded, problem) ||
        !checkCoordinates(decoded, coordinateLimit, problem)) {
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
