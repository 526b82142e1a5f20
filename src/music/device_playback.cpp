// SDL asks for a block once the server has taken the one before it, which
// the server then plays after its latency: the frame heard is counted back
// from the last block handed over. Until PulseAudio has told that latency
// (and with any other driver) it is taken to be one block.
#include "music/device_playback.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/debug.h"
#include "foundation/monotonic.h"
#include "music/silent_clock.h"

namespace {

constexpr int RATE = TrackStream::RATE;
constexpr int CHANNELS = TrackStream::CHANNELS;
// The most server latency followed: the played ring must still hold the
// window heard that long ago.
constexpr int64_t MAX_LATENCY_FRAMES =
    PlayedRing::SIZE - SoundProducer::WINDOW - 2 * DevicePlayback::DEVICE_FRAMES;
// Reads of the played ring per call before the main thread settles for
// silence; a read fails only if the main thread stalled in mid-copy.
constexpr int RING_ATTEMPTS = 4;

}  // namespace

std::unique_ptr<DevicePlayback> DevicePlayback::Open(double (*clock)()) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    Log::Msg(std::string(SDL_GetError()));
    return nullptr;
  }
  std::unique_ptr<DevicePlayback> playback(new DevicePlayback);
  SDL_AudioSpec wanted = {};
  wanted.freq = RATE;
  wanted.format = AUDIO_F32SYS;
  wanted.channels = CHANNELS;
  wanted.samples = DEVICE_FRAMES;
  wanted.callback = Fill;
  wanted.userdata = playback.get();
  SDL_AudioSpec obtained = {};
  // No changes allowed: SDL converts to whatever the device really takes.
  playback->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (playback->device == 0) {
    Log::Msg(std::string(SDL_GetError()));
    return nullptr;  // its destructor quits SDL's audio again
  }
  playback->clock = clock;
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver != nullptr && std::strcmp(driver, "pulseaudio") == 0) playback->latency.Start();
  return playback;
}

DevicePlayback::~DevicePlayback() {
  Close();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void DevicePlayback::Close() {
  if (device == 0) return;
  // Paused first: from then on the callback no longer runs.
  SDL_PauseAudioDevice(device, 1);
  SDL_CloseAudioDevice(device);
  device = 0;
  latency.Stop();
}

void DevicePlayback::Play(std::unique_ptr<TrackStream> track) {
  stream = std::move(track);
  SDL_PauseAudioDevice(device, 0);
}

void DevicePlayback::Fill(void* self, Uint8* bytes, int length) {
  DevicePlayback& p = *static_cast<DevicePlayback*>(self);
  float* out = reinterpret_cast<float*>(bytes);
  const int frames = length / static_cast<int>(CHANNELS * sizeof(float));
  const int64_t position = p.stream->Tell();
  const int got = p.stream->Read(out, frames);
  std::fill(out + got * CHANNELS, out + frames * CHANNELS, 0.0f);
  const int64_t first = p.played.Written();
  p.played.Begin(frames);
  for (int i = 0; i < frames; ++i) {
    p.played.Put(first + i, out[2 * i], out[2 * i + 1], position + std::min(i + 1, got));
  }
  p.played.Commit(frames);
  p.lastBlockNs.store(MonotonicNs(), std::memory_order_relaxed);
}

int64_t DevicePlayback::AudibleFrame(int64_t written) const {
  // Any latency past a second is held to the most the ring can follow anyway.
  const int64_t micros = std::min<int64_t>(latency.Micros(), 1000000);
  const int64_t frames = micros < 0 ? DEVICE_FRAMES : std::min(micros * RATE / 1000000, MAX_LATENCY_FRAMES);
  return PlayedRing::HeardFrame(written, MonotonicNs() - lastBlockNs.load(std::memory_order_relaxed), frames,
                                DEVICE_FRAMES, RATE);
}

int64_t DevicePlayback::StreamFrame() const {
  int64_t frame = 0;
  for (int attempt = 0; attempt < RING_ATTEMPTS; ++attempt) {
    if (played.Read(AudibleFrame(played.Written()), 0, nullptr, &frame)) break;
  }
  return frame;
}

void DevicePlayback::Heard(double, float* left, float* right) {
  int64_t position = 0;
  for (int attempt = 0; attempt < RING_ATTEMPTS; ++attempt) {
    if (played.ReadChannels(AudibleFrame(played.Written()), WINDOW, left, right, &position)) return;
  }
  std::fill(left, left + WINDOW, 0.0f);
  std::fill(right, right + WINDOW, 0.0f);
}

double DevicePlayback::Position(double) { return static_cast<double>(StreamFrame()) / RATE; }

std::unique_ptr<SoundProducer> DevicePlayback::Follow(LevelGains*) {
  latency.Poll(MonotonicNs());
  if (SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED) return nullptr;
  const int64_t frame = StreamFrame();
  // Closing joins the audio thread: from here on the stream is the main thread's.
  Close();
  Log::Msg("The audio output was lost; the music goes on silently");
  return std::make_unique<SilentClock>(std::move(stream), frame, clock);
}
