// The spinning sprite that trails a circle ornament: it takes the ornament's
// colour, first circle, speed and age, lives half as long again and turns
// with the raw timer, so every such sprite shows the same angle.
#pragma once

#include "assets/texture.h"
#include "foundation/color.h"
#include "foundation/vector2.h"
#include "fx/demofx.h"

class Circle1Frag;

class Circle2Frag : public DemoFX {
 public:
  // Not alive, white, at the origin: draws nothing until InitFrom.
  Circle2Frag();
  ~Circle2Frag() override = default;
  // Takes colour, position, speed and age from parent and makes four draws
  // (size, two that go unused, the image's coin); alive afterwards.
  void InitFrom(const Circle1Frag& parent);
  // Advances the age by dt seconds and draws, or ends the effect once the
  // age exceeds life. Does nothing while not alive.
  void Render(float dt) override;
  void Done() override;

  RGBA col;                    // tint and opacity of the sprite
  Vector2 pos;                 // base position, flat view units
  Texture* texture = nullptr;  // tex or tex3; borrowed
  float life = 0.0f;           // seconds
  float speed = 0.0f;          // sideways travel per unit of path value; sign is direction
  float scale = 0.0f;          // half the sprite's side, view units

  static Texture* tex;   // one of the two images; borrowed
  static Texture* tex3;  // the other
};
