// A mesh of a million triangles, read as a growth on it will read it, against
// assimp importing the same file with the same post-processing: the median wall
// time of several runs and the peak memory, each run a process of its own.
//
//   tressmoor_mesh_bench [ROUNDS]

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "formats/MeshReader.h"
#include "geometry/TriangleMesh.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "hair/MeshGrowth.h"

namespace {

constexpr int kAround = 1000;
constexpr int kTube = 500;  // 2 x 1000 x 500 = 1,000,000 triangles
constexpr int kClusters = 10;
constexpr int kStrandsPerCluster = 50;
constexpr int kDefaultRounds = 5;
constexpr int kLargestParts = 16;

// The largest hair the sliders allow, on the shape.
HairRecipe largestHair(UnderlyingShape shape)
{
    HairRecipe recipe = defaultRecipe(shape);
    recipe.clusters = kClusters;
    recipe.hairs = kStrandsPerCluster;
    recipe.parts = kLargestParts;
    return recipe;
}

// A closed torus, indexed, as binary little-endian PLY with positions only.
bool writeTorusPly(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file,
                 "ply\nformat binary_little_endian 1.0\nelement vertex %d\nproperty float x\nproperty float y\n"
                 "property float z\nelement face %d\nproperty list uchar int vertex_indices\nend_header\n",
                 kAround * kTube, 2 * kAround * kTube);
    const double pi = 3.14159265358979323846;
    std::vector<float> row(size_t(kTube) * 3);
    for (int i = 0; i < kAround; ++i) {
        const double u = 2.0 * pi * i / kAround;
        for (int j = 0; j < kTube; ++j) {
            const double v = 2.0 * pi * j / kTube;
            const double r = 3.0 + std::cos(v);
            row[size_t(j) * 3] = float(r * std::cos(u));
            row[size_t(j) * 3 + 1] = float(r * std::sin(u));
            row[size_t(j) * 3 + 2] = float(std::sin(v));
        }
        std::fwrite(row.data(), sizeof(float), row.size(), file);
    }
    std::vector<unsigned char> faces;
    for (int i = 0; i < kAround; ++i) {
        for (int j = 0; j < kTube; ++j) {
            const int32_t a = i * kTube + j, b = ((i + 1) % kAround) * kTube + j;
            const int32_t c = ((i + 1) % kAround) * kTube + (j + 1) % kTube, d = i * kTube + (j + 1) % kTube;
            const int32_t corners[2][3] = {{a, b, c}, {a, c, d}};
            for (const auto& t : corners) {
                faces.push_back(3);
                const size_t at = faces.size();
                faces.resize(at + sizeof t);
                std::memcpy(faces.data() + at, t, sizeof t);
            }
        }
        std::fwrite(faces.data(), 1, faces.size(), file);
        faces.clear();
    }
    return std::fclose(file) == 0;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The child's side: one measured piece of work, its time on standard output.
int runChild(const std::string& what, const std::string& path)
{
    auto start = std::chrono::steady_clock::now();
    if (what == "sphere") {
        // The evaluation's "ttotal" line would be read as the timing.
        std::fflush(stdout);
        const int kept = dup(STDOUT_FILENO);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        const bool grown = growShapeHair(largestHair(UnderlyingShape::Sphere), underlyingSurface, hairStore);
        const double seconds = secondsSince(start);
        std::fflush(stdout);
        dup2(kept, STDOUT_FILENO);
        if (!grown) return 1;
        std::printf("%.6f\n", seconds);
        return 0;
    }
    if (what == "ready" || what == "grow" || what == "growth") {
        // The mesh made ready for growth (read, fitted, its tables built), a
        // whole growth on the file, or (growth) the growth alone on the mesh
        // made ready for it.
        TriangleMesh mesh;
        uint64_t hash = 0;
        std::string problem;
        if (!readMesh(path, mesh, hash, problem)) return 1;
        MeshGround ground;
        if (!ground.setup(mesh, hash)) return 1;
        if (what == "growth") start = std::chrono::steady_clock::now();
        if (what != "ready" && !growMeshHair(largestHair(UnderlyingShape::Mesh), ground, hairStore)) return 1;
        std::printf("%.6f\n", secondsSince(start));
        return 0;
    }
    if (what == "import" || what == "import-join") {
        Assimp::Importer importer;
        const unsigned steps = meshImportSteps() | (what == "import-join" ? aiProcess_JoinIdenticalVertices : 0u);
        const aiScene* scene = importer.ReadFile(path, steps);
        if (scene == nullptr || scene->mNumMeshes == 0) return 1;
        importer.FreeScene();
    } else {
        TriangleMesh mesh;
        uint64_t hash = 0;
        std::string problem;
        if (!readMesh(path, mesh, hash, problem)) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        fitMesh(mesh);
    }
    std::printf("%.6f\n", secondsSince(start));
    return 0;
}

struct Run {
    double seconds;
    double peakMegabytes;
};

// One child process running one piece of work; false when it failed.
bool measure(const char* self, const std::string& what, const std::string& path, Run& run)
{
    int out[2];
    if (pipe(out) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(self, self, "--child", what.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char text[64] = {0};
    size_t got = 0;
    ssize_t n;
    while (got < sizeof text - 1 && (n = read(out[0], text + got, sizeof text - 1 - got)) > 0) got += size_t(n);
    close(out[0]);
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return false;
    }
    run.seconds = std::atof(text);
    run.peakMegabytes = usage.ru_maxrss / 1024.0;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return runChild(argv[2], argv[3]);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;

    const std::string folder = TRESSMOOR_BENCH_OUTPUT;
    mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/torus-1m.ply";
    if (!writeTorusPly(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    struct stat info;
    stat(path.c_str(), &info);
    std::printf("%s: %d triangles, %.1f MB, binary PLY\n%s, %d rounds, each run a process of its own\n\n",
                path.c_str(), 2 * kAround * kTube, info.st_size / 1e6, cpuModel().c_str(), rounds);

    const std::vector<std::pair<std::string, std::string>> pieces = {
        {"import", "assimp's import alone (validate, triangulate)"},
        {"import-join", "the same import with assimp's JoinIdenticalVertices"},
        {"read", "readMesh + fitMesh (hash, weld, smooth normals)"},
        {"ready", "that + area table and nearest-point tree: the mesh made ready to grow on"},
        {"grow", "read, fit and grow the largest hair (10x10 clusters, 50 hairs, 16 parts)"},
        {"growth", "the growth alone on the mesh read and made ready"},
        {"sphere", "the same hair grown on the sphere"}};
    // The pieces take turns, so a slow spell of the machine falls on all of them.
    std::vector<std::vector<double>> seconds(pieces.size()), megabytes(pieces.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t p = 0; p < pieces.size(); ++p) {
            Run run;
            if (!measure(argv[0], pieces[p].first, path, run)) {
                std::fprintf(stderr, "the %s run failed\n", pieces[p].first.c_str());
                return 1;
            }
            seconds[p].push_back(run.seconds);
            megabytes[p].push_back(run.peakMegabytes);
        }
    }
    const double importSeconds = median(seconds[0]);
    const double importPeak = median(megabytes[0]);
    std::printf("%-12s %10s %8s %12s %8s   %s\n", "piece", "median s", "x import", "peak MB", "x import", "what");
    for (size_t p = 0; p < pieces.size(); ++p) {
        const double s = median(seconds[p]);
        const double m = median(megabytes[p]);
        std::printf("%-12s %10.3f %8.2f %12.1f %8.2f   %s\n", pieces[p].first.c_str(), s, s / importSeconds, m,
                    m / importPeak, pieces[p].second.c_str());
    }
    return 0;
}
