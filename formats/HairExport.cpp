#include "formats/HairExport.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>

#include "formats/DenseHairInfo.h"
#include "formats/FileIo.h"
#include "formats/ObjWriter.h"
#include "formats/ParallelText.h"
#include "formats/RecipeText.h"
#include "formats/RootCoordinates.h"
#include "formats/UsdWriter.h"
#include "hair/MeshGrowth.h"

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

void appendLittleEndian(OutputBuffer& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                    static_cast<unsigned char>(bits >> 16),
                                    static_cast<unsigned char>(bits >> 24)};
    out.append(bytes, sizeof bytes);
}

// Floats as the file holds them: the machine's own bytes where it is
// little-endian, byte by byte otherwise.
void appendLittleEndian(OutputBuffer& out, const std::vector<float>& values)
{
    const uint32_t one = 1;
    unsigned char firstByte;
    std::memcpy(&firstByte, &one, 1);
    if (firstByte == 1) {
        out.append(values.data(), values.size() * sizeof(float));
        return;
    }
    for (float value : values) {
        appendLittleEndian(out, value);
    }
}

// Every strand the same length: the header's default count serves them all.
bool strandsOfOneLength(const StrandStream& stream)
{
    for (uint64_t s = 1; s < stream.strandCount(); ++s) {
        if (stream.pointsOf(s) != stream.pointsOf(0)) {
            return false;
        }
    }
    return true;
}

// Guides with their children, or with widths of their own: a new header, the
// points made in spans on every core, then the values per point, a child's
// from its guide's point at the same place along the strand.
class DenseHairWriter {
public:
    DenseHairWriter(const StrandStream& stream, const TressmoorStrands& own, OutputBuffer& out,
                    const WriteProgress& progress)
        : stream(stream), own(own), out(out), counter(progress, stream.pointCount())
    {
    }

    void write()
    {
        const HairStrands& guides = stream.guides;
        const bool oneLength = strandsOfOneLength(stream);
        HairHeader header = guides.header;
        header.strandCount = static_cast<uint32_t>(stream.strandCount());
        header.pointCount = static_cast<uint32_t>(stream.pointCount());
        header.flags = kHairHasPoints | (oneLength ? 0 : kHairHasSegments) |
                       (stream.widthsVary() ? kHairHasThickness : 0) |
                       (guides.transparency != nullptr ? kHairHasTransparency : 0) |
                       (guides.colours != nullptr ? kHairHasColour : 0);
        if (oneLength && stream.strandCount() > 0) {
            header.defaultSegments = stream.pointsOf(0) - 1;
        }
        if (stream.options.output.widthsGiven) {
            header.defaultThickness = stream.options.output.rootWidth;
        }
        DenseHairInfo info;
        info.hasRecipe = own.known;
        info.recipe = own.recipe;
        info.growth = own.growth;
        info.request = stream.options;
        header.info = formatDenseHairInfo(info);
        std::vector<unsigned char> bytes;
        appendHairHeader(bytes, header);
        out.append(bytes.data(), bytes.size());

        if (!oneLength) {
            for (uint64_t s = 0; s < stream.strandCount(); ++s) {
                const uint32_t segments = stream.pointsOf(s) - 1;
                const unsigned char pair[2] = {static_cast<unsigned char>(segments),
                                               static_cast<unsigned char>(segments >> 8)};
                out.append(pair, sizeof pair);
            }
        }
        writeSpansInParallel(out, stream.unitCount(), stream.unitsPerSpan(),
                             [&](uint64_t first, uint64_t end, OutputBuffer& span) {
                                 StrandRun run;
                                 stream.fill(first, end, run);
                                 appendLittleEndian(span, run.points);
                                 return uint64_t(run.points.size() / 3);
                             },
                             [&](uint64_t values) { counter.add(values); });
        if (stream.widthsVary()) {
            pointValues([&](uint64_t guide, uint32_t i, uint32_t n, OutputBuffer& span) {
                appendLittleEndian(span, stream.widthAt(guide, i, n));
            });
        }
        if (guides.transparency != nullptr) {
            pointValues([&](uint64_t guide, uint32_t i, uint32_t, OutputBuffer& span) {
                appendLittleEndian(span, guides.transparencyOf(stream.guidePointAt(guide, i)));
            });
        }
        if (guides.colours != nullptr) {
            pointValues([&](uint64_t guide, uint32_t i, uint32_t, OutputBuffer& span) {
                for (int c = 0; c < 3; ++c) {
                    appendLittleEndian(span, guides.colourOf(stream.guidePointAt(guide, i), c));
                }
            });
        }
    }

private:
    template <typename WriteValue>
    void pointValues(WriteValue write)
    {
        writeSpansInParallel(out, stream.unitCount(), stream.unitsPerSpan(),
                             [&](uint64_t first, uint64_t end, OutputBuffer& span) {
            stream.forEachStrand(first, end, [&](uint64_t, uint32_t n, uint64_t guide) {
                for (uint32_t i = 0; i < n; ++i) {
                    write(guide, i, n, span);
                }
            });
            return uint64_t(0);
        });
    }

    const StrandStream& stream;
    const TressmoorStrands& own;
    OutputBuffer& out;
    ProgressCounter counter;
};

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

UnderlyingShape knownShape(const TressmoorStrands& own)
{
    return own.known ? own.recipe.shape : UnderlyingShape::NoShape;
}

bool hairCountsFit(uint64_t strands, uint64_t points, std::string& problem)
{
    constexpr uint64_t kMostCounted = std::numeric_limits<uint32_t>::max();
    if (strands > kMostCounted || points > kMostCounted) {
        problem = "a HAIR file counts at most 4294967295 strands and as many points, and this "
                  "hair would have " + std::to_string(strands) + " strands and " +
                  std::to_string(points) + " points";
        return false;
    }
    return true;
}

bool canWrite(const StrandStream& stream, HairFileFormat format, std::string& problem)
{
    return format != HairFileFormat::Hair ||
           hairCountsFit(stream.strandCount(), stream.pointCount(), problem);
}

void writeHairFileAs(const StrandStream& stream, const TressmoorStrands& own, HairFileFormat format,
                     const ExportSettings& settings, OutputBuffer& out, const WriteProgress& progress)
{
    const std::string recipe = own.known ? formatRecipe(own.recipe) : std::string();
    if (format == HairFileFormat::Hair) {
        if (stream.dense()) {
            DenseHairWriter(stream, own, out, progress).write();
        } else {
            writeHairCopy(stream.guides, out);
        }
    } else if (format == HairFileFormat::Obj) {
        std::vector<std::string> comments;
        if (!recipe.empty()) {
            comments.push_back(recipe);
        }
        if (stream.dense()) {
            comments.push_back(formatChildOptions(stream.options));
        }
        writeObjCurves(stream, comments, out, progress);
    } else {
        UsdCurvesExtras extras;
        extras.recipe = recipe;
        extras.hairsPerCluster = own.known ? static_cast<uint32_t>(own.recipe.hairs) : 0;
        extras.rootSt = own.rootSt;
        extras.displayPrimvars = settings.displayPrimvars;
        extras.unit = settings.unit;
        if (settings.mesh != nullptr) {
            extras.mesh = &settings.mesh->mesh;
            extras.meshFit = settings.mesh->fit;
        }
        writeUsdCurves(stream, extras, out, progress);
    }
}

std::vector<unsigned char> encodeHairFileAs(const HairFileContents& contents,
                                            NurbsSurface& shapeSurface, HairFileFormat format,
                                            const ExportSettings& settings)
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
    // Without children every stream can be made.
    const std::optional<StrandStream> stream =
        StrandStream::make(strands, contents.recipe.shape, ChildRequest(), problem);
    writeHairFileAs(*stream, tressmoorStrandsOf(strands, contents.recipe, shapeSurface), format,
                    settings, out);
    out.finish();
    return bytes;
}

bool saveHairFileAs(const std::string& path, const StrandStream& stream, const TressmoorStrands& own,
                    HairFileFormat format, const ExportSettings& settings, std::string& problem,
                    const WriteProgress& progress, const std::function<void()>& written)
{
    AtomicFileWriter writer;
    if (!writer.open(path, problem)) {
        return false;
    }
    // Any failure below leaves the writer uncommitted, which removes its file.
    try {
        OutputBuffer out([&writer](const unsigned char* data, size_t size) {
            return writer.write(data, size);
        });
        writeHairFileAs(stream, own, format, settings, out, progress);
        if (!out.finish() && !out.failure().empty()) {
            problem = out.failure();
            return false;
        }
        if (!out.failed() && written) {
            written();
        }
    } catch (const std::bad_alloc&) {
        problem = "there is not enough memory to write it";
        return false;
    }
    // A sink that refused has recorded why, which the commit names.
    return writer.commit(problem);
}
