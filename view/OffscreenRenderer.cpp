#include "view/OffscreenRenderer.h"

#include <GL/osmesa.h>

namespace {

constexpr int kDepthBits = 24;
constexpr int kStencilBits = 8;
constexpr int kColourChannels = 4;

OSMesaContext asContext(void* context)
{
    return static_cast<OSMesaContext>(context);
}

}  // namespace

OffscreenRenderer::~OffscreenRenderer()
{
    close();
}

void OffscreenRenderer::close()
{
    if (context != nullptr) {
        OSMesaDestroyContext(asContext(context));
        context = nullptr;
    }
    drawnBefore = false;
}

bool OffscreenRenderer::open(int frameWidth, int frameHeight, std::string& problem)
{
    close();
    if (frameWidth < 1 || frameHeight < 1) {
        problem = "a frame needs at least one pixel each way";
        return false;
    }
    OSMesaContext created = OSMesaCreateContextExt(OSMESA_RGBA, kDepthBits, kStencilBits, 0, nullptr);
    if (created == nullptr) {
        problem = "OSMesa could not create a context";
        return false;
    }
    context = created;
    colourBuffer.assign(static_cast<size_t>(frameWidth) * frameHeight * kColourChannels, 0);
    if (!OSMesaMakeCurrent(created, colourBuffer.data(), GL_UNSIGNED_BYTE, frameWidth, frameHeight)) {
        problem = "OSMesa refused a " + std::to_string(frameWidth) + " x " +
                  std::to_string(frameHeight) + " frame";
        close();
        return false;
    }
    // Bottom row first, the order glReadPixels and the PNG writer expect.
    OSMesaPixelStore(OSMESA_Y_UP, 1);
    width = frameWidth;
    height = frameHeight;
    return true;
}

void OffscreenRenderer::render(const ViewState& view, const SceneInputs& scene,
                               std::vector<unsigned char>& rgb)
{
    drawPass(view, scene);
    finishFrame(rgb);
}

void OffscreenRenderer::drawPass(const ViewState& view, const SceneInputs& scene)
{
    if (context == nullptr) {
        return;
    }
    // The first pass sets up the fixed state and the hair texture, as a new window does.
    drawScenePass(view, scene, {context, !drawnBefore, !drawnBefore, width, height});
    drawnBefore = true;
}

void OffscreenRenderer::finishFrame(std::vector<unsigned char>& rgb)
{
    if (context == nullptr) {
        rgb.clear();
        return;
    }
    // OSMesa copies the frame into its buffer when GL finishes.
    glFinish();
    const size_t pixels = static_cast<size_t>(width) * height;
    rgb.resize(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        rgb[i * 3] = colourBuffer[i * kColourChannels];
        rgb[i * 3 + 1] = colourBuffer[i * kColourChannels + 1];
        rgb[i * 3 + 2] = colourBuffer[i * kColourChannels + 2];
    }
}

MultiDrawArrays OffscreenRenderer::multiDrawArrays() const
{
    if (context == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<MultiDrawArrays>(OSMesaGetProcAddress("glMultiDrawArrays"));
}
