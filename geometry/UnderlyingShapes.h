#ifndef TRESSMOOR_GEOMETRY_UNDERLYINGSHAPES_H
#define TRESSMOOR_GEOMETRY_UNDERLYINGSHAPES_H

#include "geometry/NurbsSurface.h"

// The shape the hair grows on; None until one is built.
enum UnderlyingShape { Torus = 3, Plane = 7, Sphere = 8, None = 20 };

// Knot vector of both directions of the sphere and the torus: degree 2,
// nine control points, every interior knot doubled.
extern const float kCircleKnots[12];

// sqrt(2) / 2 rounded to single precision: the weight of a circle's odd points.
extern const float kCircleWeight;

// The plane is the square y = 0 with x and z from -kPlaneHalfSide to kPlaneHalfSide.
constexpr float kPlaneHalfSide = 100.0f;

// Both curved shapes are centred at the origin and turn about the z axis.
constexpr float kSphereRadius = 100.0f;
constexpr float kTorusCentreRadius = 100.0f;  // the circle the tube's centre runs along
constexpr float kTorusTubeRadius = 50.0f;

constexpr int kShapeNetSize = 9;        // control points per direction
constexpr int kShapeSamples = 20;       // sample intervals per direction

// The surface of the current sphere or torus; empty until one is built.
extern NurbsSurface underlyingSurface;

// Fill a 9 x 9 u-major rational net (coordinates pre-multiplied by the weight).
void buildSphereNet(ControlPoint net[kShapeNetSize * kShapeNetSize]);
void buildTorusNet(ControlPoint net[kShapeNetSize * kShapeNetSize]);

// Release underlyingSurface and set it up as the sphere or the torus, 20 x 20 samples.
void setupSphereSurface();
void setupTorusSurface();

#endif
