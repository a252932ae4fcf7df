#ifndef TRESSMOOR_GEOMETRY_TRIANGLENEAREST_H
#define TRESSMOOR_GEOMETRY_TRIANGLENEAREST_H

// The point of triangle a, b, c nearest p, as the weights of b and c.
void nearestOnTriangle(const double p[3], const double a[3], const double b[3], const double c[3],
                       double& weightB, double& weightC);

#endif
