#include "formats/UsdWriter.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <mutex>

#include "formats/ParallelText.h"
#include "formats/UsdArrays.h"
#include "formats/RecipeText.h"
#include "formats/RootCoordinates.h"

namespace {

float grown(float value, double by)
{
    return static_cast<float>(std::clamp(double(value) + by, double(-FLT_MAX), double(FLT_MAX)));
}

// The layer, array by array. The arrays that run over every strand or every
// point are made in spans of units on every core. Only the points make the
// children; what else needs them is kept from that one making.
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

    // The points, from the one making of the children; what the per-strand
    // arrays need of the children themselves is kept from it, a few bytes a child.
    Bounds points()
    {
        const uint64_t kept = stream.keptGuides();
        const uint64_t children = stream.strandCount() - kept;
        if (extras.hairsPerCluster > 0 && childrenFollowOthers()) {
            childGuides.resize(children);
        }
        if (!extras.rootSt.empty()) {
            childSt.resize(2 * children);
        }
        Bounds bounds;
        std::mutex merging;
        runArray("point3f[] points", nullptr, [&](const StrandRun& run, uint64_t firstStrand, ArrayElements& elements) {
            Bounds local;
            uint64_t vertices = 0;
            size_t first = 0;
            for (size_t k = 0; k < run.pointCounts.size(); ++k) {
                const uint32_t count = run.pointCounts[k];
                forEachVertex(count, [&](uint32_t i) {
                    const float* xyz = &run.points[3 * (first + i)];
                    local.take(xyz);
                    elements.tuple(xyz, 3);
                    ++vertices;
                });
                const uint64_t s = firstStrand + k;
                if (s >= kept && !keepChild(s - kept, run.guides[k], &run.points[3 * first])) {
                    elements.fail("a child's root has no surface coordinates on the hair's shape");
                    break;
                }
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
        const uint64_t kept = stream.keptGuides();
        strandArray(declaration, "uniform", [&](uint64_t s, ArrayElements& elements) {
            const uint64_t guide =
                s >= kept && !childGuides.empty() ? childGuides[s - kept] : stream.broodGuideOf(s);
            elements.integer(guide / hairs);
        });
    }

    // A guide keeps its root's coordinates on the grid; a child has its own root's.
    void surfaceCoordinates(const char* declaration)
    {
        const uint64_t kept = stream.keptGuides();
        strandArray(declaration, "uniform", [&](uint64_t s, ArrayElements& elements) {
            elements.tuple(s < kept ? &extras.rootSt[2 * s] : &childSt[2 * (s - kept)], 2);
        });
    }

    void guideFlags(const char* declaration)
    {
        strandArray(declaration, "uniform", [&](uint64_t s, ArrayElements& elements) {
            elements.integer(stream.dense() && s < stream.keptGuides() ? 1 : 0);
        });
    }

private:
    // False when the child's root has no surface coordinates.
    bool keepChild(uint64_t child, uint32_t guide, const float* root)
    {
        if (!childGuides.empty()) {
            childGuides[child] = guide;
        }
        if (childSt.empty()) {
            return true;
        }
        // A mesh's uv at the child's own root, as the guides' are found.
        if (stream.meshGround() != nullptr) {
            return stream.meshCoordinatesAt(root, &childSt[2 * child]);
        }
        return shapeCoordinatesAt(stream.shape, root, &childSt[2 * child]);
    }

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
    // Per child, in file order: the guide it follows most closely (between
    // guides, where clusters are written) and its root's s and t (where the
    // guides' are known).
    std::vector<uint32_t> childGuides;
    std::vector<float> childSt;
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
