// tressmoor-grow: grows hair with the window's own code and writes it to a file.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/HairSettings.h"
#include "hair/HairFile.h"
#include "hair/HairStore.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kWriteError = 1;
constexpr SettingRange kGrowthRange = {"growth", 1, 1000000, 1};
// Each growth of hair this large takes long enough to be worth a progress line;
// smaller hair reports at most once per interval, however many growths it runs.
constexpr long long kProgressStrands = 1000;
constexpr long long kProgressInterval = 1000;  // milliseconds

const char* const kHelp =
    "Usage: tressmoor-grow [options] --out FILE\n"
    "\n"
    "Grows hair as the Tressmoor window does and writes its strands' centrelines to\n"
    "FILE: HAIR strands for a name ending in .hair, OBJ polylines for .obj. Both hold\n"
    "the recipe (shape, style and the five settings) that Tressmoor reads back.\n"
    "\n"
    "Options (defaults are the window's):\n"
    "  --shape plane|sphere|torus  underlying shape (default plane)\n"
    "  --style messy|combed        hair style (default messy)\n"
    "  --length N                  length of hair, 1 to 40 (default 10)\n"
    "  --rest-angle N              rest angle, 0 to 90 (default 1)\n"
    "  --hairs N                   hairs in a cluster, 1 to 50 (default 1)\n"
    "  --clusters N                clusters per side, 1 to 10 (default 1)\n"
    "  --parts N                   parts per strand, 8 to 16 in steps of 2 (default 10)\n"
    "  --growth N                  export the N-th growth of a fresh run (default 1):\n"
    "                              1 is what the window shows right after the shape is\n"
    "                              picked, N after N - 1 further presses of Render Hair\n"
    "  --out FILE                  the file to write (.hair or .obj); required\n"
    "  --help                      show this text\n"
    "\n"
    "Options take their value as the next argument or after '=' (--hairs=20).\n"
    "Standard output carries the growth's own lines (\"ttotal = 441\" for each\n"
    "growth on a sphere or torus) and a closing summary; standard error carries\n"
    "progress for large hair and any error. Exit status: 0 on success, 2 for a bad\n"
    "option, 1 when the file or standard output cannot be written.\n";

struct GrowOptions {
    int shape = Plane;
    int style = Messy;
    int length = 10;
    int restAngle = 1;
    int hairs = 1;
    int clusters = 1;
    int parts = 10;
    int growth = 1;
    std::string out;
};

struct NumberOption {
    const char* name;
    const SettingRange* range;
    int GrowOptions::*field;
};

const NumberOption kNumberOptions[] = {
    {"--length", &kLengthRange, &GrowOptions::length},
    {"--rest-angle", &kRestAngleRange, &GrowOptions::restAngle},
    {"--hairs", &kHairsRange, &GrowOptions::hairs},
    {"--clusters", &kClustersRange, &GrowOptions::clusters},
    {"--parts", &kPartsRange, &GrowOptions::parts},
    {"--growth", &kGrowthRange, &GrowOptions::growth},
};

int usageError(const std::string& message)
{
    fprintf(stderr, "tressmoor-grow: %s (try --help)\n", message.c_str());
    return kUsageError;
}

bool parseNumber(const std::string& text, const SettingRange& range, int& value)
{
    if (text.empty() || text.size() > 9) {
        return false;
    }
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) {
        return false;
    }
    long long parsed = 0;
    for (size_t i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        parsed = parsed * 10 + (text[i] - '0');
    }
    if (start == 1) {
        parsed = -parsed;
    }
    if (!isInRange(range, static_cast<int>(parsed))) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// 0 when the options are good, otherwise the exit status; --help sets showHelp.
int parseOptions(int argc, char** argv, GrowOptions& options, bool& showHelp)
{
    showHelp = false;
    bool haveOut = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool hasValue = false;
        size_t equals = option.find('=');
        if (option.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            hasValue = true;
        }
        if (option == "--help" || option == "-h") {
            if (hasValue) {
                return usageError("option " + option + " takes no value");
            }
            showHelp = true;
            return 0;
        }
        auto takeValue = [&]() {
            if (!hasValue && i + 1 < argc) {
                value = argv[++i];
                hasValue = true;
            }
            return hasValue;
        };

        if (option == "--shape") {
            if (!takeValue() || (value != "plane" && value != "sphere" && value != "torus")) {
                return usageError("--shape must be plane, sphere or torus");
            }
            options.shape = value == "plane" ? Plane : value == "sphere" ? Sphere : Torus;
        } else if (option == "--style") {
            if (!takeValue() || (value != "messy" && value != "combed")) {
                return usageError("--style must be messy or combed");
            }
            options.style = value == "messy" ? Messy : Combed;
        } else if (option == "--out") {
            if (!takeValue() || value.empty()) {
                return usageError("--out needs a file name");
            }
            if (!hasExtension(value, ".hair") && !hasExtension(value, ".obj")) {
                return usageError("--out must name a .hair or .obj file");
            }
            options.out = value;
            haveOut = true;
        } else {
            const NumberOption* number = nullptr;
            for (const NumberOption& candidate : kNumberOptions) {
                if (option == candidate.name) {
                    number = &candidate;
                }
            }
            if (number == nullptr) {
                return usageError("unknown option " + option);
            }
            if (!takeValue() || !parseNumber(value, *number->range, options.*number->field)) {
                return usageError(std::string(number->name) + " must be a whole number " +
                                  describeRange(*number->range));
            }
        }
    }
    if (!haveOut) {
        return usageError("--out FILE is required");
    }
    return 0;
}

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Output that never arrived is a failure, even once the file is saved: a
// script reading the summary would otherwise take silence for success.
int finishStandardOutput(int status)
{
    const bool flushed = fflush(stdout) == 0;
    const int error = errno;
    if (!flushed || ferror(stdout)) {
        fprintf(stderr, "tressmoor-grow: cannot write to standard output: %s\n",
                strerror(error != 0 ? error : EIO));
        return kWriteError;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    GrowOptions options;
    bool showHelp = false;
    if (int status = parseOptions(argc, argv, options, showHelp); status != 0) {
        return status;
    }
    if (showHelp) {
        errno = 0;
        fputs(kHelp, stdout);
        return finishStandardOutput(0);
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    const Clock::time_point start = Clock::now();
    HairSettings settings;
    applyRecipe({options.shape, options.style, options.length, options.restAngle, options.hairs,
                 options.clusters, options.parts},
                settings);

    const long long strands = 1LL * options.clusters * options.clusters * options.hairs;
    long long lastReport = 0;
    // Growth 1 is picking the shape, which regenerate then builds; later growths
    // are "Render Hair" presses.
    for (int growth = 1; growth <= options.growth; ++growth) {
        settings.regenerate();
        const long long elapsed = millisecondsSince(start);
        if (strands >= kProgressStrands || elapsed - lastReport >= kProgressInterval) {
            fprintf(stderr, "tressmoor-grow: growth %d of %d done (%lld strands, %lld ms)\n", growth,
                    options.growth, strands, elapsed);
            lastReport = elapsed;
        }
    }

    HairRecipe recipe = recipeFromSettings(settings);
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!adoptStoreLayout(hairStore, recipe, problem) ||
        !encodeStoredHair(hairStore, recipe, formatForPath(options.out), bytes, problem) ||
        !writeFileAtomically(options.out, bytes, problem)) {
        fprintf(stderr, "tressmoor-grow: cannot write \"%s\": %s\n", options.out.c_str(),
                problem.c_str());
        return kWriteError;
    }
    errno = 0;
    printf("tressmoor-grow: wrote %lld strands, %lld points to %s in %lld ms\n", strands,
           strands * options.parts, options.out.c_str(), millisecondsSince(start));
    return finishStandardOutput(0);
}
