#include "hair/MeshGrowth.h"

#include <vector>

#include "geometry/BothCores.h"
#include "geometry/MeshRoots.h"
#include "hair/GrowthWalk.h"
#include "hair/HairStore.h"

namespace {

using namespace growth;

// Strands of a cluster spread over a disc of half the cluster roots' spacing,
// so neighbouring clusters just meet.
constexpr double kStrandDiscShare = 0.5;

// The generator of one strand's place in its disc: the ground's seed, the
// cluster, the strand and the growth's first root draw mixed together, so the
// roots move with every growth yet need no more draws than the sphere's.
SplitMix64 strandRandom(uint64_t seed, int cluster, int strand, int growthDraw)
{
    SplitMix64 mix{seed};
    mix.state ^= mix.next() + static_cast<uint64_t>(cluster) * 0x9E3779B97F4A7C15ull;
    mix.state ^= mix.next() + static_cast<uint64_t>(strand) * 0xC2B2AE3D27D4EB4Full;
    mix.state ^= mix.next() + static_cast<uint64_t>(growthDraw) * 0x165667B19E3779F9ull;
    return SplitMix64{mix.next()};
}

struct MeshGrowth {
    const HairRecipe& recipe;
    GrowthArrays& work;
    const MeshGround& ground;
    const SurfacePoint* clusterRoots;
    double discRadius;
    SurfacePoint* strandRoots;
    OutwardWalk walk{recipe, work, false};
    int cluster = 0;
    int strand = 0;
    bool rootsPlaced = false;

    void startCluster(int p)
    {
        cluster = p;
        strand = 0;
    }

    void randomTemplate() { walk.randomTemplate(); }

    // Every strand's root, from the growth's first root draw: each is a search
    // of the mesh, and none waits for another, so they are found on two cores.
    void placeRoots(int growthDraw)
    {
        const int clusters = recipe.clusters * recipe.clusters;
        auto place = [&](int first, int end) {
            for (int c = first; c < end; ++c) {
                for (int k = 0; k < recipe.hairs; ++k) {
                    SplitMix64 random = strandRandom(ground.seed, c, k, growthDraw);
                    const double u1 = random.uniform();
                    const double u2 = random.uniform();
                    SurfacePoint& root = strandRoots[size_t(c) * recipe.hairs + k];
                    if (!rootNear(ground.nearest, clusterRoots[c], discRadius, u1, u2, root)) {
                        root = clusterRoots[c];
                    }
                }
            }
        };
        runBoth([&] { place(0, clusters / 2); }, [&] { place(clusters / 2, clusters); });
        rootsPlaced = true;
    }

    void walkStrand()
    {
        // The draw that picks the sphere's root sample; the first of them
        // places every root.
        const int rootDraw = nextRandom();
        if (!rootsPlaced) placeRoots(rootDraw);
        const SurfacePoint& root = strandRoots[size_t(cluster) * recipe.hairs + strand];
        ++strand;
        work.pathX[0] = root.position[0];
        work.pathY[0] = root.position[1];
        work.pathZ[0] = root.position[2];
        // The interpolated normal already faces the way the winding does.
        walk.walkFromRoot(root.normal, root.normal);
    }

    void nextColumn() {}
    void nextRow() {}
};

}  // namespace

bool MeshGround::setup(TriangleMesh& meshAsRead, uint64_t fileHash)
{
    release();
    mesh.takeFrom(meshAsRead);
    fit = fitMesh(mesh);
    // Neither table needs the other; a large mesh builds them on two cores.
    runBoth([&] { areas.setup(mesh); }, [&] { nearest.setup(mesh); });
    if (!(areas.totalArea() > 0.0)) {
        release();
        return false;
    }
    seed = fileHash;
    return true;
}

void MeshGround::release()
{
    nearest.release();
    areas.release();
    mesh.release();
    fit = MeshFit();
    seed = 0;
}

bool meshClusterRoots(const MeshGround& ground, int clusters, SurfacePoint* roots, double& radius)
{
    if (!ground.ready() || clusters < 1 || clusters > kMaxClusters) {
        return false;
    }
    const int count = clusters * clusters;
    if (!clusterRoots(ground.mesh, ground.areas, count, ground.seed, roots)) {
        return false;
    }
    radius = kStrandDiscShare * rootSpacing(ground.areas.totalArea(), count);
    return true;
}

bool growMeshHair(const HairRecipe& recipe, const MeshGround& ground, HairStore& store)
{
    if (!fitsStore(recipe) || recipe.shape != UnderlyingShape::Mesh) {
        return false;
    }
    std::vector<SurfacePoint> roots(static_cast<size_t>(recipe.clusters) * recipe.clusters);
    double radius = 0.0;
    if (!meshClusterRoots(ground, recipe.clusters, roots.data(), radius)) {
        return false;
    }
    std::vector<SurfacePoint> strandRoots(roots.size() * size_t(recipe.hairs));
    GrowthArrays work;
    work.allocate(recipe.parts);
    MeshGrowth growth{recipe, work, ground, roots.data(), radius, strandRoots.data()};
    growClusters(recipe, work, growth, store);
    work.release();
    return true;
}
