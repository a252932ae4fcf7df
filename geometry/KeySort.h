#ifndef TRESSMOOR_GEOMETRY_KEYSORT_H
#define TRESSMOOR_GEOMETRY_KEYSORT_H

#include <cstdint>
#include <memory>

// Sorts 64-bit keys by their bits 32 to 61 (a 30-bit code above a 32-bit
// payload), stably, so keys of one code keep their order. keys may be
// swapped for another array of the same size; the one it holds after holds
// the sorted keys.
void sortKeysByCode(std::unique_ptr<uint64_t[]>& keys, int32_t count);

#endif
