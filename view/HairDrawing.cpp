#include "view/HairDrawing.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "geometry/NurbsSurface.h"
#include "hair/HairStore.h"
#include "view/DrawPass.h"

unsigned char hairTexture[kHairTextureSize * kHairTextureSize * 3];
unsigned int hairTextureName = 0;

namespace {

const void* hairTextureContext = nullptr;
bool hairTextureGenerated = false;

// Each channel decays by its own single-precision factor. The product is formed
// in double, where it is exact, before truncation: 80 * 0.95f gives 75, not 76.
int decay(int channel, float factor)
{
    return static_cast<int>(static_cast<double>(channel) * static_cast<double>(factor));
}

void createHairTexture()
{
    if (!hairTextureGenerated) {
        generateHairTexture();
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    hairTextureName = name;
    glBindTexture(GL_TEXTURE_2D, hairTextureName);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, kHairTextureSize, kHairTextureSize, GL_RGB,
                      GL_UNSIGNED_BYTE, hairTexture);
}

}  // namespace

void generateHairTexture()
{
    const float kRedDecay = 0.95f;
    const float kGreenDecay = 0.85f;
    const float kBlueDecay = 0.75f;
    // Every row starts white again and fades through beige, orange and dark red
    // to black along s, from the root of a strand to its tip; carried on across
    // rows, the channels would leave everything after row 0's start black.
    for (int row = 0; row < kHairTextureSize; ++row) {
        int red = 255;
        int green = 255;
        int blue = 255;
        unsigned char* texel = hairTexture + row * kHairTextureSize * 3;
        for (int column = 0; column < kHairTextureSize; ++column, texel += 3) {
            texel[0] = static_cast<unsigned char>(red);
            texel[1] = static_cast<unsigned char>(green);
            texel[2] = static_cast<unsigned char>(blue);
            red = decay(red, kRedDecay);
            green = decay(green, kGreenDecay);
            blue = decay(blue, kBlueDecay);
        }
    }
    hairTextureGenerated = true;
}

void useHairTextureContext(const void* context, bool contextIsNew)
{
    // A fresh context may sit at the address of one just destroyed, hence both tests.
    if (contextIsNew || context != hairTextureContext) {
        hairTextureName = 0;
        hairTextureContext = context;
    }
}

void bindHairTexture()
{
    if (hairTextureName == 0) {
        createHairTexture();
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, hairTextureName);
}

void drawHair(HairStore& store, DisplayMode displayMode)
{
    const StripStyle style =
        displayMode == DisplayMode::Texture ? StripStyle::Textured : StripStyle::Plain;
    for (int p = 0; p < store.clusterCount; ++p) {
        HairCluster& cluster = store.hairClusters[p];
        for (int q = 0; q < cluster.strandCount; ++q) {
            cluster.strands[q].draw(style);
        }
    }
}
