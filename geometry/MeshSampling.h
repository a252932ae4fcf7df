#ifndef TRESSMOOR_GEOMETRY_MESHSAMPLING_H
#define TRESSMOOR_GEOMETRY_MESHSAMPLING_H

#include <cstdint>

#include "geometry/TriangleMesh.h"

// A point on a mesh with what growth needs there: the unit normal interpolated
// from the vertices and turned to the side the triangle's winding faces, and
// the interpolated uv (0, 0 when the mesh has none).
struct SurfacePoint {
    float position[3];
    float normal[3];
    float uv[2];
    int32_t triangle;
};

// A 64-bit generator of its own, so roots come out the same on every machine
// and C library (SplitMix64).
struct SplitMix64 {
    uint64_t state = 0;

    uint64_t next();
    // Uniform in [0, 1), from the top 53 bits.
    double uniform();
};

// The point of the triangle at barycentric weights (1 - b1 - b2, b1, b2).
SurfacePoint pointOnTriangle(const TriangleMesh& mesh, int32_t triangle, double b1, double b2);

// Picks points uniformly by area: the running sum of the triangles' areas, in
// triangle order. Triangles without area are never picked.
class AreaTable {
public:
    AreaTable() = default;
    ~AreaTable() { release(); }
    AreaTable(const AreaTable&) = delete;
    AreaTable& operator=(const AreaTable&) = delete;

    void setup(const TriangleMesh& mesh);
    void release();

    double totalArea() const { return triangleCount > 0 ? cumulative[triangleCount - 1] : 0.0; }
    // The triangle that u in [0, 1] falls in, weighted by area.
    int32_t triangleAt(double u) const;
    // Uniform by area for uniform u0, u1, u2 in [0, 1]: u0 picks the triangle,
    // u1 and u2 the point in it.
    SurfacePoint pointAt(const TriangleMesh& mesh, double u0, double u1, double u2) const;
    // The same with the three numbers drawn from the generator, in that order.
    SurfacePoint randomPoint(const TriangleMesh& mesh, SplitMix64& random) const;

private:
    double* cumulative = nullptr;
    int triangleCount = 0;
};

// Two unit vectors that with the unit normal n make a right-handed frame,
// without trigonometry, so the frame is the same bits everywhere.
void tangentFrame(const float n[3], float tangent[3], float bitangent[3]);

// A point of the disc of the radius about centre in the plane across n, for
// u1, u2 in [0, 1]: the square stretched onto the disc, corners to the rim.
void pointInDisc(const float centre[3], const float n[3], double radius, double u1, double u2,
                 float point[3]);

#endif
