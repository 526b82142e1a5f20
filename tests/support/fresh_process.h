// Test helper: runs a statement in a new process of the test binary that
// re-runs the test up to that point, so function statics (the frame clock,
// the title's frame count) hold their values from program start, also when
// the binary runs all its tests in one process. The statement passes when
// it ends with no failed expectation; those it has are printed by the child.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#define EXPECT_IN_FRESH_PROCESS(statement)                  \
  do {                                                      \
    GTEST_FLAG_SET(death_test_style, "threadsafe");         \
    EXPECT_EXIT(                                            \
        {                                                   \
          statement;                                        \
          std::exit(::testing::Test::HasFailure() ? 1 : 0); \
        },                                                  \
        ::testing::ExitedWithCode(0), "");                  \
    GTEST_FLAG_SET(death_test_style, "fast");               \
  } while (0)
