// The mesh scene: one of four prepared meshes moved by its keyframed
// animation, lit, fogged and seen through a fixed perspective camera, played
// from its first animation frame to its last at 35 frames a second.
#pragma once

#include "anim/animator.h"
#include "assets/mesh.h"
#include "fx/demofx.h"

class Flora0Frag : public DemoFX {
 public:
  static constexpr int SLOTS = 4;

  // Not alive and without a slot; the scheduler gives it one.
  Flora0Frag();
  ~Flora0Frag() override = default;
  // Advances time by 35 frames a second of dt and draws the scene, or ends
  // the effect once time reaches the slot animator's endFrame. Does nothing
  // while not alive.
  void Render(float dt) override;
  // Gives the slot back, if the effect holds one.
  void Done() override;

  int slot = -1;  // 0..3 while the effect holds a scene, -1 without

  // Per slot: taken by a running scene, and the scene's motion and mesh
  // (borrowed from start-up). Here time counts animation frames.
  static bool used[SLOTS];
  static Animator* anim[SLOTS];
  static Mesh* mesh[SLOTS];
};
