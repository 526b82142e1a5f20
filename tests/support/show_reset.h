// Test helper: puts the show's globals back as they are at program start,
// so the tests of one binary do not see each other's effects. The spawn
// counts only grow (tests compare them before and after), and the frame
// clock's and the title's counters are function statics (see fresh_process.h).
#pragma once

#include "demo/demo.h"
#include "demo/scheduler.h"
#include "demo/showmusic.h"
#include "demo/timetable.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "fx/showclock.h"
#include "music/music.h"

// Deletes the images, meshes and motions the effects' statics point to, as
// start-up loads them (the show itself keeps them until it exits). Images
// go while the GL context still exists.
inline void ReleaseShowAssets() {
  for (int i = 0; i < Flora0Frag::SLOTS; ++i) {
    delete Flora0Frag::anim[i];
    delete Flora0Frag::mesh[i];
  }
  delete Circle1Frag::tex;
  delete Circle2Frag::tex;
  delete Circle2Frag::tex3;
}

// Deletes the live effects; the images, meshes and motions the effects'
// statics point to are let go of (see ReleaseShowAssets).
inline void ResetShow() {
  for (DemoFX* fx : frags) delete fx;
  frags.clear();
  running = 1;
  startDemoTime = 0.0f;
  FFT = nullptr;
  scheduleClock() = ScheduleClock();
  MusicSetTestSpectrum(nullptr);
  timetable = Timetable();
  showMusic = ShowMusic();
  MusicSetOffline(false);
  SetRandomState(1);
  for (int i = 0; i < Flora0Frag::SLOTS; ++i) {
    Flora0Frag::used[i] = false;
    Flora0Frag::anim[i] = nullptr;
    Flora0Frag::mesh[i] = nullptr;
  }
  Circle1Frag::tex = nullptr;
  Circle1Frag::moveTL = Timeline();
  Circle2Frag::tex = nullptr;
  Circle2Frag::tex3 = nullptr;
}
