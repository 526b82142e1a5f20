// Texture objects and the PNG decoder behind them. Loading problems are
// written to stderr (not the log) and the show goes on with an image-less
// texture.
#include "assets/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <png.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// Largest image side taken from a file, so that a forged header cannot ask
// for gigabytes: at most 256 MiB of pixels.
constexpr png_uint_32 MAX_IMAGE_SIDE = 8192;

constexpr GLenum CUBE_FACES[6] = {
    GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
    GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
};
constexpr const char* CUBE_FACE_NAMES[6] = {"px", "nx", "py", "ny", "pz", "nz"};

// The GL format for bytes per pixel; 0 (after saying so on stderr) for a
// count GL cannot take as one of its single-byte formats.
GLenum FormatFor(int bpp) {
  switch (bpp) {
    case 1:
      return GL_ALPHA;
    case 3:
      return GL_RGB;
    case 4:
      return GL_RGBA;
    default:
      std::fprintf(stderr, "bpp of png-image not supported (%d)\n", bpp);
      std::fflush(stderr);
      return 0;
  }
}

// The rectangle target has neither mipmaps nor a repeating wrap mode: it
// gets the nearest settings it allows, where asking for the others would
// only leave a GL error behind (and GLU would scale its image to powers of
// two, making its texel coordinates wrong).
bool IsRectangle(GLenum target) { return target == GL_TEXTURE_RECTANGLE_ARB; }

void SetFilters(GLenum target, GLint mag, GLint min) {
  if (IsRectangle(target)) min = mag;
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, mag);
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, min);
}

void SetWrap(GLenum target, int flags) {
  GLint wrap = GL_REPEAT;
  if (flags & Texture::CLAMP) {
    wrap = GL_CLAMP;
  } else if (flags & Texture::CLAMP_TO_EDGE || IsRectangle(target)) {
    wrap = GL_CLAMP_TO_EDGE;
  }
  glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
}

// Hands one decoded image to GL. The rows are tightly packed, so the unpack
// alignment is 1 meanwhile; GL's default of 4 would read past the end of an
// RGB or alpha image whose row length is not a multiple of 4.
void Upload(GLenum target, GLenum format, int width, int height, int flags, const unsigned char* pixels) {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // GL takes the image as it is when it builds the mipmaps itself, and for
  // the rectangle target, which has none; otherwise GLU builds them.
  const bool asIs = (flags & Texture::AUTO_MIPMAP) != 0 || IsRectangle(target);
  if (target == GL_TEXTURE_1D) {
    if (asIs) {
      glTexImage1D(GL_TEXTURE_1D, 0, format, width, 0, format, GL_UNSIGNED_BYTE, pixels);
    } else {
      gluBuild1DMipmaps(GL_TEXTURE_1D, format, width, format, GL_UNSIGNED_BYTE, pixels);
    }
  } else if (asIs) {
    glTexImage2D(target, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  } else {
    gluBuild2DMipmaps(target, format, width, height, format, GL_UNSIGNED_BYTE, pixels);
  }
  glPopClientAttrib();
}

// The farthest corner, from the image's centre, of a texel whose alpha is
// above 0, as a share of the side; 1 for an image without alpha or not square.
float AlphaReach(const unsigned char* pixels, int width, int height, int bpp) {
  if ((bpp != 1 && bpp != 4) || width != height || width <= 0) return 1.0f;
  const float half = 0.5f * width;
  float farthest = 0.0f;  // squared, in texels
  for (int y = 0; y < height; ++y) {
    const float dy = std::max(std::fabs(y - half), std::fabs(y + 1 - half));
    for (int x = 0; x < width; ++x) {
      if (pixels[(static_cast<size_t>(y) * width + x) * bpp + bpp - 1] == 0) continue;
      const float dx = std::max(std::fabs(x - half), std::fabs(x + 1 - half));
      farthest = std::max(farthest, dx * dx + dy * dy);
    }
  }
  return std::sqrt(farthest) / width;
}

// Whether every texel of an RGBA image is white, so that its alpha alone
// says everything: modulated, an alpha texture gives the same colours as a
// white one, in a quarter of the memory.
bool IsWhite(const unsigned char* pixels, int width, int height, int bpp) {
  if (bpp != 4) return false;
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) {
    if (pixels[4 * i] != 255 || pixels[4 * i + 1] != 255 || pixels[4 * i + 2] != 255) return false;
  }
  return true;
}

// Packs an RGBA image's alpha bytes to the front of its own buffer.
void KeepAlphaOnly(unsigned char* pixels, int width, int height) {
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) pixels[i] = pixels[4 * i + 3];
}

// Loads file and uploads it to imageTarget (the texture's target or a cube
// face). A file that does not load leaves the sizes at 0 and uploads
// nothing; false when the image has a pixel size GL cannot take.
bool Fill(Texture& texture, const char* file, GLenum imageTarget, int flags) {
  unsigned char* pixels = Texture::load(file, texture.width, texture.height, texture.bpp);
  if (pixels == nullptr) {
    texture.width = 0;
    texture.height = 0;
    texture.bpp = 0;
    return true;
  }
  if (IsWhite(pixels, texture.width, texture.height, texture.bpp)) {
    KeepAlphaOnly(pixels, texture.width, texture.height);
    texture.bpp = 1;
  }
  const GLenum format = FormatFor(texture.bpp);
  if (format != 0) Upload(imageTarget, format, texture.width, texture.height, flags, pixels);
  if (imageTarget == GL_TEXTURE_2D)
    texture.alphaReach = AlphaReach(pixels, texture.width, texture.height, texture.bpp);
  delete[] pixels;
  return format != 0;
}

// libpng's error handler: one line naming the file and libpng's reason, then
// back to the setjmp in load_png, which releases everything.
void OnPngError(png_structp png, png_const_charp message) {
  const char* file = static_cast<const char*>(png_get_error_ptr(png));
  std::fprintf(stderr, "error load png file \"%s\": %s\n", file, message);
  std::fflush(stderr);
  png_longjmp(png, 1);
}

}  // namespace

Texture::Texture(const char* file, unsigned target, int flags) : target(target) {
  glGenTextures(1, &name);
  glBindTexture(target, name);

  if (flags & NEAREST) {
    SetFilters(target, GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST);
  } else if (flags & BILINEAR) {
    SetFilters(target, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST);
  } else {
    SetFilters(target, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
  }
  SetWrap(target, flags);
  glTexParameteri(target, GL_GENERATE_MIPMAP, GL_TRUE);

  if (target == GL_TEXTURE_1D || target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_ARB) {
    Fill(*this, file, target, flags);
  } else if (target == GL_TEXTURE_CUBE_MAP) {
    for (int face = 0; face < 6; ++face) {
      char faceFile[FACE_NAME_SIZE] = {};
      const int length = std::snprintf(faceFile, sizeof faceFile, file, CUBE_FACE_NAMES[face]);
      if (length < 0 || length >= FACE_NAME_SIZE) {
        std::fprintf(stderr, "Texture(): cube-map file name from \"%s\" is longer than %d bytes\n", file,
                     FACE_NAME_SIZE - 1);
        std::fflush(stderr);
        return;
      }
      if (!Fill(*this, faceFile, CUBE_FACES[face], flags)) return;
    }
  }
}

Texture::Texture(int width, int height, int bpp, unsigned target, int flags)
    : width(width), height(height), bpp(bpp), target(target) {
  const GLenum format = FormatFor(bpp);
  if (format == 0) return;
  glGenTextures(1, &name);
  glBindTexture(target, name);

  if (flags & NEAREST) {
    SetFilters(target, GL_NEAREST, GL_NEAREST);
  } else if (flags & BILINEAR) {
    SetFilters(target, GL_LINEAR, GL_LINEAR);
  } else {
    SetFilters(target, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
  }
  SetWrap(target, flags);
  if (flags & AUTO_MIPMAP) glTexParameteri(target, GL_GENERATE_MIPMAP, GL_TRUE);

  if (target == GL_TEXTURE_1D) {
    glTexImage1D(GL_TEXTURE_1D, 0, format, width, 0, format, GL_UNSIGNED_BYTE, nullptr);
  } else if (target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_ARB) {
    glTexImage2D(target, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
  } else if (target == GL_TEXTURE_CUBE_MAP) {
    for (GLenum face : CUBE_FACES) {
      glTexImage2D(face, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
    }
  }
}

Texture::~Texture() {
  if (name != 0) glDeleteTextures(1, &name);
}

void Texture::enable() { glEnable(target); }

void Texture::disable() { glDisable(target); }

void Texture::bind() { glBindTexture(target, name); }

void Texture::copy(unsigned face) {
  glCopyTexSubImage2D(face != 0 ? face : target, 0, 0, 0, 0, 0, width, height);
}

void Texture::render(float x1, float y1, float x2, float y2) {
  // The rectangle target addresses texels, every other target 0..1.
  const bool texels = target == GL_TEXTURE_RECTANGLE_ARB;
  const float s = texels ? static_cast<float>(width) : 1.0f;
  const float t = texels ? static_cast<float>(height) : 1.0f;
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(x1, y1);
  glTexCoord2f(s, 0.0f);
  glVertex2f(x2, y1);
  glTexCoord2f(s, t);
  glVertex2f(x2, y2);
  glTexCoord2f(0.0f, t);
  glVertex2f(x1, y2);
  glEnd();
}

unsigned char* Texture::load(const char* file, int& width, int& height, int& bpp) {
  assert(file != nullptr && "Texture::load needs a file name");
  const char* dot = std::strrchr(file, '.');
  if (dot == nullptr) {
    std::fprintf(stderr, "Texture::load(): unknown format of \"%s\" file", file);
    std::fflush(stderr);
    return nullptr;
  }
  if (std::strcmp(dot, ".png") == 0) return load_png(file, width, height, bpp);
  std::fprintf(stderr, "Texture::load(): unknown format of %s\n", file);
  std::fflush(stderr);
  return nullptr;
}

unsigned char* Texture::load_png(const char* file, int& width, int& height, int& bpp) {
  std::FILE* fp = std::fopen(file, "rb");
  if (fp == nullptr) {
    std::fprintf(stderr, "error open PNG file \"%s\"\n", file);
    return nullptr;
  }
  png_byte signature[8] = {};
  if (std::fread(signature, sizeof signature, 1, fp) != 1 ||
      png_sig_cmp(signature, 0, sizeof signature) != 0) {
    std::fprintf(stderr, "error load png file \"%s\": wrong signature\n", file);
    std::fclose(fp);
    return nullptr;
  }
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, const_cast<char*>(file), OnPngError, nullptr);
  if (png == nullptr) {
    std::fclose(fp);
    return nullptr;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::fclose(fp);
    return nullptr;
  }

  // Allocated after the setjmp and released when libpng gives up midway.
  unsigned char* volatile pixels = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);
    delete[] rows;
    delete[] pixels;
    return nullptr;
  }

  png_init_io(png, fp);
  png_set_sig_bytes(png, sizeof signature);
  // Ancillary chunks the decoder has no use for are skipped unread. libpng
  // would otherwise allocate, and clear, whatever length their header
  // claims (up to 2 GiB for a file of a few bytes): its size limit for
  // chunks only warns about them.
  static const png_byte UNUSED_CHUNKS[] = "iCCP\0sPLT\0tEXt\0zTXt\0iTXt\0eXIf\0pCAL\0sCAL";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, UNUSED_CHUNKS, sizeof UNUSED_CHUNKS / 5);
  png_read_info(png, info);
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  int depth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colourType, nullptr, nullptr, nullptr);
  if (w > MAX_IMAGE_SIDE || h > MAX_IMAGE_SIDE) png_error(png, "image larger than 8192 pixels");

  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_expand(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
  double fileGamma = 0.0;
  if (png_get_gAMA(png, info, &fileGamma)) png_set_gamma(png, 2.2, fileGamma);
  // png_read_image de-interlaces either way; asking for it here keeps
  // libpng from warning about it.
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_get_IHDR(png, info, &w, &h, &depth, &colourType, nullptr, nullptr, nullptr);

  const size_t rowbytes = png_get_rowbytes(png, info);
  const int channels = png_get_channels(png, info);
  // Every transformation above ends in 8-bit samples, so the decoded rows
  // are already tightly packed and become the result as they are.
  assert(rowbytes == static_cast<size_t>(w) * channels && "decoded samples are 8 bits");
  pixels = new unsigned char[rowbytes * h];
  rows = new png_bytep[h];
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels + y * rowbytes;

  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(fp);
  delete[] rows;

  width = static_cast<int>(w);
  height = static_cast<int>(h);
  bpp = channels;
  return pixels;
}
