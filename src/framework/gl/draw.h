#pragma once
// Immediate drawing helpers on the current GL context.

#include "framework/geometry.h"
#include "framework/gl/texture.h"

namespace framework::gl {

// Window-sized viewport and matrices: origin top-left, y downwards, one unit per pixel.
void setMatricesWindow(int width, int height);
// Sets the clear colour and clears colour (and depth, with depth writes on).
void clear(const ColorA& color, bool clearDepth = true);
// Texture coordinates (0, 0) at (x1, y1) and (1, 1) at (x2, y2).
void drawSolidRect(const Rectf& rect);
// The texture fills the rectangle, upright when the texture is flipped.
void draw(const TextureRef& texture, const Rectf& rect);
// Swap interval 1 (or 0) on the current context.
bool enableVerticalSync(bool enable = true);

}  // namespace framework::gl
