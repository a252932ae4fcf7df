#ifndef TRESSMOOR_TOOLS_GROWTHCOMMANDLINE_H
#define TRESSMOOR_TOOLS_GROWTHCOMMANDLINE_H

#include <chrono>
#include <string>

#include "hair/HairRecipe.h"

class HairStore;
class MeshGround;
class NurbsSurface;

// The growth options the command-line companions share: --shape, --style, the
// five numbers of the recipe table and --growth N.

constexpr int kUsageError = 2;
constexpr int kWriteError = 1;

struct GrowthOptions {
    HairRecipe recipe = defaultRecipe(UnderlyingShape::Plane);
    int growth = kGrowthRange.initial;
};

// Walks the arguments: each option with its value after '=' (--hairs=20) or as
// the next argument.
class ArgumentReader {
public:
    ArgumentReader(int argc, char** argv);

    // Move to the next argument; false when none is left.
    bool next();
    const std::string& option() const { return name; }
    // The argument as given, "=" and all, for a name that is not an option.
    std::string whole() const { return argv[index]; }
    bool hasInlineValue() const { return inlineValue; }
    // The option's value; false when it has none.
    bool takeValue(std::string& value);

private:
    int argc;
    char** argv;
    int index = 0;
    std::string name;
    std::string valueText;
    bool inlineValue = false;
};

enum class OptionResult { Taken, NotMine, Bad };

// Read the reader's current option if it is a growth option. Bad sets message
// to the one-line error, which names the option and what it accepts.
OptionResult readGrowthOption(ArgumentReader& reader, GrowthOptions& options, std::string& message);

// A whole number in range, as the numeric options take them.
bool parseOptionNumber(const std::string& text, const SettingRange& range, int& value);

// A decimal number that fills the text and lies within -limit..limit. Read
// without the locale, so "1.5" means the same everywhere; no "inf" or "nan".
bool parseDecimal(const std::string& text, double limit, double& value);

// The help lines of the growth options, in the layout of the tools' --help.
std::string growthOptionsHelp();
// The help of --mesh FILE, which grows on the user's mesh instead of a shape.
std::string meshOptionHelp();
// One help line: the option with its argument, then what it means.
std::string helpLine(const std::string& option, const std::string& meaning);

// Grow the requested growth of a fresh run on the surface into the store, as the
// window would: growth 1 is picking the shape, later ones are "Render Hair"
// presses. Large hair reports its progress on standard error, under the
// program's name.
// Hair on a mesh grows on the ground instead of the surface.
bool growRequestedHair(const GrowthOptions& options, NurbsSurface& surface, HairStore& store,
                       const char* program, const MeshGround* ground = nullptr);

// Flush standard output at the end of a run: status when everything arrived,
// otherwise kWriteError with the reason on standard error. Output that never
// arrived is a failure, even once the files are saved: a script reading the
// summary would otherwise take silence for success.
int finishStandardOutput(int status, const char* program);

// Print a tool's --help text and finish as finishStandardOutput does.
int printHelp(const std::string& text, const char* program);
// Answer --version: the program's name and the project's version on one line.
int printVersion(const char* program);

// "1 strand", "2 strands": a count with its noun, for summaries and progress.
std::string countOf(unsigned long long count, const char* singular, const char* plural);

// The companions' clock for their progress lines and summaries.
using ToolClock = std::chrono::steady_clock;
long long millisecondsSince(ToolClock::time_point start);

#endif
