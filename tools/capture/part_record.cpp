// The record's lines are read back by key: the capture's own lines are kept
// as one text and compared whole, the part's own ones are parsed.
#include "part_record.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr const char* FIRST_LINE = "zarv-capture part";
constexpr size_t HASHED_BYTES = 1 << 20;
// A record is a few hundred bytes; anything far bigger is not one.
constexpr std::streamsize MOST_RECORD_BYTES = 1 << 16;

struct Fnv {
  uint64_t h = 14695981039346656037ull;
  void Add(const char* data, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
  }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, h);
    return text;
  }
};

// Adds up to limit bytes of the file; false when it cannot be read.
bool AddFile(const std::string& path, size_t limit, Fnv* fnv) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(1 << 16);
  size_t left = limit;
  while (left > 0 && in) {
    in.read(buffer.data(), static_cast<std::streamsize>(std::min(left, buffer.size())));
    const size_t n = static_cast<size_t>(in.gcount());
    fnv->Add(buffer.data(), n);
    left -= n;
    if (n == 0) break;
  }
  return !in.bad();
}

}  // namespace

std::string PartRecord::Text() const {
  std::ostringstream out;
  out << FIRST_LINE << "\n"
      << capture << "part " << part << " " << parts << "\nframes " << first << " " << end << "\nbytes "
      << bytes << "\ntrack " << track << "\n";
  return out.str();
}

bool ReadPartRecord(const std::string& path, PartRecord* record, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "it has no record " + path + " beside it: not a part made with --part";
    return false;
  }
  *record = PartRecord();
  std::string line;
  bool first = true, bad = false, sawPart = false, sawFrames = false, sawBytes = false;
  std::streamsize read = 0;
  while (std::getline(in, line)) {
    read += static_cast<std::streamsize>(line.size()) + 1;
    if (read > MOST_RECORD_BYTES || (first && line != FIRST_LINE)) {
      bad = true;
      break;
    }
    if (first) {
      first = false;
      continue;
    }
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space),
                      value = space == std::string::npos ? "" : line.substr(space + 1);
    std::istringstream fields(value);
    if (key == "part") {
      sawPart = static_cast<bool>(fields >> record->part >> record->parts);
    } else if (key == "frames") {
      sawFrames = static_cast<bool>(fields >> record->first >> record->end);
    } else if (key == "bytes") {
      sawBytes = static_cast<bool>(fields >> record->bytes);
    } else if (key == "track") {
      record->track = value;
    } else {
      record->capture += line + "\n";
      if (key == "track-hash") record->trackHash = value;
      if (key == "format") record->format = value;
      if (key == "sound") fields >> record->soundStart >> record->soundLength;
      if (key == "fps") fields >> record->fps;
    }
  }
  const bool whole = sawPart && sawFrames && sawBytes && record->part >= 1 && record->part <= record->parts &&
                     record->first < record->end && !record->format.empty() && record->fps > 0;
  if (bad || first || !whole) {
    *error = "its record " + path + " is not one --part writes";
    return false;
  }
  return true;
}

bool WritePartRecord(const std::string& path, const PartRecord& record, std::string* error) {
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial);
    out << record.Text();
    out.close();
    if (!out) {
      std::remove(partial.c_str());
      *error = "cannot write " + path;
      return false;
    }
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string PartRecordPath(const std::string& output, bool frames, int part, int parts) {
  if (!frames) return output + ".zarv-part";
  return output + "/part-" + std::to_string(part) + "-of-" + std::to_string(parts) + ".zarv-part";
}

void PartFrames(long first, long end, int part, int parts, long* partFirst, long* partEnd) {
  const long long length = end - first;
  *partFirst = first + static_cast<long>(length * (part - 1) / parts);
  *partEnd = first + static_cast<long>(length * part / parts);
}

std::string HashFileStart(const std::string& path) {
  Fnv fnv;
  return AddFile(path, HASHED_BYTES, &fnv) ? fnv.Hex() : "";
}

std::string HashFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  Fnv fnv;
  for (const std::string& name : names) {
    fnv.Add(name.c_str(), name.size() + 1);
    if (!AddFile(folder + "/" + name, static_cast<size_t>(-1), &fnv)) return "";
  }
  return fnv.Hex();
}

std::string HashText(const std::string& text) {
  Fnv fnv;
  fnv.Add(text.data(), text.size());
  return fnv.Hex();
}
