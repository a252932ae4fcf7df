#include "TestMeshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

#include "geometry/MeshNearest.h"
#include "geometry/MeshSampling.h"
#include "geometry/MeshWelding.h"

int MeshLists::addVertex(double x, double y, double z)
{
    positions.push_back(float(x));
    positions.push_back(float(y));
    positions.push_back(float(z));
    return int(positions.size() / 3) - 1;
}

void MeshLists::addTriangle(int a, int b, int c)
{
    triangles.insert(triangles.end(), {a, b, c});
}

void MeshLists::append(const MeshLists& other, double dx, double dy, double dz, double scale)
{
    const int base = int(positions.size() / 3);
    for (size_t i = 0; i < other.positions.size(); i += 3) {
        addVertex(other.positions[i] * scale + dx, other.positions[i + 1] * scale + dy,
                  other.positions[i + 2] * scale + dz);
    }
    for (int t : other.triangles) triangles.push_back(base + t);
}

MeshLists icosphere(int levels)
{
    MeshLists mesh;
    const double g = (1.0 + std::sqrt(5.0)) / 2.0;
    const double corners[12][3] = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                                   {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                              {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
                              {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    std::vector<std::array<double, 3>> points;
    for (const auto& c : corners) {
        const double length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        points.push_back({c[0] / length, c[1] / length, c[2] / length});
    }
    std::vector<std::array<int, 3>> tris;
    for (const auto& f : faces) tris.push_back({f[0], f[1], f[2]});
    for (int level = 0; level < levels; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middles.find(key);
            if (found != middles.end()) return found->second;
            std::array<double, 3> m;
            for (int k = 0; k < 3; ++k) m[k] = points[a][k] + points[b][k];
            const double length = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
            for (double& x : m) x /= length;
            points.push_back(m);
            return middles[key] = int(points.size()) - 1;
        };
        std::vector<std::array<int, 3>> finer;
        for (const auto& t : tris) {
            const int ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
            finer.push_back({t[0], ab, ca});
            finer.push_back({t[1], bc, ab});
            finer.push_back({t[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        tris = finer;
    }
    for (const auto& p : points) mesh.addVertex(p[0], p[1], p[2]);
    for (const auto& t : tris) mesh.addTriangle(t[0], t[1], t[2]);
    return mesh;
}

MeshLists torusMesh(int around, int tube)
{
    MeshLists mesh;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < around; ++i) {
        const double u = 2.0 * pi * i / around;
        for (int j = 0; j < tube; ++j) {
            const double v = 2.0 * pi * j / tube;
            const double r = 1.0 + 0.4 * std::cos(v);
            mesh.addVertex(r * std::cos(u), r * std::sin(u), 0.4 * std::sin(v));
        }
    }
    for (int i = 0; i < around; ++i) {
        for (int j = 0; j < tube; ++j) {
            const int a = i * tube + j, b = ((i + 1) % around) * tube + j;
            const int c = ((i + 1) % around) * tube + (j + 1) % tube, d = i * tube + (j + 1) % tube;
            mesh.addTriangle(a, b, c);
            mesh.addTriangle(a, c, d);
        }
    }
    return mesh;
}

MeshLists squareGrid(int cells)
{
    MeshLists mesh;
    for (int i = 0; i <= cells; ++i) {
        for (int j = 0; j <= cells; ++j) {
            const double x = -1.0 + 2.0 * j / cells, y = -1.0 + 2.0 * i / cells;
            mesh.addVertex(x, y, 0.0);
            mesh.uvs.push_back(float((x + 1.0) / 2.0));
            mesh.uvs.push_back(float((y + 1.0) / 2.0));
        }
    }
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
            const int a = i * (cells + 1) + j;
            mesh.addTriangle(a, a + 1, a + cells + 2);
            mesh.addTriangle(a, a + cells + 2, a + cells + 1);
        }
    }
    return mesh;
}

MeshLists twoPieces()
{
    MeshLists mesh;
    const MeshLists ball = icosphere(3);
    mesh.append(ball, -1.2, 0.0, 0.0, 1.0);
    mesh.append(ball, 1.5, 0.3, 0.0, 0.6);
    return mesh;
}

MeshLists withDegenerateTriangles()
{
    MeshLists mesh = torusMesh(48, 24);
    const int a = mesh.addVertex(1.4, 0.0, 0.0);
    const int b = mesh.addVertex(1.4, 0.05, 0.0);
    const int c = mesh.addVertex(1.4, 0.1, 0.0);
    mesh.addTriangle(a, b, c);
    mesh.addTriangle(0, 0, 0);
    return mesh;
}

MeshLists shuffled(MeshLists mesh, int first)
{
    const int count = int(mesh.triangles.size() / 3);
    SplitMix64 random{77};
    for (int t = count - 1; t > first; --t) {
        const int other = first + int(random.next() % uint64_t(t - first + 1));
        std::swap_ranges(mesh.triangles.begin() + t * 3, mesh.triangles.begin() + t * 3 + 3,
                         mesh.triangles.begin() + other * 3);
    }
    return mesh;
}

void buildMesh(const MeshLists& lists, TriangleMesh& mesh)
{
    MeshWelder welder;
    const bool withUvs = !lists.uvs.empty();
    welder.begin(int64_t(lists.positions.size() / 3), int64_t(lists.triangles.size() / 3), withUvs);
    std::vector<int32_t> index(lists.positions.size() / 3);
    for (size_t v = 0; v < index.size(); ++v) {
        index[v] = welder.addVertex(&lists.positions[v * 3], nullptr, withUvs ? &lists.uvs[v * 2] : nullptr);
    }
    for (size_t t = 0; t < lists.triangles.size(); t += 3) {
        welder.addTriangle(index[lists.triangles[t]], index[lists.triangles[t + 1]], index[lists.triangles[t + 2]]);
    }
    welder.finish(mesh);
}

std::vector<NamedMesh> allTestMeshes()
{
    return {{"icosphere", icosphere(4)},
            {"torus", torusMesh(96, 48)},
            {"square", squareGrid(40)},
            {"two_pieces", twoPieces()},
            {"degenerate", withDegenerateTriangles()},
            {"shuffled", shuffled(torusMesh(96, 48))}};
}

void PrintTo(const NamedMesh& mesh, std::ostream* out)
{
    *out << mesh.name;
}

double bruteNearestDistance(const TriangleMesh& mesh, const float p[3])
{
    double best = INFINITY;
    const double q[3] = {p[0], p[1], p[2]};
    for (int t = 0; t < mesh.triangleCount; ++t) {
        double v[3][3];
        for (int k = 0; k < 3; ++k) {
            for (int a = 0; a < 3; ++a) v[k][a] = mesh.positions[mesh.triangles[t * 3 + k] * 3 + a];
        }
        double wb, wc;
        nearestOnTriangle(q, v[0], v[1], v[2], wb, wc);
        double d2 = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double x = v[0][a] + wb * (v[1][a] - v[0][a]) + wc * (v[2][a] - v[0][a]) - q[a];
            d2 += x * x;
        }
        best = std::min(best, std::sqrt(d2));
    }
    return best;
}
