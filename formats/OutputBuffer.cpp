#include "formats/OutputBuffer.h"

#include <algorithm>

OutputBuffer::OutputBuffer(Sink sink, size_t chunkSize)
    : sink(std::move(sink)), buffer(std::max({chunkSize, 2 * kLongestNumber, kLargestReservation}))
{
}

void OutputBuffer::flush()
{
    if (used > 0 && !refused) {
        refused = !sink(reinterpret_cast<const unsigned char*>(buffer.data()), used);
        handedOn += used;
    }
    used = 0;
}

void OutputBuffer::append(const void* data, size_t size)
{
    // An empty piece may come without an address, which memcpy must not be given.
    if (size == 0) {
        return;
    }
    const char* bytes = static_cast<const char*>(data);
    if (size <= buffer.size() - used) {
        std::memcpy(buffer.data() + used, bytes, size);
        used += size;
        return;
    }
    // Too much for the buffer: what is buffered goes first, then the rest at once.
    flush();
    if (size <= buffer.size()) {
        std::memcpy(buffer.data(), bytes, size);
        used = size;
    } else if (!refused) {
        refused = !sink(reinterpret_cast<const unsigned char*>(bytes), size);
        handedOn += size;
    }
}

void OutputBuffer::fail(const std::string& why)
{
    if (!refused) {
        reason = why;
    }
    refused = true;
    used = 0;
}

bool OutputBuffer::finish()
{
    flush();
    return !refused;
}

OutputBuffer::Sink appendingTo(std::vector<unsigned char>& bytes)
{
    return [&bytes](const unsigned char* data, size_t size) {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    };
}
