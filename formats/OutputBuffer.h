#ifndef TRESSMOOR_FORMATS_OUTPUTBUFFER_H
#define TRESSMOOR_FORMATS_OUTPUTBUFFER_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// Text and bytes gathered in a fixed buffer and handed to a sink in large
// chunks, so a large file is never whole in memory. Once the sink refuses a
// chunk, or a writer fails, nothing more is handed on, and finish says so.
class OutputBuffer {
public:
    using Sink = std::function<bool(const unsigned char* data, size_t size)>;

    static constexpr size_t kChunkSize = size_t(1) << 20;

    explicit OutputBuffer(Sink sink, size_t chunkSize = kChunkSize);
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void append(const void* data, size_t size);
    void append(const char* text) { append(text, std::strlen(text)); }
    void append(const std::string& text) { append(text.data(), text.size()); }

    void append(char c)
    {
        if (used == buffer.size()) {
            flush();
        }
        buffer[used++] = c;
    }

    // The shortest text that reads back as the same float, whatever the locale.
    void appendFloat(float value)
    {
        makeRoom(kLongestNumber);
        const auto result = std::to_chars(buffer.data() + used, buffer.data() + buffer.size(), value);
        used = static_cast<size_t>(result.ptr - buffer.data());
    }

    void appendInteger(uint64_t value)
    {
        makeRoom(kLongestNumber);
        const auto result = std::to_chars(buffer.data() + used, buffer.data() + buffer.size(), value);
        used = static_cast<size_t>(result.ptr - buffer.data());
    }

    // The most a writer reserves at once; no buffer is smaller.
    static constexpr size_t kLargestReservation = 128;
    // For writers that put many short pieces together: room for size bytes,
    // written straight into the buffer and ended by commit.
    template <size_t size>
    char* reserve()
    {
        static_assert(size <= kLargestReservation, "a reservation must fit any buffer");
        makeRoom(size);
        return buffer.data() + used;
    }
    void commit(char* end) { used = static_cast<size_t>(end - buffer.data()); }
    // The shortest text of value at the given place in reserved room.
    static char* writeFloat(char* at, float value)
    {
        return std::to_chars(at, at + kLongestNumber, value).ptr;
    }
    static char* writeInteger(char* at, uint64_t value)
    {
        return std::to_chars(at, at + kLongestNumber, value).ptr;
    }
    // Longer than any float's shortest text or any 64-bit integer's.
    static constexpr size_t kLongestNumber = 32;

    // Hand on what is left; true when the sink took every byte and no writer failed.
    bool finish();
    uint64_t bytesHandedOn() const { return handedOn; }

    // Stop handing anything on, for the reason given; the first reason stands.
    void fail(const std::string& reason);
    bool failed() const { return refused; }
    // Why a writer failed; empty when the sink refused (its owner knows why).
    const std::string& failure() const { return reason; }

private:
    void makeRoom(size_t size)
    {
        if (buffer.size() - used < size) {
            flush();
        }
    }
    void flush();

    Sink sink;
    std::vector<char> buffer;
    size_t used = 0;
    uint64_t handedOn = 0;
    bool refused = false;
    std::string reason;
};

// How far a long write has got: done of total values, reported now and then.
using WriteProgress = std::function<void(uint64_t done, uint64_t total)>;

// Counts the values a writer puts out and reports every kStep of them.
class ProgressCounter {
public:
    static constexpr uint64_t kStep = uint64_t(1) << 16;

    ProgressCounter(const WriteProgress& report, uint64_t total) : report(report), total(total) {}

    void count()
    {
        if (++done % kStep == 0 && report) {
            report(done, total);
        }
    }

    // Many values at once, as a writer that works in spans counts them.
    void add(uint64_t values)
    {
        const uint64_t before = done / kStep;
        done += values;
        if (done / kStep != before && report) {
            report(done, total);
        }
    }

private:
    const WriteProgress& report;
    uint64_t total;
    uint64_t done = 0;
};

// A sink that appends to bytes, for output small enough to keep in memory.
OutputBuffer::Sink appendingTo(std::vector<unsigned char>& bytes);

#endif
