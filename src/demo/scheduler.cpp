// Each effect draws inside a full attribute push/pop, so it starts from the
// frame's base GL state and cannot leak its own into the next effect.
#include "demo/scheduler.h"

#include <GL/gl.h>

#include "fx/demofx.h"

void processFX(float dt) {
  for (DemoFX* fx : frags) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    fx->Render(dt);
    glPopAttrib();
  }
  for (auto it = frags.begin(); it != frags.end();) {
    DemoFX* fx = *it;
    if (fx->alive) {
      ++it;
      continue;
    }
    fx->Done();
    delete fx;
    it = frags.erase(it);
  }
}
