#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

namespace {

// The growth's own store and surface, handed to the growers.
HairStore store;
NurbsSurface shapeSurface;

using Grower = bool (*)(const HairRecipe&);

bool growPlane(const HairRecipe& settings)
{
    return growPlaneHair(settings, store);
}

bool growSurface(const HairRecipe& settings)
{
    return growSurfaceHair(settings, shapeSurface, store);
}

bool isPlane(const HairRecipe& settings)
{
    return settings.shape == UnderlyingShape::Plane;
}

Grower growerFor(const HairRecipe& settings)
{
    return isPlane(settings) ? growPlane : growSurface;
}

void prepareShape(const HairRecipe& settings)
{
    if (settings.shape == UnderlyingShape::Sphere) {
        setupSphereSurface(shapeSurface);
    } else if (settings.shape == UnderlyingShape::Torus) {
        setupTorusSurface(shapeSurface);
    }
}

long long expectedDraws(const HairRecipe& settings)
{
    long long perStrand = 3LL * settings.parts - (isPlane(settings) ? 1 : 2);
    long long perTemplate = settings.style == HairStyle::Combed ? 3LL * (settings.parts - 1) : 0;
    return 1LL * settings.clusters * settings.clusters * (perTemplate + settings.hairs * perStrand);
}

// The generator is the only witness of how many draws a growth made: the value
// rand() gives after the growth must be the one that follows exactly that many.
void expectDrawCount(const HairRecipe& settings, long long draws)
{
    prepareShape(settings);
    srand(1);
    int expectedNext = randAfter(draws);
    int expectedAfterThat = rand();

    srand(1);
    bool grown = false;
    growCapturingOutput(growerFor(settings), settings, &grown);
    ASSERT_TRUE(grown) << describe(settings);
    EXPECT_EQ(rand(), expectedNext) << describe(settings) << ", expected " << draws << " draws";
    EXPECT_EQ(rand(), expectedAfterThat) << describe(settings);
}

const NurbsSurface& strandAt(int p, int k)
{
    return store.hairClusters[p].strands[k];
}

std::vector<Centreline> grownCentrelines(const HairRecipe& settings)
{
    std::vector<Centreline> lines;
    for (int p = 0; p < settings.clusters * settings.clusters; ++p) {
        for (int k = 0; k < settings.hairs; ++k) {
            lines.push_back(centrelineOf(strandAt(p, k)));
        }
    }
    return lines;
}

// Scaled draws written out independently of the grower, for replaying a growth.
float replayDraw(int scale)
{
    return static_cast<float>((rand() & 0x7FFF) * scale) / 32767;
}

float replayDraw(float scale)
{
    return static_cast<float>(rand() & 0x7FFF) * scale / 32767;
}

bool nearZero(float n)
{
    return std::fabs(n) < 0.0001f;
}

std::vector<Centreline> replayPlane(const HairRecipe& s)
{
    std::vector<Centreline> lines;
    std::vector<float> length(s.parts), restA(s.parts), restB(s.parts);
    float cell = 200.0f / s.clusters;
    float originZ = -100.0f;
    for (int i = 0; i < s.clusters; ++i, originZ += cell) {
        float originX = -100.0f;
        for (int j = 0; j < s.clusters; ++j, originX += cell) {
            for (int r = 1; s.style == HairStyle::Combed && r < s.parts; ++r) {
                length[r] = length[r - 1] + replayDraw(s.length);
                restA[r] = replayDraw(s.restAngle);
                restB[r] = replayDraw(s.restAngle);
            }
            for (int k = 0; k < s.hairs; ++k) {
                Centreline line(s.parts);
                line[0].y = 0.0f;
                line[0].x = originX + replayDraw(cell);
                line[0].z = originZ + replayDraw(cell);
                for (int r = 1; r < s.parts; ++r) {
                    if (s.style == HairStyle::Combed) {
                        line[r].y = length[r] + replayDraw(5);
                        line[r].x = line[0].x + restA[r] + replayDraw(5);
                        line[r].z = line[0].z + restB[r] + replayDraw(5);
                    } else {
                        line[r].y = line[r - 1].y + replayDraw(s.length);
                        line[r].x = line[0].x + replayDraw(s.restAngle);
                        line[r].z = line[0].z + replayDraw(s.restAngle);
                    }
                }
                lines.push_back(line);
            }
        }
    }
    return lines;
}

float* axis(Point3& point, int a)
{
    return a == 0 ? &point.x : (a == 1 ? &point.y : &point.z);
}

// +1 where the sample's normal points out of the shape, -1 where it points in:
// away from the sphere's centre, or from the nearest point of the torus's
// centre circle (radius 100 about the z axis).
float outwardSign(UnderlyingShape shape, const SurfaceVertex& sample)
{
    double x = sample.position[0];
    double y = sample.position[1];
    double z = sample.position[2];
    if (shape == UnderlyingShape::Torus) {
        double r = std::hypot(x, y);
        x -= 100.0 * x / r;
        y -= 100.0 * y / r;
    }
    double facing = sample.normal[0] * x + sample.normal[1] * y + sample.normal[2] * z;
    return facing >= 0.0 ? 1.0f : -1.0f;
}

std::vector<Centreline> replaySurface(const HairRecipe& s, const std::vector<SurfaceVertex>& grid,
                                      std::vector<int>* roots)
{
    std::vector<Centreline> lines;
    std::vector<float> length(s.parts), restA(s.parts), restB(s.parts);
    for (int p = 0; p < s.clusters * s.clusters; ++p) {
        for (int r = 1; s.style == HairStyle::Combed && r < s.parts; ++r) {
            length[r] = replayDraw(s.length);
            restA[r] = replayDraw(s.restAngle);
            restB[r] = replayDraw(s.restAngle);
        }
        for (int k = 0; k < s.hairs; ++k) {
            int m = static_cast<int>(replayDraw(kRootSampleLimit));
            roots->push_back(m);
            const SurfaceVertex& root = grid[m];
            Centreline line(s.parts);
            line[0] = {root.position[0], root.position[1], root.position[2]};
            const float sign = outwardSign(s.shape, root);
            for (int r = 1; r < s.parts; ++r) {
                for (int a = 0; a < 3; ++a) {
                    float n = root.normal[a];
                    float nOut = sign * n;
                    float start = *axis(line[0], a);
                    float previous = *axis(line[r - 1], a);
                    float& value = *axis(line[r], a);
                    if (s.style == HairStyle::Combed) {
                        float g = replayDraw(5);
                        const std::vector<float>& rest = a == 2 ? restB : restA;
                        value = nearZero(n) ? start + g - n * rest[r]
                                            : previous + g + nOut * length[r];
                    } else if (s.shape == UnderlyingShape::Torus) {
                        value = nearZero(n) ? start + replayDraw(s.restAngle)
                                            : previous + nOut * replayDraw(s.length);
                    } else {
                        value = nearZero(n) ? start - replayDraw(s.restAngle)
                                            : previous + nOut * replayDraw(s.length);
                    }
                }
            }
            lines.push_back(line);
        }
    }
    return lines;
}

void expectSameCentrelines(const std::vector<Centreline>& grown,
                           const std::vector<Centreline>& replayed, const HairRecipe& settings)
{
    ASSERT_EQ(grown.size(), replayed.size()) << describe(settings);
    for (size_t n = 0; n < grown.size(); ++n) {
        ASSERT_EQ(grown[n].size(), replayed[n].size());
        for (size_t r = 0; r < grown[n].size(); ++r) {
            Point3 a = grown[n][r];
            Point3 b = replayed[n][r];
            float tolerance = 1e-5f * (1.0f + std::fabs(b.x) + std::fabs(b.y) + std::fabs(b.z));
            ASSERT_TRUE(std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
                        std::fabs(a.z - b.z) <= tolerance)
                << describe(settings) << ": strand " << n << " point " << r << " grown (" << a.x
                << ", " << a.y << ", " << a.z << ") replayed (" << b.x << ", " << b.y << ", "
                << b.z << ")";
        }
    }
}

}  // namespace

TEST(GrowthDraws, DefaultPlaneHairTakesTwentyNineDraws)
{
    expectDrawCount(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 10), 29);
}

TEST(GrowthDraws, EachGrowerAndStyleDrawsTheCountedNumber)
{
    const HairRecipe cases[] = {
        makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 1, 1, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 3, 7, 8, 40, 90),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 4, 5, 12, 1, 0),
        makeRecipe(UnderlyingShape::Sphere, HairStyle::Messy, 1, 1, 10),
        makeRecipe(UnderlyingShape::Sphere, HairStyle::Combed, 2, 3, 14, 25, 45),
        makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 3, 4, 16, 40, 90),
        makeRecipe(UnderlyingShape::Torus, HairStyle::Combed, 1, 50, 8),
    };
    for (const HairRecipe& settings : cases) {
        expectDrawCount(settings, expectedDraws(settings));
    }
}

TEST(GrowthDraws, LargestHairOnPlaneAndTorus)
{
    expectDrawCount(makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 10, 50, 16, 40, 90),
                    100LL * (45 + 50 * 47));
    expectDrawCount(makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 10, 50, 16, 40, 90),
                    100LL * 50 * 46);
}

TEST(GrowthDraws, SameSeedSameHairAndTheSequenceCarriesOn)
{
    for (UnderlyingShape shape : {UnderlyingShape::Plane, UnderlyingShape::Sphere}) {
        HairRecipe settings = makeRecipe(shape, HairStyle::Combed, 2, 3, 10, 12, 30);
        prepareShape(settings);
        srand(7);
        growCapturingOutput(growerFor(settings), settings);
        std::vector<Centreline> first = grownCentrelines(settings);
        growCapturingOutput(growerFor(settings), settings);
        std::vector<Centreline> second = grownCentrelines(settings);
        srand(7);
        growCapturingOutput(growerFor(settings), settings);
        std::vector<Centreline> again = grownCentrelines(settings);

        expectSameCentrelines(again, first, settings);
        bool differs = false;
        for (size_t n = 0; n < first.size(); ++n) {
            differs = differs || first[n][0].x != second[n][0].x || first[n][0].z != second[n][0].z;
        }
        EXPECT_TRUE(differs) << describe(settings);
    }
}

TEST(GrowthRefusal, SettingsBeyondTheStoreChangeNothing)
{
    setupSphereSurface(shapeSurface);
    ASSERT_TRUE(growPlane(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 2, 2, 8)));
    const ControlPoint* netBefore = strandAt(0, 0).controlNet;
    const HairRecipe refused[] = {
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 11, 1, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 0, 1, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, -3, 1, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 0, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 103, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 9),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 4),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 18),
    };
    for (HairRecipe settings : refused) {
        for (UnderlyingShape shape : {UnderlyingShape::Plane, UnderlyingShape::Sphere}) {
            settings.shape = shape;
            srand(3);
            int next = rand();
            srand(3);
            bool grown = true;
            std::string output = growCapturingOutput(growerFor(settings), settings, &grown);
            EXPECT_FALSE(grown) << describe(settings);
            EXPECT_EQ(output, "") << describe(settings);
            EXPECT_EQ(rand(), next) << describe(settings);
            EXPECT_EQ(store.clusterCount, 4) << describe(settings);
            EXPECT_EQ(store.hairClusters[0].strandCount, 2) << describe(settings);
            EXPECT_EQ(strandAt(0, 0).controlNet, netBefore) << describe(settings);
        }
    }

    bool grown = true;
    EXPECT_EQ(
        growCapturingOutput(growSurface,
                            makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 10), &grown),
        "");
    EXPECT_FALSE(grown) << "surface growth on the plane";

    shapeSurface.release();
    grown = true;
    EXPECT_EQ(
        growCapturingOutput(
            growSurface, makeRecipe(UnderlyingShape::Sphere, HairStyle::Messy, 1, 1, 10), &grown),
        "");
    EXPECT_FALSE(grown) << "surface growth without a surface";
    EXPECT_EQ(store.clusterCount, 4);
}

TEST(PlaneGrowth, RootsLieInTheirCellsAndStrandsStayNearThem)
{
    const HairRecipe cases[] = {
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 10),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 3, 4, 12, 40, 90),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 7, 2, 8, 1, 90),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 3, 6, 10, 20, 30),
        makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 5, 3, 16, 40, 0),
    };
    unsigned seed = 11;
    for (const HairRecipe& s : cases) {
        srand(++seed);
        ASSERT_TRUE(growPlane(s));
        const float cell = 200.0f / s.clusters;
        float originZ = -100.0f;
        for (int i = 0; i < s.clusters; ++i, originZ += cell) {
            float originX = -100.0f;
            for (int j = 0; j < s.clusters; ++j, originX += cell) {
                int p = i * s.clusters + j;
                float lowestTop[16], highestTop[16];
                std::fill(lowestTop, lowestTop + 16, 1e9f);
                std::fill(highestTop, highestTop + 16, -1e9f);
                for (int k = 0; k < s.hairs; ++k) {
                    Centreline line = centrelineOf(strandAt(p, k));
                    std::string where = describe(s) + ", seed " + std::to_string(seed) +
                                        ", record " + std::to_string(p) + " strand " +
                                        std::to_string(k);
                    const Point3& root = line[0];
                    EXPECT_EQ(root.y, 0.0f) << where;
                    EXPECT_TRUE(root.x >= originX && root.x <= originX + cell) << where << " x " << root.x;
                    EXPECT_TRUE(root.z >= originZ && root.z <= originZ + cell) << where << " z " << root.z;
                    float sideways = static_cast<float>(s.restAngle) +
                                     (s.style == HairStyle::Combed ? 5.0f : 0.0f);
                    for (int r = 1; r < s.parts; ++r) {
                        const Point3& point = line[r];
                        EXPECT_TRUE(point.x >= root.x && point.x <= root.x + sideways * 1.00001f)
                            << where << " part " << r << " x " << point.x;
                        EXPECT_TRUE(point.z >= root.z && point.z <= root.z + sideways * 1.00001f)
                            << where << " part " << r << " z " << point.z;
                        float rise = static_cast<float>(s.length) * r;
                        if (s.style == HairStyle::Combed) {
                            EXPECT_TRUE(point.y >= 0.0f && point.y <= rise + 5.001f) << where << " part " << r;
                            lowestTop[r] = std::min(lowestTop[r], point.y);
                            highestTop[r] = std::max(highestTop[r], point.y);
                        } else {
                            EXPECT_GE(point.y, line[r - 1].y) << where << " part " << r;
                            EXPECT_LE(point.y, rise) << where << " part " << r;
                        }
                    }
                }
                for (int r = 1; s.style == HairStyle::Combed && r < s.parts; ++r) {
                    EXPECT_LE(highestTop[r] - lowestTop[r], 5.001f)
                        << describe(s) << ", record " << p << " part " << r;
                }
            }
        }
    }
}

TEST(PlaneGrowth, ThirdsOfThePlaneAndRecordFive)
{
    srand(5);
    HairRecipe settings = makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 3, 20, 8);
    ASSERT_TRUE(growPlane(settings));
    EXPECT_EQ(200.0f / 3, 66.666664f);
    for (int k = 0; k < 20; ++k) {
        Point3 root = centrePoint(strandAt(5, k), 0);
        EXPECT_TRUE(root.x > 33.33f && root.x <= 100.0f) << "strand " << k << " x " << root.x;
        EXPECT_TRUE(root.z > -33.34f && root.z < 33.34f) << "strand " << k << " z " << root.z;
    }
}

TEST(PlaneGrowth, MessyStrandsWithoutRestAngleAreVertical)
{
    srand(9);
    HairRecipe settings = makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 2, 5, 14, 33, 0);
    ASSERT_TRUE(growPlane(settings));
    for (int p = 0; p < 4; ++p) {
        for (int k = 0; k < 5; ++k) {
            Centreline line = centrelineOf(strandAt(p, k));
            for (int r = 1; r < 14; ++r) {
                EXPECT_EQ(line[r].x, line[0].x) << "record " << p << " strand " << k << " part " << r;
                EXPECT_EQ(line[r].z, line[0].z) << "record " << p << " strand " << k << " part " << r;
            }
            EXPECT_GT(line[13].y, 0.0f) << "record " << p << " strand " << k;
        }
    }
}

TEST(PlaneGrowth, CentrelinesMatchAReplayOfTheDraws)
{
    for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
        HairRecipe settings = makeRecipe(UnderlyingShape::Plane, style, 3, 4, 10, 17, 23);
        srand(21);
        ASSERT_TRUE(growPlane(settings));
        srand(21);
        expectSameCentrelines(grownCentrelines(settings), replayPlane(settings), settings);
    }
}

TEST(SurfaceGrowth, PrintsTheSampleCountOncePerGrowth)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            HairRecipe settings = makeRecipe(shape, style, 2, 2, 8);
            prepareShape(settings);
            EXPECT_EQ(growCapturingOutput(growSurface, settings), "ttotal = 441\n")
                << describe(settings);
        }
    }
}

TEST(SurfaceGrowth, CentrelinesMatchAReplayOfTheDraws)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        for (HairStyle style : {HairStyle::Messy, HairStyle::Combed}) {
            HairRecipe settings = makeRecipe(shape, style, 3, 5, 12, 21, 35);
            prepareShape(settings);
            std::vector<SurfaceVertex> grid = wholeGrid(shapeSurface);
            ASSERT_EQ(grid.size(), 441u);
            srand(31);
            growCapturingOutput(growSurface, settings);
            srand(31);
            std::vector<int> roots;
            expectSameCentrelines(grownCentrelines(settings), replaySurface(settings, grid, &roots),
                                  settings);
        }
    }
}

// Messy surface hair steps along the root's normal turned out of the shape; where
// the normal hardly touches an axis the strand keeps within restAngle of its root
// on that axis, below it on the sphere and above on the torus.
TEST(SurfaceGrowth, MessyStrandsFollowTheNormalFromAGridRoot)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        HairRecipe settings = makeRecipe(shape, HairStyle::Messy, 4, 12, 10, 30, 40);
        prepareShape(settings);
        std::vector<SurfaceVertex> grid = wholeGrid(shapeSurface);
        ASSERT_EQ(grid.size(), 441u);
        const float restSide = shape == UnderlyingShape::Sphere ? -1.0f : 1.0f;

        srand(41);
        growCapturingOutput(growSurface, settings);
        srand(41);
        std::vector<int> roots;
        replaySurface(settings, grid, &roots);

        int strand = 0;
        int restAxes = 0;
        int growthAxes = 0;
        for (int p = 0; p < 16; ++p) {
            for (int k = 0; k < 12; ++k, ++strand) {
                Centreline line = centrelineOf(strandAt(p, k));
                const SurfaceVertex& root = grid[roots[strand]];
                std::string where = describe(settings) + ", record " + std::to_string(p) +
                                    " strand " + std::to_string(k) + " root sample " +
                                    std::to_string(roots[strand]);
                bool onGrid = std::any_of(grid.begin(), grid.end(), [&](const SurfaceVertex& v) {
                    return v.position[0] == line[0].x && v.position[1] == line[0].y &&
                           v.position[2] == line[0].z;
                });
                EXPECT_TRUE(onGrid) << where;
                const float sign = outwardSign(shape, root);
                for (int a = 0; a < 3; ++a) {
                    float n = root.normal[a];
                    float start = *axis(line[0], a);
                    if (std::fabs(n) > 0.01f) {
                        ++growthAxes;
                    } else if (nearZero(n)) {
                        ++restAxes;
                    }
                    for (int r = 1; r < 10; ++r) {
                        float value = *axis(line[r], a);
                        float step = value - *axis(line[r - 1], a);
                        if (std::fabs(n) > 0.01f) {
                            EXPECT_GE(sign * step * n, 0.0f) << where << " axis " << a << " part " << r;
                            EXPECT_LE(std::fabs(step), std::fabs(n) * 30.0f * 1.0001f + 1e-3f)
                                << where << " axis " << a << " part " << r;
                        } else if (nearZero(n)) {
                            float offset = restSide * (value - start);
                            EXPECT_TRUE(offset >= 0.0f && offset <= 40.0f * 1.0001f)
                                << where << " axis " << a << " part " << r << " offset " << offset;
                        }
                    }
                }
            }
        }
        EXPECT_GT(restAxes, 0) << describe(settings) << ": no root exercised the rest offset";
        EXPECT_GT(growthAxes, 0) << describe(settings);
    }
}

// All strands of a combed cluster share one length and rest profile, so the
// growth step along each axis, less the up-to-5 jitter, is the shared length
// times that strand's outward normal component.
TEST(SurfaceGrowth, CombedStrandsShareTheClusterProfile)
{
    for (UnderlyingShape shape : {UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        HairRecipe settings = makeRecipe(shape, HairStyle::Combed, 2, 30, 8, 35, 20);
        prepareShape(settings);
        std::vector<SurfaceVertex> grid = wholeGrid(shapeSurface);
        srand(51);
        growCapturingOutput(growSurface, settings);
        srand(51);
        std::vector<int> roots;
        replaySurface(settings, grid, &roots);

        int strand = 0;
        for (int p = 0; p < 4; ++p) {
            // Bounds on the shared length of each part from every strand's y steps.
            std::vector<float> lowest(8, -1e9f), highest(8, 1e9f);
            for (int k = 0; k < 30; ++k, ++strand) {
                Centreline line = centrelineOf(strandAt(p, k));
                const SurfaceVertex& root = grid[roots[strand]];
                const float sign = outwardSign(shape, root);
                for (int r = 1; r < 8; ++r) {
                    for (int a = 0; a < 3; ++a) {
                        float n = root.normal[a];
                        float signedN = sign * n;
                        float step = *axis(line[r], a) - *axis(line[r - 1], a);
                        float offset = *axis(line[r], a) - *axis(line[0], a);
                        if (nearZero(n)) {
                            EXPECT_TRUE(offset >= -20.0f * std::fabs(n) - 1e-4f &&
                                        offset <= 5.001f + 20.0f * std::fabs(n))
                                << describe(settings) << " record " << p << " strand " << k;
                        } else if (std::fabs(n) > 0.2f) {
                            // step = g + signedN * L with g in [0, 5] and L in [0, 35].
                            float a1 = step / signedN;
                            float a2 = (step - 5.0f) / signedN;
                            lowest[r] = std::max(lowest[r], std::min(a1, a2) - 1e-2f);
                            highest[r] = std::min(highest[r], std::max(a1, a2) + 1e-2f);
                        }
                    }
                }
            }
            for (int r = 1; r < 8; ++r) {
                EXPECT_LE(lowest[r], highest[r])
                    << describe(settings) << ": no shared length fits record " << p << " part " << r;
                EXPECT_TRUE(highest[r] >= 0.0f && lowest[r] <= 35.0f)
                    << describe(settings) << " record " << p << " part " << r;
            }
        }
    }
}

TEST(HairMemory, RegrowingTheLargestHairThenASmallerOne)
{
    ASSERT_TRUE(
        growPlane(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 10, 50, 16, 40, 90)));
    setupSphereSurface(shapeSurface);
    ASSERT_TRUE(
        growCapturingOutput(growSurface, makeRecipe(UnderlyingShape::Sphere, HairStyle::Combed, 10,
                                                    50, 16, 40, 90)) == "ttotal = 441\n");
    EXPECT_EQ(store.clusterCount, 100);
    EXPECT_EQ(store.hairClusters[99].strandCount, 50);
    EXPECT_EQ(strandAt(99, 49).numCtrlU, 16);

    setupTorusSurface(shapeSurface);
    growCapturingOutput(growSurface, makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 2, 3, 8));
    EXPECT_EQ(store.clusterCount, 4);
    EXPECT_EQ(strandAt(0, 0).numCtrlU, 8);
    EXPECT_EQ(strandAt(0, 3).numCtrlU, 16);
    EXPECT_EQ(strandAt(99, 49).numCtrlU, 16);
}

// Each growth is handed the store and the surface it works on: two heads of hair
// grown side by side share only the generator, which runs on from one to the
// next as it would in one store, and neither touches the window's own.
TEST(HandedStores, TwoStoresGrownSideBySideStayIndependent)
{
    const HairRecipe onSphere =
        makeRecipe(UnderlyingShape::Sphere, HairStyle::Combed, 3, 4, 12, 20, 10);
    const HairRecipe onTorus =
        makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 2, 7, 8, 15, 30);
    srand(61);
    growQuietly(onSphere, shapeSurface, store);
    const std::vector<Bytes> sphereAlone = currentStrands(store);
    growQuietly(onTorus, shapeSurface, store);
    const std::vector<Bytes> torusAlone = currentStrands(store);

    const auto sphereHair = std::make_unique<HairStore>();
    const auto torusHair = std::make_unique<HairStore>();
    NurbsSurface sphere;
    NurbsSurface torus;
    srand(61);
    growQuietly(onSphere, sphere, *sphereHair);
    const ControlPoint* sphereNet = sphere.controlNet;
    growQuietly(onTorus, torus, *torusHair);

    EXPECT_EQ(firstDifference(sphereAlone, currentStrands(*sphereHair)), "");
    EXPECT_EQ(firstDifference(torusAlone, currentStrands(*torusHair)), "");
    EXPECT_EQ(sphereHair->clusterCount, 9);
    EXPECT_EQ(sphereHair->hairClusters[8].strandCount, 4);
    EXPECT_EQ(torusHair->clusterCount, 4);
    EXPECT_EQ(torusHair->hairClusters[3].strandCount, 7);

    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildSphereNet(net);
    ASSERT_EQ(sphere.controlNet, sphereNet) << "the torus was set up on a surface of its own";
    EXPECT_EQ(std::memcmp(sphere.controlNet, net, sizeof net), 0);

    EXPECT_FALSE(hairStore.hairGrown);
    EXPECT_EQ(hairStore.clusterCount, 0);
    EXPECT_EQ(underlyingSurface.controlNet, nullptr);
}
