#include "formats/MeshHair.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "formats/ByteCodec.h"
#include "formats/DenseHairInfo.h"
#include "formats/MeshReader.h"
#include "formats/StoredHair.h"

bool loadMeshGround(const std::string& path, MeshGround& ground, std::string& problem)
{
    TriangleMesh mesh;
    uint64_t hash = 0;
    if (!readMesh(path, mesh, hash, problem)) {
        return false;
    }
    if (!ground.setup(mesh, hash)) {
        problem = "\"" + path + "\" has no area to grow hair on";
        return false;
    }
    return true;
}

std::vector<float> meshRootSt(const HairStrands& strands, const MeshGround& ground, bool inMeshUnits)
{
    std::vector<float> st;
    if (ground.mesh.uvs == nullptr) {
        return st;
    }
    const uint32_t count = strands.header.strandCount;
    st.reserve(2 * size_t(count));
    uint64_t first = 0;
    for (uint32_t s = 0; s < count; ++s) {
        float root[3] = {strands.coordinate(first, 0), strands.coordinate(first, 1),
                         strands.coordinate(first, 2)};
        if (inMeshUnits) {
            const double own[3] = {root[0], root[1], root[2]};
            double fitted[3];
            ground.fit.toFitted(own, fitted);
            for (int a = 0; a < 3; ++a) {
                root[a] = static_cast<float>(fitted[a]);
            }
        }
        SurfacePoint at;
        if (!ground.nearest.nearestPoint(root, at)) {
            at.uv[0] = at.uv[1] = 0.0f;
        }
        st.push_back(at.uv[0]);
        st.push_back(at.uv[1]);
        first += strands.segmentsOf(s) + 1;
    }
    return st;
}

bool toMeshUnits(HairBytes& hair, const MeshFit& fit, std::string& problem)
{
    if (hair.strands.points == nullptr) {
        return true;
    }
    const size_t offset = static_cast<size_t>(hair.strands.points - hair.bytes.data());
    const uint64_t points = hair.strands.header.pointCount;
    for (uint64_t n = 0; n < points; ++n) {
        unsigned char* at = hair.bytes.data() + offset + 12 * n;
        const double fitted[3] = {readF32(at), readF32(at + 4), readF32(at + 8)};
        double mesh[3];
        fit.toMesh(fitted, mesh);
        for (int a = 0; a < 3; ++a) {
            const float value = static_cast<float>(mesh[a]);
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            for (int b = 0; b < 4; ++b) {
                at[4 * a + b] = static_cast<unsigned char>(bits >> (8 * b));
            }
        }
    }
    return decodeHairStrands(hair.bytes.data(), hair.bytes.size(), FLT_MAX, hair.strands, problem);
}

bool fittedContents(const HairStrands& strands, const HairRecipe& recipe, const MeshFit& fit,
                    HairFileContents& contents, std::string& problem)
{
    const uint64_t points = strands.header.pointCount;
    std::vector<float> fitted(3 * points);
    for (uint64_t i = 0; i < points; ++i) {
        const double own[3] = {strands.coordinate(i, 0), strands.coordinate(i, 1),
                               strands.coordinate(i, 2)};
        double moved[3];
        fit.toFitted(own, moved);
        for (int a = 0; a < 3; ++a) {
            if (!(std::fabs(moved[a]) <= kMaxHairCoordinate)) {
                problem = "its point " + std::to_string(i + 1) + " lies far outside its mesh";
                return false;
            }
            fitted[3 * i + a] = static_cast<float>(moved[a]);
        }
    }
    contents.recipe = recipe;
    contents.points = std::move(fitted);
    return true;
}

bool holdAsFiled(HairStore& store, NurbsSurface& surface, const HairRecipe& recipe,
                 const MeshFit& fit, std::string& problem)
{
    HairRecipe layout = recipe;
    HairBytes hair;
    HairFileContents contents;
    return adoptStoreLayout(store, layout, problem) &&
           storedHairStrands(store, layout, hair, problem) && toMeshUnits(hair, fit, problem) &&
           fittedContents(hair.strands, layout, fit, contents, problem) &&
           (applyHairFile(contents, surface, store) ||
            (problem = "its strands cannot be rebuilt", false));
}

bool meshRecipeOf(const HairStrands& strands, HairRecipe& recipe)
{
    HairRecipe read;
    bool hasTag = false;
    std::string unused;
    DenseHairInfo dense;
    if (!readTressmoorRecipe(strands, read, hasTag, unused)) {
        if (!parseDenseHairInfo(strands.header.info, dense, hasTag, unused) || !dense.hasRecipe) {
            return false;
        }
        read = dense.recipe;
    }
    if (read.shape != UnderlyingShape::Mesh) {
        return false;
    }
    recipe = read;
    return true;
}
