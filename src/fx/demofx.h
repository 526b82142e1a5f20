// The interface of every effect and the list of live effects. An effect
// draws one layer per frame in Render, advances its own clock and clears
// alive when it has finished; the scheduler then calls Done and deletes it.
#pragma once

#include <list>

class DemoFX {
 public:
  virtual ~DemoFX() = default;
  // Draws one frame and advances the effect's clock by dt seconds.
  virtual void Render(float /*dt*/) {}
  // Called once, just before the scheduler deletes the effect.
  virtual void Done() {}

  int type = 0;  // 1 Circle1Frag, 2 Circle2Frag, 3 Flora0Frag
  float time = 0.0f;
  bool alive = false;
};

// Live effects in drawing order, front to back; owns its effects.
extern std::list<DemoFX*> frags;
