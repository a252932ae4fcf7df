#include "tools/PictureHair.h"

#include <cfloat>
#include <cstdio>

#include "formats/DenseHairSource.h"
#include "formats/FileIo.h"
#include "formats/HairFile.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/GrowthCommandLine.h"

namespace {

// A hair file is read into memory whole; this is far beyond any hair Tressmoor
// grows and leaves room for other programs' large files.
constexpr size_t kMaxHairInputSize = size_t(4) << 30;

// As readHairFile, for a file that is no plain hair of Tressmoor's: its hair
// with children is rebuilt on its shape as the window loads it, the guides
// tubes and the children made again; anything else is another program's.
int readDenseHairFile(const std::string& path, const char* program, NurbsSurface& surface,
                      HairStore& store, PictureHair& hair)
{
    const GuideGrowth growGuides = [&](const HairRecipe& recipe, int growth) {
        GrowthOptions options;
        options.recipe = recipe;
        options.growth = growth;
        return growRequestedHair(options, surface, store, program);
    };
    DenseHairSource dense;
    bool claimed = false;
    std::string problem;
    HairFileContents contents;
    if (!readDenseHairSource(hair.file, store, growGuides, dense, claimed, problem) ||
        !decodeHairFile(dense.guides.bytes.data(), dense.guides.bytes.size(), contents, problem)) {
        if (claimed) {
            fprintf(stderr, "%s: note: \"%s\" is Tressmoor's hair with children, but %s; "
                    "drawing it as another program's file\n",
                    program, path.c_str(), problem.c_str());
        }
        hair.foreign = true;
        return 0;
    }
    if (!applyHairFile(contents, surface, store)) {
        return refuseHairFile(program, path, "its recipe cannot be rebuilt");
    }
    hair.file = std::move(dense.guides);
    hair.guides = guideStrandsOf(hair.file.strands);
    hair.shape = dense.info.recipe.shape;
    hair.tubes = hair.file.strands.header.strandCount;
    hair.fileChildren = dense.info.request;
    return 0;
}

}  // namespace

int refuseHairFile(const char* program, const std::string& path, const std::string& problem)
{
    fprintf(stderr, "%s: cannot draw \"%s\": %s\n", program, path.c_str(), problem.c_str());
    return kWriteError;
}

bool guidesOfGrownHair(const HairRecipe& recipe, const HairStore& store, PictureHair& hair,
                       std::string& problem)
{
    if (!storedHairStrands(store, recipe, hair.file, problem)) {
        return false;
    }
    hair.guides = guideStrandsOf(hair.file.strands);
    return true;
}

int readHairFile(const std::string& path, const char* program, NurbsSurface& surface,
                 HairStore& store, PictureHair& hair)
{
    std::string problem;
    HairBytes& file = hair.file;
    if (!readWholeFile(path, kMaxHairInputSize, file.bytes, problem, "tressmoor-render reads") ||
        !decodeHairStrands(file.bytes.data(), file.bytes.size(), FLT_MAX, file.strands, problem)) {
        return refuseHairFile(program, path, problem);
    }
    hair.guides = guideStrandsOf(file.strands);
    HairRecipe recipe;
    bool hasTag = false;
    if (!readTressmoorRecipe(file.strands, recipe, hasTag, problem)) {
        if (!hasTag) {
            return readDenseHairFile(path, program, surface, store, hair);
        }
        fprintf(stderr, "%s: note: \"%s\" has a Tressmoor recipe that does not fit it (%s); "
                "drawing it as another program's file\n",
                program, path.c_str(), problem.c_str());
        hair.foreign = true;
        return 0;
    }
    // The window's own checks, which also bound the coordinates the tubes are built from.
    HairFileContents contents;
    if (!decodeHairFile(file.bytes.data(), file.bytes.size(), contents, problem)) {
        return refuseHairFile(program, path, problem);
    }
    if (!applyHairFile(contents, surface, store)) {
        return refuseHairFile(program, path, "its recipe cannot be rebuilt");
    }
    hair.shape = recipe.shape;
    hair.tubes = file.strands.header.strandCount;
    return 0;
}
