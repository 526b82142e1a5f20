// The one-frame trial is ffmpeg's own, on a black frame from its lavfi
// source, so that it asks the driver exactly what the capture will.
#include "h264_encoder.h"

#include <glob.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A graphics card's render node: the renderer's own, else the first there is.
std::string RenderNode(const std::string& renderersOwn) {
  if (!renderersOwn.empty()) return renderersOwn;
  glob_t found = {};
  std::string node;
  if (glob("/dev/dri/renderD*", 0, nullptr, &found) == 0 && found.gl_pathc > 0) node = found.gl_pathv[0];
  globfree(&found);
  return node;
}

// Encodes one frame with the encoder's arguments; false with ffmpeg's first
// line of complaint.
bool EncodesAFrame(const std::string& before, const std::string& codec, std::string* complaint) {
  // Bounded: a driver that hangs must not hold up the capture.
  const std::string command = "timeout 60 ffmpeg -hide_banner -loglevel error -nostdin " + before +
                              " -f lavfi -i color=black:s=256x256:d=1 -frames:v 1 " + codec +
                              " -f null - 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *complaint = "ffmpeg could not be run";
    return false;
  }
  char line[512] = {};
  if (std::fgets(line, sizeof line, pipe) != nullptr) *complaint = line;
  while (!complaint->empty() && (complaint->back() == '\n' || complaint->back() == '\r'))
    complaint->pop_back();
  // Without ffmpeg's "[h264_nvenc @ 0x...] " prefix.
  if (!complaint->empty() && (*complaint)[0] == '[' && complaint->find("] ") != std::string::npos)
    complaint->erase(0, complaint->find("] ") + 2);
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool ChooseH264Encoder(const std::string& wanted, bool hardwareRenderer, const std::string& glVendor,
                       const std::string& renderNode, H264Encoder* chosen, std::string* error) {
  *chosen = H264Encoder();
  if (wanted == "x264") return true;
  const bool nvidia = glVendor.find("NVIDIA") != std::string::npos;
  // auto: x264, unless the frames are drawn on a card whose encoder works.
  if (wanted == "auto") {
    if (!hardwareRenderer) return true;
    std::string ignored;
    return ChooseH264Encoder(nvidia ? "nvenc" : "vaapi", true, glVendor, renderNode, chosen, &ignored) ||
           ChooseH264Encoder("x264", true, glVendor, renderNode, chosen, &ignored);
  }
  std::string complaint;
  if (wanted == "nvenc") {
    if (!EncodesAFrame("", "-c:v h264_nvenc", &complaint)) {
      *error = "--encoder nvenc: there is no NVIDIA encoder here (ffmpeg's h264_nvenc: " + complaint + ")";
      return false;
    }
    chosen->codec = "h264_nvenc";
    return true;
  }
  const std::string node = RenderNode(renderNode);
  if (node.empty()) {
    *error = "--encoder vaapi: there is no graphics card's render node in /dev/dri for VA-API";
    return false;
  }
  if (!EncodesAFrame("-vaapi_device '" + node + "'", "-vf format=nv12,hwupload -c:v h264_vaapi",
                     &complaint)) {
    *error = "--encoder vaapi: " + node + " does not encode H.264 (ffmpeg's h264_vaapi: " + complaint + ")";
    return false;
  }
  chosen->codec = "h264_vaapi";
  chosen->device = node;
  return true;
}
