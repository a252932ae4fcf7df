#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "formats/FileIo.h"
#include "formats/MeshReader.h"

namespace {

constexpr size_t kHashChunk = size_t(1) << 20;
constexpr uint64_t kFnvPrime = 0x100000001B3ull;


uint64_t readWord(const unsigned char* bytes)
{
    uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = (word << 8) | bytes[i];
    return word;
}

}  // namespace

void MeshHash::addBlock(const unsigned char* block)
{
    for (int lane = 0; lane < 4; ++lane) {
        lanes[lane] = (lanes[lane] ^ readWord(block + lane * 8)) * kFnvPrime;
    }
}

void MeshHash::add(const unsigned char* bytes, size_t count)
{
    size += count;
    if (pendingSize > 0) {
        const size_t taken = std::min(count, sizeof pending - pendingSize);
        std::memcpy(pending + pendingSize, bytes, taken);
        pendingSize += taken;
        bytes += taken;
        count -= taken;
        if (pendingSize < sizeof pending) return;
        addBlock(pending);
        pendingSize = 0;
    }
    for (; count >= sizeof pending; bytes += sizeof pending, count -= sizeof pending) addBlock(bytes);
    std::memcpy(pending, bytes, count);
    pendingSize = count;
}

uint64_t MeshHash::finish() const
{
    uint64_t first = lanes[0];
    for (size_t i = 0; i < pendingSize; ++i) first = (first ^ pending[i]) * kFnvPrime;
    uint64_t hash = 0xCBF29CE484222325ull;
    const uint64_t folded[5] = {first, lanes[1], lanes[2], lanes[3], size};
    for (uint64_t word : folded) hash = (hash ^ word) * kFnvPrime;
    // A multiplication carries a change only upwards; this brings it down again.
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
}

uint64_t meshBytesHash(const unsigned char* bytes, size_t size)
{
    MeshHash hash;
    hash.add(bytes, size);
    return hash.finish();
}

// The reason is given without the file's name; the callers put it in front.
bool hashMeshFile(const std::string& path, uint64_t& hash, std::string& problem)
{
    struct stat info;
    const int fd = openRegularFile(path, info, problem);
    if (fd < 0) {
        return false;
    }
    // Read beside an import that may have taken all the memory it was allowed,
    // so a buffer that cannot be had refuses the file rather than throwing.
    unsigned char* chunk = new (std::nothrow) unsigned char[kHashChunk];
    if (chunk == nullptr) {
        close(fd);
        problem = "there is not enough memory to read it";
        return false;
    }
    MeshHash running;
    uint64_t total = 0;
    bool readAll = false;
    for (;;) {
        const ssize_t got = read(fd, chunk, kHashChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            problem = std::strerror(errno);
            break;
        }
        if (got == 0) {
            readAll = true;
            break;
        }
        running.add(chunk, size_t(got));
        total += uint64_t(got);
    }
    delete[] chunk;
    close(fd);
    if (readAll && total == 0) {
        problem = "it is empty";
        return false;
    }
    if (readAll) hash = running.finish();
    return readAll;
}

std::string meshHashText(uint64_t hash)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i) {
        text[size_t(i)] = kDigits[hash & 0xF];
        hash >>= 4;
    }
    return text;
}

bool parseMeshHash(const std::string& text, uint64_t& hash)
{
    if (text.size() != 16) return false;
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return false;
        }
        value = (value << 4) | uint64_t(digit);
    }
    hash = value;
    return true;
}

bool checkMeshFile(const std::string& path, const std::string& expectedHash, std::string& problem)
{
    uint64_t expected;
    if (!parseMeshHash(expectedHash, expected)) {
        problem = path + ": the mesh's recorded identity \"" + expectedHash + "\" is not 16 hexadecimal digits";
        return false;
    }
    uint64_t actual;
    std::string reason;
    if (!hashMeshFile(path, actual, reason)) {
        problem = path + ": " + reason;
        return false;
    }
    if (actual != expected) {
        problem = path + ": the mesh has changed since the hair was grown on it (its identity is " +
                  meshHashText(actual) + ", the hair's " + expectedHash + ")";
        return false;
    }
    return true;
}
