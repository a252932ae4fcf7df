#ifndef TRESSMOOR_APP_MESHHAIRLOAD_H
#define TRESSMOOR_APP_MESHHAIRLOAD_H

#include <cstdint>
#include <memory>
#include <string>

#include "hair/MeshGrowth.h"

class HairSettings;

// The mesh hair grew on, found by the hash its file names, fitted and ready.
struct MeshHairFound {
    std::unique_ptr<MeshGround> ground;
    std::string meshPath;
};

// Find the mesh the hair at hairPath grew on: where a mesh was last opened,
// then among the mesh files beside the hair file (those named as the hair file
// first), then as the person picks it with the mesh chooser. False with the
// reason, naming the mesh the hair needs by its hash, when none of them is
// that mesh; nothing in settings changes.
bool findMeshOfHair(const HairSettings& settings, const std::string& hairPath, uint64_t meshHash,
                    MeshHairFound& found, std::string& problem);

// The found mesh becomes the window's, as if opened with "Mesh..."; nothing
// happens when none was found.
void adoptFoundMesh(HairSettings& settings, MeshHairFound& found);

#endif
