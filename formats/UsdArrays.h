#ifndef TRESSMOOR_FORMATS_USDARRAYS_H
#define TRESSMOOR_FORMATS_USDARRAYS_H

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <string>

#include "formats/OutputBuffer.h"

// The pieces a USD ASCII layer's arrays are written with, straight into an
// output buffer.

// Room for one element of an array: its separator, a tuple of up to three
// numbers, its parentheses and commas.
constexpr size_t kElementRoom = 2 + 3 * (OutputBuffer::kLongestNumber + 2) + 2;
static_assert(kElementRoom <= OutputBuffer::kLargestReservation, "an element fits any buffer");

// An array's elements, written straight into a buffer, with ", " before every
// element but the array's first.
class ArrayElements {
public:
    ArrayElements(OutputBuffer& out, bool first) : out(out), first(first) {}

    char* begin()
    {
        char* at = out.reserve<kElementRoom>();
        if (!first) {
            *at++ = ',';
            *at++ = ' ';
        }
        first = false;
        return at;
    }
    void end(char* at) { out.commit(at); }
    void fail(const std::string& reason) { out.fail(reason); }

    void integer(uint64_t value) { end(OutputBuffer::writeInteger(begin(), value)); }
    void number(float value) { end(OutputBuffer::writeFloat(begin(), value)); }

    void tuple(const float* values, int count)
    {
        char* at = begin();
        *at++ = '(';
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                *at++ = ',';
                *at++ = ' ';
            }
            at = OutputBuffer::writeFloat(at, values[i]);
        }
        *at++ = ')';
        end(at);
    }

private:
    OutputBuffer& out;
    bool first;
};

inline void openArray(OutputBuffer& out, const char* declaration)
{
    out.append("        ");
    out.append(declaration);
    out.append(" = [");
}

inline void closeArray(OutputBuffer& out, const char* interpolation)
{
    out.append(']');
    if (interpolation != nullptr) {
        out.append(" (\n            interpolation = \"");
        out.append(interpolation);
        out.append("\"\n        )");
    }
    out.append('\n');
}

// A strand's vertices: one per point, and a single point's strand gets it twice.
template <typename WriteVertex>
void forEachVertex(uint32_t count, WriteVertex writeVertex)
{
    for (uint32_t i = 0; i < count; ++i) {
        writeVertex(i);
    }
    if (count == 1) {
        writeVertex(0);
    }
}

struct Bounds {
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};

    void take(const float* point)
    {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], point[axis]);
            high[axis] = std::max(high[axis], point[axis]);
        }
    }
    void merge(const Bounds& other)
    {
        take(other.low);
        take(other.high);
    }
};

#endif
