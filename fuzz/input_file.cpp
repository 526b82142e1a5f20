// memfd files reached through /proc/self/fd, which opens them anew (with a
// read position of their own) each time a loader opens the path.
#include "fuzz/input_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

InputFile::InputFile(const char* name) {
  fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  path = "/proc/self/fd/" + std::to_string(fd);
}

InputFile::~InputFile() { close(fd); }

void InputFile::Set(const uint8_t* data, size_t size) {
  size_t done = 0;
  bool ok = ftruncate(fd, 0) == 0;
  while (ok && done < size) {
    const ssize_t wrote = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    ok = wrote > 0;
    if (ok) done += static_cast<size_t>(wrote);
  }
  if (!ok) {
    std::perror("writing the fuzz input");
    std::abort();
  }
}
