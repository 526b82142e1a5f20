// One fuzz input as a file the loaders can open by name: an anonymous
// in-memory file, rewritten for every input, so nothing touches the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class InputFile {
 public:
  explicit InputFile(const char* name);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Makes the file hold exactly these bytes.
  void Set(const uint8_t* data, size_t size);
  // A path that opens the file afresh, from its start, with open or fopen.
  const std::string& Path() const { return path; }

 private:
  int fd = -1;
  std::string path;
};
