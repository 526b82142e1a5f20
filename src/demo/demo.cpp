// Start-up, the frame and shutdown in their fixed order. Every time read
// goes through the platform layer, so tests and the capture tool can set it.
#include "demo/demo.h"

#include <GL/gl.h>

#include <cstdio>

#include "demo/scheduler.h"
#include "foundation/debug.h"
#include "fx/demofx.h"
#include "fx/showclock.h"
#include "platform/platform.h"

int running = 1;

void init() {
  Log::Start("zarv.log", true);
  platform::Init();
  platform::OpenWindow(800, 600, 0, 0, 0, 0, 16, 0, platform::FULLSCREEN);
  glViewport(0, 0, 800, 600);
  platform::Enable(platform::STICKY_KEYS);
  platform::SwapInterval(0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glHint(GL_FOG_HINT, GL_NICEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  frags.clear();
  startDemoTime = static_cast<float>(platform::GetTime());
}

void display(float dt) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (DemoTime() > 5.0f && DemoTime() < 148.0f) processFX(dt);
  if (DemoTime() > 146.0f) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -3, 3, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f - (148.0f - DemoTime()) * 0.5f);
    glRectf(-4.0f, -3.0f, 4.0f, 3.0f);
  }
  if (DemoTime() > 151.0f) running = 0;
  platform::SwapBuffers();
  printFPS();
}

void done() {
  Log::End();
  platform::Terminate();
}

int runShow() {
  init();
  while (running) {
    running = platform::GetKey(platform::KEY_ESC) == platform::RELEASE &&
              platform::GetWindowParam(platform::OPENED) != 0;
    float dt = GetDT();
    display(dt);
  }
  done();
  return 0;
}

float GetDT() {
  static float oldDelta = 0.0f;
  double t = platform::GetTime();
  float dt = static_cast<float>(t - oldDelta);
  oldDelta = oldDelta + dt;
  return dt;
}

void printFPS() {
  static float prevt = 0.0f;
  static int fps = 0;
  float t = static_cast<float>(platform::GetTime());
  ++fps;
  if (t - prevt > 1.0f) {
    prevt = t;
    char title[64];
    std::snprintf(title, sizeof title, "%d (frags=%d)", fps, static_cast<int>(frags.size()));
    platform::SetWindowTitle(title);
    fps = 0;
  }
}
