#ifndef TRESSMOOR_VIEW_STRANDLINES_H
#define TRESSMOOR_VIEW_STRANDLINES_H

#include <vector>

#include "view/DrawPass.h"

// Strands drawn as lit line strips from vertex arrays, a batch at a time: the
// children a picture adds to the grown hair, and another program's strands.
struct LineBatch {
    std::vector<float> points;   // x, y, z per point
    std::vector<float> normals;  // x, y, z per point, for the lighting
    std::vector<int> firsts;     // each strip's first point
    std::vector<int> counts;     // each strip's points
    // In Texture mode, each point's place along its strip from 0 at the root to
    // 1 at the tip, where the hair texture fades as along a strand's tube.
    bool textured = false;
    std::vector<float> texCoords;

    void clear();
    // A strip of count points, the last count in points; their normals run across
    // each segment, turned from the given normal, so a line is lit as a thin tube
    // lying on the surface it grows from would be.
    void closeStrip(int count, const float normal[3]);
};

// glMultiDrawArrays, where the GL has it; null draws strip by strip.
using MultiDrawArrays = void (*)(unsigned mode, const int* first, const int* count, int drawcount);

// Between begin and end the camera is the draw pass's and the vertex and normal
// arrays are on; the lighting and material are the pass's own. The view's
// depthReach must hold the lines and the pass's scene alike, so that both are
// drawn with one depth.
// Textured lines take the hair texture, bound and enabled between the two.
void beginStrandLines(const ViewState& view, bool textured = false);
void drawStrandLines(const LineBatch& batch, MultiDrawArrays multiDrawArrays);
void endStrandLines(const ViewState& view, bool textured = false);

#endif
