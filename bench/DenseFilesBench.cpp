#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "ProgramRun.h"

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

TRESSMOOR_DENSE_BENCHMARK(AroundToHair, ".hair");
TRESSMOOR_DENSE_BENCHMARK(AroundToUsda, ".usda");
TRESSMOOR_DENSE_BENCHMARK(AroundToObj, ".obj");
TRESSMOOR_DENSE_BENCHMARK(BetweenTaperedToHair, ".hair", "--child-mode", "between", "--tip-width", "0.5");
TRESSMOOR_DENSE_BENCHMARK(BetweenTaperedToUsda, ".usda", "--child-mode", "between", "--tip-width", "0.5");

BENCHMARK_MAIN();
