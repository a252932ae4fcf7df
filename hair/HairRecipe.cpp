#include "hair/HairRecipe.h"

#include <charconv>

namespace {

struct NamedCode {
    const char* name;
    int code;
};

constexpr NamedCode kShapeNames[] = {{"plane", Plane}, {"sphere", Sphere}, {"torus", Torus}};
constexpr NamedCode kStyleNames[] = {{"messy", Messy}, {"combed", Combed}};

template <size_t kCount>
const char* nameOf(const NamedCode (&names)[kCount], int code)
{
    for (const NamedCode& named : names) {
        if (named.code == code) {
            return named.name;
        }
    }
    return nullptr;
}

template <size_t kCount>
bool codeOf(const NamedCode (&names)[kCount], const std::string& name, int& code)
{
    for (const NamedCode& named : names) {
        if (name == named.name) {
            code = named.code;
            return true;
        }
    }
    return false;
}

template <size_t kCount>
std::string choices(const NamedCode (&names)[kCount], const char* separator,
                    const char* lastSeparator)
{
    std::string text = names[0].name;
    for (size_t n = 1; n < kCount; ++n) {
        text += (n + 1 == kCount ? lastSeparator : separator) + std::string(names[n].name);
    }
    return text;
}

}  // namespace

HairRecipe defaultRecipe(int shape)
{
    HairRecipe recipe = {shape, Messy, 0, 0, 0, 0, 0};
    for (const RecipeNumber& number : kRecipeNumbers) {
        recipe.*number.field = number.range->initial;
    }
    return recipe;
}

bool isInRange(const SettingRange& range, int value)
{
    return value >= range.minimum && value <= range.maximum &&
           (value - range.minimum) % range.step == 0;
}

std::string describeLimits(const SettingRange& range)
{
    std::string text = std::to_string(range.minimum) + " to " + std::to_string(range.maximum);
    if (range.step != 1) {
        text += " in steps of " + std::to_string(range.step);
    }
    return text;
}

std::string describeRange(const SettingRange& range)
{
    return "from " + describeLimits(range);
}

bool parseWholeNumber(const std::string& text, long long& value)
{
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value);
    if (result.ec == std::errc::result_out_of_range) {
        value = text[0] == '-' ? -1 : (1LL << 40);
        return result.ptr == end;
    }
    return result.ec == std::errc() && result.ptr == end;
}

const char* shapeName(int shape)
{
    return nameOf(kShapeNames, shape);
}

const char* styleName(int style)
{
    return nameOf(kStyleNames, style);
}

bool shapeFromName(const std::string& name, int& shape)
{
    return codeOf(kShapeNames, name, shape);
}

bool styleFromName(const std::string& name, int& style)
{
    return codeOf(kStyleNames, name, style);
}

std::string shapeNameChoices(const char* separator, const char* lastSeparator)
{
    return choices(kShapeNames, separator, lastSeparator);
}

std::string styleNameChoices(const char* separator, const char* lastSeparator)
{
    return choices(kStyleNames, separator, lastSeparator);
}

size_t strandTotal(const HairRecipe& recipe)
{
    return size_t(recipe.clusters) * size_t(recipe.clusters) * size_t(recipe.hairs);
}

