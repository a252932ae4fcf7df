#include "formats/UsdWriter.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <mutex>

#include "formats/ParallelText.h"
#include "formats/RecipeText.h"
#include "formats/RootCoordinates.h"

namespace {

// Room for one element of an array: its separator, a tuple of up to three
// numbers, its parentheses and commas.
constexpr size_t kElementRoom = 2 + 3 * (OutputBuffer::kLongestNumber + 2) + 2;
static_assert(kElementRoom <= OutputBuffer::kLargestReservation, "an element fits any buffer");

// An array's elements, written straight into a buffer, with ", " before every
// element but the array's first.
class ArrayElements {
public:
    ArrayElements(OutputBuffer& out, bool first) : out(out), first(first) {}

    char* begin()
    {
        char* at = out.reserve<kElementRoom>();
        if (!first) {
            *at++ = ',';
            *at++ = ' ';
        }
        first = false;
        return at;
    }
    void end(char* at) { out.commit(at); }
    void fail(const std::string& reason) { out.fail(reason); }

    void integer(uint64_t value) { end(OutputBuffer::writeInteger(begin(), value)); }
    void number(float value) { end(OutputBuffer::writeFloat(begin(), value)); }

    void tuple(const float* values, int count)
    {
        char* at = begin();
        *at++ = '(';
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                *at++ = ',';
                *at++ = ' ';
            }
            at = OutputBuffer::writeFloat(at, values[i]);
        }
        *at++ = ')';
        end(at);
    }

private:
    OutputBuffer& out;
    bool first;
};

void openArray(OutputBuffer& out, const char* declaration)
{
    out.append("        ");
    out.append(declaration);
    out.append(" = [");
}

void closeArray(OutputBuffer& out, const char* interpolation)
{
    out.append(']');
    if (interpolation != nullptr) {
        out.append(" (\n            interpolation = \"");
        out.append(interpolation);
        out.append("\"\n        )");
    }
    out.append('\n');
}

// A strand's vertices: one per point, and a single point's strand gets it twice.
template <typename WriteVertex>
void forEachVertex(uint32_t count, WriteVertex writeVertex)
{
    for (uint32_t i = 0; i < count; ++i) {
        writeVertex(i);
    }
    if (count == 1) {
        writeVertex(0);
    }
}

struct Bounds {
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};

    void take(const float* point)
    {
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], point[axis]);
            high[axis] = std::max(high[axis], point[axis]);
        }
    }
    void merge(const Bounds& other)
    {
        take(other.low);
        take(other.high);
    }
};

float grown(float value, double by)
{
    return static_cast<float>(std::clamp(double(value) + by, double(-FLT_MAX), double(FLT_MAX)));
}

// The layer, array by array. The arrays that run over every strand or every
// point are made in spans of units on every core; those that need the children
// themselves, not just how many points they have, make each span's children.
class LayerWriter {
public:
    LayerWriter(const StrandStream& stream, const UsdCurvesExtras& extras, OutputBuffer& out,
                ProgressCounter& progress)
        : stream(stream), extras(extras), out(out), progress(progress)
    {
    }

    void header()
    {
        out.append("#usda 1.0\n(\n    defaultPrim = \"hair\"\n    metersPerUnit = ");
        char number[32];
        out.append(number, static_cast<size_t>(
                               std::to_chars(number, number + sizeof number, metersPerUnit(extras.unit)).ptr -
                               number));
        out.append("\n    upAxis = \"Y\"\n");
        if (!extras.recipe.empty() || stream.dense()) {
            out.append("    customLayerData = {\n");
            if (!extras.recipe.empty()) {
                out.append("        string tressmoorRecipe = ");
                appendUsdString(out, extras.recipe);
                out.append('\n');
            }
            if (stream.dense()) {
                out.append("        string tressmoorChildren = ");
                appendUsdString(out, formatChildOptions(stream.options));
                out.append('\n');
            }
            out.append("    }\n");
        }
        // GroomAPI marks the curves as hair for importers that look for it.
        out.append(")\n\ndef Xform \"hair\"\n{\n    def BasisCurves \"strands\" (\n"
                   "        prepend apiSchemas = [\"GroomAPI\"]\n    )\n    {\n"
                   "        uniform token type = \"linear\"\n");
    }

    void vertexCounts()
    {
        strandArray("int[] curveVertexCounts", nullptr, [&](uint64_t s, ArrayElements& elements) {
            elements.integer(std::max<uint32_t>(stream.pointsOf(s), 2));
        });
    }

    Bounds points()
    {
        Bounds bounds;
        std::mutex merging;
        runArray("point3f[] points", nullptr, [&](const StrandRun& run, uint64_t, ArrayElements& elements) {
            Bounds local;
            uint64_t vertices = 0;
            size_t first = 0;
            for (uint32_t count : run.pointCounts) {
                forEachVertex(count, [&](uint32_t i) {
                    const float* xyz = &run.points[3 * (first + i)];
                    local.take(xyz);
                    elements.tuple(xyz, 3);
                    ++vertices;
                });
                first += count;
            }
            std::lock_guard<std::mutex> lock(merging);
            bounds.merge(local);
            return vertices;
        });
        return bounds;
    }

    void widths()
    {
        if (!stream.widthsVary()) {
            openArray(out, "float[] widths");
            ArrayElements(out, true).number(stream.options.output.widthsGiven
                                                ? stream.options.output.rootWidth
                                                : stream.guides.thicknessOf(0));
            closeArray(out, "constant");
            return;
        }
        vertexArray("float[] widths", [&](uint64_t guide, uint32_t i, uint32_t n, ArrayElements& elements) {
            elements.number(stream.widthAt(guide, i, n));
        });
    }

    void extent(const Bounds& bounds)
    {
        const float widest = stream.widestWidth();
        float low[3], high[3];
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = grown(bounds.low[axis], -0.5 * widest);
            high[axis] = grown(bounds.high[axis], 0.5 * widest);
        }
        openArray(out, "float3[] extent");
        ArrayElements elements(out, true);
        elements.tuple(low, 3);
        elements.tuple(high, 3);
        closeArray(out, nullptr);
    }

    // Colour and opacity come from the guides' arrays, a child's from its guide's
    // point of the same place along the strand; without an array, the header's.
    void displayPrimvars()
    {
        const HairStrands& guides = stream.guides;
        auto colourOf = [&](uint64_t n, float rgb[3]) {
            for (int c = 0; c < 3; ++c) {
                rgb[c] = guides.colourOf(n, c);
            }
        };
        if (guides.colours == nullptr) {
            float rgb[3];
            colourOf(0, rgb);
            openArray(out, "color3f[] primvars:displayColor");
            ArrayElements(out, true).tuple(rgb, 3);
            closeArray(out, "constant");
        } else {
            vertexArray("color3f[] primvars:displayColor",
                        [&](uint64_t guide, uint32_t i, uint32_t, ArrayElements& elements) {
                            float rgb[3];
                            colourOf(stream.guidePointAt(guide, i), rgb);
                            elements.tuple(rgb, 3);
                        });
        }
        if (guides.transparency == nullptr) {
            openArray(out, "float[] primvars:displayOpacity");
            ArrayElements(out, true).number(1.0f - guides.transparencyOf(0));
            closeArray(out, "constant");
        } else {
            vertexArray("float[] primvars:displayOpacity",
                        [&](uint64_t guide, uint32_t i, uint32_t, ArrayElements& elements) {
                            elements.number(1.0f - guides.transparencyOf(stream.guidePointAt(guide, i)));
                        });
        }
    }

    // A child takes its guide's cluster; between guides, that of the nearest.
    void clusters(const char* declaration)
    {
        const uint64_t hairs = extras.hairsPerCluster;
        if (childrenFollowOthers()) {
            runArray(declaration, "uniform", [&](const StrandRun& run, uint64_t, ArrayElements& elements) {
                for (uint32_t guide : run.guides) {
                    elements.integer(guide / hairs);
                }
                return uint64_t(0);
            });
            return;
        }
        strandArray(declaration, "uniform", [&](uint64_t s, ArrayElements& elements) {
            elements.integer(stream.broodGuideOf(s) / hairs);
        });
    }

    // A guide keeps its root's coordinates on the grid; a child has its own root's.
    void surfaceCoordinates(const char* declaration)
    {
        runArray(declaration, "uniform", [&](const StrandRun& run, uint64_t firstStrand, ArrayElements& elements) {
            size_t first = 0;
            for (size_t k = 0; k < run.pointCounts.size(); ++k) {
                const uint64_t s = firstStrand + k;
                float st[2];
                if (s < stream.keptGuides()) {
                    st[0] = extras.rootSt[2 * s];
                    st[1] = extras.rootSt[2 * s + 1];
                } else if (!shapeCoordinatesAt(stream.shape, &run.points[3 * first], st)) {
                    elements.fail("a child's root has no surface coordinates on the hair's shape");
                    break;
                }
                elements.tuple(st, 2);
                first += run.pointCounts[k];
            }
            return uint64_t(0);
        });
    }

    void guideFlags(const char* declaration)
    {
        strandArray(declaration, "uniform", [&](uint64_t s, ArrayElements& elements) {
            elements.integer(stream.dense() && s < stream.keptGuides() ? 1 : 0);
        });
    }

private:
    bool childrenFollowOthers() const
    {
        const ChildOptions& children = stream.options.generation;
        return children.children > 0 && children.mode == ChildMode::Between;
    }

    template <typename MakeSpanValues>
    void spanArray(const char* declaration, const char* interpolation, MakeSpanValues make)
    {
        openArray(out, declaration);
        writeSpansInParallel(
            out, stream.unitCount(), stream.unitsPerSpan(),
            [&](uint64_t first, uint64_t end, OutputBuffer& span) {
                ArrayElements elements(span, first == 0);
                return make(first, end, elements);
            },
            [&](uint64_t values) { progress.add(values); });
        closeArray(out, interpolation);
    }

    // One value per strand, from what is known of it without making it.
    template <typename WriteStrand>
    void strandArray(const char* declaration, const char* interpolation, WriteStrand write)
    {
        spanArray(declaration, interpolation, [&](uint64_t first, uint64_t end, ArrayElements& elements) {
            stream.forEachStrand(first, end, [&](uint64_t s, uint32_t, uint64_t) { write(s, elements); });
            return uint64_t(0);
        });
    }

    // One value per vertex, from the guide a strand came from and the place along it.
    template <typename WriteVertex>
    void vertexArray(const char* declaration, WriteVertex write)
    {
        spanArray(declaration, "vertex", [&](uint64_t first, uint64_t end, ArrayElements& elements) {
            uint64_t vertices = 0;
            stream.forEachStrand(first, end, [&](uint64_t, uint32_t n, uint64_t guide) {
                forEachVertex(n, [&](uint32_t i) {
                    write(guide, i, n, elements);
                    ++vertices;
                });
            });
            return vertices;
        });
    }

    // Values from the strands themselves: each span makes its units' children.
    template <typename WriteRun>
    void runArray(const char* declaration, const char* interpolation, WriteRun write)
    {
        spanArray(declaration, interpolation, [&](uint64_t first, uint64_t end, ArrayElements& elements) {
            StrandRun run;
            stream.fill(first, end, run);
            return write(run, stream.firstStrandOf(first), elements);
        });
    }

    const StrandStream& stream;
    const UsdCurvesExtras& extras;
    OutputBuffer& out;
    ProgressCounter& progress;
};

uint64_t vertexTotal(const StrandStream& stream)
{
    uint64_t singles = 0;
    for (uint64_t s = 0; s < stream.strandCount(); ++s) {
        singles += stream.pointsOf(s) == 1;
    }
    return stream.pointCount() + singles;
}

}  // namespace

void appendUsdString(OutputBuffer& out, const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    out.append('"');
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7f) {
            out.append("\\x", 2);
            out.append(kHex[c >> 4]);
            out.append(kHex[c & 15]);
        } else {
            out.append(static_cast<char>(c));
        }
    }
    out.append('"');
}

void writeUsdCurves(const StrandStream& stream, const UsdCurvesExtras& extras, OutputBuffer& out,
                    const WriteProgress& progress)
{
    const HairStrands& guides = stream.guides;
    const uint64_t vertices = vertexTotal(stream);
    const int perVertexArrays = 1 + stream.widthsVary() + (guides.colours != nullptr) +
                                (guides.transparency != nullptr);
    ProgressCounter counter(progress, vertices * perVertexArrays);

    LayerWriter layer(stream, extras, out, counter);
    layer.header();
    layer.vertexCounts();
    const Bounds bounds = layer.points();
    layer.widths();
    if (vertices > 0) {
        layer.extent(bounds);
    }
    if (extras.displayPrimvars) {
        layer.displayPrimvars();
    }
    if (extras.hairsPerCluster > 0) {
        layer.clusters("int[] primvars:clusterId");
    }
    if (!extras.rootSt.empty()) {
        layer.surfaceCoordinates("texCoord2f[] primvars:st");
    }
    if (stream.dense()) {
        layer.guideFlags("int[] primvars:guide");
    }
    // The same values again under the names groom importers keep.
    if (extras.hairsPerCluster > 0) {
        layer.clusters("int[] primvars:groom_group_id");
    }
    if (!extras.rootSt.empty()) {
        layer.surfaceCoordinates("float2[] primvars:groom_root_uv");
    }
    layer.guideFlags("int[] primvars:groom_guide");
    out.append("    }\n");
    if (extras.mesh != nullptr) {
        writeUsdMesh(*extras.mesh, extras.meshFit, out);
    }
    out.append("}\n");
}
