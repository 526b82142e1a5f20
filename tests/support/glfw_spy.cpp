// Test helper, loaded into the real binary with LD_PRELOAD: passes every
// call on to GLFW and appends what the program asked for to
// "glfw_calls.txt" in its working directory, one line per call:
//   "mode W H HZ"            the primary monitor's current mode, seen at window creation
//   "refresh HZ"             a GLFW_REFRESH_RATE hint
//   "window W H fullscreen"  (or "windowed") a glfwCreateWindow call
//   "swap"                   a glfwSwapBuffers call
//   "terminate"              a glfwTerminate call
// It also stands in for a monitor being unplugged: once a file
// "unplug_primary" appears in the working directory, the next event poll
// tells the program that the primary monitor was disconnected (and removes
// the file), as GLFW would.
#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace {

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

GLFWmonitorfun programsMonitorCallback = nullptr;

void Record(const char* format, int a = 0, int b = 0, int c = 0) {
  if (FILE* out = std::fopen("glfw_calls.txt", "a")) {
    std::fprintf(out, format, a, b, c);
    std::fputc('\n', out);
    std::fclose(out);
  }
}

}  // namespace

extern "C" {

void glfwWindowHint(int hint, int value) {
  if (hint == GLFW_REFRESH_RATE) Record("refresh %d", value);
  Next<void (*)(int, int)>("glfwWindowHint")(hint, value);
}

GLFWwindow* glfwCreateWindow(int width, int height, const char* title, GLFWmonitor* monitor,
                             GLFWwindow* share) {
  if (const GLFWvidmode* mode = glfwGetVideoMode(glfwGetPrimaryMonitor())) {
    Record("mode %d %d %d", mode->width, mode->height, mode->refreshRate);
  }
  Record(monitor != nullptr ? "window %d %d fullscreen" : "window %d %d windowed", width, height);
  using Create = GLFWwindow* (*)(int, int, const char*, GLFWmonitor*, GLFWwindow*);
  return Next<Create>("glfwCreateWindow")(width, height, title, monitor, share);
}

void glfwSwapBuffers(GLFWwindow* window) {
  Record("swap");
  Next<void (*)(GLFWwindow*)>("glfwSwapBuffers")(window);
}

GLFWmonitorfun glfwSetMonitorCallback(GLFWmonitorfun callback) {
  programsMonitorCallback = callback;
  return Next<GLFWmonitorfun (*)(GLFWmonitorfun)>("glfwSetMonitorCallback")(callback);
}

void glfwPollEvents() {
  Next<void (*)()>("glfwPollEvents")();
  if (programsMonitorCallback != nullptr && unlink("unplug_primary") == 0)
    programsMonitorCallback(glfwGetPrimaryMonitor(), GLFW_DISCONNECTED);
}

void glfwTerminate() {
  Record("terminate");
  Next<void (*)()>("glfwTerminate")();
}
}
