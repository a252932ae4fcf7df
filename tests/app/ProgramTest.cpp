// Runs the real program in the test's X server and drives it as a person would.
#include <gtest/gtest.h>

// Xlib defines None and Bool as macros, so it comes after the test framework.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class RunningProgram {
public:
    explicit RunningProgram(const char* argument = nullptr)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(TRESSMOOR_BINARY, TRESSMOOR_BINARY, argument, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        output = fds[0];
        fcntl(output, F_SETFL, O_NONBLOCK);
    }

    ~RunningProgram()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (output >= 0) {
            close(output);
        }
    }

    // Exit status, or -1 if the process has not ended within the time.
    int waitForExit(double seconds)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    // Waits for a whole line on the program's standard output while it keeps running.
    std::string readLine(double seconds)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            const size_t newline = pending.find('\n');
            if (newline != std::string::npos) {
                std::string line = pending.substr(0, newline);
                pending.erase(0, newline + 1);
                return line;
            }
            pollfd p = {output, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buffer[256];
                const ssize_t n = read(output, buffer, sizeof buffer);
                if (n > 0) {
                    pending.append(buffer, static_cast<size_t>(n));
                }
            }
        }
        return "<no line>";
    }

    pid_t pid = -1;
    int output = -1;
    bool exited = false;
    std::string pending;
};

class ProgramWindow : public testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "the tests need an X display";
    }

    void TearDown() override
    {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }

    Window findMapped(Window parent, const char* name)
    {
        Window root, parentOut, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) {
            return 0;
        }
        Window found = 0;
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            char* title = nullptr;
            XWindowAttributes attributes;
            if (XFetchName(display, children[i], &title) && title != nullptr) {
                if (std::strcmp(title, name) == 0 && XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable) {
                    found = children[i];
                }
                XFree(title);
            }
            if (found == 0) {
                found = findMapped(children[i], name);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        return found;
    }

    Window waitForWindow(double seconds)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            Window w = findMapped(DefaultRootWindow(display), "Tressmoor");
            if (w != 0) {
                // Let the program finish its first drawing before it is clicked.
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                return w;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }

    void click(Window window, int x, int y)
    {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        const std::string command = "xdotool mousemove " + std::to_string(rootX) + " " +
                                    std::to_string(rootY) + " click 1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // The x of the centre of the menu-bar label drawn in pure magenta: "Exit".
    // Polls, since a busy machine may not have drawn the bar yet.
    int findExitLabel(Window window, double seconds)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        int x = exitLabelNow(window);
        while (x < 0 && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            x = exitLabelNow(window);
        }
        return x;
    }

    int exitLabelNow(Window window)
    {
        XImage* image = XGetImage(display, window, 0, 0, 675, 25, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return -1;
        }
        int first = -1, last = -1;
        for (int x = 0; x < image->width; ++x) {
            for (int y = 0; y < image->height; ++y) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const unsigned red = (pixel >> 16) & 0xff, green = (pixel >> 8) & 0xff, blue = pixel & 0xff;
                if (red > 220 && green < 40 && blue > 220) {
                    if (first < 0) {
                        first = x;
                    }
                    last = x;
                }
            }
        }
        XDestroyImage(image);
        return first < 0 ? -1 : (first + last) / 2;
    }

    void closeByWindowManager(Window window)
    {
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }

    // The window's _NET_WM_ICON: for each picture its width, height and pixels
    // as 0xAARRGGBB, one to a long.
    std::vector<unsigned long> iconProperty(Window window)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0,
                               1 << 20, False, XA_CARDINAL, &type, &format, &count, &remaining,
                               &data) == Success &&
            data != nullptr) {
            // Xlib hands 32-bit items over as longs, sign-extended.
            const long* longs = reinterpret_cast<const long*>(data);
            for (unsigned long i = 0; format == 32 && i < count; ++i) {
                values.push_back(static_cast<unsigned long>(longs[i]) & 0xffffffffUL);
            }
            XFree(data);
        }
        return values;
    }

    Display* display = nullptr;
};

// An icon file's pixels as the window manager's property holds them.
std::vector<unsigned long> iconFilePixels(const std::string& path, int& width, int& height)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> rgba;
    if (png_image_begin_read_from_file(&image, path.c_str()) != 0) {
        image.format = PNG_FORMAT_RGBA;
        rgba.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) == 0) {
            rgba.clear();
        }
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    std::vector<unsigned long> pixels;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        pixels.push_back(static_cast<unsigned long>(rgba[i + 3]) << 24 | rgba[i] << 16 | rgba[i + 1] << 8 |
                         rgba[i + 2]);
    }
    return pixels;
}

}  // namespace

TEST_F(ProgramWindow, MapsItsWindowAndEndsWithStatusZeroWhenClosed)
{
    RunningProgram program;
    ASSERT_GT(program.pid, 0);
    const Window window = waitForWindow(20);
    ASSERT_NE(window, 0u) << "no mapped window titled Tressmoor";
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, 684);
    EXPECT_EQ(attributes.height, 506);

    closeByWindowManager(window);
    EXPECT_EQ(program.waitForExit(10), 0);
}

TEST_F(ProgramWindow, ExitFromTheMenuBarEndsWithStatusOne)
{
    RunningProgram program;
    const Window window = waitForWindow(20);
    ASSERT_NE(window, 0u);
    const int exitX = findExitLabel(window, 10);
    ASSERT_GT(exitX, 0) << "the magenta Exit label is not on the menu bar";
    click(window, exitX, 12);
    EXPECT_EQ(program.waitForExit(10), 1);
}

TEST_F(ProgramWindow, SliderLinesReachAPipeAsTheyHappen)
{
    RunningProgram program;
    const Window window = waitForWindow(20);
    ASSERT_NE(window, 0u);
    // A click near the right end of the length slider moves it to a large value.
    ASSERT_GT(findExitLabel(window, 10), 0) << "the window was never drawn";
    click(window, 475 + 180, 70 + 12);
    const std::string line = program.readLine(10);
    EXPECT_EQ(line.rfind("length = ", 0), 0u) << line;
    EXPECT_EQ(program.waitForExit(0.2), -1) << "the program is still running";
    closeByWindowManager(window);
    EXPECT_EQ(program.waitForExit(10), 0);
}

// --version answers without a display and opens no window; any other argument
// is ignored, as before, and the window opens.
TEST_F(ProgramWindow, AnswersVersionAndIgnoresEveryOtherArgument)
{
    FILE* output = popen("env -u DISPLAY " TRESSMOOR_BINARY " --version", "r");
    ASSERT_NE(output, nullptr);
    std::string printed;
    char buffer[256];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, output)) > 0;) {
        printed.append(buffer, n);
    }
    const int status = pclose(output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(printed, "tressmoor " TRESSMOOR_VERSION "\n");

    RunningProgram program("--geometry");
    const Window window = waitForWindow(20);
    ASSERT_NE(window, 0u) << "the window did not open with an argument it ignores";
    closeByWindowManager(window);
    EXPECT_EQ(program.waitForExit(10), 0);
}

// --help and -h say what the program is, its menus a line each, its companion
// tools and its options, without a display and without opening the window.
TEST_F(ProgramWindow, AnswersHelpWithoutADisplay)
{
    for (const char* arguments : {"--help", "-h", "--ignored --help"}) {
        SCOPED_TRACE(arguments);
        FILE* output = popen((std::string("env -u DISPLAY " TRESSMOOR_BINARY " ") + arguments).c_str(), "r");
        ASSERT_NE(output, nullptr);
        std::string printed;
        char buffer[256];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, output)) > 0;) {
            printed.append(buffer, n);
        }
        const int status = pclose(output);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(printed.rfind("Usage: tressmoor", 0), 0u) << printed;
        EXPECT_NE(printed.find("hair and fur modeller"), std::string::npos) << printed;
        for (const char* menu : {"File", "Under Lying Shape", "Style", "Model", "View", "Exit"}) {
            EXPECT_NE(printed.find(std::string("\n  ") + menu + "  "), std::string::npos)
                << menu << " has no line of its own in:\n" << printed;
        }
        for (const char* tool : {"tressmoor-grow", "tressmoor-render", "tressmoor-convert", "--version"}) {
            EXPECT_NE(printed.find(std::string("\n  ") + tool + " "), std::string::npos)
                << tool << " in:\n" << printed;
        }
        size_t start = 0;
        for (size_t end; (end = printed.find('\n', start)) != std::string::npos; start = end + 1) {
            EXPECT_LE(end - start, 79u) << printed.substr(start, end - start);
        }
    }
}

// The window manager finds the desktop entry's icon on the window, pixel for pixel.
TEST_F(ProgramWindow, CarriesTheProgramsIconInTwoSizes)
{
    RunningProgram program;
    const Window window = waitForWindow(20);
    ASSERT_NE(window, 0u);
    const std::vector<unsigned long> property = iconProperty(window);
    for (int size : {48, 128}) {
        int width = 0, height = 0;
        const std::vector<unsigned long> expected =
            iconFilePixels(TRESSMOOR_ICONS "/icon-" + std::to_string(size) + ".png", width, height);
        ASSERT_EQ(width, size);
        ASSERT_EQ(expected.size(), static_cast<size_t>(size * size));
        bool found = false;
        for (size_t at = 0; at + 2 <= property.size() && !found; at += 2 + property[at] * property[at + 1]) {
            if (property[at] == static_cast<unsigned long>(size) && property[at + 1] == property[at]) {
                const auto first = property.begin() + static_cast<long>(at) + 2;
                found = at + 2 + expected.size() <= property.size() &&
                        std::vector<unsigned long>(first, first + static_cast<long>(expected.size())) == expected;
            }
        }
        EXPECT_TRUE(found) << "no " << size << " x " << size << " icon equal to the file among "
                           << property.size() << " values";
    }
    closeByWindowManager(window);
    EXPECT_EQ(program.waitForExit(10), 0);
}
