#ifndef TRESSMOOR_GEOMETRY_MESHNEAREST_H
#define TRESSMOOR_GEOMETRY_MESHNEAREST_H

#include <cstdint>

#include "geometry/MeshSampling.h"
#include "geometry/TriangleNearest.h"
#include "geometry/TriangleMesh.h"

// The point of a mesh nearest a point in space, found through a tree of boxes
// over the triangles (ordered along a Morton curve). Set up once per mesh; the
// mesh must outlive it and not change.
//
// A mesh's file nearly always lists triangles that lie together one after
// the other, so the tree is built over runs of a leaf's worth of consecutive
// triangles, each boxed in one pass through the mesh in its own order; only
// runs that do not lie together are taken apart and sorted triangle by
// triangle.
class MeshNearest {
public:
    MeshNearest() = default;
    ~MeshNearest() { release(); }
    MeshNearest(const MeshNearest&) = delete;
    MeshNearest& operator=(const MeshNearest&) = delete;

    void setup(const TriangleMesh& mesh);
    void release();

    // The nearest point of the surface with its normal and uv; of triangles
    // equally near, the lowest numbered, so the answer depends on the mesh
    // alone and not on how the tree or the search is laid out. False for a mesh
    // without triangles or a point that is not finite.
    // A triangle known to be near (hint, or -1 for none) starts the search with
    // its distance, so most of the tree is passed over at once.
    bool nearestPoint(const float point[3], SurfacePoint& nearest, int32_t hint = -1) const;

    struct Node {
        float low[3];
        float high[3];
        int32_t first;  // a leaf's first entry of order, or an inner node's first child
        int32_t count;  // triangles of a leaf; 0 for an inner node, whose children are first, first + 1
    };

private:
    const TriangleMesh* mesh = nullptr;
    Node* nodes = nullptr;
    int32_t* order = nullptr;

    struct Items;
    static int32_t splitOf(const uint64_t* keys, int32_t begin, int32_t end, int depth);
    void build(int32_t node, const Items& items, int32_t begin, int32_t end, int depth, int32_t& next);
    void boxLeaf(Node& leaf, const Items& items, int32_t begin, int32_t end) const;
};

#endif
