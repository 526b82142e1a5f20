// The named constants of the vector and colour types are usable during
// static initialisation, before main: other files' statics copy them.
#include <gtest/gtest.h>

#include "foundation/color.h"
#include "foundation/vector2.h"
#include "foundation/vector3.h"

namespace {

const RGBA earlyWhite = RGBA::WHITE;
const Vector3 earlyZ = Vector3::ZAXIS;
const Vector2 earlyY = Vector2::YAXIS;

}  // namespace

TEST(Types, NamedConstantsHoldTheirValuesBeforeMain) {
  EXPECT_EQ(earlyWhite.r, 1.0f);
  EXPECT_EQ(earlyWhite.g, 1.0f);
  EXPECT_EQ(earlyWhite.b, 1.0f);
  EXPECT_EQ(earlyWhite.a, 1.0f);
  EXPECT_EQ(earlyZ.z, 1.0f);
  EXPECT_EQ(earlyZ.x, 0.0f);
  EXPECT_EQ(earlyY.y, 1.0f);
}
