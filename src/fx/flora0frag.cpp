// Everything the scene switches on (light, depth, fog, blending off) is
// undone by the scheduler's attribute push/pop around each Render.
#include "fx/flora0frag.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/blending.h"
#include "platform/draw_tally.h"

bool Flora0Frag::used[SLOTS] = {false, false, false, false};
Animator* Flora0Frag::anim[SLOTS] = {nullptr, nullptr, nullptr, nullptr};
Mesh* Flora0Frag::mesh[SLOTS] = {nullptr, nullptr, nullptr, nullptr};

namespace {

constexpr float FOG_START = 0.5f;
constexpr float FOG_END = 5.1f;

bool ValidSlot(int slot) { return slot >= 0 && slot < Flora0Frag::SLOTS; }

}  // namespace

Flora0Frag::Flora0Frag() { type = 3; }

void Flora0Frag::Render(float dt) {
  if (!alive) return;
  // A scene with no slot or no motion has nothing to play and no end frame.
  if (!ValidSlot(slot) || anim[slot] == nullptr) {
    alive = false;
    return;
  }
  Animator& motion = *anim[slot];
  const float frame = time + 35.0f * dt;
  time = frame;
  // The end frame itself is never drawn.
  if (!(frame < motion.endFrame)) {
    alive = false;
    return;
  }

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, 1.3333333333333333, 0.01, 2000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0.0, 0.0, 5.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  motion.Animate(time);

  // GL_LIGHT0 keeps its default white light shining down -z.
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  const float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glDisable(GL_BLEND);

  // With the eye 5 units out, the origin keeps about 2 % of its colour:
  // only what comes towards the camera rises out of the black.
  const float fogColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, FOG_START);
  glFogf(GL_FOG_END, FOG_END);
  glFogfv(GL_FOG_COLOR, fogColour);
  glEnable(GL_FOG);

  if (mesh[slot] == nullptr) return;
  {
    const platform::Drawing drawing(platform::Drawer::MESH);
    for (MeshGroup& group : mesh[slot]->groups) group.Render();
  }
  // Drawn opaque, the scene would cover the background where the fog hides it.
  if (platform::CoverageAlpha()) {
    const platform::Drawing drawing(platform::Drawer::FOG_COVERAGE);
    for (MeshGroup& group : mesh[slot]->groups) group.RenderFogCoverage(FOG_START, FOG_END);
  }
}

void Flora0Frag::Done() {
  if (ValidSlot(slot)) used[slot] = false;
}
