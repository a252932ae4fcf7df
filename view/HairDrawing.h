#ifndef TRESSMOOR_VIEW_HAIRDRAWING_H
#define TRESSMOOR_VIEW_HAIRDRAWING_H

#include "view/DrawPass.h"

class HairStore;

constexpr int kHairTextureSize = 64;

// The procedural hair texture, 64 x 64 RGB texels, row 0 first.
extern unsigned char hairTexture[kHairTextureSize * kHairTextureSize * 3];

// The texture object holding hairTexture in the current context; 0 until the
// first textured strip of that context.
extern unsigned int hairTextureName;

// Fill hairTexture; the image never changes, so once is enough.
void generateHairTexture();

// Draw every current strand of the store, textured in the Texture display mode.
void drawHair(HairStore& store, DisplayMode displayMode);

// Enable texturing with the hair texture, creating it in the current context at first use.
void bindHairTexture();

// Called by the draw pass with the context it draws in. A texture name belongs to
// the context that made it, so it is forgotten when the context changes or is new.
void useHairTextureContext(const void* context, bool contextIsNew);

#endif
