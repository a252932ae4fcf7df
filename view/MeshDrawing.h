#ifndef TRESSMOOR_VIEW_MESHDRAWING_H
#define TRESSMOOR_VIEW_MESHDRAWING_H

class TriangleMesh;

// The user's mesh, fitted where the sphere sits, drawn in one call from its
// vertex arrays: smooth-shaded from its vertex normals with the current material
// and light, lit on the side its winding faces, in the current polygon mode (so
// as lines in Wireframe). Leaves the client arrays disabled.
void drawMesh(const TriangleMesh& mesh);

#endif
