#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <FL/Fl.H>

#include "TressmoorVersion.h"
#include "app/AppWindow.h"
#include "app/ProgramText.h"
#include "app/WindowIcon.h"

namespace {

// The text on standard output; 1 when it cannot be written.
int printText(const std::string& text)
{
    errno = 0;
    std::fputs(text.c_str(), stdout);
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
    // The window takes no options: --help and --version are answered without a
    // display, the rest of the command line is ignored.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return printText(programHelp());
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            return printText(std::string("tressmoor ") + kTressmoorVersion + "\n");
        }
    }
    // Each diagnostic line must reach a pipe or log as soon as it is printed.
    setvbuf(stdout, nullptr, _IOLBF, 0);

    useWindowIcon();
    theAppWindow = new AppWindow;
    theAppWindow->show();
    return Fl::run();
}
