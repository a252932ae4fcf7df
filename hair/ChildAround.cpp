#include "hair/ChildSampling.h"
#include "hair/ChildStrands.h"
#include "hair/MeshGrowth.h"

// Each child keeps a fixed offset from its guide in the root's tangent plane,
// drawn in towards the guide along the strand by the clump. On a mesh the
// offset runs to the surface point nearest its end, so the child roots on it.
void ChildGenerator::generateAround(ChildCursor& cursor, uint64_t end, StrandRun& run) const
{
    const uint64_t g = cursor.guide;
    ChildRandom random(cursor.state);
    const RootFrame frame = guideFrame(g);
    const uint64_t first = guides.starts[g];
    const uint64_t n = guides.pointCount(g);
    for (; cursor.child < end; ++cursor.child) {
        float u = 0.0f;
        float v = 0.0f;
        pointInDisc(random, u, v);
        float offset[3];
        for (int a = 0; a < 3; ++a) {
            offset[a] = options.radius * (u * frame.tangent[a] + v * frame.bitangent[a]);
        }
        if (onMesh()) {
            const float end[3] = {frame.root[0] + offset[0], frame.root[1] + offset[1],
                                  frame.root[2] + offset[2]};
            SurfacePoint at;
            if (ground->nearest.nearestPoint(end, at)) {
                for (int a = 0; a < 3; ++a) {
                    offset[a] = at.position[a] - frame.root[a];
                }
            }
        }
        const size_t firstFloat = run.points.size();
        for (uint64_t i = 0; i < n; ++i) {
            float point[3];
            guidePoint(first + i, point);
            const float along = fractionAlong(i, n);
            const float keep = 1.0f - options.clump * along;
            for (int a = 0; a < 3; ++a) {
                point[a] += offset[a] * keep;
            }
            appendFrizzed(run, point, options.frizz, along, random);
        }
        toOutputUnits(run, firstFloat);
        run.pointCounts.push_back(static_cast<uint32_t>(n));
        run.guides.push_back(static_cast<uint32_t>(g));
    }
    cursor.state = random.state;
}
