// The keyframed motions of the four mesh scenes, written as .anim files of
// Bezier curves in animation frames (35 per second). Each brings its plant
// out of the fog towards the eye at z = 5, turns it, and lets it sink back.
#pragma once

#include <string>
#include <vector>

// One channel's keys; handles are made smooth when written.
struct MotionCurve {
  std::string channel;  // "locx" ... "rotz"; rotations in tens of degrees
  std::vector<double> frames;
  std::vector<double> values;

  // Value at a frame between the first and last key, as the written Bezier curve gives it.
  double Eval(double frame) const;
  // Slope at key i (value per frame): centred differences, flat at both ends.
  double Slope(size_t i) const;
};

struct Motion {
  std::vector<MotionCurve> curves;
};

// The motion of scene n, 1 to 4 (the number of its .anim and .mesh files).
Motion FloraMotion(int n);
// Writes the motion as a .anim file; false on failure.
bool WriteMotion(const std::string& path, const Motion& motion);
