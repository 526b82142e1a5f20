// Start-up, the frame and shutdown in their fixed order. All loading comes
// before the show clock starts, so the timetable does not include it. Every
// time read goes through the platform layer, so tests and the capture tool
// can set it.
#include "demo/demo.h"

#include <GL/gl.h>

#include <cstdio>
#include <fstream>

#include "anim/animator.h"
#include "assets/font.h"
#include "assets/mesh.h"
#include "assets/texture.h"
#include "demo/credit.h"
#include "demo/overlay.h"
#include "demo/scheduler.h"
#include "demo/show_folder.h"
#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "foundation/debug.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flatview.h"
#include "fx/flora0frag.h"
#include "fx/showclock.h"
#include "music/music.h"
#include "platform/blending.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

int running = 1;
Font* font = nullptr;

namespace {

// The sprites sample the nearest mipmap level bilinearly rather than blending
// two levels: it is the largest share of a frame's cost on a software
// renderer, a quarter of it goes, and the two levels differ little in these
// soft images.
constexpr int SPRITE_FLAGS = Texture::SHOW_FLAGS | Texture::BILINEAR;

// The spectrum overlay, toggled in the live show; off unless asked for.
struct OverlaySwitch {
  bool on = false;
  bool keyWasDown = false;
} overlaySwitch;

void LoadAssets() {
  std::ifstream timeline("data/circlemove.timeline");
  Circle1Frag::moveTL.Load(timeline);
  timeline.close();

  Circle1Frag::tex = new Texture("data/c2.png", GL_TEXTURE_2D, SPRITE_FLAGS);
  Circle2Frag::tex = new Texture("data/circle3.png", GL_TEXTURE_2D, SPRITE_FLAGS);
  Circle2Frag::tex3 = new Texture("data/3.png", GL_TEXTURE_2D, SPRITE_FLAGS);

  // File n goes to slot n - 1, except that files 1 and 2 swap slots.
  const int slotOfFile[4] = {1, 0, 2, 3};
  for (int file = 1; file <= 4; ++file) {
    int slot = slotOfFile[file - 1];
    Flora0Frag::mesh[slot] = new Mesh("data/" + std::to_string(file) + ".mesh");
    Flora0Frag::anim[slot] = new Animator("data/" + std::to_string(file) + ".anim");
  }
  for (bool& used : Flora0Frag::used) used = false;

  frags.clear();
  font = new Font;
  StartShowMusic();
}

void ToggleOverlayOnKey() {
  bool down = platform::GetKey(platform::KEY_F1) == platform::PRESS;
  if (down && !overlaySwitch.keyWasDown) overlaySwitch.on = !overlaySwitch.on;
  overlaySwitch.keyWasDown = down;
}

}  // namespace

void init() {
  Log::Start("zarv.log", true);
  GuideIfShowFilesMissing(showMusic.path);
  if (!showMusic.fitReport.empty()) Log::Msg(showMusic.fitReport);
  platform::Init();
  platform::OpenWindow(platform::SHOW_WIDTH, platform::SHOW_HEIGHT, 0, 0, 0, 0, 16, 0, platform::FULLSCREEN);
  int drawnWidth = 0, drawnHeight = 0;
  platform::GetDrawnSize(&drawnWidth, &drawnHeight);
  glViewport(0, 0, drawnWidth, drawnHeight);
  platform::Enable(platform::STICKY_KEYS);
  platform::SwapInterval(1);
  platform::BlendOver();
  glEnable(GL_BLEND);
  glHint(GL_FOG_HINT, GL_NICEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  LoadAssets();
  startDemoTime = static_cast<float>(platform::GetTime());
  scheduleClock().Restart(0.0);
}

void display(float dt) {
  MusicFollow();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (DemoTime() > timetable.effectsFrom && DemoTime() < timetable.effectsUntil) processFX(dt);
  if (DemoTime() > timetable.fadeFrom) {
    LoadFlatView();
    platform::BlendFade();
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f - (timetable.effectsUntil - DemoTime()) * timetable.FadeSlope());
    {
      const platform::Drawing veil(platform::Drawer::VEIL);
      glRectf(-4.0f, -3.0f, 4.0f, 3.0f);
      platform::CountDraw(4);
    }
    platform::BlendOver();
    DrawCredit(showMusic.credit);
  }
  if (overlaySwitch.on) MusicDrawFFT();
  if (DemoTime() > timetable.showEnd) running = 0;
  platform::SwapBuffers();
  printFPS();
}

void done() {
  MusicDone();
  Log::End();
  // The font releases its texture with itself. Textures go while the GL
  // context still exists.
  delete font;
  font = nullptr;
  delete Circle2Frag::tex;
  Circle2Frag::tex = nullptr;
  // The list owns its effects: those still live when the show ends (all of
  // them after Escape) go as retired ones do, while the GL context exists.
  for (DemoFX* fx : frags) {
    fx->Done();
    delete fx;
  }
  frags.clear();
  platform::Terminate();
}

int runShow() {
  init();
  while (running) {
    running = platform::GetKey(platform::KEY_ESC) == platform::RELEASE &&
              platform::GetWindowParam(platform::OPENED) != 0;
    ToggleOverlayOnKey();
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
