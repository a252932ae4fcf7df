#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ReferenceSurface.h"
#include "geometry/BasisTableCache.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"

namespace {

template <typename T>
bool sameBits(const T* a, const T* b, int count)
{
    return a != nullptr && b != nullptr && std::memcmp(a, b, sizeof(T) * count) == 0;
}

// Every basis table and the whole grid of two surfaces set up from one input, byte for byte.
void expectSameSurface(NurbsSurface& got, NurbsSurface& fresh, const std::string& what)
{
    ASSERT_EQ(got.numSpansU, fresh.numSpansU) << what;
    ASSERT_EQ(got.samplesU, fresh.samplesU) << what;
    ASSERT_EQ(got.samplesV, fresh.samplesV) << what;
    EXPECT_TRUE(sameBits(got.basisCoeffU, fresh.basisCoeffU, fresh.numSpansU * fresh.orderU * fresh.orderU)) << what;
    EXPECT_TRUE(sameBits(got.basisCoeffV, fresh.basisCoeffV, fresh.numSpansV * fresh.orderV * fresh.orderV)) << what;
    EXPECT_TRUE(sameBits(got.spanU, fresh.spanU, fresh.samplesU + 1)) << what;
    EXPECT_TRUE(sameBits(got.spanV, fresh.spanV, fresh.samplesV + 1)) << what;
    EXPECT_TRUE(sameBits(got.basisU, fresh.basisU, (fresh.samplesU + 1) * fresh.orderU)) << what;
    EXPECT_TRUE(sameBits(got.basisDerivU, fresh.basisDerivU, (fresh.samplesU + 1) * fresh.orderU)) << what;
    EXPECT_TRUE(sameBits(got.basisV, fresh.basisV, (fresh.samplesV + 1) * fresh.orderV)) << what;
    EXPECT_TRUE(sameBits(got.basisDerivV, fresh.basisDerivV, (fresh.samplesV + 1) * fresh.orderV)) << what;
    const std::vector<SurfaceVertex> a = evaluateRows(got);
    const std::vector<SurfaceVertex> b = evaluateRows(fresh);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(SurfaceVertex)), 0) << "grid\n" << what;
}

// Sets `in` up through the cache and against a fresh cache-free surface.
void expectCachedIsFresh(const SurfaceInput& in, BasisTableCache& cache, const std::string& label)
{
    NurbsSurface cached;
    in.setUp(cached, &cache);
    NurbsSurface fresh;
    in.setUp(fresh);
    expectSameSurface(cached, fresh, label + "\n" + in.describe());
}

int entriesInUse(const BasisTableCache& cache)
{
    int count = 0;
    for (const DirectionTables& entry : cache.entries) {
        count += entry.degree >= 0 ? 1 : 0;
    }
    return count;
}

// What a hit must leave as it was: which arrays each entry holds and its key.
struct EntryState {
    const void* arrays[5];
    int degree;
    int samples;
};

std::vector<EntryState> stateOf(const BasisTableCache& cache)
{
    std::vector<EntryState> state;
    for (const DirectionTables& entry : cache.entries) {
        state.push_back({{entry.knots, entry.coeff, entry.span, entry.basis, entry.basisDeriv},
                         entry.degree, entry.samples});
    }
    return state;
}

bool sameState(const std::vector<EntryState>& a, const std::vector<EntryState>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t n = 0; n < a.size(); ++n) {
        if (!std::equal(a[n].arrays, a[n].arrays + 5, b[n].arrays) || a[n].degree != b[n].degree ||
            a[n].samples != b[n].samples) {
            return false;
        }
    }
    return true;
}

std::vector<float> wanderingCentreline(int parts, float bend)
{
    std::vector<float> points;
    for (int r = 0; r < parts; ++r) {
        points.push_back(3.0f * r - bend * r * r);
        points.push_back(9.0f * r);
        points.push_back(0.5f * r * r - 4.0f * r);
    }
    return points;
}

SurfaceInput sphereInput()
{
    SurfaceInput in;
    in.degreeU = 2;
    in.degreeV = 2;
    in.numCtrlU = kShapeNetSize;
    in.numCtrlV = kShapeNetSize;
    in.net.resize(kShapeNetSize * kShapeNetSize);
    buildSphereNet(in.net.data());
    in.knotsU.assign(kCircleKnots, kCircleKnots + 12);
    in.knotsV.assign(kCircleKnots, kCircleKnots + 12);
    in.samplesU = kShapeSamples;
    in.samplesV = kShapeSamples;
    return in;
}

}  // namespace

TEST(BasisTableCache, HitsGiveTheBitsOfAFreshSetupAndKeepTheEntries)
{
    // Strands of one growth differ only in their nets; the sphere has the same
    // knots in both directions, so both share one entry.
    BasisTableCache cache;
    const SurfaceInput first = strandInput(wanderingCentreline(12, 0.25f));
    expectCachedIsFresh(first, cache, "first strand");
    EXPECT_EQ(entriesInUse(cache), 2);
    const std::vector<EntryState> kept = stateOf(cache);
    for (float bend : {0.0f, 0.5f, -1.0f}) {
        expectCachedIsFresh(strandInput(wanderingCentreline(12, bend)), cache,
                            "strand bent by " + std::to_string(bend));
        EXPECT_TRUE(sameState(stateOf(cache), kept)) << "a hit rebuilt an entry";
    }

    BasisTableCache sphereCache;
    expectCachedIsFresh(sphereInput(), sphereCache, "sphere");
    expectCachedIsFresh(sphereInput(), sphereCache, "sphere again");
    EXPECT_EQ(entriesInUse(sphereCache), 1);
}

TEST(BasisTableCache, OtherKnotsDegreesOrSampleCountsMiss)
{
    const SurfaceInput base = strandInput(wanderingCentreline(10, 0.25f));
    // One u knot one float step higher.
    SurfaceInput nudged = base;
    nudged.knotsU[5] = std::nextafter(nudged.knotsU[5], 2.0f);
    // Degree 2 in v on the same 9 columns, so its 12 v knots are the first of the base's 13.
    SurfaceInput lowerDegree = base;
    lowerDegree.degreeV = 2;
    lowerDegree.knotsV.pop_back();
    // One more column in v, its 14 v knots starting with the base's 13.
    SurfaceInput moreColumns = base;
    moreColumns.numCtrlV = 10;
    moreColumns.knotsV.push_back(1.0f);
    moreColumns.net.clear();
    for (int n = 0; n < moreColumns.numCtrlU * moreColumns.numCtrlV; ++n) {
        moreColumns.net.push_back({float(n % 10), float(n / 10), float(n % 3), 1.0f});
    }
    SurfaceInput otherSamples = base;
    otherSamples.samplesU = 7;
    otherSamples.samplesV = 33;

    // Each pair through a cache of its own, the second after the first: a miss
    // must give the second its own tables, in an entry of its own unless only
    // the sample counts differ.
    struct Pair {
        const char* what;
        const SurfaceInput& first;
        const SurfaceInput& second;
        int entriesAfter;
    };
    const Pair pairs[] = {
        {"u knot nudged", base, nudged, 3},
        {"v degree 3 after 2", lowerDegree, base, 3},
        {"v columns 10 after 9", base, moreColumns, 3},
        {"other sample counts", base, otherSamples, 2},
        {"sample counts back", otherSamples, base, 2},
    };
    for (const Pair& pair : pairs) {
        BasisTableCache cache;
        expectCachedIsFresh(pair.first, cache, std::string(pair.what) + ", first");
        expectCachedIsFresh(pair.second, cache, std::string(pair.what) + ", second");
        EXPECT_EQ(entriesInUse(cache), pair.entriesAfter) << pair.what;
        if (HasFatalFailure()) return;
    }

    // With more keys than entries the oldest go; every surface still sets up right.
    BasisTableCache cache;
    for (int round = 0; round < 2; ++round) {
        for (const SurfaceInput& in : {base, nudged, lowerDegree, moreColumns, otherSamples}) {
            expectCachedIsFresh(in, cache, "round " + std::to_string(round));
        }
    }
    EXPECT_EQ(entriesInUse(cache), kBasisCacheEntries);
}

TEST(BasisTableCache, EntriesOwnTheirCopiesAndReleaseEmptiesThem)
{
    BasisTableCache cache;
    const SurfaceInput in = strandInput(wanderingCentreline(14, 0.25f));
    {
        SurfaceInput scratch = in;
        NurbsSurface surface;
        scratch.setUp(surface, &cache);
        for (const DirectionTables& entry : cache.entries) {
            if (entry.degree < 0) continue;
            EXPECT_NE(entry.knots, surface.knotsU);
            EXPECT_NE(entry.knots, surface.knotsV);
            EXPECT_NE(entry.coeff, surface.basisCoeffU);
            EXPECT_NE(entry.basis, surface.basisV);
        }
        // The caller's arrays and the surface go; the entries must not need them.
        std::fill(scratch.knotsU.begin(), scratch.knotsU.end(), NAN);
        std::fill(scratch.knotsV.begin(), scratch.knotsV.end(), NAN);
    }
    const std::vector<EntryState> kept = stateOf(cache);
    expectCachedIsFresh(in, cache, "after the first surface went");
    EXPECT_TRUE(sameState(stateOf(cache), kept)) << "the entries of a gone surface missed";

    cache.release();
    cache.release();
    EXPECT_EQ(entriesInUse(cache), 0);
    EXPECT_EQ(cache.nextEntry, 0);
    for (const DirectionTables& entry : cache.entries) {
        for (const void* array : {(const void*)entry.knots, (const void*)entry.coeff, (const void*)entry.span,
                                  (const void*)entry.basis, (const void*)entry.basisDeriv}) {
            EXPECT_EQ(array, nullptr);
        }
    }
    // An emptied cache fills again.
    expectCachedIsFresh(in, cache, "after release");
    EXPECT_EQ(entriesInUse(cache), 2);
}
