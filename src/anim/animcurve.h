// One keyframed animation channel read from an .anim file and evaluated at
// any time to one float; the Animator owns the curves and applies them.
//
// Glossary
//   key      a (time, value) point the curve passes through; times are
//            animation frames, the unit of the file
//   handle   a control point beside a key: the left one shapes the segment
//            that ends at the key, the right one the segment that starts there
//   segment  the stretch between two neighbouring keys
#pragma once

#include <cstdint>
#include <fstream>
#include <ios>
#include <string>
#include <vector>

class AnimCurve {
 public:
  // One key: six floats, in this order in memory and in the file.
  struct BezTriple {
    float leftX = 0.0f;  // left handle, frames
    float leftY = 0.0f;
    float x = 0.0f;       // key time, frames
    float y = 0.0f;       // key value
    float rightX = 0.0f;  // right handle, frames
    float rightY = 0.0f;
  };

  enum Extrapolation : int16_t { EXTRAPOLATE_CONSTANT = 0, EXTRAPOLATE_CYCLIC = 1 };
  enum Interpolation : int16_t { INTERPOLATE_CONSTANT = 0, INTERPOLATE_LINEAR = 1, INTERPOLATE_BEZIER = 2 };
  enum Channel : int32_t { LOCX = 0, LOCY, LOCZ, ROTX, ROTY, ROTZ, SIZEX, SIZEY, SIZEZ };

  // Reads one curve record from the open stream and leaves the stream after
  // its last number. A bad stream, an unknown keyword or an unusable key
  // count ends the program through the log's reporters.
  explicit AnimCurve(std::ifstream& f);
  virtual ~AnimCurve() = default;

  // The value at time t (frames). Allocates nothing.
  float Eval(float t) const;

  // Shrinks the segment's inner handles p2, p3 towards their keys p1, p4 so
  // that their horizontal extents together fit in the segment's time span.
  // Each argument points to an (x, y) pair.
  static void CorrectBezpart(float* p1, float* p2, float* p3, float* p4);
  // Parameters s in (0, 1] at which the Bezier with time coordinates q0..q3
  // reaches time x; writes them to o (room for three) and returns how many.
  static int Findzero(float x, float q0, float q1, float q2, float q3, float* o);
  // Real cube root.
  static double Sqrt3d(double d);
  // Replaces each of o[0..b-1], a Bezier parameter, by the value of the
  // Bezier with value coordinates f1..f4 there.
  static void Berekeny(float f1, float f2, float f3, float f4, float* o, int b);

  // Lets a reader of several curve records name its file in the error lines
  // of the curves read from `f`; `name` must outlive those reads.
  static void NameStream(std::ios_base& f, const std::string& name);

  int16_t extrapolation = EXTRAPOLATE_CONSTANT;
  int16_t interpolation = INTERPOLATE_CONSTANT;
  std::vector<BezTriple> keys;  // in file order, never empty after construction
  float startFrame = 0.0f;      // time of the first key
  float endFrame = 0.0f;        // time of the last key
  int32_t channel = LOCX;
};
