#ifndef TRESSMOOR_TESTS_GEOMETRY_TESTMESHES_H
#define TRESSMOOR_TESTS_GEOMETRY_TESTMESHES_H

#include <ostream>
#include <string>
#include <vector>

#include "geometry/TriangleMesh.h"

// Meshes the tests build, as plain lists, counter-clockwise seen from outside.
struct MeshLists {
    std::vector<float> positions;
    std::vector<float> uvs;  // empty, or 2 per vertex
    std::vector<int> triangles;

    int addVertex(double x, double y, double z);
    void addTriangle(int a, int b, int c);
    void append(const MeshLists& other, double dx, double dy, double dz, double scale);
};

// A sphere of radius 1 from an icosahedron split `levels` times.
MeshLists icosphere(int levels);
// A torus about z with centre-circle radius 1 and tube radius 0.4.
MeshLists torusMesh(int around, int tube);
// An open square in z = 0 from -1 to 1, with u, v = (x + 1) / 2, (y + 1) / 2.
MeshLists squareGrid(int cells);
// Two spheres apart, the second smaller.
MeshLists twoPieces();
// A torus with one triangle that is a line and one that is a point.
MeshLists withDegenerateTriangles();
// The mesh with its triangles from first on in a random order, as a file
// that lists them out of order has them.
MeshLists shuffled(MeshLists mesh, int first = 0);

// The lists as a TriangleMesh, with smooth normals made by the welder.
void buildMesh(const MeshLists& lists, TriangleMesh& mesh);

// The distance from p to the mesh, the nearest point of every triangle in turn:
// the slow way the tree's answers are checked against.
double bruteNearestDistance(const TriangleMesh& mesh, const float p[3]);

struct NamedMesh {
    std::string name;
    MeshLists lists;
};
std::vector<NamedMesh> allTestMeshes();
// Tests name a mesh by its name rather than its bytes.
void PrintTo(const NamedMesh& mesh, std::ostream* out);

#endif
