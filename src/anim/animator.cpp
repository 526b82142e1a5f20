// Loading an .anim file (a curve count, then the curve records) and applying
// its curves to the OpenGL matrix.
#include "anim/animator.h"

#include <GL/gl.h>

#include <fstream>

#include "anim/streamreading.h"
#include "foundation/debug.h"

namespace {

// A curve record is four header words and at least one key of six numbers.
constexpr int TOKENS_PER_CURVE = 4 + 6;
// Rotation curves hold tens of degrees.
constexpr double DEGREES_PER_UNIT = 10.0;

}  // namespace

// Delegating to the default constructor makes the object complete before
// loading starts, so should a fatal report unwind rather than exit (as under
// a fuzzer), the destructor still frees the curves read so far.
Animator::Animator(const std::string& name) : Animator() {
  std::ifstream f(name);
  if (f.fail()) {
    Log::Msg("animator file \"%s\" not found", name.c_str());
    ZARV_ERROR();
  }
  int count = 0;
  f >> count;
  if (count < 0) {
    Log::Msg("animator file \"%s\" has a negative curve count %d", name.c_str(), count);
    ZARV_ERROR();
  }
  if (count > MaxRecordsLeft(f, TOKENS_PER_CURVE)) {
    Log::Msg("animator file \"%s\" claims %d curves, more than the file holds", name.c_str(), count);
    ZARV_ERROR();
  }

  AnimCurve::NameStream(f, name);
  curves.assign(static_cast<size_t>(count), nullptr);
  for (AnimCurve*& curve : curves) {
    curve = new AnimCurve(f);
    if (curve->startFrame < startFrame) startFrame = curve->startFrame;
    if (curve->endFrame > endFrame) endFrame = curve->endFrame;
  }
  f.close();
}

Animator::~Animator() {
  for (AnimCurve* curve : curves) delete curve;
  curves.clear();
}

void Animator::Animate(float frame) {
  if (startFrame > frame || frame > endFrame) return;
  float location[3] = {0.0f, 0.0f, 0.0f};
  float angle[3] = {0.0f, 0.0f, 0.0f};
  // A later curve of the same channel overrides an earlier one.
  for (const AnimCurve* curve : curves) {
    switch (curve->channel) {
      case AnimCurve::LOCX:
      case AnimCurve::LOCY:
      case AnimCurve::LOCZ:
        location[curve->channel - AnimCurve::LOCX] = curve->Eval(frame);
        break;
      case AnimCurve::ROTX:
      case AnimCurve::ROTY:
      case AnimCurve::ROTZ:
        angle[curve->channel - AnimCurve::ROTX] = static_cast<float>(curve->Eval(frame) * DEGREES_PER_UNIT);
        break;
      default:
        // Size curves load but cannot be shown.
        Log::Msg(std::string());
        ZARV_ERROR();
    }
  }
  glTranslatef(location[0], location[1], location[2]);
  glRotatef(angle[0], 1.0f, 0.0f, 0.0f);
  glRotatef(angle[1], 0.0f, 1.0f, 0.0f);
  glRotatef(angle[2], 0.0f, 0.0f, 1.0f);
}
