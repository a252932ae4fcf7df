#include "formats/RecipeText.h"

#include <charconv>
#include <vector>

#include "formats/HairCodec.h"
#include "formats/MeshReader.h"

#include "hair/HairStore.h"

std::vector<std::string> splitOnSpaces(const std::string& text)
{
    std::vector<std::string> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t space = text.find(' ', start);
        if (space == std::string::npos) {
            space = text.size();
        }
        tokens.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    return tokens;
}

namespace {

std::string outOfRange(const SettingRange& range, const std::string& value)
{
    return "its recipe's " + std::string(range.name) + " " + value +
           " is outside the slider's range, " + describeRange(range);
}

// The version token, then the shape and style names.
bool parseRecipeHead(const std::string& text, const std::vector<std::string>& tokens,
                     HairRecipe& recipe, std::string& problem)
{
    long long version = 0;
    if (tokens.size() < 2 || !parseWholeNumber(tokens[1], version)) {
        problem = "its recipe has no version number";
        return false;
    }
    if (version != kHairRecipeVersion) {
        problem = "its recipe is version " + tokens[1] + ", but this Tressmoor reads version " +
                  std::to_string(kHairRecipeVersion);
        return false;
    }
    if (tokens.size() != 4 + kRecipeNumberCount) {
        problem = "its recipe \"" + text + "\" is malformed";
        return false;
    }
    if (!shapeFromName(tokens[2], recipe.shape)) {
        problem = "its recipe names an unknown shape \"" + tokens[2] + "\"";
        return false;
    }
    if (!styleFromName(tokens[3], recipe.style)) {
        problem = "its recipe names an unknown style \"" + tokens[3] + "\"";
        return false;
    }
    return true;
}

// The five "name=value" tokens after the head, in the table's order.
bool parseRecipeNumbers(const std::string& text, const std::vector<std::string>& tokens,
                        HairRecipe& recipe, std::string& problem)
{
    size_t t = 4;
    for (const RecipeNumber& number : kRecipeNumbers) {
        const std::string key = std::string(number.range->name) + "=";
        const std::string& token = tokens[t++];
        long long value = 0;
        if (token.compare(0, key.size(), key) != 0 ||
            !parseWholeNumber(token.substr(key.size()), value)) {
            problem = "its recipe \"" + text + "\" is malformed at \"" + token + "\"";
            return false;
        }
        if (value < number.range->minimum || value > number.range->maximum) {
            problem = outOfRange(*number.range, token.substr(key.size()));
            return false;
        }
        recipe.*number.field = static_cast<int>(value);
    }
    return true;
}

std::string formatMeshRecipe(const HairRecipe& recipe)
{
    const char* style = styleName(recipe.style);
    std::string text = std::string(kMeshRecipeTag) + " " + std::to_string(kMeshRecipeVersion) + " " +
                       meshHashText(recipe.meshHash) + " " + (style != nullptr ? style : "?");
    for (const RecipeNumber& number : kRecipeNumbers) {
        text += " " + std::to_string(recipe.*number.field);
    }
    return text;
}

bool parseMeshRecipe(const std::string& text, const std::vector<std::string>& tokens,
                     HairRecipe& recipe, std::string& problem)
{
    long long version = 0;
    if (tokens.size() < 2 || !parseWholeNumber(tokens[1], version)) {
        problem = "its recipe has no version number";
        return false;
    }
    if (version != kMeshRecipeVersion) {
        problem = "its mesh recipe is version " + tokens[1] + ", but this Tressmoor reads version " +
                  std::to_string(kMeshRecipeVersion);
        return false;
    }
    if (tokens.size() != 4 + kRecipeNumberCount || !parseMeshHash(tokens[2], recipe.meshHash)) {
        problem = "its recipe \"" + text + "\" is malformed";
        return false;
    }
    recipe.shape = UnderlyingShape::Mesh;
    if (!styleFromName(tokens[3], recipe.style)) {
        problem = "its recipe names an unknown style \"" + tokens[3] + "\"";
        return false;
    }
    size_t t = 4;
    for (const RecipeNumber& number : kRecipeNumbers) {
        long long value = 0;
        if (!parseWholeNumber(tokens[t], value)) {
            problem = "its recipe \"" + text + "\" is malformed at \"" + tokens[t] + "\"";
            return false;
        }
        if (value < number.range->minimum || value > number.range->maximum) {
            problem = outOfRange(*number.range, tokens[t]);
            return false;
        }
        recipe.*number.field = static_cast<int>(value);
        ++t;
    }
    return true;
}

}  // namespace

std::string formatRecipe(const HairRecipe& recipe)
{
    if (recipe.shape == UnderlyingShape::Mesh) {
        return formatMeshRecipe(recipe);
    }
    const char* shape = shapeName(recipe.shape);
    const char* style = styleName(recipe.style);
    std::string text = std::string(kHairRecipeTag) + " " + std::to_string(kHairRecipeVersion) + " " +
                       (shape != nullptr ? shape : "?") + " " + (style != nullptr ? style : "?");
    for (const RecipeNumber& number : kRecipeNumbers) {
        text += " " + std::string(number.range->name) + "=" + std::to_string(recipe.*number.field);
    }
    return text;
}

bool parseRecipe(const std::string& text, HairRecipe& recipe, bool& hasTag, std::string& problem)
{
    std::vector<std::string> tokens = splitOnSpaces(text);
    if (tokens[0] == kMeshRecipeTag) {
        hasTag = true;
        HairRecipe parsed = {};
        if (!parseMeshRecipe(text, tokens, parsed, problem) || !checkRecipe(parsed, problem)) {
            return false;
        }
        recipe = parsed;
        return true;
    }
    hasTag = tokens[0] == kHairRecipeTag;
    if (!hasTag) {
        problem = "its information text holds no Tressmoor recipe, so the shape and settings "
                  "of this hair are unknown";
        return false;
    }
    HairRecipe parsed = {};
    if (!parseRecipeHead(text, tokens, parsed, problem) ||
        !parseRecipeNumbers(text, tokens, parsed, problem) || !checkRecipe(parsed, problem)) {
        return false;
    }
    recipe = parsed;
    return true;
}

bool checkRecipe(const HairRecipe& recipe, std::string& problem)
{
    if (shapeName(recipe.shape) == nullptr) {
        problem = "its recipe has no known shape";
        return false;
    }
    if (styleName(recipe.style) == nullptr) {
        problem = "its recipe has no known style";
        return false;
    }
    for (const RecipeNumber& number : kRecipeNumbers) {
        const int value = recipe.*number.field;
        if (!isInRange(*number.range, value)) {
            problem = outOfRange(*number.range, std::to_string(value));
            return false;
        }
    }
    // The slider ranges keep within the store; this holds even if they are widened.
    if (recipe.clusters * recipe.clusters > kMaxClusters || recipe.hairs > kMaxStrandsPerCluster ||
        !isValidStrandParts(recipe.parts)) {
        problem = "its recipe asks for more hair than the store holds";
        return false;
    }
    return true;
}

std::string shortestText(float value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string formatChildOptions(const ChildRequest& request)
{
    const ChildOptions& options = request.generation;
    std::string text = "children=" + std::to_string(options.children) + " mode=" +
                       childModeName(options.mode);
    for (const ChildNumber& number : kChildNumbers) {
        if (number.outputField == &ChildOutput::rootWidth) {
            text += " seed=" + std::to_string(options.seed);
        }
        text += " " + std::string(number.name) + "=" + shortestText(number.in(request));
    }
    return text + " guides=" + (request.output.keepGuides ? "keep" : "drop");
}
