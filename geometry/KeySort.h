#ifndef TRESSMOOR_GEOMETRY_KEYSORT_H
#define TRESSMOOR_GEOMETRY_KEYSORT_H

#include <cstdint>
#include <memory>

// Sorts 64-bit keys by their bits 32 to 61 (a 30-bit code above a 32-bit
// payload), stably, so keys of one code keep their order. The sorted keys
// may come back in another array of the same size, which keys then owns.
void sortKeysByCode(std::unique_ptr<uint64_t[]>& keys, int32_t count);

#endif
