// The frame benchmark's tally of what the show draws, by drawer: its draw
// calls and vertices, counted by the show's own hooks, and on request the
// fragments each drawer's stretches draw, through GL_SAMPLES_PASSED
// occlusion queries. Fragments count before blending, alpha zero included.
#pragma once

#include <vector>

#include "platform/draw_tally.h"

// What one frame drew, by drawer (indexed by platform::Drawer); whole
// numbers, or the means of several frames.
struct DrawnCounts {
  double draws[platform::DRAWERS] = {};
  double vertices[platform::DRAWERS] = {};
  double fragments[platform::DRAWERS] = {};

  void Add(const DrawnCounts& other);
  // Each count over n frames.
  void Divide(double n);
  double Draws() const;
  double Fragments() const;
};

class FrameTally : public platform::DrawTally {
 public:
  // With fragments, each stretch is an occlusion query; the GL context must
  // be current, and stay so until the tally goes.
  explicit FrameTally(bool fragments);
  ~FrameTally() override;
  FrameTally(const FrameTally&) = delete;
  FrameTally& operator=(const FrameTally&) = delete;

  void Begin(platform::Drawer drawer) override;
  void End() override;
  void Draw(long vertices) override;

  // What was drawn since the last call, waiting for the queries' results.
  DrawnCounts TakeFrame();

 private:
  const bool fragments;
  std::vector<unsigned> queries;  // GL query names, reused frame after frame
  std::vector<int> queried;       // the drawer of each query used this frame
  int current = -1;               // the drawer of the stretch under way
  DrawnCounts frame;
};
