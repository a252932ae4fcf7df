#ifndef TRESSMOOR_FORMATS_IMPORTMEMORY_H
#define TRESSMOOR_FORMATS_IMPORTMEMORY_H

#include <cstdint>
#include <sys/resource.h>

// A file whose counts lie can have assimp reserve terabytes for it, and then
// fill them: the process swaps and is killed. While this lives, the process may
// map only so much more memory than it has now (as much as a file of this size
// can honestly need), so such a reservation fails at once as a bad_alloc.
// Process-wide: what another thread allocates meanwhile may fail too, so only
// work ready for that (as the hash of the file read beside the import) belongs
// beside it.
class ImportMemoryLimit {
public:
    explicit ImportMemoryLimit(uint64_t fileBytes);
    ~ImportMemoryLimit();
    ImportMemoryLimit(const ImportMemoryLimit&) = delete;
    ImportMemoryLimit& operator=(const ImportMemoryLimit&) = delete;

    // What the import may add, in bytes.
    uint64_t allowance() const { return allowed; }

private:
    struct rlimit kept {};
    bool lowered = false;
    uint64_t allowed = 0;
};

// What reading a file of this size may map beyond what the process already has.
uint64_t importAllowance(uint64_t fileBytes);

#endif
