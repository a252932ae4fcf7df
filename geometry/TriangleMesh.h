#ifndef TRESSMOOR_GEOMETRY_TRIANGLEMESH_H
#define TRESSMOOR_GEOMETRY_TRIANGLEMESH_H

#include <cstdint>

// A surface of triangles, the shape hair grows on when it is the user's own
// mesh: x, y, z per vertex, a unit normal per vertex, optionally u, v per
// vertex, and three vertex indices per triangle, counter-clockwise seen from
// the side the surface faces.
class TriangleMesh {
public:
    float* positions = nullptr;  // 3 per vertex
    float* normals = nullptr;    // 3 per vertex
    float* uvs = nullptr;        // 2 per vertex, or null when the mesh has none
    int32_t* triangles = nullptr;  // 3 per triangle
    int vertexCount = 0;
    int triangleCount = 0;

    TriangleMesh() = default;
    ~TriangleMesh() { release(); }
    TriangleMesh(const TriangleMesh&) = delete;
    TriangleMesh& operator=(const TriangleMesh&) = delete;

    void release();
    // Arrays for the counts, uninitialised; uvs only when asked for.
    void allocate(int vertices, int triangleTotal, bool withUvs);
    // Take over other's arrays, leaving it empty.
    void takeFrom(TriangleMesh& other);
};

struct MeshBounds {
    double low[3];
    double high[3];
};

double triangleArea(const TriangleMesh& mesh, int triangle);
double meshArea(const TriangleMesh& mesh);
// Whether any triangle has area, found without measuring them all. In double
// precision no triangle of finite float corners measures infinite.
bool meshHasArea(const TriangleMesh& mesh);
// The box of all the vertices.
MeshBounds meshBounds(const TriangleMesh& mesh);

// Every mesh is moved and scaled to sit where the sphere does: centred on the
// middle of its bounding box, with its bounding sphere about that centre of
// radius kSphereRadius. The fit maps coordinates both ways.
struct MeshFit {
    double centre[3] = {0.0, 0.0, 0.0};
    double scale = 1.0;  // fitted units per mesh unit

    void toFitted(const double mesh[3], double fitted[3]) const;
    void toMesh(const double fitted[3], double mesh[3]) const;
};

// The fit of the mesh as it stands.
MeshFit computeFit(const TriangleMesh& mesh);
// Move the mesh's positions into fitted units and return the fit that did it.
MeshFit fitMesh(TriangleMesh& mesh);

#endif
