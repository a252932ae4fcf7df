#include "formats/HairFile.h"

#include "formats/ByteCodec.h"
#include "formats/MeshReader.h"
#include "formats/RecipeText.h"

namespace {

// The diffuse colour the view lights strands with; other tools show it as the hair's colour.
constexpr float kHairFileColour[3] = {0.1f, 0.5f, 0.8f};

bool readRecipe(const std::string& info, HairRecipe& recipe, bool& hasTag, std::string& problem)
{
    if (!parseRecipe(info, recipe, hasTag, problem)) {
        if (!hasTag) {
            problem = "it is a HAIR file without a Tressmoor recipe, so the shape and settings "
                      "it belongs to are unknown (tressmoor-convert can turn it into USD or OBJ "
                      "curves)";
        }
        return false;
    }
    return true;
}

// Every strand as the recipe grows it: clusters² x hairs of parts points each.
bool followsRecipe(const HairStrands& strands, const HairRecipe& recipe, std::string& problem)
{
    const uint64_t count = strands.header.strandCount;
    const uint64_t recipeStrands = strandTotal(recipe);
    if (count != recipeStrands) {
        problem = "it holds " + std::to_string(count) + " strands, but its recipe's " +
                  std::to_string(recipe.clusters) + " x " + std::to_string(recipe.clusters) +
                  " clusters of " + std::to_string(recipe.hairs) + " hairs make " +
                  std::to_string(recipeStrands);
        return false;
    }
    for (uint64_t s = 0; s < count; ++s) {
        if (strands.segmentsOf(s) != uint64_t(recipe.parts - 1)) {
            problem = "strand " + std::to_string(s + 1) + " has " +
                      std::to_string(strands.segmentsOf(s)) + " segments, but its recipe's parts=" +
                      std::to_string(recipe.parts) + " make " + std::to_string(recipe.parts - 1);
            return false;
        }
    }
    return true;
}

}  // namespace

bool decodeHairFile(const unsigned char* data, size_t size, HairFileContents& contents,
                    std::string& problem)
{
    HairStrands strands;
    HairRecipe recipe;
    bool hasTag = false;
    if (!decodeHairStrands(data, size, kMaxHairCoordinate, strands, problem) ||
        !readTressmoorRecipe(strands, recipe, hasTag, problem)) {
        return false;
    }
    // Its points are in the mesh's own units, and only the mesh places them.
    if (recipe.shape == UnderlyingShape::Mesh) {
        problem = "it is hair grown on a mesh (its file's hash is " + meshHashText(recipe.meshHash) +
                  "), which cannot be shown without that mesh";
        return false;
    }
    contents.recipe = recipe;
    const uint64_t coordinates = 3 * uint64_t(strands.header.pointCount);
    contents.points.resize(coordinates);
    for (uint64_t i = 0; i < coordinates; ++i) {
        contents.points[i] = readF32(strands.points + 4 * i);
    }
    return true;
}

bool readTressmoorRecipe(const HairStrands& strands, HairRecipe& recipe, bool& hasTag,
                         std::string& problem)
{
    HairRecipe read;
    if (!readRecipe(strands.header.info, read, hasTag, problem) ||
        !followsRecipe(strands, read, problem)) {
        return false;
    }
    recipe = read;
    return true;
}

std::vector<unsigned char> encodeHairFile(const HairFileContents& contents)
{
    const HairRecipe& recipe = contents.recipe;
    HairHeader header;
    header.strandCount = static_cast<uint32_t>(strandTotal(recipe));
    header.pointCount = static_cast<uint32_t>(contents.points.size() / 3);
    header.flags = kHairHasPoints;
    header.defaultSegments = static_cast<uint32_t>(recipe.parts - 1);
    header.defaultThickness = kHairFileThickness;
    header.defaultTransparency = 0.0f;
    for (int c = 0; c < 3; ++c) {
        header.defaultColour[c] = kHairFileColour[c];
    }
    header.info = formatRecipe(recipe);

    std::vector<unsigned char> out;
    out.reserve(kHairHeaderSize + 4 * contents.points.size());
    appendHairHeader(out, header);
    for (float coordinate : contents.points) {
        appendF32(out, coordinate);
    }
    return out;
}
