#ifndef TRESSMOOR_BENCH_BENCHSUPPORT_H
#define TRESSMOOR_BENCH_BENCHSUPPORT_H

#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

#include "hair/HairRecipe.h"

class HairView;

// The largest hair the sliders allow: 10 x 10 clusters of 50 strands of 16 parts.
constexpr int kLargestClusters = 10;
constexpr int kLargestHairs = 50;
constexpr int kLargestParts = 16;

HairRecipe largestHairRecipe(UnderlyingShape shape, HairStyle style);

// Standard output goes to /dev/null while it lives: every surface growth prints
// its sample count, which would bury the benchmark's own table.
class QuietStdout {
public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int savedFd;
};

// Set up the sphere or torus as its builder does, then grow, into the window's
// surface and store; false if refused.
bool growLargestHair(UnderlyingShape shape, HairStyle style);

// The main window, shown and drawn once, with the view's GL context current.
HairView* shownView();

// A drawing timed against its floor, each round both in turn, each until
// glFinish, the one first changing every round so that neither always finds
// the caches the other left. The drawing's time is the iteration's.
struct AgainstFloor {
    std::vector<double> drawSeconds;
    std::vector<double> floorSeconds;
    std::vector<double> ratios;  // drawing over floor, per round
};
AgainstFloor timeAgainstFloor(benchmark::State& state, const std::function<void()>& draw,
                              const std::function<void()>& floor);

#endif
