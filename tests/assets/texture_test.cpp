// Textures: the PNG decoder on images written here with libpng (every
// colour type and transformation, gamma only with gAMA, every way a file
// can fail), then texture objects in the offscreen context: the flag word
// read back from GL, what each target's constructor uploads, drawing and copying.
#include "assets/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "assets/feedback.h"
#include "png/png_writer.h"
#include "support/offscreen_gl.h"
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

GLint Param(GLenum target, GLenum param) {
  GLint value = -1;
  glGetTexParameteriv(target, param, &value);
  return value;
}

GLint Level(GLenum target, int level, GLenum param) {
  GLint value = -1;
  glGetTexLevelParameteriv(target, level, param, &value);
  return value;
}

// Level 0 of the texture bound to target, tightly packed.
Bytes Image(GLenum target, GLenum format, size_t size) {
  Bytes bytes(size, 0xEE);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, bytes.data());
  return bytes;
}

// A w x h RGB file whose bytes count up from start.
Bytes WriteRgb(const std::string& file, int w, int h, int start = 0) {
  Bytes rows;
  for (int i = 0; i < w * h * 3; ++i) rows.push_back(static_cast<unsigned char>(start + i * 5));
  EXPECT_TRUE(WritePng(file, PngImage8(w, h, PNG_COLOR_TYPE_RGB, rows)));
  return rows;
}

struct Made {
  std::unique_ptr<Texture> texture;
  std::string err;
};

Made Make(const char* file, unsigned target, int flags) {
  Made made;
  ::testing::internal::CaptureStderr();
  made.texture = std::make_unique<Texture>(file, target, flags);
  made.err = ::testing::internal::GetCapturedStderr();
  return made;
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

using TextureGL = OffscreenGL;

TEST_F(TextureGL, TheShowsFlagsGiveTrilinearRepeatAndAnImageOfItsOwnSize) {
  ScratchDir dir;
  const Bytes rgb = WriteRgb("a.png", 3, 5);
  Made made = Make("a.png", GL_TEXTURE_2D, 0x18);
  const Texture& t = *made.texture;
  EXPECT_EQ(made.err, "");
  EXPECT_NE(t.name, 0u);
  EXPECT_EQ(t.target, static_cast<unsigned>(GL_TEXTURE_2D));
  EXPECT_EQ(t.width, 3);
  EXPECT_EQ(t.height, 5);
  EXPECT_EQ(t.bpp, 3);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<unsigned>(bound), t.name);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_GENERATE_MIPMAP), GL_TRUE);
  // glTexImage2D keeps the size; rows of 9 bytes arrive whole (no row padding).
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 3);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 5);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  EXPECT_EQ(Image(GL_TEXTURE_2D, GL_RGB, rgb.size()), rgb);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, FlagsZeroGiveTheSameParametersButGluMipmaps) {
  ScratchDir dir;
  WriteRgb("a.png", 3, 5);
  Made made = Make("a.png", GL_TEXTURE_2D, 0);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_GENERATE_MIPMAP), GL_TRUE);
  // GLU scales the 3 x 5 image to powers of two and builds every level.
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 4);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 4);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(made.texture->width, 3);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, NearestWinsOverBilinearAndClampOverClampToEdge) {
  ScratchDir dir;
  WriteRgb("a.png", 2, 2);
  Made nearest = Make("a.png", GL_TEXTURE_2D, 0x06);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_GENERATE_MIPMAP), GL_TRUE);

  Made bilinear = Make("a.png", GL_TEXTURE_2D, Texture::BILINEAR | Texture::CLAMP_TO_EDGE);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);

  Made clamp = Make("a.png", GL_TEXTURE_2D, 0x60);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, AOneDimensionalTextureTakesTheTopRow) {
  ScratchDir dir;
  const Bytes rgb = WriteRgb("strip.png", 4, 2);
  for (int flags : {0x18, 0}) {
    Made made = Make("strip.png", GL_TEXTURE_1D, flags);
    EXPECT_EQ(Level(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(Image(GL_TEXTURE_1D, GL_RGB, 12), Bytes(rgb.begin(), rgb.begin() + 12));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, SingleChannelAndWhiteImagesBecomeAlphaTextures) {
  ScratchDir dir;
  const Bytes grey = {1, 2, 3, 4, 5};
  ASSERT_TRUE(WritePng("g.png", PngImage8(5, 1, PNG_COLOR_TYPE_GRAY, grey)));
  Made made = Make("g.png", GL_TEXTURE_2D, 0x18);
  EXPECT_EQ(made.texture->bpp, 1);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);
  EXPECT_EQ(Image(GL_TEXTURE_2D, GL_ALPHA, grey.size()), grey);

  // A white RGBA image keeps only its alpha; one texel off white keeps all four.
  Bytes rgba = {255, 255, 255, 7, 255, 255, 255, 0};
  ASSERT_TRUE(WritePng("white.png", PngImage8(2, 1, PNG_COLOR_TYPE_RGBA, rgba)));
  Made white = Make("white.png", GL_TEXTURE_2D, 0x18);
  EXPECT_EQ(white.texture->bpp, 1);
  EXPECT_EQ(Image(GL_TEXTURE_2D, GL_ALPHA, 2), Bytes({7, 0}));
  rgba[6] = 254;
  ASSERT_TRUE(WritePng("white.png", PngImage8(2, 1, PNG_COLOR_TYPE_RGBA, rgba)));
  Made tinted = Make("white.png", GL_TEXTURE_2D, 0x18);
  EXPECT_EQ(tinted.texture->bpp, 4);
  EXPECT_EQ(Image(GL_TEXTURE_2D, GL_RGBA, rgba.size()), rgba);
}

TEST_F(TextureGL, AFileThatDoesNotLoadLeavesAnEmptyUsableTexture) {
  ScratchDir dir;
  Made made = Make("missing.png", GL_TEXTURE_2D, 0);
  Texture& t = *made.texture;
  EXPECT_EQ(made.err, "error open PNG file \"missing.png\"\n");
  EXPECT_EQ(t.width, 0);
  EXPECT_EQ(t.height, 0);
  EXPECT_EQ(t.bpp, 0);
  ASSERT_NE(t.name, 0u);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 0);
  t.bind();
  t.enable();
  PixelProjection();
  t.render(0, 0, 10, 10);
  t.disable();
  const unsigned name = t.name;
  made.texture.reset();
  EXPECT_FALSE(glIsTexture(name));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, GreyWithAlphaIsRefusedAndLeavesNoImage) {
  ScratchDir dir;
  ASSERT_TRUE(WritePng("ga.png", PngImage8(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, {1, 2, 3, 4})));
  Made made = Make("ga.png", GL_TEXTURE_2D, 0x18);
  EXPECT_EQ(made.err, "bpp of png-image not supported (2)\n");
  EXPECT_NE(made.texture->name, 0u);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureGL, ACubeMapLoadsOneFilePerFace) {
  ScratchDir dir;
  const char* faces[6] = {"px", "nx", "py", "ny", "pz", "nz"};
  const GLenum targets[6] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                             GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                             GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z};
  Bytes images[6];
  for (int f = 0; f < 6; ++f) images[f] = WriteRgb(std::string("sky_") + faces[f] + ".png", 2, 2, f * 40);
  for (int flags : {0x18, 0}) {
    Made made = Make("sky_%s.png", GL_TEXTURE_CUBE_MAP, flags);
    EXPECT_EQ(made.err, "");
    EXPECT_EQ(made.texture->width, 2);
    EXPECT_EQ(made.texture->bpp, 3);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(Image(targets[f], GL_RGB, 12), images[f]) << faces[f];
  }

  // A missing face is reported and skipped; the members end with the last face's values.
  std::remove("sky_py.png");
  Made gap = Make("sky_%s.png", GL_TEXTURE_CUBE_MAP, 0x18);
  EXPECT_EQ(gap.err, "error open PNG file \"sky_py.png\"\n");
  EXPECT_EQ(Level(GL_TEXTURE_CUBE_MAP_POSITIVE_Y, 0, GL_TEXTURE_WIDTH), 0);
  EXPECT_EQ(Image(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_RGB, 12), images[5]);
  EXPECT_EQ(gap.texture->width, 2);

  // A face GL cannot take stops the faces after it.
  ASSERT_TRUE(WritePng("sky_py.png", PngImage8(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, {1, 2, 3, 4})));
  Made refused = Make("sky_%s.png", GL_TEXTURE_CUBE_MAP, 0x18);
  EXPECT_EQ(refused.err, "bpp of png-image not supported (2)\n");
  EXPECT_EQ(Level(GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 0, GL_TEXTURE_WIDTH), 2);
  EXPECT_EQ(Level(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 0, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureGL, ACubeMapPatternLongerThanItsBufferIsRefused) {
  ScratchDir dir;
  // 1021 characters plus "px" make 1023: the longest name that fits.
  const std::string fits = std::string(1017, 'a') + "%s.png";
  Made made = Make(fits.c_str(), GL_TEXTURE_CUBE_MAP, 0x18);
  EXPECT_EQ(made.err.rfind("error open PNG file \"" + std::string(1017, 'a') + "px.png\"\n", 0), 0u);

  const std::string pattern = std::string(1018, 'a') + "%s.png";
  made = Make(pattern.c_str(), GL_TEXTURE_CUBE_MAP, 0x18);
  EXPECT_EQ(made.err, "Texture(): cube-map file name from \"" + pattern + "\" is longer than 1023 bytes\n");
  EXPECT_EQ(made.texture->width, 0);
  EXPECT_NE(made.texture->name, 0u);
}

TEST_F(TextureGL, ARectangleTextureKeepsItsSizeAndGetsTheSettingsItAllows) {
  ScratchDir dir;
  const Bytes rgb = WriteRgb("a.png", 3, 5);
  const GLenum rect = GL_TEXTURE_RECTANGLE_ARB;
  for (int flags : {0x18, 0, 0x06}) {
    Made made = Make("a.png", rect, flags);
    EXPECT_EQ(made.err, "");
    EXPECT_EQ(Level(rect, 0, GL_TEXTURE_WIDTH), 3) << flags;
    EXPECT_EQ(Level(rect, 0, GL_TEXTURE_HEIGHT), 5) << flags;
    EXPECT_EQ(Image(rect, GL_RGB, rgb.size()), rgb) << flags;
    const GLint filter = (flags & Texture::NEAREST) ? GL_NEAREST : GL_LINEAR;
    EXPECT_EQ(Param(rect, GL_TEXTURE_MAG_FILTER), filter) << flags;
    EXPECT_EQ(Param(rect, GL_TEXTURE_MIN_FILTER), filter) << flags;
    EXPECT_EQ(Param(rect, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE) << flags;
    EXPECT_EQ(Param(rect, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE) << flags;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << flags;
  }
  Made clamp = Make("a.png", rect, 0x60);
  EXPECT_EQ(Param(rect, GL_TEXTURE_WRAP_S), GL_CLAMP);
  Texture empty(4, 2, 4, rect, 0);
  EXPECT_EQ(Param(rect, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(Level(rect, 0, GL_TEXTURE_WIDTH), 4);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, OtherTargetsGetAnObjectAndParametersOnly) {
  ScratchDir dir;
  WriteRgb("a.png", 2, 2);
  Made made = Make("a.png", GL_TEXTURE_3D, 0x06);
  EXPECT_EQ(made.err, "");
  EXPECT_EQ(made.texture->width, 0);
  EXPECT_EQ(Param(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(Level(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureGL, EmptyTexturesHaveStorageAndFiltersWithoutMipmaps) {
  Texture nearest(8, 4, 4, GL_TEXTURE_2D, Texture::NEAREST | Texture::BILINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(Param(GL_TEXTURE_2D, GL_GENERATE_MIPMAP), GL_FALSE);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 8);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 4);
  EXPECT_EQ(Level(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);

  Texture bilinear(16, 1, 1, GL_TEXTURE_1D, Texture::BILINEAR | Texture::AUTO_MIPMAP | 0x60);
  EXPECT_EQ(Param(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_EQ(Param(GL_TEXTURE_1D, GL_GENERATE_MIPMAP), GL_TRUE);
  EXPECT_EQ(Level(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH), 16);
  EXPECT_EQ(Level(GL_TEXTURE_1D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);

  Texture plain(4, 4, 3, GL_TEXTURE_CUBE_MAP, Texture::CLAMP_TO_EDGE);
  EXPECT_EQ(Param(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
  for (GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X; face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z; ++face) {
    EXPECT_EQ(Level(face, 0, GL_TEXTURE_WIDTH), 4);
  }

  Texture rectangle(5, 3, 3, GL_TEXTURE_RECTANGLE_ARB, Texture::NEAREST | Texture::CLAMP);
  EXPECT_EQ(Level(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_WIDTH), 5);
  EXPECT_EQ(Level(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_HEIGHT), 3);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, AnEmptyTextureRefusingItsBppHoldsNoName) {
  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);
  ::testing::internal::CaptureStderr();
  {
    Texture refused(4, 4, 2, GL_TEXTURE_2D, 0);
    EXPECT_EQ(refused.name, 0u);
    EXPECT_EQ(refused.bpp, 2);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bpp of png-image not supported (2)\n");
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), other);
  EXPECT_TRUE(glIsTexture(other));
  glDeleteTextures(1, &other);
}

TEST_F(TextureGL, EnableBindAndDisableTouchOnlyTheirTarget) {
  Texture t(4, 4, 4, GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  t.enable();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_1D));
  t.bind();
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<unsigned>(bound), t.name);
  t.disable();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureGL, RenderDrawsOneQuadWithNormalisedOrTexelCoordinates) {
  ScratchDir dir;
  WriteRgb("a.png", 6, 3);
  PixelProjection();
  struct Case {
    GLenum target;
    float s, t;
  };
  for (const Case& c : {Case{GL_TEXTURE_2D, 1.0f, 1.0f}, Case{GL_TEXTURE_RECTANGLE_ARB, 6.0f, 3.0f}}) {
    Made made = Make("a.png", c.target, 0x18);
    auto polygons = Quads(Polygons([&] { made.texture->render(10.0f, 20.0f, 110.0f, 70.0f); }));
    ASSERT_EQ(polygons.size(), 1u);
    ASSERT_EQ(polygons[0].size(), 4u);
    const float corners[4][4] = {{10, 20, 0, 0}, {110, 20, c.s, 0}, {110, 70, c.s, c.t}, {10, 70, 0, c.t}};
    for (int v = 0; v < 4; ++v) {
      EXPECT_NEAR(polygons[0][v].x, corners[v][0], 1e-3) << v;
      EXPECT_NEAR(polygons[0][v].y, corners[v][1], 1e-3) << v;
      EXPECT_FLOAT_EQ(polygons[0][v].tex[0], corners[v][2]) << v;
      EXPECT_FLOAT_EQ(polygons[0][v].tex[1], corners[v][3]) << v;
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureGL, RenderPutsTheImagesTopRowAtTheFirstCorner) {
  ScratchDir dir;
  // Top row red, bottom row blue.
  ASSERT_TRUE(WritePng("rb.png", PngImage8(1, 2, PNG_COLOR_TYPE_RGB, {255, 0, 0, 0, 0, 255})));
  Texture t("rb.png", GL_TEXTURE_2D, Texture::NEAREST | 0x10);
  PixelProjection();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  t.enable();
  t.render(100, 100, 200, 200);
  t.disable();
  EXPECT_EQ(Pixel(150, 110), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(150, 190), (std::array<int, 4>{0, 0, 255, 255}));
}

TEST_F(TextureGL, CopyFillsItsOwnTargetOrTheGivenFace) {
  PixelProjection();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(0.0f, 1.0f, 0.0f);
  glRectf(0, 0, 4, 4);

  Texture flat(4, 4, 4, GL_TEXTURE_2D, 0);
  flat.bind();
  flat.copy(0);
  Bytes green;
  for (int i = 0; i < 16; ++i) green.insert(green.end(), {0, 255, 0, 255});
  EXPECT_EQ(Image(GL_TEXTURE_2D, GL_RGBA, green.size()), green);

  Texture cube(4, 4, 4, GL_TEXTURE_CUBE_MAP, 0);
  cube.bind();
  cube.copy(GL_TEXTURE_CUBE_MAP_POSITIVE_Z);
  EXPECT_EQ(Image(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_RGBA, green.size()), green);
  EXPECT_NE(Image(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_RGBA, green.size()), green);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
