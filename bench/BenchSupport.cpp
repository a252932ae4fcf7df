#include "BenchSupport.h"

#include <chrono>
#include <cstdio>

#include <FL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <FL/Fl.H>

#include "app/AppWindow.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

HairRecipe largestHairRecipe(UnderlyingShape shape, HairStyle style)
{
    HairRecipe recipe = defaultRecipe(shape);
    recipe.style = style;
    recipe.clusters = kLargestClusters;
    recipe.hairs = kLargestHairs;
    recipe.parts = kLargestParts;
    return recipe;
}

QuietStdout::QuietStdout()
{
    std::fflush(stdout);
    savedFd = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
}

QuietStdout::~QuietStdout()
{
    std::fflush(stdout);
    dup2(savedFd, STDOUT_FILENO);
    close(savedFd);
}

bool growLargestHair(UnderlyingShape shape, HairStyle style)
{
    QuietStdout quiet;
    return growShapeHair(largestHairRecipe(shape, style), underlyingSurface, hairStore);
}

HairView* shownView()
{
    if (theAppWindow == nullptr) {
        theAppWindow = new AppWindow;
        theAppWindow->show();
    }
    HairView* view = theAppWindow->view;
    view->redraw();
    // Xvfb maps the window after a few round trips; the first pass marks it valid.
    for (int i = 0; i < 1000 && (view->damage() != 0 || !view->valid()); ++i) {
        Fl::wait(0.01);
    }
    view->make_current();
    return view;
}

AgainstFloor timeAgainstFloor(benchmark::State& state, const std::function<void()>& draw,
                              const std::function<void()>& floor)
{
    using Clock = std::chrono::steady_clock;
    AgainstFloor times;
    bool drawFirst = true;
    for (auto _ : state) {
        double seconds[2] = {0.0, 0.0};
        for (int turn = 0; turn < 2; ++turn) {
            const bool isDraw = (turn == 0) == drawFirst;
            const Clock::time_point start = Clock::now();
            if (isDraw) {
                draw();
            } else {
                floor();
            }
            glFinish();
            seconds[isDraw ? 0 : 1] = std::chrono::duration<double>(Clock::now() - start).count();
        }
        state.SetIterationTime(seconds[0]);
        times.drawSeconds.push_back(seconds[0]);
        times.floorSeconds.push_back(seconds[1]);
        times.ratios.push_back(seconds[0] / seconds[1]);
        drawFirst = !drawFirst;
    }
    return times;
}
