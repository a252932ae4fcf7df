#ifndef TRESSMOOR_FORMATS_BYTECODEC_H
#define TRESSMOOR_FORMATS_BYTECODEC_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Little-endian numbers in byte arrays, whatever the machine's own order.

inline uint32_t readU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint16_t readU16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline float readF32(const unsigned char* p)
{
    const uint32_t bits = readU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void appendU32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

inline void appendF32(std::vector<unsigned char>& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendU32(out, bits);
}

inline void appendText(std::vector<unsigned char>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

#endif
