// The one-frame trial is ffmpeg's own, on a black frame from its lavfi
// source, so that it asks the driver exactly what the capture will.
#include "h264_encoder.h"

#include <glob.h>

#include <string>
#include <vector>

#include "child_runner.h"

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

// Encodes one frame with the encoder's arguments (those before the input,
// and the codec's); false with ffmpeg's first line of complaint.
bool EncodesAFrame(const std::vector<std::string>& before, const std::vector<std::string>& codec,
                   std::string* complaint) {
  Child::Command trial;
  trial.name = "ffmpeg's trial of " + codec.back();
  trial.argv = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin"};
  trial.argv.insert(trial.argv.end(), before.begin(), before.end());
  trial.argv.insert(trial.argv.end(), {"-f", "lavfi", "-i", "color=black:s=256x256:d=1", "-frames:v", "1"});
  trial.argv.insert(trial.argv.end(), codec.begin(), codec.end());
  trial.argv.insert(trial.argv.end(), {"-f", "null", "-"});
  // Bounded: a driver that hangs must not hold up the capture.
  trial.deadlineSeconds = BoundSeconds(ENCODER_TRIAL_SECONDS);
  Child ffmpeg;
  if (!ffmpeg.Start(trial, complaint)) return false;
  ffmpeg.Wait();
  if (ffmpeg.Succeeded()) return true;
  const std::string said = ffmpeg.ErrorTail();
  *complaint = ffmpeg.Stuck() || said.empty() ? ffmpeg.Failure() : said.substr(0, said.find('\n'));
  while (!complaint->empty() && complaint->back() == '\r') complaint->pop_back();
  // Without ffmpeg's "[h264_nvenc @ 0x...] " prefix.
  if (!complaint->empty() && (*complaint)[0] == '[' && complaint->find("] ") != std::string::npos)
    complaint->erase(0, complaint->find("] ") + 2);
  return false;
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
    if (!EncodesAFrame({}, {"-c:v", "h264_nvenc"}, &complaint)) {
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
  if (!EncodesAFrame({"-vaapi_device", node}, {"-vf", "format=nv12,hwupload", "-c:v", "h264_vaapi"},
                     &complaint)) {
    *error = "--encoder vaapi: " + node + " does not encode H.264 (ffmpeg's h264_vaapi: " + complaint + ")";
    return false;
  }
  chosen->codec = "h264_vaapi";
  chosen->device = node;
  return true;
}
