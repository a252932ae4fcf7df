#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

#include <FL/gl.h>

#include "BenchFigures.h"
#include "BenchSupport.h"

// Runs every benchmark, then prints the figures the way they are compared:
// ns per grid sample against GLU, ms per growth, ms per pass against the floor.

namespace {

constexpr double kGridSamples = 21.0 * 21.0;

// What each benchmark measured, by name: CPU seconds per iteration and its
// counters. A median of repetitions, when there is one, replaces the single runs.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    struct Figures {
        double cpuSeconds = -1.0;
        std::map<std::string, double> counters;
    };

    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (run.error_occurred || run.iterations == 0) {
                continue;
            }
            Figures figures;
            figures.cpuSeconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            for (const auto& counter : run.counters) {
                figures.counters[counter.first] = counter.second.value;
            }
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") {
                    medians[name] = figures;
                }
            } else {
                singles[name] = figures;
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // The figures of a benchmark, or none (negative time) when it did not run.
    Figures figures(const std::string& name) const
    {
        auto median = medians.find(name);
        if (median != medians.end()) {
            return median->second;
        }
        auto single = singles.find(name);
        return single != singles.end() ? single->second : Figures();
    }

    double seconds(const std::string& name) const { return figures(name).cpuSeconds; }

    double counter(const std::string& name, const std::string& counter) const
    {
        const Figures f = figures(name);
        auto found = f.counters.find(counter);
        return found != f.counters.end() ? found->second : -1.0;
    }

private:
    std::map<std::string, Figures> singles;
    std::map<std::string, Figures> medians;
};

void printEvaluation(const SummaryReporter& r, const char* label, const std::string& name)
{
    const double ours = r.seconds(name);
    const double glu = r.seconds(name + "/GLU");
    if (ours <= 0.0 || glu <= 0.0) {
        std::printf("  %-16s not measured\n", label);
        return;
    }
    std::printf("  %-16s ours %7.2f ns   GLU %7.2f ns   GLU / ours %6.2f\n", label,
                ours * 1e9 / kGridSamples, glu * 1e9 / kGridSamples, glu / ours);
}

void printSummary(const SummaryReporter& r, const std::string& renderer)
{
    std::printf("\nSummary (medians)\n");
    std::printf("  CPU: %s, %ld cores\n  GL_RENDERER: %s\n", cpuModel().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), renderer.c_str());
    std::printf("Evaluation per sample of the 21 x 21 grid, CPU time (target: GLU / ours >= 12)\n");
    printEvaluation(r, "sphere", "Evaluate/Sphere");
    printEvaluation(r, "16-part strand", "Evaluate/Strand16");
    std::printf("One growth of the largest hair, 5000 strands of 16 parts, CPU time (target: <= 25 ms)\n");
    for (const char* shape : {"Plane", "Sphere", "Torus"}) {
        for (const char* style : {"Messy", "Combed"}) {
            const double s = r.seconds(std::string("Grow/") + shape + "/" + style);
            if (s > 0.0) {
                std::printf("  %-6s %-6s %8.2f ms\n", shape, style, s * 1e3);
            } else {
                std::printf("  %-6s %-6s not measured\n", shape, style);
            }
        }
    }
    std::printf("Draw pass of the largest hair on the sphere, wall time (target: pass / floor <= 1.10)\n");
    const double pass = r.counter("DrawPass/Sphere", "passMs");
    const double floor = r.counter("DrawPass/Sphere", "floorMs");
    const double ratio = r.counter("DrawPass/Sphere", "passPerFloor");
    if (pass > 0.0 && floor > 0.0) {
        std::printf("  pass %8.2f ms   GL-only floor %8.2f ms   median pass / floor %5.3f\n", pass, floor,
                    ratio);
    } else {
        std::printf("  not measured\n");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // The view's context serves the draw passes and is current for GLU too.
    shownView();
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string rendererName = renderer != nullptr ? renderer : "unknown";

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printSummary(reporter, rendererName);
    return 0;
}
