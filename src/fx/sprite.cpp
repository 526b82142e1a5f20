// Texture rows run top row first, so t = 0 is the upper edge of the square.
#include "fx/sprite.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "assets/texture.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

namespace {

// The flat view's pixels a unit at 800 x 600.
constexpr float SHOW_PIXELS_PER_UNIT = 100.0f;

void Corner(float x, float y) {
  glTexCoord2f(0.5f * (x + 1.0f), 0.5f * (1.0f - y));
  glVertex2f(x, y);
}

}  // namespace

float SpriteCornerCut(float reach, float sidePixels) {
  if (!(sidePixels > 0.0f)) return 2.0f;
  const float radius = 2.0f * (reach + 4.0f / sidePixels);  // in the square's units
  return std::clamp(radius * std::sqrt(2.0f), 1.0f, 2.0f);
}

void DrawSprite(const Texture* image, float halfSide) {
  const float side = 2.0f * halfSide * SHOW_PIXELS_PER_UNIT * platform::PixelScale();
  const float c = image != nullptr && image->name != 0 ? SpriteCornerCut(image->alphaReach, side) : 2.0f;
  if (c >= 2.0f) {
    glBegin(GL_QUADS);
    Corner(-1.0f, -1.0f);
    Corner(1.0f, -1.0f);
    Corner(1.0f, 1.0f);
    Corner(-1.0f, 1.0f);
    glEnd();
    platform::CountDraw(4);
    return;
  }
  // Counter-clockwise from the bottom edge, two points where each corner was.
  const float d = c - 1.0f;
  glBegin(GL_TRIANGLE_FAN);
  Corner(d, -1.0f);
  Corner(1.0f, -d);
  Corner(1.0f, d);
  Corner(d, 1.0f);
  Corner(-d, 1.0f);
  Corner(-1.0f, d);
  Corner(-1.0f, -d);
  Corner(-d, -1.0f);
  glEnd();
  platform::CountDraw(8);
}
