// Texture rows run top row first, so t = 0 is the upper edge of the square.
#include "fx/spritequad.h"

#include <GL/gl.h>

#include "platform/draw_tally.h"

void SpriteQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-1.0f, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-1.0f, 1.0f);
  glEnd();
  platform::CountDraw(4);
}
