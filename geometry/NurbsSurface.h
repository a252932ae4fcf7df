#ifndef TRESSMOOR_GEOMETRY_NURBSSURFACE_H
#define TRESSMOOR_GEOMETRY_NURBSSURFACE_H

#include <cstdint>

// One control point in weighted form: x, y and z are already multiplied by w.
struct ControlPoint {
    float x;
    float y;
    float z;
    float w;
};

// One evaluated sample of a surface.
struct SurfaceVertex {
    float position[3];
    float normal[3];
    float texCoord[2];  // s along u, t along v, each from 0 to 1
};

// How NurbsSurface::draw sends its strips; Textured equals the Texture display mode.
enum class StripStyle : int32_t { Plain = 0, Textured = 3 };

// Which way NurbsSurface::draw sends the normals: as evaluated, or each turned to
// point away from the origin, for a closed surface about the origin that covers
// itself with opposite normals (the sphere) and must be lit from outside.
enum class NormalFacing : int32_t { AsEvaluated = 0, AwayFromOrigin = 1 };

class BasisTableCache;

// A rational tensor-product B-spline surface with a fixed tessellation grid.
// Basis polynomials are precomputed per knot span at setup and sampled once per
// tessellation, so evaluation is only weighted sums of control points.
class NurbsSurface {
public:
    NurbsSurface();
    ~NurbsSurface();
    NurbsSurface(const NurbsSurface&) = delete;
    NurbsSurface& operator=(const NurbsSurface&) = delete;

    // With a cache, the basis tables are copied from it when an earlier set-up
    // had the same knots, degrees and sample counts, and kept in it otherwise;
    // without one they are computed. Either way they are the same floats.
    void setup(int degreeU, int degreeV, int numCtrlU, int numCtrlV,
               const ControlPoint* net, const float* knotsU, const float* knotsV,
               int samplesU, int samplesV, BasisTableCache* cache = nullptr);
    void setTessellation(int samplesU, int samplesV, BasisTableCache* cache = nullptr);
    void precomputeBasis(BasisTableCache* cache = nullptr);
    float basisCoefficient(const float* knots, int span, int i, int k, int m);
    void sampleBasis(BasisTableCache* cache = nullptr);
    void evaluateRow(int i);
    SurfaceVertex* evaluateGrid();
    void release();

    // Drawing code; defined with the view, the only place that calls GL.
    void draw(StripStyle style, NormalFacing facing = NormalFacing::AsEvaluated);

    ControlPoint* controlNet = nullptr;
    float* basisCoeffU = nullptr;
    float* basisCoeffV = nullptr;
    float* knotsU = nullptr;
    float* knotsV = nullptr;
    float* basisU = nullptr;
    float* basisDerivU = nullptr;
    float* basisV = nullptr;
    float* basisDerivV = nullptr;
    ControlPoint* rowSum = nullptr;
    ControlPoint* rowSumDu = nullptr;
    int* spanU = nullptr;
    int* spanV = nullptr;
    int degreeU = 0;
    int degreeV = 0;
    int orderU = 0;
    int orderV = 0;
    int numKnotsU = 0;
    int numKnotsV = 0;
    int numCtrlU = 0;
    int numCtrlV = 0;
    int numSpansU = 0;
    int numSpansV = 0;
    int samplesU = 0;
    int samplesV = 0;
    SurfaceVertex* stripVertices = nullptr;

private:
    // evaluateRow for the orders of the shapes and the strands, with every loop
    // unrolled and samples taken four at a time; the same operations in the same
    // order, so the same floats.
    template <int kOrderU, int kOrderV>
    void evaluateRowOfOrders(int i);
    void evaluateRowOfAnyOrder(int i);

    // Squared length of Pv x Pu at or below which a sample's normal is taken
    // from beside it instead; scaled by setup to the size of the control net.
    double degenerateLimitSq = 0.0;

    // The arrays setup sizes, and those setTessellation sizes, each come from
    // one allocation carved into them; release frees both.
    unsigned char* setupBlock = nullptr;
    unsigned char* tessellationBlock = nullptr;
};

#endif
