#ifndef TRESSMOOR_GEOMETRY_BOTHCORES_H
#define TRESSMOOR_GEOMETRY_BOTHCORES_H

#include <functional>

// Fewer items of work than this (vertices, triangles) are done faster on one
// core than a thread takes to start.
constexpr int kWorthBothCores = 1 << 16;

// Two independent pieces of work at once: the first on a thread of its own,
// the second on the caller's. Where no thread can be started, one after the
// other. An exception from either is thrown again here once both are over.
void runBoth(const std::function<void()>& first, const std::function<void()>& second);

// work(begin, end) over the items 0 to count: in two halves on both cores when
// there are enough items to be worth it, else at once on this one.
void runInHalves(int count, const std::function<void(int, int)>& work);

#endif
