#include "formats/DenseHairSource.h"

#include <cfloat>

#include "formats/StoredHair.h"
#include "hair/HairStore.h"

bool readDenseHairSource(const HairBytes& file, HairStore& store, const GuideGrowth& growGuides,
                         DenseHairSource& source, bool& claimed, std::string& problem)
{
    DenseHairGuides dense;
    if (!readDenseHairGuides(file.strands, dense, claimed, problem)) {
        return false;
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
        !denseHairMatches(file.bytes.data(), file.bytes.size(), guides.strands, dense.info, problem)) {
        return false;
    }
    source.info = dense.info;
    source.guides = std::move(guides);
    return true;
}
