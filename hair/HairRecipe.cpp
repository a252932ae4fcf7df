#include "hair/HairRecipe.h"

#include <charconv>

namespace {

template <typename Code>
struct NamedCode {
    const char* name;
    Code code;
};

constexpr NamedCode<UnderlyingShape> kShapeNames[] = {{"plane", UnderlyingShape::Plane},
                                                      {"sphere", UnderlyingShape::Sphere},
                                                      {"torus", UnderlyingShape::Torus}};
constexpr NamedCode<HairStyle> kStyleNames[] = {{"messy", HairStyle::Messy},
                                                {"combed", HairStyle::Combed}};

template <typename Code, size_t kCount>
const char* nameOf(const NamedCode<Code> (&names)[kCount], Code code)
{
    for (const NamedCode<Code>& named : names) {
        if (named.code == code) {
            return named.name;
        }
    }
    return nullptr;
}

template <typename Code, size_t kCount>
bool codeOf(const NamedCode<Code> (&names)[kCount], const std::string& name, Code& code)
{
    for (const NamedCode<Code>& named : names) {
        if (name == named.name) {
            code = named.code;
            return true;
        }
    }
    return false;
}

template <typename Code, size_t kCount>
std::string choices(const NamedCode<Code> (&names)[kCount], const char* separator,
                    const char* lastSeparator)
{
    std::string text = names[0].name;
    for (size_t n = 1; n < kCount; ++n) {
        text += (n + 1 == kCount ? lastSeparator : separator) + std::string(names[n].name);
    }
    return text;
}

}  // namespace

HairRecipe defaultRecipe(UnderlyingShape shape)
{
    HairRecipe recipe = {shape, HairStyle::Messy, 0, 0, 0, 0, 0};
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

const char* shapeName(UnderlyingShape shape)
{
    if (shape == UnderlyingShape::Mesh) {
        return "mesh";
    }
    return nameOf(kShapeNames, shape);
}

const char* styleName(HairStyle style)
{
    return nameOf(kStyleNames, style);
}

bool shapeFromName(const std::string& name, UnderlyingShape& shape)
{
    return codeOf(kShapeNames, name, shape);
}

bool styleFromName(const std::string& name, HairStyle& style)
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

