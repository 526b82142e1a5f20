// What the music module costs the main thread: MusicGetSpectrum per call
// (median and worst, on each output, and listening to an audio server's
// source), decoding per second of music, and the scan that fits a user's
// track before its show (a 5-minute FLAC at 48 kHz and a 5-minute MP3; the
// show allows itself 2 s).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "demo/showmusic.h"
#include "music/mp3_file.h"
#include "music/music.h"
#include "music/trackstream.h"
#include "support/pulse_daemon.h"
#include "support/scratch_dir.h"
#include "support/track_file.h"

namespace {

constexpr double MUSIC_SECONDS = 30.0;
constexpr int CALLS = 1700;  // frames at 60 per second, within the music

double fakeTime = 0.0;
double FakeClock() { return fakeTime; }

// A 30 s file of tones and noise, made once per run.
const std::string& MusicFile() {
  static ScratchDir dir;
  static const std::string name = [] {
    std::vector<float> music = Sine(BandHz(3), 0.3, MUSIC_SECONDS);
    std::vector<float> mid = Sine(BandHz(17), 0.2, MUSIC_SECONDS);
    uint32_t state = 1;
    for (size_t n = 0; n < music.size(); ++n) {
      state = state * 1664525u + 1013904223u;
      music[n] += mid[n] + 0.2f * (static_cast<float>(state >> 8) / 16777216.0f - 0.5f);
    }
    const std::string path = dir.path + "/bench.mp3";
    WriteMp3(path, music);
    return path;
  }();
  return name;
}

double ThreadCpuSeconds() {
  timespec now = {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

void SetMedianAndWorst(benchmark::State& state, const char* name, std::vector<double>& seconds) {
  std::sort(seconds.begin(), seconds.end());
  state.counters[std::string(name) + "_median_us"] = seconds[seconds.size() / 2] * 1e6;
  state.counters[std::string(name) + "_p99_us"] = seconds[seconds.size() * 99 / 100] * 1e6;
  state.counters[std::string(name) + "_worst_us"] = seconds.back() * 1e6;
}

// The position the timed calls ask about, which only the offline reader goes by.
double asked = 0.0;

// Times each spectrum call, as a scheduler tick makes it, on the wall clock
// (what a frame waits, preemption by other processes included) and on this
// thread's CPU clock (the work itself); step moves the position between calls.
template <typename Step>
void TimeCalls(benchmark::State& state, Step step) {
  std::vector<double> wall;
  std::vector<double> cpu;
  wall.reserve(CALLS);
  cpu.reserve(CALLS);
  for (auto _ : state) {
    step();
    const double cpuStart = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(MusicGetSpectrumAt(asked));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu.push_back(ThreadCpuSeconds() - cpuStart);
    state.SetIterationTime(took);
    wall.push_back(took);
  }
  SetMedianAndWorst(state, "wall", wall);
  SetMedianAndWorst(state, "cpu", cpu);
}

// The silent output at 60 frames a second: each call decodes the frames
// heard since the last, then analyses.
void BM_SpectrumSilentOutput(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "zarv-no-such-driver", 1);
  MusicSetClock(FakeClock);
  if (!MusicInit(MusicFile().c_str())) state.SkipWithError("no music");
  TimeCalls(state, [] { fakeTime += 1.0 / 60.0; });
  MusicDone();
}
BENCHMARK(BM_SpectrumSilentOutput)->Iterations(CALLS)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Offline at 60 frames a second, as the capture tool reads it.
void BM_SpectrumOffline(benchmark::State& state) {
  MusicSetOffline(true);
  if (!MusicInit(MusicFile().c_str())) state.SkipWithError("no music");
  int frame = 0;
  TimeCalls(state, [&frame] { asked = ++frame / 60.0; });
  MusicDone();
  MusicSetOffline(false);
}
BENCHMARK(BM_SpectrumOffline)->Iterations(CALLS)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The device path on SDL's dummy driver, which plays in real time on its
// own thread: the main thread only copies from the played ring and analyses.
void BM_SpectrumDevice(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MusicSetClock(nullptr);
  if (!MusicInit(MusicFile().c_str())) state.SkipWithError("no music");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  TimeCalls(state, [] { std::this_thread::sleep_for(std::chrono::microseconds(500)); });
  MusicDone();
}
BENCHMARK(BM_SpectrumDevice)->Iterations(CALLS)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Listening to a private audio server's monitor while a groove plays into
// its sink, at 60 frames a second: each call takes in what the source sent,
// analyses it for the live fit and analyses the window heard. cpu_ms_per_s
// is the main thread's CPU for listening per second of show.
void BM_SpectrumListening(benchmark::State& state) {
  PulseDaemon daemon;
  if (!daemon.Ready()) state.SkipWithError("no PulseAudio daemon");
  static ScratchDir dir;
  Groove groove;
  groove.seconds = 15.0;
  WriteTrack(dir.path + "/groove.wav", GrooveSamples(groove), 44100, 2, WAV_16);
  FILE* player = popen(
      ("paplay --device=" + std::string(PulseDaemon::SINK) + " " + dir.path + "/groove.wav").c_str(), "r");
  MusicListen("", SpawnBandFits());
  auto next = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  TimeCalls(state, [&next] {
    next += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next);
  });
  state.counters["cpu_ms_per_s"] = (ThreadCpuSeconds() - cpuStart) / (state.iterations() / 60.0) * 1000.0;
  MusicDone();
  if (player != nullptr) pclose(player);
}
BENCHMARK(BM_SpectrumListening)->Iterations(600)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Decoding alone: the whole file, reported per second of music.
void BM_DecodePerSecondOfMusic(benchmark::State& state) {
  std::vector<float> block(2 * 1024);
  for (auto _ : state) {
    TrackStream stream;
    std::string reason;
    if (!stream.Open(MusicFile().c_str(), &reason)) state.SkipWithError(reason.c_str());
    int64_t frames = 0;
    while (!stream.Ended()) frames += stream.Read(block.data(), 1024);
    benchmark::DoNotOptimize(frames);
  }
  // Seconds of music decoded per second of CPU; its inverse is the cost.
  state.counters["times_realtime"] =
      benchmark::Counter(MUSIC_SECONDS, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodePerSecondOfMusic)->Unit(benchmark::kMillisecond);

// A 5-minute groove, written once per run as a 48 kHz stereo FLAC and a
// 44.1 kHz stereo MP3.
const std::string& FiveMinuteTrack(bool flac) {
  static ScratchDir dir;
  static const std::string names[2] = {dir.path + "/five.mp3", dir.path + "/five.flac"};
  static const bool written = [] {
    Groove groove;
    groove.seconds = 300.0;
    groove.rate = 48000;
    const std::vector<float> at48 = GrooveSamples(groove);
    groove.rate = 44100;
    const std::vector<float> at44 = GrooveSamples(groove);
    return WriteTrack(names[1], at48, 48000, 2, FLAC_16) && WriteMp3(names[0], at44, 192);
  }();
  return names[written && flac ? 1 : 0];
}

// The scan UseMusic makes: decoding, resampling and the show's analysis at
// 60 a second over the whole track, then the fit.
void BM_ScanFiveMinuteTrack(benchmark::State& state) {
  const std::string& track = FiveMinuteTrack(state.range(0) == 1);
  state.SetLabel(state.range(0) == 1 ? "FLAC 48 kHz" : "MP3 44.1 kHz");
  for (auto _ : state) {
    std::string error;
    if (!UseMusic(track, "", &error)) state.SkipWithError(error.c_str());
  }
  state.counters["fitted_bass_share"] = showMusic.fit.fittedBassShare;
}
BENCHMARK(BM_ScanFiveMinuteTrack)->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace
