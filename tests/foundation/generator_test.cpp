// The show's generator: the ISO C reference sequence, 0..32767, unseeded.
#include "foundation/generator.h"

#include <gtest/gtest.h>

#include "support/generator_draws.h"

TEST(Generator, StartsWithTheReferenceSequence) {
  // The first draws of the ISO C reference generator with its initial seed 1.
  const int expected[] = {16838, 5758, 10113, 17515, 31051, 5627, 23010, 7419, 16212, 4086};
  EXPECT_EQ(RandomState(), 1u);
  for (int value : expected) EXPECT_EQ(RandomInt(), value);
}

TEST(Generator, StaysInRangeAndReachesBothEnds) {
  bool sawZero = false, sawMax = false;
  for (long i = 0; i < (1L << 22) && !(sawZero && sawMax); ++i) {
    int n = RandomInt();
    ASSERT_GE(n, 0);
    ASSERT_LE(n, RANDOM_MAX);
    sawZero |= n == 0;
    sawMax |= n == RANDOM_MAX;
  }
  EXPECT_TRUE(sawZero);
  EXPECT_TRUE(sawMax);
}

TEST(Generator, DrawsAreDerivedFromOneInteger) {
  SetRandomState(12345);
  int n = RandomInt();
  SetRandomState(12345);
  EXPECT_EQ(RandomUnit(), static_cast<float>(n) * (1.0f / 32767.0f));
  SetRandomState(12345);
  EXPECT_EQ(RandomCoin(), n % 2 == 1);
  SetRandomState(12345);
  EXPECT_EQ(RandomPick(12), n % 12);
}

TEST(Generator, UnitDrawSpansZeroToOne) {
  SetRandomState(FindState([](uint32_t s) { return DrawsAfter(s, 1)[0] == RANDOM_MAX; }));
  EXPECT_EQ(RandomUnit(), 1.0f);
}

TEST(Generator, StateReplaysASequence) {
  SetRandomState(777);
  int a = RandomInt(), b = RandomInt();
  SetRandomState(777);
  EXPECT_EQ(RandomInt(), a);
  EXPECT_EQ(RandomInt(), b);
}
