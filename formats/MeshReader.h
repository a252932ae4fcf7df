#ifndef TRESSMOOR_FORMATS_MESHREADER_H
#define TRESSMOOR_FORMATS_MESHREADER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/TriangleMesh.h"

// Meshes of the user's own, read with assimp: every format it imports.

// More triangles than this are refused before any is copied.
constexpr int64_t kMaxMeshTriangles = 10000000;

// The post-processing asked of assimp: the scene checked and its polygons
// made triangles, nothing more.
// Welding and missing normals are done here, cheaper than assimp does them.
unsigned meshImportSteps();

// The whole scene as one triangle mesh in the file's world space: every node's
// transform applied (a mirroring one keeps the winding facing out), the meshes
// joined, identical vertices welded, the file's normals where it has them and
// smooth ones where not, the first uv set when any mesh has one. Lines and
// points are left out. fileHash is the hash of the file's bytes. A bad file
// gives one line naming the file and the reason, and leaves mesh and fileHash
// as they were: an empty or unreadable file, one assimp cannot parse, no
// triangles, a coordinate that is not finite, no area, or more triangles than
// maxTriangles (which may lower kMaxMeshTriangles, not raise it).
bool readMesh(const std::string& path, TriangleMesh& mesh, uint64_t& fileHash, std::string& problem,
              int64_t maxTriangles = kMaxMeshTriangles);

// A mesh file's identity, which hair grown on it records: FNV-1a run over the
// file as 64-bit little-endian words in four interleaved lanes (so it keeps up
// with the disk), the bytes after the last whole 32 into the first lane one by
// one, then the lanes and the length folded together by FNV-1a and mixed. The
// bytes may come in pieces of any size.
class MeshHash {
public:
    void add(const unsigned char* bytes, size_t size);
    uint64_t finish() const;

private:
    uint64_t lanes[4] = {0xCBF29CE484222325ull, 0x84222325CBF29CE4ull, 0xCBF29CE4ull, 0x84222325ull};
    unsigned char pending[32] = {};
    size_t pendingSize = 0;
    uint64_t size = 0;

    void addBlock(const unsigned char* block);
};
uint64_t meshBytesHash(const unsigned char* bytes, size_t size);
bool hashMeshFile(const std::string& path, uint64_t& hash, std::string& problem);
// 16 lowercase hexadecimal digits, and back; false for anything else.
std::string meshHashText(uint64_t hash);
bool parseMeshHash(const std::string& text, uint64_t& hash);
// Whether the file is still the one with this hash text; a line naming the
// file and what is wrong otherwise.
bool checkMeshFile(const std::string& path, const std::string& expectedHash, std::string& problem);

#endif
