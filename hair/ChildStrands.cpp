#include "hair/ChildStrands.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "geometry/UnderlyingShapes.h"

namespace {

// SplitMix64: small, fast and the same on every machine. Each turn seeds its own
// from the options' seed and the turn, so turns may run in any order.
class ChildRandom {
public:
    ChildRandom(uint64_t seed, uint64_t turn) : state(mix(seed) ^ mix(turn + 0x632BE59BD9B4E019ull)) {}

    uint64_t next()
    {
        state += 0x9E3779B97F4A7C15ull;
        return mix(state);
    }

    // Uniform in [0, 1): 24 random bits, exact in a float.
    float unit() { return static_cast<float>(next() >> 40) * 0x1p-24f; }
    float signedUnit() { return 2.0f * unit() - 1.0f; }

private:
    static uint64_t mix(uint64_t z)
    {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    uint64_t state;
};

// Points are drawn by rejection, with no sine or cosine, so that children come
// out bit for bit alike wherever the C library's trigonometry differs.
void pointInDisc(ChildRandom& random, float& x, float& y)
{
    do {
        x = random.signedUnit();
        y = random.signedUnit();
    } while (x * x + y * y > 1.0f);
}

void pointInBall(ChildRandom& random, float out[3])
{
    do {
        out[0] = random.signedUnit();
        out[1] = random.signedUnit();
        out[2] = random.signedUnit();
    } while (out[0] * out[0] + out[1] * out[1] + out[2] * out[2] > 1.0f);
}

// A uniformly random direction in the plane: a point of the disc, made unit.
void directionInPlane(ChildRandom& random, float& x, float& y)
{
    float lengthSq = 0.0f;
    do {
        pointInDisc(random, x, y);
        lengthSq = x * x + y * y;
    } while (lengthSq < 1e-6f);
    const float length = std::sqrt(lengthSq);
    x /= length;
    y /= length;
}

float dot(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

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

// Tangents at right angles to the normal: the turn about the shape's z axis where
// there is one, else whichever axis lies least along the normal.
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

// A root spread uniformly by area over the shape.
void rootOnShape(UnderlyingShape shape, ChildRandom& random, float out[3])
{
    if (shape == UnderlyingShape::Sphere) {
        float lengthSq = 0.0f;
        do {
            pointInBall(random, out);
            lengthSq = dot(out, out);
        } while (lengthSq < 1e-6f);
        const float scale = kSphereRadius / std::sqrt(lengthSq);
        out[0] *= scale;
        out[1] *= scale;
        out[2] *= scale;
    } else if (shape == UnderlyingShape::Torus) {
        // The outer side of the tube has more area than the inner: a point of the
        // tube's circle is kept in proportion to its distance from the axis.
        const float outermost = kTorusCentreRadius + kTorusTubeRadius;
        float c = 0.0f;
        float s = 0.0f;
        float radial = 0.0f;
        do {
            directionInPlane(random, c, s);
            radial = kTorusCentreRadius + kTorusTubeRadius * c;
        } while (random.unit() * outermost >= radial);
        float x = 0.0f;
        float y = 0.0f;
        directionInPlane(random, x, y);
        out[0] = radial * x;
        out[1] = radial * y;
        out[2] = kTorusTubeRadius * s;
    } else {
        out[0] = kPlaneHalfSide * random.signedUnit();
        out[1] = 0.0f;
        out[2] = kPlaneHalfSide * random.signedUnit();
    }
}

// How far along its strand point i of n lies, from 0 at the root to 1 at the tip.
float fractionAlong(uint64_t i, uint64_t n)
{
    return n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.0f;
}

void appendFrizzed(StrandRun& batch, const float point[3], float frizz, float along,
                   ChildRandom& random)
{
    float stray[3] = {0.0f, 0.0f, 0.0f};
    if (frizz > 0.0f) {
        pointInBall(random, stray);
    }
    const float reach = frizz * along;
    for (int a = 0; a < 3; ++a) {
        batch.points.push_back(point[a] + reach * stray[a]);
    }
}

}  // namespace

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

float strandWidth(const ChildOptions& options, uint64_t point, uint64_t points)
{
    return options.rootWidth + (options.tipWidth - options.rootWidth) * fractionAlong(point, points);
}

bool widthsAreConstant(const ChildOptions& options)
{
    return options.rootWidth == options.tipWidth;
}

void GuideStrands::point(uint64_t n, float out[3]) const
{
    const unsigned char* bytes = points + n * 12;
    for (int a = 0; a < 3; ++a) {
        uint32_t bits = 0;
        for (int b = 3; b >= 0; --b) {
            bits = (bits << 8) | bytes[4 * a + b];
        }
        std::memcpy(&out[a], &bits, sizeof bits);
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
    std::string problem;
    if (options.mode != ChildMode::Between || options.children == 0 || guides.strandCount() == 0 ||
        !check(problem)) {
        return;
    }
    std::vector<RootFrame> frames;
    frames.reserve(guides.strandCount());
    const uint64_t n = guides.pointCount(0);
    localPoints.reserve(guides.strandCount() * n * 3);
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        const RootFrame frame = guideFrame(g);
        for (uint64_t i = 0; i < n; ++i) {
            float point[3];
            guides.point(guides.starts[g] + i, point);
            const float d[3] = {point[0] - frame.root[0], point[1] - frame.root[1],
                                point[2] - frame.root[2]};
            localPoints.push_back(dot(d, frame.tangent));
            localPoints.push_back(dot(d, frame.normal));
            localPoints.push_back(dot(d, frame.bitangent));
        }
        frames.push_back(frame);
    }
    buildRootGrid(frames);
}

bool ChildGenerator::check(std::string& problem) const
{
    if (options.mode != ChildMode::Between || options.children == 0) {
        return true;
    }
    if (!isUnderlyingShape(shape)) {
        problem = "children between guides need the shape the hair grew on";
        return false;
    }
    for (uint64_t g = 1; g < guides.strandCount(); ++g) {
        if (guides.pointCount(g) != guides.pointCount(0)) {
            problem = "children between guides need guides of one length";
            return false;
        }
    }
    return true;
}

uint64_t ChildGenerator::childCount() const
{
    return guides.strandCount() * options.children;
}

uint64_t ChildGenerator::childPointCount() const
{
    if (guides.strandCount() == 0) {
        return 0;
    }
    // Between guides every child has the guides' one length.
    const uint64_t guidePoints = options.mode == ChildMode::Between
                                     ? guides.strandCount() * guides.pointCount(0)
                                     : guides.starts.back() - guides.starts.front();
    return guidePoints * options.children;
}

RootFrame ChildGenerator::guideFrame(uint64_t g) const
{
    const uint64_t first = guides.starts[g];
    float root[3];
    guides.point(first, root);
    if (isUnderlyingShape(shape)) {
        return shapeFrame(shape, root);
    }
    float next[3] = {root[0], root[1] + 1.0f, root[2]};
    if (guides.pointCount(g) > 1) {
        guides.point(first + 1, next);
    }
    return strandFrame(root, next);
}

void ChildGenerator::generate(uint64_t g, StrandRun& batch) const
{
    if (options.children == 0 || g >= guides.strandCount()) {
        return;
    }
    if (options.mode == ChildMode::Between) {
        generateBetween(g, batch);
    } else {
        generateAround(g, batch);
    }
}

// Each child keeps a fixed offset from its guide in the root's tangent plane,
// drawn in towards the guide along the strand by the clump.
void ChildGenerator::generateAround(uint64_t g, StrandRun& batch) const
{
    ChildRandom random(options.seed, g);
    const RootFrame frame = guideFrame(g);
    const uint64_t first = guides.starts[g];
    const uint64_t n = guides.pointCount(g);
    for (uint32_t c = 0; c < options.children; ++c) {
        float u = 0.0f;
        float v = 0.0f;
        pointInDisc(random, u, v);
        float offset[3];
        for (int a = 0; a < 3; ++a) {
            offset[a] = options.radius * (u * frame.tangent[a] + v * frame.bitangent[a]);
        }
        for (uint64_t i = 0; i < n; ++i) {
            float point[3];
            guides.point(first + i, point);
            const float along = fractionAlong(i, n);
            const float keep = 1.0f - options.clump * along;
            for (int a = 0; a < 3; ++a) {
                point[a] += offset[a] * keep;
            }
            appendFrizzed(batch, point, options.frizz, along, random);
        }
        batch.pointCounts.push_back(static_cast<uint32_t>(n));
        batch.guides.push_back(static_cast<uint32_t>(g));
    }
}

// Each child roots anywhere on the shape and takes the shape of the guides nearest
// it: their points relative to their roots, in their own root frames, weighted by
// inverse distance and rebuilt in the child's frame, so it stands on the surface
// as they do.
void ChildGenerator::generateBetween(uint64_t g, StrandRun& batch) const
{
    ChildRandom random(options.seed, g);
    const uint64_t n = guides.pointCount(0);
    for (uint32_t c = 0; c < options.children; ++c) {
        float root[3];
        rootOnShape(shape, random, root);
        const RootFrame frame = shapeFrame(shape, root);
        uint32_t nearest[3];
        float distance[3];
        const int found = nearestGuides(root, nearest, distance);
        float share[3] = {0.0f, 0.0f, 0.0f};
        float total = 0.0f;
        for (int k = 0; k < found; ++k) {
            // A child rooted on a guide's root follows that guide alone.
            share[k] = distance[0] > 0.0f ? 1.0f / distance[k] : (k == 0 ? 1.0f : 0.0f);
            total += share[k];
        }
        for (int k = 0; k < found; ++k) {
            share[k] /= total;
        }
        for (uint64_t i = 0; i < n; ++i) {
            float local[3] = {0.0f, 0.0f, 0.0f};
            for (int k = 0; k < found; ++k) {
                const float* guideLocal = &localPoints[3 * (nearest[k] * n + i)];
                for (int a = 0; a < 3; ++a) {
                    local[a] += share[k] * guideLocal[a];
                }
            }
            float point[3];
            for (int a = 0; a < 3; ++a) {
                point[a] = root[a] + local[0] * frame.tangent[a] + local[1] * frame.normal[a] +
                           local[2] * frame.bitangent[a];
            }
            appendFrizzed(batch, point, options.frizz, fractionAlong(i, n), random);
        }
        batch.pointCounts.push_back(static_cast<uint32_t>(n));
        batch.guides.push_back(nearest[0]);
    }
}

// Guides rooted at one place share it: places in the order of their first guide.
// Cells are sized so that each holds a few places on average, whether the places
// fill a volume or, as here, cover a surface.
void ChildGenerator::buildRootGrid(const std::vector<RootFrame>& frames)
{
    std::vector<uint32_t> order(frames.size());
    for (uint32_t g = 0; g < order.size(); ++g) {
        order[g] = g;
    }
    auto samePlace = [&](uint32_t a, uint32_t b) {
        return std::memcmp(frames[a].root, frames[b].root, sizeof frames[a].root) == 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return std::memcmp(frames[a].root, frames[b].root, sizeof frames[a].root) < 0;
    });
    std::vector<uint32_t> firstGuides;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || !samePlace(order[k - 1], order[k])) {
            firstGuides.push_back(order[k]);
            placeStarts.push_back(static_cast<uint32_t>(k));
        }
        placeGuides.push_back(order[k]);
    }
    placeStarts.push_back(static_cast<uint32_t>(order.size()));
    for (uint32_t first : firstGuides) {
        placeRoots.insert(placeRoots.end(), frames[first].root, frames[first].root + 3);
    }

    const size_t places = firstGuides.size();
    float low[3] = {placeRoots[0], placeRoots[1], placeRoots[2]};
    float high[3] = {low[0], low[1], low[2]};
    for (size_t k = 0; k < places; ++k) {
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], placeRoots[3 * k + a]);
            high[a] = std::max(high[a], placeRoots[3 * k + a]);
        }
    }
    const float largest = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
    const float perSide = std::max(1.0f, std::cbrt(static_cast<float>(places)));
    cellSize = largest > 0.0f ? largest / perSide : 1.0f;
    size_t cells = 1;
    for (int a = 0; a < 3; ++a) {
        gridOrigin[a] = low[a];
        gridSize[a] = std::clamp(static_cast<int>((high[a] - low[a]) / cellSize) + 1, 1, 256);
        cells *= static_cast<size_t>(gridSize[a]);
    }

    auto cellOf = [&](const float* p) {
        size_t index = 0;
        for (int a = 2; a >= 0; --a) {
            const int i = std::clamp(static_cast<int>((p[a] - gridOrigin[a]) / cellSize), 0,
                                     gridSize[a] - 1);
            index = index * static_cast<size_t>(gridSize[a]) + static_cast<size_t>(i);
        }
        return index;
    };
    cellStarts.assign(cells + 1, 0);
    for (size_t k = 0; k < places; ++k) {
        ++cellStarts[cellOf(&placeRoots[3 * k]) + 1];
    }
    for (size_t c = 0; c < cells; ++c) {
        cellStarts[c + 1] += cellStarts[c];
    }
    cellPlaces.resize(places);
    std::vector<uint32_t> filled(cellStarts.begin(), cellStarts.end() - 1);
    for (size_t k = 0; k < places; ++k) {
        cellPlaces[filled[cellOf(&placeRoots[3 * k])]++] = static_cast<uint32_t>(k);
    }
}

// Shells of cells outward from the point's cell, until no cell further out can
// hold a root nearer than the third found: a point in a cell k shells away lies
// at least (k - 1) cells from the point.
int ChildGenerator::nearestGuides(const float point[3], uint32_t found[3], float distance[3]) const
{
    int centre[3];
    for (int a = 0; a < 3; ++a) {
        centre[a] = std::clamp(static_cast<int>(std::floor((point[a] - gridOrigin[a]) / cellSize)),
                               0, gridSize[a] - 1);
    }
    float bestSq[3] = {0.0f, 0.0f, 0.0f};
    int count = 0;
    const int wanted = static_cast<int>(std::min<size_t>(3, placeGuides.size()));

    // Equal distances keep the lower guide first, whatever the cell order.
    auto consider = [&](uint32_t g, float dSq) {
        auto nearer = [&](int k) { return dSq < bestSq[k] || (dSq == bestSq[k] && g < found[k]); };
        if (count == wanted && !nearer(wanted - 1)) {
            return false;
        }
        int k = count < wanted ? count++ : wanted - 1;
        for (; k > 0 && nearer(k - 1); --k) {
            bestSq[k] = bestSq[k - 1];
            found[k] = found[k - 1];
        }
        bestSq[k] = dSq;
        found[k] = g;
        return true;
    };
    auto visit = [&](int x, int y, int z) {
        if (x < 0 || y < 0 || z < 0 || x >= gridSize[0] || y >= gridSize[1] || z >= gridSize[2]) {
            return;
        }
        const size_t cell = (static_cast<size_t>(z) * gridSize[1] + static_cast<size_t>(y)) *
                                gridSize[0] + static_cast<size_t>(x);
        for (uint32_t m = cellStarts[cell]; m < cellStarts[cell + 1]; ++m) {
            const uint32_t place = cellPlaces[m];
            const float* r = &placeRoots[3 * place];
            const float d[3] = {r[0] - point[0], r[1] - point[1], r[2] - point[2]};
            const float dSq = dot(d, d);
            // A place's guides come in order, so once one is not taken none after it is.
            for (uint32_t k = placeStarts[place]; k < placeStarts[place + 1]; ++k) {
                if (!consider(placeGuides[k], dSq)) {
                    break;
                }
            }
        }
    };
    const int lastShell = std::max({gridSize[0], gridSize[1], gridSize[2]});
    for (int shell = 0; shell <= lastShell; ++shell) {
        for (int dx = -shell; dx <= shell; ++dx) {
            for (int dy = -shell; dy <= shell; ++dy) {
                const bool onSide = std::abs(dx) == shell || std::abs(dy) == shell;
                // Inside the shell's sides only its top and bottom cells are new.
                const int step = onSide || shell == 0 ? 1 : 2 * shell;
                for (int dz = -shell; dz <= shell; dz += step) {
                    visit(centre[0] + dx, centre[1] + dy, centre[2] + dz);
                }
            }
        }
        const float reach = static_cast<float>(shell) * cellSize;
        if (count == wanted && reach * reach >= bestSq[wanted - 1]) {
            break;
        }
    }
    for (int k = 0; k < count; ++k) {
        distance[k] = std::sqrt(bestSq[k]);
    }
    return count;
}
