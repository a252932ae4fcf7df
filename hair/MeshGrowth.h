#ifndef TRESSMOOR_HAIR_MESHGROWTH_H
#define TRESSMOOR_HAIR_MESHGROWTH_H

#include <cstdint>

#include "geometry/MeshNearest.h"
#include "geometry/MeshSampling.h"
#include "geometry/TriangleMesh.h"
#include "hair/HairRecipe.h"

class HairStore;

// A user's mesh made ready for growth: fitted where the sphere sits, with its
// area table and nearest-point tree, and the seed its cluster roots come from
// (the hash of the file's bytes, so the same file grows the same roots).
class MeshGround {
public:
    TriangleMesh mesh;  // in fitted units
    MeshFit fit;        // from the file's units to fitted ones
    AreaTable areas;
    MeshNearest nearest;
    uint64_t seed = 0;

    MeshGround() = default;
    MeshGround(const MeshGround&) = delete;
    MeshGround& operator=(const MeshGround&) = delete;

    // Take over the mesh as read, fit it and build the tables; false, keeping
    // nothing, for a mesh without area.
    bool setup(TriangleMesh& meshAsRead, uint64_t fileHash);
    void release();
    bool ready() const { return mesh.triangleCount > 0 && areas.totalArea() > 0.0; }
};

// Hair on the mesh: clusters x clusters cluster roots spread evenly over it
// (clusterRoots from the seed), each cluster's strands rooted within half the
// roots' spacing of its cluster root, moved onto the surface, and walked out as
// on the sphere: the same rand() draws in the same order, outward along the
// interpolated normal. Refuses, changing nothing (not even the rand()
// sequence), unless the shape is Mesh, the store holds the hair and the ground
// is ready.
bool growMeshHair(const HairRecipe& recipe, const MeshGround& ground, HairStore& store);

// The cluster roots of a growth with this many clusters per side, in record
// order, and the radius of the disc its strands root in; false as above.
bool meshClusterRoots(const MeshGround& ground, int clusters, SurfacePoint* roots, double& radius);

#endif
