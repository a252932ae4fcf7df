#include "geometry/UnderlyingShapes.h"

#include <cmath>

const float kCircleKnots[12] = {0.0f,  0.0f, 0.0f,  0.25f, 0.25f, 0.5f,
                                0.5f,  0.75f, 0.75f, 1.0f,  1.0f,  1.0f};

const float kCircleWeight = static_cast<float>(std::sqrt(2.0) / 2.0);

NurbsSurface underlyingSurface;

namespace {

// The profile circle (u, index i) and the sweep circle (v, index j), unit radius.
constexpr float kProfileRadial[kShapeNetSize] = {-1, -1, 0, 1, 1, 1, 0, -1, -1};
constexpr float kProfileHeight[kShapeNetSize] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
constexpr float kSweepX[kShapeNetSize] = {0, -1, -1, -1, 0, 1, 1, 1, 0};
constexpr float kSweepY[kShapeNetSize] = {1, 1, 0, -1, -1, -1, 0, 1, 1};

float circleWeight(int k)
{
    return k % 2 == 0 ? 1.0f : kCircleWeight;
}

}  // namespace

namespace {

// A circle of the given radius and height scale, centred radialOffset from the
// z axis, swept round the axis. Products are formed in the order radius, sweep
// factor, weight, as the sphere's and the torus's formulas are written.
void buildRevolutionNet(ControlPoint net[kShapeNetSize * kShapeNetSize], float profileRadius,
                        float radialOffset)
{
    for (int i = 0; i < kShapeNetSize; ++i) {
        for (int j = 0; j < kShapeNetSize; ++j) {
            const float radial = profileRadius * kProfileRadial[i] + radialOffset;
            const float w = circleWeight(j) * circleWeight(i);
            ControlPoint& point = net[i * kShapeNetSize + j];
            point.x = radial * kSweepX[j] * w;
            point.y = radial * kSweepY[j] * w;
            point.z = profileRadius * kProfileHeight[i] * w;
            point.w = w;
        }
    }
}

}  // namespace

void buildSphereNet(ControlPoint net[kShapeNetSize * kShapeNetSize])
{
    buildRevolutionNet(net, kSphereRadius, 0.0f);
}

void buildTorusNet(ControlPoint net[kShapeNetSize * kShapeNetSize])
{
    buildRevolutionNet(net, kTorusTubeRadius, kTorusCentreRadius);
}

namespace {

void setupShape(const ControlPoint* net, NurbsSurface& surface)
{
    surface.release();
    surface.setup(2, 2, kShapeNetSize, kShapeNetSize, net, kCircleKnots, kCircleKnots,
                  kShapeSamples, kShapeSamples);
}

}  // namespace

void setupSphereSurface(NurbsSurface& surface)
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildSphereNet(net);
    setupShape(net, surface);
}

void setupTorusSurface(NurbsSurface& surface)
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildTorusNet(net);
    setupShape(net, surface);
}

bool setupShapeSurface(UnderlyingShape shape, NurbsSurface& surface)
{
    if (shape == UnderlyingShape::Sphere) {
        setupSphereSurface(surface);
    } else if (shape == UnderlyingShape::Torus) {
        setupTorusSurface(surface);
    } else {
        return false;
    }
    return true;
}
