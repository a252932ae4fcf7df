#include <cerrno>
#include <cstdio>
#include <cstring>

#include <FL/Fl.H>

#include "TressmoorVersion.h"
#include "app/AppWindow.h"
#include "app/WindowIcon.h"

namespace {

// "tressmoor VERSION" on standard output; 1 when it cannot be written.
int printVersion()
{
    errno = 0;
    std::printf("tressmoor %s\n", kTressmoorVersion);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tressmoor: cannot write to standard output: %s\n",
                     std::strerror(errno != 0 ? errno : EIO));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The window takes no options: --version is answered, the rest of the command
    // line is ignored.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            return printVersion();
        }
    }
    // Each diagnostic line must reach a pipe or log as soon as it is printed.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    useWindowIcon();
    theAppWindow = new AppWindow;
    theAppWindow->show();
    return Fl::run();
}
