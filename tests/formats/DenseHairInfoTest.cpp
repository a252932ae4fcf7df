// The information text of hair with children: everything it was made with comes
// back, in 88 bytes, and a damaged or newer text is told apart.
#include <algorithm>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "formats/DenseHairInfo.h"
#include "formats/HairCodec.h"

namespace {

DenseHairInfo randomInfo(std::mt19937& random)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    DenseHairInfo info;
    info.hasRecipe = pick(0, 4) != 0;
    if (info.hasRecipe) {
        const UnderlyingShape shapes[] = {UnderlyingShape::Plane, UnderlyingShape::Sphere,
                                          UnderlyingShape::Torus};
        info.recipe = defaultRecipe(shapes[pick(0, 2)]);
        info.recipe.style = pick(0, 1) ? HairStyle::Combed : HairStyle::Messy;
        for (const RecipeNumber& number : kRecipeNumbers) {
            const SettingRange& range = *number.range;
            info.recipe.*number.field =
                range.minimum + range.step * pick(0, (range.maximum - range.minimum) / range.step);
        }
        info.growth = pick(0, 2) ? 1 : pick(1, kGrowthRange.maximum);
    }
    ChildOptions& options = info.request.generation;
    ChildOutput& output = info.request.output;
    options.children = pick(0, 3) ? uint32_t(pick(0, 300)) : uint32_t(random());
    options.mode = pick(0, 1) ? ChildMode::Between : ChildMode::Around;
    for (const ChildNumber& number : kChildNumbers) {
        // Defaults, round numbers and arbitrary floats, so both forms are taken.
        const int kind = std::max(0, pick(-3, 2));
        if (kind == 1) {
            number.in(info.request) = static_cast<float>(pick(0, static_cast<int>(number.maximum)));
        } else if (kind == 2) {
            number.in(info.request) =
                std::uniform_real_distribution<float>(number.minimum, number.maximum)(random);
        }
    }
    output.widthsGiven = output.rootWidth != 2.0f || output.tipWidth != 2.0f || pick(0, 1);
    options.seed = pick(0, 1) ? 1 : (uint64_t(random()) << 32 | random());
    output.keepGuides = pick(0, 1) != 0;
    return info;
}

}  // namespace

TEST(DenseHairInfo, EveryValueComesBackFromAtMost88Bytes)
{
    std::mt19937 random(27);
    int packed = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        const DenseHairInfo info = randomInfo(random);
        const std::string text = formatDenseHairInfo(info);
        SCOPED_TRACE(text);
        ASSERT_LE(text.size(), kHairInfoSize);
        packed += text.compare(0, 18, "tressmoor-dense 2 ") == 0;
        DenseHairInfo read;
        bool hasTag = false;
        std::string problem;
        ASSERT_TRUE(parseDenseHairInfo(text, read, hasTag, problem)) << problem;
        EXPECT_EQ(formatDenseHairInfo(read), text);
        EXPECT_EQ(read.hasRecipe, info.hasRecipe);
        if (info.hasRecipe) {
            EXPECT_EQ(read.recipe.shape, info.recipe.shape);
            EXPECT_EQ(read.recipe.style, info.recipe.style);
            for (const RecipeNumber& number : kRecipeNumbers) {
                EXPECT_EQ(read.recipe.*number.field, info.recipe.*number.field);
            }
            EXPECT_EQ(read.growth, info.growth);
        }
        EXPECT_EQ(read.request.generation.children, info.request.generation.children);
        EXPECT_EQ(read.request.generation.mode, info.request.generation.mode);
        for (const ChildNumber& number : kChildNumbers) {
            EXPECT_EQ(number.in(read.request), number.in(info.request)) << number.name;
        }
        EXPECT_EQ(read.request.output.widthsGiven, info.request.output.widthsGiven);
        EXPECT_EQ(read.request.generation.seed, info.request.generation.seed);
        EXPECT_EQ(read.request.output.keepGuides, info.request.output.keepGuides);
    }
    // Both forms were tried many times.
    EXPECT_GT(packed, 100);
    EXPECT_LT(packed, 1900);
}

TEST(DenseHairInfo, DamagedNewerAndForeignTextsAreToldApart)
{
    const struct {
        const char* text;
        bool hasTag;
        const char* says;
    } cases[] = {
        {"exported by another tool", false, "does not describe hair with children"},
        {"tressmoor-hair 1 sphere messy length=10", false, "does not describe hair with children"},
        {"tressmoor-dense 3 sphere messy 10 1 1 1 10 children=3 around", true, "newer Tressmoor"},
        {"tressmoor-dense", true, "damaged"},
        {"tressmoor-dense 1 sphere messy 10 1 1 children=3 around", true, "damaged"},
        {"tressmoor-dense 1 sphere messy 10 1 1 1 10 children=3", true, "damaged"},
        {"tressmoor-dense 1 sphere messy 10 1 1 1 10 children=3 around clump=2", true, "damaged"},
        {"tressmoor-dense 1 sphere messy 10 1 1 1 10 children=3 around seed=1 seed=2", true, "twice"},
        {"tressmoor-dense 1 sphere messy 10 1 1 1 10 children=3 around curly", true, "damaged"},
        {"tressmoor-dense 1 sphere messy 99 1 1 1 10 children=3 around", true, "outside"},
        {"tressmoor-dense 1 children=3 around growth=0", true, "damaged"},
        {"tressmoor-dense 2 AQcKAQEBCgEAAAACAAAAAADAQJqZmT4AAABAAAAAQAAAAEAHAAAAAAAA", true, "damaged"},
        {"tressmoor-dense 2 AQcKAQEBCgEAAAACAAAAAADAQJqZmT4AAABAAAAAQAAAAEAHAAAAAAAAA!", true, "damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DenseHairInfo info;
        bool hasTag = !c.hasTag;
        std::string problem;
        EXPECT_FALSE(parseDenseHairInfo(c.text, info, hasTag, problem));
        EXPECT_EQ(hasTag, c.hasTag);
        EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    }
}

// Hair on a mesh is always packed, and its mesh's hash comes back with the rest.
TEST(DenseHairInfo, AMeshsHashComesBackPacked)
{
    std::mt19937 random(31);
    for (int trial = 0; trial < 500; ++trial) {
        DenseHairInfo info = randomInfo(random);
        if (!info.hasRecipe) {
            info.recipe = defaultRecipe(UnderlyingShape::Mesh);
        }
        info.hasRecipe = true;
        info.recipe.shape = UnderlyingShape::Mesh;
        info.recipe.meshHash = trial == 0 ? ~0ull : uint64_t(random()) << 32 | random();
        if (info.recipe.clusters * info.recipe.clusters > 100 || info.recipe.clusters < 1) {
            info.recipe.clusters = 10;
        }
        if (info.recipe.length < 1) {
            info.recipe.length = 1;
        }
        const std::string text = formatDenseHairInfo(info);
        SCOPED_TRACE(text);
        ASSERT_LE(text.size(), kHairInfoSize);
        EXPECT_EQ(text.compare(0, 18, "tressmoor-dense 2 "), 0);
        DenseHairInfo read;
        bool hasTag = false;
        std::string problem;
        ASSERT_TRUE(parseDenseHairInfo(text, read, hasTag, problem)) << problem;
        EXPECT_EQ(read.recipe.shape, UnderlyingShape::Mesh);
        EXPECT_EQ(read.recipe.meshHash, info.recipe.meshHash);
        EXPECT_EQ(formatDenseHairInfo(read), text);
        // The record without the hash's bytes is damaged, not another shape's.
        EXPECT_FALSE(parseDenseHairInfo(text.substr(0, 18 + 48), read, hasTag, problem));
        EXPECT_TRUE(hasTag);
    }
}
