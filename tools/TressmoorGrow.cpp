// tressmoor-grow: grows hair with the window's own code and writes it to a file.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/FileIo.h"
#include "formats/HairCodec.h"
#include "formats/HairExport.h"
#include "formats/MeshHair.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/ChildCommandLine.h"
#include "tools/StrandOutput.h"
#include "tools/UnitOption.h"

namespace {

constexpr const char* kProgram = "tressmoor-grow";

std::string helpText()
{
    return "Usage: tressmoor-grow [options] --out FILE\n"
           "\n"
           "Grows hair as the Tressmoor window does and writes its strands' centrelines to\n"
           "FILE: HAIR strands for a name ending in .hair, OBJ polylines for .obj, USD\n"
           "curves for .usda. Each holds the recipe (shape, style and the five settings);\n"
           "Tressmoor reads the .hair file back. With --children, every grown strand is\n"
           "a guide that brings children for renderers, and the file also says how they\n"
           "were made.\n"
           "\n"
           "With --mesh, the hair grows on your own mesh instead of a shape, and every\n"
           "file holds it in the mesh's own coordinates, so that it sits on the mesh\n"
           "wherever the mesh is imported; the recipe names the mesh by its file's hash.\n"
           "Children root on the mesh too, and are written in its coordinates.\n"
           "\n"
           "Options (defaults are the window's):\n" +
           growthOptionsHelp() + meshOptionHelp() + childOptionsHelp() + unitOptionHelp() +
           helpLine("--out FILE", "the file to write (.hair, .obj or .usda); required") +
           helpLine("--help", "show this text") +
           helpLine("--version", "show the program's name and version") +
           "\n"
           "Options take their value as the next argument or after '=' (--hairs=20).\n"
           "Standard output carries the growth's own lines (\"ttotal = 441\" for each\n"
           "growth on a sphere or torus) and a closing summary; standard error carries\n"
           "progress for large hair and any error. Exit status: 0 on success, 2 for a bad\n"
           "option (or children too many for a HAIR file to count, or a mesh that cannot\n"
           "be read), 1 when the file or standard output cannot be written.\n";
}

struct GrowCommand {
    GrowthOptions growth;
    ChildRequest children;
    ExportSettings settings;
    std::string out;
    std::string mesh;
    bool showHelp = false;
    bool showVersion = false;
};

int usageError(const std::string& message)
{
    fprintf(stderr, "%s: %s (try --help)\n", kProgram, message.c_str());
    return kUsageError;
}

// 0 when the options are good, otherwise the exit status.
int parseOptions(int argc, char** argv, GrowCommand& command)
{
    ArgumentReader reader(argc, argv);
    bool haveOut = false;
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
            result = readChildOption(reader, command.children, message);
        }
        if (result == OptionResult::NotMine) {
            result = readUnitOption(reader, command.settings.unit, message);
        }
        if (result == OptionResult::Bad) {
            return usageError(message);
        }
        if (result == OptionResult::Taken) {
            continue;
        }
        if (option == "--mesh") {
            if (!reader.takeValue(command.mesh) || command.mesh.empty()) {
                return usageError("--mesh needs a file name");
            }
            continue;
        }
        if (option != "--out") {
            return usageError("unknown option " + option);
        }
        if (!reader.takeValue(command.out) || command.out.empty()) {
            return usageError("--out needs a file name");
        }
        if (!hasExtension(command.out, ".hair") && !hasExtension(command.out, ".obj") &&
            !hasExtension(command.out, ".usda")) {
            return usageError("--out must name a .hair, .obj or .usda file");
        }
        haveOut = true;
    }
    if (!haveOut) {
        return usageError("--out FILE is required");
    }
    if (!command.mesh.empty()) {
        command.growth.recipe.shape = UnderlyingShape::Mesh;
    }
    // Every strand of a growth has the recipe's parts, and so has every child.
    const HairRecipe& recipe = command.growth.recipe;
    const uint64_t guides = strandTotal(recipe);
    const uint64_t strands = guides * (uint64_t(command.children.output.keepGuides) +
                                       command.children.generation.children);
    std::string problem;
    if (formatForPath(command.out) == HairFileFormat::Hair &&
        !hairCountsFit(strands, strands * uint64_t(recipe.parts), problem)) {
        return usageError(problem);
    }
    return 0;
}

// Every point in the mesh's own units, then the roots' uvs found from those
// points, as tressmoor-convert finds them in the file, so both write one layer.
bool inMeshUnits(HairBytes& hair, const MeshGround& ground, std::vector<float>& rootSt,
                 std::string& problem)
{
    if (!toMeshUnits(hair, ground.fit, problem)) {
        return false;
    }
    rootSt = meshRootSt(hair.strands, ground, true);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    GrowCommand command;
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

    const ToolClock::time_point start = ToolClock::now();
    MeshGround ground;
    std::string problem;
    if (!command.mesh.empty()) {
        if (!loadMeshGround(command.mesh, ground, problem)) {
            fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
            return kUsageError;
        }
        command.growth.recipe.meshHash = ground.seed;
        command.settings.mesh = &ground;
    }
    growRequestedHair(command.growth, underlyingSurface, hairStore, kProgram, &ground);

    // The grown hair is written as its HAIR file would hold it, whatever the
    // format, so that every format reads the same strands.
    HairRecipe recipe = command.growth.recipe;
    HairBytes hair;
    std::vector<float> meshSt;
    if (!adoptStoreLayout(hairStore, recipe, problem) ||
        !storedHairStrands(hairStore, recipe, hair, problem) ||
        (ground.ready() && !inMeshUnits(hair, ground, meshSt, problem))) {
        fprintf(stderr, "%s: cannot write \"%s\": %s\n", kProgram, command.out.c_str(),
                problem.c_str());
        return kWriteError;
    }
    const HairStrands& strands = hair.strands;
    TressmoorStrands own = tressmoorStrandsOf(strands, recipe, underlyingSurface);
    own.growth = command.growth.growth;
    if (ground.ready()) {
        own.rootSt = meshSt;
    }
    const std::optional<StrandStream> made =
        StrandStream::make(strands, recipe.shape, command.children, problem, &ground);
    const HairFileFormat format = formatForPath(command.out);
    if (!made || !canWrite(*made, format, problem)) {
        return usageError(problem);
    }
    const StrandStream& stream = *made;
    if (!writeStrandFile(command.out, stream, own, format, command.settings, kProgram, start, problem)) {
        fprintf(stderr, "%s: cannot write \"%s\": %s\n", kProgram, command.out.c_str(),
                problem.c_str());
        return kWriteError;
    }
    errno = 0;
    printf("%s: wrote %s, %s to %s in %lld ms\n", kProgram,
           countOf(stream.strandCount(), "strand", "strands").c_str(),
           countOf(stream.pointCount(), "point", "points").c_str(), command.out.c_str(),
           millisecondsSince(start));
    return finishStandardOutput(0, kProgram);
}
