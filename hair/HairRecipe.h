#ifndef TRESSMOOR_HAIR_HAIRRECIPE_H
#define TRESSMOOR_HAIR_HAIRRECIPE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/UnderlyingShapes.h"

enum class HairStyle : int32_t { Messy = 8, Combed = 9 };

// Everything a growth reads, and everything needed to regrow or rebuild a hair:
// the shape and style codes and the five numbers of the window's sliders.
struct HairRecipe {
    UnderlyingShape shape;
    HairStyle style;
    int length;
    int restAngle;
    int hairs;
    int clusters;
    int parts;
    // Mesh only: the hash of the mesh file's bytes, which names the mesh.
    uint64_t meshHash = 0;
};

// The range of one number: its name (in recipes and on standard output), the
// slider's limits and step, and its default.
struct SettingRange {
    const char* name;
    int minimum;
    int maximum;
    int step;
    int initial;
};

inline constexpr SettingRange kLengthRange = {"length", 1, 40, 1, 10};
inline constexpr SettingRange kRestAngleRange = {"restAngle", 0, 90, 1, 1};
inline constexpr SettingRange kHairsRange = {"hairs", 1, 50, 1, 1};
inline constexpr SettingRange kClustersRange = {"clusters", 1, 10, 1, 1};
inline constexpr SettingRange kPartsRange = {"parts", 8, 16, 2, 10};
// Which growth of a fresh run: 1 is the hair grown when the shape is picked, N
// the hair after N - 1 further growths.
inline constexpr SettingRange kGrowthRange = {"growth", 1, 1000000, 1, 1};

// The one table of the five numbers, in the order recipes write them. The sliders,
// the recipe check, and tressmoor-grow's defaults, options and help all read it.
struct RecipeNumber {
    const SettingRange* range;
    int HairRecipe::*field;
    const char* option;   // tressmoor-grow's option
    const char* meaning;  // how its help describes the number
};

inline constexpr int kRecipeNumberCount = 5;
inline constexpr RecipeNumber kRecipeNumbers[kRecipeNumberCount] = {
    {&kLengthRange, &HairRecipe::length, "--length", "length of hair"},
    {&kRestAngleRange, &HairRecipe::restAngle, "--rest-angle", "rest angle"},
    {&kHairsRange, &HairRecipe::hairs, "--hairs", "hairs in a cluster"},
    {&kClustersRange, &HairRecipe::clusters, "--clusters", "clusters per side"},
    {&kPartsRange, &HairRecipe::parts, "--parts", "parts per strand"},
};

// Messy hair of the given shape with every number at its default.
HairRecipe defaultRecipe(UnderlyingShape shape);

bool isInRange(const SettingRange& range, int value);
// "1 to 40", or "8 to 16 in steps of 2".
std::string describeLimits(const SettingRange& range);
// "from 1 to 40", or "from 8 to 16 in steps of 2".
std::string describeRange(const SettingRange& range);
// A whole decimal number that fills the text: digits with an optional '-'. Values
// too large for a long long come back as -1 or 2^40, so any range refuses them.
bool parseWholeNumber(const std::string& text, long long& value);

// "plane", "sphere", "torus" (and "mesh", which no option or menu names) and
// "messy", "combed"; null for an unknown code.
const char* shapeName(UnderlyingShape shape);
const char* styleName(HairStyle style);
// The codes of those names; false for any other text.
bool shapeFromName(const std::string& name, UnderlyingShape& shape);
bool styleFromName(const std::string& name, HairStyle& style);
// Every name, e.g. "plane, sphere or torus", or "plane|sphere|torus" with "|" for both.
std::string shapeNameChoices(const char* separator = ", ", const char* lastSeparator = " or ");
std::string styleNameChoices(const char* separator = ", ", const char* lastSeparator = " or ");

// clusters² x hairs: how many strands the hair of a recipe has.
size_t strandTotal(const HairRecipe& recipe);

#endif
