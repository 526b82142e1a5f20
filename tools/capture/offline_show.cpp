// The show is started with the clock at 0, so its start-up sets
// startDemoTime to 0 and every later show time is exactly the clock's value.
#include "offline_show.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cassert>

#include "demo/demo.h"
#include "demo/scheduler.h"
#include "music/music.h"
#include "platform/platform.h"

OfflineShow::OfflineShow(int framesPerSecond) : fps(framesPerSecond) {
  assert(fps > 0 && "an offline show needs a positive frame rate");
  window.onSwap = [this] {
    if (onFrame) onFrame();
  };
}

OfflineShow::~OfflineShow() {
  if (started) platform::UseBackend(nullptr);
}

void OfflineShow::Start() {
  platform::UseBackend(&window);
  MusicSetOffline(true);
  window.SetTime(0.0);
  started = true;
  init();
  // Every tick spawns, however many frames a second: a 30 fps video runs
  // two a frame and spawns as the 60 fps one does.
  scheduleClock().catchUp = ScheduleClock::EVERY_TICK;
}

void OfflineShow::Frame(long n, const std::function<void()>& wanted) {
  const double t = TimeOf(n);
  window.SetTime(t);
  onFrame = wanted;
  display(1.0f / static_cast<float>(fps));
  onFrame = nullptr;
}

void OfflineShow::RunUndrawn(long n) {
  glEnable(GL_RASTERIZER_DISCARD);
  window.SetUndrawn(true);
  Frame(n);
  window.SetUndrawn(false);
  glDisable(GL_RASTERIZER_DISCARD);
}

bool OfflineShow::Running() const { return running != 0; }

void OfflineShow::Finish() { done(); }

std::vector<unsigned char> OfflineShow::TopDownPixels() const {
  std::vector<unsigned char> pixels = window.ReadPixels();
  const int height = window.PixelHeight();
  const size_t row = static_cast<size_t>(window.PixelWidth()) * 4;
  for (int y = 0; y < height / 2; ++y) {
    unsigned char* top = pixels.data() + y * row;
    unsigned char* bottom = pixels.data() + (height - 1 - y) * row;
    std::swap_ranges(top, top + row, bottom);
  }
  return pixels;
}
