#include "BenchSupport.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <FL/Fl.H>

#include "app/AppWindow.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "view/HairView.h"

HairSettings largestHairSettings(int shape, int style)
{
    HairSettings settings;
    settings.shape = shape;
    settings.style = style;
    settings.clusters = kLargestClusters;
    settings.hairs = kLargestHairs;
    settings.parts = kLargestParts;
    return settings;
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

bool growLargestHair(int shape, int style)
{
    const HairSettings settings = largestHairSettings(shape, style);
    QuietStdout quiet;
    if (shape == Plane) {
        return growPlaneHair(settings);
    }
    if (shape == Sphere) {
        setupSphereSurface();
    } else {
        setupTorusSurface();
    }
    return growSurfaceHair(settings);
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
