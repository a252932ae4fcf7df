#include "formats/StoredHair.h"

#include <cfloat>

#include "formats/RecipeText.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

namespace {

// Centre point r of a strand. Ring point 2 lies at x offset 0 and ring point 0 at
// y and z offset 0, and adding 0 changes no float (-0 becomes +0, which rebuilds
// the same net), so these are exactly the centreline buildStrand was given.
void appendCentrePoint(const NurbsSurface& strand, int r, std::vector<float>& points)
{
    const ControlPoint* ring = strand.controlNet + r * kStrandRingPoints;
    points.push_back(ring[2].x);
    points.push_back(ring[0].y);
    points.push_back(ring[0].z);
}

bool layoutMatches(const HairStore& store, const HairRecipe& recipe, std::string& problem)
{
    if (!store.hairGrown) {
        problem = "no hair has grown yet";
        return false;
    }
    bool uniform = store.clusterCount == recipe.clusters * recipe.clusters;
    for (int p = 0; uniform && p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        uniform = cluster.strandCount == recipe.hairs;
        for (int k = 0; uniform && k < cluster.strandCount; ++k) {
            const NurbsSurface& strand = cluster.strands[k];
            uniform = strand.controlNet != nullptr && strand.numCtrlU == recipe.parts &&
                      strand.numCtrlV == kStrandRingPoints;
        }
    }
    if (!uniform) {
        problem = "the hair in memory does not match its settings";
    }
    return uniform;
}

}  // namespace

bool adoptStoreLayout(const HairStore& store, HairRecipe& recipe, std::string& problem)
{
    if (!store.hairGrown || store.clusterCount < 1) {
        problem = "no hair has grown yet";
        return false;
    }
    int clusters = 1;
    while (clusters * clusters < store.clusterCount) {
        ++clusters;
    }
    const NurbsSurface& first = store.hairClusters[0].strands[0];
    HairRecipe adopted = recipe;
    adopted.clusters = clusters;
    adopted.hairs = store.hairClusters[0].strandCount;
    adopted.parts = first.numCtrlU;
    if (!layoutMatches(store, adopted, problem)) {
        return false;
    }
    recipe = adopted;
    return true;
}

bool storedHairContents(const HairStore& store, const HairRecipe& recipe,
                        HairFileContents& contents, std::string& problem)
{
    if (!checkRecipe(recipe, problem) || !layoutMatches(store, recipe, problem)) {
        return false;
    }
    contents.recipe = recipe;
    contents.points.clear();
    contents.points.reserve(strandTotal(recipe) * recipe.parts * 3);
    for (int p = 0; p < store.clusterCount; ++p) {
        const HairCluster& cluster = store.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            for (int r = 0; r < recipe.parts; ++r) {
                appendCentrePoint(cluster.strands[k], r, contents.points);
            }
        }
    }
    return true;
}

bool storedHairStrands(const HairStore& store, const HairRecipe& recipe, HairBytes& hair,
                       std::string& problem)
{
    HairFileContents contents;
    if (!storedHairContents(store, recipe, contents, problem)) {
        return false;
    }
    hair.bytes = encodeHairFile(contents);
    return decodeHairStrands(hair.bytes.data(), hair.bytes.size(), FLT_MAX, hair.strands, problem);
}

bool encodeStoredHair(const HairStore& store, NurbsSurface& shapeSurface, const HairRecipe& recipe,
                      HairFileFormat format, std::vector<unsigned char>& bytes,
                      std::string& problem)
{
    HairFileContents contents;
    if (!storedHairContents(store, recipe, contents, problem)) {
        return false;
    }
    bytes = encodeHairFileAs(contents, shapeSurface, format);
    return true;
}

bool applyHairFile(const HairFileContents& contents, NurbsSurface& surface, HairStore& store)
{
    const HairRecipe& recipe = contents.recipe;
    std::string problem;
    if (!checkRecipe(recipe, problem) ||
        contents.points.size() != strandTotal(recipe) * recipe.parts * 3) {
        return false;
    }
    const int parts = recipe.parts;
    std::vector<float> strandKnotsU(parts + 4);
    std::vector<float> pathX(parts), pathY(parts), pathZ(parts);
    std::vector<ControlPoint> scratchNet(size_t(parts) * kStrandRingPoints);
    buildStrandKnotsU(parts, strandKnotsU.data());

    setupShapeSurface(recipe.shape, surface);
    store.clusterCount = recipe.clusters * recipe.clusters;
    const float* point = contents.points.data();
    for (int p = 0; p < store.clusterCount; ++p) {
        store.hairClusters[p].strandCount = recipe.hairs;
        for (int k = 0; k < recipe.hairs; ++k) {
            for (int r = 0; r < parts; ++r, point += 3) {
                pathX[r] = point[0];
                pathY[r] = point[1];
                pathZ[r] = point[2];
            }
            buildStrand(store, p, k, pathX.data(), pathY.data(), pathZ.data(), parts,
                        strandKnotsU.data(), scratchNet.data());
        }
    }
    return true;
}
