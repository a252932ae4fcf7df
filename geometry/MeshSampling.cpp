#include "geometry/MeshSampling.h"

#include <cmath>

#include "geometry/Arrays.h"
#include "geometry/MeshWelding.h"

uint64_t SplitMix64::next()
{
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SplitMix64::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

SurfacePoint pointOnTriangle(const TriangleMesh& mesh, int32_t triangle, double b1, double b2)
{
    const int32_t* corner = mesh.triangles + size_t(triangle) * 3;
    const double w[3] = {1.0 - b1 - b2, b1, b2};
    SurfacePoint point;
    point.triangle = triangle;
    double normal[3] = {0.0, 0.0, 0.0};
    double uv[2] = {0.0, 0.0};
    for (int a = 0; a < 3; ++a) {
        double x = 0.0;
        for (int k = 0; k < 3; ++k) {
            x += w[k] * mesh.positions[size_t(corner[k]) * 3 + a];
            normal[a] += w[k] * mesh.normals[size_t(corner[k]) * 3 + a];
        }
        point.position[a] = static_cast<float>(x);
    }
    if (mesh.uvs != nullptr) {
        for (int k = 0; k < 3; ++k) {
            uv[0] += w[k] * mesh.uvs[size_t(corner[k]) * 2];
            uv[1] += w[k] * mesh.uvs[size_t(corner[k]) * 2 + 1];
        }
    }
    point.uv[0] = static_cast<float>(uv[0]);
    point.uv[1] = static_cast<float>(uv[1]);

    // Vertex normals may disagree with the winding (a file's own normals, or
    // opposite normals cancelling); the winding decides which side is out.
    double face[3];
    triangleNormal(mesh.positions + size_t(corner[0]) * 3, mesh.positions + size_t(corner[1]) * 3,
                   mesh.positions + size_t(corner[2]) * 3, face);
    const double faceLength = std::sqrt(face[0] * face[0] + face[1] * face[1] + face[2] * face[2]);
    const double along = normal[0] * face[0] + normal[1] * face[1] + normal[2] * face[2];
    double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    if (faceLength > 0.0) {
        const double tolerance = 1e-6 * length * faceLength;
        if (along < -tolerance) {
            for (int a = 0; a < 3; ++a) normal[a] = -normal[a];
        } else if (!(along > tolerance)) {
            // No vertex normal to speak of, or one lying in the triangle's plane.
            for (int a = 0; a < 3; ++a) normal[a] = face[a];
            length = faceLength;
        }
    }
    for (int a = 0; a < 3; ++a) {
        point.normal[a] = length > 0.0 ? static_cast<float>(normal[a] / length) : (a == 2 ? 1.0f : 0.0f);
    }
    return point;
}

void AreaTable::setup(const TriangleMesh& mesh)
{
    release();
    triangleCount = mesh.triangleCount;
    cumulative = new double[size_t(triangleCount > 0 ? triangleCount : 1)];
    double sum = 0.0;
    for (int t = 0; t < triangleCount; ++t) {
        sum += triangleArea(mesh, t);
        cumulative[t] = sum;
    }
}

void AreaTable::release()
{
    freeArray(cumulative);
    triangleCount = 0;
}

int32_t AreaTable::triangleAt(double u) const
{
    if (triangleCount == 0) return -1;
    const double total = totalArea();
    const double target = (u < 0.0 ? 0.0 : (u > 1.0 ? 1.0 : u)) * total;
    // The first triangle whose running sum passes the target; a triangle
    // without area has no room of its own and is passed over.
    int low = 0;
    int high = triangleCount - 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (cumulative[middle] > target) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    // u = 1 lands past the end: the last triangle with area.
    while (low > 0 && cumulative[low] == cumulative[low - 1]) --low;
    return low;
}

SurfacePoint AreaTable::pointAt(const TriangleMesh& mesh, double u0, double u1, double u2) const
{
    const int32_t triangle = triangleAt(u0);
    // sqrt is correctly rounded everywhere, so the point is the same bits on any machine.
    const double s = std::sqrt(u1);
    return pointOnTriangle(mesh, triangle, s * (1.0 - u2), s * u2);
}

SurfacePoint AreaTable::randomPoint(const TriangleMesh& mesh, SplitMix64& random) const
{
    const double u0 = random.uniform();
    const double u1 = random.uniform();
    const double u2 = random.uniform();
    return pointAt(mesh, u0, u1, u2);
}

void tangentFrame(const float n[3], float tangent[3], float bitangent[3])
{
    // Duff et al.'s branchless frame: continuous except where n crosses z = 0.
    const float sign = n[2] >= 0.0f ? 1.0f : -1.0f;
    const float a = -1.0f / (sign + n[2]);
    const float b = n[0] * n[1] * a;
    tangent[0] = 1.0f + sign * n[0] * n[0] * a;
    tangent[1] = sign * b;
    tangent[2] = -sign * n[0];
    bitangent[0] = b;
    bitangent[1] = sign + n[1] * n[1] * a;
    bitangent[2] = -n[1];
}

void pointInDisc(const float centre[3], const float n[3], double radius, double u1, double u2,
                 float point[3])
{
    const double x = 2.0 * u1 - 1.0;
    const double y = 2.0 * u2 - 1.0;
    const double dx = x * std::sqrt(1.0 - 0.5 * y * y);
    const double dy = y * std::sqrt(1.0 - 0.5 * x * x);
    float tangent[3];
    float bitangent[3];
    tangentFrame(n, tangent, bitangent);
    for (int a = 0; a < 3; ++a) {
        point[a] = static_cast<float>(centre[a] + radius * (dx * tangent[a] + dy * bitangent[a]));
    }
}
