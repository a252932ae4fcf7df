#include <cstdio>

#include <FL/Fl.H>

#include "app/AppWindow.h"

int main()
{
    // Each diagnostic line must reach a pipe or log as soon as it is printed.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    theAppWindow = new AppWindow;
    theAppWindow->show();
    return Fl::run();
}
