#ifndef TRESSMOOR_FORMATS_USDWRITER_H
#define TRESSMOOR_FORMATS_USDWRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "formats/LengthUnit.h"
#include "formats/OutputBuffer.h"
#include "formats/StrandStream.h"
#include "geometry/TriangleMesh.h"

// What a USD layer of strands holds beyond the HAIR file's own arrays.
struct UsdCurvesExtras {
    std::string recipe;           // customLayerData's tressmoorRecipe; none when empty
    uint32_t hairsPerCluster = 0; // primvars:clusterId = guide / hairsPerCluster; none when 0
    std::vector<float> rootSt;    // primvars:st, s and t per guide; none when empty
    bool displayPrimvars = false; // primvars:displayColor and primvars:displayOpacity
    LengthUnit unit = kDefaultLengthUnit;  // stated as metersPerUnit
    // The mesh the hair grew on, fitted, written in its own units by meshFit as
    // the Mesh /hair/mesh beside the curves; none when null.
    const TriangleMesh* mesh = nullptr;
    MeshFit meshFit;
};

// The strands as one USD ASCII layer: /hair (an Xform, the default prim) holding
// the linear BasisCurves /hair/strands, Y up, with its unit as metersPerUnit. Points run root to tip in file
// order; widths are the thickness, per vertex when the file has the array and
// constant otherwise, as are displayColor and displayOpacity (1 - transparency).
// The extent is the points' bounding box grown by half the widest width, the
// space the tubes take. A strand of a single point, which a linear curve cannot
// hold, is written as that point twice, with its values twice.
//
// With children or widths asked for, customLayerData also holds the child
// options (tressmoorChildren), widths taper when asked to, a child takes its
// guide's cluster and, where the guides' roots have coordinates, its own root's,
// its guide's thickness, colour and transparency point for point, and
// primvars:guide tells guides (1) from children (0).
//
// For groom importers, the curves apply the GroomAPI schema and carry the
// cluster, root coordinates and guide flags again as primvars:groom_group_id,
// primvars:groom_root_uv and primvars:groom_guide (every strand 0 without
// children, so that each is drawn as hair).
void writeUsdCurves(const StrandStream& stream, const UsdCurvesExtras& extras, OutputBuffer& out,
                    const WriteProgress& progress = WriteProgress());

// The mesh as a Mesh prim of the layer's /hair: points in the mesh's own units,
// counts, indices, normals, and primvars:st when it has uvs.
void writeUsdMesh(const TriangleMesh& fitted, const MeshFit& fit, OutputBuffer& out);

// A USD string literal: quoted, with quotes, backslashes and control characters escaped.
void appendUsdString(OutputBuffer& out, const std::string& text);

#endif
