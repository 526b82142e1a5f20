// How the baker writes its images: 8-bit RGBA at the highest compression,
// so that the same pixels always give the same, smallest file.
#pragma once

#include <string>
#include <vector>

// Writes width x height RGBA pixels (top row first) as a PNG; false with a
// message on stderr.
bool WriteBakedPng(const std::string& path, int width, int height, std::vector<unsigned char> pixels);
