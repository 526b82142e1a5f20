// Writes one captured frame as an RGB PNG (what the screen shows: the
// framebuffer's alpha is left out), the same bytes for the same pixels.
#pragma once

#include <string>
#include <vector>

// pixels: height rows of width * 4 bytes, top row first. False with the
// reason in *error when the file cannot be written.
bool WriteFramePng(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels,
                   std::string* error);
