#include "view/MeshDrawing.h"

#include <GL/gl.h>

#include "geometry/TriangleMesh.h"

void drawMesh(const TriangleMesh& mesh)
{
    if (mesh.triangleCount <= 0) {
        return;
    }
    glPushMatrix();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions);
    glNormalPointer(GL_FLOAT, 0, mesh.normals);
    // Counter-clockwise from outside is GL's front face, which the material lights.
    glDrawElements(GL_TRIANGLES, 3 * mesh.triangleCount, GL_UNSIGNED_INT, mesh.triangles);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}
