// tressmoor-convert: turns any valid HAIR file into USD curves, OBJ polylines or HAIR.
#include <cerrno>
#include <cfloat>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/DenseHairSource.h"
#include "formats/FileIo.h"
#include "formats/HairCodec.h"
#include "formats/HairExport.h"
#include "formats/HairFile.h"
#include "formats/MeshHair.h"
#include "formats/MeshReader.h"
#include "formats/OutputBuffer.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/ChildCommandLine.h"
#include "tools/StrandOutput.h"
#include "tools/UnitOption.h"

namespace {

constexpr int kFailure = 1;
constexpr const char* kProgram = "tressmoor-convert";

// The whole input is read into memory once, so this bounds the memory a run
// takes; it is far beyond any hair Tressmoor grows, and leaves room for big
// files of other programs (4 GiB is over 350 million points).
constexpr size_t kMaxInputSize = size_t(4) << 30;

std::string helpText()
{
    return "Usage: tressmoor-convert [options] IN OUT\n"
           "\n"
           "Reads IN, any valid HAIR strand file (Tressmoor's or another program's), and\n"
           "writes its strands, and any children they guide, to OUT by OUT's extension:\n"
           "  .usda   USD curves: one linear BasisCurves prim /hair/strands with widths from\n"
           "          the thickness, primvars:displayColor from the colours and\n"
           "          primvars:displayOpacity from the transparency (per point where IN has\n"
           "          the array, else constant from its header)\n"
           "  .obj    one v line per point and one l line per strand\n"
           "  .hair   HAIR again, with every array IN has; with children or widths, the\n"
           "          points, the widths when they taper, and IN's transparency and colour\n"
           "\n"
           "A file Tressmoor wrote, with or without children, becomes exactly what\n"
           "tressmoor-grow writes for the same hair: children are made again from the\n"
           "guides, grown again from the recipe when the file dropped them, and only when\n"
           "that gives every byte of IN; otherwise a note says why and IN is converted as\n"
           "another program's file. Child options replace the file's own.\n"
           "\n"
           "Every field of IN is checked first; a bad file is refused with one line naming\n"
           "it and the problem, and nothing is written. OUT is replaced only once it is\n"
           "complete and on disk, so a failed conversion keeps an existing OUT. IN may be\n"
           "at most " + std::to_string(kMaxInputSize >> 30) + " GiB; it is read into memory once.\n"
           "\n"
           "Standard output carries a closing summary; standard error carries progress for\n"
           "work of over a second and any error. Exit status: 0 on success, 2 for bad usage,\n"
           "1 when IN is refused (children between guides need Tressmoor's own hair, whose\n"
           "recipe names its shape; a HAIR file counts at most 4294967295 strands and\n"
           "points) or OUT cannot be written.\n"
           "\n"
           "Hair grown on a mesh (tressmoor-grow --mesh) converts as Tressmoor's own; given\n"
           "its mesh, which its recipe names by the file's hash, a USD layer also holds the\n"
           "mesh and each strand's uv at its root. Children are made on that mesh, so\n"
           "children on such hair need --mesh FILE.\n"
           "\n"
           "Options:\n" +
           helpLine("--mesh FILE", "the mesh the hair grew on, checked against its hash") +
           childOptionsHelp() + unitOptionHelp() + helpLine("--help", "show this text") +
           helpLine("--version", "show the program's name and version") +
           helpLine("--", "end of options: the names that follow may begin with '-'") +
           "\n"
           "Options take their value as the next argument or after '=' (--children=50).\n";
}

struct ConvertCommand {
    std::string in;
    std::string out;
    HairFileFormat format = HairFileFormat::Hair;
    ChildRequest children;
    bool childrenGiven = false;  // any child option at all
    LengthUnit unit = kDefaultLengthUnit;
    std::string mesh;
    bool showHelp = false;
    bool showVersion = false;
};

int usageError(const std::string& message)
{
    fprintf(stderr, "%s: %s (try --help)\n", kProgram, message.c_str());
    return kUsageError;
}

// 0 when the arguments are good, otherwise the exit status.
int parseArguments(int argc, char** argv, ConvertCommand& command)
{
    std::vector<std::string> names;
    bool optionsEnded = false;
    ArgumentReader reader(argc, argv);
    while (reader.next()) {
        const std::string& option = reader.option();
        if (optionsEnded || option.size() < 2 || option[0] != '-') {
            names.push_back(reader.whole());
        } else if (option == "--") {
            optionsEnded = true;
        } else if (option == "--help" || option == "-h" || option == "--version") {
            if (reader.hasInlineValue()) {
                return usageError("option " + option + " takes no value");
            }
            (option == "--version" ? command.showVersion : command.showHelp) = true;
            return 0;
        } else if (option == "--mesh") {
            if (!reader.takeValue(command.mesh) || command.mesh.empty()) {
                return usageError("--mesh needs a file name");
            }
        } else {
            std::string message;
            OptionResult result = readChildOption(reader, command.children, message);
            command.childrenGiven = command.childrenGiven || result == OptionResult::Taken;
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
    }
    if (names.size() != 2 || names[0].empty() || names[1].empty()) {
        return usageError("give the HAIR file to read and the file to write: IN OUT");
    }
    command.in = names[0];
    command.out = names[1];
    if (!hasExtension(command.out, ".usda") && !hasExtension(command.out, ".obj") &&
        !hasExtension(command.out, ".hair")) {
        return usageError("OUT must name a .usda, .obj or .hair file");
    }
    command.format = formatForPath(command.out);
    return 0;
}

// What a conversion writes from: the file's strands and what Tressmoor knows of
// them, or, for Tressmoor's own hair with children, its guides, from which the
// children are made again as tressmoor-grow made them.
struct ConvertSource {
    TressmoorStrands own;
    ChildRequest children;
    bool fromGuides = false;
    HairBytes guides;

    const HairStrands& strands(const HairBytes& file) const
    {
        return fromGuides ? guides.strands : file.strands;
    }
};

void note(const ConvertCommand& command, const std::string& what)
{
    fprintf(stderr, "%s: note: \"%s\" %s\n", kProgram, command.in.c_str(), what.c_str());
}

// The roots' coordinates, found on the shape set up as its builder does; roots
// that lie off the shape have none, which is said once.
TressmoorStrands ownStrands(const HairStrands& strands, const HairRecipe& recipe,
                            const ConvertCommand& command, NurbsSurface& surface)
{
    setupShapeSurface(recipe.shape, surface);
    TressmoorStrands own = tressmoorStrandsOf(strands, recipe, surface);
    if (recipe.shape != UnderlyingShape::Mesh && own.rootSt.empty() && strands.header.strandCount > 0 &&
               command.format == HairFileFormat::Usd) {
        note(command, std::string("has roots that do not all lie on its ") + shapeName(recipe.shape) +
                          "'s sample grid; primvars:st is left out");
    }
    return own;
}

void readSource(const HairBytes& file, const ConvertCommand& command, ConvertSource& source,
                const MeshGround& ground)
{
    source.children = command.children;
    HairRecipe recipe;
    bool hasTag = false;
    std::string problem;
    if (readTressmoorRecipe(file.strands, recipe, hasTag, problem)) {
        source.own = ownStrands(file.strands, recipe, command, underlyingSurface);
        return;
    }
    if (hasTag) {
        note(command, "has a Tressmoor recipe that does not fit it (" + problem +
                          "); converting it as another program's file");
        return;
    }
    DenseHairSource dense;
    const GuideGrowth growGuides = [&ground](const HairRecipe& recipe, int growth) {
        GrowthOptions options;
        options.recipe = recipe;
        options.growth = growth;
        return growRequestedHair(options, underlyingSurface, hairStore, kProgram, &ground);
    };
    if (readDenseHairSource(file, hairStore, growGuides, dense, hasTag, problem, &ground)) {
        source.fromGuides = true;
        source.guides = std::move(dense.guides);
        source.own = ownStrands(source.guides.strands, dense.info.recipe, command, underlyingSurface);
        source.own.growth = dense.info.growth;
        if (!command.childrenGiven) {
            source.children = dense.info.request;
        }
    } else if (hasTag) {
        note(command, "is Tressmoor's hair with children, but " + problem +
                          "; converting it as another program's file");
    }
}

// Hair grown on a mesh takes, with its mesh checked by the hash its recipe
// names, the mesh, the roots' uvs and children, which are made on that mesh.
// 0, or the exit status with one line said.
int takeMesh(const ConvertCommand& command, const HairBytes& input, ConvertSource& source,
             const MeshGround& ground, ExportSettings& settings)
{
    const bool onMesh = source.own.known && source.own.recipe.shape == UnderlyingShape::Mesh;
    if (command.mesh.empty()) {
        if (onMesh && source.children.generation.children > 0) {
            return usageError("children on hair grown on a mesh need that mesh (--mesh FILE)");
        }
        if (onMesh && command.format == HairFileFormat::Usd) {
            note(command, "was grown on a mesh; with that mesh given as --mesh FILE, the layer "
                          "also holds the mesh and the roots' uvs");
        }
        return 0;
    }
    if (!onMesh) {
        return usageError("--mesh is for hair grown on a mesh, and \"" + command.in + "\" was not");
    }
    if (ground.seed != source.own.recipe.meshHash) {
        fprintf(stderr, "%s: \"%s\" grew on another mesh than \"%s\" (its mesh's hash is %s, the file's %s)\n",
                kProgram, command.in.c_str(), command.mesh.c_str(),
                meshHashText(source.own.recipe.meshHash).c_str(), meshHashText(ground.seed).c_str());
        return kUsageError;
    }
    source.own.rootSt = meshRootSt(source.strands(input), ground, true);
    settings.mesh = &ground;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    ConvertCommand command;
    if (int status = parseArguments(argc, argv, command); status != 0) {
        return status;
    }
    if (command.showHelp) {
        return printHelp(helpText(), kProgram);
    }
    if (command.showVersion) {
        return printVersion(kProgram);
    }

    const ToolClock::time_point start = ToolClock::now();
    HairBytes input;
    std::string problem;
    if (!readWholeFile(command.in, kMaxInputSize, input.bytes, problem, "tressmoor-convert reads") ||
        !decodeHairStrands(input.bytes.data(), input.bytes.size(), FLT_MAX, input.strands, problem)) {
        fprintf(stderr, "%s: cannot convert \"%s\": %s\n", kProgram, command.in.c_str(),
                problem.c_str());
        return kFailure;
    }
    // The mesh is read first: children of hair on it are made, and checked, on it.
    MeshGround ground;
    if (!command.mesh.empty() && !loadMeshGround(command.mesh, ground, problem)) {
        fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
        return kUsageError;
    }
    ConvertSource source;
    readSource(input, command, source, ground);
    ExportSettings settings;
    if (int status = takeMesh(command, input, source, ground, settings); status != 0) {
        return status;
    }
    const std::optional<StrandStream> made = StrandStream::make(
        source.strands(input), knownShape(source.own), source.children, problem, &ground);
    if (!made || !canWrite(*made, command.format, problem)) {
        fprintf(stderr, "%s: cannot convert \"%s\": %s\n", kProgram, command.in.c_str(),
                problem.c_str());
        return kFailure;
    }
    // Tressmoor's own files are written as tressmoor-grow writes them; another
    // program's carry the display values of their arrays.
    const StrandStream& stream = *made;
    settings.displayPrimvars = !source.own.known;
    settings.unit = command.unit;
    if (!writeStrandFile(command.out, stream, source.own, command.format, settings, kProgram, start,
                         problem)) {
        fprintf(stderr, "%s: cannot write \"%s\": %s\n", kProgram, command.out.c_str(),
                problem.c_str());
        return kFailure;
    }
    errno = 0;
    printf("%s: wrote %s, %s to %s in %lld ms\n", kProgram,
           countOf(stream.strandCount(), "strand", "strands").c_str(),
           countOf(stream.pointCount(), "point", "points").c_str(), command.out.c_str(),
           millisecondsSince(start));
    return finishStandardOutput(0, kProgram);
}
