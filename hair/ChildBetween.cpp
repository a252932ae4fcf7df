#include <cmath>

#include "hair/ChildSampling.h"
#include "hair/ChildStrands.h"
#include "hair/MeshGrowth.h"

namespace {

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

}  // namespace

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

void ChildGenerator::prepareBetween()
{
    const uint64_t n = guides.pointCount(0);
    std::vector<float> roots;
    roots.reserve(guides.strandCount() * 3);
    localPoints.reserve(guides.strandCount() * n * 3);
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        const RootFrame frame = guideFrame(g);
        for (uint64_t i = 0; i < n; ++i) {
            float point[3];
            guidePoint(guides.starts[g] + i, point);
            const float d[3] = {point[0] - frame.root[0], point[1] - frame.root[1],
                                point[2] - frame.root[2]};
            localPoints.push_back(dot(d, frame.tangent));
            localPoints.push_back(dot(d, frame.normal));
            localPoints.push_back(dot(d, frame.bitangent));
        }
        roots.insert(roots.end(), frame.root, frame.root + 3);
    }
    rootGrid.emplace(roots);
}

// One draw of the brood's generator seeds the mesh's own, so a child's draws are
// known without finding its triangle (see skip).
void ChildGenerator::rootOnMesh(ChildRandom& random, RootFrame& frame) const
{
    SplitMix64 mix{random.next()};
    const SurfacePoint at = ground->areas.randomPoint(ground->mesh, mix);
    frame = meshFrame(at.position, at.normal);
}

// Each child roots anywhere on the shape and takes the shape of the guides nearest
// it: their points relative to their roots, in their own root frames, weighted by
// inverse distance and rebuilt in the child's frame, so it stands on the surface
// as they do.
void ChildGenerator::generateBetween(ChildCursor& cursor, uint64_t end, StrandRun& run) const
{
    ChildRandom random(cursor.state);
    const uint64_t n = guides.pointCount(0);
    for (; cursor.child < end; ++cursor.child) {
        RootFrame frame;
        if (onMesh()) {
            rootOnMesh(random, frame);
        } else {
            float drawn[3];
            rootOnShape(shape, random, drawn);
            frame = shapeFrame(shape, drawn);
        }
        const float* root = frame.root;
        uint32_t nearest[3];
        float distance[3];
        const int found = rootGrid->nearestThree(root, nearest, distance);
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
        const size_t firstFloat = run.points.size();
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
            appendFrizzed(run, point, options.frizz, fractionAlong(i, n), random);
        }
        toOutputUnits(run, firstFloat);
        run.pointCounts.push_back(static_cast<uint32_t>(n));
        run.guides.push_back(nearest[0]);
    }
    cursor.state = random.state;
}
