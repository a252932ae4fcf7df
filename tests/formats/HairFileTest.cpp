#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "HairTestSupport.h"
#include "formats/FileIo.h"
#include "formats/HairExport.h"
#include "formats/HairFile.h"
#include "formats/RecipeText.h"
#include "formats/StoredHair.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

namespace {

// The hair's own store and the surface it grows on, handed to the code under test.
HairStore store;
NurbsSurface shapeSurface;

// Puts one strand per centreline into record 0, as a growth with one cluster would.
void storeCentrelines(const std::vector<Centreline>& lines)
{
    const int parts = static_cast<int>(lines[0].size());
    std::vector<float> knots(parts + 4), xs(parts), ys(parts), zs(parts);
    std::vector<ControlPoint> scratch(parts * kStrandRingPoints);
    buildStrandKnotsU(parts, knots.data());
    store.clusterCount = 1;
    store.hairClusters[0].strandCount = static_cast<int>(lines.size());
    for (size_t k = 0; k < lines.size(); ++k) {
        for (int r = 0; r < parts; ++r) {
            xs[r] = lines[k][r].x;
            ys[r] = lines[k][r].y;
            zs[r] = lines[k][r].z;
        }
        buildStrand(store, 0, static_cast<int>(k), xs.data(), ys.data(), zs.data(), parts,
                    knots.data(), scratch.data());
    }
}

Bytes encode(const HairRecipe& recipe, HairFileFormat format = HairFileFormat::Hair)
{
    Bytes bytes;
    std::string problem;
    EXPECT_TRUE(encodeStoredHair(store, shapeSurface, recipe, format, bytes, problem)) << problem;
    return bytes;
}

// Decodes into contents that start out marked, so a failure can be seen to leave them alone.
std::string decodeProblem(const Bytes& bytes)
{
    HairFileContents contents;
    contents.recipe.hairs = -7;
    contents.points = {42.0f};
    std::string problem;
    if (decodeHairFile(bytes.data(), bytes.size(), contents, problem)) {
        return "accepted";
    }
    if (contents.recipe.hairs != -7 || contents.points != std::vector<float>{42.0f}) {
        return "refused but changed the contents";
    }
    return problem;
}

bool sameRecipe(const HairRecipe& a, const HairRecipe& b)
{
    return a.shape == b.shape && a.style == b.style && a.length == b.length &&
           a.restAngle == b.restAngle && a.hairs == b.hairs && a.clusters == b.clusters &&
           a.parts == b.parts;
}

const HairRecipe kSmallRecipe = {UnderlyingShape::Plane, HairStyle::Messy, 10, 1, 1, 1, 8};

}  // namespace

TEST(HairFileFormat, HeaderAndPointsOfASmallKnownHair)
{
    Centreline line;
    for (int r = 0; r < 8; ++r) {
        line.push_back({1.5f, -2.0f + r, 0.25f});
    }
    storeCentrelines({line});
    const Bytes bytes = encode(kSmallRecipe);
    ASSERT_EQ(bytes.size(), 128u + 8 * 12);

    const Bytes header = {
        'H', 'A', 'I', 'R', 1, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0,  // points array only
        7, 0, 0, 0,                                              // default segments
        0x00, 0x00, 0x00, 0x40,                                  // thickness 2
        0, 0, 0, 0,                                              // transparency 0
        0xCD, 0xCC, 0xCC, 0x3D, 0x00, 0x00, 0x00, 0x3F, 0xCD, 0xCC, 0x4C, 0x3F};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 40), header);
    const std::string recipe = "tressmoor-hair 1 plane messy length=10 restAngle=1 hairs=1 clusters=1 parts=8";
    EXPECT_EQ(std::string(bytes.begin() + 40, bytes.begin() + 40 + recipe.size()), recipe);
    EXPECT_EQ(Bytes(bytes.begin() + 40 + recipe.size(), bytes.begin() + 128),
              Bytes(88 - recipe.size(), 0));
    // Point 0 is (1.5, -2, 0.25) and point 1 has y = -1, little-endian.
    const Bytes points = {0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x80, 0x3E,
                          0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x80, 0xBF};
    EXPECT_EQ(Bytes(bytes.begin() + 128, bytes.begin() + 148), points);

    const Bytes obj = encode(kSmallRecipe, HairFileFormat::Obj);
    EXPECT_EQ(std::string(obj.begin(), obj.end()),
              "# " + recipe + "\n"
              "v 1.5 -2 0.25\nv 1.5 -1 0.25\nv 1.5 0 0.25\nv 1.5 1 0.25\n"
              "v 1.5 2 0.25\nv 1.5 3 0.25\nv 1.5 4 0.25\nv 1.5 5 0.25\n"
              "l 1 2 3 4 5 6 7 8\n");
}

TEST(HairFileFormat, OptionalArraysComeInFlagOrderAndOnlyPointsAreRead)
{
    HandMadeHairFile file = tressmoorFile(1, 2, 8);
    file.flags = 0x1F;
    file.segments = {7, 7};
    file.thickness.assign(16, 3.0f);
    file.transparency.assign(16, 0.5f);
    file.colour.assign(48, 0.25f);
    HairFileContents contents;
    std::string problem;
    const Bytes bytes = file.bytes();
    ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << problem;
    EXPECT_EQ(contents.points, file.points);
    EXPECT_TRUE(
        sameRecipe(contents.recipe, {UnderlyingShape::Torus, HairStyle::Combed, 7, 3, 2, 1, 8}));
}

TEST(HairFileRoundTrip, EveryShapeAndStyleOfTheLargestHairRebuildsIdenticalStrands)
{
    for (UnderlyingShape shape :
         {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            const HairRecipe settings = makeRecipe(shape, style, 10, 50, 16, 40, 90);
            growQuietly(settings, shapeSurface, store);
            const std::vector<Bytes> grown = currentStrands(store);
            HairRecipe recipe = settings;
            const Bytes bytes = encode(recipe);

            // Something else in the store first, so the load has to rebuild everything.
            growQuietly(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 2, 3, 8), shapeSurface,
                        store);
            HairFileContents contents;
            std::string problem;
            ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem))
                << problem << " for " << describe(settings);
            EXPECT_TRUE(sameRecipe(contents.recipe, recipe)) << describe(settings);
            ASSERT_TRUE(applyHairFile(contents, shapeSurface, store));
            EXPECT_EQ(firstDifference(grown, currentStrands(store)), "") << describe(settings);
            EXPECT_EQ(encode(recipe), bytes) << "saving again gives the same file";
        }
    }
}

// Any float a centreline may hold, including -0 and subnormals, survives the trip.
TEST(HairFileRoundTrip, SeededRandomCentrelinesRebuildBitForBit)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        auto coordinate = [&]() {
            switch (random() % 4) {
            case 0: return std::ldexp(static_cast<float>(random() % 2000) - 1000.0f, -140);
            case 1: return -0.0f;
            case 2: return std::uniform_real_distribution<float>(-kMaxHairCoordinate, kMaxHairCoordinate)(random);
            default: return std::uniform_real_distribution<float>(-3.0f, 3.0f)(random);
            }
        };
        const int parts = 8 + 2 * static_cast<int>(random() % 5);
        std::vector<Centreline> lines(1 + random() % 5);
        for (Centreline& line : lines) {
            for (int r = 0; r < parts; ++r) {
                line.push_back({coordinate(), coordinate(), coordinate()});
            }
        }
        storeCentrelines(lines);
        const std::vector<Bytes> built = currentStrands(store);
        HairRecipe recipe = {UnderlyingShape::Sphere, HairStyle::Messy, 1, 0,
                             static_cast<int>(lines.size()), 1, parts};
        const Bytes bytes = encode(recipe);
        HairFileContents contents;
        std::string problem;
        ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << problem << ", seed " << seed;
        growQuietly(makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 1, 5, 16), shapeSurface,
                    store);
        applyHairFile(contents, shapeSurface, store);
        EXPECT_EQ(firstDifference(built, currentStrands(store)), "") << "seed " << seed;
    }
}

// Loading and saving work on the store and the surface they are handed: a hair
// loaded into a store of its own rebuilds the saved strands and sets up the shape
// on its own surface, and the roots are found on the surface the hair grew on.
TEST(HairFileRoundTrip, LoadingIntoAStoreOfItsOwnLeavesEveryOtherAlone)
{
    const HairRecipe recipe = makeRecipe(UnderlyingShape::Torus, HairStyle::Combed, 2, 3, 10);
    growQuietly(recipe, shapeSurface, store);
    const std::vector<Bytes> grown = currentStrands(store);
    const Bytes usdBytes = encode(recipe, HairFileFormat::Usd);
    const std::string usd(usdBytes.begin(), usdBytes.end());
    EXPECT_NE(usd.find("texCoord2f[] primvars:st"), std::string::npos);

    const Bytes bytes = encode(recipe);
    HairFileContents contents;
    std::string problem;
    ASSERT_TRUE(decodeHairFile(bytes.data(), bytes.size(), contents, problem)) << problem;
    const auto loaded = std::make_unique<HairStore>();
    NurbsSurface loadedSurface;
    ASSERT_TRUE(applyHairFile(contents, loadedSurface, *loaded));

    EXPECT_EQ(firstDifference(grown, currentStrands(*loaded)), "");
    EXPECT_EQ(firstDifference(grown, currentStrands(store)), "");
    ASSERT_NE(loadedSurface.controlNet, nullptr);
    EXPECT_EQ(std::memcmp(loadedSurface.controlNet, shapeSurface.controlNet,
                          sizeof(ControlPoint) * kShapeNetSize * kShapeNetSize),
              0);
    EXPECT_FALSE(hairStore.hairGrown);
    EXPECT_EQ(underlyingSurface.controlNet, nullptr);
}

TEST(HairFileRecipe, FormatsAndParsesEveryExtremeAndRefusesLooseText)
{
    for (UnderlyingShape shape :
         {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            for (const HairRecipe& r : {HairRecipe{shape, style, 40, 90, 50, 10, 16},
                                        HairRecipe{shape, style, 1, 0, 1, 1, 8}}) {
                const std::string text = formatRecipe(r);
                EXPECT_LT(text.size(), kHairInfoSize) << text;
                HairRecipe parsed = {};
                bool hasTag = false;
                std::string problem;
                EXPECT_TRUE(parseRecipe(text, parsed, hasTag, problem)) << text << ": " << problem;
                EXPECT_TRUE(sameRecipe(parsed, r)) << text;
            }
        }
    }
    const char* refused[] = {
        "tressmoor-hair 1 plane messy length=10 restAngle=1 hairs=1 clusters=1  parts=10",
        "tressmoor-hair 1 plane messy length=+10 restAngle=1 hairs=1 clusters=1 parts=10",
        "tressmoor-hair 1 plane messy length=10 restAngle=1 hairs=1 clusters=1 parts=10x",
        "tressmoor-hair 1 plane messy length=99999999999999999999 restAngle=1 hairs=1 clusters=1 parts=10",
        "tressmoor-hair 1 plane messy restAngle=1 length=10 hairs=1 clusters=1 parts=10",
        "tressmoor-hair 1 plane messy length=10 restAngle=1 hairs=1 clusters=1",
        "tressmoor-hair 1 plane messy length=10 restAngle=1 hairs=1 clusters=1 parts=9",
    };
    for (const char* text : refused) {
        HairRecipe parsed = {};
        bool hasTag = false;
        std::string problem;
        EXPECT_FALSE(parseRecipe(text, parsed, hasTag, problem)) << text;
        EXPECT_TRUE(hasTag) << text;
    }
}

TEST(HairFileValidation, EveryBadFileIsRefusedWithItsReason)
{
    const Bytes good = tressmoorFile(1, 2, 8).bytes();
    ASSERT_EQ(decodeProblem(good), "accepted");

    for (size_t size = 0; size < good.size(); ++size) {
        const std::string problem = decodeProblem(Bytes(good.begin(), good.begin() + size));
        const char* expected = size < 128 ? "too short for the 128-byte HAIR header" : "but the file has";
        EXPECT_NE(problem.find(expected), std::string::npos) << "truncated at " << size << ": " << problem;
    }

    struct Case {
        const char* what;
        void (*change)(HandMadeHairFile&);
        const char* expected;
    };
    const Case cases[] = {
        {"wrong signature", nullptr, "does not begin with the signature HAIR"},
        {"reserved flag", [](HandMadeHairFile& f) { f.flags |= 1u << 5; }, "reserved flag bits (flags 0x22)"},
        {"no points", [](HandMadeHairFile& f) { f.flags = 0; f.points.clear(); }, "no points array"},
        // 12 x 0x15555556 wraps to 8 in 32 bits, which would match the 8 bytes given.
        {"point count overflows", [](HandMadeHairFile& f) { f.pointCount = 0x15555556; f.points.resize(2); },
         "which take 4294967432 bytes, but the file has 136"},
        {"strand count overflows", [](HandMadeHairFile& f) { f.flags |= 1; f.strandCount = 0x80000000u; },
         "which take 4294967616 bytes"},
        {"counts exceed the file", [](HandMadeHairFile& f) { f.pointCount = 17; }, "but the file has 320"},
        {"bytes after the arrays", [](HandMadeHairFile& f) { f.colour = {1.0f}; }, "but the file has 324"},
        {"segments disagree with points", [](HandMadeHairFile& f) { f.defaultSegments = 8; },
         "segments make 18 points, but its header says 16"},
        {"NaN coordinate", [](HandMadeHairFile& f) { f.points[20] = std::nanf(""); },
         "point 7 of strand 1 has a coordinate that is not a finite number"},
        {"infinite coordinate", [](HandMadeHairFile& f) { f.points[47] = -INFINITY; },
         "point 8 of strand 2 has a coordinate that is not a finite number"},
        {"huge coordinate", [](HandMadeHairFile& f) { f.points[3] = 1e30f; }, "that is out of range"},
        {"NaN thickness", [](HandMadeHairFile& f) { f.flags |= 4; f.thickness.assign(16, 1.0f); f.thickness[9] = NAN; },
         "point 2 of strand 2 has a thickness that is not a finite number"},
        {"infinite colour", [](HandMadeHairFile& f) { f.flags |= 16; f.colour.assign(48, 0.5f); f.colour[2] = INFINITY; },
         "point 1 of strand 1 has a colour that is not a finite number"},
        {"NaN default transparency", [](HandMadeHairFile& f) { f.defaults[1] = NAN; },
         "its header's default transparency is not a finite number"},
        {"foreign file", [](HandMadeHairFile& f) { f.info = "exported by another hair tool"; },
         "HAIR file without a Tressmoor recipe, so the shape and settings it belongs to are unknown "
         "(tressmoor-convert can turn it into USD or OBJ curves)"},
        {"empty information text", [](HandMadeHairFile& f) { f.info.clear(); }, "without a Tressmoor recipe"},
        {"newer recipe", [](HandMadeHairFile& f) { f.info.replace(15, 1, "2"); }, "recipe is version 2"},
        {"length out of range", [](HandMadeHairFile& f) { f.info.replace(f.info.find("length=7"), 8, "length=41"); },
         "length 41 is outside the slider's range, from 1 to 40"},
        {"rest angle out of range", [](HandMadeHairFile& f) { f.info.replace(f.info.find("restAngle=3"), 11, "restAngle=-1"); },
         "restAngle -1 is outside"},
        {"clusters out of range", [](HandMadeHairFile& f) { f.info.replace(f.info.find("clusters=1"), 10, "clusters=11"); },
         "clusters 11 is outside"},
        {"odd parts", [](HandMadeHairFile& f) { f.info.replace(f.info.find("parts=8"), 7, "parts=9"); },
         "parts 9 is outside the slider's range, from 8 to 16 in steps of 2"},
        {"unknown shape", [](HandMadeHairFile& f) { f.info.replace(17, 5, "cube"); }, "unknown shape \"cube\""},
        {"strands disagree with the recipe", [](HandMadeHairFile& f) { f.info.replace(f.info.find("hairs=2"), 7, "hairs=3"); },
         "holds 2 strands, but its recipe's 1 x 1 clusters of 3 hairs make 3"},
        {"segments disagree with parts", [](HandMadeHairFile& f) { f.flags |= 1; f.segments = {5, 9}; },
         "strand 1 has 5 segments, but its recipe's parts=8 make 7"},
    };
    for (const Case& c : cases) {
        HandMadeHairFile file = tressmoorFile(1, 2, 8);
        Bytes bytes;
        if (c.change != nullptr) {
            c.change(file);
            bytes = file.bytes();
        } else {
            bytes = file.bytes();
            bytes[3] = 'X';
        }
        const std::string problem = decodeProblem(bytes);
        EXPECT_NE(problem.find(c.expected), std::string::npos) << c.what << ": " << problem;
    }
}

TEST(HairFileWriting, ReplacesWholeFilesAndLeavesOldOnesOnFailure)
{
    const std::string folder = freshFolder("hair-file-writing");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/hair.hair";
    const Bytes old(1000, 'o');
    writeBytes(path, old);
    chmod(path.c_str(), 0640);
    std::string problem;

    ASSERT_TRUE(writeFileAtomically(path, Bytes(5, 'n'), problem)) << problem;
    EXPECT_EQ(readBytes(path), Bytes(5, 'n'));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the old file's permissions stay";
    writeBytes(path, old);

    // A full disk, as the write sees it: the file size limit stops it part way.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = writeFileAtomically(path, Bytes(100000, 'n'), problem);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(written);
    EXPECT_NE(problem.find("writing failed: File too large"), std::string::npos) << problem;

    EXPECT_FALSE(writeFileAtomically(folder + "/missing/hair.hair", old, problem));
    EXPECT_NE(problem.find("No such file or directory"), std::string::npos) << problem;

    mkdir((folder + "/taken.hair").c_str(), 0755);
    EXPECT_FALSE(writeFileAtomically(folder + "/taken.hair", old, problem));
    EXPECT_NE(problem.find("cannot replace it"), std::string::npos) << problem;

    EXPECT_EQ(readBytes(path), old) << "the old file is intact";
    std::vector<std::string> entries = folderEntries(folder);
    EXPECT_EQ(entries.size(), 2u) << "no temporary file is left behind";
}

TEST(HairFileReading, RefusesFoldersPipesAndOversizedFilesUnread)
{
    const std::string folder = freshFolder("hair-file-reading");
    ASSERT_FALSE(folder.empty());
    Bytes bytes;
    std::string problem;
    EXPECT_FALSE(readWholeFile(folder, kMaxHairFileSize, bytes, problem));
    EXPECT_EQ(problem, "it is a folder");

    mkfifo((folder + "/pipe.hair").c_str(), 0600);
    EXPECT_FALSE(readWholeFile(folder + "/pipe.hair", kMaxHairFileSize, bytes, problem));
    EXPECT_EQ(problem, "it is not a regular file");

    const std::string big = folder + "/big.hair";
    writeBytes(big, {});
    ASSERT_EQ(truncate(big.c_str(), kMaxHairFileSize + 1), 0);
    EXPECT_FALSE(readWholeFile(big, kMaxHairFileSize, bytes, problem));
    EXPECT_NE(problem.find("more than any hair Tressmoor saves"), std::string::npos) << problem;
    EXPECT_TRUE(bytes.empty());
}

// A mesh's recipe names the mesh by its hash and reads back as written, for any
// hash and every number's limits, within the header's 88 bytes.
TEST(MeshRecipe, EveryHashAndNumberReadsBackWithinTheInformationText)
{
    std::mt19937_64 random(25);
    for (int trial = 0; trial < 500; ++trial) {
        HairRecipe recipe = {UnderlyingShape::Mesh, trial % 2 ? HairStyle::Combed : HairStyle::Messy,
                             0, 0, 0, 0, 0};
        recipe.meshHash = trial == 0 ? 0 : trial == 1 ? ~0ull : random();
        for (const RecipeNumber& number : kRecipeNumbers) {
            const SettingRange& range = *number.range;
            const int steps = (range.maximum - range.minimum) / range.step;
            recipe.*number.field = trial < 2 ? (trial == 0 ? range.minimum : range.maximum)
                                             : range.minimum + range.step * int(random() % (steps + 1));
        }
        if (recipe.clusters * recipe.clusters > kMaxClusters) {
            recipe.clusters = 10;
        }
        const std::string text = formatRecipe(recipe);
        ASSERT_LE(text.size(), kHairInfoSize) << text;
        HairRecipe read = {};
        bool hasTag = false;
        std::string problem;
        ASSERT_TRUE(parseRecipe(text, read, hasTag, problem)) << text << ": " << problem;
        EXPECT_EQ(read.shape, UnderlyingShape::Mesh);
        EXPECT_EQ(read.meshHash, recipe.meshHash) << text;
        EXPECT_EQ(formatRecipe(read), text);
    }
    // Damaged mesh recipes are Tressmoor's, and refused with the reason.
    for (const char* damaged : {"tressmoor-mesh", "tressmoor-mesh 2 0123456789abcdef messy 10 1 1 1 10",
                                "tressmoor-mesh 1 0123456789abcde messy 10 1 1 1 10",
                                "tressmoor-mesh 1 0123456789ABCDEF messy 10 1 1 1 10",
                                "tressmoor-mesh 1 0123456789abcdef wavy 10 1 1 1 10",
                                "tressmoor-mesh 1 0123456789abcdef messy 41 1 1 1 10",
                                "tressmoor-mesh 1 0123456789abcdef messy 10 1 1 1 9",
                                "tressmoor-mesh 1 0123456789abcdef messy 10 1 1 1",
                                "tressmoor-mesh 1 0123456789abcdef messy 10 1 1 1 10 3"}) {
        HairRecipe read = {};
        bool hasTag = false;
        std::string problem;
        EXPECT_FALSE(parseRecipe(damaged, read, hasTag, problem)) << damaged;
        EXPECT_TRUE(hasTag) << damaged;
        EXPECT_FALSE(problem.empty()) << damaged;
    }
}
