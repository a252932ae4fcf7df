#ifndef TRESSMOOR_FORMATS_BYTECODEC_H
#define TRESSMOOR_FORMATS_BYTECODEC_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hair/LittleEndian.h"

// Little-endian numbers appended to byte arrays; hair/LittleEndian.h reads them.

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
