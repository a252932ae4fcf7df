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
// An existing file keeps its permissions; a symbolic link at path is replaced,
// not followed.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem);

// The whole file, refused without reading when larger than limit.
bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem);

#endif
