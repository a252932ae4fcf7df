#include "view/StrandLines.h"

#include <GL/gl.h>

#include <cmath>

#include "view/HairDrawing.h"

void LineBatch::clear()
{
    points.clear();
    normals.clear();
    firsts.clear();
    counts.clear();
    texCoords.clear();
}

void LineBatch::closeStrip(int count, const float normal[3])
{
    const int first = static_cast<int>(points.size() / 3) - count;
    for (int i = 0; i < count; ++i) {
        // Along the strand: to the next point from the one before it, one-sided at the ends.
        const float* from = &points[3 * (first + (i > 0 ? i - 1 : i))];
        const float* to = &points[3 * (first + (i + 1 < count ? i + 1 : i))];
        float along[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
        const float alongSq = along[0] * along[0] + along[1] * along[1] + along[2] * along[2];
        float across[3] = {normal[0], normal[1], normal[2]};
        if (alongSq > 0.0f) {
            const float share =
                (normal[0] * along[0] + normal[1] * along[1] + normal[2] * along[2]) / alongSq;
            for (int a = 0; a < 3; ++a) {
                across[a] = normal[a] - share * along[a];
            }
            const float length =
                std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]);
            for (int a = 0; a < 3; ++a) {
                // A strand running straight along the normal keeps the normal itself.
                across[a] = length > 1e-6f ? across[a] / length : normal[a];
            }
        }
        normals.insert(normals.end(), across, across + 3);
        if (textured) {
            texCoords.push_back(count > 1 ? static_cast<float>(i) / static_cast<float>(count - 1) : 0.0f);
        }
    }
    firsts.push_back(first);
    counts.push_back(count);
}

void beginStrandLines(const ViewState& view, bool textured)
{
    pushViewCamera(view, view.depthReach);
    glLineWidth(1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (textured) {
        bindHairTexture();
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

void drawStrandLines(const LineBatch& batch, MultiDrawArrays multiDrawArrays)
{
    if (batch.counts.empty()) {
        return;
    }
    glVertexPointer(3, GL_FLOAT, 0, batch.points.data());
    glNormalPointer(GL_FLOAT, 0, batch.normals.data());
    if (!batch.texCoords.empty()) {
        glTexCoordPointer(1, GL_FLOAT, 0, batch.texCoords.data());
    }
    const int strips = static_cast<int>(batch.counts.size());
    if (multiDrawArrays != nullptr) {
        multiDrawArrays(GL_LINE_STRIP, batch.firsts.data(), batch.counts.data(), strips);
        return;
    }
    for (int s = 0; s < strips; ++s) {
        glDrawArrays(GL_LINE_STRIP, batch.firsts[s], batch.counts[s]);
    }
}

void endStrandLines(const ViewState& view, bool textured)
{
    if (textured) {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        // Left on, the texture would paint the next pass's plain surfaces.
        glDisable(GL_TEXTURE_2D);
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    popViewCamera(view, view.depthReach);
}
