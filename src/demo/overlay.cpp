// The overlay reads the spectrum the scheduler fetched last. Without one (no
// music, or before the scheduler's first frame) it draws no graph, and the
// band under a cursor outside the window is clamped to the 512 bands.
#include "demo/overlay.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "assets/font.h"
#include "demo/demo.h"
#include "demo/scheduler.h"
#include "fx/showclock.h"
#include "music/music.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

void MusicDrawFFT() {
  const platform::Drawing drawing(platform::Drawer::OVERLAY);
  // Its lines are one of the show's pixels wide, whatever the effects set.
  glPushAttrib(GL_LINE_BIT);
  glLineWidth(platform::PixelScale());
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, 255, 0, 0.5, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  if (FFT != nullptr) {
    glColor4f(1.0f, 1.0f, 1.0f, 0.4f);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < 255; ++i) glVertex2f(static_cast<float>(i), FFT[i]);
    glEnd();
    platform::CountDraw(255);
  }

  glColor4f(1.0f, 1.0f, 0.0f, 0.5f);
  long gridPoints = 0;
  glBegin(GL_LINES);
  for (float y = 0.0f; y <= 1.0f; y += 0.1f, gridPoints += 2) {
    glVertex2f(0.0f, y);
    glVertex2f(255.0f, y);
  }
  glEnd();
  platform::CountDraw(gridPoints);

  int mx = 0, my = 0;
  platform::GetMousePos(&mx, &my);
  GLdouble projection[16], modelview[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  const GLint viewport[4] = {0, 0, platform::SHOW_WIDTH, platform::SHOW_HEIGHT};
  GLdouble ox = 0.0, oy = 0.0, oz = 0.0;
  gluUnProject(mx, platform::SHOW_HEIGHT - my, 0.0, modelview, projection, viewport, &ox, &oy, &oz);

  glColor4f(0.3f, 1.0f, 0.3f, 0.8f);
  glBegin(GL_LINES);
  if (FFT != nullptr) {
    int band = std::clamp(static_cast<int>(ox), 0, 511);
    glVertex2f(0.0f, FFT[band]);
    glVertex2f(255.0f, FFT[band]);
  }
  glVertex2d(ox, 0.0);
  glVertex2d(ox, 1.0);
  glEnd();
  platform::CountDraw(FFT != nullptr ? 4 : 2);

  if (font != nullptr) {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    font->Print(10, 580, 18, "%f %f", ox, oy);
    font->Print(10, 530, 20, "%.2f", DemoTime());
    // The music's position under the show clock: the two drift apart when the
    // output's clock runs at another rate than the system's.
    font->Print(10, 505, 20, "music %.2f", MusicPosition());
  }

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}
