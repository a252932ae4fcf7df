#include "formats/HairExport.h"

#include <cfloat>

#include "formats/FileIo.h"
#include "formats/ObjWriter.h"
#include "formats/RecipeText.h"
#include "formats/RootCoordinates.h"
#include "formats/UsdWriter.h"

namespace {

// The arrays lie one after another behind the header, just as they are written.
void writeHairCopy(const HairStrands& strands, OutputBuffer& out)
{
    std::vector<unsigned char> header;
    appendHairHeader(header, strands.header);
    out.append(header.data(), header.size());
    const uint64_t count = strands.header.strandCount;
    const uint64_t points = strands.header.pointCount;
    const struct {
        const unsigned char* array;
        uint64_t size;
    } arrays[] = {{strands.segments, 2 * count},
                  {strands.points, 12 * points},
                  {strands.thickness, 4 * points},
                  {strands.transparency, 4 * points},
                  {strands.colours, 12 * points}};
    for (const auto& a : arrays) {
        if (a.array != nullptr) {
            out.append(a.array, static_cast<size_t>(a.size));
        }
    }
}

}  // namespace

HairFileFormat formatForPath(const std::string& path)
{
    if (hasExtension(path, ".obj")) {
        return HairFileFormat::Obj;
    }
    return hasExtension(path, ".usda") ? HairFileFormat::Usd : HairFileFormat::Hair;
}

TressmoorStrands tressmoorStrandsOf(const HairStrands& strands, const HairRecipe& recipe,
                                    NurbsSurface& shapeSurface)
{
    TressmoorStrands own;
    own.known = true;
    own.recipe = recipe;
    rootSurfaceCoordinates(strands, recipe.shape, shapeSurface, own.rootSt);
    return own;
}

void writeHairFileAs(const HairStrands& strands, const TressmoorStrands& own, HairFileFormat format,
                     bool displayPrimvars, OutputBuffer& out, const WriteProgress& progress)
{
    const std::string recipe = own.known ? formatRecipe(own.recipe) : std::string();
    if (format == HairFileFormat::Hair) {
        writeHairCopy(strands, out);
    } else if (format == HairFileFormat::Obj) {
        writeObjCurves(strands, recipe, out, progress);
    } else {
        UsdCurvesExtras extras;
        extras.recipe = recipe;
        extras.hairsPerCluster = own.known ? static_cast<uint32_t>(own.recipe.hairs) : 0;
        extras.rootSt = own.rootSt;
        extras.displayPrimvars = displayPrimvars;
        writeUsdCurves(strands, extras, out, progress);
    }
}

std::vector<unsigned char> encodeHairFileAs(const HairFileContents& contents,
                                            NurbsSurface& shapeSurface, HairFileFormat format)
{
    std::vector<unsigned char> hair = encodeHairFile(contents);
    if (format == HairFileFormat::Hair) {
        return hair;
    }
    // Every other format is written from the HAIR file, as a conversion would be.
    // The points come from grown or checked hair, so every one of them decodes.
    HairStrands strands;
    std::string problem;
    decodeHairStrands(hair.data(), hair.size(), FLT_MAX, strands, problem);
    std::vector<unsigned char> bytes;
    OutputBuffer out(appendingTo(bytes));
    writeHairFileAs(strands, tressmoorStrandsOf(strands, contents.recipe, shapeSurface), format,
                    false, out);
    out.finish();
    return bytes;
}
