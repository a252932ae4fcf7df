#include "formats/UsdWriter.h"

#include <algorithm>
#include <cfloat>

#include "formats/ByteCodec.h"

namespace {

// One vertex per point, and a single point's strand gets its point twice.
template <typename WriteVertex>
void forEachCurveVertex(const HairStrands& strands, WriteVertex writeVertex)
{
    uint64_t first = 0;
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        const uint64_t count = uint64_t(strands.segmentsOf(s)) + 1;
        for (uint64_t n = first; n < first + count; ++n) {
            writeVertex(n);
        }
        if (count == 1) {
            writeVertex(first);
        }
        first += count;
    }
}

uint64_t curveVertexTotal(const HairStrands& strands)
{
    uint64_t singles = 0;
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        singles += strands.segmentsOf(s) == 0;
    }
    return uint64_t(strands.header.pointCount) + singles;
}

// Room for one element of an array: its separator, a tuple of up to three
// numbers, its parentheses and commas.
constexpr size_t kElementRoom = 2 + 3 * (OutputBuffer::kLongestNumber + 2) + 2;

// Writes an array's elements straight into the buffer, with ", " before every
// element but the first.
class ArrayText {
public:
    ArrayText(OutputBuffer& out, const char* declaration) : out(out)
    {
        out.append("        ");
        out.append(declaration);
        out.append(" = [");
    }

    char* begin()
    {
        char* at = out.reserve(kElementRoom);
        if (!first) {
            *at++ = ',';
            *at++ = ' ';
        }
        first = false;
        return at;
    }
    void end(char* at) { out.commit(at); }

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

    void close(const char* interpolation)
    {
        out.append(']');
        if (interpolation != nullptr) {
            out.append(" (\n            interpolation = \"");
            out.append(interpolation);
            out.append("\"\n        )");
        }
        out.append('\n');
    }

private:
    OutputBuffer& out;
    bool first = true;
};

void writeLayerHeader(OutputBuffer& out, const std::string& recipe)
{
    out.append("#usda 1.0\n(\n    defaultPrim = \"hair\"\n    upAxis = \"Y\"\n");
    if (!recipe.empty()) {
        out.append("    customLayerData = {\n        string tressmoorRecipe = ");
        appendUsdString(out, recipe);
        out.append("\n    }\n");
    }
    out.append(")\n\ndef Xform \"hair\"\n{\n    def BasisCurves \"strands\"\n    {\n"
               "        uniform token type = \"linear\"\n");
}

void writeVertexCounts(OutputBuffer& out, const HairStrands& strands)
{
    ArrayText array(out, "int[] curveVertexCounts");
    for (uint64_t s = 0; s < strands.header.strandCount; ++s) {
        array.integer(std::max<uint64_t>(uint64_t(strands.segmentsOf(s)) + 1, 2));
    }
    array.close(nullptr);
}

struct Bounds {
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
};

Bounds writePoints(OutputBuffer& out, const HairStrands& strands, ProgressCounter& progress)
{
    Bounds bounds;
    ArrayText array(out, "point3f[] points");
    forEachCurveVertex(strands, [&](uint64_t n) {
        float xyz[3];
        for (int axis = 0; axis < 3; ++axis) {
            xyz[axis] = readF32(strands.points + 12 * n + 4 * axis);
            bounds.low[axis] = std::min(bounds.low[axis], xyz[axis]);
            bounds.high[axis] = std::max(bounds.high[axis], xyz[axis]);
        }
        array.tuple(xyz, 3);
        progress.count();
    });
    array.close(nullptr);
    return bounds;
}

// Per vertex from the array when the file has one, otherwise the one default.
template <typename Value>
void writeFloatValues(OutputBuffer& out, const HairStrands& strands, const char* declaration,
                      bool perVertex, Value value, ProgressCounter& progress)
{
    ArrayText array(out, declaration);
    if (!perVertex) {
        array.number(value(0));
        array.close("constant");
        return;
    }
    forEachCurveVertex(strands, [&](uint64_t n) {
        array.number(value(n));
        progress.count();
    });
    array.close("vertex");
}

// The widest width, for the extent: the tubes reach half of it past their points.
float widestWidth(const HairStrands& strands)
{
    float widest = std::max(strands.header.defaultThickness, 0.0f);
    if (strands.thickness != nullptr) {
        widest = 0.0f;
        for (uint64_t n = 0; n < strands.header.pointCount; ++n) {
            widest = std::max(widest, strands.thicknessOf(n));
        }
    }
    return widest;
}

float grown(float value, double by)
{
    return static_cast<float>(std::clamp(double(value) + by, double(-FLT_MAX), double(FLT_MAX)));
}

void writeExtent(OutputBuffer& out, const Bounds& bounds, float widest)
{
    float low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = grown(bounds.low[axis], -0.5 * widest);
        high[axis] = grown(bounds.high[axis], 0.5 * widest);
    }
    ArrayText array(out, "float3[] extent");
    array.tuple(low, 3);
    array.tuple(high, 3);
    array.close(nullptr);
}

void writeDisplayColour(OutputBuffer& out, const HairStrands& strands, ProgressCounter& progress)
{
    ArrayText array(out, "color3f[] primvars:displayColor");
    const auto writeColour = [&](uint64_t n) {
        const float rgb[3] = {strands.colourOf(n, 0), strands.colourOf(n, 1), strands.colourOf(n, 2)};
        array.tuple(rgb, 3);
    };
    if (strands.colours == nullptr) {
        writeColour(0);
        array.close("constant");
        return;
    }
    forEachCurveVertex(strands, [&](uint64_t n) {
        writeColour(n);
        progress.count();
    });
    array.close("vertex");
}

void writeStrandValues(OutputBuffer& out, const UsdCurvesExtras& extras, uint64_t strandCount)
{
    if (extras.hairsPerCluster > 0) {
        ArrayText array(out, "int[] primvars:clusterId");
        for (uint64_t s = 0; s < strandCount; ++s) {
            array.integer(s / extras.hairsPerCluster);
        }
        array.close("uniform");
    }
    if (!extras.rootSt.empty()) {
        ArrayText array(out, "texCoord2f[] primvars:st");
        for (size_t i = 0; i + 1 < extras.rootSt.size(); i += 2) {
            array.tuple(&extras.rootSt[i], 2);
        }
        array.close("uniform");
    }
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

void writeUsdCurves(const HairStrands& strands, const UsdCurvesExtras& extras, OutputBuffer& out,
                    const WriteProgress& progress)
{
    const uint64_t vertices = curveVertexTotal(strands);
    const int perVertexArrays = 1 + (strands.thickness != nullptr) + (strands.colours != nullptr) +
                                (strands.transparency != nullptr);
    ProgressCounter counter(progress, vertices * perVertexArrays);

    writeLayerHeader(out, extras.recipe);
    writeVertexCounts(out, strands);
    const Bounds bounds = writePoints(out, strands, counter);
    writeFloatValues(out, strands, "float[] widths", strands.thickness != nullptr,
                     [&](uint64_t n) { return strands.thicknessOf(n); }, counter);
    if (vertices > 0) {
        writeExtent(out, bounds, widestWidth(strands));
    }
    if (extras.displayPrimvars) {
        writeDisplayColour(out, strands, counter);
        writeFloatValues(out, strands, "float[] primvars:displayOpacity",
                         strands.transparency != nullptr,
                         [&](uint64_t n) { return 1.0f - strands.transparencyOf(n); }, counter);
    }
    writeStrandValues(out, extras, strands.header.strandCount);
    out.append("    }\n}\n");
}
