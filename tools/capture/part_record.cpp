// A record is one line naming what it is, then a line "key value" for each
// field, the capture's own and then the part's, all written and read from
// one list of fields. Values are single lines: a line break or backslash in
// one is escaped.
#include "part_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

namespace {

constexpr const char* FIRST_LINE = "zarv-capture part";
// A record is a few hundred bytes; anything far bigger is not one.
constexpr std::streamsize MOST_RECORD_BYTES = 1 << 16;
// Enough digits that a time reads back as the same double.
constexpr int SECONDS_DIGITS = 17;

// Every field of the capture, by its key, in the order written.
template <typename Identity, typename Field>
void IdentityFields(Identity& c, Field&& field) {
  field("version", c.version);
  field("build", c.build);
  field("show-data", c.showData);
  field("track-hash", c.trackHash);
  field("track-seconds", c.trackSeconds);
  field("credit", c.credit);
  field("range-first", c.rangeFirst);
  field("range-end", c.rangeEnd);
  field("fps", c.fps);
  field("width", c.videoWidth);
  field("height", c.videoHeight);
  field("pad", c.pad);
  field("scale-only", c.scaleOnly);
  field("msaa", c.msaa);
  field("alpha", c.alpha);
  field("format", c.format);
  field("preset", c.preset);
  field("crf", c.crf);
  field("renderer", c.renderer);
  field("sound-start", c.soundStart);
  field("sound-length", c.soundLength);
}

// The part's own fields, after the capture's.
template <typename Record, typename Field>
void PartFields(Record& r, Field&& field) {
  field("part", r.part);
  field("parts", r.parts);
  field("first", r.first);
  field("end", r.end);
  field("bytes", r.bytes);
  field("track", r.track);
}

void Put(std::ostream& out, const std::string& value) {
  for (char c : value) out << (c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c));
}
template <typename Number>
void Put(std::ostream& out, Number value) {
  out << value;
}

bool Get(const std::string& text, std::string* value) {
  value->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *value += text[i];
    } else if (i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      *value += text[++i] == 'n' ? '\n' : '\\';
    } else {
      return false;
    }
  }
  return true;
}
template <typename Number>
bool Get(const std::string& text, Number* value) {
  std::istringstream in(text);
  in >> *value;
  return !in.fail() && (in >> std::ws).eof();
}

// Each field as a line "key value".
struct FieldWriter {
  std::ostringstream out;
  FieldWriter() { out.precision(SECONDS_DIGITS); }
  template <typename Value>
  void operator()(const char* key, const Value& value) {
    out << key << ' ';
    Put(out, value);
    out << '\n';
  }
};

std::string IdentityText(const CaptureIdentity& capture) {
  FieldWriter writer;
  IdentityFields(capture, writer);
  return writer.out.str();
}

std::string RecordText(const PartRecord& record) {
  FieldWriter writer;
  writer.out << FIRST_LINE << '\n';
  IdentityFields(record, writer);
  PartFields(record, writer);
  return writer.out.str();
}

struct Fnv {
  uint64_t h = 14695981039346656037ull;
  void Add(const char* data, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
  }
  void Add(const std::string& text) { Add(text.c_str(), text.size() + 1); }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, h);
    return text;
  }
};

// Adds the file's bytes, then their count; false with errno set when it cannot be read.
bool AddFile(const std::string& path, Fnv* fnv) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<char> buffer(1 << 16);
  unsigned long long count = 0;
  ssize_t n = 0;
  while ((n = read(fd, buffer.data(), buffer.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    fnv->Add(buffer.data(), static_cast<size_t>(n));
    count += static_cast<unsigned long long>(n);
  }
  const int reason = errno;
  close(fd);
  errno = reason;
  fnv->Add(std::to_string(count));
  return n == 0;
}

bool Unreadable(const std::string& path, std::string* error) {
  *error = "cannot read " + path + ": " + std::strerror(errno);
  return false;
}

// Adds the files under root/relative (relative empty for root itself), in
// name order, each by its path below root. above: the folders on the way
// down, so that a link back up is refused rather than followed for ever.
bool AddFolder(const std::string& root, const std::string& relative,
               std::vector<std::pair<dev_t, ino_t>>* above, Fnv* fnv, std::string* error) {
  const std::string folder = relative.empty() ? root : root + "/" + relative;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return Unreadable(folder, error);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  const int reason = errno;
  closedir(dir);
  errno = reason;
  if (reason != 0) return Unreadable(folder, error);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string inside = relative.empty() ? name : relative + "/" + name;
    const std::string path = root + "/" + inside;
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0) return Unreadable(path, error);
    if (S_ISDIR(info.st_mode)) {
      const std::pair<dev_t, ino_t> id(info.st_dev, info.st_ino);
      if (std::find(above->begin(), above->end(), id) != above->end()) {
        *error = path + " leads back to a folder it is in";
        return false;
      }
      above->push_back(id);
      if (!AddFolder(root, inside, above, fnv, error)) return false;
      above->pop_back();
    } else if (S_ISREG(info.st_mode)) {
      fnv->Add(inside);
      if (!AddFile(path, fnv)) return Unreadable(path, error);
    } else {
      *error = path + " is neither a file nor a folder";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadPartRecord(const std::string& path, PartRecord* record, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "it has no record " + path + " beside it: not a part made with --part";
    return false;
  }
  *record = PartRecord();
  std::map<std::string, std::string> values;
  std::string line;
  bool first = true, bad = false;
  std::streamsize read = 0;
  while (!bad && std::getline(in, line)) {
    read += static_cast<std::streamsize>(line.size()) + 1;
    bad = read > MOST_RECORD_BYTES || (first && line != FIRST_LINE);
    if (!first && !bad) {
      const size_t space = line.find(' ');
      bad = !values.emplace(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1))
                 .second;
    }
    first = false;
  }
  size_t fields = 0, known = 0;
  const auto take = [&](const char* key, auto& value) {
    ++fields;
    const auto found = values.find(key);
    if (found != values.end() && Get(found->second, &value)) ++known;
  };
  IdentityFields(*record, take);
  PartFields(*record, take);
  const bool whole = known == fields && values.size() == fields && record->part >= 1 &&
                     record->part <= record->parts && record->first < record->end &&
                     !record->format.empty() && record->fps > 0;
  if (bad || first || !whole) {
    *error = "its record " + path + " is not one --part writes";
    return false;
  }
  record->capture = IdentityText(*record);
  return true;
}

bool WritePartRecord(const std::string& path, const PartRecord& record, std::string* error) {
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial);
    out << RecordText(record);
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

std::string HashFile(const std::string& path) {
  Fnv fnv;
  return AddFile(path, &fnv) ? fnv.Hex() : "";
}

bool HashFolder(const std::string& folder, std::string* hash, std::string* error) {
  struct stat info = {};
  if (stat(folder.c_str(), &info) != 0) return Unreadable(folder, error);
  std::vector<std::pair<dev_t, ino_t>> above = {{info.st_dev, info.st_ino}};
  Fnv fnv;
  if (!AddFolder(folder, "", &above, &fnv, error)) return false;
  *hash = fnv.Hex();
  return true;
}

std::string HashText(const std::string& text) {
  Fnv fnv;
  fnv.Add(text.data(), text.size());
  return fnv.Hex();
}
