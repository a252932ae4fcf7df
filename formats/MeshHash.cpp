#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formats/MeshReader.h"

namespace {

constexpr size_t kHashChunk = size_t(1) << 20;
constexpr uint64_t kFnvPrime = 0x100000001B3ull;

}  // namespace

uint64_t meshBytesHash(const unsigned char* bytes, size_t size, uint64_t hash)
{
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
    return hash;
}

// The reason is given without the file's name; the callers put it in front.
bool hashMeshFile(const std::string& path, uint64_t& hash, std::string& problem)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        problem = std::strerror(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return false;
    }
    unsigned char* chunk = new unsigned char[kHashChunk];
    uint64_t running = kMeshHashStart;
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
        running = meshBytesHash(chunk, size_t(got), running);
        total += uint64_t(got);
    }
    delete[] chunk;
    close(fd);
    if (readAll && total == 0) {
        problem = "it is empty";
        return false;
    }
    if (readAll) hash = running;
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
