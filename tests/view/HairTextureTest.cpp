#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "view/HairDrawing.h"

namespace {

struct Texel {
    int r;
    int g;
    int b;
};

Texel texelAt(int index)
{
    return {hairTexture[index * 3], hairTexture[index * 3 + 1], hairTexture[index * 3 + 2]};
}

std::vector<int> leadingChannel(int channel, int count)
{
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(hairTexture[i * 3 + channel]);
    }
    return values;
}

std::vector<int> withZeros(std::vector<int> values, int length)
{
    values.resize(length, 0);
    return values;
}

}  // namespace

TEST(HairTexture, KnownTexelsOfRowZero)
{
    generateHairTexture();
    const struct {
        int index;
        Texel expected;
    } cases[] = {{0, {255, 255, 255}}, {1, {242, 216, 191}}, {16, {107, 16, 1}},
                 {17, {101, 13, 0}},   {26, {59, 0, 0}},     {60, {1, 0, 0}},
                 {61, {0, 0, 0}}};
    for (const auto& c : cases) {
        const Texel t = texelAt(c.index);
        EXPECT_EQ(t.r, c.expected.r) << "texel " << c.index;
        EXPECT_EQ(t.g, c.expected.g) << "texel " << c.index;
        EXPECT_EQ(t.b, c.expected.b) << "texel " << c.index;
    }
}

TEST(HairTexture, RowZeroChannelsDecayInSinglePrecisionFactors)
{
    generateHairTexture();
    const std::vector<int> red = {255, 242, 229, 217, 206, 195, 185, 175, 166, 157, 149, 141, 133,
                                  126, 119, 113, 107, 101, 95,  90,  85,  80,  75,  71,  67,  63,
                                  59,  56,  53,  50,  47,  44,  41,  38,  36,  34,  32,  30,  28,
                                  26,  24,  22,  20,  18,  17,  16,  15,  14,  13,  12,  11,  10,
                                  9,   8,   7,   6,   5,   4,   3,   2,   1};
    const std::vector<int> green = {255, 216, 183, 155, 131, 111, 94, 79, 67, 56, 47, 39, 33,
                                    28,  23,  19,  16,  13,  11,  9,  7,  5,  4,  3,  2,  1};
    const std::vector<int> blue = {255, 191, 143, 107, 80, 60, 45, 33, 24, 18, 13, 9, 6, 4, 3, 2, 1};
    EXPECT_EQ(leadingChannel(0, kHairTextureSize), withZeros(red, kHairTextureSize));
    EXPECT_EQ(leadingChannel(1, kHairTextureSize), withZeros(green, kHairTextureSize));
    EXPECT_EQ(leadingChannel(2, kHairTextureSize), withZeros(blue, kHairTextureSize));
    // 80 * 0.95 rounded to single precision first would give 76.
    EXPECT_EQ(red[22], 75);
    EXPECT_EQ(red[21], 80);
}

// Each row starts white again, so every row is row 0: 61 coloured texels, then black.
TEST(HairTexture, EveryRowIsRowZero)
{
    generateHairTexture();
    const size_t rowBytes = kHairTextureSize * 3;
    int nonBlack = 0;
    for (int i = 0; i < kHairTextureSize * kHairTextureSize; ++i) {
        const Texel t = texelAt(i);
        nonBlack += t.r != 0 || t.g != 0 || t.b != 0;
    }
    EXPECT_EQ(nonBlack, 61 * kHairTextureSize);
    for (int row = 1; row < kHairTextureSize; ++row) {
        EXPECT_EQ(0, memcmp(hairTexture, hairTexture + row * rowBytes, rowBytes)) << "row " << row;
    }
}

TEST(HairTexture, GeneratingAgainGivesTheSameImage)
{
    generateHairTexture();
    const std::vector<unsigned char> first(hairTexture, hairTexture + sizeof hairTexture);
    hairTexture[5] = 7;
    generateHairTexture();
    EXPECT_EQ(std::vector<unsigned char>(hairTexture, hairTexture + sizeof hairTexture), first);
}
