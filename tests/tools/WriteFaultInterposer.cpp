// Loaded into a tool through LD_PRELOAD, so a test can see how a long write
// ends when the machine fails it:
//   TRESSMOOR_TEST_DISK_BYTES=N      writes to regular files fail with ENOSPC once
//                                    N bytes have gone to them, as on a full disk
//   TRESSMOOR_TEST_THREADS=fail      no thread can be started (EAGAIN)
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<unsigned long long> writtenToFiles{0};

unsigned long long numberFromEnvironment(const char* name)
{
    const char* text = getenv(name);
    return text != nullptr ? strtoull(text, nullptr, 10) : 0;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write realWrite = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    const unsigned long long disk = numberFromEnvironment("TRESSMOOR_TEST_DISK_BYTES");
    struct stat info;
    if (disk > 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const unsigned long long before = writtenToFiles.load();
        if (before >= disk) {
            errno = ENOSPC;
            return -1;
        }
        const size_t room = static_cast<size_t>(std::min<unsigned long long>(size, disk - before));
        const ssize_t done = realWrite(fd, data, room);
        if (done > 0) {
            writtenToFiles += static_cast<unsigned long long>(done);
        }
        return done;
    }
    return realWrite(fd, data, size);
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*routine)(void*), void* argument)
{
    const char* mode = getenv("TRESSMOOR_TEST_THREADS");
    if (mode != nullptr && strcmp(mode, "fail") == 0) {
        return EAGAIN;
    }
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create realCreate = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return realCreate(thread, attributes, routine, argument);
}
