#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "geometry/NurbsSurface.h"
#include "hair/HairStore.h"

namespace {

// The growths' own store and surface.
HairStore store;
NurbsSurface surface;

// The most strands the sliders allow, at the default length and rest angle
// unless given.
HairRecipe largestHair(UnderlyingShape shape, HairStyle style, int length = 10, int restAngle = 1)
{
    return makeRecipe(shape, style, 10, 50, 16, length, restAngle);
}

// FNV-1a over the bytes of every centreline point of the current hair, in
// cluster then strand order.
unsigned long long centrelineHash()
{
    unsigned long long hash = 14695981039346656037ull;
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            for (const Point3& point : centrelineOf(cluster.strands[k])) {
                unsigned char bytes[sizeof point];
                std::memcpy(bytes, &point, sizeof point);
                for (unsigned char byte : bytes) {
                    hash = (hash ^ byte) * 1099511628211ull;
                }
            }
        }
    }
    return hash;
}

unsigned long long hashOfFirstGrowth(const HairRecipe& recipe)
{
    srand(1);
    growQuietly(recipe, surface, store);
    return centrelineHash();
}

}  // namespace

// Taken from the growth before hair was turned outward: the plane's hair and the
// messy torus's grew away from the skin already and must not change by a bit.
TEST(OutwardGrowth, PlaneAndMessyTorusHairAreUnchanged)
{
    EXPECT_EQ(hashOfFirstGrowth(largestHair(UnderlyingShape::Plane, HairStyle::Messy, 40, 90)), 0xd47d27bb4f0f23d8ull);
    EXPECT_EQ(hashOfFirstGrowth(largestHair(UnderlyingShape::Plane, HairStyle::Combed, 40, 90)), 0x0a5ac0bac18b9c87ull);
    EXPECT_EQ(hashOfFirstGrowth(largestHair(UnderlyingShape::Torus, HairStyle::Messy, 40, 90)), 0x1b5e18e0024f7236ull);
    EXPECT_EQ(hashOfFirstGrowth(makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 3, 7, 10, 12, 0)), 0x227a03378b2c78ccull);
}

namespace {

// How far a point lies out of the shape's skin; negative inside.
double heightAboveSkin(UnderlyingShape shape, const Point3& point)
{
    if (shape == UnderlyingShape::Sphere) {
        return std::sqrt(point.x * point.x + point.y * point.y + point.z * point.z) - 100.0;
    }
    double axisDistance = std::hypot(point.x, point.y);
    return std::hypot(axisDistance - 100.0, point.z) - 50.0;
}

struct SkinCount {
    int strands = 0;
    int tipsInside = 0;
    int firstStepsInward = 0;
};

SkinCount countAgainstSkin(UnderlyingShape shape)
{
    SkinCount count;
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            Centreline line = centrelineOf(cluster.strands[k]);
            ++count.strands;
            // Roots lie on the skin up to rounding, so a millionth of a unit is noise.
            count.tipsInside += heightAboveSkin(shape, line.back()) < -1e-3;
            count.firstStepsInward += heightAboveSkin(shape, line[1]) < -1e-3;
        }
    }
    return count;
}

}  // namespace

// Hair grows out of the sphere and the torus. HairStyle::Combed jitter is always positive,
// so a few combed strands on the undersides still end inside; messy torus hair
// that crosses the hole may end in the tube's far side.
TEST(OutwardGrowth, StrandsGrowOutOfTheSkin)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            for (int seed = 1; seed <= 3; ++seed) {
                HairRecipe recipe = largestHair(shape, style);
                srand(seed);
                growQuietly(recipe, surface, store);
                SkinCount count = countAgainstSkin(shape);
                ASSERT_EQ(count.strands, 5000);
                std::string where = describe(recipe) + ", seed " + std::to_string(seed) + ": " +
                                    std::to_string(count.tipsInside) + " tips inside, " +
                                    std::to_string(count.firstStepsInward) +
                                    " first steps inward";
                if (shape == UnderlyingShape::Sphere && style == HairStyle::Messy) {
                    EXPECT_EQ(count.tipsInside, 0) << where;
                    EXPECT_EQ(count.firstStepsInward, 0) << where;
                } else if (style == HairStyle::Messy) {
                    EXPECT_EQ(count.firstStepsInward, 0) << where;
                    EXPECT_LE(count.tipsInside, 10) << where;
                } else {
                    // Before, a third of these ended inside.
                    EXPECT_LE(count.tipsInside, shape == UnderlyingShape::Sphere ? 100 : 600) << where;
                }
            }
        }
    }
}
