// What a part of a split capture is (--part K/N): everything that must be
// the same in every part of one capture, which slice of its frames this one
// holds, and how big its file was, kept as a small text file beside it so
// that --join can refuse parts that do not belong together.
#pragma once

#include <string>

// Alike in every part of one capture: what drew it and what was asked of
// it. The capture fills it in; only the record writes and reads it.
struct CaptureIdentity {
  std::string version;      // the program's version
  std::string build;        // the program file's hash: builds of one version differ in it
  std::string showData;     // HashFolder of the show's data folder
  std::string trackHash;    // HashFile of the track
  double trackSeconds = 0;  // the track as the show decodes it
  std::string credit;       // HashText of the credit line
  long rangeFirst = 0;      // the whole capture's frames, [rangeFirst, rangeEnd)
  long rangeEnd = 0;
  int fps = 0;
  int videoWidth = 0;  // the video's pixels, as asked for
  int videoHeight = 0;
  bool pad = false;
  bool scaleOnly = false;
  int msaa = 0;
  bool alpha = false;
  std::string format;  // the video's extension, or "png"
  std::string preset;  // x264's
  int crf = 0;
  std::string renderer;    // the renderer's line, and the encoder's for an .mp4
  double soundStart = 0;   // the whole capture's sound: seconds into the track
  double soundLength = 0;  // and how many
};

struct PartRecord : CaptureIdentity {
  int part = 0;  // 1..parts
  int parts = 0;
  long first = 0;  // the part's frames, [first, end)
  long end = 0;
  long long bytes = 0;  // the part's file; 0 for PNG frames
  std::string track;    // the track's path where the part was drawn
  // The identity's lines as read: parts of one capture have the same.
  std::string capture;
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

// FNV-1a hashes, in hexadecimal. A file's whole contents; empty when it
// cannot be read.
std::string HashFile(const std::string& path);
// Every file under folder, at any depth, by its path within it and its
// contents, in name order, symbolic links followed. False with the reason,
// naming the file, when any entry cannot be read or is neither a file nor
// a folder.
bool HashFolder(const std::string& folder, std::string* hash, std::string* error);
std::string HashText(const std::string& text);
