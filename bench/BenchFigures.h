#ifndef TRESSMOOR_BENCH_BENCHFIGURES_H
#define TRESSMOOR_BENCH_BENCHFIGURES_H

#include <string>
#include <vector>

// What the benchmark programs' summaries share.

// The middle value, or the mean of the two middle ones; a round disturbed by
// another process does not move it.
double median(std::vector<double> values);

// The processor's model name, as /proc/cpuinfo gives it.
std::string cpuModel();

#endif
