#include "BenchSupport.h"

#include <cstdio>

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
