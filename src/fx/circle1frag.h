// The circle ornament: two outlined circles joined by a Bezier curve, in one
// palette colour at 40 % opacity, sliding sideways along the shared path,
// with shrinking sprites along the curve when born after the first 20 s.
#pragma once

#include "anim/timeline.h"
#include "assets/texture.h"
#include "foundation/color.h"
#include "foundation/vector2.h"
#include "fx/demofx.h"

// The ornaments' palette: twelve RGB colours, components 0..1.
extern const float gcol[12][3];

class Circle1Frag : public DemoFX {
 public:
  // Draws the sixteen random parameters; alive with age 0.
  Circle1Frag();
  ~Circle1Frag() override = default;
  // Advances the age by dt seconds and draws, or ends the effect once the
  // age exceeds life.
  void Render(float dt) override;
  void Done() override;

  // All positions are in the flat view x -4..4, y -3..3 (100 pixels a unit).
  RGBA col;             // alpha is the effect's opacity
  Vector2 pos1;         // base centre of the first circle
  Vector2 pos2;         // base centre of the second circle
  Vector2 rim1;         // first circle's centre to the start of the curve
  Vector2 ctrl;         // middle control point of the curve, absolute
  Vector2 rim2;         // second circle's centre to the end of the curve
  float speed1 = 0.0f;  // sideways travel per unit of path value; sign is direction
  float speed2 = 0.0f;
  float radius1 = 0.0f;
  float radius2 = 0.0f;
  float life = 0.0f;  // seconds
  bool drawSprites = false;

  static Texture* tex;     // the sprite image; borrowed
  static Timeline moveTL;  // sideways displacement over normalized age
};
