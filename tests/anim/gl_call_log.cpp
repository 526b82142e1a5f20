// Interposes glBegin, glVertex3fv and glEnd: a definition in the executable
// wins over the GL library's, and the library's own is found with RTLD_NEXT.
// Unlike feedback mode this also sees vertices that make no primitive.
#include "gl_call_log.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

struct CallLog {
  bool recording = false;
  std::vector<GLBlock> blocks;
};

CallLog& Log() {
  static CallLog log;
  return log;
}

template <typename F>
F Real(const char* name) {
  void* f = dlsym(RTLD_NEXT, name);
  if (f == nullptr) std::abort();
  return reinterpret_cast<F>(f);
}

}  // namespace

void StartGLCallLog() {
  Log().blocks.clear();
  Log().recording = true;
}

std::vector<GLBlock> StopGLCallLog() {
  Log().recording = false;
  return std::move(Log().blocks);
}

extern "C" {

void glBegin(GLenum mode) {
  static const auto real = Real<void (*)(GLenum)>("glBegin");
  if (Log().recording) {
    GLBlock block;
    block.mode = mode;
    Log().blocks.push_back(block);
  }
  real(mode);
}

void glVertex3fv(const GLfloat* v) {
  static const auto real = Real<void (*)(const GLfloat*)>("glVertex3fv");
  if (Log().recording && !Log().blocks.empty()) Log().blocks.back().vertices.emplace_back(v[0], v[1], v[2]);
  real(v);
}

void glEnd() {
  static const auto real = Real<void (*)()>("glEnd");
  if (Log().recording && !Log().blocks.empty()) Log().blocks.back().ended = true;
  real();
}

}  // extern "C"
