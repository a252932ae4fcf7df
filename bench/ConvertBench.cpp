#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "formats/ByteCodec.h"
#include "formats/HairCodec.h"

// tressmoor-convert run as a person runs it, on a HAIR file of 200,000 strands of
// 50 points (10 million points, 120 MB), once for each output format and once
// more to USD from a file with every optional array. Wall time per run, points
// per second (by wall and by the program's CPU time) and the run's peak resident
// memory against the input's size.

namespace {

constexpr uint32_t kStrands = 200000;
constexpr uint32_t kPointsPerStrand = 50;
constexpr uint32_t kPoints = kStrands * kPointsPerStrand;

std::string benchFile(const std::string& name)
{
    static const bool made = mkdir(TRESSMOOR_BENCH_OUTPUT, 0755) == 0 || errno == EEXIST;
    (void)made;
    return std::string(TRESSMOOR_BENCH_OUTPUT) + "/" + name;
}

void appendFloatArray(std::vector<unsigned char>& out, std::vector<float>& values, FILE* file)
{
    out.clear();
    for (float value : values) {
        appendF32(out, value);
    }
    fwrite(out.data(), 1, out.size(), file);
    values.clear();
}

// Random-walk strands with full-precision coordinates, like grown hair of another
// program: roots anywhere in a 200-unit cube, steps of up to a unit per axis.
// Written once per set of arrays and kept for later runs.
std::string syntheticHairFile(bool everyArray)
{
    const std::string path = benchFile(everyArray ? "every-array.hair" : "points-only.hair");
    HairHeader header;
    header.strandCount = kStrands;
    header.pointCount = kPoints;
    header.flags = kHairHasSegments | kHairHasPoints |
                   (everyArray ? kHairHasThickness | kHairHasTransparency | kHairHasColour : 0);
    header.defaultSegments = kPointsPerStrand - 1;
    header.defaultThickness = 1.5f;
    header.defaultColour[0] = 0.6f;
    header.info = "synthetic benchmark hair";
    std::vector<unsigned char> bytes;
    appendHairHeader(bytes, header);
    const uint64_t expected = bytes.size() + 2ull * kStrands +
                              (everyArray ? 32ull : 12ull) * kPoints;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && uint64_t(existing.st_size) == expected) {
        return path;
    }

    FILE* file = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    for (uint32_t s = 0; s < kStrands; ++s) {
        const uint16_t segments = kPointsPerStrand - 1;
        const unsigned char raw[2] = {static_cast<unsigned char>(segments), 0};
        fwrite(raw, 1, 2, file);
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<float> root(-100.0f, 100.0f), step(-1.0f, 1.0f), unit(0.0f, 1.0f);
    std::vector<float> values;
    for (uint32_t s = 0; s < kStrands; ++s) {
        float p[3] = {root(random), root(random), root(random)};
        for (uint32_t k = 0; k < kPointsPerStrand; ++k) {
            for (float& c : p) {
                c += step(random);
                values.push_back(c);
            }
        }
        if (values.size() >= (1u << 20)) {
            appendFloatArray(bytes, values, file);
        }
    }
    appendFloatArray(bytes, values, file);
    const int perPoint[] = {1, 1, 3};
    for (int array = 0; everyArray && array < 3; ++array) {
        for (uint32_t n = 0; n < kPoints * perPoint[array]; ++n) {
            values.push_back(unit(random));
            if (values.size() >= (1u << 20)) {
                appendFloatArray(bytes, values, file);
            }
        }
        appendFloatArray(bytes, values, file);
    }
    fclose(file);
    return path;
}

void BM_Convert(benchmark::State& state, bool everyArray, const char* extension)
{
    const std::string in = syntheticHairFile(everyArray);
    const std::string out = benchFile(std::string("converted") + extension);
    struct stat input;
    stat(in.c_str(), &input);
    const RunFigures figures = measureRuns(state, {TRESSMOOR_CONVERT_BINARY, in, out}, out, kPoints);
    state.counters["inputMiB"] = input.st_size / (1024.0 * 1024.0);
    state.counters["peak/input"] = figures.peakKilobytes * 1024.0 / input.st_size;
}

}  // namespace

// Each figure is the median of three runs, in wall time: the conversion's own
// reading, writing and flushing to disk.
#define TRESSMOOR_CONVERT_BENCHMARK(name, everyArray, extension)                           \
    BENCHMARK_CAPTURE(BM_Convert, name, everyArray, extension)                             \
        ->Name("Convert/" #name)                                                           \
        ->UseManualTime()                                                                  \
        ->Iterations(1)                                                                    \
        ->Repetitions(3)                                                                   \
        ->ReportAggregatesOnly(true)                                                       \
        ->Unit(benchmark::kMillisecond)

TRESSMOOR_CONVERT_BENCHMARK(PointsToUsda, false, ".usda");
TRESSMOOR_CONVERT_BENCHMARK(PointsToObj, false, ".obj");
TRESSMOOR_CONVERT_BENCHMARK(PointsToHair, false, ".hair");
TRESSMOOR_CONVERT_BENCHMARK(EveryArrayToUsda, true, ".usda");

BENCHMARK_MAIN();
