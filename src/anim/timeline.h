// A one-dimensional spline over normalized time [0, 1]: keys with handles
// read from a .timeline file, turned into one cubic Hermite segment between
// each pair of neighbouring keys. Plain maths, no GL.
//
// Glossary
//   key      a (time, value) point the spline passes through
//   handle   a point beside a key whose direction from the key gives the
//            spline's slope there
//   segment  the cubic between two neighbouring keys
#pragma once

#include <fstream>
#include <vector>

class Timeline {
 public:
  // One key: six floats, in this order in memory.
  struct BezPoint {
    float x = 0.0f;      // key time, normalized to [0, 1] by the load step
    float y = 0.0f;      // key value
    float leftX = 0.0f;  // left handle, time
    float leftY = 0.0f;
    float rightX = 0.0f;  // right handle, time
    float rightY = 0.0f;
  };
  // One segment: value = ((c3 * s + c2) * s + c1) * s + c0 with s = t - start.
  struct HermitCoef {
    float start = 0.0f;  // normalized time of the segment's first key
    float c3 = 0.0f;
    float c2 = 0.0f;
    float c1 = 0.0f;  // slope at the segment's start
    float c0 = 0.0f;  // value at the segment's start
  };

  // Replaces the content with the keys in `in` (a count, then six numbers per
  // key: left handle, key, right handle) and builds the segments. A count
  // beyond what the rest of the stream could hold, or a stream that never
  // opened, reads only as many keys as could be there (none for a closed one).
  void Load(std::ifstream& in);
  // The value at normalized time t: the first key's value below 0 (and for
  // NaN), the last key's above 1; 0 with no keys.
  float Eval(float t) const;
  // Segment i's cubic at t, with no range test; 0 <= i < coefs.size().
  float EvalHermit(int i, float t) const;
  // Normalizes key times to end at 1 (starting at 0 if the first lies above
  // 0), rewrites the handles as slopes a third long, rebuilds coefs.
  void ImproveHermitHandles();
  // Fills coefs[i] from the keys that bound segment i; coefs.size() > i.
  void HermitCreate(BezPoint& p1, BezPoint& p2, int i);

  std::vector<BezPoint> points;   // the keys, in file order
  std::vector<HermitCoef> coefs;  // one per segment: points.size() - 1 once loaded
};
