#include "tools/GrowthCommandLine.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "TressmoorVersion.h"
#include "hair/HairGrowth.h"
#include "hair/MeshGrowth.h"

namespace {

// Each growth of hair this large takes long enough to be worth a progress line;
// smaller hair reports at most once per interval, however many growths it runs.
constexpr long long kProgressStrands = 1000;
constexpr long long kProgressInterval = 1000;  // milliseconds

std::string numberMessage(const char* option, const SettingRange& range)
{
    return std::string(option) + " must be a whole number " + describeRange(range);
}

}  // namespace

ArgumentReader::ArgumentReader(int argc, char** argv) : argc(argc), argv(argv) {}

bool ArgumentReader::next()
{
    if (++index >= argc) {
        return false;
    }
    name = argv[index];
    inlineValue = false;
    const size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
        valueText = name.substr(equals + 1);
        name = name.substr(0, equals);
        inlineValue = true;
    }
    return true;
}

bool ArgumentReader::takeValue(std::string& value)
{
    if (!inlineValue && index + 1 < argc) {
        valueText = argv[++index];
        inlineValue = true;
    }
    value = valueText;
    return inlineValue;
}

bool parseOptionNumber(const std::string& text, const SettingRange& range, int& value)
{
    long long parsed = 0;
    if (text.empty() || !parseWholeNumber(text, parsed) || parsed < range.minimum ||
        parsed > range.maximum || !isInRange(range, static_cast<int>(parsed))) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

OptionResult readGrowthOption(ArgumentReader& reader, GrowthOptions& options, std::string& message)
{
    const std::string& option = reader.option();
    std::string value;
    if (option == "--shape") {
        if (!reader.takeValue(value) || !shapeFromName(value, options.recipe.shape)) {
            message = "--shape must be " + shapeNameChoices();
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (option == "--style") {
        if (!reader.takeValue(value) || !styleFromName(value, options.recipe.style)) {
            message = "--style must be " + styleNameChoices();
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (option == "--growth") {
        if (!reader.takeValue(value) || !parseOptionNumber(value, kGrowthRange, options.growth)) {
            message = numberMessage("--growth", kGrowthRange);
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    for (const RecipeNumber& number : kRecipeNumbers) {
        if (option == number.option) {
            if (!reader.takeValue(value) ||
                !parseOptionNumber(value, *number.range, options.recipe.*number.field)) {
                message = numberMessage(number.option, *number.range);
                return OptionResult::Bad;
            }
            return OptionResult::Taken;
        }
    }
    return OptionResult::NotMine;
}

bool parseDecimal(const std::string& text, double limit, double& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    const std::from_chars_result result = std::from_chars(first, last, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == last &&
           std::isfinite(value) && std::fabs(value) <= limit;
}

std::string helpLine(const std::string& option, const std::string& meaning)
{
    char line[256];
    snprintf(line, sizeof line, "  %-28s%s\n", option.c_str(), meaning.c_str());
    return line;
}

std::string growthOptionsHelp()
{
    const HairRecipe defaults = defaultRecipe(UnderlyingShape::Plane);
    std::string text = helpLine(
        "--shape " + shapeNameChoices("|", "|"),
        std::string("underlying shape (default ") + shapeName(UnderlyingShape::Plane) + ")");
    text += helpLine("--style " + styleNameChoices("|", "|"),
                     std::string("hair style (default ") + styleName(defaults.style) + ")");
    for (const RecipeNumber& number : kRecipeNumbers) {
        text += helpLine(std::string(number.option) + " N",
                         std::string(number.meaning) + ", " + describeLimits(*number.range) +
                             " (default " + std::to_string(number.range->initial) + ")");
    }
    text += helpLine("--growth N", "export the N-th growth of a fresh run (default 1):");
    text += helpLine("", "1 is what the window shows right after the shape is");
    text += helpLine("", "picked, N after N - 1 further presses of Render Hair");
    return text;
}

bool growRequestedHair(const GrowthOptions& options, NurbsSurface& surface, HairStore& store,
                       const char* program, const MeshGround* ground)
{
    const ToolClock::time_point start = ToolClock::now();
    const long long strands = static_cast<long long>(strandTotal(options.recipe));
    long long lastReport = 0;
    for (int growth = 1; growth <= options.growth; ++growth) {
        const bool grown = options.recipe.shape == UnderlyingShape::Mesh
                               ? ground != nullptr && growMeshHair(options.recipe, *ground, store)
                               : growShapeHair(options.recipe, surface, store);
        if (!grown) {
            return false;
        }
        const long long elapsed = millisecondsSince(start);
        if (strands >= kProgressStrands || elapsed - lastReport >= kProgressInterval) {
            fprintf(stderr, "%s: growth %d of %d done (%s, %lld ms)\n", program, growth,
                    options.growth, countOf(strands, "strand", "strands").c_str(), elapsed);
            lastReport = elapsed;
        }
    }
    return true;
}

std::string meshOptionHelp()
{
    return helpLine("--mesh FILE", "grow on the mesh in FILE instead of --shape:") +
           helpLine("", "any file assimp imports (OBJ, PLY, glTF, FBX, ...),") +
           helpLine("", "fitted where the sphere sits while the hair grows");
}

int finishStandardOutput(int status, const char* program)
{
    const bool flushed = fflush(stdout) == 0;
    const int error = errno;
    if (!flushed || ferror(stdout)) {
        fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
                strerror(error != 0 ? error : EIO));
        return kWriteError;
    }
    return status;
}

long long millisecondsSince(ToolClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(ToolClock::now() - start).count();
}

int printHelp(const std::string& text, const char* program)
{
    errno = 0;
    fputs(text.c_str(), stdout);
    return finishStandardOutput(0, program);
}

std::string countOf(unsigned long long count, const char* singular, const char* plural)
{
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

int printVersion(const char* program)
{
    return printHelp(std::string(program) + " " + kTressmoorVersion + "\n", program);
}
