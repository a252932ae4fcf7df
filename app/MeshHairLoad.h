#ifndef TRESSMOOR_APP_MESHHAIRLOAD_H
#define TRESSMOOR_APP_MESHHAIRLOAD_H

#include <memory>
#include <string>

#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "hair/MeshGrowth.h"

class HairSettings;

// Hair grown on a mesh, made ready to show: its mesh, found by the hash the
// recipe names, and its points moved into the mesh's fitted units.
struct MeshHairFound {
    HairFileContents contents;
    std::unique_ptr<MeshGround> ground;
    std::string meshPath;
};

// Find the mesh the hair at hairPath grew on: where a mesh was last opened,
// then among the mesh files beside the hair file, then as the person picks it
// with the mesh chooser. False with the reason, naming the mesh the hair needs
// by its hash, when none of them is that mesh; nothing in settings changes.
bool findMeshOfHair(const HairSettings& settings, const std::string& hairPath,
                    const HairStrands& strands, const HairRecipe& recipe, MeshHairFound& found,
                    std::string& problem);

#endif
