// Loaded into a tool through LD_PRELOAD, so a test can see how a long write ends
// when memory runs out:
//   TRESSMOOR_TEST_ALLOCATION_LIMIT=N  every allocation of N bytes or more fails
// It replaces malloc whenever it is loaded, so it is a library of its own, and
// no use with a sanitizer that keeps the allocations to itself.
#include <errno.h>

#include <cstddef>
#include <cstdlib>

extern "C" void* __libc_malloc(size_t size);

extern "C" void* malloc(size_t size)
{
    static const unsigned long long limit = [] {
        const char* text = getenv("TRESSMOOR_TEST_ALLOCATION_LIMIT");
        return text != nullptr ? strtoull(text, nullptr, 10) : 0ull;
    }();
    if (limit > 0 && size >= limit) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}
