#include "formats/FileIo.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

std::string errnoText(int error)
{
    return strerror(error);
}

// Write everything, going on after short writes and interruptions.
bool writeAll(int fd, const unsigned char* data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A save in progress records its temporary file here, so that a signal ending
// the process can remove it: unlink is safe in a signal handler, building a path is not.
constexpr const char* kTemporaryFilePattern = ".tressmoor-save-XXXXXX";
char temporaryPath[PATH_MAX];
volatile sig_atomic_t temporaryExists = 0;

constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGTERM};
constexpr int kCleanupSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
struct sigaction previousActions[kCleanupSignalCount];

sigset_t cleanupSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : kCleanupSignals) {
        sigaddset(&set, signalNumber);
    }
    return set;
}

void removeTemporaryAndResignal(int signalNumber)
{
    const int savedErrno = errno;
    if (temporaryExists) {
        unlink(temporaryPath);
        temporaryExists = 0;
    }
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        if (kCleanupSignals[i] == signalNumber) {
            sigaction(signalNumber, &previousActions[i], nullptr);
        }
    }
    // Blocked while this handler runs, the signal comes again as soon as it
    // returns, and then does what it would have done without the save.
    raise(signalNumber);
    errno = savedErrno;
}

// Holds the cleanup signals back while the temporary file and its record change together.
class SignalHold {
public:
    SignalHold()
    {
        const sigset_t set = cleanupSignalSet();
        sigprocmask(SIG_BLOCK, &set, &previousMask);
    }
    ~SignalHold() { sigprocmask(SIG_SETMASK, &previousMask, nullptr); }

    sigset_t previousMask;
};

// While a save runs, SIGHUP, SIGINT and SIGTERM first remove its temporary file,
// then end the process as they would have; a signal the process ignores stays
// ignored. The previous actions come back when the save ends.
bool cleanupInstalled[kCleanupSignalCount];

void installCleanup()
{
    SignalHold hold;
    struct sigaction cleanup = {};
    cleanup.sa_handler = removeTemporaryAndResignal;
    cleanup.sa_mask = cleanupSignalSet();
    cleanup.sa_flags = SA_RESTART;
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        cleanupInstalled[i] = sigaction(kCleanupSignals[i], nullptr, &previousActions[i]) == 0 &&
                              ((previousActions[i].sa_flags & SA_SIGINFO) != 0 ||
                               previousActions[i].sa_handler != SIG_IGN) &&
                              sigaction(kCleanupSignals[i], &cleanup, nullptr) == 0;
    }
}

void removeTemporary()
{
    SignalHold hold;
    if (temporaryExists) {
        unlink(temporaryPath);
        temporaryExists = 0;
    }
}

void restoreSignalActions()
{
    SignalHold hold;
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        if (cleanupInstalled[i]) {
            sigaction(kCleanupSignals[i], &previousActions[i], nullptr);
            cleanupInstalled[i] = false;
        }
    }
}

// The one temporary file the signal handler knows of belongs to the open writer.
bool writerOpen = false;

// How much a writer hands the disk at a time while it goes on writing.
constexpr uint64_t kWritebackStep = uint64_t(2) << 20;

// Keep an existing file's permissions. What a link points to, or a device, is
// not the file being replaced; a new file gets what the umask allows.
mode_t modeForReplacing(const std::string& path)
{
    struct stat existing;
    if (lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The rename itself reaches the disk with the folder's entry. A folder that may
// be written but not read cannot be opened for this, and some file systems
// cannot flush folders at all (EINVAL); neither is a failed save.
bool flushFolder(const std::string& folder, std::string& problem)
{
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return true;
    }
    const bool flushed = fsync(folderFd) == 0 || errno == EINVAL;
    const int error = errno;
    close(folderFd);
    if (!flushed) {
        problem = "it was replaced, but its folder could not be flushed to disk: " +
                  errnoText(error);
    }
    return flushed;
}

}  // namespace

bool hasExtension(const std::string& path, const char* extension)
{
    const size_t length = strlen(extension);
    if (path.size() <= length) {
        return false;
    }
    const size_t slash = path.find_last_of('/');
    const size_t start = path.size() - length;
    // ".obj" alone is a hidden file's name, not an extension.
    if (slash != std::string::npos && slash + 1 >= start) {
        return false;
    }
    return strncasecmp(path.c_str() + start, extension, length) == 0;
}

AtomicFileWriter::~AtomicFileWriter()
{
    abandon();
}

bool AtomicFileWriter::open(const std::string& path, std::string& problem)
{
    if (writerOpen) {
        problem = "another save is still in progress";
        return false;
    }
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        problem = "it names a folder, not a file";
        return false;
    }
    folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    target = path;
    mode = modeForReplacing(path);

    // A hidden name in the same folder, so the rename never crosses file
    // systems; of fixed length, so any name the folder takes can be saved.
    const std::string temporary =
        (slash == std::string::npos ? "" : folder) + kTemporaryFilePattern;
    if (temporary.size() >= sizeof temporaryPath) {
        problem = "cannot create a file in its folder: " + errnoText(ENAMETOOLONG);
        return false;
    }

    installCleanup();
    int error = 0;
    {
        SignalHold hold;
        memcpy(temporaryPath, temporary.c_str(), temporary.size() + 1);
        fd = mkstemp(temporaryPath);
        error = errno;
        temporaryExists = fd >= 0;
    }
    if (fd < 0) {
        restoreSignalActions();
        problem = "cannot create a file in its folder: " + errnoText(error);
        return false;
    }
    writerOpen = true;
    writeError = 0;
    written = 0;
    writebackStarted = 0;
    return true;
}

bool AtomicFileWriter::write(const void* data, size_t size)
{
    if (fd < 0 || writeError != 0) {
        return false;
    }
    if (!writeAll(fd, static_cast<const unsigned char*>(data), size)) {
        writeError = errno != 0 ? errno : EIO;
        return false;
    }
    written += size;
    // Start the disk writing a large file's pages while later ones are still
    // being made, so the closing fsync waits for little more than the tail. Only
    // a hint: the fsync in commit is what makes the file safe.
    if (written - writebackStarted >= kWritebackStep) {
        sync_file_range(fd, static_cast<off_t>(writebackStarted),
                        static_cast<off_t>(written - writebackStarted), SYNC_FILE_RANGE_WRITE);
        writebackStarted = written;
    }
    return true;
}

bool AtomicFileWriter::commit(std::string& problem)
{
    if (fd < 0) {
        problem = "writing failed: " + errnoText(EBADF);
        return false;
    }
    int error = writeError;
    bool written = error == 0;
    if (written) {
        written = fchmod(fd, mode) == 0 && fsync(fd) == 0;
        error = errno;
    }
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    fd = -1;
    if (!written) {
        abandon();
        problem = "writing failed: " + errnoText(error);
        return false;
    }
    bool renamed = false;
    {
        // Once renamed, the file is the target, which a signal must not remove.
        SignalHold hold;
        error = EINTR;
        if (temporaryExists) {
            renamed = rename(temporaryPath, target.c_str()) == 0;
            error = errno;
            temporaryExists = !renamed;
        }
    }
    abandon();
    if (!renamed) {
        problem = "cannot replace it: " + errnoText(error);
        return false;
    }
    return flushFolder(folder, problem);
}

void AtomicFileWriter::abandon()
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
    if (writerOpen) {
        removeTemporary();
        restoreSignalActions();
        writerOpen = false;
    }
}

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem)
{
    AtomicFileWriter writer;
    if (!writer.open(path, problem)) {
        return false;
    }
    writer.write(bytes.data(), bytes.size());
    return writer.commit(problem);
}

int openRegularFile(const std::string& path, struct stat& info, std::string& problem)
{
    // Non-blocking, so a named pipe cannot stall the open; regular files ignore it.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errnoText(errno);
        return -1;
    }
    if (fstat(fd, &info) != 0) {
        problem = errnoText(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return -1;
    }
    return fd;
}

bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem, const char* limitName)
{
    struct stat info;
    const int fd = openRegularFile(path, info, problem);
    if (fd < 0) {
        return false;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    if (size > limit) {
        problem = "it is " + std::to_string(size) + " bytes, more than " + limitName + " (" +
                  std::to_string(limit) + " bytes)";
        close(fd);
        return false;
    }
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        problem = "there is not enough memory to read its " + std::to_string(size) + " bytes";
        close(fd);
        return false;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, bytes.data() + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = errnoText(errno);
            close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    close(fd);
    return true;
}
