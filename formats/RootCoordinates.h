#ifndef TRESSMOOR_FORMATS_ROOTCOORDINATES_H
#define TRESSMOOR_FORMATS_ROOTCOORDINATES_H

#include <vector>

#include "formats/HairCodec.h"
#include "geometry/UnderlyingShapes.h"

// Where each strand's root lies on the shape it grew on, as surface coordinates
// s, t from 0 to 1, two floats per strand in file order.
//
// Plane: x and z mapped from -100..100 to 0..1 (held to that range).
// Sphere and torus: every root is a copy of a sample of the 21 x 21 grid of
// shapeSurface, which the shape's builder has set up (the surface the hair grew
// on), so its coordinates are that sample's fractions of the u and v ranges.
// The grid is evaluated row by row, as evaluateGrid does but without its line on
// standard output. Samples that share a position (the sphere covers itself twice
// and collapses a row onto its pole; the torus's first and last rows and columns
// meet) resolve to the first of them in row-major order. False, leaving st empty,
// when a root matches no sample exactly, the surface has no such grid, or the
// shape is unknown.
bool rootSurfaceCoordinates(const HairStrands& strands, UnderlyingShape shape,
                            NurbsSurface& shapeSurface, std::vector<float>& st);

// The surface coordinates of any point on (or near) the shape, worked out from
// the shape's own parametrisation rather than matched against its grid: the
// children's roots lie between the samples. A point the shape covers twice takes
// the first covering in row-major order, as the roots do; a point on the axis
// takes the first column. False for an unknown shape.
bool shapeCoordinatesAt(UnderlyingShape shape, const float point[3], float st[2]);

#endif
