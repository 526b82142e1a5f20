// Layout contracts of the vector and colour types: OpenGL reads them by address.
#include <gtest/gtest.h>

#include "foundation/color.h"
#include "foundation/vector2.h"
#include "foundation/vector3.h"

namespace {

// Copied during static initialisation, before main: the named constants must
// already hold their values then.
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

TEST(Types, ConstantsAreExact) {
  const RGBA* colours[] = {&RGBA::WHITE, &RGBA::BLACK, &RGBA::RED, &RGBA::GREEN, &RGBA::BLUE};
  const float expected[][4] = {{1, 1, 1, 1}, {0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
  for (int i = 0; i < 5; ++i) {
    const float* c = &colours[i]->r;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(c[k], expected[i][k]) << "colour " << i << " component " << k;
  }
  EXPECT_EQ(Vector2::XAXIS.x, 1.0f);
  EXPECT_EQ(Vector2::XAXIS.y, 0.0f);
  EXPECT_EQ(Vector3::XAXIS.x, 1.0f);
  EXPECT_EQ(Vector3::YAXIS.y, 1.0f);
}

TEST(Types, DefaultColourIsOpaqueWhite) {
  RGBA c;
  EXPECT_EQ(c.r, RGBA::WHITE.r);
  EXPECT_EQ(c.g, RGBA::WHITE.g);
  EXPECT_EQ(c.b, RGBA::WHITE.b);
  EXPECT_EQ(c.a, RGBA::WHITE.a);
}

TEST(Types, ColourReadByAddressOfRedGivesRgbaInOrder) {
  RGBA c(0.1f, 0.2f, 0.3f, 0.4f);
  const float* p = &c.r;
  EXPECT_EQ(p[0], 0.1f);
  EXPECT_EQ(p[1], 0.2f);
  EXPECT_EQ(p[2], 0.3f);
  EXPECT_EQ(p[3], 0.4f);
  RGBA copy = c;
  copy.a = 0.9f;
  EXPECT_EQ(c.a, 0.4f);
  EXPECT_EQ((&copy.r)[2], 0.3f);
}

TEST(Types, VectorArraysArePackedFloatTuples) {
  Vector3 v[3] = {Vector3(1, 2, 3), Vector3(4, 5, 6), Vector3(7, 8, 9)};
  const float* p = &v[0].x;
  for (int i = 0; i < 9; ++i) EXPECT_EQ(p[i], static_cast<float>(i + 1));
  EXPECT_EQ(reinterpret_cast<const char*>(&v[1]) - reinterpret_cast<const char*>(&v[0]),
            static_cast<long>(3 * sizeof(float)));
  Vector2 w[2] = {Vector2(1, 2), Vector2(3, 4)};
  const float* q = &w[0].x;
  EXPECT_EQ(q[2], 3.0f);
  EXPECT_EQ(q[3], 4.0f);
}
