#include "geometry/TriangleMesh.h"

#include <cmath>

#include "geometry/Arrays.h"
#include "geometry/BothCores.h"
#include "geometry/UnderlyingShapes.h"

void TriangleMesh::release()
{
    freeArray(positions);
    freeArray(normals);
    freeArray(uvs);
    freeArray(triangles);
    vertexCount = 0;
    triangleCount = 0;
}

void TriangleMesh::allocate(int vertices, int triangleTotal, bool withUvs)
{
    release();
    positions = new float[size_t(vertices) * 3];
    normals = new float[size_t(vertices) * 3];
    uvs = withUvs ? new float[size_t(vertices) * 2] : nullptr;
    triangles = new int32_t[size_t(triangleTotal) * 3];
    vertexCount = vertices;
    triangleCount = triangleTotal;
}

void TriangleMesh::takeFrom(TriangleMesh& other)
{
    if (&other == this) {
        return;
    }
    release();
    positions = other.positions;
    normals = other.normals;
    uvs = other.uvs;
    triangles = other.triangles;
    vertexCount = other.vertexCount;
    triangleCount = other.triangleCount;
    other.positions = other.normals = other.uvs = nullptr;
    other.triangles = nullptr;
    other.vertexCount = other.triangleCount = 0;
}

double triangleArea(const TriangleMesh& mesh, int triangle)
{
    const int32_t* t = mesh.triangles + size_t(triangle) * 3;
    const float* a = mesh.positions + size_t(t[0]) * 3;
    const float* b = mesh.positions + size_t(t[1]) * 3;
    const float* c = mesh.positions + size_t(t[2]) * 3;
    const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

double meshArea(const TriangleMesh& mesh)
{
    double area = 0.0;
    for (int t = 0; t < mesh.triangleCount; ++t) {
        area += triangleArea(mesh, t);
    }
    return area;
}

bool meshHasArea(const TriangleMesh& mesh)
{
    for (int t = 0; t < mesh.triangleCount; ++t) {
        if (triangleArea(mesh, t) > 0.0) return true;
    }
    return false;
}

MeshBounds meshBounds(const TriangleMesh& mesh)
{
    MeshBounds bounds{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    for (int v = 0; v < mesh.vertexCount; ++v) {
        for (int a = 0; a < 3; ++a) {
            const double x = mesh.positions[size_t(v) * 3 + a];
            if (v == 0 || x < bounds.low[a]) bounds.low[a] = x;
            if (v == 0 || x > bounds.high[a]) bounds.high[a] = x;
        }
    }
    return bounds;
}

void MeshFit::toFitted(const double mesh[3], double fitted[3]) const
{
    for (int a = 0; a < 3; ++a) {
        fitted[a] = (mesh[a] - centre[a]) * scale;
    }
}

void MeshFit::toMesh(const double fitted[3], double mesh[3]) const
{
    for (int a = 0; a < 3; ++a) {
        mesh[a] = fitted[a] / scale + centre[a];
    }
}

MeshFit computeFit(const TriangleMesh& mesh)
{
    MeshFit fit;
    const MeshBounds bounds = meshBounds(mesh);
    for (int a = 0; a < 3; ++a) {
        fit.centre[a] = 0.5 * (bounds.low[a] + bounds.high[a]);
    }
    double radiusSquared = 0.0;
    for (int v = 0; v < mesh.vertexCount; ++v) {
        double r2 = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double d = mesh.positions[size_t(v) * 3 + a] - fit.centre[a];
            r2 += d * d;
        }
        if (r2 > radiusSquared) radiusSquared = r2;
    }
    // A single point has no size to fit; it is only moved.
    if (radiusSquared > 0.0) {
        fit.scale = kSphereRadius / std::sqrt(radiusSquared);
    }
    return fit;
}

MeshFit fitMesh(TriangleMesh& mesh)
{
    const MeshFit fit = computeFit(mesh);
    auto move = [&](int first, int end) {
        for (int v = first; v < end; ++v) {
            float* p = mesh.positions + size_t(v) * 3;
            for (int a = 0; a < 3; ++a) {
                p[a] = static_cast<float>((p[a] - fit.centre[a]) * fit.scale);
            }
        }
    };
    runInHalves(mesh.vertexCount, move);
    return fit;
}
