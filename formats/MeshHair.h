#ifndef TRESSMOOR_FORMATS_MESHHAIR_H
#define TRESSMOOR_FORMATS_MESHHAIR_H

#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "hair/MeshGrowth.h"

class HairStore;
class NurbsSurface;

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

// The recipe's strands, held in the mesh's own units, as contents in fitted
// units to be shown; false with the reason for a point the fit takes beyond
// the coordinates a strand's tube is built from.
bool fittedContents(const HairStrands& strands, const HairRecipe& recipe, const MeshFit& fit,
                    HairFileContents& contents, std::string& problem);

// Whether the file says its hair grew on a mesh, in its recipe or in the text
// of hair with children; that recipe, naming the mesh by its hash, then.
bool meshRecipeOf(const HairStrands& strands, HairRecipe& recipe);

// Hair just grown on the mesh, made what its file gives back: every point
// rounded into the mesh's units as the file holds it and back into fitted
// ones, and the strands rebuilt from them, so that the hair shown after a
// growth and after loading its file are the same to the bit.
bool holdAsFiled(HairStore& store, NurbsSurface& surface, const HairRecipe& recipe,
                 const MeshFit& fit, std::string& problem);

#endif
