// The soundtrack: sections of 2-second bars, chords, patterns and the
// melody, rendered per instrument into buses that are then mixed with
// kick-driven ducking, a reverb send and a stereo echo on the lead.
#include "score.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "instruments.h"

namespace {

constexpr double BAR = 2.0;
constexpr double STEP = BAR / 16.0;  // a sixteenth note
constexpr int BARS = 74;             // the last bar ends at 148 s

double At(int bar, double step) { return bar * BAR + step * STEP; }

enum Chord { AM, F, C, G, D, DM, EM };

struct ChordNotes {
  int bass;    // MIDI note of the bass root
  int pad[4];  // pad voicing
  int arp[4];  // arpeggio cycle, kept at or below E5
};

ChordNotes Notes(Chord c) {
  switch (c) {
    case AM:
      return {45, {57, 60, 64, 69}, {69, 72, 76, 72}};
    case F:
      return {41, {53, 57, 60, 64}, {65, 69, 72, 69}};
    case C:
      return {48, {55, 60, 64, 67}, {67, 72, 76, 72}};
    case G:
      return {43, {55, 59, 62, 67}, {67, 71, 74, 71}};
    case D:
      return {50, {54, 57, 62, 66}, {66, 69, 74, 69}};
    case DM:
      return {50, {53, 57, 62, 65}, {65, 69, 74, 69}};
    default:
      return {52, {55, 59, 64, 67}, {67, 71, 76, 71}};
  }
}

// What plays in one bar.
struct Bar {
  Chord chord = AM;
  bool kick = false;
  int hats = 0;  // 0 none, 1 eighths, 2 sixteenths with open offbeats
  bool clap = false;
  bool bass = false;
  double pad = 0.0;  // pad level
  double arp = 0.0;  // arpeggio level
  double arpBright = 0.5;
  bool lead = false;
  bool bells = false;  // the highlight bell line (F#5 over D bars)
};

const Chord MINOR_LOOP[4] = {AM, F, C, G};
const Chord LIFT_LOOP[4] = {AM, D, AM, D};

std::vector<Bar> Arrangement() {
  std::vector<Bar> bars(BARS);
  for (int i = 0; i < BARS; ++i) {
    Bar& b = bars[i];
    b.chord = MINOR_LOOP[i % 4];
    if (i < 4) {  // intro: pad and a dark arpeggio
      b.pad = 0.5 + 0.1 * i;
      b.arp = 0.3;
      b.arpBright = 0.15 + 0.05 * i;
    } else if (i < 8) {  // the kick arrives
      b.pad = 0.8;
      b.kick = true;
      b.hats = 1;
      b.arp = 0.35;
      b.arpBright = 0.3;
    } else if (i < 20) {  // build: bass, claps, brighter arpeggio
      b.pad = 0.7;
      b.kick = true;
      b.hats = i < 12 ? 1 : 2;
      b.clap = true;
      b.bass = true;
      b.arp = 0.45;
      b.arpBright = 0.3 + 0.03 * (i - 8);
      b.lead = i >= 16;
    } else if (i < 36) {  // main: the theme twice
      b.pad = 0.7;
      b.kick = true;
      b.hats = 2;
      b.clap = true;
      b.bass = true;
      b.arp = 0.4;
      b.arpBright = 0.7;
      b.lead = true;
    } else if (i < 48) {  // the lift: dorian D bars with bells, between minor loops
      const bool lift = (i >= 36 && i < 40) || (i >= 44 && i < 48);
      b.chord = lift ? LIFT_LOOP[i % 4] : MINOR_LOOP[i % 4];
      b.pad = 0.75;
      b.kick = true;
      b.hats = 2;
      b.clap = true;
      b.bass = true;
      b.arp = 0.4;
      b.arpBright = 0.7;
      b.lead = true;
      b.bells = lift;
    } else if (i < 56) {  // breakdown: no drums or bass; pads, arpeggio, bells
      b.chord = (i >= 50 && i < 52) ? LIFT_LOOP[i % 4] : MINOR_LOOP[i % 4];
      b.pad = 0.9;
      b.arp = 0.35;
      b.arpBright = 0.25 + 0.08 * (i - 48);
      b.hats = i >= 54 ? 1 : 0;
      b.lead = i >= 52;
      b.bells = i >= 50 && i < 52;
    } else if (i < 68) {  // finale: everything, two more lifts
      const bool lift = (i >= 60 && i < 62) || (i >= 66 && i < 68);
      b.chord = lift ? LIFT_LOOP[i % 4] : MINOR_LOOP[i % 4];
      b.pad = 0.75;
      b.kick = true;
      b.hats = 2;
      b.clap = true;
      b.bass = true;
      b.arp = 0.45;
      b.arpBright = 0.8;
      b.lead = true;
      b.bells = lift;
    } else {  // outro: thinning out to the fade
      b.pad = 0.8;
      b.kick = i < 72;
      b.hats = i < 70 ? 2 : 1;
      b.clap = i < 70;
      b.bass = i < 70;
      b.arp = 0.35;
      b.arpBright = 0.5 - 0.05 * (i - 68);
    }
  }
  return bars;
}

struct Note {
  double step;
  double length;  // sixteenths
  int note;
};

// The theme over the minor loop, eight bars.
const std::vector<Note> THEME[8] = {
    {{0, 3, 69}, {3, 3, 72}, {6, 6, 76}, {12, 2, 74}, {14, 2, 72}},
    {{0, 6, 72}, {6, 4, 69}, {10, 2, 67}, {12, 4, 69}},
    {{0, 3, 67}, {3, 3, 72}, {6, 4, 76}, {10, 2, 74}, {12, 4, 76}},
    {{0, 6, 74}, {6, 4, 71}, {10, 6, 67}},
    {{0, 3, 69}, {3, 3, 72}, {6, 6, 76}, {12, 4, 81}},
    {{0, 4, 76}, {4, 2, 74}, {6, 6, 72}, {12, 4, 69}},
    {{0, 3, 72}, {3, 3, 74}, {6, 6, 76}, {12, 2, 72}, {14, 2, 74}},
    {{0, 6, 71}, {6, 2, 69}, {8, 8, 71}},
};

// The lifted answer over Am D Am D, reaching F#5 over the D bars.
const std::vector<Note> LIFT[4] = {
    {{0, 4, 76}, {4, 2, 74}, {6, 2, 72}, {8, 4, 69}, {12, 4, 72}},
    {{0, 8, 78}, {8, 4, 76}, {12, 4, 74}},
    {{0, 4, 76}, {4, 4, 81}, {8, 4, 79}, {12, 4, 76}},
    {{0, 6, 78}, {6, 2, 81}, {8, 8, 78}},
};

// The bell line: over D bars it strikes F#5; over A minor bars it answers below.
const std::vector<Note> BELL_D = {{0, 4, 78}, {6, 2, 81}, {8, 4, 78}, {12, 4, 86}};
const std::vector<Note> BELL_AM = {{0, 4, 76}, {8, 4, 81}, {12, 4, 72}};

// Each pass below renders one part over the whole arrangement, bar by bar.

// The kick on every beat of the bars that have it, and a doubled last kick
// before each eight-bar phrase; returns the kick times, which the mix ducks under.
std::vector<double> KickPass(const std::vector<Bar>& bars, Stereo& kick) {
  std::vector<double> kicks;
  for (int i = 0; i < BARS; ++i) {
    if (!bars[i].kick) continue;
    for (int beat = 0; beat < 4; ++beat) {
      Kick(kick, At(i, beat * 4), 0.72);
      kicks.push_back(At(i, beat * 4));
    }
    if (i % 8 == 7) Kick(kick, At(i, 14), 0.45);
  }
  return kicks;
}

// Claps on the backbeat, the hats, and the snare roll that brings the drums back.
void DrumPass(const std::vector<Bar>& bars, Stereo& drums) {
  for (int i = 0; i < BARS; ++i) {
    const Bar& b = bars[i];
    if (b.clap) {
      Clap(drums, At(i, 4), 0.55, -0.1);
      Clap(drums, At(i, 12), 0.6, 0.1);
    }
    for (int s = 0; s < 16; ++s) {
      if (b.hats == 1 && s % 2 == 0) Hat(drums, At(i, s), s % 4 == 2 ? 0.35 : 0.18, false, 0.3);
      if (b.hats == 2) {
        if (s % 4 == 2) {
          Hat(drums, At(i, s), 0.28, true, -0.25);
        } else {
          Hat(drums, At(i, s), s % 2 == 0 ? 0.26 : 0.16, false, 0.3);
        }
      }
    }
    if (i == 55) {
      for (int s = 0; s < 16; ++s) Clap(drums, At(i, s), 0.15 + 0.03 * s, s % 2 ? 0.2 : -0.2);
    }
  }
}

// An offbeat-driven line: root on the offbeats, an octave jump and the fifth to close.
void BassPass(const std::vector<Bar>& bars, Stereo& bass) {
  const struct {
    double step;
    double length;
    int offset;
    double velocity;
  } line[] = {{2, 1.5, 0, 0.9},  {6, 1.5, 0, 0.85}, {7, 1, 12, 0.6},
              {10, 1.5, 0, 0.9}, {13, 1, 7, 0.7},   {14, 1.5, 0, 0.85}};
  for (int i = 0; i < BARS; ++i) {
    if (!bars[i].bass) continue;
    const ChordNotes chord = Notes(bars[i].chord);
    for (const auto& n : line) Bass(bass, At(i, n.step), n.length * STEP, chord.bass + n.offset, n.velocity);
  }
}

// The harmony bus: pads, the arpeggio, the bells and the two risers.
void HarmonyPass(const std::vector<Bar>& bars, Stereo& music) {
  for (int i = 0; i < BARS; ++i) {
    const Bar& b = bars[i];
    const ChordNotes chord = Notes(b.chord);
    if (b.pad > 0.0) {
      for (int v = 0; v < 4; ++v) Pad(music, At(i, 0), BAR, chord.pad[v], 0.09 * b.pad);
    }
    if (b.arp > 0.0) {
      for (int s = 0; s < 16; ++s) {
        const double accent = s % 4 == 0 ? 1.0 : 0.7;
        Pluck(music, At(i, s), chord.arp[s % 4] - (s >= 8 && s % 4 == 2 ? 12 : 0), 0.22 * b.arp * accent,
              s % 2 ? 0.45 : -0.45, b.arpBright);
      }
    }
    if (b.bells) {
      const std::vector<Note>& line = b.chord == D ? BELL_D : BELL_AM;
      for (const Note& n : line)
        Bell(music, At(i, n.step), n.note, n.note == 78 ? 0.42 : 0.22, n.note % 2 ? 0.3 : -0.3);
    }
    if (i == 19 || i == 55) Riser(music, At(i - 1, 0), 2.0 * BAR, 0.22);
  }
}

// The theme, or its lifted answer over the D bars and the bell passages.
void LeadPass(const std::vector<Bar>& bars, Stereo& lead) {
  int themeBar = 0;
  for (int i = 0; i < BARS; ++i) {
    const Bar& b = bars[i];
    if (!b.lead) continue;
    const bool lift = b.chord == D || (b.bells && b.chord == AM);
    const std::vector<Note>& phrase = lift ? LIFT[i % 4] : THEME[themeBar % 8];
    if (!lift) ++themeBar;
    const double level = i < 20 ? 0.12 : (i >= 48 && i < 56 ? 0.13 : 0.17);
    for (const Note& n : phrase) Lead(lead, At(i, n.step), n.length * STEP * 0.92, n.note, level);
  }
}

// Gain of the bass and harmony under each kick, for the groove's pump.
std::vector<float> Ducking(const std::vector<double>& kicks, size_t frames) {
  std::vector<float> duck(frames, 1.0f);
  for (double k : kicks) {
    const size_t first = static_cast<size_t>(k * SAMPLE_RATE);
    for (size_t n = 0; n < static_cast<size_t>(0.45 * SAMPLE_RATE) && first + n < frames; ++n) {
      const double t = n / SAMPLE_RATE;
      const double g = 1.0 - 0.55 * std::exp(-t / 0.11) * std::min(1.0, t / 0.004 + 0.3);
      duck[first + n] = std::min(duck[first + n], static_cast<float>(g));
    }
  }
  return duck;
}

// The lead's echo: dotted eighths, crossing sides.
Stereo Echo(const Stereo& lead) {
  Stereo echo(lead.Frames());
  const size_t delay = static_cast<size_t>(3.0 * STEP * SAMPLE_RATE);
  for (size_t n = delay; n < lead.Frames(); ++n) {
    echo.left[n] = 0.35f * (lead.left[n - delay] + echo.right[n - delay] * 0.6f);
    echo.right[n] = 0.35f * (lead.right[n - delay] * 0.5f + echo.left[n - delay] * 0.6f);
  }
  return echo;
}

}  // namespace

Stereo RenderMusic() {
  const size_t frames = static_cast<size_t>(MUSIC_SECONDS * SAMPLE_RATE);
  const std::vector<Bar> bars = Arrangement();
  Stereo kick(frames);
  Stereo drums(frames);
  Stereo bass(frames);
  Stereo music(frames);
  Stereo lead(frames);
  const std::vector<double> kicks = KickPass(bars, kick);
  DrumPass(bars, drums);
  BassPass(bars, bass);
  HarmonyPass(bars, music);
  LeadPass(bars, lead);
  const std::vector<float> duck = Ducking(kicks, frames);
  const Stereo echo = Echo(lead);

  // Bus levels: the kick leads, so that after mastering it still carries band 1.
  const float kickLevel = 1.0f;
  const float drumLevel = 0.42f;
  const float bassLevel = 0.3f;
  const float musicLevel = 0.56f;
  const float leadLevel = 0.56f;
  Stereo mix(frames);
  Reverb reverb;
  for (size_t n = 0; n < frames; ++n) {
    const float d = duck[n];
    const float l = (music.left[n] * d) * musicLevel + (lead.left[n] + echo.left[n]) * leadLevel;
    const float r = (music.right[n] * d) * musicLevel + (lead.right[n] + echo.right[n]) * leadLevel;
    const float dl = drums.left[n] * drumLevel;
    const float dr = drums.right[n] * drumLevel;
    mix.left[n] = kick.left[n] * kickLevel + dl + bass.left[n] * d * bassLevel + l;
    mix.right[n] = kick.right[n] * kickLevel + dr + bass.right[n] * d * bassLevel + r;
    reverb.Process(0.5 * (l + r) + 0.1 * (dl + dr), &mix.left[n], &mix.right[n]);
  }
  return mix;
}
