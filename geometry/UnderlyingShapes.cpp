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

void buildSphereNet(ControlPoint net[kShapeNetSize * kShapeNetSize])
{
    for (int i = 0; i < kShapeNetSize; ++i) {
        for (int j = 0; j < kShapeNetSize; ++j) {
            const float a = kProfileRadial[i];
            const float e = kProfileHeight[i];
            const float w = circleWeight(j) * circleWeight(i);
            ControlPoint& point = net[i * kShapeNetSize + j];
            point.x = 100.0f * a * kSweepX[j] * w;
            point.y = 100.0f * a * kSweepY[j] * w;
            point.z = 100.0f * e * w;
            point.w = w;
        }
    }
}

void buildTorusNet(ControlPoint net[kShapeNetSize * kShapeNetSize])
{
    for (int i = 0; i < kShapeNetSize; ++i) {
        for (int j = 0; j < kShapeNetSize; ++j) {
            const float a = kProfileRadial[i];
            const float e = kProfileHeight[i];
            const float w = circleWeight(j) * circleWeight(i);
            ControlPoint& point = net[i * kShapeNetSize + j];
            point.x = (50.0f * a + 100.0f) * kSweepX[j] * w;
            point.y = (50.0f * a + 100.0f) * kSweepY[j] * w;
            point.z = 50.0f * e * w;
            point.w = w;
        }
    }
}

namespace {

void setupShape(const ControlPoint* net)
{
    underlyingSurface.release();
    underlyingSurface.setup(2, 2, kShapeNetSize, kShapeNetSize, net, kCircleKnots, kCircleKnots,
                            kShapeSamples, kShapeSamples);
}

}  // namespace

void setupSphereSurface()
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildSphereNet(net);
    setupShape(net);
}

void setupTorusSurface()
{
    ControlPoint net[kShapeNetSize * kShapeNetSize];
    buildTorusNet(net);
    setupShape(net);
}
