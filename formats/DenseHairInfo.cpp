#include "formats/DenseHairInfo.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "formats/ByteCodec.h"
#include "formats/HairCodec.h"
#include "formats/RecipeText.h"

namespace {

constexpr int kWordsVersion = 1;
constexpr int kPackedVersion = 2;

// The packed form's record: flags, the recipe's shape and numbers, the growth,
// the child count, the five child numbers and the seed, little-endian.
constexpr size_t kPackedSize = 1 + 1 + kRecipeNumberCount + 4 + 4 + 4 * kChildNumberCount + 8;
// Hair on a mesh adds the mesh file's hash, which never fits beside the words.
constexpr size_t kPackedMeshSize = kPackedSize + 8;
enum PackedFlag : unsigned char {
    kHasRecipe = 1,
    kBetween = 2,
    kKeepGuides = 4,
    kWidthsGiven = 8,
    kCombed = 16,
};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<unsigned char>& bytes)
{
    std::string text;
    uint32_t bits = 0;
    int held = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        held += 8;
        while (held >= 6) {
            held -= 6;
            text += kBase64[(bits >> held) & 63];
        }
    }
    if (held > 0) {
        text += kBase64[(bits << (6 - held)) & 63];
    }
    return text;
}

bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes)
{
    uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        const char* at = c != '\0' ? std::strchr(kBase64, c) : nullptr;
        if (at == nullptr) {
            return false;
        }
        bits = (bits << 6) | static_cast<uint32_t>(at - kBase64);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    // Leftover bits are the padding of the last character, and are zero.
    return (bits & ((1u << held) - 1)) == 0;
}

template <typename Number>
bool parseWhole(const std::string& text, Number& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && text[0] != '-' && result.ec == std::errc() && result.ptr == end;
}

bool parseFloat(const std::string& text, float& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool hasPrefix(const std::string& word, const char* prefix, std::string& rest)
{
    const size_t length = std::strlen(prefix);
    if (word.compare(0, length, prefix) != 0) {
        return false;
    }
    rest = word.substr(length);
    return true;
}

std::vector<std::string> optionWords(const DenseHairInfo& info)
{
    const ChildOptions& options = info.request.generation;
    const ChildOutput& output = info.request.output;
    const ChildRequest defaults;
    std::vector<std::string> words = {"children=" + std::to_string(options.children),
                                      childModeName(options.mode)};
    for (const ChildNumber& number : kChildNumbers) {
        if (!number.isWidth() && number.in(info.request) != number.in(defaults)) {
            words.push_back(std::string(number.name) + "=" + shortestText(number.in(info.request)));
        }
    }
    // The two widths in one word, root first: the header has little room. Widths
    // asked for are named even at their defaults, since they make the hair dense.
    if (output.widthsGiven || output.rootWidth != defaults.output.rootWidth ||
        output.tipWidth != defaults.output.tipWidth) {
        words.push_back("widths=" + shortestText(output.rootWidth) + ":" +
                        shortestText(output.tipWidth));
    }
    if (options.seed != defaults.generation.seed) {
        words.push_back("seed=" + std::to_string(options.seed));
    }
    if (!output.keepGuides) {
        words.push_back("drop");
    }
    if (info.growth != 1) {
        words.push_back("growth=" + std::to_string(info.growth));
    }
    return words;
}

std::string packed(const DenseHairInfo& info)
{
    const ChildOptions& options = info.request.generation;
    const ChildOutput& output = info.request.output;
    std::vector<unsigned char> bytes;
    const unsigned char flags = (info.hasRecipe ? kHasRecipe : 0) |
                                (options.mode == ChildMode::Between ? kBetween : 0) |
                                (output.keepGuides ? kKeepGuides : 0) |
                                (output.widthsGiven ? kWidthsGiven : 0) |
                                (info.hasRecipe && info.recipe.style == HairStyle::Combed ? kCombed : 0);
    bytes.push_back(flags);
    bytes.push_back(info.hasRecipe ? static_cast<unsigned char>(info.recipe.shape) : 0);
    for (const RecipeNumber& number : kRecipeNumbers) {
        bytes.push_back(info.hasRecipe ? static_cast<unsigned char>(info.recipe.*number.field) : 0);
    }
    appendU32(bytes, static_cast<uint32_t>(info.growth));
    appendU32(bytes, options.children);
    for (const ChildNumber& number : kChildNumbers) {
        appendF32(bytes, number.in(info.request));
    }
    appendU32(bytes, static_cast<uint32_t>(options.seed));
    appendU32(bytes, static_cast<uint32_t>(options.seed >> 32));
    if (info.hasRecipe && info.recipe.shape == UnderlyingShape::Mesh) {
        appendU32(bytes, static_cast<uint32_t>(info.recipe.meshHash));
        appendU32(bytes, static_cast<uint32_t>(info.recipe.meshHash >> 32));
    }
    return std::string(kDenseHairTag) + " " + std::to_string(kPackedVersion) + " " + base64(bytes);
}

bool damaged(const std::string& why, std::string& problem)
{
    problem = "its information text of hair with children is damaged (" + why + ")";
    return false;
}

// Every number within what the options take, the growth among a run's.
bool checkValues(const DenseHairInfo& info, std::string& problem)
{
    if (info.hasRecipe && !checkRecipe(info.recipe, problem)) {
        return false;
    }
    if (info.growth < kGrowthRange.minimum || info.growth > kGrowthRange.maximum) {
        return damaged("growth " + std::to_string(info.growth), problem);
    }
    for (const ChildNumber& number : kChildNumbers) {
        const float value = number.in(info.request);
        if (!(value >= number.minimum && value <= number.maximum)) {
            return damaged(std::string(number.name) + " " + shortestText(value), problem);
        }
    }
    return true;
}

bool parseWords(const std::vector<std::string>& words, DenseHairInfo& info, std::string& problem)
{
    size_t w = 2;
    UnderlyingShape shape;
    if (w < words.size() && shapeFromName(words[w], shape)) {
        if (words.size() < w + 2 + kRecipeNumberCount ||
            !styleFromName(words[w + 1], info.recipe.style)) {
            return damaged("a recipe without its style and numbers", problem);
        }
        info.hasRecipe = true;
        info.recipe.shape = shape;
        w += 2;
        for (const RecipeNumber& number : kRecipeNumbers) {
            if (!parseWhole(words[w++], info.recipe.*number.field)) {
                return damaged("the recipe's " + std::string(number.range->name), problem);
            }
        }
    }
    std::string rest;
    if (w >= words.size() || !hasPrefix(words[w], "children=", rest) ||
        !parseWhole(rest, info.request.generation.children)) {
        return damaged("no child count", problem);
    }
    if (++w >= words.size() || !childModeFromName(words[w], info.request.generation.mode)) {
        return damaged("no child mode", problem);
    }
    std::vector<std::string> seen;
    for (++w; w < words.size(); ++w) {
        const std::string& word = words[w];
        const std::string key = word.substr(0, word.find('='));
        for (const std::string& earlier : seen) {
            if (earlier == key) {
                return damaged(key + " twice", problem);
            }
        }
        seen.push_back(key);
        bool known = false;
        for (const ChildNumber& number : kChildNumbers) {
            if (hasPrefix(word, (std::string(number.name) + "=").c_str(), rest)) {
                known = parseFloat(rest, number.in(info.request));
            }
        }
        if (hasPrefix(word, "widths=", rest)) {
            const size_t colon = rest.find(':');
            known = colon != std::string::npos &&
                    parseFloat(rest.substr(0, colon), info.request.output.rootWidth) &&
                    parseFloat(rest.substr(colon + 1), info.request.output.tipWidth);
            info.request.output.widthsGiven = known;
        } else if (hasPrefix(word, "seed=", rest)) {
            known = parseWhole(rest, info.request.generation.seed);
        } else if (hasPrefix(word, "growth=", rest)) {
            known = parseWhole(rest, info.growth);
        } else if (word == "drop") {
            info.request.output.keepGuides = false;
            known = true;
        }
        if (!known) {
            return damaged("\"" + word + "\"", problem);
        }
    }
    return true;
}

bool parsePacked(const std::vector<std::string>& words, DenseHairInfo& info, std::string& problem)
{
    std::vector<unsigned char> bytes;
    if (words.size() != 3 || !fromBase64(words[2], bytes)) {
        return damaged("its packed values do not read", problem);
    }
    const bool onMesh = bytes.size() > 1 && (bytes[0] & kHasRecipe) != 0 &&
                        bytes[1] == static_cast<unsigned char>(UnderlyingShape::Mesh);
    if (bytes.size() != (onMesh ? kPackedMeshSize : kPackedSize)) {
        return damaged("its packed values do not read", problem);
    }
    const unsigned char flags = bytes[0];
    info.hasRecipe = (flags & kHasRecipe) != 0;
    if (info.hasRecipe) {
        info.recipe.shape = static_cast<UnderlyingShape>(bytes[1]);
        info.recipe.style = (flags & kCombed) != 0 ? HairStyle::Combed : HairStyle::Messy;
        for (int k = 0; k < kRecipeNumberCount; ++k) {
            info.recipe.*kRecipeNumbers[k].field = bytes[2 + k];
        }
    }
    ChildOptions& options = info.request.generation;
    options.mode = (flags & kBetween) != 0 ? ChildMode::Between : ChildMode::Around;
    info.request.output.keepGuides = (flags & kKeepGuides) != 0;
    info.request.output.widthsGiven = (flags & kWidthsGiven) != 0;
    const unsigned char* at = bytes.data() + 2 + kRecipeNumberCount;
    const uint32_t growth = readU32(at);
    if (growth > uint32_t(kGrowthRange.maximum)) {
        return damaged("growth " + std::to_string(growth), problem);
    }
    info.growth = static_cast<int>(growth);
    options.children = readU32(at + 4);
    at += 8;
    for (const ChildNumber& number : kChildNumbers) {
        number.in(info.request) = readF32(at);
        at += 4;
    }
    options.seed = uint64_t(readU32(at)) | uint64_t(readU32(at + 4)) << 32;
    if (onMesh) {
        info.recipe.meshHash = uint64_t(readU32(at + 8)) | uint64_t(readU32(at + 12)) << 32;
    }
    return true;
}

}  // namespace

std::string formatDenseHairInfo(const DenseHairInfo& info)
{
    if (info.hasRecipe && info.recipe.shape == UnderlyingShape::Mesh) {
        return packed(info);
    }
    std::string text = std::string(kDenseHairTag) + " " + std::to_string(kWordsVersion);
    if (info.hasRecipe) {
        text += " " + std::string(shapeName(info.recipe.shape)) + " " + styleName(info.recipe.style);
        for (const RecipeNumber& number : kRecipeNumbers) {
            text += " " + std::to_string(info.recipe.*number.field);
        }
    }
    for (const std::string& word : optionWords(info)) {
        text += " " + word;
    }
    return text.size() <= kHairInfoSize ? text : packed(info);
}

bool parseDenseHairInfo(const std::string& text, DenseHairInfo& info, bool& hasTag,
                        std::string& problem)
{
    const std::vector<std::string> words = splitOnSpaces(text);
    hasTag = !words.empty() && words[0] == kDenseHairTag;
    if (!hasTag) {
        problem = "its information text does not describe hair with children";
        return false;
    }
    int version = 0;
    if (words.size() < 2 || !parseWhole(words[1], version)) {
        return damaged("no version", problem);
    }
    if (version != kWordsVersion && version != kPackedVersion) {
        problem = "it is hair with children from a newer Tressmoor (version " + words[1] +
                  "); this one reads versions " + std::to_string(kWordsVersion) + " and " +
                  std::to_string(kPackedVersion);
        return false;
    }
    DenseHairInfo read;
    if (!(version == kWordsVersion ? parseWords(words, read, problem) : parsePacked(words, read, problem)) ||
        !checkValues(read, problem)) {
        return false;
    }
    info = read;
    return true;
}
