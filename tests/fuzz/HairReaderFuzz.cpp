// libFuzzer target for the HAIR reader: any bytes at all, never a crash, a hang
// or an allocation beyond what the input's size justifies.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/HairFile.h"
#include "formats/RecipeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HairFileContents contents;
    std::string problem;
    if (!decodeHairFile(data, size, contents, problem)) {
        // A refusal always says why.
        if (problem.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    // What the reader accepts is exactly what the loader may rebuild.
    const HairRecipe& recipe = contents.recipe;
    if (!checkRecipe(recipe, problem)) {
        __builtin_trap();
    }
    const size_t expected = size_t(recipe.clusters) * recipe.clusters * recipe.hairs * recipe.parts * 3;
    if (contents.points.size() != expected || 4 * contents.points.size() > size) {
        __builtin_trap();
    }
    for (float value : contents.points) {
        if (!std::isfinite(value) || std::fabs(value) > kMaxHairCoordinate) {
            __builtin_trap();
        }
    }
    return 0;
}
