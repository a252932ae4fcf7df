#ifndef TRESSMOOR_VIEW_OFFSCREENRENDERER_H
#define TRESSMOOR_VIEW_OFFSCREENRENDERER_H

#include <string>
#include <vector>

#include "view/DrawPass.h"
#include "view/StrandLines.h"

// Runs the view's draw pass without a window or a display: an OSMesa context
// that draws into main memory, with the colour, depth and stencil buffers the
// pass uses. One renderer draws any number of frames of one size.
class OffscreenRenderer {
public:
    OffscreenRenderer() = default;
    ~OffscreenRenderer();
    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // Create the context for frames of width x height and make it current;
    // false with the reason when OSMesa refuses.
    bool open(int frameWidth, int frameHeight, std::string& problem);

    // One whole draw pass, finished, and its frame as 8-bit RGB, rows from the
    // bottom up as glReadPixels gives them; no pixels before a successful open.
    void render(const ViewState& view, const SceneInputs& scene, std::vector<unsigned char>& rgb);

    // The same in two steps, so that more can be drawn after the pass in its
    // state (strands as lines): the pass, then the finished frame.
    void drawPass(const ViewState& view, const SceneInputs& scene);
    void finishFrame(std::vector<unsigned char>& rgb);

    // The context's glMultiDrawArrays, or null when OSMesa does not offer it.
    MultiDrawArrays multiDrawArrays() const;

    int width = 0;
    int height = 0;

private:
    void close();

    void* context = nullptr;  // the OSMesaContext, opaque to keep osmesa.h out of callers
    std::vector<unsigned char> colourBuffer;  // RGBA; OSMesa draws into it
    bool drawnBefore = false;
};

#endif
