// Loaded into tressmoor-grow through LD_PRELOAD, so a test can act while a save
// is surely in progress, or see a folder that cannot be flushed:
//   TRESSMOOR_TEST_FSYNC=hold         the fsync of a regular file creates the file
//                                     named by TRESSMOOR_TEST_FSYNC_HELD, then waits
//                                     (at most 30 s) until TRESSMOOR_TEST_FSYNC_RELEASE exists
//   TRESSMOOR_TEST_FSYNC=fail-folder  the fsync of a folder fails with EIO
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void holdUntilReleased()
{
    const char* held = getenv("TRESSMOOR_TEST_FSYNC_HELD");
    const char* release = getenv("TRESSMOOR_TEST_FSYNC_RELEASE");
    if (held != nullptr) {
        int fd = open(held, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
        }
    }
    for (int wait = 0; wait < 3000; ++wait) {
        if (release != nullptr && access(release, F_OK) == 0) {
            return;
        }
        usleep(10000);
    }
}

}  // namespace

extern "C" int fsync(int fd)
{
    const char* mode = getenv("TRESSMOOR_TEST_FSYNC");
    struct stat info;
    if (mode != nullptr && fstat(fd, &info) == 0) {
        if (strcmp(mode, "fail-folder") == 0 && S_ISDIR(info.st_mode)) {
            errno = EIO;
            return -1;
        }
        if (strcmp(mode, "hold") == 0 && S_ISREG(info.st_mode)) {
            holdUntilReleased();
        }
    }
    using Fsync = int (*)(int);
    static const Fsync realFsync = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    return realFsync(fd);
}
