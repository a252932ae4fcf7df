#include <string>
#include <vector>

#include "hair/HairFile.h"
#include "hair/HairStore.h"

bool applyHairFile(const HairFileContents& contents)
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

    hairStore.clusterCount = recipe.clusters * recipe.clusters;
    const float* point = contents.points.data();
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        hairStore.hairClusters[p].strandCount = recipe.hairs;
        for (int k = 0; k < recipe.hairs; ++k) {
            for (int r = 0; r < parts; ++r, point += 3) {
                pathX[r] = point[0];
                pathY[r] = point[1];
                pathZ[r] = point[2];
            }
            buildStrand(p, k, pathX.data(), pathY.data(), pathZ.data(), parts, strandKnotsU.data(),
                        scratchNet.data());
        }
    }
    return true;
}
