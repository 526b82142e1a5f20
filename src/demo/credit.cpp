// The built-in credit keeps its fixed position and size, so the built-in
// show's last frames are what they always were.
#include "demo/credit.h"

#include <GL/gl.h>

#include <algorithm>

#include "assets/font.h"
#include "demo/demo.h"
#include "platform/draw_tally.h"
#include "platform/platform.h"

namespace {

constexpr float CREDIT_Y = 24.0f;     // pixels from the bottom to the cells' lower edge
constexpr float CREDIT_SIZE = 24.0f;  // pixels a cell
constexpr float BUILT_IN_X = 364.0f;  // pixels from the left
const char* const BUILT_IN_CREDIT = "rT & wn";
constexpr float MARGIN = 16.0f;  // pixels kept free at each side of a long credit

// The font draws codes 32..126 and 160..255.
bool HasGlyph(unsigned code) { return (code >= 32 && code <= 126) || (code >= 160 && code <= 255); }

}  // namespace

std::string FontText(const std::string& utf8) {
  std::string text;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    unsigned code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + length <= utf8.size();
    for (int k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms are not UTF-8 either.
    static const unsigned LEAST[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= LEAST[length];
    text += valid && HasGlyph(code) ? static_cast<char>(code) : '?';
    i += valid ? length : 1;
  }
  return text;
}

void DrawCredit(const std::string& text) {
  const platform::Drawing drawing(platform::Drawer::CREDIT);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  if (text.empty()) {
    font->Print(BUILT_IN_X, CREDIT_Y, CREDIT_SIZE, "%s", BUILT_IN_CREDIT);
    return;
  }
  // The width scales with the size, so one measure gives the size that fits.
  const float room = platform::SHOW_WIDTH - 2.0f * MARGIN;
  const float unit = font->Width(text.c_str(), 1.0f);
  const float size = unit > 0.0f ? std::min(CREDIT_SIZE, room / unit) : CREDIT_SIZE;
  font->Print((platform::SHOW_WIDTH - unit * size) / 2.0f, CREDIT_Y, size, "%s", text.c_str());
}
