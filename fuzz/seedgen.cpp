// Writes the binary seeds of the png and mp3 fuzz targets: small PNG files of
// every colour type and bit depth the decoder treats apart (with and without
// transparency, gamma, interlacing), and short mp3 files at the sample rates
// of the three MPEG versions, mono and stereo, CBR and VBR.
//   zarv-fuzz-seeds PNG_DIR MP3_DIR
#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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
  lame_global_flags* lame = lame_init();
  if (lame == nullptr) return false;
  lame_set_in_samplerate(lame, kind.rate);
  lame_set_out_samplerate(lame, kind.rate);
  lame_set_num_channels(lame, kind.channels);
  lame_set_mode(lame, kind.channels == 1 ? MONO : JOINT_STEREO);
  if (kind.kbps > 0) {
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kind.kbps);
  } else {
    lame_set_VBR(lame, vbr_default);
    lame_set_bWriteVbrTag(lame, 1);
  }
  bool ok = lame_init_params(lame) >= 0;
  const int frames = static_cast<int>(kind.seconds * kind.rate);
  std::vector<short> left(static_cast<size_t>(frames));
  std::vector<short> right(static_cast<size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    left[n] = static_cast<short>(12000.0 * std::sin(n * 0.05) + 3000.0 * std::sin(n * 0.9));
    right[n] = static_cast<short>(9000.0 * std::sin(n * 0.013));
  }
  std::vector<unsigned char> out(static_cast<size_t>(frames) * 5 / 4 + 7200);
  FILE* file = ok ? std::fopen(name.c_str(), "w+b") : nullptr;
  ok = file != nullptr;
  if (ok) {
    const int bytes =
        lame_encode_buffer(lame, left.data(), right.data(), frames, out.data(), static_cast<int>(out.size()));
    ok = bytes >= 0 && std::fwrite(out.data(), 1, bytes, file) == static_cast<size_t>(bytes);
  }
  if (ok) {
    const int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
    ok = bytes >= 0 && std::fwrite(out.data(), 1, bytes, file) == static_cast<size_t>(bytes);
  }
  if (ok && kind.kbps == 0) lame_mp3_tags_fid(lame, file);
  if (file != nullptr) ok = std::fclose(file) == 0 && ok;
  lame_close(lame);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PNG_DIR MP3_DIR\n", argv[0]);
    return 2;
  }
  const std::string pngDir = argv[1];
  const std::string mp3Dir = argv[2];
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
  bool ok = true;
  for (const PngKind& kind : pngs) ok = WritePng(pngDir + "/" + kind.name + ".png", SeedImage(kind)) && ok;
  for (const Mp3Kind& kind : mp3s) ok = WriteMp3(mp3Dir + "/" + kind.name + ".mp3", kind) && ok;
  if (!ok) std::fprintf(stderr, "%s: some seeds could not be written\n", argv[0]);
  return ok ? 0 : 1;
}
