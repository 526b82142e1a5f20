// Parameters come from the show's one generator in a fixed order, so a run
// replays the same ornaments; drawing is immediate mode in a flat 8 x 6 view.
#include "fx/circle1frag.h"

#include <GL/gl.h>

#include <cmath>

#include "foundation/generator.h"
#include "fx/flatview.h"
#include "fx/showclock.h"
#include "fx/sprite.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

const float gcol[12][3] = {
    {249 / 255.0f, 246 / 255.0f, 255 / 255.0f}, {238 / 255.0f, 235 / 255.0f, 236 / 255.0f},
    {231 / 255.0f, 227 / 255.0f, 208 / 255.0f}, {219 / 255.0f, 222 / 255.0f, 206 / 255.0f},
    {206 / 255.0f, 213 / 255.0f, 210 / 255.0f}, {197 / 255.0f, 181 / 255.0f, 146 / 255.0f},
    {94 / 255.0f, 116 / 255.0f, 117 / 255.0f},  {138 / 255.0f, 126 / 255.0f, 77 / 255.0f},
    {173 / 255.0f, 144 / 255.0f, 73 / 255.0f},  {165 / 255.0f, 114 / 255.0f, 64 / 255.0f},
    {139 / 255.0f, 69 / 255.0f, 63 / 255.0f},   {76 / 255.0f, 71 / 255.0f, 64 / 255.0f},
};

Texture* Circle1Frag::tex = nullptr;
Timeline Circle1Frag::moveTL;

namespace {

// The quadratic Bezier curve through p0, p1 (pulling) and p2 at t in 0..1.
Vector2 Bezier(const Vector2& p0, const Vector2& p1, const Vector2& p2, float t) {
  const float a = (1.0f - t) * (1.0f - t);
  const float b = 2.0f * t * (1.0f - t);
  const float c = t * t;
  return Vector2(a * p0.x + b * p1.x + c * p2.x, a * p0.y + b * p1.y + c * p2.y);
}

// An outline of 65 points from the top, clockwise, around the current origin.
void CircleLoop(float radius) {
  long points = 0;
  glBegin(GL_LINE_LOOP);
  for (float theta = 0.0f; theta < 6.28318f; theta += 0.09817469f, ++points) {
    glVertex2f(radius * std::sin(theta), radius * std::cos(theta));
  }
  glEnd();
  platform::CountDraw(points);
}

}  // namespace

Circle1Frag::Circle1Frag() {
  type = 1;
  pos1.x = 4.0f * RandomUnit() - 2.0f;
  pos1.y = 5.0f * RandomUnit() - 2.5f;
  pos2.x = 4.0f * RandomUnit() - 2.0f;
  pos2.y = 5.0f * RandomUnit() - 2.5f;
  speed1 = 1.0f + 0.7f * RandomUnit();
  speed2 = 1.0f + 0.7f * RandomUnit();
  if (RandomCoin()) speed1 = -speed1;
  if (RandomCoin()) speed2 = -speed2;
  life = 2.0f + 3.0f * RandomUnit();
  const float* rgb = gcol[RandomPick(12)];
  col = RGBA(rgb[0], rgb[1], rgb[2], 0.4f);
  radius1 = 0.4f + RandomUnit();
  radius2 = 0.4f + RandomUnit();
  const float phi1 = 6.28318f * RandomUnit();
  rim1 = Vector2(radius1 * std::sin(phi1), radius1 * std::cos(phi1));
  const float phi2 = 6.28318f * RandomUnit();
  rim2 = Vector2(radius2 * std::sin(phi2), radius2 * std::cos(phi2));
  ctrl.x = 7.0f * RandomUnit() - 3.5f;
  ctrl.y = 6.0f * RandomUnit() - 3.0f;
  alive = true;
  time = 0.0f;
  drawSprites = DemoTime() > 20.0f;
}

void Circle1Frag::Render(float dt) {
  time += dt;
  if (time > life) {
    alive = false;
    return;
  }
  LoadFlatView();

  // The last second fades from 0.4 to nothing.
  if (time >= life - 1.0f) col.a = 0.4f * (life - time);

  const float v = moveTL.Eval(time / life);
  const Vector2 c1(pos1.x + v * speed1, pos1.y);
  const Vector2 c2(pos2.x + v * speed2, pos2.y);

  const Vector2 p0(c1.x + rim1.x, c1.y + rim1.y);
  const Vector2 p2(c2.x + rim2.x, c2.y + rim2.y);
  {
    const platform::Drawing lines(platform::Drawer::CIRCLE_LINES);
    // Four of the show's pixels, however many the frame is drawn with.
    glLineWidth(4.0f * platform::PixelScale());
    glPushMatrix();
    glTranslatef(c1.x, c1.y, 0.0f);
    glColor4fv(&col.r);
    CircleLoop(radius1);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(c2.x, c2.y, 0.0f);
    CircleLoop(radius2);
    glPopMatrix();

    long points = 1;  // with the end point
    glBegin(GL_LINE_STRIP);
    // Twenty steps of 0.05 overshoot 1 by a rounding hair, so the end point
    // is emitted on its own.
    for (float t = 0.0f; t <= 1.0f; t += 0.05f, ++points) {
      const Vector2 b = Bezier(p0, ctrl, p2, t);
      glVertex2f(b.x, b.y);
    }
    glVertex2f(p2.x, p2.y);
    glEnd();
    platform::CountDraw(points);
  }

  if (!drawSprites) return;
  const platform::Drawing sprites(platform::Drawer::CIRCLE_SPRITES);
  // Without an image object the sprites are plain squares in the colour,
  // as they are for an image that failed to load.
  if (tex != nullptr) {
    tex->enable();
    tex->bind();
  }
  const float s = 0.7f * (1.0f - time / life);
  for (int i = 0; i <= 8; ++i) {
    const Vector2 b = Bezier(p0, ctrl, p2, i * 0.125f);
    glPushMatrix();
    glTranslatef(b.x, b.y, 0.0f);
    glScalef(s, s, 1.0f);
    DrawSprite(tex, s);
    glPopMatrix();
  }
  if (tex != nullptr) tex->disable();
}

void Circle1Frag::Done() {}
