// Test support: records the glBegin / glVertex3fv / glEnd calls made while
// recording is on, and passes every call on to GL. Linking gl_call_log.cpp
// into a test binary replaces those three GL entry points for the whole binary.
#pragma once

#include <GL/gl.h>

#include <vector>

#include "foundation/vector3.h"

// One glBegin ... glEnd block.
struct GLBlock {
  GLenum mode = 0;
  std::vector<Vector3> vertices;
  bool ended = false;
};

void StartGLCallLog();
// Stops recording and hands over the blocks seen since StartGLCallLog.
std::vector<GLBlock> StopGLCallLog();
