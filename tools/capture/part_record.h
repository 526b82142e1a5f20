// What a part of a split capture is (--part K/N): everything that must be
// the same in every part of one capture, which slice of its frames this one
// holds, and how big its file was, kept as a small text file beside it so
// that --join can refuse parts that do not belong together.
#pragma once

#include <string>

struct PartRecord {
  // Alike in every part of one capture, each line "key value".
  std::string capture;
  int part = 0;  // 1..parts
  int parts = 0;
  long first = 0;  // the part's frames, [first, end)
  long end = 0;
  long long bytes = 0;  // the part's file; 0 for PNG frames
  std::string track;    // the track's path where the part was drawn (its hash is in capture)
  // Read back from capture for the join.
  std::string trackHash;  // the track's first megabyte's hash
  std::string format;     // the video's extension, or "png"
  int fps = 0;
  double soundStart = 0;   // the whole capture's sound: seconds into the track
  double soundLength = 0;  // and how many

  std::string Text() const;
};

// The record at path; false with a reason when it cannot be read or is not one.
bool ReadPartRecord(const std::string& path, PartRecord* record, std::string* error);
// Writes it to path, whole or not at all.
bool WritePartRecord(const std::string& path, const PartRecord& record, std::string* error);
// Where a part's record is: beside a video, inside a folder of frames.
std::string PartRecordPath(const std::string& output, bool frames, int part, int parts);

// Slice part (1..parts) of the frames [first, end), cut on frame numbers so
// that the slices meet exactly.
void PartFrames(long first, long end, int part, int parts, long* partFirst, long* partEnd);

// FNV-1a hashes, in hexadecimal: of the first megabyte of a file, and of
// every file's name and contents in a folder, in name order. Empty when a
// file cannot be read.
std::string HashFileStart(const std::string& path);
std::string HashFolder(const std::string& folder);
std::string HashText(const std::string& text);
