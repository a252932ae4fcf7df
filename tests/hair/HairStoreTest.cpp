#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

namespace {

HairStore store;

std::vector<float> knotsFor(int parts)
{
    std::vector<float> knots(parts + 4, -1.0f);
    buildStrandKnotsU(parts, knots.data());
    return knots;
}

// A centreline that bends in every coordinate, so rows cannot be confused.
Centreline bentCentreline(int parts)
{
    Centreline line;
    for (int r = 0; r < parts; ++r) {
        line.push_back({1.5f * r - 4.0f, 2.0f * r + 0.25f * r * r, 3.0f - 0.75f * r});
    }
    return line;
}

bool buildFrom(int p, int k, const Centreline& line, std::vector<ControlPoint>& scratch)
{
    int parts = static_cast<int>(line.size());
    std::vector<float> xs, ys, zs;
    for (const Point3& point : line) {
        xs.push_back(point.x);
        ys.push_back(point.y);
        zs.push_back(point.z);
    }
    std::vector<float> knots = knotsFor(parts);
    scratch.assign(static_cast<size_t>(parts) * kStrandRingPoints, ControlPoint{});
    return buildStrand(store, p, k, xs.data(), ys.data(), zs.data(), parts, knots.data(),
                       scratch.data());
}

Point3 midpoint(const Point3& a, const Point3& b)
{
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

void expectNear(const float* actual, const Point3& expected, float tolerance, const char* what,
                int parts)
{
    EXPECT_NEAR(actual[0], expected.x, tolerance) << what << " x, parts " << parts;
    EXPECT_NEAR(actual[1], expected.y, tolerance) << what << " y, parts " << parts;
    EXPECT_NEAR(actual[2], expected.z, tolerance) << what << " z, parts " << parts;
}

}  // namespace

TEST(StrandKnots, KnownVectorsForEightAndTen)
{
    const std::vector<float> eight = {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1};
    EXPECT_EQ(knotsFor(8), eight);

    const float ten[] = {0, 0, 0, 0.2f, 0.2f, 0.4f, 0.4f, 0.6f, 0.6f, 0.8f, 0.8f, 1, 1, 1};
    std::vector<float> knots = knotsFor(10);
    ASSERT_EQ(knots.size(), 14u);
    for (int r = 0; r < 14; ++r) {
        EXPECT_FLOAT_EQ(knots[r], ten[r]) << "knot " << r;
    }

    std::vector<float> sixteen = knotsFor(16);
    for (int r = 3; r < 17; ++r) {
        EXPECT_EQ(sixteen[r], 0.125f * ((r - 1) / 2)) << "knot " << r;
    }
}

TEST(StrandKnots, EveryPartsValueHasTripleEndsAndDoubledSteps)
{
    for (int parts = kMinStrandParts; parts <= kMaxStrandParts; parts += 2) {
        std::vector<float> knots = knotsFor(parts);
        int intervals = parts / 2;
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(knots[r], 0.0f) << "parts " << parts << " knot " << r;
            EXPECT_EQ(knots[parts + 3 - r], 1.0f) << "parts " << parts << " knot " << parts + 3 - r;
        }
        for (int r = 3; r < parts + 1; r += 2) {
            float expected = static_cast<float>((r - 1) / 2) / intervals;
            EXPECT_NEAR(knots[r], expected, 1e-6f) << "parts " << parts << " knot " << r;
            EXPECT_EQ(knots[r], knots[r + 1]) << "parts " << parts << " knot " << r;
        }
        for (int r = 1; r < parts + 4; ++r) {
            EXPECT_LE(knots[r - 1], knots[r]) << "parts " << parts << " knot " << r;
        }
    }
}

TEST(StrandTube, ControlNetIsTheRingAboutEachCentrelinePoint)
{
    const int parts = 10;
    Centreline line = bentCentreline(parts);
    std::vector<ControlPoint> scratch;
    ASSERT_TRUE(buildFrom(0, 0, line, scratch));

    const NurbsSurface& strand = store.hairClusters[0].strands[0];
    EXPECT_EQ(strand.degreeU, 3);
    EXPECT_EQ(strand.degreeV, 3);
    EXPECT_EQ(strand.numCtrlU, parts);
    EXPECT_EQ(strand.numCtrlV, 9);
    EXPECT_EQ(strand.numKnotsU, parts + 4);
    EXPECT_EQ(strand.numKnotsV, 13);
    EXPECT_EQ(strand.samplesU, 20);
    EXPECT_EQ(strand.samplesV, 20);
    for (int r = 0; r < 13; ++r) {
        EXPECT_EQ(strand.knotsV[r], kStrandKnotsV[r]) << "v knot " << r;
    }

    for (int r = 0; r < parts; ++r) {
        for (int l = 0; l < kStrandRingPoints; ++l) {
            const ControlPoint& point = strand.controlNet[r * 9 + l];
            const ControlPoint& ring = kStrandCrossSection[l];
            EXPECT_EQ(point.x, line[r].x + ring.x) << "row " << r << " ring " << l;
            EXPECT_EQ(point.y, line[r].y + ring.y) << "row " << r << " ring " << l;
            EXPECT_EQ(point.z, line[r].z + ring.z) << "row " << r << " ring " << l;
            EXPECT_EQ(point.w, 1.0f) << "row " << r << " ring " << l;
        }
        const ControlPoint& first = strand.controlNet[r * 9];
        const ControlPoint& last = strand.controlNet[r * 9 + 8];
        EXPECT_TRUE(first.x == last.x && first.y == last.y && first.z == last.z &&
                    first.w == last.w)
            << "ring not closed in row " << r;
        Point3 centre = centrePoint(strand, r);
        EXPECT_EQ(centre.x, line[r].x);
        EXPECT_EQ(centre.y, line[r].y);
        EXPECT_EQ(centre.z, line[r].z);
    }

    for (int l = 0; l < kStrandRingPoints; ++l) {
        const ControlPoint& ring = kStrandCrossSection[l];
        EXPECT_NEAR(std::sqrt(ring.x * ring.x + ring.z * ring.z), 1.0f, 1e-6f) << "ring " << l;
        EXPECT_EQ(ring.y, 0.0f);
    }
}

// The evaluated range starts and ends on doubled knots, where the cubic basis
// weighs two neighbouring rows equally: the tube runs from the midpoint of C[1]
// and C[2] to that of C[parts - 3] and C[parts - 2], and its cross-section from
// the midpoint of ring points 1 and 2 round to ring point 8.
TEST(StrandTube, DrawnTubeEndsAtTheMidpointsForEveryPartsValue)
{
    const Point3 arcStart = {(0.707107f + 0.0f) / 2, 0.0f, (0.707107f + 1.0f) / 2};
    const Point3 arcEnd = {1.0f, 0.0f, 0.0f};
    for (int parts = kMinStrandParts; parts <= kMaxStrandParts; parts += 2) {
        Centreline line = bentCentreline(parts);
        std::vector<ControlPoint> scratch;
        ASSERT_TRUE(buildFrom(1, 3, line, scratch));
        NurbsSurface& strand = store.hairClusters[1].strands[3];

        testing::internal::CaptureStdout();
        SurfaceVertex* grid = strand.evaluateGrid();
        testing::internal::GetCapturedStdout();
        ASSERT_NE(grid, nullptr);

        Point3 rootEnd = midpoint(line[1], line[2]);
        Point3 tipEnd = midpoint(line[parts - 3], line[parts - 2]);
        const float tolerance = 2e-3f;
        auto offset = [](const Point3& centre, const Point3& ring) {
            return Point3{centre.x + ring.x, centre.y + ring.y, centre.z + ring.z};
        };
        expectNear(grid[0].position, offset(rootEnd, arcStart), tolerance, "first row, first column", parts);
        expectNear(grid[20].position, offset(rootEnd, arcEnd), tolerance, "first row, last column", parts);
        expectNear(grid[20 * 21].position, offset(tipEnd, arcStart), tolerance, "last row, first column", parts);
        expectNear(grid[20 * 21 + 20].position, offset(tipEnd, arcEnd), tolerance, "last row, last column", parts);

        for (int i = 0; i < 21 * 21; ++i) {
            for (int a = 0; a < 3; ++a) {
                ASSERT_TRUE(std::isfinite(grid[i].position[a]))
                    << "sample " << i / 21 << "," << i % 21 << " of a " << parts << "-part tube";
            }
        }
        delete[] grid;
    }
}

TEST(StrandTube, VerticalCentrelineGivesStackedIdenticalRings)
{
    Centreline line;
    for (int r = 0; r < 8; ++r) {
        line.push_back({12.5f, 3.0f * r, -7.25f});
    }
    std::vector<ControlPoint> scratch;
    ASSERT_TRUE(buildFrom(2, 0, line, scratch));
    const NurbsSurface& strand = store.hairClusters[2].strands[0];
    for (int r = 1; r < 8; ++r) {
        for (int l = 0; l < 9; ++l) {
            const ControlPoint& point = strand.controlNet[r * 9 + l];
            const ControlPoint& below = strand.controlNet[l];
            EXPECT_EQ(point.x, below.x) << "row " << r << " ring " << l;
            EXPECT_EQ(point.z, below.z) << "row " << r << " ring " << l;
            EXPECT_EQ(point.y, 3.0f * r) << "row " << r << " ring " << l;
        }
    }
}

TEST(StrandTube, RefusesWhatTheStoreCannotHoldAndTouchesNothing)
{
    std::vector<ControlPoint> scratch;
    ASSERT_TRUE(buildFrom(kMaxClusters - 1, kMaxStrandsPerCluster - 1, bentCentreline(8), scratch));
    ASSERT_TRUE(buildFrom(0, 0, bentCentreline(8), scratch));
    const NurbsSurface& target = store.hairClusters[0].strands[0];
    const ControlPoint* netBefore = target.controlNet;
    const std::vector<ControlPoint> valuesBefore(netBefore, netBefore + 8 * 9);
    store.hairGrown = false;

    struct Request {
        int p;
        int k;
        int parts;
    };
    const Request refused[] = {
        {-1, 0, 8}, {kMaxClusters, 0, 8}, {0, -1, 8}, {0, kMaxStrandsPerCluster, 8},
        {0, 0, 0},  {0, 0, 4},            {0, 0, 9},  {0, 0, 7},
        {0, 0, 18}, {0, 0, -2},
    };
    // Buffers big enough for any request, so only the arguments can be at fault.
    const int roomyParts = 18;
    Centreline line = bentCentreline(roomyParts);
    std::vector<float> xs, ys, zs;
    for (const Point3& point : line) {
        xs.push_back(point.x);
        ys.push_back(point.y);
        zs.push_back(point.z);
    }
    std::vector<float> knots = knotsFor(roomyParts);
    std::vector<ControlPoint> roomyNet(roomyParts * kStrandRingPoints);
    for (const Request& request : refused) {
        EXPECT_FALSE(buildStrand(store, request.p, request.k, xs.data(), ys.data(), zs.data(),
                                 request.parts, knots.data(), roomyNet.data()))
            << "p " << request.p << " k " << request.k << " parts " << request.parts;
    }
    EXPECT_FALSE(store.hairGrown);
    EXPECT_EQ(target.controlNet, netBefore);
    EXPECT_EQ(target.numCtrlU, 8);
    for (int i = 0; i < 8 * 9; ++i) {
        EXPECT_EQ(target.controlNet[i].y, valuesBefore[i].y) << "point " << i;
    }
}

TEST(HairStoreCounts, DefaultsGiveOneTenPartStrand)
{
    HairRecipe settings = makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 10);
    ASSERT_TRUE(growPlaneHair(settings, store));
    EXPECT_TRUE(store.hairGrown);
    EXPECT_EQ(store.clusterCount, 1);
    EXPECT_EQ(store.hairClusters[0].strandCount, 1);
    const NurbsSurface& strand = store.hairClusters[0].strands[0];
    EXPECT_EQ(strand.numCtrlU, 10);
    EXPECT_EQ(strand.numCtrlV, 9);
    EXPECT_EQ(strand.numKnotsU, 14);
    EXPECT_EQ(strand.numKnotsV, 13);
}

TEST(HairStoreCounts, ShrinkingLeavesStaleStrandsAllocatedAndUntouched)
{
    ASSERT_TRUE(
        growPlaneHair(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 3, 5, 8), store));
    EXPECT_EQ(store.clusterCount, 9);
    const ControlPoint* staleInRecord = store.hairClusters[1].strands[4].controlNet;
    const ControlPoint* staleRecord = store.hairClusters[7].strands[0].controlNet;
    const Point3 staleTip = centrePoint(store.hairClusters[7].strands[0], 7);

    ASSERT_TRUE(
        growPlaneHair(makeRecipe(UnderlyingShape::Plane, HairStyle::Combed, 2, 2, 10), store));
    EXPECT_EQ(store.clusterCount, 4);
    for (int p = 0; p < 9; ++p) {
        EXPECT_EQ(store.hairClusters[p].strandCount, p < 4 ? 2 : 5) << "record " << p;
        for (int k = 0; k < 5; ++k) {
            const NurbsSurface& strand = store.hairClusters[p].strands[k];
            EXPECT_NE(strand.controlNet, nullptr) << "record " << p << " strand " << k;
            int expectedParts = (p < 4 && k < 2) ? 10 : 8;
            EXPECT_EQ(strand.numCtrlU, expectedParts) << "record " << p << " strand " << k;
        }
    }
    EXPECT_EQ(store.hairClusters[1].strands[4].controlNet, staleInRecord);
    EXPECT_EQ(store.hairClusters[7].strands[0].controlNet, staleRecord);
    Point3 tip = centrePoint(store.hairClusters[7].strands[0], 7);
    EXPECT_TRUE(tip.x == staleTip.x && tip.y == staleTip.y && tip.z == staleTip.z);

    ASSERT_TRUE(
        growPlaneHair(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 1, 1, 8), store));
    EXPECT_EQ(store.clusterCount, 1);
    EXPECT_EQ(store.hairClusters[1].strandCount, 2);
    EXPECT_EQ(store.hairClusters[8].strandCount, 5);
}

TEST(HairStoreCounts, TenClustersFillEveryRecord)
{
    ASSERT_TRUE(
        growPlaneHair(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 10, 1, 8), store));
    EXPECT_EQ(store.clusterCount, kMaxClusters);
    for (int p = 0; p < kMaxClusters; ++p) {
        EXPECT_EQ(store.hairClusters[p].strandCount, 1) << "record " << p;
        EXPECT_NE(store.hairClusters[p].strands[0].controlNet, nullptr) << "record " << p;
    }
}
