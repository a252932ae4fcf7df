// Runs tressmoor-convert as a person would, on HAIR files the tests build.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "ToolRunSupport.h"
#include "UsdTextSupport.h"

namespace {

std::string quoted(const std::string& word)
{
    return "'" + word + "'";
}

// The program with its arguments, run through the shell after any set-up.
ToolRun run(const std::string& binary, const std::string& arguments, const std::string& setup = "")
{
    // One folder per test process: ctest runs the tests of this program side by side.
    static const std::string folder = freshFolder("convert-runs-" + std::to_string(getpid()));
    return runTool(binary + " " + arguments, folder, setup);
}

ToolRun convert(const std::string& in, const std::string& out, const std::string& setup = "")
{
    return run(TRESSMOOR_CONVERT_BINARY, quoted(in) + " " + quoted(out), setup);
}

// Strands by another program, with every optional array or with none.
HandMadeHairFile foreignFile(bool everyArray, uint32_t strands = 3, uint32_t segments = 4)
{
    HandMadeHairFile file;
    file.strandCount = strands;
    file.defaultSegments = segments;
    file.pointCount = strands * (segments + 1);
    file.info = "exported by another hair tool";
    for (uint32_t i = 0; i < 3 * file.pointCount; ++i) {
        file.points.push_back(std::ldexp(static_cast<float>(i % 977) - 488.3f, static_cast<int>(i % 7) - 3));
    }
    if (everyArray) {
        file.flags = 0x1F;
        file.segments.assign(strands, static_cast<uint16_t>(segments));
        for (uint32_t n = 0; n < file.pointCount; ++n) {
            file.thickness.push_back(0.5f + n % 5);
            file.transparency.push_back(0.125f * (n % 8));
            for (int c = 0; c < 3; ++c) {
                file.colour.push_back(0.25f * ((n + c) % 5));
            }
        }
    }
    return file;
}

}  // namespace

TEST(TressmoorConvertUsage, BadArgumentsGiveOneLineAndStatusTwo)
{
    for (const char* arguments : {"", "a.hair", "a.hair b.usda c.usda", "--colour a.hair b.usda",
                                  "a.hair b.txt", "a.hair b.usda.bak"}) {
        const ToolRun result = run(TRESSMOOR_CONVERT_BINARY, arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_EQ(lineCount(result.err), 1u) << arguments << ": " << result.err;
        EXPECT_NE(result.err.find("(try --help)"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "") << arguments;
    }
    const ToolRun help = run(TRESSMOOR_CONVERT_BINARY, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"Usage: tressmoor-convert [options] IN OUT", ".usda", ".obj", ".hair", "Exit status",
                             "--version"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }

    for (const char* arguments : {"--version", "a.hair --version"}) {
        const ToolRun version = run(TRESSMOOR_CONVERT_BINARY, arguments);
        EXPECT_EQ(version.status, 0) << arguments;
        EXPECT_EQ(version.out, "tressmoor-convert " TRESSMOOR_VERSION "\n") << arguments;
        EXPECT_EQ(version.err, "") << arguments;
    }
    // After "--" it is the name of the file to read, which is missing.
    EXPECT_EQ(run(TRESSMOOR_CONVERT_BINARY, "-- --version b.usda").status, 1);
}

TEST(TressmoorConvertFiles, ForeignFilesWithEveryArrayOrNoneBecomeUsdObjAndHair)
{
    const std::string folder = freshFolder("convert-foreign");
    for (bool everyArray : {true, false}) {
        SCOPED_TRACE(everyArray ? "every array" : "no optional array");
        const HandMadeHairFile file = foreignFile(everyArray);
        const std::string in = folder + "/in.hair";
        writeBytes(in, file.bytes());

        ToolRun result = convert(in, folder + "/out.USDA");
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out.find("tressmoor-convert: wrote 3 strands, 15 points to " + folder + "/out.USDA in "), 0u)
            << result.out;
        EXPECT_EQ(lineCount(result.out), 1u);
        EXPECT_EQ(result.err, "");
        const UsdLayer layer = parseUsdLayer(readText(folder + "/out.USDA"));
        ASSERT_EQ(layer.problem, "");
        EXPECT_EQ(layer.metadata, (std::vector<std::string>{"defaultPrim = \"hair\"", "metersPerUnit = 0.001",
                                                            "upAxis = \"Y\""}));
        const auto& a = layer.attributes;
        EXPECT_EQ(a.count("primvars:clusterId") + a.count("primvars:st"), 0u) << "unknown for a foreign file";
        EXPECT_EQ(usdIntegers(a.at("curveVertexCounts").value), std::vector<long long>(3, 5));
        EXPECT_EQ(bitDifference(file.points, usdFloats(a.at("points").value)), "");
        const char* interpolation = everyArray ? "vertex" : "constant";
        for (const char* name : {"widths", "primvars:displayColor", "primvars:displayOpacity"}) {
            EXPECT_EQ(a.at(name).interpolation, interpolation) << name;
        }
        std::vector<float> opacity;
        for (float t : file.transparency) {
            opacity.push_back(1.0f - t);
        }
        EXPECT_EQ(bitDifference(everyArray ? file.thickness : std::vector<float>{2.0f},
                                usdFloats(a.at("widths").value)), "");
        EXPECT_EQ(bitDifference(everyArray ? file.colour : std::vector<float>{0.1f, 0.5f, 0.8f},
                                usdFloats(a.at("primvars:displayColor").value)), "");
        EXPECT_EQ(bitDifference(everyArray ? opacity : std::vector<float>{1.0f},
                                usdFloats(a.at("primvars:displayOpacity").value)), "");

        ASSERT_EQ(convert(in, folder + "/out.obj").status, 0);
        const std::string obj = readText(folder + "/out.obj");
        EXPECT_EQ(obj.compare(0, 2, "v "), 0) << "no recipe comment for a foreign file";
        EXPECT_NE(obj.find("\nl 1 2 3 4 5\nl 6 7 8 9 10\nl 11 12 13 14 15\n"), std::string::npos);
        EXPECT_EQ(lineCount(obj), 15u + 3u);

        ASSERT_EQ(convert(in, folder + "/out.hair").status, 0);
        EXPECT_TRUE(readBytes(folder + "/out.hair") == file.bytes()) << "every array is kept";
    }
}

// Tressmoor's own files convert to what tressmoor-grow writes for the same hair,
// byte for byte: plain hair, hair with children around or between, tapered,
// with guides dropped (grown again from the recipe and growth), and options too
// many for the header's words (packed instead).
TEST(TressmoorConvertFiles, TressmoorsOwnFilesGiveWhatTressmoorGrowWrites)
{
    const std::string folder = freshFolder("convert-own");
    const char* hairs[] = {
        "--shape torus --style combed --hairs 4 --clusters 3 --parts 12 --growth 2",
        "--shape sphere --hairs 3 --clusters 2 --children 5",
        "--shape plane --hairs 5 --clusters 2 --children 4 --child-mode between --root-width 3 --tip-width 0.5",
        "--shape torus --hairs 2 --clusters 3 --children 3 --guides drop --growth 3 --units in",
        "--shape sphere --style combed --hairs 6 --clusters 2 --parts 16 --children 2 --child-mode between "
        "--guides drop --growth 2 --child-radius 6 --frizz 1.5 --seed 99 --tip-width 0.25",
    };
    for (const std::string hair : hairs) {
        SCOPED_TRACE(hair);
        const std::string units = hair.find("--units in") != std::string::npos ? "--units in " : "";
        for (const char* extension : {".hair", ".usda", ".obj"}) {
            const ToolRun grown = run(TRESSMOOR_GROW_BINARY, hair + " --out " + folder + "/grown" + extension);
            ASSERT_EQ(grown.status, 0) << grown.err;
        }
        for (const char* extension : {".usda", ".obj", ".hair"}) {
            const std::string out = folder + "/converted" + extension;
            const ToolRun converted =
                run(TRESSMOOR_CONVERT_BINARY, units + folder + "/grown.hair " + out);
            ASSERT_EQ(converted.status, 0) << converted.err;
            EXPECT_EQ(converted.err.find("note"), std::string::npos) << converted.err;
            EXPECT_TRUE(readBytes(out) == readBytes(folder + "/grown" + extension)) << extension;
        }
    }
    // Grown and converted alike, the layer is Tressmoor's: no display values.
    const UsdLayer layer = parseUsdLayer(readText(folder + "/converted.usda"));
    ASSERT_EQ(layer.problem, "");
    EXPECT_EQ(layer.attributes.count("primvars:displayColor"), 0u);
    EXPECT_EQ(layer.metadata[1], "metersPerUnit = 0.001");
}

// A file that says it is Tressmoor's hair with children but does not hold what
// its words make is said once and converted as another program's: its strands
// as they are, with their display values and no recipe.
TEST(TressmoorConvertFiles, HairWithChildrenThatDoesNotMatchItsWordsIsAnotherProgramsFile)
{
    const std::string folder = freshFolder("convert-mismatch");
    const std::string hair = folder + "/grown.hair";
    ASSERT_EQ(run(TRESSMOOR_GROW_BINARY, "--hairs 2 --clusters 2 --children 3 --out " + hair).status, 0);
    const Bytes good = readBytes(hair);
    ASSERT_EQ(good.size(), 128u + 32 * 10 * 12);
    Bytes moved = good;
    moved.at(moved.size() - 5) ^= 1;  // a child's last coordinate
    Bytes reseeded = good;
    const std::string info(good.begin() + 40, good.begin() + 128);
    std::string words = info.substr(0, info.find('\0')) + " seed=5";
    std::copy(words.begin(), words.end(), reseeded.begin() + 40);
    Bytes newer = good;
    newer[40 + std::string("tressmoor-dense ").size()] = '7';
    const struct {
        const char* name;
        const Bytes& bytes;
        const char* says;
    } cases[] = {{"moved", moved, "does not hold what its recipe, growth and child options make"},
                 {"reseeded", reseeded, "does not hold what its recipe, growth and child options make"},
                 {"newer", newer, "from a newer Tressmoor"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(folder + "/in.hair", c.bytes);
        const ToolRun converted = convert(folder + "/in.hair", folder + "/out.usda");
        ASSERT_EQ(converted.status, 0) << converted.err;
        EXPECT_EQ(lineCount(converted.err), 1u) << converted.err;
        EXPECT_NE(converted.err.find(c.says), std::string::npos) << converted.err;
        EXPECT_NE(converted.err.find("converting it as another program's file"), std::string::npos);
        const UsdLayer layer = parseUsdLayer(readText(folder + "/out.usda"));
        ASSERT_EQ(layer.problem, "");
        EXPECT_EQ(layer.attributes.count("primvars:displayColor"), 1u);
        EXPECT_EQ(layer.attributes.count("primvars:clusterId"), 0u);
        EXPECT_EQ(usdIntegers(layer.attributes.at("curveVertexCounts").value).size(), 32u);
    }
}

TEST(TressmoorConvertFiles, BadInputIsRefusedInOneLineAndLeavesOutAsItWas)
{
    const std::string folder = freshFolder("convert-bad");
    const Bytes good = foreignFile(true).bytes();
    const std::string oldOut = folder + "/old.usda";
    writeBytes(oldOut, Bytes(42, 'o'));
    HandMadeHairFile nan = foreignFile(false);
    nan.points[7] = NAN;
    HandMadeHairFile wrongSegments = foreignFile(true);
    wrongSegments.segments[1] = 9;
    const std::string big = folder + "/big.hair";
    writeBytes(big, Bytes(good.begin(), good.begin() + 128));
    ASSERT_EQ(truncate(big.c_str(), (off_t(4) << 30) + 1), 0);
    mkdir((folder + "/folder.hair").c_str(), 0755);

    const struct {
        const char* name;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"truncated.hair", Bytes(good.begin(), good.end() - 5), "but the file has"},
        {"short.hair", Bytes(good.begin(), good.begin() + 60), "too short for the 128-byte HAIR header"},
        {"text.hair", Bytes(200, 'x'), "does not begin with the signature HAIR"},
        {"nan.hair", nan.bytes(), "point 3 of strand 1 has a coordinate that is not a finite number"},
        {"segments.hair", wrongSegments.bytes(), "segments make 20 points, but its header says 15"},
        {"big.hair", {}, "more than tressmoor-convert reads"},
        {"folder.hair", {}, "it is a folder"},
        {"missing.hair", {}, "No such file or directory"},
    };
    for (const auto& c : cases) {
        const std::string in = folder + "/" + c.name;
        if (!c.bytes.empty()) {
            writeBytes(in, c.bytes);
        }
        for (const char* out : {"old.usda", "new.obj"}) {
            const ToolRun result = convert(in, folder + "/" + out);
            EXPECT_EQ(result.status, 1) << c.name;
            EXPECT_EQ(result.err.find("tressmoor-convert: cannot convert \"" + in + "\": "), 0u) << result.err;
            EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.name << ": " << result.err;
            EXPECT_EQ(lineCount(result.err), 1u) << result.err;
            EXPECT_EQ(result.out, "");
        }
        EXPECT_EQ(readBytes(oldOut), Bytes(42, 'o')) << c.name;
        EXPECT_FALSE(fileExists(folder + "/new.obj")) << c.name;
    }
    EXPECT_EQ(folderEntries(folder).size(), 1u + sizeof cases / sizeof cases[0] - 1) << "no temporary file";
}

TEST(TressmoorConvertFiles, AFailedWriteKeepsTheOldOutputAndLeavesNoTemporaryFile)
{
    const std::string folder = freshFolder("convert-write-failure");
    const std::string in = folder + "/in.hair";
    writeBytes(in, foreignFile(true, 2000, 40).bytes());
    const std::string out = folder + "/out.usda";
    writeBytes(out, Bytes(42, 'o'));
    // The file size limit stops the write part way, as a full disk would.
    const ToolRun result = convert(in, out, "trap '' XFSZ; ulimit -f 64; ");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tressmoor-convert: cannot write \"" + out + "\": writing failed: File too large\n");
    EXPECT_EQ(readBytes(out), Bytes(42, 'o'));
    EXPECT_EQ(folderEntries(folder).size(), 2u);

    const ToolRun missing = convert(in, folder + "/no/such/folder.usda");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot create a file in its folder: No such file or directory"), std::string::npos);
}

// Output many times the buffer's chunk, a strand of one point among the rest,
// and a file too small to need progress lines.
TEST(TressmoorConvertFiles, ALargerFileStreamsInChunksAndReadsBackExactly)
{
    const std::string folder = freshFolder("convert-larger");
    HandMadeHairFile file = foreignFile(true, 4000, 30);
    file.segments[1234] = 0;
    file.pointCount -= 30;
    const size_t removed = (1234 * 31 + 1) * 3;
    file.points.erase(file.points.begin() + removed, file.points.begin() + removed + 90);
    file.thickness.resize(file.pointCount);
    file.transparency.resize(file.pointCount);
    file.colour.resize(3 * file.pointCount);
    writeBytes(folder + "/in.hair", file.bytes());
    const ToolRun result = convert(folder + "/in.hair", folder + "/out.usda");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "") << "no progress for well under a second's work";

    const UsdLayer layer = parseUsdLayer(readText(folder + "/out.usda"));
    ASSERT_EQ(layer.problem, "");
    const std::vector<long long> counts = usdIntegers(layer.attributes.at("curveVertexCounts").value);
    ASSERT_EQ(counts.size(), 4000u);
    EXPECT_EQ(counts[1234], 2) << "a single point is written twice";
    EXPECT_EQ(counts[1235], 31);
    std::vector<float> points = usdFloats(layer.attributes.at("points").value);
    ASSERT_EQ(points.size(), 3u * (file.pointCount + 1));
    EXPECT_EQ(bitDifference({points.begin() + removed - 3, points.begin() + removed},
                            {points.begin() + removed, points.begin() + removed + 3}), "");
    points.erase(points.begin() + removed, points.begin() + removed + 3);
    EXPECT_EQ(bitDifference(file.points, points), "");
}

namespace {

ToolRun grow(const std::string& arguments)
{
    return run(TRESSMOOR_GROW_BINARY, arguments);
}

// The most memory a run of the program took, in KiB, from the kernel's account.
long peakKilobytes(const std::vector<std::string>& words)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        // A sanitized build would otherwise hold freed memory back, growing with all
        // that was ever allocated rather than with what is held at once.
        const char* asan = getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", (std::string(asan != nullptr ? asan : "") + ":quarantine_size_mb=0").c_str(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << words[0];
    return usage.ru_maxrss;
}

}  // namespace

TEST(ChildOptions, BadValuesGiveOneLineAndStatusTwoAndWriteNothing)
{
    const std::string folder = freshFolder("child-bad-values");
    const std::string in = folder + "/in.hair";
    writeBytes(in, tressmoorFile(1, 2, 8).bytes());
    const struct {
        const char* option;
        const char* names;
    } cases[] = {{"--children -1", "--children"},      {"--children many", "--children"},
                 {"--children 1.5", "--children"},     {"--children 4294967296", "--children"},
                 {"--child-radius inf", "--child-radius"}, {"--child-radius nan", "--child-radius"},
                 {"--frizz -2", "--frizz"},             {"--clump 1.5", "--clump"},
                 {"--root-width 1e9", "--root-width"},  {"--tip-width=", "--tip-width"},
                 {"--seed -1", "--seed"},               {"--child-mode sideways", "--child-mode"},
                 {"--guides maybe", "--guides"},        {"--units furlong", "--units"},
                 {"--units", "--units"}};
    for (const auto& c : cases) {
        for (bool converting : {false, true}) {
            const std::string out = folder + "/out.usda";
            const ToolRun result = converting
                                       ? run(TRESSMOOR_CONVERT_BINARY, std::string(c.option) + " " + in + " " + out)
                                       : grow(std::string(c.option) + " --out " + out);
            EXPECT_EQ(result.status, 2) << c.option;
            EXPECT_EQ(lineCount(result.err), 1u) << c.option << ": " << result.err;
            EXPECT_NE(result.err.find(c.names), std::string::npos) << c.option << ": " << result.err;
            EXPECT_FALSE(fileExists(out)) << c.option;
        }
    }
    const ToolRun tooMany = grow("--hairs 50 --clusters 10 --children 900000 --out " + folder + "/big.hair");
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_NE(tooMany.err.find("at most 4294967295"), std::string::npos) << tooMany.err;
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"in.hair"});
}

// Another program's strands have no shape to spread children over.
TEST(ChildOptions, ChildrenBetweenTheGuidesOfAForeignFileAreRefusedAndTheOutputKept)
{
    const std::string folder = freshFolder("child-foreign");
    writeBytes(folder + "/in.hair", foreignFile(true).bytes());
    writeBytes(folder + "/out.usda", Bytes{'o', 'l', 'd'});
    const ToolRun between = run(TRESSMOOR_CONVERT_BINARY, "--children 4 --child-mode between " +
                                                               folder + "/in.hair " + folder + "/out.usda");
    EXPECT_EQ(between.status, 1);
    EXPECT_EQ(lineCount(between.err), 1u) << between.err;
    EXPECT_NE(between.err.find("shape"), std::string::npos) << between.err;
    EXPECT_EQ(readBytes(folder + "/out.usda"), (Bytes{'o', 'l', 'd'}));

    // Around them they are made, taking their guides' arrays point for point.
    const ToolRun around = run(TRESSMOOR_CONVERT_BINARY, "--children 4 " + folder + "/in.hair " +
                                                              folder + "/out.usda");
    ASSERT_EQ(around.status, 0) << around.err;
    const UsdLayer layer = parseUsdLayer(readText(folder + "/out.usda"));
    ASSERT_EQ(layer.problem, "");
    const std::vector<float> widths = usdFloats(layer.attributes.at("widths").value);
    ASSERT_EQ(widths.size(), 15u * 5);
    for (size_t n = 15; n < widths.size(); ++n) {
        const size_t guide = (n - 15) / 20;
        EXPECT_EQ(widths[n], widths[guide * 5 + n % 5]) << "vertex " << n;
    }
}

// The same seed gives the same file, another seed other children, and the
// guides come first exactly as they are without children.
TEST(ChildOptions, ChildrenAreReproducibleAndLeaveTheGuidesAsTheyWere)
{
    const std::string folder = freshFolder("child-seeds");
    const std::string hair = "--shape torus --style combed --hairs 6 --clusters 3 --parts 12 --out ";
    ASSERT_EQ(grow(hair + folder + "/guides.hair").status, 0);
    for (const char* name : {"a", "b"}) {
        ASSERT_EQ(grow("--children 30 --frizz 2 --seed 7 " + hair + folder + "/" + name + ".hair").status, 0);
    }
    ASSERT_EQ(grow("--children 30 --frizz 2 --seed 8 " + hair + folder + "/c.hair").status, 0);
    const Bytes guides = readBytes(folder + "/guides.hair");
    const Bytes a = readBytes(folder + "/a.hair");
    EXPECT_EQ(a, readBytes(folder + "/b.hair"));
    EXPECT_NE(a, readBytes(folder + "/c.hair"));
    const size_t guidePoints = 54 * 12 * 12;
    ASSERT_EQ(a.size(), 128 + guidePoints * 31);
    EXPECT_TRUE(std::equal(guides.begin() + 128, guides.end(), a.begin() + 128));
}

// However many children, a run holds no more than a round of them at a time.
TEST(ChildOptions, MemoryStaysFlatWhateverTheChildCount)
{
    const std::string folder = freshFolder("child-memory");
    for (const char* extension : {".hair", ".usda"}) {
        long peak[2];
        const char* counts[2] = {"50", "400"};
        for (int k = 0; k < 2; ++k) {
            peak[k] = peakKilobytes({TRESSMOOR_GROW_BINARY, "--shape", "sphere", "--hairs", "20",
                                     "--clusters", "5", "--parts", "16", "--children", counts[k],
                                     "--out", folder + "/dense" + extension});
        }
        // 400 children of 500 guides are 3.2 million points: 38 MB as floats alone.
        EXPECT_LT(peak[1] - peak[0], 12 * 1024) << extension << ": " << peak[0] << " KiB with 50 "
                                                << "children a guide, " << peak[1] << " with 400";
    }
}

// However many children one guide has, a run holds no more than a round of
// spans of them: four guides with 15,000 children each and with 150,000.
TEST(ChildOptions, MemoryStaysFlatWhateverTheChildrenOfOneGuide)
{
    const std::string folder = freshFolder("child-memory-brood");
    for (const char* extension : {".hair", ".usda"}) {
        long peak[2];
        const char* counts[2] = {"15000", "150000"};
        for (int k = 0; k < 2; ++k) {
            peak[k] = peakKilobytes({TRESSMOOR_GROW_BINARY, "--shape", "plane", "--hairs", "1",
                                     "--clusters", "2", "--parts", "16", "--children", counts[k],
                                     "--frizz", "1", "--out", folder + "/dense" + extension});
        }
        // One brood of 150,000 children is 2.4 million points: 29 MB as floats alone.
        EXPECT_LT(peak[1] - peak[0], 12 * 1024) << extension << ": " << peak[0] << " KiB with 15000 "
                                                << "children a guide, " << peak[1] << " with 150000";
    }
}
