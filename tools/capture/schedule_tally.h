// Counts what the scheduler did, frame by frame: effects of each type created
// and retired per 10 s of show time, the mean and the peak of live effects,
// and how often each spawn rule fired. It only looks at the live list and the rule counts.
#pragma once

#include <cstdio>
#include <vector>

#include "demo/scheduler.h"

class ScheduleTally {
 public:
  static constexpr int TYPES = 3;  // 1 Circle1Frag, 2 Circle2Frag, 3 Flora0Frag
  static constexpr double BUCKET_SECONDS = 10.0;

  struct Bucket {
    long created[TYPES] = {};
    long retired[TYPES] = {};
    long frames = 0;
    long liveSum = 0;  // live effects after each frame, added up
  };

  // Around each frame: Before just ahead of display, After just behind it
  // with the frame's show time (seconds).
  void Before();
  void After(double showTime);

  // The summary, one table and two lines; fps names the frame rate it ran at.
  void Print(std::FILE* out, int fps) const;

  std::vector<Bucket> buckets;  // bucket k covers show times [10 k, 10 k + 10)
  size_t peak = 0;              // most effects live after a frame
  double peakTime = 0.0;        // show time of the first frame with that many
  long frames = 0;
  double firstTime = 0.0;
  double lastTime = 0.0;
  ScheduleCounts rules;  // rule counts over the frames seen
  // Show time of the first and the last frame that created an effect of each
  // type; negative while there was none.
  double firstCreated[TYPES] = {-1.0, -1.0, -1.0};
  double lastCreated[TYPES] = {-1.0, -1.0, -1.0};

 private:
  long liveBefore[TYPES] = {};
  ScheduleCounts countsBefore;
};
