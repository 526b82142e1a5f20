// The ring between the audio thread and the main thread: what comes back,
// what is zero, and that a copy the writer overtook is never passed off as
// good, also while a real writer thread runs.
#include "music/playedring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Writes frames with the mono value and position derived from the index.
void WriteBlock(PlayedRing& ring, int frames) {
  const int64_t first = ring.Written();
  ring.Begin(frames);
  for (int i = 0; i < frames; ++i)
    ring.Put(first + i, static_cast<float>(first + i), static_cast<float>(first + i), first + i + 1);
  ring.Commit(frames);
}

}  // namespace

TEST(PlayedRing, GivesBackFramesAcrossTheWrapAndZerosBeforeTheStart) {
  auto ring = std::make_unique<PlayedRing>();
  std::vector<float> out(1024, -1.0f);
  int64_t position = -1;
  ASSERT_TRUE(ring->Read(0, 1024, out.data(), &position));
  EXPECT_EQ(position, 0);
  for (float v : out) EXPECT_EQ(v, 0.0f);

  WriteBlock(*ring, 100);
  ASSERT_TRUE(ring->Read(100, 1024, out.data(), &position));
  EXPECT_EQ(position, 100);
  for (int i = 0; i < 1024; ++i) EXPECT_EQ(out[i], i < 924 ? 0.0f : static_cast<float>(i - 924)) << i;

  while (ring->Written() < PlayedRing::SIZE + 3000) WriteBlock(*ring, 1000);
  const int64_t end = ring->Written() - 17;
  ASSERT_TRUE(ring->Read(end, 1024, out.data(), &position));
  EXPECT_EQ(position, end);
  for (int i = 0; i < 1024; ++i) EXPECT_EQ(out[i], static_cast<float>(end - 1024 + i));
}

TEST(PlayedRing, RefusesFramesOlderThanItKeepsOrAboutToBeOverwritten) {
  auto ring = std::make_unique<PlayedRing>();
  std::vector<float> out(PlayedRing::SIZE);
  int64_t position = 0;
  WriteBlock(*ring, PlayedRing::SIZE + 10);
  const int64_t written = ring->Written();
  EXPECT_TRUE(ring->Read(written, PlayedRing::SIZE, out.data(), &position));
  EXPECT_FALSE(ring->Read(written - 1, PlayedRing::SIZE, out.data(), &position));
  // A block announced but not yet committed may be overwriting the oldest frames.
  ring->Begin(64);
  EXPECT_FALSE(ring->Read(written, PlayedRing::SIZE, out.data(), &position));
  EXPECT_TRUE(ring->Read(written, PlayedRing::SIZE - 64, out.data(), &position));
  ring->Commit(64);
  ring->Reset();
  EXPECT_EQ(ring->Written(), 0);
  EXPECT_TRUE(ring->Read(0, 1, out.data(), &position));
}

TEST(PlayedRing, CopiesTakenWhileTheWriterRunsAreWholeOrRefused) {
  auto ring = std::make_unique<PlayedRing>();
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop.load()) WriteBlock(*ring, 1024);
  });
  std::vector<float> out(1024);
  int good = 0;
  for (int round = 0; round < 20000 && !HasFailure(); ++round) {
    int64_t position = 0;
    // Deep into the ring, so that the writer regularly overtakes the copy.
    const int64_t end = ring->Written() - PlayedRing::SIZE + 1024 + round % 2048;
    if (!ring->Read(end, 1024, out.data(), &position)) continue;
    ++good;
    for (int i = 0; i < 1024; ++i) {
      const int64_t frame = end - 1024 + i;
      ASSERT_EQ(out[i], frame < 0 ? 0.0f : static_cast<float>(frame)) << "torn copy at frame " << frame;
    }
    if (end > 0) {
      ASSERT_EQ(position, end);
    }
  }
  stop.store(true);
  writer.join();
  EXPECT_GT(good, 0);
}

TEST(PlayedRing, TheHeardFrameMovesThroughOneBlockAndNeverOverflows) {
  constexpr int64_t HOUR_NS = 3600LL * 1000000000;
  const struct {
    int64_t sinceBlockNs;
    int64_t heard;
  } cases[] = {
      {-5, 10000 - 1024 - 500},              // the clock read before the block's stamp
      {0, 10000 - 1024 - 500},               // the block just handed over
      {11609977, 10000 - 1024 - 500 + 511},  // half the block's 23.2 ms played
      {25000000, 10000 - 500},               // past the block: held at its end
      {300 * HOUR_NS, 10000 - 500},          // no block yet on a host up 300 hours
      {INT64_MAX, 10000 - 500},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlayedRing::HeardFrame(10000, c.sinceBlockNs, 500, 1024, 44100), c.heard) << c.sinceBlockNs;
  }
}
