#ifndef TRESSMOOR_HAIR_HAIRFILE_H
#define TRESSMOOR_HAIR_HAIRFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class HairSettings;
class HairStore;

// The HAIR strand format: a 128-byte little-endian header, then the arrays its
// flags announce, in the order of the flag bits.
constexpr size_t kHairHeaderSize = 128;
constexpr size_t kHairInfoOffset = 40;
constexpr size_t kHairInfoSize = 88;
constexpr uint32_t kHairHasSegments = 1u << 0;
constexpr uint32_t kHairHasPoints = 1u << 1;
constexpr uint32_t kHairHasThickness = 1u << 2;
constexpr uint32_t kHairHasTransparency = 1u << 3;
constexpr uint32_t kHairHasColour = 1u << 4;
constexpr uint32_t kHairKnownFlags = 0x1Fu;

// Every strand tube is the unit ring swept along its centreline.
constexpr float kHairFileThickness = 2.0f;
// Tag and version that open the recipe Tressmoor writes into the information text.
constexpr const char* kHairRecipeTag = "tressmoor-hair";
constexpr int kHairRecipeVersion = 1;

// A saved coordinate farther out than this could overflow the tube's evaluation;
// grown hair never leaves a few hundred units of the origin.
constexpr float kMaxHairCoordinate = 1.0e6f;

// The range of one slider; the file reader and tressmoor-grow accept exactly these.
struct SettingRange {
    const char* name;
    int minimum;
    int maximum;
    int step;
};

inline constexpr SettingRange kLengthRange = {"length", 1, 40, 1};
inline constexpr SettingRange kRestAngleRange = {"restAngle", 0, 90, 1};
inline constexpr SettingRange kHairsRange = {"hairs", 1, 50, 1};
inline constexpr SettingRange kClustersRange = {"clusters", 1, 10, 1};
inline constexpr SettingRange kPartsRange = {"parts", 8, 16, 2};

bool isInRange(const SettingRange& range, int value);
// "from 1 to 40", or "8, 10, ... 16" style wording for stepped ranges.
std::string describeRange(const SettingRange& range);

// Everything needed to regrow or rebuild a hair: the shape and style codes of
// HairSettings and the five slider values.
struct HairRecipe {
    int shape;
    int style;
    int length;
    int restAngle;
    int hairs;
    int clusters;
    int parts;
};

HairRecipe recipeFromSettings(const HairSettings& settings);
// Store the recipe's shape, style and five numbers in the settings.
void applyRecipe(const HairRecipe& recipe, HairSettings& settings);
// clusters² x hairs: how many strands the hair of a recipe has.
size_t strandTotal(const HairRecipe& recipe);

// The information text, e.g. "tressmoor-hair 1 sphere combed length=10 restAngle=1
// hairs=1 clusters=1 parts=10"; always shorter than the 88-byte field.
std::string formatRecipe(const HairRecipe& recipe);
// False with the reason when the text is not a recipe this version can use.
// hasTag tells whether the text opens with the recipe tag at all.
bool parseRecipe(const std::string& text, HairRecipe& recipe, bool& hasTag, std::string& problem);
// Shape and style known, every number inside its slider's range, within the store.
bool checkRecipe(const HairRecipe& recipe, std::string& problem);

// The largest file a valid Tressmoor hair can take: the most strands and points
// the sliders allow, with every optional array. Anything larger is refused unread.
constexpr size_t kMaxHairFileStrands =
    size_t(kClustersRange.maximum) * kClustersRange.maximum * kHairsRange.maximum;
constexpr size_t kMaxHairFilePoints = kMaxHairFileStrands * kPartsRange.maximum;
constexpr size_t kMaxHairFileSize = kHairHeaderSize + 2 * kMaxHairFileStrands + 32 * kMaxHairFilePoints;

// A validated file: its recipe and the centrelines, x, y, z per point, strand by
// strand in record order, root first. Holds clusters² x hairs x parts points.
struct HairFileContents {
    HairRecipe recipe;
    std::vector<float> points;
};

// Check every field of a HAIR file and, only if all is well, fill contents.
// Reads nothing beyond size and allocates no more than size justifies.
bool decodeHairFile(const unsigned char* data, size_t size, HairFileContents& contents,
                    std::string& problem);

// Rebuild the store's current strands from a decoded file through buildStrand:
// clusters² records of hairs strands each. Draws no random numbers. The only
// operation here that changes the store; it lives in HairFileApply.cpp, so the
// rest of the format builds without the store and the surface code.
bool applyHairFile(const HairFileContents& contents);

enum class HairFileFormat { Hair, Obj };

// ".obj" (any case) means OBJ; anything else is HAIR.
HairFileFormat formatForPath(const std::string& path);
bool hasExtension(const std::string& path, const char* extension);

// Take clusters, hairs and parts from the hair in the store, which is what the
// file will hold even if the sliders have moved since it grew. False when no hair
// has grown or the current strands do not share one layout.
bool adoptStoreLayout(const HairStore& store, HairRecipe& recipe, std::string& problem);

// The current strands' centrelines in the chosen format, with the recipe. The
// recipe's layout must match the store (see adoptStoreLayout).
bool encodeStoredHair(const HairStore& store, const HairRecipe& recipe, HairFileFormat format,
                      std::vector<unsigned char>& bytes, std::string& problem);

// Write to a temporary file beside path, flush it to disk and rename it over
// path, so a failure leaves any old file as it was and no partial file behind.
// An existing regular file keeps its permissions; anything else at path, a
// symbolic link included, is replaced, not followed, by a file with the mode the
// umask allows. SIGHUP, SIGINT or SIGTERM during the save remove the temporary
// file before they end the process. A folder that cannot be flushed after the
// rename fails the save, although the new file is then in place.
bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem);

// The whole file, refused without reading when larger than limit.
bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem);

#endif
