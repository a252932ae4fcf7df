#ifndef TRESSMOOR_HAIR_LITTLEENDIAN_H
#define TRESSMOOR_HAIR_LITTLEENDIAN_H

#include <cstdint>
#include <cstring>

// Little-endian numbers in byte arrays, whatever the machine's own order: the
// HAIR file's, decoded by its codec and read in place by the child strands.

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

#endif
