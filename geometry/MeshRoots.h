#ifndef TRESSMOOR_GEOMETRY_MESHROOTS_H
#define TRESSMOOR_GEOMETRY_MESHROOTS_H

#include <cstdint>

#include "geometry/MeshNearest.h"
#include "geometry/MeshSampling.h"
#include "geometry/TriangleMesh.h"

// Candidates drawn per root kept; more gives evener roots and costs more.
constexpr int kRootCandidatesPerRoot = 8;

// The spacing count roots spread evenly over the area have: sqrt(area / count).
// Evenly spread roots are no closer than half of it, and leave no point of the
// surface farther than one and a half of it from a root.
double rootSpacing(double area, int count);

// count cluster roots spread evenly over the mesh by area, as blue noise:
// kRootCandidatesPerRoot x count points drawn uniformly by area from the seed,
// then the most crowded one removed, again and again, until count remain
// (Yuksel's sample elimination). Only correctly rounded arithmetic decides the
// roots, so the same mesh, count and seed give the same roots on any machine.
// They are written to roots in the order they were drawn. False, writing
// nothing, when the mesh has no area or count is below 1 or too large to draw
// its candidates.
bool clusterRoots(const TriangleMesh& mesh, const AreaTable& areas, int count, uint64_t seed,
                  SurfacePoint* roots);

// A strand root near a cluster root: the point of the disc of the radius about
// it in its tangent plane, for u1, u2 in [0, 1], moved to the nearest point of
// the surface.
bool rootNear(const MeshNearest& nearest, const SurfacePoint& clusterRoot, double radius, double u1,
              double u2, SurfacePoint& root);

#endif
