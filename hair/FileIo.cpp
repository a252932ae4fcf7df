#include "hair/FileIo.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        problem = "it names a folder, not a file";
        return false;
    }

    // Keep an existing file's permissions; a new one gets what the umask allows.
    mode_t mode;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    // A hidden name in the same folder, so the rename never crosses file systems.
    const std::string temporary =
        (slash == std::string::npos ? "" : folder) + "." + name + ".XXXXXX";
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        problem = "cannot create a file in its folder: " + errnoText(errno);
        return false;
    }
    const std::string temporaryPath(pattern.data());

    bool written = writeAll(fd, bytes.data(), bytes.size());
    int error = errno;
    if (written) {
        written = fchmod(fd, mode) == 0 && fsync(fd) == 0;
        error = errno;
    }
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporaryPath.c_str());
        problem = "writing failed: " + errnoText(error);
        return false;
    }
    if (rename(temporaryPath.c_str(), path.c_str()) != 0) {
        error = errno;
        unlink(temporaryPath.c_str());
        problem = "cannot replace it: " + errnoText(error);
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem)
{
    // Non-blocking, so a named pipe cannot stall the open; regular files ignore it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errnoText(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        problem = errnoText(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return false;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    if (size > limit) {
        problem = "it is " + std::to_string(size) + " bytes, more than any hair Tressmoor saves (" +
                  std::to_string(limit) + " bytes)";
        close(fd);
        return false;
    }
    bytes.resize(size);
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
