// The PNG decoder on images written here with libpng: every colour type and
// transformation, gamma only with gAMA, and every way a file can fail.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "png/png_writer.h"
#include "support/scratch_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Decoded {
  std::unique_ptr<unsigned char[]> pixels;
  int width = -7;
  int height = -7;
  int bpp = -7;
  std::string err;

  Bytes bytes() const {
    if (!pixels) return {};
    return Bytes(pixels.get(), pixels.get() + static_cast<size_t>(width) * height * bpp);
  }
};

Decoded Load(const std::string& file) {
  Decoded d;
  ::testing::internal::CaptureStderr();
  d.pixels.reset(Texture::load(file.c_str(), d.width, d.height, d.bpp));
  d.err = ::testing::internal::GetCapturedStderr();
  return d;
}

void ExpectFailure(const Decoded& d, const std::string& message) {
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(d.err, message);
  // The outputs are left as they were.
  EXPECT_EQ(d.width, -7);
  EXPECT_EQ(d.height, -7);
  EXPECT_EQ(d.bpp, -7);
}

// A valid 4 x 3 RGB file, the base of the damaged ones.
std::string ValidRgb() {
  Bytes rows;
  for (int i = 0; i < 4 * 3 * 3; ++i) rows.push_back(static_cast<unsigned char>(i * 7));
  EXPECT_TRUE(WritePng("ok.png", PngImage8(4, 3, PNG_COLOR_TYPE_RGB, rows)));
  return ReadFile("ok.png");
}

// Offset of the first byte of the named chunk's data.
size_t ChunkData(const std::string& png, const char* type) {
  size_t at = png.find(type);
  EXPECT_NE(at, std::string::npos);
  return at + 4;
}

uint32_t ChunkLength(const std::string& png, size_t data) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(png.data()) + data - 8;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

TEST(PngDecoder, SingleChannelAndColourImagesKeepTheirBytesTopRowFirst) {
  ScratchDir dir;
  const Bytes grey = {10, 20, 30, 40, 50, 60};
  ASSERT_TRUE(WritePng("grey.png", PngImage8(3, 2, PNG_COLOR_TYPE_GRAY, grey)));
  Decoded d = Load("grey.png");
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.height, 2);
  EXPECT_EQ(d.bpp, 1);
  EXPECT_EQ(d.bytes(), grey);

  const Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  ASSERT_TRUE(WritePng("rgb.png", PngImage8(3, 2, PNG_COLOR_TYPE_RGB, rgb)));
  d = Load("rgb.png");
  EXPECT_EQ(d.bpp, 3);
  EXPECT_EQ(d.bytes(), rgb);

  const Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 9, 9, 9, 1};
  ASSERT_TRUE(WritePng("rgba.png", PngImage8(1, 4, PNG_COLOR_TYPE_RGB_ALPHA, rgba)));
  d = Load("rgba.png");
  EXPECT_EQ(d.width, 1);
  EXPECT_EQ(d.height, 4);
  EXPECT_EQ(d.bpp, 4);
  EXPECT_EQ(d.bytes(), rgba);
}

TEST(PngDecoder, SixteenBitSamplesKeepTheirHighByte) {
  ScratchDir dir;
  PngImage image = PngImage8(2, 1, PNG_COLOR_TYPE_RGB,
                             {0x12, 0xFF, 0x34, 0x80, 0xFF, 0x7F, 0x00, 0xFF, 0xAB, 0x01, 0x56, 0x99});
  image.depth = 16;
  ASSERT_TRUE(WritePng("deep.png", image));
  Decoded d = Load("deep.png");
  EXPECT_EQ(d.bpp, 3);
  EXPECT_EQ(d.bytes(), (Bytes{0x12, 0x34, 0xFF, 0x00, 0xAB, 0x56}));
}

TEST(PngDecoder, TwoBitGreyIsExpandedToEightBits) {
  ScratchDir dir;
  // Five pixels 0, 1, 2, 3, 2 packed four to a byte.
  PngImage image = PngImage8(5, 1, PNG_COLOR_TYPE_GRAY, {0x1B, 0x80});
  image.depth = 2;
  ASSERT_TRUE(WritePng("two.png", image));
  Decoded d = Load("two.png");
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.bpp, 1);
  EXPECT_EQ(d.bytes(), (Bytes{0, 85, 170, 255, 170}));
}

TEST(PngDecoder, PaletteGivesRgbaWithTransparencyAndIndicesWithout) {
  ScratchDir dir;
  PngImage image = PngImage8(3, 1, PNG_COLOR_TYPE_PALETTE, {2, 0, 1});
  image.palette = {{200, 10, 20}, {30, 40, 50}, {60, 70, 80}};
  ASSERT_TRUE(WritePng("plain.png", image));
  Decoded d = Load("plain.png");
  EXPECT_EQ(d.bpp, 1);
  EXPECT_EQ(d.bytes(), (Bytes{2, 0, 1}));

  image.paletteAlpha = {0, 128};  // the third entry stays opaque
  ASSERT_TRUE(WritePng("clear.png", image));
  d = Load("clear.png");
  EXPECT_EQ(d.bpp, 4);
  EXPECT_EQ(d.bytes(), (Bytes{60, 70, 80, 255, 200, 10, 20, 0, 30, 40, 50, 128}));

  // A 4-bit palette is expanded to RGB even without transparency.
  image.paletteAlpha.clear();
  image.depth = 4;
  image.rows = {0x20, 0x10};
  ASSERT_TRUE(WritePng("small.png", image));
  d = Load("small.png");
  EXPECT_EQ(d.bpp, 3);
  EXPECT_EQ(d.bytes(), (Bytes{60, 70, 80, 200, 10, 20, 30, 40, 50}));
}

TEST(PngDecoder, GreyWithAlphaDecodesToTwoBytesPerPixel) {
  ScratchDir dir;
  const Bytes samples = {7, 200, 8, 100};
  ASSERT_TRUE(WritePng("ga.png", PngImage8(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, samples)));
  Decoded d = Load("ga.png");
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.bpp, 2);
  EXPECT_EQ(d.bytes(), samples);
}

TEST(PngDecoder, GammaIsCorrectedOnlyWithAGammaChunk) {
  ScratchDir dir;
  const Bytes samples = {0, 64, 128, 192, 255, 32};
  PngImage image = PngImage8(2, 1, PNG_COLOR_TYPE_RGB, samples);
  ASSERT_TRUE(WritePng("plain.png", image));
  EXPECT_EQ(Load("plain.png").bytes(), samples);

  // A linear file (gamma 1.0) shown on a 2.2 screen: out = in^(1/2.2).
  image.gamma = 1.0;
  ASSERT_TRUE(WritePng("linear.png", image));
  Bytes corrected = Load("linear.png").bytes();
  ASSERT_EQ(corrected.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const double expected = 255.0 * std::pow(samples[i] / 255.0, 1.0 / 2.2);
    EXPECT_NEAR(corrected[i], expected, 1.0) << "sample " << i;
  }
  EXPECT_GT(corrected[1], 128);
}

TEST(PngDecoder, InterlacedImagesDecodeToTheSameRows) {
  ScratchDir dir;
  Bytes samples;
  for (int i = 0; i < 9 * 9; ++i) samples.push_back(static_cast<unsigned char>(i * 3));
  PngImage image = PngImage8(9, 9, PNG_COLOR_TYPE_GRAY, samples);
  image.interlaced = true;
  ASSERT_TRUE(WritePng("adam7.png", image));
  Decoded d = Load("adam7.png");
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.bytes(), samples);
}

TEST(PngDecoder, NamesOtherThanDotPngAreUnknownFormats) {
  ScratchDir dir;
  ValidRgb();
  WriteFile("caps.PNG", ReadFile("ok.png"));
  WriteFile("ok.png.bak", ReadFile("ok.png"));
  WriteFile("noext", ReadFile("ok.png"));
  ExpectFailure(Load("caps.PNG"), "Texture::load(): unknown format of caps.PNG\n");
  ExpectFailure(Load("ok.png.bak"), "Texture::load(): unknown format of ok.png.bak\n");
  ExpectFailure(Load("noext"), "Texture::load(): unknown format of \"noext\" file");
  // The last dot decides, even in a directory name.
  ExpectFailure(Load("./noext"), "Texture::load(): unknown format of ./noext\n");
}

TEST(PngDecoder, MissingShortAndForeignFilesFailWithTheirMessages) {
  ScratchDir dir;
  const std::string png = ValidRgb();
  ExpectFailure(Load("missing.png"), "error open PNG file \"missing.png\"\n");
  WriteFile("short.png", png.substr(0, 7));
  ExpectFailure(Load("short.png"), "error load png file \"short.png\": wrong signature\n");
  WriteFile("empty.png", "");
  ExpectFailure(Load("empty.png"), "error load png file \"empty.png\": wrong signature\n");
  std::string foreign = png;
  foreign[1] = 'J';
  WriteFile("foreign.png", foreign);
  ExpectFailure(Load("foreign.png"), "error load png file \"foreign.png\": wrong signature\n");
}

TEST(PngDecoder, DamagedBodiesEndWithOneMessageAndNoResult) {
  ScratchDir dir;
  const std::string png = ValidRgb();

  // Only the signature.
  WriteFile("sig.png", png.substr(0, 8));
  ExpectFailure(Load("sig.png"), "error load png file \"sig.png\": Read Error\n");

  // Cut in the middle of the image data.
  const size_t idat = ChunkData(png, "IDAT");
  WriteFile("cut.png", png.substr(0, idat + 5));
  ExpectFailure(Load("cut.png"), "error load png file \"cut.png\": Read Error\n");

  // Cut before the end chunk.
  WriteFile("noend.png", png.substr(0, png.size() - 12));
  ExpectFailure(Load("noend.png"), "error load png file \"noend.png\": Read Error\n");

  // A flipped byte in the image data: zlib's own check sees it first.
  const uint32_t length = ChunkLength(png, idat);
  std::string flipped = png;
  flipped[idat + 4] = static_cast<char>(flipped[idat + 4] ^ 0x55);
  WriteFile("data.png", flipped);
  ExpectFailure(Load("data.png"), "error load png file \"data.png\": IDAT: incorrect data check\n");

  // A damaged checksum.
  std::string badSum = png;
  badSum[idat + length] = static_cast<char>(badSum[idat + length] ^ 0x01);
  WriteFile("crc.png", badSum);
  ExpectFailure(Load("crc.png"), "error load png file \"crc.png\": IDAT: CRC error\n");

  // Garbage compressed data under a correct checksum.
  std::string garbage = png;
  for (uint32_t i = 0; i < length; ++i) garbage[idat + i] = static_cast<char>(0xFF - i);
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(garbage.data() + idat - 4), length + 4);
  for (int i = 0; i < 4; ++i) {
    garbage[idat + length + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
  }
  WriteFile("zlib.png", garbage);
  Decoded d = Load("zlib.png");
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(d.bpp, -7);
  EXPECT_EQ(d.err.rfind("error load png file \"zlib.png\": IDAT: ", 0), 0u) << d.err;
  EXPECT_EQ(d.err.find('\n'), d.err.size() - 1) << d.err;
}

TEST(PngDecoder, HeadersAskingForHugeImagesAreRefused) {
  ScratchDir dir;
  PngImage image = PngImage8(8193, 1, PNG_COLOR_TYPE_GRAY, Bytes(8193, 0));
  ASSERT_TRUE(WritePng("wide.png", image));
  ExpectFailure(Load("wide.png"), "error load png file \"wide.png\": image larger than 8192 pixels\n");
  image = PngImage8(1, 8193, PNG_COLOR_TYPE_GRAY, Bytes(8193, 0));
  ASSERT_TRUE(WritePng("tall.png", image));
  ExpectFailure(Load("tall.png"), "error load png file \"tall.png\": image larger than 8192 pixels\n");
}
