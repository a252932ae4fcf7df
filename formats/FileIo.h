#ifndef TRESSMOOR_FORMATS_FILEIO_H
#define TRESSMOOR_FORMATS_FILEIO_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether the file name ends in extension (any case); ".obj" alone is a hidden
// file's name, not an extension.
bool hasExtension(const std::string& path, const char* extension);

// A file written in pieces to a temporary file beside its path, then flushed to
// disk and renamed over the path by commit, so a failure leaves any old file as
// it was and no partial file behind. An existing regular file keeps its
// permissions; anything else at the path, a symbolic link included, is replaced,
// not followed, by a file with the mode the umask allows. SIGHUP, SIGINT or
// SIGTERM while the writer is open remove the temporary file before they end the
// process. A folder that cannot be flushed after the rename fails the commit,
// although the new file is then in place. One writer may be open at a time: the
// signal handler knows of one temporary file.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    // An uncommitted file is abandoned.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool open(const std::string& path, std::string& problem);
    // False once any write has failed; commit then names the reason.
    bool write(const void* data, size_t size);
    bool commit(std::string& problem);
    // Remove the temporary file; the old file stays as it was.
    void abandon();

private:
    std::string target;
    std::string folder;
    int fd = -1;
    mode_t mode = 0;
    int writeError = 0;
    uint64_t written = 0;
    uint64_t writebackStarted = 0;
};

// The whole of bytes through an AtomicFileWriter.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem);

// A regular file opened for reading, with its status; -1 with the reason
// (a folder, a device, a pipe, or the system's error) otherwise.
int openRegularFile(const std::string& path, struct stat& info, std::string& problem);

// The whole file, refused without reading when larger than limit; limitName says
// what the limit is in the refusal.
bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem, const char* limitName = "any hair Tressmoor saves");

#endif
