#include "ProgramRun.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

bool runProgram(const std::vector<std::string>& words, RunFigures& figures)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    wait4(pid, &status, 0, &usage);
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                         usage.ru_stime.tv_usec * 1e-6;
    figures.peakKilobytes = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

RunFigures measureRuns(benchmark::State& state, const std::vector<std::string>& words,
                       const std::string& out, double points)
{
    RunFigures figures;
    for (auto _ : state) {
        if (!runProgram(words, figures)) {
            state.SkipWithError((words[0] + " failed").c_str());
            break;
        }
        state.SetIterationTime(figures.seconds);
        // The page cache would otherwise hold the last output while the next run writes.
        unlink(out.c_str());
    }
    state.counters["Mpoints/s"] =
        benchmark::Counter(points / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    // On a shared machine the wall time waits for other work; the program's own
    // CPU time does not.
    state.counters["Mpoints/cpu-s"] = points / 1e6 / figures.cpuSeconds;
    state.counters["peakMiB"] = figures.peakKilobytes / 1024.0;
    return figures;
}
