#ifndef TRESSMOOR_GEOMETRY_UNDERLYINGSHAPES_H
#define TRESSMOOR_GEOMETRY_UNDERLYINGSHAPES_H

#include <cmath>
#include <cstdint>

#include "geometry/NurbsSurface.h"

// The shape the hair grows on; NoShape until one is built. The codes are the
// settings' own 32-bit values. Mesh is a user's own mesh, fitted where the
// sphere sits; it is no shape without that mesh, so it is not built-in.
enum class UnderlyingShape : int32_t { Torus = 3, Plane = 7, Sphere = 8, Mesh = 10, NoShape = 20 };

// Knot vector of both directions of the sphere and the torus: degree 2,
// nine control points, every interior knot doubled.
extern const float kCircleKnots[12];

// sqrt(2) / 2 rounded to single precision: the weight of a circle's odd points.
extern const float kCircleWeight;

// Whether the code is one of the three built-in shapes: not NoShape, nor Mesh,
// which needs its mesh, nor a code that names none, such as an unchecked value
// from a file.
constexpr bool isUnderlyingShape(UnderlyingShape shape)
{
    return shape == UnderlyingShape::Plane || shape == UnderlyingShape::Sphere ||
           shape == UnderlyingShape::Torus;
}

// The plane has no surface: it is the square y = 0 from -kPlaneHalfSide to
// kPlaneHalfSide in x and z, where the plane's hair grows and the view draws it.
constexpr float kPlaneHalfSide = 100.0f;

// Both curved shapes are centred at the origin and turn about the z axis.
constexpr float kSphereRadius = 100.0f;
constexpr float kTorusCentreRadius = 100.0f;  // the circle the tube's centre runs along
constexpr float kTorusTubeRadius = 50.0f;

// How far from the origin a point of the shape lies at most: the plane square's
// corners, the sphere's radius (a fitted mesh's bounding sphere too), the
// torus's outer equator.
constexpr float shapeReach(UnderlyingShape shape)
{
    return shape == UnderlyingShape::Plane    ? 1.41421356f * kPlaneHalfSide
           : shape == UnderlyingShape::Sphere ? kSphereRadius
           : shape == UnderlyingShape::Mesh   ? kSphereRadius
           : shape == UnderlyingShape::Torus  ? kTorusCentreRadius + kTorusTubeRadius
                                              : 0.0f;
}

// The point inside a curved shape that its surface lies around, nearest p: the
// sphere's centre, or the nearest point of the torus's centre circle (the origin
// for a point on the axis). Outward from a point of the shape is away from it.
template <typename Real>
void shapeCentreNear(UnderlyingShape shape, const Real p[3], Real centre[3])
{
    centre[0] = centre[1] = centre[2] = Real(0);
    if (shape == UnderlyingShape::Torus) {
        const Real axisDistance = std::sqrt(p[0] * p[0] + p[1] * p[1]);
        if (axisDistance > Real(0)) {
            centre[0] = kTorusCentreRadius * p[0] / axisDistance;
            centre[1] = kTorusCentreRadius * p[1] / axisDistance;
        }
    }
}

constexpr int kShapeNetSize = 9;        // control points per direction
constexpr int kShapeSamples = 20;       // sample intervals per direction

// The window's surface of the current sphere or torus; empty until one is built.
// Only the window and the programs' mains name it; everything else is handed
// the surface it works on.
extern NurbsSurface underlyingSurface;

// Fill a 9 x 9 u-major rational net (coordinates pre-multiplied by the weight).
void buildSphereNet(ControlPoint net[kShapeNetSize * kShapeNetSize]);
void buildTorusNet(ControlPoint net[kShapeNetSize * kShapeNetSize]);

// Release the surface and set it up as the sphere or the torus, 20 x 20 samples.
void setupSphereSurface(NurbsSurface& surface);
void setupTorusSurface(NurbsSurface& surface);
// The sphere's or the torus's builder by its shape; false, leaving the surface
// alone, for the plane, which has no surface, and for anything else.
bool setupShapeSurface(UnderlyingShape shape, NurbsSurface& surface);

#endif
