#ifndef TRESSMOOR_FORMATS_MESHHAIR_H
#define TRESSMOOR_FORMATS_MESHHAIR_H

#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "hair/MeshGrowth.h"

// Hair grown on a user's mesh as its files hold it: in the mesh's own
// coordinates, so that it sits on the mesh wherever the mesh is imported.

// Read the mesh file and make it ready for growth, seeded by the file's hash;
// false with one line naming the file and the reason.
bool loadMeshGround(const std::string& path, MeshGround& ground, std::string& problem);

// The mesh's uv at each strand's root, s and t per strand, for strands in fitted
// units or, with inMeshUnits, in the mesh's own; empty when the mesh has no uvs.
std::vector<float> meshRootSt(const HairStrands& strands, const MeshGround& ground,
                              bool inMeshUnits = false);

// Move every point of the hair from fitted units into the mesh's own, and read
// the strands again from the changed bytes.
bool toMeshUnits(HairBytes& hair, const MeshFit& fit, std::string& problem);

#endif
