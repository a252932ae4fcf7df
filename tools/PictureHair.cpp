#include "tools/PictureHair.h"

#include <cfloat>
#include <cstdio>

#include "formats/DenseHairSource.h"
#include "formats/FileIo.h"
#include "formats/HairFile.h"
#include "formats/MeshReader.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "tools/GrowthCommandLine.h"

namespace {

// A hair file is read into memory whole; this is far beyond any hair Tressmoor
// grows and leaves room for other programs' large files.
constexpr size_t kMaxHairInputSize = size_t(4) << 30;

// Hair on a mesh is drawn in the mesh's fitted units, and its children made
// there from the guides as its file gives them back.
bool holdOnMesh(const HairFileContents& fitted, const MeshGround& ground, PictureHair& hair,
                std::string& problem)
{
    hair.file.bytes = encodeHairFile(fitted);
    if (!decodeHairStrands(hair.file.bytes.data(), hair.file.bytes.size(), FLT_MAX,
                           hair.file.strands, problem)) {
        return false;
    }
    hair.guides = guideStrandsOf(hair.file.strands);
    hair.mesh = &ground.mesh;
    hair.ground = &ground;
    return true;
}

// The guides' plain file as shown: in fitted units on a mesh.
bool shownContents(const HairBytes& guides, const HairRecipe& recipe, const MeshGround* ground,
                   HairFileContents& contents, std::string& problem)
{
    return ground != nullptr
               ? fittedContents(guides.strands, recipe, ground->fit, contents, problem)
               : decodeHairFile(guides.bytes.data(), guides.bytes.size(), contents, problem);
}

// 0 when hair said to grow on a mesh has that mesh given, or hair not said to
// has none; otherwise the exit status, with one line said.
int checkGivenMesh(const std::string& path, const char* program, const HairStrands& strands,
                   const MeshGround* ground)
{
    HairRecipe recipe;
    if (!meshRecipeOf(strands, recipe)) {
        if (ground == nullptr) {
            return 0;
        }
        fprintf(stderr, "%s: --mesh is for hair grown on a mesh, and \"%s\" was not (try --help)\n",
                program, path.c_str());
        return kUsageError;
    }
    const std::string needed = "it grew on the mesh whose file's hash is " + meshHashText(recipe.meshHash);
    if (ground == nullptr) {
        return refuseHairFile(program, path, needed + "; give that mesh as --mesh FILE");
    }
    if (ground->seed != recipe.meshHash) {
        refuseHairFile(program, path, needed + ", and the mesh given is another (its hash is " +
                                          meshHashText(ground->seed) + ")");
        return kUsageError;
    }
    return 0;
}

// As readHairFile, for a file that is no plain hair of Tressmoor's: its hair
// with children is rebuilt on its shape as the window loads it, the guides
// tubes and the children made again; anything else is another program's.
int readDenseHairFile(const std::string& path, const char* program, NurbsSurface& surface,
                      HairStore& store, PictureHair& hair, const MeshGround* ground)
{
    const GuideGrowth growGuides = [&](const HairRecipe& recipe, int growth) {
        GrowthOptions options;
        options.recipe = recipe;
        options.growth = growth;
        return growRequestedHair(options, surface, store, program, ground);
    };
    DenseHairSource dense;
    bool claimed = false;
    std::string problem;
    HairFileContents contents;
    if (!readDenseHairSource(hair.file, store, growGuides, dense, claimed, problem, ground) ||
        !shownContents(dense.guides, dense.info.recipe, ground, contents, problem)) {
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
    if (ground == nullptr) {
        hair.file = std::move(dense.guides);
        hair.guides = guideStrandsOf(hair.file.strands);
    } else if (!holdOnMesh(contents, *ground, hair, problem)) {
        return refuseHairFile(program, path, problem);
    }
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
                 HairStore& store, PictureHair& hair, const MeshGround* ground)
{
    std::string problem;
    HairBytes& file = hair.file;
    if (!readWholeFile(path, kMaxHairInputSize, file.bytes, problem, "tressmoor-render reads") ||
        !decodeHairStrands(file.bytes.data(), file.bytes.size(), FLT_MAX, file.strands, problem)) {
        return refuseHairFile(program, path, problem);
    }
    if (int status = checkGivenMesh(path, program, file.strands, ground); status != 0) {
        return status;
    }
    hair.guides = guideStrandsOf(file.strands);
    HairRecipe recipe;
    bool hasTag = false;
    if (!readTressmoorRecipe(file.strands, recipe, hasTag, problem)) {
        if (!hasTag) {
            return readDenseHairFile(path, program, surface, store, hair, ground);
        }
        fprintf(stderr, "%s: note: \"%s\" has a Tressmoor recipe that does not fit it (%s); "
                "drawing it as another program's file\n",
                program, path.c_str(), problem.c_str());
        hair.foreign = true;
        return 0;
    }
    // The window's own checks, which also bound the coordinates the tubes are built from.
    HairFileContents contents;
    if (!shownContents(file, recipe, ground, contents, problem)) {
        return refuseHairFile(program, path, problem);
    }
    if (!applyHairFile(contents, surface, store)) {
        return refuseHairFile(program, path, "its recipe cannot be rebuilt");
    }
    if (ground != nullptr && !holdOnMesh(contents, *ground, hair, problem)) {
        return refuseHairFile(program, path, problem);
    }
    hair.shape = recipe.shape;
    hair.tubes = file.strands.header.strandCount;
    return 0;
}
