#include <GL/gl.h>

#include "geometry/NurbsSurface.h"
#include "view/HairDrawing.h"

void NurbsSurface::draw(StripStyle style, NormalFacing facing)
{
    if (samplesU == 0 || samplesV == 0) {
        return;
    }
    const bool textured = style == StripStyle::Textured;
    // Two interleaved rows, read in slot order, are exactly the strip between them.
    const int stripCount = 2 * samplesV + 2;
    for (int i = 0; i <= samplesU; ++i) {
        evaluateRow(i);
        if (i == 0) {
            continue;
        }
        if (textured) {
            bindHairTexture();
        }
        glLineWidth(1.0f);
        glBegin(GL_TRIANGLE_STRIP);
        glColor3f(0.9f, 0.8f, 0.9f);
        for (int k = 0; k < stripCount; ++k) {
            const SurfaceVertex& vertex = stripVertices[k];
            const float* n = vertex.normal;
            const float* p = vertex.position;
            if (facing == NormalFacing::AwayFromOrigin && n[0] * p[0] + n[1] * p[1] + n[2] * p[2] < 0.0f) {
                glNormal3f(-n[0], -n[1], -n[2]);
            } else {
                glNormal3f(n[0], n[1], n[2]);
            }
            if (textured) {
                glTexCoord2f(vertex.texCoord[0], vertex.texCoord[1]);
            }
            glVertex3f(vertex.position[0], vertex.position[1], vertex.position[2]);
        }
        glEnd();
    }
    // Left on, the texture would paint the next Plain surface and the plane square.
    if (textured) {
        glDisable(GL_TEXTURE_2D);
    }
}
