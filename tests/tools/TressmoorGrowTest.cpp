// Runs tressmoor-grow as a batch job would, without a display.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../hair/HairFileSupport.h"
#include "hair/HairFile.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readText(const std::string& path)
{
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

ToolRun grow(const std::string& arguments)
{
    static const std::string folder = freshFolder("tool-runs");
    const std::string command = std::string("env -u DISPLAY ") + TRESSMOOR_GROW_BINARY + " " +
                                arguments + " > '" + folder + "/out' 2> '" + folder + "/err'";
    ToolRun run;
    int result = system(command.c_str());
    run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    run.out = readText(folder + "/out");
    run.err = readText(folder + "/err");
    return run;
}

size_t lineCount(const std::string& text)
{
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

}  // namespace

TEST(TressmoorGrowOptions, BadValuesGiveOneLineNamingTheOptionAndRangeWithStatusTwo)
{
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--length 0 --out a.hair", "--length must be a whole number from 1 to 40"},
        {"--length=41 --out a.hair", "--length must be a whole number from 1 to 40"},
        {"--rest-angle -1 --out a.hair", "--rest-angle must be a whole number from 0 to 90"},
        {"--hairs 51 --out a.hair", "--hairs must be a whole number from 1 to 50"},
        {"--clusters 11 --out a.hair", "--clusters must be a whole number from 1 to 10"},
        {"--parts 9 --out a.hair", "--parts must be a whole number from 8 to 16 in steps of 2"},
        {"--parts 2x --out a.hair", "--parts must be a whole number from 8 to 16 in steps of 2"},
        {"--growth 0 --out a.hair", "--growth must be a whole number from 1 to 1000000"},
        {"--hairs --out a.hair", "--hairs must be a whole number from 1 to 50"},
        {"--shape cube --out a.hair", "--shape must be plane, sphere or torus"},
        {"--style wavy --out a.hair", "--style must be messy or combed"},
        {"--out a.txt", "--out must name a .hair or .obj file"},
        {"--hairs 5", "--out FILE is required"},
        {"--colour red --out a.hair", "unknown option --colour"},
    };
    for (const auto& c : cases) {
        const ToolRun run = grow(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(lineCount(run.err), 1u) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.arguments;
    }

    const ToolRun help = grow("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--shape", "--style", "--length", "--rest-angle", "--hairs",
                               "--clusters", "--parts", "--growth", "--out", "--help"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST(TressmoorGrowOutput, LargeHairReportsProgressAndASummaryWithoutADisplay)
{
    const std::string path = freshFolder("tool-large") + "/big.hair";
    const ToolRun run = grow("--shape torus --style combed --length 40 --rest-angle 90 --hairs 50 "
                         "--clusters 10 --parts 16 --out " + path);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("growth 1 of 1 done (5000 strands"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("ttotal = 441\ntressmoor-grow: wrote 5000 strands, 80000 points to " + path +
                           " in "),
              0u)
        << run.out;

    const Bytes bytes = readBytes(path);
    HairFileContents contents;
    std::string problem;
    ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << problem;
    const HairRecipe& r = contents.recipe;
    EXPECT_EQ(formatRecipe(r),
              "tressmoor-hair 1 torus combed length=40 restAngle=90 hairs=50 clusters=10 parts=16");

    const ToolRun small = grow("--out " + path);
    EXPECT_EQ(small.status, 0);
    EXPECT_EQ(small.err, "") << "small hair needs no progress";
}

// Both formats of the same growth carry the same recipe and the very same floats.
TEST(TressmoorGrowOutput, ObjAndHairOfTheSameGrowthAgree)
{
    const std::string folder = freshFolder("tool-formats");
    const std::string options = "--shape sphere --style messy --hairs 3 --clusters 2 --parts 12 --growth 2";
    ASSERT_EQ(grow(options + " --out " + folder + "/h.hair").status, 0);
    ASSERT_EQ(grow(options + " --out " + folder + "/h.OBJ").status, 0);

    const Bytes bytes = readBytes(folder + "/h.hair");
    HairFileContents contents;
    std::string problem;
    ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << problem;

    std::istringstream obj(readText(folder + "/h.OBJ"));
    std::string line;
    std::getline(obj, line);
    EXPECT_EQ(line, "# " + formatRecipe(contents.recipe));
    std::vector<float> points;
    std::vector<std::string> polylines;
    while (std::getline(obj, line)) {
        if (line.compare(0, 2, "v ") == 0) {
            std::istringstream fields(line.substr(2));
            std::string x, y, z;
            fields >> x >> y >> z;
            for (const std::string& v : {x, y, z}) {
                points.push_back(std::strtof(v.c_str(), nullptr));
            }
        } else {
            polylines.push_back(line);
        }
    }
    EXPECT_EQ(points, contents.points);
    ASSERT_EQ(polylines.size(), 12u);
    EXPECT_EQ(polylines[0], "l 1 2 3 4 5 6 7 8 9 10 11 12");
    EXPECT_EQ(polylines[11], "l 133 134 135 136 137 138 139 140 141 142 143 144");
}
