// The producer that plays a track on the output device through SDL2: the
// track is decoded in the device's callback, and what is heard is read back
// from the played ring at the output's latency, which PulseAudio tells.
#pragma once

#include <SDL.h>

#include <atomic>
#include <memory>

#include "music/playedring.h"
#include "music/producer.h"
#include "music/serverlatency.h"
#include "music/trackstream.h"

class DevicePlayback : public SoundProducer {
 public:
  // The device, opened paused; null (with SDL's reason logged) when there is
  // none to be had. clock: the silent clock's should the device be lost.
  static std::unique_ptr<DevicePlayback> Open(double (*clock)());
  // Closes the device, which joins the audio thread.
  ~DevicePlayback() override;
  // Starts playing stream from its start.
  void Play(std::unique_ptr<TrackStream> stream);

  void Heard(double asked, float* left, float* right) override;
  double Position(double asked) override;
  // Keeps the server's latency current and notices a device SDL stopped
  // because its output went away (an audio server that quit, a headset
  // unplugged): the silent clock then goes on from the frame being heard.
  std::unique_ptr<SoundProducer> Follow(LevelGains* gains) override;

  // The device buffer: 23 ms, short enough for the picture to follow the sound.
  static constexpr int DEVICE_FRAMES = 1024;

 private:
  DevicePlayback() = default;
  static void Fill(void* self, Uint8* bytes, int length);
  // The frame of the played ring being heard now.
  int64_t AudibleFrame(int64_t written) const;
  // The stream frame being heard now.
  int64_t StreamFrame() const;
  void Close();

  SDL_AudioDeviceID device = 0;
  double (*clock)() = nullptr;
  // While the device plays, only the audio thread touches the stream.
  std::unique_ptr<TrackStream> stream;
  PlayedRing played;
  std::atomic<int64_t> lastBlockNs{0};  // monotonic clock when the last block was handed over
  // The main thread's: asked only when SDL plays through PulseAudio.
  ServerLatency latency;
};
