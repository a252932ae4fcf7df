#ifndef TRESSMOOR_BENCH_PROGRAMRUN_H
#define TRESSMOOR_BENCH_PROGRAMRUN_H

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// One run of a real program as a person runs it, with its output thrown away.
struct RunFigures {
    double seconds = 0.0;     // wall time
    double cpuSeconds = 0.0;  // user and system time of the program, all its threads
    long peakKilobytes = 0;
};

// words[0] is the program; false when it did not succeed.
bool runProgram(const std::vector<std::string>& words, RunFigures& figures);

// Each iteration one run of the program writing out, timed by the wall clock from
// start to the flushed file; counters for the points it wrote per second, by wall
// and by its own CPU time, and its peak memory. The figures of the last run.
RunFigures measureRuns(benchmark::State& state, const std::vector<std::string>& words,
                       const std::string& out, double points);

#endif
