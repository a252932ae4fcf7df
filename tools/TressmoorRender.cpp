// tressmoor-render: grows hair with the window's own code and writes a picture
// of what the window's view would show, drawn off screen without a display.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/GrowthCommandLine.h"
#include "tools/PngWriter.h"
#include "tools/RenderCommandLine.h"
#include "view/OffscreenRenderer.h"

namespace {

constexpr const char* kProgram = "tressmoor-render";
constexpr float kFullTurnDegrees = 360.0f;

std::string helpText()
{
    return "Usage: tressmoor-render [options] --image FILE.png\n"
           "\n"
           "Grows hair as the Tressmoor window does and writes a PNG picture of what the\n"
           "window's view shows for it, drawn by the view's own code in an off-screen\n"
           "software GL context: no display is needed.\n"
           "\n"
           "Growth options (defaults are the window's):\n" +
           growthOptionsHelp() +
           "\n"
           "Picture options (defaults are the view's as the window starts):\n" +
           pictureOptionsHelp() + helpLine("--help", "show this text") +
           helpLine("--version", "show the program's name and version") +
           "\n"
           "Options take their value as the next argument or after '=' (--zoom=1.5).\n"
           "Standard output carries the growth's own lines (\"ttotal = 441\" for each\n"
           "growth on a sphere or torus) and one line for each picture written; standard\n"
           "error carries progress for large hair and any error. Exit status: 0 on\n"
           "success, 2 for a bad option, 1 when no picture can be drawn or written.\n";
}

struct RenderCommand {
    GrowthOptions growth;
    PictureOptions picture;
    bool showHelp = false;
    bool showVersion = false;
};

int usageError(const std::string& message)
{
    fprintf(stderr, "%s: %s (try --help)\n", kProgram, message.c_str());
    return kUsageError;
}

// 0 when the options are good, otherwise the exit status.
int parseOptions(int argc, char** argv, RenderCommand& command)
{
    ArgumentReader reader(argc, argv);
    while (reader.next()) {
        const std::string& option = reader.option();
        if (option == "--help" || option == "-h" || option == "--version") {
            if (reader.hasInlineValue()) {
                return usageError("option " + option + " takes no value");
            }
            command.showHelp = option != "--version";
            command.showVersion = !command.showHelp;
            return 0;
        }
        std::string message;
        OptionResult result = readGrowthOption(reader, command.growth, message);
        if (result == OptionResult::NotMine) {
            result = readPictureOption(reader, command.picture, message);
        }
        if (result == OptionResult::Bad) {
            return usageError(message);
        }
        if (result == OptionResult::NotMine) {
            return usageError("unknown option " + option);
        }
    }
    if (command.picture.image.empty()) {
        return usageError("--image FILE.png is required");
    }
    return 0;
}

int cannotDraw(const std::string& problem)
{
    fprintf(stderr, "%s: cannot draw the picture: %s\n", kProgram, problem.c_str());
    return kWriteError;
}

// Every picture of the run, one after another in the same context, as the
// window draws pass after pass; frame k of a turntable turns k / N of a circle.
int drawPictures(const RenderCommand& command, HairStore& store, NurbsSurface& surface,
                 OffscreenRenderer& renderer)
{
    const PictureOptions& picture = command.picture;
    const SceneInputs scene = {command.growth.recipe.shape, picture.displayMode,
                               picture.controlPoints, picture.controlPolygon, &store, &surface};
    const long long strands = static_cast<long long>(strandTotal(command.growth.recipe));
    const int frames = picture.turntable > 0 ? picture.turntable : 1;
    std::vector<unsigned char> rgb;
    for (int frame = 0; frame < frames; ++frame) {
        ViewState view = picture.view;
        view.rotationZ = picture.view.rotationZ + kFullTurnDegrees * frame / frames;
        const std::string path =
            picture.turntable > 0 ? turntableFrameName(picture.image, frame) : picture.image;

        const ToolClock::time_point start = ToolClock::now();
        renderer.render(view, scene, rgb);
        const long long drawn = millisecondsSince(start);
        std::string problem;
        if (!writePngFile(path, renderer.width, renderer.height, rgb.data(), problem)) {
            fprintf(stderr, "%s: cannot write \"%s\": %s\n", kProgram, path.c_str(),
                    problem.c_str());
            return kWriteError;
        }
        errno = 0;
        printf("%s: wrote %s (%d x %d, %s), drawn in %lld ms, saved in %lld ms\n", kProgram,
               path.c_str(), renderer.width, renderer.height,
               countOf(strands, "strand", "strands").c_str(), drawn,
               millisecondsSince(start) - drawn);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    RenderCommand command;
    if (int status = parseOptions(argc, argv, command); status != 0) {
        return status;
    }
    if (command.showHelp) {
        return printHelp(helpText(), kProgram);
    }
    if (command.showVersion) {
        return printVersion(kProgram);
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    OffscreenRenderer renderer;
    std::string problem;
    if (!renderer.open(command.picture.width, command.picture.height, problem)) {
        return cannotDraw(problem);
    }
    if (!growRequestedHair(command.growth, underlyingSurface, hairStore, kProgram)) {
        return cannotDraw("the hair store refused the growth");
    }
    if (int status = drawPictures(command, hairStore, underlyingSurface, renderer); status != 0) {
        return status;
    }
    return finishStandardOutput(0, kProgram);
}
