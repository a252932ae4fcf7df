#ifndef TRESSMOOR_TOOLS_PICTUREHAIR_H
#define TRESSMOOR_TOOLS_PICTUREHAIR_H

#include <cstdint>
#include <optional>
#include <string>

#include "formats/HairCodec.h"
#include "formats/MeshHair.h"
#include "hair/ChildStrands.h"
#include "hair/HairRecipe.h"

class HairStore;
class NurbsSurface;

// What the pictures show: the scene of the draw pass (a shape and its strand
// tubes, or nothing for another program's strands), and the guides of the
// strands drawn as lines, read in place from HAIR bytes it owns; it may be
// moved, not copied.
struct PictureHair {
    UnderlyingShape shape = UnderlyingShape::NoShape;
    const TriangleMesh* mesh = nullptr;  // fitted, when the shape is Mesh
    const MeshGround* ground = nullptr;  // the mesh's, for its children
    bool foreign = false;  // another program's strands: no shape, no tubes, fitted to the view
    uint64_t tubes = 0;    // strands the draw pass draws as tubes
    HairBytes file;
    GuideStrands guides;
    std::optional<ChildRequest> fileChildren;  // Tressmoor's hair with children: how the file made them
};

// One line refusing the file under the program's name; the exit status.
int refuseHairFile(const char* program, const std::string& path, const std::string& problem);

// The guides of grown hair, through the same bytes a saved file holds, so that
// its children are those of the file tressmoor-grow writes.
bool guidesOfGrownHair(const HairRecipe& recipe, const HairStore& store, PictureHair& hair,
                       std::string& problem);

// 0 when the file is read: Tressmoor's own rebuilt into the store on its shape,
// its hair with children as its guides there with how the file made the
// children, another program's kept for drawing as lines. Hair grown on a mesh
// needs that mesh's ground, checked by the hash the file names, and is drawn
// on it; the ground must outlive the hair. Otherwise the exit status, with one
// line said under the program's name.
int readHairFile(const std::string& path, const char* program, NurbsSurface& surface,
                 HairStore& store, PictureHair& hair, const MeshGround* ground);

#endif
