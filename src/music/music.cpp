// Playback over SDL2 with the track decoded in the device callback, the silent
// stand-in when no device opens, and the offline reader: all three analyse the
// same decoded frames, so the spectrum depends on position only.
// Listening instead analyses what an audio server source hears, and fits the
// level gains to it as it goes.
#include "music/music.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/debug.h"
#include "music/livelevelfit.h"
#include "music/playedring.h"
#include "music/serverlatency.h"
#include "music/sourcelistener.h"
#include "music/spectrum.h"
#include "music/streamwindow.h"
#include "music/trackstream.h"

namespace {

constexpr int RATE = TrackStream::RATE;
constexpr int CHANNELS = TrackStream::CHANNELS;
constexpr int WINDOW = SpectrumAnalyser::SIZE;
constexpr int BANDS = SpectrumAnalyser::BANDS;
// The device buffer: 23 ms, short enough for the picture to follow the sound.
constexpr int DEVICE_FRAMES = 1024;
// The most server latency the estimate follows: the played ring must still
// hold the window heard that long ago.
constexpr int64_t MAX_LATENCY_FRAMES = PlayedRing::SIZE - WINDOW - 2 * DEVICE_FRAMES;
// Reads of the played ring per call before the main thread settles for
// silence; a read fails only if the main thread stalled in mid-copy.
constexpr int RING_ATTEMPTS = 4;

enum class Output { NONE, DEVICE, SILENT, OFFLINE, LISTEN };

struct MusicState {
  // Set up by MusicInit, torn down by MusicDone.
  bool enabled = false;  // an output is up: device, silent stand-in or offline
  bool playing = false;  // the stream is open and was started
  Output output = Output::NONE;
  bool sdlAudio = false;  // SDL's audio subsystem was started here
  SDL_AudioDeviceID device = 0;

  // Settings for the next MusicInit.
  bool offline = false;
  double (*clock)() = nullptr;  // seconds; null: the monotonic clock

  // While the device plays, only the audio thread touches the stream;
  // otherwise only the main thread does.
  TrackStream stream;

  // Device output. The audio thread writes these; the main thread only
  // reads them or posts a seek.
  PlayedRing played;
  std::atomic<int64_t> seekRequest{-1};  // frame to seek to before the next block, or -1
  std::atomic<int64_t> lastBlockNs{0};   // monotonic clock when the last block was handed over
  // The main thread's: asked only when SDL plays through PulseAudio.
  ServerLatency latency;

  // Silent output: the position is startFrame plus the clock's advance since
  // startTime.
  double startTime = 0.0;
  int64_t startFrame = 0;
  // Offline output: the position asked for.
  int64_t offlineFrame = 0;
  // Decoding for the silent and offline outputs.
  StreamWindow window;

  // Listening: the source, and the fit of the levels to what it heard,
  // taken every hop of frames received.
  SourceListener listener;
  std::unique_ptr<LiveLevelFit> liveFit;
  int64_t nextFitFrame = 0;
  SpectrumAnalyser fitAnalyser;
  float fitLeft[WINDOW] = {};
  float fitRight[WINDOW] = {};
  float fitBands[BANDS] = {};

  SpectrumAnalyser analyser;
  float left[WINDOW] = {};
  float right[WINDOW] = {};
  float mono[WINDOW] = {};
  float bands[BANDS] = {};
  bool testSpectrum = false;
  float testBands[BANDS] = {};
  bool levelsFitted = false;
  float gains[BANDS] = {};
};

// Never destroyed: a fatal report ends the process without MusicDone, and the
// audio thread may still be running the callback while statics are destroyed.
MusicState& music = *new MusicState;

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Now() { return music.clock != nullptr ? music.clock() : MonotonicNs() * 1e-9; }

// Seconds to frames; anything beyond a day (or not a number) is taken as the
// nearest sane value.
int64_t FrameAt(double seconds) {
  constexpr double DAY = 86400.0;
  if (std::isnan(seconds)) seconds = 0.0;
  return std::llround(std::clamp(seconds, -DAY, DAY) * RATE);
}

void FillDevice(void*, Uint8* bytes, int length) {
  float* out = reinterpret_cast<float*>(bytes);
  const int frames = length / static_cast<int>(CHANNELS * sizeof(float));
  const int64_t seek = music.seekRequest.exchange(-1, std::memory_order_acquire);
  if (seek >= 0) music.stream.Seek(seek);
  const int64_t position = music.stream.Tell();
  const int got = music.stream.Read(out, frames);
  std::fill(out + got * CHANNELS, out + frames * CHANNELS, 0.0f);
  const int64_t first = music.played.Written();
  music.played.Begin(frames);
  for (int i = 0; i < frames; ++i) {
    music.played.Put(first + i, out[2 * i], out[2 * i + 1], position + std::min(i + 1, got));
  }
  music.played.Commit(frames);
  music.lastBlockNs.store(MonotonicNs(), std::memory_order_relaxed);
}

// The device is opened paused; false (with SDL's reason logged) when there
// is none to be had.
bool OpenDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    Log::Msg(std::string(SDL_GetError()));
    return false;
  }
  music.played.Reset();
  music.seekRequest.store(-1);
  music.lastBlockNs.store(0);
  SDL_AudioSpec wanted = {};
  wanted.freq = RATE;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = CHANNELS;
  wanted.samples = DEVICE_FRAMES;
  wanted.callback = FillDevice;
  SDL_AudioSpec obtained = {};
  // No changes allowed: SDL converts to whatever the device really takes.
  music.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (music.device == 0) {
    Log::Msg(std::string(SDL_GetError()));
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  music.sdlAudio = true;
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver != nullptr && std::strcmp(driver, "pulseaudio") == 0) music.latency.Start();
  return true;
}

// The frame of the played ring being heard now. SDL asks for a block once
// the server has taken the one before it, which the server then plays after
// its latency. Until PulseAudio has told that latency (and with any other
// driver) it is taken to be one block.
int64_t AudibleFrame(int64_t written) {
  // Any latency past a second is held to the most the ring can follow anyway.
  const int64_t micros = std::min<int64_t>(music.latency.Micros(), 1000000);
  const int64_t latency = micros < 0 ? DEVICE_FRAMES : std::min(micros * RATE / 1000000, MAX_LATENCY_FRAMES);
  return PlayedRing::HeardFrame(written, MonotonicNs() - music.lastBlockNs.load(std::memory_order_relaxed),
                                latency, DEVICE_FRAMES, RATE);
}

// The stream frame being heard now on the device, from the played ring.
int64_t DeviceStreamFrame() {
  int64_t frame = 0;
  for (int attempt = 0; attempt < RING_ATTEMPTS; ++attempt) {
    if (music.played.Read(AudibleFrame(music.played.Written()), 0, nullptr, &frame)) break;
  }
  return frame;
}

// Keeps the server's latency current and notices a device SDL stopped
// because its output went away (an audio server that quit, a headset
// unplugged). The music then goes on silently from the frame that was being
// heard, so the spectrum keeps following the music's position.
void FollowDevice() {
  if (!music.playing || music.output != Output::DEVICE) return;
  music.latency.Poll(MonotonicNs());
  if (SDL_GetAudioDeviceStatus(music.device) != SDL_AUDIO_STOPPED) return;
  const int64_t frame = DeviceStreamFrame();
  // Closing joins the audio thread: from here on the stream is the main thread's.
  SDL_CloseAudioDevice(music.device);
  music.device = 0;
  music.latency.Stop();
  music.output = Output::SILENT;
  music.startFrame = frame;
  music.startTime = Now();
  music.window.Restart(music.stream, frame - WINDOW);
  Log::Msg("The audio output was lost; the music goes on silently");
}

// The stream frame being heard now, on the silent or offline output.
int64_t StreamFrame() {
  if (music.output == Output::OFFLINE) return music.offlineFrame;
  return music.startFrame + FrameAt(std::max(0.0, Now() - music.startTime));
}

// Takes in what the source sent, and analyses each hop of it for the fit.
void FollowSource(int64_t nowNs) {
  SourceListener& listener = music.listener;
  listener.Poll(nowNs);
  constexpr int HOP = RATE / LiveLevelFit::PER_SECOND;
  music.nextFitFrame = std::max(music.nextFitFrame, listener.received - SourceListener::KEPT + WINDOW);
  for (; music.nextFitFrame <= listener.received; music.nextFitFrame += HOP) {
    listener.Read(music.nextFitFrame, WINDOW, music.fitLeft, music.fitRight);
    music.fitAnalyser.AnalyseChannels(music.fitLeft, music.fitRight, music.fitBands);
    music.liveFit->Add(music.fitBands);
  }
  MusicSetLevelGains(music.liveFit->Gains());
}

// Fills music.left and music.right with the WINDOW frames heard last.
void ReadHeard() {
  if (music.output == Output::LISTEN) {
    const int64_t now = MonotonicNs();
    FollowSource(now);
    music.listener.Read(music.listener.HeardFrame(now), WINDOW, music.left, music.right);
    return;
  }
  if (music.output != Output::DEVICE) {
    music.window.ReadChannels(music.stream, StreamFrame(), WINDOW, music.left, music.right);
    return;
  }
  int64_t position = 0;
  for (int attempt = 0; attempt < RING_ATTEMPTS; ++attempt) {
    if (music.played.ReadChannels(AudibleFrame(music.played.Written()), WINDOW, music.left, music.right,
                                  &position))
      return;
  }
  std::fill(music.left, music.left + WINDOW, 0.0f);
  std::fill(music.right, music.right + WINDOW, 0.0f);
}

// The spectrum of what was heard: a fitted source's with every channel
// counted, the built-in soundtrack's of the mono mix its levels were made for.
void AnalyseHeard() {
  if (music.levelsFitted) {
    music.analyser.AnalyseChannels(music.left, music.right, music.bands);
    for (int k = 0; k < BANDS; ++k) music.bands[k] *= music.gains[k];
    return;
  }
  for (int i = 0; i < WINDOW; ++i) music.mono[i] = 0.5f * (music.left[i] + music.right[i]);
  music.analyser.Analyse(music.mono, music.bands);
}

}  // namespace

bool MusicInit(const char* name) {
  assert(name != nullptr && "MusicInit needs a file name");
  assert(!music.enabled && "MusicInit called twice without MusicDone");
  music.playing = false;
  if (music.offline) {
    music.output = Output::OFFLINE;
  } else if (OpenDevice()) {
    music.output = Output::DEVICE;
  } else {
    music.output = Output::SILENT;
  }
  music.enabled = true;

  std::string reason;
  if (!music.stream.Open(name, &reason)) {
    Log::Msg("Cannot play music file %s: %s", name, reason.c_str());
    return false;
  }
  music.window.Reset();
  switch (music.output) {
    case Output::DEVICE:
      SDL_PauseAudioDevice(music.device, 0);
      break;
    case Output::SILENT:
      music.startTime = Now();
      music.startFrame = 0;
      break;
    default:
      break;
  }
  music.playing = true;
  return true;
}

void MusicListen(const std::string& source, const std::vector<BandFit>& fits) {
  assert(!music.enabled && "MusicListen called without MusicDone");
  music.output = Output::LISTEN;
  music.enabled = true;
  music.playing = true;
  music.liveFit = std::make_unique<LiveLevelFit>(fits);
  music.nextFitFrame = WINDOW;
  MusicSetLevelGains(music.liveFit->Gains());
  music.listener.Start(source);
  music.listener.Poll(MonotonicNs());
}

void MusicDone() {
  if (!music.enabled) return;
  if (music.output == Output::LISTEN) {
    Log::Msg("Listening: %d overrun%s of the record stream, %.1f s of sound lost", music.listener.overruns,
             music.listener.overruns == 1 ? "" : "s", static_cast<double>(music.listener.lostFrames) / RATE);
    music.listener.Stop();
    music.liveFit.reset();
  }
  // Paused first: from then on the callback no longer runs and the stream
  // is the main thread's to close.
  if (music.playing && music.output == Output::DEVICE) SDL_PauseAudioDevice(music.device, 1);
  music.playing = false;
  music.stream.Close();
  if (music.device != 0) {
    SDL_CloseAudioDevice(music.device);
    music.device = 0;
  }
  music.latency.Stop();
  if (music.sdlAudio) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    music.sdlAudio = false;
  }
  music.output = Output::NONE;
  music.enabled = false;
}

float* MusicGetSpectrum() {
  if (music.testSpectrum) {
    std::memcpy(music.bands, music.testBands, sizeof music.bands);
    return music.bands;
  }
  if (!music.playing) return nullptr;
  FollowDevice();
  ReadHeard();
  AnalyseHeard();
  return music.bands;
}

float* MusicGetSpectrumAt(double seconds) {
  if (music.output == Output::OFFLINE) music.offlineFrame = FrameAt(seconds);
  return MusicGetSpectrum();
}

void MusicFollow() {
  if (!music.playing) return;
  FollowDevice();
  if (music.output == Output::LISTEN) FollowSource(MonotonicNs());
}

void MusicSetPos(int ms) {
  if (!music.playing) return;
  const int64_t frame = static_cast<int64_t>(std::max(ms, 0)) * RATE / 1000;
  switch (music.output) {
    case Output::LISTEN:
      break;
    case Output::DEVICE:
      music.seekRequest.store(frame, std::memory_order_release);
      break;
    case Output::SILENT:
      music.startFrame = frame;
      music.startTime = Now();
      // Decoding resumes a block early, so the first spectrum after the
      // seek already analyses music.
      music.window.Restart(music.stream, frame - WINDOW);
      break;
    default:
      music.offlineFrame = frame;
      break;
  }
}

double MusicPosition() {
  if (!music.playing) return 0.0;
  FollowDevice();
  int64_t frame = 0;
  if (music.output == Output::LISTEN) {
    const int64_t now = MonotonicNs();
    FollowSource(now);
    frame = music.listener.HeardFrame(now);
  } else if (music.output == Output::DEVICE) {
    frame = DeviceStreamFrame();
  } else {
    frame = std::max<int64_t>(0, StreamFrame());
    music.window.Read(music.stream, frame, 0, nullptr);
    const int64_t end = music.window.End(music.stream);
    if (end >= 0) frame = std::min(frame, end);
  }
  return static_cast<double>(frame) / RATE;
}

void MusicSetOffline(bool offline) {
  assert(!music.enabled && "MusicSetOffline must come before MusicInit");
  music.offline = offline;
}

void MusicSetOfflinePosition(double seconds) { music.offlineFrame = FrameAt(seconds); }

void MusicSetClock(double (*clock)()) { music.clock = clock; }

void MusicSetLevelGains(const float* gains) {
  music.levelsFitted = gains != nullptr;
  if (gains != nullptr) std::memcpy(music.gains, gains, sizeof music.gains);
}

void MusicSetTestSpectrum(const float* bands) {
  music.testSpectrum = bands != nullptr;
  if (bands != nullptr) std::memcpy(music.testBands, bands, sizeof music.testBands);
}
