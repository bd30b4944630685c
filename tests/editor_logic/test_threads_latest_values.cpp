// SPDX-License-Identifier: GPL-3.0-or-later
// The key-list and level hand-over: two writers (render and main thread) and a drawing reader.
// Every list a writer publishes has all words equal and a length tied to that word, so a torn
// copy shows as mixed words or a wrong length.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "editor/logic/latest_values.h"

TEST(LatestValues, ReadersNeverSeeATornListAndTheLastWriteWins) {
  LatestValues<1023> values;
  std::vector<uint32_t> out(1023);
  size_t count = 99;
  ASSERT_TRUE(values.read(out.data(), count));
  EXPECT_EQ(count, 0u);

  std::atomic<bool> stop{false};
  auto writer = [&](uint32_t base) {
    std::vector<uint32_t> words(1023);
    for (uint32_t n = 0; n < 20000; ++n) {
      const uint32_t word = base + n;
      const size_t length = 1 + word % 1023;
      std::fill(words.begin(), words.begin() + length, word);
      values.publish(words.data(), length);
    }
  };
  std::thread a(writer, 0u), b(writer, 1u << 24);
  size_t reads = 0, skipped = 0;
  uint64_t lastVersion = 0;
  std::thread reader([&] {
    std::vector<uint32_t> copy(1023);
    while (!stop.load()) {
      size_t n = 0;
      const uint64_t version = values.version();
      EXPECT_GE(version, lastVersion);
      lastVersion = version;
      if (!values.read(copy.data(), n)) {
        ++skipped;
        continue;
      }
      ++reads;
      if (n == 0) continue;
      EXPECT_EQ(n, 1 + copy[0] % 1023);
      for (size_t i = 1; i < n; ++i) ASSERT_EQ(copy[i], copy[0]);
    }
  });
  a.join();
  b.join();
  stop = true;
  reader.join();
  EXPECT_GT(reads, 0u);

  const uint32_t last[3] = {7, 7, 7};
  values.publish(last, 3);
  ASSERT_TRUE(values.read(out.data(), count));
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(out[2], 7u);
  (void)skipped;
}
