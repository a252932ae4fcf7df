#include "tools/DenseHairSource.h"

#include <cfloat>

#include "formats/StoredHair.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/GrowthCommandLine.h"

bool readDenseHairSource(const HairBytes& file, const char* program, DenseHairSource& source,
                         bool& claimed, std::string& problem)
{
    DenseHairGuides dense;
    if (!readDenseHairGuides(file.strands, dense, claimed, problem)) {
        return false;
    }
    if (!dense.guidesKept) {
        GrowthOptions growth;
        growth.recipe = dense.info.recipe;
        growth.growth = dense.info.growth;
        problem = "its guides cannot be grown again";
        if (!growRequestedHair(growth, underlyingSurface, hairStore, program) ||
            !adoptStoreLayout(hairStore, growth.recipe, problem) ||
            !storedHairContents(hairStore, growth.recipe, dense.guides, problem)) {
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
