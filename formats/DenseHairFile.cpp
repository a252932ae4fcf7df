#include "formats/DenseHairFile.h"

#include <algorithm>
#include <cstring>

#include "formats/HairExport.h"
#include "formats/OutputBuffer.h"
#include "formats/StrandStream.h"

bool readDenseHairGuides(const HairStrands& file, DenseHairGuides& dense, bool& hasTag,
                         std::string& problem)
{
    DenseHairInfo info;
    if (!parseDenseHairInfo(file.header.info, info, hasTag, problem)) {
        return false;
    }
    if (!info.hasRecipe) {
        problem = "its children were made from another program's strands, whose shape is unknown";
        return false;
    }
    const uint64_t guides = strandTotal(info.recipe);
    const uint64_t parts = uint64_t(info.recipe.parts);
    const uint64_t kept = info.request.output.keepGuides ? guides : 0;
    if (file.header.strandCount != kept + guides * info.request.generation.children) {
        problem = "it holds " + std::to_string(file.header.strandCount) + " strands where its " +
                  "recipe and child options make " +
                  std::to_string(kept + guides * info.request.generation.children);
        return false;
    }
    for (uint64_t s = 0; s < file.header.strandCount; ++s) {
        if (uint64_t(file.segmentsOf(s)) + 1 != parts) {
            problem = "its strand " + std::to_string(s) + " does not have the recipe's " +
                      std::to_string(parts) + " points";
            return false;
        }
    }
    DenseHairGuides read;
    read.info = info;
    read.guides.recipe = info.recipe;
    read.guidesKept = info.request.output.keepGuides;
    if (read.guidesKept) {
        read.guides.points.resize(3 * kept * parts);
        for (uint64_t n = 0; n < kept * parts; ++n) {
            for (int a = 0; a < 3; ++a) {
                read.guides.points[3 * n + a] = file.coordinate(n, a);
            }
        }
    }
    dense = std::move(read);
    return true;
}

bool denseHairMatches(const unsigned char* fileBytes, size_t size, const HairStrands& guides,
                      const DenseHairInfo& info, std::string& problem, const MeshGround* ground)
{
    const std::optional<StrandStream> stream =
        StrandStream::make(guides, info.recipe.shape, info.request, problem, ground);
    if (!stream) {
        return false;
    }
    TressmoorStrands own;
    own.known = true;
    own.recipe = info.recipe;
    own.growth = info.growth;
    // Compared as they are made, so nothing the size of the file is held twice.
    size_t compared = 0;
    bool same = true;
    OutputBuffer out([&](const unsigned char* data, size_t count) {
        same = same && compared + count <= size && std::memcmp(fileBytes + compared, data, count) == 0;
        compared += count;
        return same;
    });
    writeHairFileAs(*stream, own, HairFileFormat::Hair, ExportSettings(), out);
    if (!out.finish() || !same || compared != size) {
        problem = "it does not hold what its recipe, growth and child options make";
        return false;
    }
    return true;
}
