// Runs tressmoor-grow as a batch job would, without a display.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "ToolRunSupport.h"
#include "formats/HairFile.h"
#include "formats/RecipeText.h"

namespace {

ToolRun grow(const std::string& arguments)
{
    // One folder per test process: ctest runs the tests of this program side by side.
    static const std::string folder = freshFolder("tool-runs-" + std::to_string(getpid()));
    return runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + arguments, folder);
}

// How to start the tool when the shell's defaults will not do.
struct Launch {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;
    mode_t mask = 022;
    int ignoredSignal = 0;
    std::string out;  // standard output's file; the folder's "out" by default
};

// Every ending signal has its default action unless one is to be ignored.
pid_t start(const Launch& launch, const std::string& folder)
{
    std::vector<std::string> words = {TRESSMOOR_GROW_BINARY};
    words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
    const std::string out = launch.out.empty() ? folder + "/out" : launch.out;
    const std::string err = folder + "/err";
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    for (int signalNumber : {SIGHUP, SIGINT, SIGTERM}) {
        signal(signalNumber, signalNumber == launch.ignoredSignal ? SIG_IGN : SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    umask(launch.mask);
    unsetenv("DISPLAY");
    for (const auto& variable : launch.environment) {
        setenv(variable.first.c_str(), variable.second.c_str(), 1);
    }
    // A sanitized build's runtime would refuse to come after the preloaded library.
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || dup2(outFd, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0) {
        _exit(126);
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// The raw wait status, and what the tool wrote to standard error.
struct Ending {
    int status = -1;
    std::string err;
};

Ending finish(pid_t pid, const std::string& folder)
{
    Ending ending;
    waitpid(pid, &ending.status, 0);
    ending.err = readText(folder + "/err");
    return ending;
}

std::string describeStatus(int status)
{
    if (WIFSIGNALED(status)) {
        return "ended by signal " + std::to_string(WTERMSIG(status));
    }
    return WIFEXITED(status) ? "exited with " + std::to_string(WEXITSTATUS(status)) : "still running";
}

bool waitForFile(const std::string& path, double seconds)
{
    for (int wait = 0; wait < seconds * 100; ++wait) {
        if (fileExists(path)) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
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
        {"--out a.txt", "--out must name a .hair, .obj or .usda file"},
        {"--hairs 5", "--out FILE is required"},
        {"--colour red --out a.hair", "unknown option --colour"},
        {"--help=1", "option --help takes no value"},
        {"--out a.hair --help=", "option --help takes no value"},
        {"--version=1 --out a.hair", "option --version takes no value"},
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
                               "--clusters", "--parts", "--growth", "--out", "--help", "--version"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

// The options before it are still checked; it ends the reading as --help does.
TEST(TressmoorGrowOptions, VersionIsTheProjectsOnStandardOutput)
{
    for (const char* arguments : {"--version", "--hairs 5 --version --out a.txt"}) {
        const ToolRun run = grow(arguments);
        EXPECT_EQ(run.status, 0) << arguments;
        EXPECT_EQ(run.out, "tressmoor-grow " TRESSMOOR_VERSION "\n") << arguments;
        EXPECT_EQ(run.err, "") << arguments;
    }
    EXPECT_EQ(grow("--hairs 51 --version").status, 2);
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
TEST(TressmoorGrowOutput, OneStrandIsSaidInTheSingular)
{
    const std::string path = freshFolder("tool-one") + "/one.obj";
    const ToolRun run = grow("--out " + path);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("tressmoor-grow: wrote 1 strand, 10 points to " + path + " in "), 0u)
        << run.out;
}

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

TEST(TressmoorGrowOutput, AFailedWriteToStandardOutputIsAnError)
{
    const std::string folder = freshFolder("tool-full-output");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--out", folder + "/plane.hair"},
          std::vector<std::string>{"--shape", "sphere", "--out", folder + "/sphere.obj"},
          std::vector<std::string>{"--help"}, std::vector<std::string>{"--version"}}) {
        Launch launch;
        launch.arguments = arguments;
        launch.out = "/dev/full";
        const Ending ending = finish(start(launch, folder), folder);
        EXPECT_EQ(describeStatus(ending.status), "exited with 1") << arguments[0];
        EXPECT_EQ(ending.err, "tressmoor-grow: cannot write to standard output: No space left on device\n")
            << arguments[0];
    }
}

// Any name the file system takes, up to the longest, saves beside the others.
TEST(TressmoorGrowFiles, TheLongestNamesTheFolderTakesAreSaved)
{
    const std::string folder = freshFolder("tool-long-names");
    const std::string saves = folder + "/saves";
    ASSERT_EQ(mkdir(saves.c_str(), 0755), 0);
    const long longest = pathconf(saves.c_str(), _PC_NAME_MAX);
    ASSERT_GE(longest, 248);
    std::vector<std::string> names;
    for (long length : {248L, longest}) {
        names.push_back(std::string(static_cast<size_t>(length) - 5, 'n') + ".hair");
        Launch launch;
        launch.arguments = {"--shape", "torus", "--out", saves + "/" + names.back()};
        const Ending ending = finish(start(launch, folder), folder);
        EXPECT_EQ(describeStatus(ending.status), "exited with 0") << length << ": " << ending.err;
        const Bytes bytes = readBytes(saves + "/" + names.back());
        HairFileContents contents;
        std::string problem;
        EXPECT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << length << ": " << problem;
    }
    EXPECT_EQ(sorted(folderEntries(saves)), sorted(names)) << "no temporary file is left";
}

// Only a regular file's mode is kept; a link, or the device it names, is replaced
// by a file with the mode the umask allows, and what the link names is untouched.
TEST(TressmoorGrowFiles, ASaveKeepsTheModeOfARegularFileOnly)
{
    const std::string folder = freshFolder("tool-modes");
    const std::string kept = folder + "/kept.hair";
    writeBytes(kept, Bytes(10, 'o'));
    chmod(kept.c_str(), 0640);
    const std::string shared = folder + "/shared.data";
    writeBytes(shared, Bytes(10, 's'));
    chmod(shared.c_str(), 0666);
    ASSERT_EQ(symlink("/dev/null", (folder + "/null.hair").c_str()), 0);
    ASSERT_EQ(symlink(shared.c_str(), (folder + "/link.hair").c_str()), 0);

    const struct {
        const char* name;
        mode_t mask;
        mode_t mode;
    } cases[] = {{"kept.hair", 022, 0640}, {"null.hair", 022, 0644}, {"link.hair", 077, 0600},
                 {"new.obj", 027, 0640}};
    for (const auto& c : cases) {
        Launch launch;
        launch.arguments = {"--out", folder + "/" + c.name};
        launch.mask = c.mask;
        const Ending ending = finish(start(launch, folder), folder);
        EXPECT_EQ(describeStatus(ending.status), "exited with 0") << c.name << ": " << ending.err;
        struct stat info;
        ASSERT_EQ(lstat((folder + "/" + c.name).c_str(), &info), 0) << c.name;
        EXPECT_TRUE(S_ISREG(info.st_mode)) << c.name;
        EXPECT_EQ(info.st_mode & 07777, c.mode) << c.name;
    }
    struct stat info;
    ASSERT_EQ(stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666u);
    EXPECT_EQ(readBytes(shared), Bytes(10, 's'));
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

namespace {

// The tool, saving over an old target, held inside the fsync of its temporary file.
struct HeldSave {
    std::string folder;
    std::string saves;
    std::string target;
    std::string release;
    pid_t pid = -1;
};

HeldSave startHeldSave(const std::string& name, int ignoredSignal)
{
    HeldSave save;
    save.folder = freshFolder(name);
    save.saves = save.folder + "/saves";
    mkdir(save.saves.c_str(), 0755);
    save.target = save.saves + "/hair.hair";
    save.release = save.folder + "/release";
    writeBytes(save.target, Bytes(300, 'o'));
    Launch launch;
    launch.arguments = {"--shape", "sphere", "--hairs", "50", "--clusters", "10", "--out", save.target};
    launch.environment = {{"LD_PRELOAD", FSYNC_INTERPOSER},
                          {"TRESSMOOR_TEST_FSYNC", "hold"},
                          {"TRESSMOOR_TEST_FSYNC_HELD", save.folder + "/held"},
                          {"TRESSMOOR_TEST_FSYNC_RELEASE", save.release}};
    launch.ignoredSignal = ignoredSignal;
    save.pid = start(launch, save.folder);
    return save;
}

}  // namespace

TEST(TressmoorGrowSignals, AnEndingSignalDuringASaveRemovesTheTemporaryFileAndKeepsTheOldOne)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE("signal " + std::to_string(signalNumber));
        HeldSave save = startHeldSave("tool-signal-" + std::to_string(signalNumber), 0);
        const bool held = waitForFile(save.folder + "/held", 60);
        kill(save.pid, signalNumber);
        const Ending ending = finish(save.pid, save.folder);
        ASSERT_TRUE(held) << "the save never reached its fsync: " << ending.err;
        EXPECT_EQ(describeStatus(ending.status), "ended by signal " + std::to_string(signalNumber));
        EXPECT_EQ(folderEntries(save.saves), std::vector<std::string>{"hair.hair"});
        EXPECT_EQ(readBytes(save.target), Bytes(300, 'o')) << "the old file stays";
    }
}

// As under nohup: the save goes on and completes.
TEST(TressmoorGrowSignals, AnIgnoredSignalStaysIgnoredDuringASave)
{
    HeldSave save = startHeldSave("tool-signal-ignored", SIGHUP);
    const bool held = waitForFile(save.folder + "/held", 60);
    kill(save.pid, SIGHUP);
    usleep(100000);
    writeBytes(save.release, {});
    const Ending ending = finish(save.pid, save.folder);
    ASSERT_TRUE(held) << ending.err;
    EXPECT_EQ(describeStatus(ending.status), "exited with 0") << ending.err;
    EXPECT_EQ(folderEntries(save.saves), std::vector<std::string>{"hair.hair"});
    EXPECT_EQ(readBytes(save.target).size(), 128u + 5000u * 10u * 12u) << "the new hair is in place";
}

TEST(TressmoorGrowFiles, AFolderThatCannotBeFlushedIsAFailedSave)
{
    const std::string folder = freshFolder("tool-folder-fsync");
    Launch launch;
    launch.arguments = {"--out", folder + "/hair.hair"};
    launch.environment = {{"LD_PRELOAD", FSYNC_INTERPOSER}, {"TRESSMOOR_TEST_FSYNC", "fail-folder"}};
    const Ending ending = finish(start(launch, folder), folder);
    EXPECT_EQ(describeStatus(ending.status), "exited with 1");
    EXPECT_EQ(ending.err, "tressmoor-grow: cannot write \"" + folder +
                              "/hair.hair\": it was replaced, but its folder could not be flushed "
                              "to disk: Input/output error\n");
    EXPECT_EQ(readText(folder + "/out"), "") << "no summary for a failed save";
}
