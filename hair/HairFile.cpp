#include "hair/HairFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/HairSettings.h"
#include "hair/HairStore.h"

namespace {

// The diffuse colour the view lights strands with; other tools show it as the hair's colour.
constexpr float kHairFileColour[3] = {0.1f, 0.5f, 0.8f};

uint32_t readU32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t readU16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

float readF32(const unsigned char* p)
{
    uint32_t bits = readU32(p);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

void appendU32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void appendF32(std::vector<unsigned char>& out, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    appendU32(out, bits);
}

void appendText(std::vector<unsigned char>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

const char* shapeName(int shape)
{
    switch (shape) {
    case Plane: return "plane";
    case Sphere: return "sphere";
    case Torus: return "torus";
    default: return nullptr;
    }
}

const char* styleName(int style)
{
    switch (style) {
    case Messy: return "messy";
    case Combed: return "combed";
    default: return nullptr;
    }
}

int shapeCode(const std::string& name)
{
    for (int shape : {Plane, Sphere, Torus}) {
        if (name == shapeName(shape)) {
            return shape;
        }
    }
    return -1;
}

int styleCode(const std::string& name)
{
    for (int style : {Messy, Combed}) {
        if (name == styleName(style)) {
            return style;
        }
    }
    return -1;
}

// A whole decimal number that fills the token; no sign but '-', no blanks.
bool parseWholeNumber(const std::string& token, long long& value)
{
    const char* end = token.data() + token.size();
    auto result = std::from_chars(token.data(), end, value);
    if (result.ec == std::errc::result_out_of_range) {
        value = token[0] == '-' ? -1 : (1LL << 40);
        return result.ptr == end;
    }
    return result.ec == std::errc() && result.ptr == end;
}

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

struct RecipeNumber {
    const SettingRange* range;
    int HairRecipe::*field;
};

const RecipeNumber kRecipeNumbers[] = {
    {&kLengthRange, &HairRecipe::length},   {&kRestAngleRange, &HairRecipe::restAngle},
    {&kHairsRange, &HairRecipe::hairs},     {&kClustersRange, &HairRecipe::clusters},
    {&kPartsRange, &HairRecipe::parts},
};

// Centre point r of a strand. Ring point 2 lies at x offset 0 and ring point 0 at
// y and z offset 0, and adding 0 changes no float (-0 becomes +0, which rebuilds
// the same net), so these are exactly the centreline buildStrand was given.
void centrePoint(const NurbsSurface& strand, int r, float point[3])
{
    const ControlPoint* ring = strand.controlNet + r * kStrandRingPoints;
    point[0] = ring[2].x;
    point[1] = ring[0].y;
    point[2] = ring[0].z;
}

// Every current strand's centreline, root to tip, in record then strand order.
template <typename Visit>
void forEachCentrePoint(const HairStore& store, int parts, Visit visit)
{
    float point[3];
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            for (int r = 0; r < parts; ++r) {
                centrePoint(cluster.strands[k], r, point);
                visit(point);
            }
        }
    }
}

bool layoutMatches(const HairStore& store, const HairRecipe& recipe, std::string& problem)
{
    if (!store.hairGrown) {
        problem = "no hair has grown yet";
        return false;
    }
    bool uniform = store.clusterCount == recipe.clusters * recipe.clusters;
    for (int p = 0; uniform && p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        uniform = cluster.strandCount == recipe.hairs;
        for (int k = 0; uniform && k < cluster.strandCount; ++k) {
            const NurbsSurface& strand = cluster.strands[k];
            uniform = strand.controlNet != nullptr && strand.numCtrlU == recipe.parts &&
                      strand.numCtrlV == kStrandRingPoints;
        }
    }
    if (!uniform) {
        problem = "the hair in memory does not match its settings";
    }
    return uniform;
}

std::vector<unsigned char> encodeHair(const HairStore& store, const HairRecipe& recipe)
{
    const size_t strands = strandTotal(recipe);
    const size_t points = strands * recipe.parts;
    std::vector<unsigned char> out;
    out.reserve(kHairHeaderSize + points * 12);
    appendText(out, "HAIR");
    appendU32(out, static_cast<uint32_t>(strands));
    appendU32(out, static_cast<uint32_t>(points));
    appendU32(out, kHairHasPoints);
    appendU32(out, static_cast<uint32_t>(recipe.parts - 1));
    appendF32(out, kHairFileThickness);
    appendF32(out, 0.0f);
    for (float channel : kHairFileColour) {
        appendF32(out, channel);
    }
    std::string info = formatRecipe(recipe);
    appendText(out, info);
    out.resize(kHairHeaderSize, 0);

    forEachCentrePoint(store, recipe.parts, [&out](const float point[3]) {
        appendF32(out, point[0]);
        appendF32(out, point[1]);
        appendF32(out, point[2]);
    });
    return out;
}

// Shortest text that reads back as the same float, whatever the C locale says.
void appendFloatText(std::string& out, float value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::vector<unsigned char> encodeObj(const HairStore& store, const HairRecipe& recipe)
{
    std::string text = "# " + formatRecipe(recipe) + "\n";
    forEachCentrePoint(store, recipe.parts, [&text](const float point[3]) {
        text += "v ";
        appendFloatText(text, point[0]);
        text += ' ';
        appendFloatText(text, point[1]);
        text += ' ';
        appendFloatText(text, point[2]);
        text += '\n';
    });
    // OBJ indices count from 1.
    size_t next = 1;
    const size_t strands = strandTotal(recipe);
    for (size_t s = 0; s < strands; ++s) {
        text += 'l';
        for (int r = 0; r < recipe.parts; ++r) {
            text += ' ';
            text += std::to_string(next++);
        }
        text += '\n';
    }
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::string errnoText(int error)
{
    return strerror(error);
}

// Write everything, going on after short writes and interruptions.
bool writeAll(int fd, const unsigned char* data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A save in progress records its temporary file here, so that a signal ending
// the process can remove it: unlink is safe in a signal handler, building a path is not.
constexpr const char* kTemporaryFilePattern = ".tressmoor-save-XXXXXX";
char temporaryPath[PATH_MAX];
volatile sig_atomic_t temporaryExists = 0;

constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGTERM};
constexpr int kCleanupSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
struct sigaction previousActions[kCleanupSignalCount];

sigset_t cleanupSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : kCleanupSignals) {
        sigaddset(&set, signalNumber);
    }
    return set;
}

void removeTemporaryAndResignal(int signalNumber)
{
    const int savedErrno = errno;
    if (temporaryExists) {
        unlink(temporaryPath);
        temporaryExists = 0;
    }
    for (int i = 0; i < kCleanupSignalCount; ++i) {
        if (kCleanupSignals[i] == signalNumber) {
            sigaction(signalNumber, &previousActions[i], nullptr);
        }
    }
    // Blocked while this handler runs, the signal comes again as soon as it
    // returns, and then does what it would have done without the save.
    raise(signalNumber);
    errno = savedErrno;
}

// Holds the cleanup signals back while the temporary file and its record change together.
class SignalHold {
public:
    SignalHold()
    {
        const sigset_t set = cleanupSignalSet();
        sigprocmask(SIG_BLOCK, &set, &previousMask);
    }
    ~SignalHold() { sigprocmask(SIG_SETMASK, &previousMask, nullptr); }

    sigset_t previousMask;
};

// While a save runs, SIGHUP, SIGINT and SIGTERM first remove its temporary file,
// then end the process as they would have; a signal the process ignores stays
// ignored. The previous actions come back when the save ends.
class TemporaryFileCleanup {
public:
    TemporaryFileCleanup()
    {
        SignalHold hold;
        struct sigaction cleanup = {};
        cleanup.sa_handler = removeTemporaryAndResignal;
        cleanup.sa_mask = cleanupSignalSet();
        cleanup.sa_flags = SA_RESTART;
        for (int i = 0; i < kCleanupSignalCount; ++i) {
            installed[i] = sigaction(kCleanupSignals[i], nullptr, &previousActions[i]) == 0 &&
                           ((previousActions[i].sa_flags & SA_SIGINFO) != 0 ||
                            previousActions[i].sa_handler != SIG_IGN) &&
                           sigaction(kCleanupSignals[i], &cleanup, nullptr) == 0;
        }
    }

    ~TemporaryFileCleanup()
    {
        removeTemporary();
        SignalHold hold;
        for (int i = 0; i < kCleanupSignalCount; ++i) {
            if (installed[i]) {
                sigaction(kCleanupSignals[i], &previousActions[i], nullptr);
            }
        }
    }

    void removeTemporary()
    {
        SignalHold hold;
        if (temporaryExists) {
            unlink(temporaryPath);
            temporaryExists = 0;
        }
    }

    bool installed[kCleanupSignalCount];
};

}  // namespace

size_t strandTotal(const HairRecipe& recipe)
{
    return size_t(recipe.clusters) * size_t(recipe.clusters) * size_t(recipe.hairs);
}

bool isInRange(const SettingRange& range, int value)
{
    return value >= range.minimum && value <= range.maximum &&
           (value - range.minimum) % range.step == 0;
}

std::string describeRange(const SettingRange& range)
{
    std::string text = "from " + std::to_string(range.minimum) + " to " + std::to_string(range.maximum);
    if (range.step != 1) {
        text += " in steps of " + std::to_string(range.step);
    }
    return text;
}

HairRecipe recipeFromSettings(const HairSettings& settings)
{
    return {settings.shape, settings.style, settings.length, settings.restAngle,
            settings.hairs, settings.clusters, settings.parts};
}

void applyRecipe(const HairRecipe& recipe, HairSettings& settings)
{
    settings.shape = recipe.shape;
    settings.style = recipe.style;
    settings.length = recipe.length;
    settings.restAngle = recipe.restAngle;
    settings.hairs = recipe.hairs;
    settings.clusters = recipe.clusters;
    settings.parts = recipe.parts;
}

std::string formatRecipe(const HairRecipe& recipe)
{
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
    hasTag = tokens[0] == kHairRecipeTag;
    if (!hasTag) {
        problem = "its information text holds no Tressmoor recipe, so the shape and settings "
                  "of this hair are unknown";
        return false;
    }
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
    const size_t expectedTokens = 4 + sizeof kRecipeNumbers / sizeof kRecipeNumbers[0];
    if (tokens.size() != expectedTokens) {
        problem = "its recipe \"" + text + "\" is malformed";
        return false;
    }
    HairRecipe parsed = {};
    parsed.shape = shapeCode(tokens[2]);
    if (parsed.shape < 0) {
        problem = "its recipe names an unknown shape \"" + tokens[2] + "\"";
        return false;
    }
    parsed.style = styleCode(tokens[3]);
    if (parsed.style < 0) {
        problem = "its recipe names an unknown style \"" + tokens[3] + "\"";
        return false;
    }
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
            problem = "its recipe's " + std::string(number.range->name) + " " +
                      token.substr(key.size()) + " is outside the slider's range, " +
                      describeRange(*number.range);
            return false;
        }
        parsed.*number.field = static_cast<int>(value);
    }
    if (!checkRecipe(parsed, problem)) {
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
        int value = recipe.*number.field;
        if (!isInRange(*number.range, value)) {
            problem = "its recipe's " + std::string(number.range->name) + " " +
                      std::to_string(value) + " is outside the slider's range, " +
                      describeRange(*number.range);
            return false;
        }
    }
    // The slider ranges keep within the store; this holds even if they are widened.
    // The parts limits are isValidStrandParts's, spelt out so the reader needs no store code.
    if (recipe.clusters * recipe.clusters > kMaxClusters || recipe.hairs > kMaxStrandsPerCluster ||
        recipe.parts < kMinStrandParts || recipe.parts > kMaxStrandParts || recipe.parts % 2 != 0) {
        problem = "its recipe asks for more hair than the store holds";
        return false;
    }
    return true;
}

bool decodeHairFile(const unsigned char* data, size_t size, HairFileContents& contents,
                    std::string& problem)
{
    if (size < kHairHeaderSize) {
        problem = "it is " + std::to_string(size) + " bytes long, too short for the " +
                  std::to_string(kHairHeaderSize) + "-byte HAIR header";
        return false;
    }
    if (memcmp(data, "HAIR", 4) != 0) {
        problem = "it is not a HAIR file (it does not begin with the signature HAIR)";
        return false;
    }
    const uint32_t strandCount = readU32(data + 4);
    const uint32_t pointCount = readU32(data + 8);
    const uint32_t flags = readU32(data + 12);
    const uint32_t defaultSegments = readU32(data + 16);
    if ((flags & ~kHairKnownFlags) != 0) {
        char hex[16];
        snprintf(hex, sizeof hex, "0x%X", flags);
        problem = std::string("its header sets reserved flag bits (flags ") + hex + ")";
        return false;
    }
    if ((flags & kHairHasPoints) == 0) {
        problem = "it has no points array";
        return false;
    }

    // Every count is below 2^32, so none of these 64-bit sums can overflow.
    const uint64_t strands = strandCount;
    const uint64_t points = pointCount;
    const bool hasSegments = (flags & kHairHasSegments) != 0;
    uint64_t expected = kHairHeaderSize + 12 * points;
    expected += hasSegments ? 2 * strands : 0;
    expected += (flags & kHairHasThickness) != 0 ? 4 * points : 0;
    expected += (flags & kHairHasTransparency) != 0 ? 4 * points : 0;
    expected += (flags & kHairHasColour) != 0 ? 12 * points : 0;
    if (expected != size) {
        problem = "its header announces " + std::to_string(strands) + " strands and " +
                  std::to_string(points) + " points, which take " + std::to_string(expected) +
                  " bytes, but the file has " + std::to_string(size);
        return false;
    }

    // The segments array fits in the file, so this loop is bounded by its size.
    const unsigned char* segments = data + kHairHeaderSize;
    uint64_t pointsFromSegments = 0;
    if (hasSegments) {
        for (uint64_t s = 0; s < strands; ++s) {
            pointsFromSegments += uint64_t(readU16(segments + 2 * s)) + 1;
        }
    } else {
        pointsFromSegments = strands * (uint64_t(defaultSegments) + 1);
    }
    if (pointsFromSegments != points) {
        problem = "its strands' segments make " + std::to_string(pointsFromSegments) +
                  " points, but its header says " + std::to_string(points);
        return false;
    }

    auto segmentsOf = [&](uint64_t s) -> uint64_t {
        return hasSegments ? readU16(segments + 2 * s) : defaultSegments;
    };
    const unsigned char* pointData = segments + (hasSegments ? 2 * strands : 0);
    uint64_t strand = 0;
    uint64_t pointInStrand = 0;
    for (uint64_t n = 0; n < points; ++n) {
        while (pointInStrand > segmentsOf(strand)) {
            ++strand;
            pointInStrand = 0;
        }
        for (int axis = 0; axis < 3; ++axis) {
            float value = readF32(pointData + 12 * n + 4 * axis);
            if (!std::isfinite(value) || std::fabs(value) > kMaxHairCoordinate) {
                problem = "point " + std::to_string(pointInStrand + 1) + " of strand " +
                          std::to_string(strand + 1) + " has a coordinate that is " +
                          (std::isfinite(value) ? "out of range" : "not a finite number");
                return false;
            }
        }
        ++pointInStrand;
    }

    const char* info = reinterpret_cast<const char*>(data + kHairInfoOffset);
    const std::string text(info, strnlen(info, kHairInfoSize));
    HairRecipe recipe;
    bool hasTag = false;
    if (!parseRecipe(text, recipe, hasTag, problem)) {
        if (!hasTag) {
            problem = "it is a HAIR file without a Tressmoor recipe, so the shape and settings "
                      "it belongs to are unknown";
        }
        return false;
    }
    const uint64_t recipeStrands = strandTotal(recipe);
    if (strands != recipeStrands) {
        problem = "it holds " + std::to_string(strands) + " strands, but its recipe's " +
                  std::to_string(recipe.clusters) + " x " + std::to_string(recipe.clusters) +
                  " clusters of " + std::to_string(recipe.hairs) + " hairs make " +
                  std::to_string(recipeStrands);
        return false;
    }
    for (uint64_t s = 0; s < strands; ++s) {
        if (segmentsOf(s) != uint64_t(recipe.parts - 1)) {
            problem = "strand " + std::to_string(s + 1) + " has " + std::to_string(segmentsOf(s)) +
                      " segments, but its recipe's parts=" + std::to_string(recipe.parts) +
                      " make " + std::to_string(recipe.parts - 1);
            return false;
        }
    }

    contents.recipe = recipe;
    contents.points.resize(3 * points);
    for (uint64_t i = 0; i < 3 * points; ++i) {
        contents.points[i] = readF32(pointData + 4 * i);
    }
    return true;
}

bool hasExtension(const std::string& path, const char* extension)
{
    const size_t length = strlen(extension);
    if (path.size() <= length) {
        return false;
    }
    const size_t slash = path.find_last_of('/');
    const size_t start = path.size() - length;
    // ".obj" alone is a hidden file's name, not an extension.
    if (slash != std::string::npos && slash + 1 >= start) {
        return false;
    }
    return strncasecmp(path.c_str() + start, extension, length) == 0;
}

HairFileFormat formatForPath(const std::string& path)
{
    return hasExtension(path, ".obj") ? HairFileFormat::Obj : HairFileFormat::Hair;
}

bool adoptStoreLayout(const HairStore& store, HairRecipe& recipe, std::string& problem)
{
    if (!store.hairGrown || store.clusterCount < 1) {
        problem = "no hair has grown yet";
        return false;
    }
    int clusters = 1;
    while (clusters * clusters < store.clusterCount) {
        ++clusters;
    }
    const NurbsSurface& first = store.hairClusters[0].strands[0];
    HairRecipe adopted = recipe;
    adopted.clusters = clusters;
    adopted.hairs = store.hairClusters[0].strandCount;
    adopted.parts = first.numCtrlU;
    if (!layoutMatches(store, adopted, problem)) {
        return false;
    }
    recipe = adopted;
    return true;
}

bool encodeStoredHair(const HairStore& store, const HairRecipe& recipe, HairFileFormat format,
                      std::vector<unsigned char>& bytes, std::string& problem)
{
    if (!checkRecipe(recipe, problem) || !layoutMatches(store, recipe, problem)) {
        return false;
    }
    bytes = format == HairFileFormat::Obj ? encodeObj(store, recipe) : encodeHair(store, recipe);
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& problem)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        problem = "it names a folder, not a file";
        return false;
    }

    // Keep an existing file's permissions. What a link points to, or a device,
    // is not the file being replaced; a new file gets what the umask allows.
    mode_t mode;
    struct stat existing;
    if (lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    // A hidden name in the same folder, so the rename never crosses file
    // systems; of fixed length, so any name the folder takes can be saved.
    const std::string temporary =
        (slash == std::string::npos ? "" : folder) + kTemporaryFilePattern;
    if (temporary.size() >= sizeof temporaryPath) {
        problem = "cannot create a file in its folder: " + errnoText(ENAMETOOLONG);
        return false;
    }

    TemporaryFileCleanup cleanup;
    int fd = -1;
    int error = 0;
    {
        SignalHold hold;
        memcpy(temporaryPath, temporary.c_str(), temporary.size() + 1);
        fd = mkstemp(temporaryPath);
        error = errno;
        temporaryExists = fd >= 0;
    }
    if (fd < 0) {
        problem = "cannot create a file in its folder: " + errnoText(error);
        return false;
    }

    bool written = writeAll(fd, bytes.data(), bytes.size());
    error = errno;
    if (written) {
        written = fchmod(fd, mode) == 0 && fsync(fd) == 0;
        error = errno;
    }
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        cleanup.removeTemporary();
        problem = "writing failed: " + errnoText(error);
        return false;
    }
    bool renamed = false;
    {
        // Once renamed, the file is the target, which a signal must not remove.
        SignalHold hold;
        error = EINTR;
        if (temporaryExists) {
            renamed = rename(temporaryPath, path.c_str()) == 0;
            error = errno;
            temporaryExists = !renamed;
        }
    }
    if (!renamed) {
        cleanup.removeTemporary();
        problem = "cannot replace it: " + errnoText(error);
        return false;
    }
    // The rename itself reaches the disk with the folder's entry. A folder that
    // may be written but not read cannot be opened for this, and some file
    // systems cannot flush folders at all (EINVAL); neither is a failed save.
    int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        const bool flushed = fsync(folderFd) == 0 || errno == EINVAL;
        error = errno;
        close(folderFd);
        if (!flushed) {
            problem = "it was replaced, but its folder could not be flushed to disk: " +
                      errnoText(error);
            return false;
        }
    }
    return true;
}

bool readWholeFile(const std::string& path, size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem)
{
    // Non-blocking, so a named pipe cannot stall the open; regular files ignore it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = errnoText(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        problem = errnoText(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return false;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    if (size > limit) {
        problem = "it is " + std::to_string(size) + " bytes, more than any hair Tressmoor saves (" +
                  std::to_string(limit) + " bytes)";
        close(fd);
        return false;
    }
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, bytes.data() + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = errnoText(errno);
            close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    close(fd);
    return true;
}
