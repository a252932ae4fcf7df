#ifndef TRESSMOOR_GEOMETRY_KEYSORT_H
#define TRESSMOOR_GEOMETRY_KEYSORT_H

#include <cstdint>

// Sorts 64-bit keys by their bits 32 to 61 (a 30-bit code above a 32-bit
// payload), stably, so keys of one code keep their order. keys may be
// swapped for another array of the same size; the one it points to after holds
// the sorted keys.
void sortKeysByCode(uint64_t*& keys, int32_t count);

#endif
