#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"
#include "formats/FileIo.h"
#include "formats/HairCodec.h"

// tressmoor-grow run as a person runs it for a renderer: the largest hair the
// window grows (10 x 10 clusters of 50 strands of 16 parts on the sphere, 5,000
// guides) with 200 children a guide, 1,005,000 strands and 16,080,000 points,
// from the growth to the file flushed to disk. Wall time, points per second by
// wall and by the program's CPU time (every thread of it), and peak memory.

namespace {

constexpr double kPoints = 5000.0 * 201 * 16;

std::string benchFile(const std::string& name)
{
    static const bool made = mkdir(TRESSMOOR_BENCH_OUTPUT, 0755) == 0 || errno == EEXIST;
    (void)made;
    return std::string(TRESSMOOR_BENCH_OUTPUT) + "/" + name;
}

void BM_DenseHair(benchmark::State& state, const char* extension, std::vector<std::string> options)
{
    const std::string out = benchFile(std::string("dense") + extension);
    std::vector<std::string> words = {TRESSMOOR_GROW_BINARY, "--shape", "sphere", "--hairs", "50",
                                      "--clusters", "10", "--parts", "16", "--children", "200"};
    words.insert(words.end(), options.begin(), options.end());
    words.insert(words.end(), {"--out", out});
    measureRuns(state, words, out, kPoints);
}

bool writeAll(int fd, const std::vector<char>& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// The least any text format of these points can take: every float as its
// shortest round-trip text with one separator, on every core, written in order
// and flushed to disk. The points are those of the .hair file the same hair
// makes, read before the clock starts.
void BM_TextFloor(benchmark::State& state)
{
    const std::string hair = benchFile("floor.hair");
    RunFigures grown;
    if (!runProgram({TRESSMOOR_GROW_BINARY, "--shape", "sphere", "--hairs", "50", "--clusters", "10",
                     "--parts", "16", "--children", "200", "--out", hair},
                    grown)) {
        state.SkipWithError("tressmoor-grow failed");
        return;
    }
    std::vector<unsigned char> bytes;
    HairStrands strands;
    std::string problem;
    if (!readWholeFile(hair, size_t(1) << 32, bytes, problem, "the benchmark reads") ||
        !decodeHairStrands(bytes.data(), bytes.size(), FLT_MAX, strands, problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    unlink(hair.c_str());
    const uint64_t floats = uint64_t(strands.header.pointCount) * 3;
    std::vector<float> values(floats);
    for (uint64_t n = 0; n < strands.header.pointCount; ++n) {
        for (int a = 0; a < 3; ++a) {
            values[3 * n + a] = strands.coordinate(n, a);
        }
    }
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    const std::string out = benchFile("floor.txt");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::vector<char>> texts(workers);
        auto format = [&](unsigned w) {
            const uint64_t first = floats * w / workers;
            const uint64_t end = floats * (w + 1) / workers;
            std::vector<char>& text = texts[w];
            text.resize((end - first) * 17);
            char* at = text.data();
            for (uint64_t i = first; i < end; ++i) {
                at = std::to_chars(at, at + 16, values[i]).ptr;
                *at++ = ' ';
            }
            text.resize(static_cast<size_t>(at - text.data()));
        };
        std::vector<std::thread> threads;
        for (unsigned w = 1; w < workers; ++w) {
            threads.emplace_back(format, w);
        }
        format(0);
        for (std::thread& thread : threads) {
            thread.join();
        }
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        bool written = fd >= 0;
        for (const std::vector<char>& text : texts) {
            written = written && writeAll(fd, text);
        }
        written = written && fsync(fd) == 0;
        if (fd >= 0) {
            close(fd);
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        unlink(out.c_str());
        if (!written) {
            state.SkipWithError("the floor's file could not be written");
            break;
        }
    }
    state.counters["Mpoints/s"] =
        benchmark::Counter(kPoints / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

// Each figure is the median of three runs.
#define TRESSMOOR_DENSE_BENCHMARK(name, extension, ...)                                   \
    BENCHMARK_CAPTURE(BM_DenseHair, name, extension, std::vector<std::string>{__VA_ARGS__}) \
        ->Name("Dense/" #name)                                                             \
        ->UseManualTime()                                                                  \
        ->Iterations(1)                                                                    \
        ->Repetitions(3)                                                                   \
        ->ReportAggregatesOnly(true)                                                       \
        ->Unit(benchmark::kMillisecond)

BENCHMARK(BM_TextFloor)
    ->Name("Dense/TextFloor")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
TRESSMOOR_DENSE_BENCHMARK(AroundToHair, ".hair");
TRESSMOOR_DENSE_BENCHMARK(AroundToUsda, ".usda");
TRESSMOOR_DENSE_BENCHMARK(AroundToObj, ".obj");
TRESSMOOR_DENSE_BENCHMARK(BetweenTaperedToHair, ".hair", "--child-mode", "between", "--tip-width", "0.5");
TRESSMOOR_DENSE_BENCHMARK(BetweenTaperedToUsda, ".usda", "--child-mode", "between", "--tip-width", "0.5");

BENCHMARK_MAIN();
