#include "hair/MeshGrowth.h"

#include <vector>

#include "geometry/MeshRoots.h"
#include "hair/GrowthWalk.h"
#include "hair/HairStore.h"

namespace {

using namespace growth;

// Strands of a cluster spread over a disc of half the cluster roots' spacing,
// so neighbouring clusters just meet.
constexpr double kStrandDiscShare = 0.5;

// The generator of one strand's place in its disc: the ground's seed, the
// cluster, the strand and the strand's rand() root draw mixed together, so the
// roots move with every growth yet need no more draws than the sphere's.
SplitMix64 strandRandom(uint64_t seed, int cluster, int strand, int rootDraw)
{
    SplitMix64 mix{seed};
    mix.state ^= mix.next() + static_cast<uint64_t>(cluster) * 0x9E3779B97F4A7C15ull;
    mix.state ^= mix.next() + static_cast<uint64_t>(strand) * 0xC2B2AE3D27D4EB4Full;
    mix.state ^= mix.next() + static_cast<uint64_t>(rootDraw) * 0x165667B19E3779F9ull;
    return SplitMix64{mix.next()};
}

struct MeshGrowth {
    const HairRecipe& recipe;
    GrowthArrays& work;
    const MeshGround& ground;
    const SurfacePoint* clusterRoots;
    double discRadius;
    OutwardWalk walk{recipe, work, false};
    int cluster = 0;
    int strand = 0;

    void startCluster(int p)
    {
        cluster = p;
        strand = 0;
    }

    void randomTemplate() { walk.randomTemplate(); }

    void walkStrand()
    {
        // The draw that picks the sphere's root sample picks this root's place.
        const int rootDraw = nextRandom();
        SplitMix64 random = strandRandom(ground.seed, cluster, strand, rootDraw);
        const double u1 = random.uniform();
        const double u2 = random.uniform();
        ++strand;
        SurfacePoint root = clusterRoots[cluster];
        SurfacePoint moved;
        if (rootNear(ground.nearest, root, discRadius, u1, u2, moved)) {
            root = moved;
        }
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
    areas.setup(mesh);
    if (!(areas.totalArea() > 0.0)) {
        release();
        return false;
    }
    nearest.setup(mesh);
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
    GrowthArrays work;
    work.allocate(recipe.parts);
    MeshGrowth growth{recipe, work, ground, roots.data(), radius};
    growClusters(recipe, work, growth, store);
    work.release();
    return true;
}
