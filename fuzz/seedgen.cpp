// Writes the binary seeds of the png, mp3 and track fuzz targets: PNG files of
// every colour type and bit depth, short mp3 files of the three MPEG versions,
// and short WAV, FLAC, Ogg Vorbis, Opus and mp3 files for the track reader.
//   zarv-fuzz-seeds PNG_DIR MP3_DIR TRACK_DIR
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mp3/mp3_writer.h"
#include "png/png_writer.h"

namespace {

struct PngKind {
  const char* name;
  int colourType;
  int depth;
  bool transparency;
  bool gamma;
  bool interlaced;
  int width;
  int height;
};

// The kind's image with made-up samples; a palette image gets a full palette
// for its depth.
PngImage SeedImage(const PngKind& kind) {
  PngImage image;
  image.width = kind.width;
  image.height = kind.height;
  image.depth = kind.depth;
  image.colourType = kind.colourType;
  image.gamma = kind.gamma ? 0.45455 : 0.0;
  image.interlaced = kind.interlaced;
  if (kind.colourType == PNG_COLOR_TYPE_PALETTE) {
    const int entries = 1 << (kind.depth < 8 ? kind.depth : 8);
    for (int i = 0; i < entries; ++i) {
      image.palette.push_back(png_color{static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i),
                                        static_cast<png_byte>(i * 7)});
      if (kind.transparency) image.paletteAlpha.push_back(static_cast<png_byte>(i * 255 / entries));
    }
  } else {
    image.keyTransparent = kind.transparency;
  }
  image.rows.resize(PngRowBytes(image) * kind.height);
  for (size_t i = 0; i < image.rows.size(); ++i) image.rows[i] = static_cast<png_byte>(i * 97 + 13);
  return image;
}

struct Mp3Kind {
  const char* name;
  int rate;
  int channels;
  int kbps;  // 0: VBR with a Xing tag
  double seconds;
};

bool WriteMp3(const std::string& name, const Mp3Kind& kind) {
  const int frames = static_cast<int>(kind.seconds * kind.rate);
  std::vector<float> left(static_cast<size_t>(frames));
  std::vector<float> right(kind.channels == 2 ? static_cast<size_t>(frames) : 0);
  for (int n = 0; n < frames; ++n) {
    left[n] = static_cast<float>(0.37 * std::sin(n * 0.05) + 0.09 * std::sin(n * 0.9));
    if (!right.empty()) right[n] = static_cast<float>(0.27 * std::sin(n * 0.013));
  }
  Mp3Settings settings;
  settings.rate = kind.rate;
  settings.kbps = kind.kbps;
  settings.infoFrame = kind.kbps == 0 ? Mp3Settings::InfoFrame::FILLED : Mp3Settings::InfoFrame::BLANK;
  return WriteMp3(name, left, right, settings);
}

// The mp3 file behind an ID3v2.3 tag naming its artist and title, so that
// the track reader's choice of mpg123 by the tag alone is seeded too.
bool PrependId3(const std::string& name, const std::string& artist, const std::string& title) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  const std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::string frames;
  for (const auto& [id, text] : {std::pair<const char*, std::string>{"TPE1", artist}, {"TIT2", title}}) {
    const size_t size = text.size() + 1;  // the encoding byte (ISO-8859-1) and the text
    frames += id;
    frames += {0, 0, static_cast<char>(size >> 8), static_cast<char>(size & 0xFF), 0, 0, 0};
    frames += text;
  }
  std::string tag = "ID3";
  tag += {3, 0, 0};  // version 2.3, no flags
  // The size of what follows the header, in 7-bit bytes, big end first.
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((frames.size() >> shift) & 0x7F);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << tag << frames << audio;
  return static_cast<bool>(out.flush());
}

struct SoundKind {
  const char* name;  // the file's name, its extension included
  int format;        // libsndfile's container and encoding
  int rate;
  int channels;
  double seconds;
  bool tagged;  // an artist and a title
  // Steps instead of tones, level over each block of 4096 frames (the FLAC
  // encoder's block at its highest compression): a long track in a few bytes.
  bool steps;
};

// The spawning bands' tones (bands 1 and 17, about 43 and 732 Hz), the
// upper one beating at 3 Hz so that its levels spread, and a different phase
// on each channel.
float Sample(const SoundKind& kind, int frame, int channel) {
  if (kind.steps) return 0.25f * static_cast<float>((frame / 4096) % 3);
  const double t = static_cast<double>(frame) / kind.rate;
  const double pi = std::acos(-1.0);
  const double beat = 0.5 + 0.5 * std::sin(2.0 * pi * 3.0 * t);
  return static_cast<float>(0.4 * std::sin(2.0 * pi * 43.07 * t + channel) +
                            0.2 * beat * std::sin(2.0 * pi * 732.0 * t + 2.0 * channel));
}

bool WriteSound(const std::string& name, const SoundKind& kind) {
  SF_INFO info = {};
  info.samplerate = kind.rate;
  info.channels = kind.channels;
  info.format = kind.format;
  SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), sf_strerror(nullptr));
    return false;
  }
  // The lowest bit rate the lossy encoders take: the seeds stay small.
  double level = 1.0;
  sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  bool ok = true;
  if (kind.tagged) {
    ok = sf_set_string(file, SF_STR_ARTIST, "Seed Artist") == 0 &&
         sf_set_string(file, SF_STR_TITLE, "Seed") == 0;
  }
  const int frames = static_cast<int>(kind.seconds * kind.rate);
  std::vector<float> samples(static_cast<size_t>(frames) * kind.channels);
  for (int n = 0; n < frames; ++n) {
    for (int c = 0; c < kind.channels; ++c)
      samples[static_cast<size_t>(n) * kind.channels + c] = Sample(kind, n, c);
  }
  ok = sf_writef_float(file, samples.data(), frames) == frames && ok;
  return sf_close(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PNG_DIR MP3_DIR TRACK_DIR\n", argv[0]);
    return 2;
  }
  const std::string pngDir = argv[1];
  const std::string mp3Dir = argv[2];
  const std::string trackDir = argv[3];
  const PngKind pngs[] = {
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false, false, 9, 3},
      {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false, false, 5, 2},
      {"grey4-trns", PNG_COLOR_TYPE_GRAY, 4, true, false, false, 3, 3},
      {"grey8-gamma", PNG_COLOR_TYPE_GRAY, 8, false, true, false, 7, 5},
      {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, false, false, 2, 2},
      {"greyalpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, false, 3, 2},
      {"greyalpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false, false, 2, 3},
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false, false, 5, 3},
      {"rgb8-trns-interlaced", PNG_COLOR_TYPE_RGB, 8, true, false, true, 17, 9},
      {"rgb16-gamma", PNG_COLOR_TYPE_RGB, 16, false, true, false, 3, 3},
      {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, false, 4, 4},
      {"rgba16-interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, true, 9, 9},
      {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, false, false, 11, 2},
      {"palette4-trns", PNG_COLOR_TYPE_PALETTE, 4, true, false, false, 5, 5},
      {"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, false, false, 6, 2},
      {"palette8-trns-gamma", PNG_COLOR_TYPE_PALETTE, 8, true, true, true, 8, 8},
  };
  const Mp3Kind mp3s[] = {
      {"mpeg1-stereo-128", 44100, 2, 128, 0.15}, {"mpeg1-mono-32", 32000, 1, 32, 0.2},
      {"mpeg1-vbr", 48000, 2, 0, 0.2},           {"mpeg2-mono-24", 22050, 1, 24, 0.2},
      {"mpeg25-mono-8", 8000, 1, 8, 0.3},
  };
  const SoundKind sounds[] = {
      {"wav-u8-8k-mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 0.5, false, false},
      {"wav-s16-22k-stereo-tagged.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, 0.08, true, false},
      {"wav-float-48k-mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, 0.03, false, false},
      {"wav-float-8k-stereo-tagged.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 2, 0.1, true, false},
      {"wav-s16-44k-3ch.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 3, 0.03, false, false},
      {"flac-16-8k-mono-tagged.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 0.4, true, false},
      {"flac-16-8k-mono-steps-31s.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 31.0, false, true},
      {"vorbis-22k-stereo-tagged.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 2, 0.5, true, false},
      {"opus-48k-stereo-tagged.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 2, 0.3, true, false},
      {"opus-48k-mono-8s.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1, 8.0, false, false},
  };
  bool ok = true;
  for (const PngKind& kind : pngs) ok = WritePng(pngDir + "/" + kind.name + ".png", SeedImage(kind)) && ok;
  for (const Mp3Kind& kind : mp3s) ok = WriteMp3(mp3Dir + "/" + kind.name + ".mp3", kind) && ok;
  for (const SoundKind& kind : sounds) ok = WriteSound(trackDir + "/" + kind.name, kind) && ok;
  // The track reader takes mp3 too: one bare, one behind an ID3 tag.
  ok = WriteMp3(trackDir + "/mpeg2-mono-24.mp3", mp3s[3]) && ok;
  ok = WriteMp3(trackDir + "/mpeg1-mono-32-id3.mp3", mp3s[1]) &&
       PrependId3(trackDir + "/mpeg1-mono-32-id3.mp3", "Seed Artist", "Seed") && ok;
  if (!ok) std::fprintf(stderr, "%s: some seeds could not be written\n", argv[0]);
  return ok ? 0 : 1;
}
