#include "hair/MeshGrowth.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
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

// Every strand's root, from the growth's first root draw. Each is a search of
// the mesh and none waits for another, so a second core finds them in order
// while the growth takes them; the growth finds the next one itself whenever
// it would otherwise wait.
class StrandRoots {
public:
    StrandRoots(const HairRecipe& recipe, const MeshGround& ground, const SurfacePoint* clusterRoots,
                double discRadius)
        : recipe(recipe), ground(ground), clusterRoots(clusterRoots), discRadius(discRadius),
          count(recipe.clusters * recipe.clusters * recipe.hairs), roots(new SurfacePoint[size_t(count)]),
          ready(new std::atomic<bool>[size_t(count)])
    {
        for (int i = 0; i < count; ++i) ready[i].store(false, std::memory_order_relaxed);
    }
    ~StrandRoots()
    {
        claimed.store(count);
        if (finder.joinable()) finder.join();
    }
    StrandRoots(const StrandRoots&) = delete;
    StrandRoots& operator=(const StrandRoots&) = delete;

    void start(int draw)
    {
        growthDraw = draw;
        try {
            finder = std::thread([this] {
                while (findNext()) {
                }
            });
        } catch (const std::system_error&) {
            // Found here alone, as they are taken.
        }
    }

    const SurfacePoint& at(int index)
    {
        while (!ready[index].load(std::memory_order_acquire)) {
            if (!findNext()) std::this_thread::yield();
        }
        return roots[index];
    }

private:
    const HairRecipe& recipe;
    const MeshGround& ground;
    const SurfacePoint* clusterRoots;
    double discRadius;
    int count;
    std::unique_ptr<SurfacePoint[]> roots;
    std::unique_ptr<std::atomic<bool>[]> ready;
    std::atomic<int> claimed{0};
    int growthDraw = 0;
    std::thread finder;

    // Find the first root nobody has claimed; false when none is left.
    bool findNext()
    {
        const int index = claimed.fetch_add(1);
        if (index >= count) return false;
        const int cluster = index / recipe.hairs;
        SplitMix64 random = strandRandom(ground.seed, cluster, index % recipe.hairs, growthDraw);
        const double u1 = random.uniform();
        const double u2 = random.uniform();
        if (!rootNear(ground.nearest, clusterRoots[cluster], discRadius, u1, u2, roots[index])) {
            roots[index] = clusterRoots[cluster];
        }
        ready[index].store(true, std::memory_order_release);
        return true;
    }
};

struct MeshGrowth {
    const HairRecipe& recipe;
    GrowthArrays& work;
    StrandRoots& strandRoots;
    OutwardWalk walk{recipe, work, false};
    int cluster = 0;
    int strand = 0;
    bool rootsStarted = false;

    void startCluster(int p)
    {
        cluster = p;
        strand = 0;
    }

    void randomTemplate() { walk.randomTemplate(); }

    void walkStrand()
    {
        // The draw that picks the sphere's root sample; the first of them
        // places every root.
        const int rootDraw = nextRandom();
        if (!rootsStarted) strandRoots.start(rootDraw);
        rootsStarted = true;
        const SurfacePoint& root = strandRoots.at(cluster * recipe.hairs + strand);
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
    if (mesh.triangleCount >= kWorthBothCores) {
        runBoth([&] { areas.setup(mesh); }, [&] { nearest.setup(mesh); });
    } else {
        areas.setup(mesh);
        nearest.setup(mesh);
    }
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
    StrandRoots strandRoots(recipe, ground, roots.data(), radius);
    GrowthArrays work;
    work.allocate(recipe.parts);
    MeshGrowth growth{recipe, work, strandRoots};
    growClusters(recipe, work, growth, store);
    work.release();
    return true;
}
