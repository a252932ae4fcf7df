#ifndef TRESSMOOR_GEOMETRY_ARRAYS_H
#define TRESSMOOR_GEOMETRY_ARRAYS_H

#include <cstring>

// Owned heap arrays: freed with the pointer set to null, copied and compared
// byte for byte, so a NaN or a signed zero survives a copy and counts in a
// comparison.

template <typename T>
void freeArray(T*& array)
{
    delete[] array;
    array = nullptr;
}

template <typename T>
void copyArray(T* to, const T* from, int count)
{
    std::memcpy(to, from, sizeof(T) * count);
}

template <typename T>
bool sameBits(const T* a, const T* b, int count)
{
    return std::memcmp(a, b, sizeof(T) * count) == 0;
}

#endif
