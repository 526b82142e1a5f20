// A seam for counting what the show draws, by the part of the show that
// draws it: the frame benchmark installs a tally; the live show and the
// captures install none, and then each hook is one test of a null pointer.
#pragma once

namespace platform {

// The parts of the show whose drawing the benchmark tells apart.
enum class Drawer {
  CIRCLE_LINES,    // a circle ornament's two outlines and its curve
  CIRCLE_SPRITES,  // its shrinking sprites along the curve
  SPIN_SPRITE,     // the spinning sprite that trails an ornament
  MESH,            // a mesh scene's lit groups
  FOG_COVERAGE,    // a mesh scene's coverage pass, with coverage alpha only
  VEIL,            // the closing fade's black veil
  CREDIT,          // the closing credit
  OVERLAY,         // the spectrum overlay of the live show
};
constexpr int DRAWERS = 8;

class DrawTally {
 public:
  virtual ~DrawTally() = default;
  // The drawer's draws follow, up to End; stretches never nest.
  virtual void Begin(Drawer drawer) = 0;
  virtual void End() = 0;
  // One draw call (a glBegin/glEnd block or an array draw) of that many vertices.
  virtual void Draw(long vertices) = 0;
};

// Installs tally, which stays owned by the caller; null installs none.
void SetDrawTally(DrawTally* tally);

// A stretch of drawing by one drawer, for the tally installed when it began.
class Drawing {
 public:
  explicit Drawing(Drawer drawer);
  ~Drawing();
  Drawing(const Drawing&) = delete;
  Drawing& operator=(const Drawing&) = delete;

 private:
  DrawTally* const tally;
};

// Counts one draw call of that many vertices with the installed tally, if any.
void CountDraw(long vertices);

}  // namespace platform
