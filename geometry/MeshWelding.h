#ifndef TRESSMOOR_GEOMETRY_MESHWELDING_H
#define TRESSMOOR_GEOMETRY_MESHWELDING_H

#include <cstddef>
#include <cstdint>

#include "geometry/TriangleMesh.h"

// Builds a TriangleMesh from vertices and triangles handed in one by one, the
// way a file's meshes give them: identical vertices (same position, normal and
// uv) become one, and vertices that came without a usable normal get the smooth
// normal of the faces around their position.
class MeshWelder {
public:
    MeshWelder() = default;
    ~MeshWelder() { release(); }
    MeshWelder(const MeshWelder&) = delete;
    MeshWelder& operator=(const MeshWelder&) = delete;

    // Room for at most this many vertices and triangles. The arrays are reserved
    // at their largest and filled only as far as they are used, so the pages a
    // welded mesh never reaches are never touched. Without normals every vertex
    // gets a smooth one, and no memory is spent on them until the end.
    void begin(int64_t vertexCapacity, int64_t triangleCapacity, bool withUvs, bool withNormals = true);
    // The index of the vertex, new or an identical one already added. normal and
    // uv may be null; a zero or non-finite normal counts as none.
    int32_t addVertex(const float position[3], const float* normal, const float* uv);

    // The same in two steps, for many vertices at once: prepare a batch, then
    // add it. Preparing starts fetching the table's memory, so the adding does
    // not wait for it vertex by vertex.
    struct Prepared {
        float position[3];
        float normal[3];
        float uv[2];
        bool hasNormal;
        uint64_t hash;
    };
    void prepare(const float position[3], const float* normal, const float* uv, Prepared& vertex) const;
    int32_t add(const Prepared& vertex);
    // Triangles and vertices may be added at once from two threads: neither
    // touches what the other does.
    void addTriangle(int32_t a, int32_t b, int32_t c)
    {
        int32_t* t = built.triangles + size_t(built.triangleCount) * 3;
        t[0] = a;
        t[1] = b;
        t[2] = c;
        ++built.triangleCount;
    }
    // Forget the vertices from first on, as if they had never been added.
    void dropVerticesFrom(int first);
    // Triangles from first on were added with other indices: replace each by
    // its entry in remap, and turn them over when asked.
    void remapTriangles(int first, const int32_t* remap, bool turnOver);
    // Hand the mesh over, every normal of unit length; the welder is empty after.
    void finish(TriangleMesh& mesh);
    void release();

    int vertexCount() const { return built.vertexCount; }
    int triangleCount() const { return built.triangleCount; }

private:
    TriangleMesh built;
    uint8_t* missingNormal = nullptr;
    // Each slot holds a vertex's index below the top bits of its hash, so the
    // slots of other vertices are passed over without reading the vertices.
    uint32_t* slots = nullptr;
    uint64_t slotMask = 0;
    bool anyMissingNormal = false;
    bool withNormals = true;

    uint64_t vertexHash(const float* position, const float* normal, const float* uv) const;
    void growSlots();
    void makeSmoothNormals();
};

// The normal of the triangle's winding, scaled by twice its area.
void triangleNormal(const float a[3], const float b[3], const float c[3], double normal[3]);

#endif
