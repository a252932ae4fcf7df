#ifndef TRESSMOOR_FORMATS_HAIRCODEC_H
#define TRESSMOOR_FORMATS_HAIRCODEC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The HAIR strand format: a 128-byte little-endian header, then the arrays its
// flags announce, in the order of the flag bits.
constexpr size_t kHairHeaderSize = 128;
constexpr size_t kHairInfoOffset = 40;
constexpr size_t kHairInfoSize = 88;
constexpr uint32_t kHairHasSegments = 1u << 0;
constexpr uint32_t kHairHasPoints = 1u << 1;
constexpr uint32_t kHairHasThickness = 1u << 2;
constexpr uint32_t kHairHasTransparency = 1u << 3;
constexpr uint32_t kHairHasColour = 1u << 4;
constexpr uint32_t kHairKnownFlags = 0x1Fu;

struct HairHeader {
    uint32_t strandCount = 0;
    uint32_t pointCount = 0;
    uint32_t flags = 0;
    uint32_t defaultSegments = 0;
    float defaultThickness = 0.0f;
    float defaultTransparency = 0.0f;
    float defaultColour[3] = {0.0f, 0.0f, 0.0f};
    std::string info;  // at most 88 bytes
};

// A HAIR file whose every field has been checked, and where its arrays lie in
// the bytes it was decoded from; an array the flags leave out is null.
struct HairStrands {
    HairHeader header;
    const unsigned char* segments = nullptr;      // strandCount 16-bit counts
    const unsigned char* points = nullptr;        // pointCount x, y, z
    const unsigned char* thickness = nullptr;     // pointCount floats
    const unsigned char* transparency = nullptr;  // pointCount floats
    const unsigned char* colours = nullptr;       // pointCount r, g, b

    // Segments of strand s: its own count, or the header's default.
    uint32_t segmentsOf(uint64_t s) const;
    // Coordinate `axis` of point n.
    float coordinate(uint64_t n, int axis) const;
    // The values of point n: its own, or the header's defaults.
    float thicknessOf(uint64_t n) const;
    float transparencyOf(uint64_t n) const;
    float colourOf(uint64_t n, int channel) const;
};

// A HAIR file's bytes and its checked strands read in place from them, owned
// together: a move keeps the strands pointing into the bytes, and a copy, which
// would leave them pointing into another's, cannot be made.
struct HairBytes {
    std::vector<unsigned char> bytes;
    HairStrands strands;

    HairBytes() = default;
    HairBytes(HairBytes&&) = default;
    HairBytes& operator=(HairBytes&&) = default;
    HairBytes(const HairBytes&) = delete;
    HairBytes& operator=(const HairBytes&) = delete;
};

// Check every field of a HAIR file: size and signature, reserved flags, counts
// that agree with the file's size and with the segments, every coordinate finite
// and within coordinateLimit, every other value and default a finite number. Reads nothing beyond size and allocates nothing.
bool decodeHairStrands(const unsigned char* data, size_t size, float coordinateLimit,
                       HairStrands& strands, std::string& problem);

// The 128 header bytes of a file with these fields.
void appendHairHeader(std::vector<unsigned char>& out, const HairHeader& header);

#endif
