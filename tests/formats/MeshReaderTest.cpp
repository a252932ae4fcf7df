#include <assimp/material.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HairFileSupport.h"
#include "formats/ImportMemory.h"
#include "formats/MeshReader.h"
#include "geometry/MeshSampling.h"
#include "geometry/MeshWelding.h"
#include "geometry/TriangleMesh.h"

namespace {

const std::string kModels = TRESSMOOR_ASSIMP_MODELS;

struct RealFile {
    std::string name;
    std::string path;  // under the test models
    bool hasUvs;
};

// Named, not dumped byte by byte with the struct's padding.
void PrintTo(const RealFile& file, std::ostream* out)
{
    *out << file.path;
}

std::string realFileName(const ::testing::TestParamInfo<RealFile>& info)
{
    return info.param.name;
}

void writeText(const std::string& path, const std::string& text)
{
    writeBytes(path, Bytes(text.begin(), text.end()));
}

std::string startOf(const std::string& path, size_t count)
{
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.begin() + std::min(count, bytes.size()));
}

double normalLength(const TriangleMesh& mesh, int v)
{
    const float* n = mesh.normals + size_t(v) * 3;
    return std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
}

// Everything a read mesh promises, whatever the file.
void expectSoundMesh(const TriangleMesh& mesh, const std::string& what)
{
    ASSERT_GT(mesh.triangleCount, 0) << what;
    ASSERT_GT(mesh.vertexCount, 0) << what;
    for (int v = 0; v < mesh.vertexCount; ++v) {
        for (int a = 0; a < 3; ++a) ASSERT_TRUE(std::isfinite(mesh.positions[v * 3 + a])) << what << " vertex " << v;
        ASSERT_NEAR(normalLength(mesh, v), 1.0, 1e-5) << what << " vertex " << v;
    }
    for (int i = 0; i < mesh.triangleCount * 3; ++i) {
        ASSERT_GE(mesh.triangles[i], 0) << what;
        ASSERT_LT(mesh.triangles[i], mesh.vertexCount) << what;
    }
    EXPECT_GT(meshArea(mesh), 0.0) << what;
}

std::string base64(const std::vector<unsigned char>& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t chunk = (uint32_t(bytes[i]) << 16) | (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                               (i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0);
        text += kAlphabet[(chunk >> 18) & 63];
        text += kAlphabet[(chunk >> 12) & 63];
        text += i + 1 < bytes.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kAlphabet[chunk & 63] : '=';
    }
    return text;
}

// One triangle facing +z with its normals, placed by two nodes: one as it is,
// one through the given column-major matrix.
std::string gltfTwoPlacements(const std::string& matrix)
{
    const float data[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const uint16_t indices[] = {0, 1, 2, 0};
    std::vector<unsigned char> buffer(sizeof data + sizeof indices);
    std::memcpy(buffer.data(), data, sizeof data);
    std::memcpy(buffer.data() + sizeof data, indices, sizeof indices);
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"mesh":0},{"mesh":0,"matrix":[)" + matrix + R"(]}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1},"indices":2}]}],
"buffers":[{"byteLength":)" + std::to_string(buffer.size()) +
           R"(,"uri":"data:application/octet-stream;base64,)" + base64(buffer) + R"("}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":72},{"buffer":0,"byteOffset":72,"byteLength":6}],
"accessors":[{"bufferView":0,"byteOffset":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
{"bufferView":0,"byteOffset":36,"componentType":5126,"count":3,"type":"VEC3"},
{"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]})";
}

const char kQuadCube[] =
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 3 4 8 7\nf 2 3 7 6\nf 1 5 8 4\n";

class RealMeshFile : public ::testing::TestWithParam<RealFile> {};

}  // namespace

TEST_P(RealMeshFile, ReadsAsOneSoundMesh)
{
    const std::string path = kModels + "/" + GetParam().path;
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(readMesh(path, mesh, hash, problem)) << problem;
    expectSoundMesh(mesh, path);
    EXPECT_EQ(mesh.uvs != nullptr, GetParam().hasUvs) << path;
    const Bytes bytes = readBytes(path);
    EXPECT_EQ(hash, meshBytesHash(bytes.data(), bytes.size()));
    // The fitted mesh keeps all of this.
    const double area = meshArea(mesh);
    const MeshFit fit = fitMesh(mesh);
    EXPECT_NEAR(meshArea(mesh), area * fit.scale * fit.scale, 1e-6 * meshArea(mesh));
}

INSTANTIATE_TEST_SUITE_P(
    MeshReader, RealMeshFile,
    ::testing::Values(RealFile{"obj", "OBJ/spider.obj", true}, RealFile{"ply_ascii", "PLY/cube.ply", false},
                      RealFile{"ply_binary", "PLY/cube_binary.ply", false},
                      RealFile{"ply_uvs", "PLY/Wuson.ply", true},
                      RealFile{"stl_ascii", "STL/Spider_ascii.stl", false},
                      RealFile{"stl_binary", "STL/Spider_binary.stl", false},
                      RealFile{"gltf", "glTF2/BoxTextured-glTF/BoxTextured.gltf", true},
                      RealFile{"glb", "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", true},
                      RealFile{"glb_bad_normals", "glTF2/BoxBadNormals-glTF-Binary/BoxBadNormals.glb", false},
                      RealFile{"fbx", "FBX/spider.fbx", true},
                      RealFile{"fbx_mirrored", "FBX/cubes_with_mirroring_and_pivot.fbx", true},
                      RealFile{"dae", "Collada/duck.dae", true},
                      RealFile{"dae_instances", "Collada/teapots.DAE", true}),
    realFileName);

TEST(MeshReader, TheTestFilesAreWhatTheirNamesSay)
{
    EXPECT_EQ(startOf(kModels + "/PLY/cube.ply", 16), "ply\nformat ascii");
    EXPECT_EQ(startOf(kModels + "/PLY/cube_binary.ply", 17), "ply\nformat binary");
    EXPECT_EQ(startOf(kModels + "/STL/Spider_ascii.stl", 5), "solid");
    EXPECT_EQ(startOf(kModels + "/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 4), "glTF");
}

TEST(MeshReader, OneSurfaceInEveryEncoding)
{
    // The same spider as ASCII and binary STL; the same cube as ASCII and binary PLY.
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"STL/Spider_ascii.stl", "STL/Spider_binary.stl"}, {"PLY/cube.ply", "PLY/cube_binary.ply"}};
    for (const auto& pair : pairs) {
        TriangleMesh first, second;
        uint64_t firstHash = 0, secondHash = 0;
        std::string problem;
        ASSERT_TRUE(readMesh(kModels + "/" + pair.first, first, firstHash, problem)) << problem;
        ASSERT_TRUE(readMesh(kModels + "/" + pair.second, second, secondHash, problem)) << problem;
        EXPECT_EQ(first.triangleCount, second.triangleCount) << pair.first;
        EXPECT_NEAR(meshArea(first), meshArea(second), 1e-5 * meshArea(first)) << pair.first;
        EXPECT_NE(firstHash, secondHash) << pair.first;
    }
}

TEST(MeshReader, PolygonsBecomeTrianglesWithWeldedVerticesAndSmoothNormals)
{
    const std::string folder = freshFolder("mesh-reader-cube");
    writeText(folder + "/cube.obj", kQuadCube);
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(readMesh(folder + "/cube.obj", mesh, hash, problem)) << problem;
    EXPECT_EQ(mesh.triangleCount, 12);
    EXPECT_EQ(mesh.vertexCount, 8);
    EXPECT_EQ(mesh.uvs, nullptr);
    EXPECT_NEAR(meshArea(mesh), 24.0, 1e-9);
    // Weighted by the triangles' areas, a corner's normal leans towards the face
    // whose split runs through it, but stays in the corner's octant.
    for (int v = 0; v < 8; ++v) {
        EXPECT_NEAR(normalLength(mesh, v), 1.0, 1e-6);
        double along = 0.0;
        for (int a = 0; a < 3; ++a) {
            EXPECT_GT(mesh.normals[v * 3 + a] * mesh.positions[v * 3 + a], 0.0f) << "vertex " << v;
            along += mesh.normals[v * 3 + a] * mesh.positions[v * 3 + a] / std::sqrt(3.0);
        }
        EXPECT_GT(along, 0.9) << "vertex " << v;
    }
}

// A grid large enough to be welded on two cores, as ASCII PLY, with extra
// vertices no triangle uses placed among the used ones. Written twice, every
// inner vertex has a copy, which the quads of odd rows use.
std::string gridPly(int side, const std::vector<std::string>& unusedVertices, bool twice = false)
{
    std::string vertices;
    std::vector<int> index(size_t(side) * side);
    std::vector<int> copy(size_t(side) * side);
    int written = 0;
    for (int i = 0; i < side * side; ++i) {
        if (i == side * side / 2) {
            for (const std::string& extra : unusedVertices) {
                vertices += extra + "\n";
                ++written;
            }
        }
        const std::string line =
            std::to_string(i % side) + " " + std::to_string(i / side) + " " + std::to_string((i * 7) % 3) + "\n";
        vertices += line;
        index[size_t(i)] = copy[size_t(i)] = written++;
        const bool inner = i % side > 0 && i % side < side - 1 && i / side > 0 && i / side < side - 1;
        if (twice && inner) {
            vertices += line;
            copy[size_t(i)] = written++;
        }
    }
    std::string faces;
    for (int y = 0; y + 1 < side; ++y) {
        for (int x = 0; x + 1 < side; ++x) {
            const std::vector<int>& use = y % 2 == 1 ? copy : index;
            const int a = use[size_t(y * side + x)], b = use[size_t(y * side + x + 1)];
            const int c = use[size_t((y + 1) * side + x + 1)], d = use[size_t((y + 1) * side + x)];
            faces += "3 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
            faces += "3 " + std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(d) + "\n";
        }
    }
    return "ply\nformat ascii 1.0\nelement vertex " + std::to_string(written) +
           "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
           std::to_string(2 * (side - 1) * (side - 1)) + "\nproperty list uchar int vertex_indices\nend_header\n" +
           vertices + faces;
}

// The vertices of a large mesh are welded beside its triangles' copy, taken
// back when a vertex turns out unused; either way, and with copies of its
// vertices welded away, the mesh is the same.
TEST(MeshReader, ALargeMeshWeldsTheSameWithOrWithoutUnusedVertices)
{
    const std::string folder = freshFolder("mesh-reader-unused");
    constexpr int kSide = 300;
    writeText(folder + "/all.ply", gridPly(kSide, {}));
    writeText(folder + "/unused.ply", gridPly(kSide, {"5 5 5", "nan 0 0", "0 0 0"}));
    writeText(folder + "/twice.ply", gridPly(kSide, {}, true));
    TriangleMesh all;
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(readMesh(folder + "/all.ply", all, hash, problem)) << problem;
    ASSERT_EQ(all.vertexCount, kSide * kSide);
    ASSERT_EQ(all.triangleCount, 2 * (kSide - 1) * (kSide - 1));
    for (const char* name : {"unused.ply", "twice.ply"}) {
        TriangleMesh other;
        ASSERT_TRUE(readMesh(folder + "/" + name, other, hash, problem)) << problem;
        ASSERT_EQ(other.vertexCount, all.vertexCount) << name;
        ASSERT_EQ(other.triangleCount, all.triangleCount) << name;
        EXPECT_EQ(std::memcmp(all.positions, other.positions, sizeof(float) * 3 * size_t(all.vertexCount)), 0) << name;
        EXPECT_EQ(std::memcmp(all.normals, other.normals, sizeof(float) * 3 * size_t(all.vertexCount)), 0) << name;
        EXPECT_EQ(std::memcmp(all.triangles, other.triangles, sizeof(int32_t) * 3 * size_t(all.triangleCount)), 0)
            << name;
    }
    // Ordered as the file orders them.
    for (int v = 0; v < all.vertexCount; v += 997) {
        EXPECT_EQ(all.positions[v * 3], float(v % kSide));
        EXPECT_EQ(all.positions[v * 3 + 1], float(v / kSide));
    }
}

TEST(MeshReader, NodeTransformsPlaceEveryInstanceAndMirrorsKeepTheWinding)
{
    const std::string folder = freshFolder("mesh-reader-nodes");
    // The second placement mirrors x and doubles it, and moves it 5 along y.
    writeText(folder + "/two.gltf", gltfTwoPlacements("-2,0,0,0, 0,1,0,0, 0,0,1,0, 0,5,0,1"));
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(readMesh(folder + "/two.gltf", mesh, hash, problem)) << problem;
    expectSoundMesh(mesh, "two.gltf");
    ASSERT_EQ(mesh.triangleCount, 2);
    EXPECT_NEAR(meshArea(mesh), 0.5 + 1.0, 1e-6);
    const MeshBounds bounds = meshBounds(mesh);
    EXPECT_EQ(bounds.low[0], -2.0);
    EXPECT_EQ(bounds.high[0], 1.0);
    EXPECT_EQ(bounds.high[1], 6.0);
    for (int t = 0; t < 2; ++t) {
        // The winding and the file's normals agree on +z for both placements.
        const int32_t* c = mesh.triangles + t * 3;
        double face[3];
        triangleNormal(mesh.positions + c[0] * 3, mesh.positions + c[1] * 3, mesh.positions + c[2] * 3, face);
        EXPECT_GT(face[2], 0.0) << "triangle " << t;
        const SurfacePoint middle = pointOnTriangle(mesh, t, 1.0 / 3.0, 1.0 / 3.0);
        EXPECT_FLOAT_EQ(middle.normal[2], 1.0f) << "triangle " << t;
    }
}

TEST(MeshReader, BadFilesAreRefusedWithOneLineAndNoMesh)
{
    const std::string folder = freshFolder("mesh-reader-bad");
    writeText(folder + "/empty.obj", "");
    Bytes garbage(4096);
    uint64_t state = 1;
    for (unsigned char& b : garbage) b = static_cast<unsigned char>((state = state * 6364136223846793005ull + 1) >> 56);
    writeBytes(folder + "/garbage.glb", garbage);
    writeText(folder + "/points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\nl 1 2\n");
    writeText(folder + "/nan.obj", "v 0 0 0\nv nan 0 0\nv 0 1 0\nf 1 2 3\n");
    writeText(folder + "/infinite.obj", "v 0 0 0\nv 1e999 0 0\nv 0 1 0\nf 1 2 3\n");
    writeText(folder + "/flat.obj", "v 0 0 0\nv 1 1 1\nv 2 2 2\nv 5 5 5\nf 1 2 3\nf 1 3 4\n");
    writeText(folder + "/text.stl", "this is not a mesh at all\n");
    const std::vector<std::string> bad = {"empty.obj", "garbage.glb", "points.obj", "nan.obj", "infinite.obj",
                                          "flat.obj", "text.stl", "missing.obj", ""};
    for (const std::string& name : bad) {
        const std::string path = folder + "/" + name;
        // A mesh already there, which a refusal must leave alone.
        TriangleMesh mesh;
        MeshWelder welder;
        welder.begin(3, 1, false);
        const float p[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        welder.addTriangle(welder.addVertex(p[0], nullptr, nullptr), welder.addVertex(p[1], nullptr, nullptr),
                           welder.addVertex(p[2], nullptr, nullptr));
        welder.finish(mesh);
        const float* before = mesh.positions;
        uint64_t hash = 77;
        std::string problem;
        EXPECT_FALSE(readMesh(path, mesh, hash, problem)) << path;
        EXPECT_EQ(problem.rfind(path + ": ", 0), 0u) << problem;
        EXPECT_GT(problem.size(), path.size() + 8) << problem;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        EXPECT_EQ(mesh.positions, before) << path;
        EXPECT_EQ(mesh.triangleCount, 1) << path;
        EXPECT_EQ(hash, 77u) << path;
        std::cout << "  " << problem << "\n";
    }
}

// Files whose counts lie, and files that never end, must not take the machine
// with them: each is refused at once, its memory never touched, and the
// process's own limit is as it was.
TEST(MeshReader, LyingCountsAndEndlessFilesAreRefusedWithoutTheirMemory)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer ends the process on an allocation it cannot make instead of throwing";
#endif
    const std::string folder = freshFolder("mesh-reader-lying");
    const std::string pipe = folder + "/endless.obj";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    writeText(folder + "/huge.off", "OFF\n999999999999 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    struct rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
    for (const std::string& path : {kModels + "/invalid/OutOfMemory.off", folder + "/huge.off", pipe}) {
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        const long peakBefore = usage.ru_maxrss;
        TriangleMesh mesh;
        uint64_t hash = 0;
        std::string problem;
        EXPECT_FALSE(readMesh(path, mesh, hash, problem)) << path;
        EXPECT_EQ(problem.rfind(path + ": ", 0), 0u) << problem;
        getrusage(RUSAGE_SELF, &usage);
        EXPECT_LT(usage.ru_maxrss - peakBefore, 256L * 1024) << path << " touched " << usage.ru_maxrss << " KB";
        struct rlimit after;
        ASSERT_EQ(getrlimit(RLIMIT_AS, &after), 0);
        EXPECT_EQ(after.rlim_cur, before.rlim_cur);
        std::cout << "  " << problem << "\n";
    }
    EXPECT_GE(importAllowance(19000000), uint64_t(19000000) * 16) << "room for an honest binary mesh";
    EXPECT_EQ(importAllowance(~uint64_t(0)), ~uint64_t(0));
}

// With no memory left to map, not even for the hash's buffer or a thread's
// stack, a good file is refused in one line: nothing throws or aborts.
TEST(MeshReader, NoMemoryToSpareRefusesTheFile)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer ends the process on an allocation it cannot make instead of throwing";
#endif
    const std::string path = kModels + "/PLY/Wuson.ply";
    // Warm the allocator first, so the test's own small allocations are served.
    std::string problem;
    std::vector<char> room(1 << 16);
    unsigned long long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%llu", &pages), 1);
    std::fclose(statm);
    struct rlimit kept;
    ASSERT_EQ(getrlimit(RLIMIT_AS, &kept), 0);
    struct rlimit tight = kept;
    tight.rlim_cur = rlim_t(pages * uint64_t(sysconf(_SC_PAGESIZE)) + (256u << 10));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    TriangleMesh mesh;
    uint64_t hash = 0;
    bool read = true;
    bool threw = false;
    try {
        read = readMesh(path, mesh, hash, problem);
    } catch (...) {
        threw = true;
    }
    ASSERT_EQ(setrlimit(RLIMIT_AS, &kept), 0);
    EXPECT_FALSE(threw);
    EXPECT_FALSE(read);
    EXPECT_EQ(problem.rfind(path + ": ", 0), 0u) << problem;
    EXPECT_EQ(mesh.triangleCount, 0);
    std::cout << "  " << problem << "\n";
}

// assimp's own checks call a handler that aborts the process; the reader puts
// one in its place that throws, which ReadFile turns into a refused file. A
// check inside the library, called through its public interface, shows that
// the library's calls reach it.
TEST(MeshReader, AssimpsInternalChecksThrowInsteadOfAborting)
{
    const aiMaterialProperty* property = nullptr;
    EXPECT_THROW(aiGetMaterialProperty(nullptr, "?", 0, 0, &property), std::runtime_error);
}

TEST(MeshReader, TheTriangleLimitHoldsAtItsEdge)
{
    const std::string folder = freshFolder("mesh-reader-limit");
    writeText(folder + "/cube.obj", kQuadCube);
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    EXPECT_FALSE(readMesh(folder + "/cube.obj", mesh, hash, problem, 11));
    EXPECT_NE(problem.find("more than 11 triangles"), std::string::npos) << problem;
    EXPECT_EQ(mesh.triangleCount, 0);
    EXPECT_TRUE(readMesh(folder + "/cube.obj", mesh, hash, problem, 12)) << problem;
    EXPECT_EQ(mesh.triangleCount, 12);
}

TEST(MeshReader, AFileThatCannotBeOpenedIsRefused)
{
    const std::string folder = freshFolder("mesh-reader-unreadable");
    const std::string path = folder + "/locked.obj";
    writeText(path, kQuadCube);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    const bool read = readMesh(path, mesh, hash, problem);
    chmod(path.c_str(), 0644);
    if (geteuid() == 0) {
        // Root reads it anyway; a folder is what cannot be read as a file.
        EXPECT_FALSE(readMesh(folder, mesh, hash, problem));
        EXPECT_EQ(problem, folder + ": it is a folder");
        return;
    }
    EXPECT_FALSE(read);
    EXPECT_NE(problem.find("Permission denied"), std::string::npos) << problem;
}

TEST(MeshReader, TheHashKnowsTheSameFileAndRefusesAChangedOne)
{
    // Bytes handed over in pieces of any size hash as the whole does, and the
    // text reads back as the number it was written from.
    Bytes bytes(1000);
    uint64_t state = 5;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>((state = state * 6364136223846793005ull + 1) >> 56);
    for (size_t length : {size_t(0), size_t(1), size_t(31), size_t(32), size_t(33), size_t(999), size_t(1000)}) {
        const uint64_t whole = meshBytesHash(bytes.data(), length);
        for (size_t piece : {size_t(1), size_t(7), size_t(32), size_t(45)}) {
            MeshHash hash;
            for (size_t at = 0; at < length; at += piece) hash.add(bytes.data() + at, std::min(piece, length - at));
            EXPECT_EQ(hash.finish(), whole) << length << " bytes in pieces of " << piece;
        }
        uint64_t back = 0;
        ASSERT_TRUE(parseMeshHash(meshHashText(whole), back));
        EXPECT_EQ(back, whole);
        EXPECT_EQ(meshHashText(whole).size(), 16u);
        // Every byte counts, wherever it is, and so does the length.
        for (size_t at = 0; at < length; at += 13) {
            Bytes changed(bytes.begin(), bytes.begin() + length);
            changed[at] ^= 0x80;
            EXPECT_NE(meshBytesHash(changed.data(), length), whole) << "byte " << at << " of " << length;
        }
        if (length > 0) {
            EXPECT_NE(meshBytesHash(bytes.data(), length - 1), whole) << length;
        }
    }

    const std::string folder = freshFolder("mesh-reader-hash");
    const Bytes original = readBytes(kModels + "/OBJ/spider.obj");
    writeBytes(folder + "/copy.obj", original);
    TriangleMesh mesh;
    uint64_t hash = 0;
    std::string problem;
    ASSERT_TRUE(readMesh(folder + "/copy.obj", mesh, hash, problem)) << problem;
    const std::string identity = meshHashText(hash);
    uint64_t parsed = 0;
    ASSERT_TRUE(parseMeshHash(identity, parsed));
    EXPECT_EQ(parsed, hash);
    EXPECT_TRUE(checkMeshFile(kModels + "/OBJ/spider.obj", identity, problem)) << problem;
    EXPECT_TRUE(checkMeshFile(folder + "/copy.obj", identity, problem)) << problem;

    // One byte changed anywhere, or one byte more, is another mesh.
    for (size_t at : {size_t(0), original.size() / 2, original.size() - 1}) {
        Bytes changed = original;
        changed[at] ^= 1;
        writeBytes(folder + "/changed.obj", changed);
        EXPECT_FALSE(checkMeshFile(folder + "/changed.obj", identity, problem)) << "byte " << at;
        EXPECT_NE(problem.find("has changed"), std::string::npos) << problem;
    }
    Bytes longer = original;
    longer.push_back('\n');
    writeBytes(folder + "/changed.obj", longer);
    EXPECT_FALSE(checkMeshFile(folder + "/changed.obj", identity, problem));
    EXPECT_FALSE(checkMeshFile(folder + "/missing.obj", identity, problem));
    for (const char* text : {"", "0123", "CBF29CE484222325", "cbf29ce48422232g", "cbf29ce4842223250"}) {
        EXPECT_FALSE(parseMeshHash(text, parsed)) << text;
        EXPECT_FALSE(checkMeshFile(folder + "/copy.obj", text, problem)) << text;
    }
}
