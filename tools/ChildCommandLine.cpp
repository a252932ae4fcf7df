#include "tools/ChildCommandLine.h"

#include <charconv>

#include "formats/RecipeText.h"

namespace {

constexpr const char* kKeepName = "keep";
constexpr const char* kDropName = "drop";

// Digits alone, up to the type's largest value.
template <typename Unsigned>
bool parseUnsigned(const std::string& text, Unsigned& value)
{
    const char* last = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), last, value);
    return !text.empty() && text[0] != '-' && text[0] != '+' && result.ec == std::errc() &&
           result.ptr == last;
}

std::string limitsOf(const ChildNumber& number)
{
    return "from " + shortestText(number.minimum) + " to " + shortestText(number.maximum);
}

}  // namespace

OptionResult readChildOption(ArgumentReader& reader, ChildRequest& request, std::string& message)
{
    ChildOptions& options = request.generation;
    const std::string& option = reader.option();
    std::string value;
    if (option == "--children") {
        if (!reader.takeValue(value) || !parseUnsigned(value, options.children)) {
            message = "--children must be a whole number from 0 to 4294967295 (children per guide)";
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (option == "--child-mode") {
        if (!reader.takeValue(value) || !childModeFromName(value, options.mode)) {
            message = "--child-mode must be around or between";
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (option == "--seed") {
        if (!reader.takeValue(value) || !parseUnsigned(value, options.seed)) {
            message = "--seed must be a whole number from 0 to 18446744073709551615";
            return OptionResult::Bad;
        }
        return OptionResult::Taken;
    }
    if (option == "--guides") {
        if (!reader.takeValue(value) || (value != kKeepName && value != kDropName)) {
            message = "--guides must be keep or drop";
            return OptionResult::Bad;
        }
        request.output.keepGuides = value == kKeepName;
        return OptionResult::Taken;
    }
    for (const ChildNumber& number : kChildNumbers) {
        if (option != number.option) {
            continue;
        }
        double parsed = 0.0;
        if (!reader.takeValue(value) ||
            !parseDecimal(value, static_cast<double>(number.maximum), parsed) ||
            static_cast<float>(parsed) < number.minimum) {
            message = std::string(number.option) + " must be a number " + limitsOf(number);
            return OptionResult::Bad;
        }
        number.in(request) = static_cast<float>(parsed);
        request.output.widthsGiven = request.output.widthsGiven || number.isWidth();
        return OptionResult::Taken;
    }
    return OptionResult::NotMine;
}

std::string childOptionsHelp()
{
    const ChildRequest defaults;
    std::string text = helpLine("--children N", "children per guide strand (default 0)");
    text += helpLine("--child-mode around|between", "children around each guide, or spread");
    text += helpLine("", "between the three nearest (default around)");
    for (const ChildNumber& number : kChildNumbers) {
        text += helpLine(std::string(number.option) + " X", std::string(number.meaning) + ",");
        text += helpLine("", shortestText(number.minimum) + " to " + shortestText(number.maximum) +
                                 " (default " + shortestText(number.in(defaults)) + ")");
    }
    text += helpLine("--seed S", "the children's seed: one seed, the same");
    text += helpLine("", "children on any machine (default " +
                             std::to_string(defaults.generation.seed) + ")");
    text += helpLine("--guides keep|drop", "the guides first, then their children;");
    text += helpLine("", "or the children alone (default keep)");
    return text;
}
