// Test helpers: a fresh scratch directory that becomes the working directory
// for the test's lifetime (the show reads and writes relative to it), and
// small file utilities.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/zarv-test-XXXXXX";
    path = mkdtemp(tmpl);
    char cwd[4096];
    previous = getcwd(cwd, sizeof cwd) ? cwd : "/";
    if (chdir(path.c_str()) != 0) std::abort();
  }
  ~ScratchDir() {
    if (chdir(previous.c_str()) != 0) std::abort();
    std::string cmd = "rm -rf '" + path + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string path;

 private:
  std::string previous;
};

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> ReadLines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}
