// tressmoor-render: grows hair with the window's own code, or reads a hair file,
// and writes a picture of what the window's view would show, drawn off screen
// without a display; children and another program's strands as lit lines.
#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "formats/MeshHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/ChildStrands.h"
#include "hair/HairStore.h"
#include "tools/ChildCommandLine.h"
#include "tools/GrowthCommandLine.h"
#include "tools/PictureHair.h"
#include "tools/PngWriter.h"
#include "tools/RenderCommandLine.h"
#include "tools/UnitOption.h"
#include "view/DenseHairLines.h"
#include "view/OffscreenRenderer.h"
#include "view/StrandFraming.h"

namespace {

constexpr const char* kProgram = "tressmoor-render";
constexpr float kFullTurnDegrees = 360.0f;

std::string helpText()
{
    return "Usage: tressmoor-render [options] --image FILE.png\n"
           "\n"
           "Grows hair as the Tressmoor window does, or reads it from a HAIR file, and\n"
           "writes a PNG picture of what the window's view shows for it, drawn by the\n"
           "view's own code in an off-screen software GL context: no display is needed.\n"
           "\n"
           "Growth options (defaults are the window's):\n" +
           growthOptionsHelp() + meshOptionHelp() +
           "\n"
           "Hair file, instead of growing:\n" +
           helpLine("--hair FILE", "draw the strands of a HAIR file: Tressmoor's") +
           helpLine("", "own on their shape as the window shows them,") +
           helpLine("", "with children as the options in the file (or") +
           helpLine("", "those given) make them,") +
           helpLine("", "another program's as lit lines fitted into the") +
           helpLine("", "picture, which --zoom and --translate then act") +
           helpLine("", "on; takes no growth option but --mesh FILE,") +
           helpLine("", "which hair grown on a mesh needs: the mesh it") +
           helpLine("", "grew on, checked against the hash the file") +
           helpLine("", "names, the picture then that of --mesh with") +
           helpLine("", "the same growth") +
           "\n"
           "Child strands, drawn as lit lines after the hair (widths are taken but every\n"
           "line is one pixel wide):\n" +
           childOptionsHelp() +
           "\n"
           "Picture options (defaults are the view's as the window starts):\n" +
           pictureOptionsHelp() + unitOptionHelp() +
           helpLine("", "(taken as the other tools take it; a picture") +
           helpLine("", "is the same in every unit)") + helpLine("--help", "show this text") +
           helpLine("--version", "show the program's name and version") +
           "\n"
           "Options take their value as the next argument or after '=' (--zoom=1.5).\n"
           "Standard output carries the growth's own lines (\"ttotal = 441\" for each\n"
           "growth on a sphere or torus) and one line for each picture written; standard\n"
           "error carries progress for large hair and any error. Exit status: 0 on\n"
           "success, 2 for a bad option (a --mesh that cannot be read, or is not the\n"
           "mesh the hair file grew on), 1 when the hair file is refused (hair grown on\n"
           "a mesh without --mesh too) or no picture can be drawn or written.\n";
}

struct RenderCommand {
    GrowthOptions growth;
    PictureOptions picture;
    ChildRequest children;
    LengthUnit unit = kDefaultLengthUnit;
    std::string hairFile;
    std::string mesh;
    std::string growthOption;  // the first growth option given, which --hair does not take
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
        if (option == "--mesh") {
            if (!reader.takeValue(command.mesh) || command.mesh.empty()) {
                return usageError("--mesh needs a file name");
            }
            continue;
        }
        if (option == "--hair") {
            if (!reader.takeValue(command.hairFile) || command.hairFile.empty()) {
                return usageError("--hair needs a file name");
            }
            continue;
        }
        std::string message;
        OptionResult result = readGrowthOption(reader, command.growth, message);
        if (result == OptionResult::Taken && command.growthOption.empty()) {
            command.growthOption = option;
        }
        if (result == OptionResult::NotMine) {
            result = readPictureOption(reader, command.picture, message);
        }
        if (result == OptionResult::NotMine) {
            result = readChildOption(reader, command.children, message);
        }
        if (result == OptionResult::NotMine) {
            result = readUnitOption(reader, command.unit, message);
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
    if (!command.hairFile.empty() && !command.growthOption.empty()) {
        return usageError(command.growthOption + " does not go with --hair: the file holds the hair");
    }
    if (!command.mesh.empty()) {
        command.growth.recipe.shape = UnderlyingShape::Mesh;
    }
    return 0;
}

int cannotDraw(const std::string& problem)
{
    fprintf(stderr, "%s: cannot draw the picture: %s\n", kProgram, problem.c_str());
    return kWriteError;
}

// How every frame is drawn: the user's view, turned for a turntable, and for
// another program's strands fitted to them, which moves them too. A turntable
// keeps one zoom, the least that fits every frame, so the strands do not swell
// and shrink as they turn.
struct FrameView {
    ViewState view;
    float offset[3] = {0.0f, 0.0f, 0.0f};
};

std::vector<FrameView> frameViews(const PictureOptions& picture, const PictureHair& hair,
                                  float reach)
{
    const int frames = picture.turntable > 0 ? picture.turntable : 1;
    std::vector<FrameView> views(frames);
    for (int frame = 0; frame < frames; ++frame) {
        views[frame].view = picture.view;
        views[frame].view.rotationZ = picture.view.rotationZ + kFullTurnDegrees * frame / frames;
    }
    if (!hair.foreign) {
        return views;
    }
    double zoom = kLargestFittingZoom;
    for (FrameView& frame : views) {
        const StrandFit fit = fitStrands(turnedBounds(hair.guides, frame.view), frame.view, reach);
        std::copy(fit.offset, fit.offset + 3, frame.offset);
        zoom = std::min(zoom, fit.zoom);
    }
    for (FrameView& frame : views) {
        frame.view = framedView(frame.view, zoom);
    }
    return views;
}

// Every picture of the run, one after another in the same context, as the
// window draws pass after pass; frame k of a turntable turns k / N of a circle.
int drawPictures(const RenderCommand& command, const PictureHair& hair, HairStore& store,
                 NurbsSurface& surface, OffscreenRenderer& renderer)
{
    const PictureOptions& picture = command.picture;
    const ChildOptions& childOptions = command.children.generation;
    const bool keepGuides = command.children.output.keepGuides;
    // Without the guides the pass draws the shape alone.
    const SceneInputs scene = {hair.shape, picture.displayMode, picture.controlPoints,
                               picture.controlPolygon, hair.foreign ? nullptr : &store,
                               &surface, keepGuides, hair.mesh};

    std::optional<DenseHairLines> lines;
    if (hair.foreign || childOptions.children > 0) {
        std::string problem;
        lines = DenseHairLines::make(hair.guides, hair.shape, childOptions,
                                     hair.foreign && keepGuides, problem, hair.ground);
        if (!lines) {
            if (!hair.foreign) {
                return cannotDraw(problem);
            }
            if (childOptions.mode == ChildMode::Between) {
                problem += " (it is another program's file, which names none)";
            }
            return refuseHairFile(kProgram, command.hairFile, problem);
        }
    }
    const uint64_t tubes = keepGuides ? hair.tubes : 0;
    const unsigned long long strands = tubes + (lines ? lines->lineStrandCount() : 0);

    const std::vector<FrameView> views =
        frameViews(picture, hair, lines ? lines->childReach() : 0.0f);
    std::vector<unsigned char> rgb;
    for (size_t frame = 0; frame < views.size(); ++frame) {
        const std::string path = picture.turntable > 0
                                     ? turntableFrameName(picture.image, static_cast<int>(frame))
                                     : picture.image;
        const ToolClock::time_point start = ToolClock::now();
        ViewState view = views[frame].view;
        if (lines) {
            view = lines->holdingView(view, views[frame].offset, scene);
        }
        renderer.drawPass(view, scene);
        if (lines) {
            lines->draw(view, views[frame].offset, renderer.multiDrawArrays(),
                        picture.displayMode == DisplayMode::Texture);
        }
        renderer.finishFrame(rgb);
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
    PictureHair hair;
    MeshGround ground;
    if (!command.mesh.empty() && !loadMeshGround(command.mesh, ground, problem)) {
        fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
        return kUsageError;
    }
    const MeshGround* mesh = command.mesh.empty() ? nullptr : &ground;
    if (!command.hairFile.empty()) {
        if (int status = readHairFile(command.hairFile, kProgram, underlyingSurface, hairStore, hair, mesh);
            status != 0) {
            return status;
        }
    } else {
        hair.mesh = mesh == nullptr ? nullptr : &ground.mesh;
        hair.ground = mesh;
        const HairRecipe& recipe = command.growth.recipe;
        // Hair on a mesh is drawn as its file gives it back, so that drawing
        // the file with --hair draws the same picture.
        if (!growRequestedHair(command.growth, underlyingSurface, hairStore, kProgram, &ground)) {
            return cannotDraw("the hair store refused the growth");
        }
        if (mesh != nullptr && !holdAsFiled(hairStore, underlyingSurface, recipe, ground.fit, problem)) {
            return cannotDraw(problem);
        }
        hair.shape = recipe.shape;
        hair.tubes = strandTotal(recipe);
        if (command.children.generation.children > 0 &&
            !guidesOfGrownHair(recipe, hairStore, hair, problem)) {
            return cannotDraw(problem);
        }
    }
    if (hair.fileChildren && !makesDenseFile(command.children)) {
        command.children = *hair.fileChildren;
    }
    if (int status = drawPictures(command, hair, hairStore, underlyingSurface, renderer);
        status != 0) {
        return status;
    }
    return finishStandardOutput(0, kProgram);
}
