// One OpenGL texture object: filters and wrapping from a flag word, image
// data decoded from a PNG file (or empty storage), and the small calls the
// effects make to enable, bind, draw and fill it from the frame buffer.
#pragma once

class Texture {
 public:
  // Flag bits of the constructors; other bits are accepted and ignored.
  static constexpr int NEAREST = 0x02;  // wins over BILINEAR
  static constexpr int BILINEAR = 0x04;
  static constexpr int AUTO_MIPMAP = 0x10;  // GL builds the mipmaps instead of GLU
  static constexpr int CLAMP = 0x20;        // wins over CLAMP_TO_EDGE
  static constexpr int CLAMP_TO_EDGE = 0x40;
  // Accepted and ignored (as 0x01 is); the show's flag word carries it.
  static constexpr int IGNORED_BIT = 0x08;
  // The flag word of every texture the show loads (0x18): 2D, GL-built mipmaps.
  static constexpr int SHOW_FLAGS = AUTO_MIPMAP | IGNORED_BIT;

  // Size of the buffer a cube-map face's file name is formatted into, terminator included.
  static constexpr int FACE_NAME_SIZE = 1024;

  // Loads file onto target (a cube map takes a printf pattern with one %s
  // for the face: px nx py ny pz nz, refused when a name would not fit
  // FACE_NAME_SIZE). A file that does not load leaves width, height and bpp
  // at 0 and the texture without image. The rectangle target, having no
  // mipmaps and no repeat, gets the plain filter and CLAMP_TO_EDGE instead.
  Texture(const char* file, unsigned target, int flags);
  // Uninitialised storage of width x height texels of bpp bytes (1, 3 or 4).
  Texture(int width, int height, int bpp, unsigned target, int flags);
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  void enable();
  void disable();
  void bind();
  // Copies the width x height pixels at the read buffer's lower-left corner
  // into level 0 of the bound texture on face (0: this texture's target).
  void copy(unsigned face);
  // One quad from (x1, y1) to (x2, y2); the image's top-left lands at (x1, y1).
  void render(float x1, float y1, float x2, float y2);

  // Decodes an image chosen by its extension (".png" only). Returns a new[]
  // array of height rows of width * bpp bytes, top row first, or null with
  // a message on stderr; the outputs are set only on success.
  static unsigned char* load(const char* file, int& width, int& height, int& bpp);
  static unsigned char* load_png(const char* file, int& width, int& height, int& bpp);

  int width = 0;   // pixels
  int height = 0;  // pixels; unused by a 1D texture
  int bpp = 0;     // bytes per pixel: 1 (alpha; also an all-white RGBA image), 3 (RGB), 4 (RGBA)
  unsigned target = 0;
  unsigned name = 0;  // 0 when the texture holds no GL object
  // How far from the image's centre, as a share of its side, its texels of
  // alpha above 0 reach (to their far corners): 0 for a transparent image,
  // and 1, beyond every corner, for one without alpha, one that is not
  // square and one loaded from no file.
  float alphaReach = 1.0f;
};
