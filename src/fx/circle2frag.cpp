// Rides the circle ornaments' path over its own normalized age; the spin
// reads the platform timer directly, not the show clock.
#include "fx/circle2frag.h"

#include <GL/gl.h>

#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/flatview.h"
#include "fx/sprite.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

Texture* Circle2Frag::tex = nullptr;
Texture* Circle2Frag::tex3 = nullptr;

Circle2Frag::Circle2Frag() { type = 2; }

void Circle2Frag::InitFrom(const Circle1Frag& parent) {
  col = parent.col;
  alive = true;
  scale = 0.4f + RandomUnit();
  // These two draws are not used, but they belong to the shared sequence.
  RandomUnit();
  RandomCoin();
  time = parent.time;
  pos = parent.pos1;
  speed = parent.speed1;
  life = 1.5f * parent.life;
  texture = RandomCoin() ? tex : tex3;
}

void Circle2Frag::Render(float dt) {
  if (!alive) return;
  time += dt;
  if (time > life) {
    alive = false;
    return;
  }
  LoadFlatView();
  const platform::Drawing drawing(platform::Drawer::SPIN_SPRITE);

  // The inherited opacity holds until the last second, which fades from 0.4.
  if (time >= life - 1.0f) col.a = 0.4f * (life - time);

  const float u = time / life;
  if (texture != nullptr) {
    texture->enable();
    texture->bind();
  }
  glColor4fv(&col.r);
  const float v = Circle1Frag::moveTL.Eval(u);
  glTranslatef(pos.x + v * speed, pos.y, 0.0f);
  glScalef(scale, scale, scale);
  // 10 degrees a second of the raw timer, the same for every sprite.
  glRotatef(static_cast<float>(10.0 * platform::GetTime()), 0.0f, 0.0f, 1.0f);
  DrawSprite(texture, scale);
  if (texture != nullptr) texture->disable();
}

void Circle2Frag::Done() {}
