// The module holds one producer at a time and does the same with whichever
// it is: asks it what is heard, analyses that, and applies the level fit.
// Losing the device is the producer handing over to the silent clock.
#include "music/music.h"

#include <cassert>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/debug.h"
#include "music/device_playback.h"
#include "music/listened_source.h"
#include "music/offline_reader.h"
#include "music/producer.h"
#include "music/silent_clock.h"
#include "music/spectrum.h"
#include "music/trackstream.h"

namespace {

constexpr int WINDOW = SoundProducer::WINDOW;
constexpr int BANDS = SpectrumAnalyser::BANDS;

struct MusicState {
  // Set up by MusicInit or MusicListen, torn down by MusicDone.
  std::unique_ptr<SoundProducer> producer;  // null: no music
  LevelGains gains;
  double asked = 0.0;  // the position last asked about, seconds

  // Settings for the next MusicInit.
  bool offline = false;
  double (*clock)() = nullptr;  // the silent clock's, seconds; null: the monotonic clock

  SpectrumAnalyser analyser;
  float left[WINDOW] = {};
  float right[WINDOW] = {};
  float mono[WINDOW] = {};
  float bands[BANDS] = {};
  bool testSpectrum = false;
  float testBands[BANDS] = {};
};

// Never destroyed: a fatal report ends the process without MusicDone, and the
// audio thread may still be running the callback while statics are destroyed.
MusicState& music = *new MusicState;

// Lets the producer keep up, taking its successor when it gave out.
void Follow() {
  if (music.producer == nullptr) return;
  if (std::unique_ptr<SoundProducer> next = music.producer->Follow(&music.gains))
    music.producer = std::move(next);
}

// The spectrum of what is heard: a fitted source's with every channel
// counted, the built-in soundtrack's of the mono mix its levels were made for.
float* Analyse() {
  music.producer->Heard(music.asked, music.left, music.right);
  if (music.gains.Fitted()) {
    music.analyser.AnalyseChannels(music.left, music.right, music.bands);
    music.gains.Apply(music.bands);
    return music.bands;
  }
  for (int i = 0; i < WINDOW; ++i) music.mono[i] = 0.5f * (music.left[i] + music.right[i]);
  music.analyser.Analyse(music.mono, music.bands);
  return music.bands;
}

}  // namespace

bool MusicInit(const char* name, LevelGains gains) {
  assert(name != nullptr && "MusicInit needs a file name");
  assert(music.producer == nullptr && "MusicInit called twice without MusicDone");
  // The output first, as a player would open it: its failure is logged even
  // when the file then cannot be played either.
  std::unique_ptr<DevicePlayback> device = music.offline ? nullptr : DevicePlayback::Open(music.clock);
  auto stream = std::make_unique<TrackStream>();
  std::string reason;
  if (!stream->Open(name, &reason)) {
    Log::Msg("Cannot play music file %s: %s", name, reason.c_str());
    return false;
  }
  music.gains = std::move(gains);
  if (music.offline) {
    music.producer = std::make_unique<OfflineReader>(std::move(stream));
  } else if (device != nullptr) {
    device->Play(std::move(stream));
    music.producer = std::move(device);
  } else {
    music.producer = std::make_unique<SilentClock>(std::move(stream), 0, music.clock);
  }
  return true;
}

void MusicListen(const std::string& source, const std::vector<BandFit>& fits) {
  assert(music.producer == nullptr && "MusicListen called without MusicDone");
  music.gains = LevelGains::Live(fits);
  music.producer = std::make_unique<ListenedSource>(source);
}

void MusicDone() {
  music.producer.reset();
  music.gains = LevelGains();
  music.asked = 0.0;
}

float* MusicGetSpectrum() {
  if (music.testSpectrum) {
    std::memcpy(music.bands, music.testBands, sizeof music.bands);
    return music.bands;
  }
  if (music.producer == nullptr) return nullptr;
  Follow();
  return Analyse();
}

float* MusicGetSpectrumAt(double seconds) {
  music.asked = seconds;
  return MusicGetSpectrum();
}

void MusicFollow() { Follow(); }

double MusicPosition() {
  if (music.producer == nullptr) return 0.0;
  Follow();
  return music.producer->Position(music.asked);
}

void MusicSetOffline(bool offline) {
  assert(music.producer == nullptr && "MusicSetOffline must come before MusicInit");
  music.offline = offline;
}

void MusicSetClock(double (*clock)()) { music.clock = clock; }

void MusicSetTestSpectrum(const float* bands) {
  music.testSpectrum = bands != nullptr;
  if (bands != nullptr) std::memcpy(music.testBands, bands, sizeof music.testBands);
}
