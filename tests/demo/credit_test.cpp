// The closing credit of a user's track: UTF-8 brought to the font's Latin-1
// glyphs, and drawn centred at the foot of the frame, shrunk when long.
#include "demo/credit.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/font.h"
#include "demo/demo.h"
#include "demo/timetable.h"
#include "support/offscreen_font.h"

namespace {

TEST(FontText, KeepsLatinOneAndMarksWhatTheFontLacks) {
  const struct {
    std::string utf8;
    std::string shown;
  } cases[] = {
      {"rT & wn", "rT & wn"},
      {"Bj\xc3\xb6rk - J\xc3\xb3ga", "Bj\xf6rk - J\xf3ga"},  // two-byte forms of Latin-1
      {"\xc3\xbf\xc2\xa0", "\xff\xa0"},                      // the last code and the first above 159
      {"\xe6\x97\xa5\xe6\x9c\xac", "??"},                    // outside Latin-1
      {"\xf0\x9f\x8e\xb5!", "?!"},                           // four bytes
      {"a\x80z", "a?z"},                                     // a stray continuation byte
      {"\xc3", "?"},                                         // cut short at the end
      {"\xc3(", "?("},                                       // cut short by the next character
      {"\xc0\xaf", "??"},                                    // an overlong '/'
      {"\xed\xa0\x80", "?"},                                 // a surrogate
      {"tab\there\x7f", "tab?here?"},                        // control codes have no glyph
      {"\xc2\x85", "?"},                                     // nor do the C1 controls
  };
  for (const auto& c : cases) EXPECT_EQ(FontText(c.utf8), c.shown) << c.utf8;
}

TEST(Timetable, FittedToATrackKeepsTheBuiltInProportions) {
  const Timetable builtIn;
  const struct {
    double seconds;
    Timetable expected;
  } cases[] = {
      {150.0, builtIn},
      {30.0, {5.0f, 14.0f, 26.0f, 28.0f, 31.0f}},
      {7200.0, {5.0f, 3360.0f, 7196.0f, 7198.0f, 7201.0f}},
  };
  for (const auto& c : cases) {
    const Timetable t = Timetable::FittedTo(c.seconds);
    EXPECT_EQ(t.effectsFrom, c.expected.effectsFrom) << c.seconds;
    EXPECT_EQ(t.floraFrom, c.expected.floraFrom) << c.seconds;
    EXPECT_EQ(t.fadeFrom, c.expected.fadeFrom) << c.seconds;
    EXPECT_EQ(t.effectsUntil, c.expected.effectsUntil) << c.seconds;
    EXPECT_EQ(t.showEnd, c.expected.showEnd) << c.seconds;
    // The fade is full two seconds after it starts.
    EXPECT_EQ(t.FadeSlope(), 0.5f) << c.seconds;
  }
}

class Credit : public OffscreenFont {
 protected:
  // The lit pixels' bounds after drawing the credit on black: left, right,
  // bottom, top, inclusive; all -1 when nothing is lit.
  std::vector<int> LitBounds(const std::string& text) {
    glClear(GL_COLOR_BUFFER_BIT);
    DrawCredit(text);
    const std::vector<unsigned char> pixels = window.ReadPixels();
    std::vector<int> bounds = {800, -1, 600, -1};
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        if (pixels[(static_cast<size_t>(y) * 800 + x) * 4] < 128) continue;
        bounds = {std::min(bounds[0], x), std::max(bounds[1], x), std::min(bounds[2], y),
                  std::max(bounds[3], y)};
      }
    }
    return bounds[1] < 0 ? std::vector<int>{-1, -1, -1, -1} : bounds;
  }
};

TEST_F(Credit, ATracksCreditIsCentredAndALongOneShrinksToFit) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const std::vector<int> shortCredit = LitBounds(FontText("Short - Thirty"));
  ASSERT_GE(shortCredit[0], 0);
  EXPECT_NEAR((shortCredit[0] + shortCredit[1]) / 2.0, 400.0, 3.0);
  // Cells 24 pixels high from 24 pixels above the bottom.
  EXPECT_GE(shortCredit[2], 24);
  EXPECT_LT(shortCredit[3], 48);
  EXPECT_GT(shortCredit[3] - shortCredit[2], 12);

  const std::vector<int> longCredit =
      LitBounds(FontText(std::string(40, 'W') + " - " + std::string(40, 'M')));
  ASSERT_GE(longCredit[0], 0);
  EXPECT_GE(longCredit[0], 16);
  EXPECT_LE(longCredit[1], 784);
  EXPECT_GT(longCredit[1] - longCredit[0], 700) << "it fills the width it shrank to";
  EXPECT_NEAR((longCredit[0] + longCredit[1]) / 2.0, 400.0, 3.0);
  EXPECT_LT(longCredit[3] - longCredit[2], shortCredit[3] - shortCredit[2]);
  GLenum error = glGetError();
  EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
