#ifndef TRESSMOOR_HAIR_FILEIO_H
#define TRESSMOOR_HAIR_FILEIO_H

#include <cstddef>
#include <string>
#include <vector>

// Whether the file name ends in extension (any case); ".obj" alone is a hidden
// file's name, not an extension.
bool hasExtension(const std::string& path, const char* extension);

// Write to a temporary file beside path, flush it to disk and rename it over
// path, so a failure leaves any old file as it was and no partial file behind.
// An existing regular file keeps its permissions; anything else at path, a
// symbolic link included, is replaced, not followed, by a file with the mode the
// umask allows. SIGHUP, SIGINT or SIGTERM during the save remove the temporary
// file before they end the process. A folder that cannot be flushed after the
// rename fails the save, although the new file is then in place.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem);

// The whole file, refused without reading when larger than limit.
bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem);

#endif
