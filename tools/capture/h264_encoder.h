// Which H.264 encoder an .mp4 is made with: x264 on the processor, or a
// graphics card's own (NVIDIA's NVENC, VA-API on Intel and AMD). A card's
// encoder is taken only when asked for, or with --renderer hardware when it
// works, and it is tried on one frame before the capture starts, so that a
// capture never fails halfway for want of it.
#pragma once

#include <string>

struct H264Encoder {
  std::string codec = "libx264";  // ffmpeg's encoder: libx264, h264_nvenc or h264_vaapi
  std::string device;             // h264_vaapi's render node
};

// The encoder for --encoder (auto, x264, nvenc or vaapi). glVendor and
// renderNode say what draws (renderNode empty when it has none), for auto
// with a hardware renderer to prefer the encoder on the same card. False,
// with a line naming what is missing, when the encoder asked for cannot
// encode a frame here.
bool ChooseH264Encoder(const std::string& wanted, bool hardwareRenderer, const std::string& glVendor,
                       const std::string& renderNode, H264Encoder* chosen, std::string* error);
