#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <FL/gl.h>
#include <GL/glx.h>

#include "BenchFigures.h"
#include "BenchSupport.h"
#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "hair/HairStore.h"
#include "view/DenseHairLines.h"
#include "view/HairView.h"

// The window's redraw of a million children loaded from tressmoor-grow's file
// (5,000 guides x 200 children, 16 points each), against the GL floor: the same
// pass and the same line strips in the same batches and calls, their points and
// normals made before the frame instead of during it. Also the load itself: its
// time, and the memory it takes at its peak and keeps after.

namespace {

using Clock = std::chrono::steady_clock;

long peakKilobytes()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<unsigned char> readFrame(HairView* view)
{
    std::vector<unsigned char> rgb(static_cast<size_t>(view->w()) * view->h() * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, view->w(), view->h(), GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

void BM_DenseRedrawAgainstFloor(benchmark::State& state)
{
    const std::string path = std::string(TRESSMOOR_BENCH_OUTPUT) + "/window-million.hair";
    const std::string grow = std::string(TRESSMOOR_GROW_BINARY) +
                             " --shape sphere --hairs 50 --clusters 10 --parts 16 --children 200"
                             " --out '" + path + "' > /dev/null 2>&1";
    struct stat file;
    if (system(grow.c_str()) != 0 || stat(path.c_str(), &file) != 0) {
        state.SkipWithError("tressmoor-grow failed");
        return;
    }
    HairView* view = shownView();
    HairSettings& settings = *theAppWindow->settings;
    settings.displayMode = DisplayMode::Smooth;

    const size_t heldBefore = mallinfo2().uordblks;
    const long peakBefore = peakKilobytes();
    const Clock::time_point start = Clock::now();
    bool loaded = false;
    {
        QuietStdout quiet;
        loaded = loadHairFile(settings, path);
    }
    const double loadSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double held = static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heldBefore);
    const double peakGrowth = 1024.0 * static_cast<double>(peakKilobytes() - peakBefore);
    if (!loaded || view->childLines == nullptr) {
        state.SkipWithError("the window refused the file");
        return;
    }
    DenseHairLines& lines = *view->childLines;

    // The view's own pass, as it draws it, with the lines prepared beforehand.
    const ViewState camera = {view->zoomFactor, view->rotationX, view->rotationZ,
                              view->translationX, view->translationY};
    const SceneInputs scene = {settings.shape, settings.displayMode, false, false, &hairStore,
                               &underlyingSurface, view->guideTubes};
    const float noOffset[3] = {0.0f, 0.0f, 0.0f};
    const ViewState holding = lines.holdingView(camera, noOffset, scene);
    std::vector<LineBatch> prepared;
    lines.forEachBatch(holding, noOffset,
                       [&prepared](const LineBatch& batch) { prepared.push_back(batch); });
    view->make_current();
    const auto multiDraw = reinterpret_cast<MultiDrawArrays>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glMultiDrawArrays")));
    auto floor = [&]() {
        drawScenePass(holding, scene, {view->context(), false, false, view->w(), view->h()});
        beginStrandLines(holding);
        for (const LineBatch& batch : prepared) {
            drawStrandLines(batch, multiDraw);
        }
        endStrandLines(holding);
    };

    view->draw();
    glFinish();
    const std::vector<unsigned char> redrawFrame = readFrame(view);
    floor();
    glFinish();
    if (readFrame(view) != redrawFrame) {
        state.SkipWithError("the floor draws another frame than the redraw");
        return;
    }

    // Making the lines alone, with nothing drawn: what the redraw adds to the floor's work.
    const Clock::time_point making = Clock::now();
    size_t madePoints = 0;
    lines.forEachBatch(holding, noOffset,
                       [&madePoints](const LineBatch& batch) { madePoints += batch.points.size(); });
    const double makeSeconds = std::chrono::duration<double>(Clock::now() - making).count();

    const AgainstFloor times = timeAgainstFloor(state, [view] { view->draw(); }, floor);
    const double fileBytes = static_cast<double>(file.st_size);
    state.counters["redrawMs"] = median(times.drawSeconds) * 1e3;
    state.counters["floorMs"] = median(times.floorSeconds) * 1e3;
    state.counters["redrawPerFloor"] = median(times.ratios);
    state.counters["makeMs"] = makeSeconds * 1e3;
    state.counters["multiDraw"] = multiDraw != nullptr ? 1.0 : 0.0;
    state.counters["strands"] = static_cast<double>(lines.lineStrandCount());
    state.counters["loadMs"] = loadSeconds * 1e3;
    state.counters["fileMB"] = fileBytes / 1e6;
    state.counters["loadPeakPerFile"] = peakGrowth / fileBytes;
    state.counters["heldPerFile"] = held / fileBytes;
}

}  // namespace

// A redraw of a million lit strips under llvmpipe takes seconds; eight rounds of
// a redraw and a floor.
BENCHMARK(BM_DenseRedrawAgainstFloor)
    ->Name("Window/MillionChildren")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(8);
