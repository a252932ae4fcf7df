#ifndef TRESSMOOR_BENCH_BENCHSUPPORT_H
#define TRESSMOOR_BENCH_BENCHSUPPORT_H

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

#endif
