// Both matrices are loaded, not multiplied: nothing of an earlier effect's
// transform survives.
#include "fx/flatview.h"

#include <GL/gl.h>

void LoadFlatView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4.0, 4.0, -3.0, 3.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
