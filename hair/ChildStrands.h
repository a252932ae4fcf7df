#ifndef TRESSMOOR_HAIR_CHILDSTRANDS_H
#define TRESSMOOR_HAIR_CHILDSTRANDS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geometry/UnderlyingShapes.h"
#include "hair/RootGrid.h"

class MeshGround;

// Child strands make sparse grown hair dense for a renderer: every grown strand
// is a guide, and children either clump around their guide or spread over the
// whole shape, each blended from the guides whose roots are nearest its own.
enum class ChildMode : int32_t { Around = 0, Between = 1 };

// What the generator needs to make children.
struct ChildOptions {
    uint32_t children = 0;  // per guide; none by default
    ChildMode mode = ChildMode::Around;
    float radius = 4.0f;    // of the disc around a guide's root that children root in
    float clump = 0.5f;     // 0 keeps the root's offset to the tip, 1 brings tips onto the guide's
    float frizz = 0.0f;     // the most a tip strays at random; none at the root
    uint64_t seed = 1;
};

// What a file or a picture makes of the guides and their children.
struct ChildOutput {
    float rootWidth = 2.0f;
    float tipWidth = 2.0f;
    // Whether the widths were asked for; otherwise a file's own thickness stands.
    bool widthsGiven = false;
    bool keepGuides = true;  // guides first, then children; otherwise children alone
};

// The child options as the tools take them: the children, and what is made of them.
struct ChildRequest {
    ChildOptions generation;
    ChildOutput output;
};

// The child options that are numbers with a unit or a share, in the order the
// text form writes them. The tools' options, their help and the README's table
// all follow it. Each is a field of the generation's options or of the output's.
struct ChildNumber {
    const char* option;  // the tools' option
    const char* name;    // in the text form a file carries
    float ChildOptions::*generationField;
    float ChildOutput::*outputField;
    float minimum;
    float maximum;
    const char* meaning;  // how the help describes it

    float& in(ChildRequest& request) const
    {
        return generationField != nullptr ? request.generation.*generationField
                                          : request.output.*outputField;
    }
    float in(const ChildRequest& request) const
    {
        return generationField != nullptr ? request.generation.*generationField
                                          : request.output.*outputField;
    }
    bool isWidth() const { return outputField != nullptr; }
};

inline constexpr float kLargestChildLength = 1000.0f;
inline constexpr int kChildNumberCount = 5;
inline constexpr ChildNumber kChildNumbers[kChildNumberCount] = {
    {"--child-radius", "radius", &ChildOptions::radius, nullptr, 0.0f, kLargestChildLength,
     "radius of the disc children root in"},
    {"--clump", "clump", &ChildOptions::clump, nullptr, 0.0f, 1.0f,
     "how far children draw in to the tip"},
    {"--frizz", "frizz", &ChildOptions::frizz, nullptr, 0.0f, kLargestChildLength,
     "the most a child's tip strays"},
    {"--root-width", "rootWidth", nullptr, &ChildOutput::rootWidth, 0.0f, kLargestChildLength,
     "width of every strand at its root"},
    {"--tip-width", "tipWidth", nullptr, &ChildOutput::tipWidth, 0.0f, kLargestChildLength,
     "width of every strand at its tip"},
};

// "around" and "between"; null for an unknown code.
const char* childModeName(ChildMode mode);
bool childModeFromName(const std::string& name, ChildMode& mode);

// The width of point i of a strand of n points: root width to tip width, linearly.
float strandWidth(const ChildOutput& output, uint64_t point, uint64_t points);
// Whether every point of a strand has the same width.
bool widthsAreConstant(const ChildOutput& output);

// The guides, read in place: strand s holds points starts[s] .. starts[s + 1] - 1,
// each three little-endian floats x, y, z, root first.
struct GuideStrands {
    const unsigned char* points = nullptr;
    std::vector<uint64_t> starts;

    uint64_t strandCount() const { return starts.empty() ? 0 : starts.size() - 1; }
    uint64_t pointCount(uint64_t s) const { return starts[s + 1] - starts[s]; }
    void point(uint64_t n, float out[3]) const;
};

// Strands with their points, a run at a time: a brood of children or a piece of
// one, or guides as a file holds them, so that a writer can stream them out.
struct StrandRun {
    std::vector<float> points;          // x, y, z, strand after strand
    std::vector<uint32_t> pointCounts;  // per strand
    // For a guide itself, for a child the guide it follows most closely.
    std::vector<uint32_t> guides;

    void clear();
    size_t strandCount() const { return pointCounts.size(); }
};

// A point where a strand grows out of its shape, with the surface's frame there:
// the outward normal and two tangents at right angles to it.
struct RootFrame {
    float root[3];
    float normal[3];
    float tangent[3];
    float bitangent[3];
};

class ChildRandom;

// Where the making of a guide's brood of children has got to: the next child,
// and the random state it is drawn from.
struct ChildCursor {
    uint64_t guide = 0;
    uint64_t child = 0;
    uint64_t state = 0;
};

// Makes the children of guides, a brood for each guide: around guide g its own
// children, between guides the g-th share of them. Only a generator whose
// options can be met exists.
class ChildGenerator {
public:
    // None, with the reason, when the options cannot be met: children between
    // guides need a known shape (NoShape when it is unknown, Mesh without its
    // ground) and guides of one length. The guides' bytes, and the ground, must
    // outlive the generator. On a mesh the guides are in the mesh's own units;
    // children are made in the ground's fitted units and given back in the
    // mesh's; with fittedUnits both stay fitted, as a picture draws them.
    static std::optional<ChildGenerator> make(const GuideStrands& guides, UnderlyingShape shape,
                                              const ChildOptions& options, std::string& problem,
                                              const MeshGround* ground = nullptr,
                                              bool fittedUnits = false);

    const GuideStrands& guideStrands() const { return guides; }
    const ChildOptions& childOptions() const { return options; }
    uint64_t childCount() const;
    uint64_t childPointCount() const;
    // The points of each child of guide g's brood.
    uint64_t childPoints(uint64_t g) const;

    // Append the whole brood of guide g (0 .. guide count - 1) to the run. The
    // same options and guide give the same floats on any machine, whichever
    // broods were made before.
    void generate(uint64_t g, StrandRun& run) const;

    // A brood in pieces: the cursor at its first child; children cursor.child ..
    // end - 1 appended, or only drawn past (as cheaply as the draws allow), each
    // leaving the cursor at end. Pieces come out as the whole brood would.
    ChildCursor broodStart(uint64_t g) const;
    void generate(ChildCursor& cursor, uint64_t end, StrandRun& run) const;
    void skip(ChildCursor& cursor, uint64_t end) const;

    // How far a child may stray from its guide's points: the disc it roots in
    // (on a mesh, twice its radius) and its frizz; none without children.
    float childReach() const;

    // The frame at a guide's root, as the children see it (on a mesh, in fitted units).
    RootFrame guideFrame(uint64_t g) const;

    // The mesh the children grow on; null for the other shapes.
    const MeshGround* meshGround() const { return onMesh() ? ground : nullptr; }
    // The mesh's uv at a root given in the mesh's own units; false off a mesh.
    bool meshCoordinatesAt(const float root[3], float st[2]) const;

private:
    ChildGenerator(const GuideStrands& guides, UnderlyingShape shape, const ChildOptions& options);
    void prepareBetween();
    void generateAround(ChildCursor& cursor, uint64_t end, StrandRun& run) const;
    void generateBetween(ChildCursor& cursor, uint64_t end, StrandRun& run) const;
    bool onMesh() const { return ground != nullptr && shape == UnderlyingShape::Mesh; }
    // A guide's point where children are made: on a mesh, in fitted units.
    void guidePoint(uint64_t n, float out[3]) const;
    // The points of run from float `first` on, from fitted units into the mesh's.
    void toOutputUnits(StrandRun& run, size_t first) const;
    // Between guides on a mesh: a root uniform by area, from one draw.
    void rootOnMesh(ChildRandom& random, RootFrame& frame) const;

    GuideStrands guides;
    UnderlyingShape shape;
    ChildOptions options;
    const MeshGround* ground = nullptr;
    bool fittedUnits = false;

    // Between guides: every guide's points relative to its root in the root's
    // frame (tangent, normal, bitangent), and the grid of their roots.
    std::vector<float> localPoints;
    std::optional<RootGrid> rootGrid;
};

// The frame of a shape at a point on it (or near it): Plane, Sphere, Torus.
RootFrame shapeFrame(UnderlyingShape shape, const float point[3]);

#endif
