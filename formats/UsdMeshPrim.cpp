#include "formats/UsdWriter.h"

namespace {

// One array of the prim, "(x, y, z)" tuples or plain numbers, on one line.
template <typename Element>
void writeArray(OutputBuffer& out, const char* declaration, int count, Element element)
{
    out.append("        ");
    out.append(declaration);
    out.append(" = [");
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            out.append(", ");
        }
        element(i);
    }
    out.append(']');
}

void appendTuple(OutputBuffer& out, const float* values, int count)
{
    out.append('(');
    for (int a = 0; a < count; ++a) {
        if (a > 0) {
            out.append(", ");
        }
        out.appendFloat(values[a]);
    }
    out.append(')');
}

}  // namespace

void writeUsdMesh(const TriangleMesh& fitted, const MeshFit& fit, OutputBuffer& out)
{
    // Counter-clockwise seen from outside, as USD's right-handed default wants.
    out.append("\n    def Mesh \"mesh\"\n    {\n        uniform token subdivisionScheme = \"none\"\n");
    writeArray(out, "int[] faceVertexCounts", fitted.triangleCount, [&](int) { out.append('3'); });
    out.append('\n');
    writeArray(out, "int[] faceVertexIndices", 3 * fitted.triangleCount,
               [&](int i) { out.appendInteger(static_cast<uint64_t>(fitted.triangles[i])); });
    out.append('\n');
    // A uniform scale and a move: the normals stay as they are.
    writeArray(out, "normal3f[] normals", fitted.vertexCount,
               [&](int v) { appendTuple(out, fitted.normals + 3 * v, 3); });
    out.append(" (\n            interpolation = \"vertex\"\n        )\n");
    writeArray(out, "point3f[] points", fitted.vertexCount, [&](int v) {
        const double at[3] = {fitted.positions[3 * v], fitted.positions[3 * v + 1], fitted.positions[3 * v + 2]};
        double own[3];
        fit.toMesh(at, own);
        const float values[3] = {static_cast<float>(own[0]), static_cast<float>(own[1]),
                                 static_cast<float>(own[2])};
        appendTuple(out, values, 3);
    });
    out.append('\n');
    if (fitted.uvs != nullptr) {
        writeArray(out, "texCoord2f[] primvars:st", fitted.vertexCount,
                   [&](int v) { appendTuple(out, fitted.uvs + 2 * v, 2); });
        out.append(" (\n            interpolation = \"vertex\"\n        )\n");
    }
    out.append("    }\n");
}
