#include "hair/ChildStrands.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "hair/ChildSampling.h"
#include "hair/LittleEndian.h"
#include "hair/MeshGrowth.h"

namespace {

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// False, leaving v alone, when it is too short to have a direction.
bool normalise(float v[3])
{
    const float length = std::sqrt(dot(v, v));
    if (!(length > 1e-12f)) {
        return false;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

// Tangents at right angles to the normal: the direction of rotation about the
// shape's z axis where there is one, else whichever axis lies least along the normal.
void completeFrame(RootFrame& frame, const float* around)
{
    float tangent[3] = {0.0f, 0.0f, 0.0f};
    if (around != nullptr) {
        tangent[0] = -around[1];
        tangent[1] = around[0];
    }
    if (around == nullptr || !normalise(tangent)) {
        const float* n = frame.normal;
        const float ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
        const float axis[3] = {ax <= ay && ax <= az ? 1.0f : 0.0f,
                               ay < ax && ay <= az ? 1.0f : 0.0f, az < ax && az < ay ? 1.0f : 0.0f};
        cross(axis, n, tangent);
        normalise(tangent);
    }
    std::memcpy(frame.tangent, tangent, sizeof tangent);
    cross(frame.normal, frame.tangent, frame.bitangent);
}

// The frame at a root whose normal runs from `from` to `to`, or along `fallback`
// where the two are too close to give a direction.
RootFrame frameAlong(const float root[3], const float from[3], const float to[3],
                     const float fallback[3], const float* around)
{
    RootFrame frame;
    std::memcpy(frame.root, root, sizeof frame.root);
    for (int a = 0; a < 3; ++a) {
        frame.normal[a] = to[a] - from[a];
    }
    if (!normalise(frame.normal)) {
        std::memcpy(frame.normal, fallback, sizeof frame.normal);
    }
    completeFrame(frame, around);
    return frame;
}

// Around a guide of no known shape, the children's disc lies across its first step.
RootFrame strandFrame(const float root[3], const float next[3])
{
    const float up[3] = {0.0f, 1.0f, 0.0f};
    return frameAlong(root, root, next, up, nullptr);
}

}  // namespace

RootFrame meshFrame(const float root[3], const float normal[3])
{
    RootFrame frame;
    std::memcpy(frame.root, root, sizeof frame.root);
    std::memcpy(frame.normal, normal, sizeof frame.normal);
    completeFrame(frame, nullptr);
    return frame;
}

const char* childModeName(ChildMode mode)
{
    if (mode == ChildMode::Around) {
        return "around";
    }
    return mode == ChildMode::Between ? "between" : nullptr;
}

bool childModeFromName(const std::string& name, ChildMode& mode)
{
    for (ChildMode candidate : {ChildMode::Around, ChildMode::Between}) {
        if (name == childModeName(candidate)) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

float strandWidth(const ChildOutput& output, uint64_t point, uint64_t points)
{
    return output.rootWidth + (output.tipWidth - output.rootWidth) * fractionAlong(point, points);
}

bool widthsAreConstant(const ChildOutput& output)
{
    return output.rootWidth == output.tipWidth;
}

void GuideStrands::point(uint64_t n, float out[3]) const
{
    const unsigned char* bytes = points + n * 12;
    for (int a = 0; a < 3; ++a) {
        out[a] = readF32(bytes + 4 * a);
    }
}

void StrandRun::clear()
{
    points.clear();
    pointCounts.clear();
    guides.clear();
}

RootFrame shapeFrame(UnderlyingShape shape, const float point[3])
{
    if (shape == UnderlyingShape::Sphere || shape == UnderlyingShape::Torus) {
        float centre[3];
        shapeCentreNear(shape, point, centre);
        const float pole[3] = {0.0f, 0.0f, 1.0f};
        return frameAlong(point, centre, point, pole, point);
    }
    RootFrame frame;
    std::memcpy(frame.root, point, sizeof frame.root);
    const float up[3] = {0.0f, 1.0f, 0.0f};
    const float x[3] = {1.0f, 0.0f, 0.0f};
    const float z[3] = {0.0f, 0.0f, 1.0f};
    std::memcpy(frame.normal, up, sizeof up);
    std::memcpy(frame.tangent, x, sizeof x);
    std::memcpy(frame.bitangent, z, sizeof z);
    return frame;
}

ChildGenerator::ChildGenerator(const GuideStrands& guides, UnderlyingShape shape,
                               const ChildOptions& options)
    : guides(guides), shape(shape), options(options)
{
}

std::optional<ChildGenerator> ChildGenerator::make(const GuideStrands& guides,
                                                   UnderlyingShape shape,
                                                   const ChildOptions& options,
                                                   std::string& problem,
                                                   const MeshGround* ground,
                                                   bool fittedUnits)
{
    ChildGenerator generator(guides, shape, options);
    if (shape == UnderlyingShape::Mesh && ground != nullptr && ground->ready()) {
        generator.ground = ground;
        generator.fittedUnits = fittedUnits;
    }
    if (options.mode == ChildMode::Between && options.children > 0) {
        if (!isUnderlyingShape(shape) && !generator.onMesh()) {
            problem = "children between guides need the shape the hair grew on";
            return std::nullopt;
        }
        for (uint64_t g = 1; g < guides.strandCount(); ++g) {
            if (guides.pointCount(g) != guides.pointCount(0)) {
                problem = "children between guides need guides of one length";
                return std::nullopt;
            }
        }
        if (guides.strandCount() > 0) {
            generator.prepareBetween();
        }
    }
    return generator;
}

uint64_t ChildGenerator::childCount() const
{
    return guides.strandCount() * options.children;
}

uint64_t ChildGenerator::childPoints(uint64_t g) const
{
    // Between guides every child has the guides' one length.
    return guides.pointCount(options.mode == ChildMode::Between ? 0 : g);
}

uint64_t ChildGenerator::childPointCount() const
{
    if (guides.strandCount() == 0) {
        return 0;
    }
    const uint64_t guidePoints = options.mode == ChildMode::Between
                                     ? guides.strandCount() * guides.pointCount(0)
                                     : guides.starts.back() - guides.starts.front();
    return guidePoints * options.children;
}

float ChildGenerator::childReach() const
{
    // On a mesh the surface point nearest the disc's edge is at most the
    // radius further from it.
    const float radius = onMesh() ? 2.0f * options.radius : options.radius;
    return options.children > 0 ? radius + options.frizz : 0.0f;
}

RootFrame ChildGenerator::guideFrame(uint64_t g) const
{
    const uint64_t first = guides.starts[g];
    float root[3];
    guidePoint(first, root);
    if (isUnderlyingShape(shape)) {
        return shapeFrame(shape, root);
    }
    SurfacePoint at;
    if (onMesh() && ground->nearest.nearestPoint(root, at)) {
        return meshFrame(root, at.normal);
    }
    float next[3] = {root[0], root[1] + 1.0f, root[2]};
    if (guides.pointCount(g) > 1) {
        guidePoint(first + 1, next);
    }
    return strandFrame(root, next);
}

void ChildGenerator::guidePoint(uint64_t n, float out[3]) const
{
    guides.point(n, out);
    if (onMesh() && !fittedUnits) {
        const double own[3] = {out[0], out[1], out[2]};
        double fitted[3];
        ground->fit.toFitted(own, fitted);
        for (int a = 0; a < 3; ++a) {
            out[a] = static_cast<float>(fitted[a]);
        }
    }
}

void ChildGenerator::toOutputUnits(StrandRun& run, size_t first) const
{
    if (!onMesh() || fittedUnits) {
        return;
    }
    for (size_t k = first; k + 2 < run.points.size(); k += 3) {
        const double fitted[3] = {run.points[k], run.points[k + 1], run.points[k + 2]};
        double own[3];
        ground->fit.toMesh(fitted, own);
        for (int a = 0; a < 3; ++a) {
            run.points[k + a] = static_cast<float>(own[a]);
        }
    }
}

bool ChildGenerator::meshCoordinatesAt(const float root[3], float st[2]) const
{
    if (!onMesh()) {
        return false;
    }
    const double own[3] = {root[0], root[1], root[2]};
    double fitted[3] = {own[0], own[1], own[2]};
    if (!fittedUnits) {
        ground->fit.toFitted(own, fitted);
    }
    const float point[3] = {static_cast<float>(fitted[0]), static_cast<float>(fitted[1]),
                            static_cast<float>(fitted[2])};
    SurfacePoint at;
    if (!ground->nearest.nearestPoint(point, at)) {
        return false;
    }
    st[0] = at.uv[0];
    st[1] = at.uv[1];
    return true;
}

ChildCursor ChildGenerator::broodStart(uint64_t g) const
{
    ChildCursor cursor;
    cursor.guide = g;
    cursor.state = ChildRandom(options.seed, g).state;
    return cursor;
}

void ChildGenerator::generate(uint64_t g, StrandRun& run) const
{
    ChildCursor cursor = broodStart(g);
    generate(cursor, options.children, run);
}

void ChildGenerator::generate(ChildCursor& cursor, uint64_t end, StrandRun& run) const
{
    end = std::min<uint64_t>(end, options.children);
    if (cursor.child >= end || cursor.guide >= guides.strandCount()) {
        return;
    }
    if (options.mode == ChildMode::Between) {
        generateBetween(cursor, end, run);
    } else {
        generateAround(cursor, end, run);
    }
}

// A child's draws: where it roots, then a stray for every point when there is
// frizz (see appendFrizzed).
void ChildGenerator::skip(ChildCursor& cursor, uint64_t end) const
{
    end = std::min<uint64_t>(end, options.children);
    if (cursor.child >= end || cursor.guide >= guides.strandCount()) {
        return;
    }
    ChildRandom random(cursor.state);
    const uint64_t n = childPoints(cursor.guide);
    for (; cursor.child < end; ++cursor.child) {
        float root[3];
        if (options.mode == ChildMode::Between && onMesh()) {
            random.next();
        } else if (options.mode == ChildMode::Between) {
            rootOnShape(shape, random, root);
        } else {
            pointInDisc(random, root[0], root[1]);
        }
        for (uint64_t i = 0; options.frizz > 0.0f && i < n; ++i) {
            pointInBall(random, root);
        }
    }
    cursor.state = random.state;
}
