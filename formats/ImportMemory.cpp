#include "formats/ImportMemory.h"

#include <unistd.h>

#include <cstdio>

namespace {

// assimp's own peak on a binary mesh is about four times the file; text
// formats and post-processing take more. This leaves room for every honest
// file, with a floor for small files that expand (compressed ones) and
// for the threads and buffers the library starts.
constexpr uint64_t kBytesPerFileByte = 64;
constexpr uint64_t kFloorBytes = uint64_t(1) << 30;

// The process's mapped size now, or 0 when it cannot be read.
uint64_t mappedBytes()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long long pages = 0;
    const bool read = std::fscanf(statm, "%llu", &pages) == 1;
    std::fclose(statm);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return read && pageSize > 0 ? pages * uint64_t(pageSize) : 0;
}

}  // namespace

uint64_t importAllowance(uint64_t fileBytes)
{
    const uint64_t most = ~uint64_t(0);
    const uint64_t scaled = fileBytes > (most - kFloorBytes) / kBytesPerFileByte ? most - kFloorBytes
                                                                                 : fileBytes * kBytesPerFileByte;
    return scaled + kFloorBytes;
}

ImportMemoryLimit::ImportMemoryLimit(uint64_t fileBytes) : allowed(importAllowance(fileBytes))
{
    const uint64_t mapped = mappedBytes();
    if (mapped == 0 || getrlimit(RLIMIT_AS, &kept) != 0) return;
    if (mapped > RLIM_INFINITY - allowed) return;
    const rlim_t wanted = rlim_t(mapped + allowed);
    // Only ever lowered: a limit the process already has stands.
    if (kept.rlim_cur != RLIM_INFINITY && kept.rlim_cur <= wanted) return;
    struct rlimit lower = kept;
    lower.rlim_cur = wanted;
    lowered = setrlimit(RLIMIT_AS, &lower) == 0;
}

ImportMemoryLimit::~ImportMemoryLimit()
{
    if (lowered) setrlimit(RLIMIT_AS, &kept);
}
