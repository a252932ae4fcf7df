#include "formats/DenseHairSource.h"

#include <cfloat>

#include "formats/MeshHair.h"
#include "formats/StoredHair.h"
#include "hair/HairStore.h"

bool readDenseHairSource(const HairBytes& file, HairStore& store, const GuideGrowth& growGuides,
                         DenseHairSource& source, bool& claimed, std::string& problem,
                         const MeshGround* ground)
{
    DenseHairGuides dense;
    if (!readDenseHairGuides(file.strands, dense, claimed, problem)) {
        return false;
    }
    // A ground of another mesh than the recipe names is no ground for this hair.
    const HairRecipe& named = dense.info.recipe;
    if (named.shape != UnderlyingShape::Mesh || ground == nullptr || !ground->ready() ||
        ground->seed != named.meshHash) {
        ground = nullptr;
    }
    if (!dense.guidesKept) {
        HairRecipe recipe = dense.info.recipe;
        problem = "its guides cannot be grown again";
        if (!growGuides(recipe, dense.info.growth) || !adoptStoreLayout(store, recipe, problem) ||
            !storedHairContents(store, recipe, dense.guides, problem)) {
            return false;
        }
    }
    HairBytes guides;
    guides.bytes = encodeHairFile(dense.guides);
    if (!decodeHairStrands(guides.bytes.data(), guides.bytes.size(), FLT_MAX, guides.strands,
                           problem) ||
        (!dense.guidesKept && ground != nullptr && !toMeshUnits(guides, ground->fit, problem)) ||
        !denseHairMatches(file.bytes.data(), file.bytes.size(), guides.strands, dense.info, problem,
                          ground)) {
        return false;
    }
    source.info = dense.info;
    source.guides = std::move(guides);
    return true;
}
