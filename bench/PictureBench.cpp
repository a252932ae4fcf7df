#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include <GL/gl.h>

#include "BenchFigures.h"
#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "view/DenseHairLines.h"
#include "view/OffscreenRenderer.h"

// tressmoor-render's picture of a million children: the largest hair on the
// sphere (5,000 guides of 16 points) with 200 children each, 800 x 800, in an
// OSMesa context as the program draws it. Beside it, in the same context, the
// GL floor: the same pass and the same line strips in the same batches and
// calls, their points and normals made before the frame instead of during it.
// The difference is what making the children costs the picture.

namespace {

constexpr int kPictureSide = 800;
constexpr uint32_t kChildrenPerGuide = 200;
constexpr int kRounds = 8;

using Clock = std::chrono::steady_clock;

double processCpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::string loadAverage()
{
    std::ifstream loadavg("/proc/loadavg");
    std::string one, five, fifteen;
    loadavg >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// What the summary prints after the table.
struct PictureFigures {
    bool measured = false;
    double pictureMs = 0.0;
    double floorMs = 0.0;
    double passMs = 0.0;
    double ratio = 0.0;
    double pictureCpuMs = 0.0;
    double floorCpuMs = 0.0;
    double points = 0.0;
    double strands = 0.0;
    std::string renderer;
    bool multiDraw = false;
};

PictureFigures figures;

struct Round {
    double wall;
    double cpu;
};

template <typename Draw>
Round timed(Draw draw)
{
    const double cpu = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    draw();
    return {std::chrono::duration<double>(Clock::now() - start).count(), processCpuSeconds() - cpu};
}

// The guides as tressmoor-render takes them from grown hair: through the bytes
// of the HAIR file that holds it.
bool growGuides(HairBytes& hair, std::string& problem)
{
    HairRecipe recipe = defaultRecipe(UnderlyingShape::Sphere);
    recipe.clusters = kClustersRange.maximum;
    recipe.hairs = kHairsRange.maximum;
    recipe.parts = kPartsRange.maximum;
    if (!growShapeHair(recipe, underlyingSurface, hairStore)) {
        problem = "the growth was refused";
        return false;
    }
    return storedHairStrands(hairStore, recipe, hair, problem);
}

void BM_PictureAgainstFloor(benchmark::State& state)
{
    OffscreenRenderer renderer;
    HairBytes hair;
    std::string problem;
    if (!renderer.open(kPictureSide, kPictureSide, problem) || !growGuides(hair, problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    ChildOptions options;
    options.children = kChildrenPerGuide;
    std::optional<DenseHairLines> lines = DenseHairLines::make(
        guideStrandsOf(hair.strands), UnderlyingShape::Sphere, options, false, problem);
    if (!lines) {
        state.SkipWithError(problem.c_str());
        return;
    }
    const float noOffset[3] = {0.0f, 0.0f, 0.0f};
    const SceneInputs scene = {UnderlyingShape::Sphere, DisplayMode::Smooth, false, false,
                               &hairStore, &underlyingSurface, true};
    const ViewState view = lines->holdingView(ViewState(), noOffset, scene);
    const MultiDrawArrays multiDraw = renderer.multiDrawArrays();

    std::vector<LineBatch> prepared;
    lines->forEachBatch(view, noOffset, [&prepared](const LineBatch& batch) { prepared.push_back(batch); });

    std::vector<unsigned char> frame;
    auto picture = [&]() {
        renderer.drawPass(view, scene);
        lines->draw(view, noOffset, multiDraw);
        renderer.finishFrame(frame);
    };
    auto floor = [&]() {
        renderer.drawPass(view, scene);
        beginStrandLines(view);
        for (const LineBatch& batch : prepared) {
            drawStrandLines(batch, multiDraw);
        }
        endStrandLines(view);
        renderer.finishFrame(frame);
    };
    auto passAlone = [&]() {
        renderer.drawPass(view, scene);
        renderer.finishFrame(frame);
    };

    // The floor must draw exactly the picture.
    picture();
    const std::vector<unsigned char> pictureFrame = frame;
    floor();
    if (frame != pictureFrame) {
        state.SkipWithError("the floor draws another frame than the picture");
        return;
    }

    // The picture and the floor take turns, each first in every other round, so
    // that a change in the machine's load falls on both alike; the pass alone
    // closes each round. The figures are medians over the rounds.
    std::vector<double> pictureWall, pictureCpu, floorWall, floorCpu, passWall, ratios;
    bool pictureFirst = true;
    for (auto _ : state) {
        Round rounds[2];
        for (int turn = 0; turn < 2; ++turn) {
            const bool isPicture = (turn == 0) == pictureFirst;
            rounds[isPicture ? 0 : 1] = isPicture ? timed(picture) : timed(floor);
        }
        passWall.push_back(timed(passAlone).wall);
        state.SetIterationTime(rounds[0].wall);
        pictureWall.push_back(rounds[0].wall);
        pictureCpu.push_back(rounds[0].cpu);
        floorWall.push_back(rounds[1].wall);
        floorCpu.push_back(rounds[1].cpu);
        ratios.push_back(rounds[0].wall / rounds[1].wall);
        pictureFirst = !pictureFirst;
    }
    figures.measured = true;
    figures.pictureMs = median(pictureWall) * 1e3;
    figures.pictureCpuMs = median(pictureCpu) * 1e3;
    figures.floorMs = median(floorWall) * 1e3;
    figures.floorCpuMs = median(floorCpu) * 1e3;
    figures.passMs = median(passWall) * 1e3;
    figures.ratio = median(ratios);
    figures.points = static_cast<double>(lines->linePointCount());
    figures.strands = static_cast<double>(lines->lineStrandCount());
    const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    figures.renderer = name != nullptr ? name : "unknown";
    figures.multiDraw = multiDraw != nullptr;

    state.counters["pictureMs"] = figures.pictureMs;
    state.counters["floorMs"] = figures.floorMs;
    state.counters["passMs"] = figures.passMs;
    state.counters["pictureFloor"] = figures.ratio;
    state.counters["childPoints"] = figures.points;
}

void printSummary()
{
    std::printf("\nSummary (medians of %d rounds), load average at the end: %s\n", kRounds,
                loadAverage().c_str());
    std::printf("  CPU: %s, %ld cores\n  GL_RENDERER: %s (OSMesa), glMultiDrawArrays: %s\n",
                cpuModel().c_str(), sysconf(_SC_NPROCESSORS_ONLN), figures.renderer.c_str(),
                figures.multiDraw ? "yes" : "no");
    if (!figures.measured) {
        std::printf("  not measured\n");
        return;
    }
    std::printf("%.0f children of 16 points on 5000 guides on the sphere, %d x %d, wall time "
                "(target: picture / floor <= 1.25)\n",
                figures.strands, kPictureSide, kPictureSide);
    std::printf("  picture %8.1f ms   GL floor %8.1f ms   median picture / floor %5.3f\n",
                figures.pictureMs, figures.floorMs, figures.ratio);
    std::printf("  of which the draw pass of the sphere and the guides' tubes: %.1f ms\n",
                figures.passMs);
    std::printf("  child points per second: %.2f M by wall, %.2f M by CPU time (%.1f ms CPU; "
                "floor %.1f ms CPU)\n",
                figures.points / figures.pictureMs * 1e-3, figures.points / figures.pictureCpuMs * 1e-3,
                figures.pictureCpuMs, figures.floorCpuMs);
}

}  // namespace

// A round draws the picture, the floor and the pass alone, about ten seconds.
BENCHMARK(BM_PictureAgainstFloor)
    ->Name("Picture/MillionChildren")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(kRounds);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
