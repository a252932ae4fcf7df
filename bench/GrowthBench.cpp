#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

// One growth of the largest hair: 100 clusters of 50 strands, 16 parts each,
// every strand set up as a tube with its sample tables.

namespace {

void BM_Grow(benchmark::State& state, UnderlyingShape shape, HairStyle style)
{
    const HairRecipe settings = largestHairRecipe(shape, style);
    if (shape == UnderlyingShape::Sphere) {
        setupSphereSurface(underlyingSurface);
    } else if (shape == UnderlyingShape::Torus) {
        setupTorusSurface(underlyingSurface);
    }
    bool grown = true;
    {
        QuietStdout quiet;
        for (auto _ : state) {
            grown = grown && (shape == UnderlyingShape::Plane
                                  ? growPlaneHair(settings, hairStore)
                                  : growSurfaceHair(settings, underlyingSurface, hairStore));
        }
    }
    if (!grown || hairStore.clusterCount != kLargestClusters * kLargestClusters) {
        state.SkipWithError("the growth was refused");
    }
    state.counters["strands"] = kLargestClusters * kLargestClusters * kLargestHairs;
}

}  // namespace

// Each figure is the median of three repetitions.
#define TRESSMOOR_GROWTH_BENCHMARK(shape, style)                                       \
    BENCHMARK_CAPTURE(BM_Grow, shape##style, UnderlyingShape::shape, HairStyle::style) \
        ->Name("Grow/" #shape "/" #style)                                              \
        ->Unit(benchmark::kMillisecond)                                                \
        ->Repetitions(3)                                                               \
        ->DisplayAggregatesOnly(true)

TRESSMOOR_GROWTH_BENCHMARK(Plane, Messy);
TRESSMOOR_GROWTH_BENCHMARK(Plane, Combed);
TRESSMOOR_GROWTH_BENCHMARK(Sphere, Messy);
TRESSMOOR_GROWTH_BENCHMARK(Sphere, Combed);
TRESSMOOR_GROWTH_BENCHMARK(Torus, Messy);
TRESSMOOR_GROWTH_BENCHMARK(Torus, Combed);
