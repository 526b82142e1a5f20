// The installed tally is the seam's one piece of state.
#include "platform/draw_tally.h"

namespace platform {

namespace {

DrawTally* installed = nullptr;

}  // namespace

void SetDrawTally(DrawTally* tally) { installed = tally; }

Drawing::Drawing(Drawer drawer) : tally(installed) {
  if (tally != nullptr) tally->Begin(drawer);
}

Drawing::~Drawing() {
  if (tally != nullptr) tally->End();
}

void CountDraw(long vertices) {
  if (installed != nullptr) installed->Draw(vertices);
}

}  // namespace platform
