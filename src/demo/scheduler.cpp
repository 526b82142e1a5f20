// Each effect draws inside a full attribute push/pop, so it starts from the
// frame's base GL state and cannot leak its own into the next effect.
// Creation comes after drawing and retiring: a new effect is first drawn in
// the next frame, and a Circle2Frag's parent is always a running effect.
// The rules count calls (one chance in ten a call, one ornament a call while
// the bass is loud), so they run on the clock's ticks rather than per frame:
// at 60 frames a second that is one tick a frame.
#include "demo/scheduler.h"

#include <GL/gl.h>

#include "anim/animator.h"
#include "demo/timetable.h"
#include "foundation/generator.h"
#include "fx/circle1frag.h"
#include "fx/circle2frag.h"
#include "fx/demofx.h"
#include "fx/flora0frag.h"
#include "fx/showclock.h"
#include "music/music.h"

float* FFT = nullptr;

namespace {

constexpr size_t MAX_EFFECTS = 15;

ScheduleCounts counts;
ScheduleClock ticks;

// A band's level, widened to double as the thresholds are; silent without music.
double Band(int band) { return FFT != nullptr ? static_cast<double>(FFT[band]) : 0.0; }

void RenderPass(float dt) {
  for (DemoFX* fx : frags) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    fx->Render(dt);
    glPopAttrib();
  }
}

void RetirePass() {
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

void MidRule() {
  if (frags.size() < MAX_EFFECTS) {
    Flora0Frag* flora = new Flora0Frag;
    for (int i = 0; i < 10; ++i) {
      int candidate = RandomPick(4);
      if (!Flora0Frag::used[candidate]) {
        TakeSlot(flora, candidate);
        break;
      }
    }
    frags.push_front(flora);
    ++counts.mid;
  } else if (frags.size() == MAX_EFFECTS) {
    // At exactly the cap slot 1 is taken whether or not it is free, which
    // makes the list 16 long.
    Flora0Frag* flora = new Flora0Frag;
    TakeSlot(flora, 1);
    frags.push_front(flora);
    ++counts.midForced;
  }
}

void ChanceRule() {
  if (RandomPick(10) != 1 || frags.size() >= MAX_EFFECTS) return;
  int r = RandomPick(10);
  if (r == 1) {
    frags.push_back(new Circle1Frag);
    ++counts.chanceCircle1;
  } else if (r >= 3 && r <= 5) {
    Circle2Frag* circle = new Circle2Frag;
    if (Circle1Frag* parent = FirstCircle()) circle->InitFrom(*parent);
    frags.push_back(circle);
    ++counts.chanceCircle2;
  }
}

// The spawn rules of one tick, with the show clock reading its time.
void SpawnTick(double seconds) {
  PinDemoTime(seconds);
  if (DemoTime() > timetable.effectsFrom && DemoTime() < timetable.effectsUntil) {
    FFT = MusicGetSpectrumAt(seconds);
    if (Band(BASS_BAND) > BASS_LEVEL && frags.size() < MAX_EFFECTS) {
      frags.push_back(new Circle1Frag);
      ++counts.bass;
    }
    if (Band(MID_BAND) > MID_LEVEL && DemoTime() > timetable.floraFrom) MidRule();
    ChanceRule();
  }
  UnpinDemoTime();
}

}  // namespace

void TakeSlot(Flora0Frag* flora, int slot) {
  flora->alive = true;
  flora->slot = slot;
  flora->time = Flora0Frag::anim[slot]->startFrame;
  Flora0Frag::used[slot] = true;
}

Circle1Frag* FirstCircle() {
  for (DemoFX* fx : frags) {
    if (fx->type == 1) return static_cast<Circle1Frag*>(fx);
  }
  return nullptr;
}

void processFX(float dt) {
  RenderPass(dt);
  RetirePass();
  const ScheduleClock::Ticks due = ticks.Due(ShowSeconds());
  for (long tick = due.first; tick < due.end; ++tick) SpawnTick(ScheduleClock::TimeOf(tick));
}

ScheduleClock& scheduleClock() { return ticks; }

const ScheduleCounts& scheduleCounts() { return counts; }
