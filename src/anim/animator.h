// The keyframed motion of one object: the curves of one .anim file, turned
// each frame into a translation and three rotations on the current GL matrix.
// The caller chooses the matrix mode and sets up the frame beforehand.
#pragma once

#include <string>
#include <vector>

#include "anim/animcurve.h"

class Animator {
 public:
  // Loads the .anim file at `name` (relative to the working directory). A
  // missing file or a bad curve record ends the program through the log.
  explicit Animator(const std::string& name);
  virtual ~Animator();
  Animator(const Animator&) = delete;
  Animator& operator=(const Animator&) = delete;

  // Multiplies the transform at `frame` onto the current matrix:
  // translate * rotX * rotY * rotZ, angles in degrees. Outside
  // [startFrame, endFrame] it does nothing. A size curve ends the program.
  void Animate(float frame);

  std::vector<AnimCurve*> curves;   // in file order, owned
  float startFrame = 100000000.0f;  // first key frame of all curves; 1e8 with none
  float endFrame = -100000000.0f;   // last key frame of all curves; -1e8 with none

 private:
  Animator() = default;
};
