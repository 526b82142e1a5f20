// The producer that plays nothing and listens to an audio server's source
// instead (see SourceListener): what is heard is what the source sent, and
// every hop of it is analysed for the live level fit as it comes in.
#pragma once

#include <string>

#include "music/producer.h"
#include "music/sourcelistener.h"
#include "music/spectrum.h"

class ListenedSource : public SoundProducer {
 public:
  // source: empty for the default output's monitor.
  explicit ListenedSource(const std::string& source);
  // Logs what the record stream could not keep, and stops listening.
  ~ListenedSource() override;

  void Heard(double asked, float* left, float* right) override;
  double Position(double asked) override;
  std::unique_ptr<SoundProducer> Follow(LevelGains* gains) override;

 private:
  SourceListener listener;
  int64_t nextFitFrame = WINDOW;  // where the next hop analysed for the fit ends
  SpectrumAnalyser fitAnalyser;
  float fitLeft[WINDOW] = {};
  float fitRight[WINDOW] = {};
  float fitBands[SpectrumAnalyser::BANDS] = {};

  // Takes in what the source sent, and gives each hop of it to gains when
  // there are any (hops not given yet wait for the next poll that has them).
  void Poll(int64_t nowNs, LevelGains* gains);
};
