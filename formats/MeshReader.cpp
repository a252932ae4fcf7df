#include "formats/MeshReader.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "formats/FileIo.h"
#include "formats/ImportMemory.h"
#include "geometry/BothCores.h"
#include "geometry/MeshWelding.h"

namespace {

// A scene whose node tree is larger than this is not a mesh anyone made by hand
// or by a modeller; it is refused rather than walked for ever.
constexpr int64_t kMaxNodeVisits = 10000000;

// One placement of a mesh: the scene's mesh and the transform of the node that
// holds it, down from the root.
struct MeshPlacement {
    aiMesh* mesh;
    aiMatrix4x4 transform;
    int64_t triangles = 0;  // counted once: a count reads every face
};

std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string withThousands(int64_t value)
{
    std::string digits = std::to_string(value);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(size_t(i), ",");
    return digits;
}

int64_t triangleFaces(const aiMesh& mesh)
{
    if (mesh.mFaces == nullptr) return 0;
    int64_t count = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        if (mesh.mFaces[f].mNumIndices == 3) ++count;
    }
    return count;
}

// Every placement of every mesh, walking the nodes without recursion.
bool placeMeshes(const aiScene& scene, std::vector<MeshPlacement>& placements, std::string& reason)
{
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending;
    if (scene.mRootNode != nullptr) pending.emplace_back(scene.mRootNode, scene.mRootNode->mTransformation);
    int64_t visits = 0;
    while (!pending.empty()) {
        const aiNode* node = pending.back().first;
        const aiMatrix4x4 transform = pending.back().second;
        pending.pop_back();
        if (++visits > kMaxNodeVisits) {
            reason = "its node tree has more than " + withThousands(kMaxNodeVisits) + " nodes";
            return false;
        }
        for (unsigned m = 0; m < node->mNumMeshes; ++m) {
            const unsigned index = node->mMeshes[m];
            if (index >= scene.mNumMeshes || scene.mMeshes[index] == nullptr) {
                reason = "a node refers to mesh " + std::to_string(index) + " of " + std::to_string(scene.mNumMeshes);
                return false;
            }
            placements.push_back({scene.mMeshes[index], transform, 0});
        }
        for (unsigned c = 0; c < node->mNumChildren; ++c) {
            const aiNode* child = node->mChildren[c];
            if (child != nullptr) pending.emplace_back(child, transform * child->mTransformation);
        }
    }
    return true;
}

bool isFinite(const aiVector3D& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The triangles of a mesh, as its own vertex indices, each vertex they use marked.
bool copyTriangles(const aiMesh& mesh, MeshWelder& welder, uint8_t* used, std::string& reason)
{
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices != 3) continue;
        for (int k = 0; k < 3; ++k) {
            if (face.mIndices[k] >= mesh.mNumVertices) {
                reason = "a triangle refers to vertex " + std::to_string(face.mIndices[k]) + " of a mesh with " +
                         std::to_string(mesh.mNumVertices);
                return false;
            }
            used[face.mIndices[k]] = 1;
        }
        welder.addTriangle(int32_t(face.mIndices[0]), int32_t(face.mIndices[1]), int32_t(face.mIndices[2]));
    }
    return true;
}

// The vertices of a placement that wanted marks as used (every vertex when
// wanted is null), each transformed and welded once, its welded index written
// to welded. In batches, so the welder's lookups overlap.
bool weldVertices(const MeshPlacement& placement, const uint8_t* wanted, int32_t* welded, MeshWelder& welder,
                  std::string& reason)
{
    constexpr unsigned kBatch = 32;
    const aiMesh& mesh = *placement.mesh;
    const aiMatrix4x4& transform = placement.transform;
    // Normals turn with the inverse transpose.
    aiMatrix3x3 normalTransform(transform);
    normalTransform.Inverse().Transpose();
    const aiVector3D* uvs = mesh.mTextureCoords[0];
    MeshWelder::Prepared batch[kBatch];
    unsigned batchVertex[kBatch];
    for (unsigned first = 0; first < mesh.mNumVertices; first += kBatch) {
        unsigned count = 0;
        const unsigned end = std::min(mesh.mNumVertices, first + kBatch);
        for (unsigned v = first; v < end; ++v) {
            if (wanted != nullptr && wanted[v] == 0) continue;
            const aiVector3D p = transform * mesh.mVertices[v];
            if (!isFinite(mesh.mVertices[v]) || !isFinite(p)) {
                reason = "it has a vertex coordinate that is not a finite number";
                return false;
            }
            const float position[3] = {p.x, p.y, p.z};
            float normal[3];
            if (mesh.mNormals != nullptr) {
                const aiVector3D n = normalTransform * mesh.mNormals[v];
                normal[0] = n.x;
                normal[1] = n.y;
                normal[2] = n.z;
            }
            float uv[2];
            if (uvs != nullptr) {
                uv[0] = std::isfinite(uvs[v].x) ? uvs[v].x : 0.0f;
                uv[1] = std::isfinite(uvs[v].y) ? uvs[v].y : 0.0f;
            }
            welder.prepare(position, mesh.mNormals != nullptr ? normal : nullptr, uvs != nullptr ? uv : nullptr,
                           batch[count]);
            batchVertex[count++] = v;
        }
        for (unsigned i = 0; i < count; ++i) welded[batchVertex[i]] = welder.add(batch[i]);
    }
    return true;
}

// One placement into the welder: its triangles, then the vertices they use.
// In a large mesh nearly always every vertex is used, so the vertices are
// welded on one core while the triangles are copied on the other, and welded
// again one by one only when some vertex turns out unused or not finite.
bool addPlacement(const MeshPlacement& placement, MeshWelder& welder, std::vector<int32_t>& welded,
                  std::string& reason)
{
    const aiMesh& mesh = *placement.mesh;
    if (placement.triangles == 0) return true;
    if (mesh.mVertices == nullptr) {
        reason = "a mesh has triangles but no vertices";
        return false;
    }
    const int firstTriangle = welder.triangleCount();
    const int firstVertex = welder.vertexCount();
    // Every vertex used fits the room the welder has: three per triangle.
    const bool aside =
        mesh.mNumVertices >= unsigned(kWorthBothCores) && int64_t(mesh.mNumVertices) <= 3 * placement.triangles;
    bool copied = false;
    bool weldedAside = false;
    std::vector<uint8_t> used;
    auto copy = [&] {
        used.assign(mesh.mNumVertices, 0);
        copied = copyTriangles(mesh, welder, used.data(), reason);
    };
    welded.resize(mesh.mNumVertices);
    if (aside) {
        std::string unused;
        runBoth(copy, [&] { weldedAside = weldVertices(placement, nullptr, welded.data(), welder, unused); });
    } else {
        copy();
    }
    if (!copied) return false;
    // Every vertex used, and (in a file without duplicates) each welded to
    // itself, so the triangles already hold the welded indices.
    bool allUsed = weldedAside;
    bool unchanged = weldedAside && firstVertex == 0;
    for (unsigned v = 0; allUsed && v < mesh.mNumVertices; ++v) {
        allUsed = used[v] != 0;
        unchanged = unchanged && welded[v] == int32_t(v);
    }
    if (!allUsed) {
        unchanged = false;
        welder.dropVerticesFrom(firstVertex);
        if (!weldVertices(placement, used.data(), welded.data(), welder, reason)) return false;
    }
    // A mirroring transform turns the triangles over, so their corners are
    // swapped to keep the winding outward.
    const bool mirrors = aiMatrix3x3(placement.transform).Determinant() < 0.0f;
    if (!unchanged || mirrors) welder.remapTriangles(firstTriangle, welded.data(), mirrors);
    return true;
}

// The scene as one welded mesh, or false with the reason.
bool weldScene(const aiScene& scene, int64_t maxTriangles, MeshWelder& welder, std::string& reason)
{
    std::vector<MeshPlacement> placements;
    if (!placeMeshes(scene, placements, reason)) return false;
    int64_t triangles = 0;
    bool withUvs = false;
    bool withNormals = false;
    for (MeshPlacement& placement : placements) {
        const int64_t count = placement.triangles = triangleFaces(*placement.mesh);
        triangles += count;
        withUvs = withUvs || (count > 0 && placement.mesh->mTextureCoords[0] != nullptr);
        withNormals = withNormals || (count > 0 && placement.mesh->mNormals != nullptr);
        if (triangles > maxTriangles) {
            reason = "it has more than " + withThousands(maxTriangles) + " triangles";
            return false;
        }
    }
    if (triangles == 0) {
        reason = "it has no triangles (only points, lines or nothing)";
        return false;
    }
    // A triangle brings at most three new vertices.
    welder.begin(triangles * 3, triangles, withUvs, withNormals);
    std::vector<int32_t> welded;
    for (const MeshPlacement& placement : placements) {
        if (!addPlacement(placement, welder, welded, reason)) return false;
    }
    return true;
}

// A thread that may still run when the function that started it returns,
// joined then.
struct JoinedOnReturn {
    std::thread& thread;
    ~JoinedOnReturn()
    {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace

// Debian's assimp keeps its internal assertions, and a broken file can fail one
// (an OFF file whose counts lie trips the triangulation) and abort the whole
// program. This definition takes the library's place: the failure becomes an
// exception, which ReadFile turns into a refused file like any other.
namespace Assimp {
void aiAssertViolation(const char* failedExpression, const char* file, int line)
{
    throw std::runtime_error(std::string("internal check failed: ") + failedExpression + " (" + file + ":" +
                             std::to_string(line) + ")");
}
}  // namespace Assimp

unsigned meshImportSteps()
{
    // Validation first, so no later step or the copy meets an index out of range.
    return aiProcess_ValidateDataStructure | aiProcess_Triangulate;
}

bool readMesh(const std::string& path, TriangleMesh& mesh, uint64_t& fileHash, std::string& problem,
              int64_t maxTriangles)
{
    // The limit can be lowered, never raised: the welder counts in 32 bits.
    if (maxTriangles > kMaxMeshTriangles) maxTriangles = kMaxMeshTriangles;
    // Only a regular file goes to assimp: a pipe or a device could hold it for ever.
    struct stat info;
    const int fd = openRegularFile(path, info, problem);
    if (fd < 0) {
        problem = path + ": " + problem;
        return false;
    }
    close(fd);
    // The file's bytes are hashed on another core while assimp reads them.
    uint64_t hash = 0;
    std::string hashProblem;
    bool hashed = false;
    std::thread hashing;
    try {
        hashing = std::thread([&] { hashed = hashMeshFile(path, hash, hashProblem); });
    } catch (const std::system_error&) {
        hashed = hashMeshFile(path, hash, hashProblem);
    }
    const JoinedOnReturn joinedHashing{hashing};
    auto hashFailed = [&] {
        if (hashing.joinable()) hashing.join();
        if (hashed) return false;
        problem = path + ": " + hashProblem;
        return true;
    };
    TriangleMesh read;
    std::string reason;
    std::thread freeing;
    const JoinedOnReturn joinedFreeing{freeing};
    try {
        MeshWelder welder;
        {
            Assimp::Importer importer;
            const aiScene* imported = nullptr;
            uint64_t allowance = 0;
            {
                const ImportMemoryLimit limit(uint64_t(info.st_size));
                allowance = limit.allowance();
                imported = importer.ReadFile(path, meshImportSteps());
            }
            if (hashFailed()) return false;
            if (imported == nullptr) {
                const std::string error = oneLine(importer.GetErrorString());
                problem = path + (error.find("bad_alloc") != std::string::npos
                                      ? ": reading it takes more than the " + withThousands(int64_t(allowance >> 20)) +
                                            " MB of memory a file of its size may"
                                      : ": assimp cannot read it: " + error);
                return false;
            }
            if (!weldScene(*imported, maxTriangles, welder, reason)) {
                problem = path + ": " + reason;
                return false;
            }
            // A scene of many small blocks takes long to free: another core
            // frees it while this one makes the normals.
            std::unique_ptr<aiScene> scene(importer.GetOrphanedScene());
            try {
                freeing = std::thread([done = scene.get()] { delete done; });
                scene.release();
            } catch (const std::system_error&) {
            }
        }
        welder.finish(read);
    } catch (const std::bad_alloc&) {
        if (hashFailed()) return false;
        problem = path + ": there is not enough memory to read it";
        return false;
    }
    if (!meshHasArea(read)) {
        problem = path + ": its triangles have no area";
        return false;
    }
    mesh.takeFrom(read);
    fileHash = hash;
    return true;
}
