// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's generator against the C library's rand(): the same draws for the same seed, and
// a taken-over state continuing the library's sequence wherever it stands.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/noise_generator.h"

namespace {

std::vector<int32_t> draws(NoiseGenerator& noise, int count) {
  std::vector<int32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(noiseGeneratorNext(noise));
  return out;
}

std::vector<int32_t> libraryDraws(int count) {
  std::vector<int32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(std::rand());
  return out;
}

}  // namespace

TEST(NoiseGenerator, DrawsWhatRandDrawsAfterTheSameSeed) {
  // 0 counts as 1; seeds from 2^31 up are negative as the table's first word.
  for (uint32_t seed :
       {0u, 1u, 11u, 99u, 1234u, 127773u, 0x7fffffffu, 0x80000005u, 0xfffffffeu, 0xffffffffu}) {
    SCOPED_TRACE(seed);
    std::srand(seed);
    NoiseGenerator noise{};
    noiseGeneratorSeed(noise, seed);
    ASSERT_EQ(draws(noise, 2000), libraryDraws(2000));
  }
  // Never seeded: the library's own start, seed 1.
  std::srand(1);
  NoiseGenerator fresh{};
  EXPECT_EQ(draws(fresh, 100), libraryDraws(100));
}

NoiseGenerator seeded(int32_t seed) {
  NoiseGenerator noise{};
  noiseGeneratorSeed(noise, static_cast<uint32_t>(seed));
  return noise;
}

TEST(NoiseGenerator, TakesOverTheLibrarysSequenceAndLeavesTheLibraryReseeded) {
  for (int drawnBefore : {0, 1, 5, 30, 31, 1000}) {
    SCOPED_TRACE(drawnBefore);
    NoiseGenerator reference = seeded(77);
    const std::vector<int32_t> sequence = draws(reference, drawnBefore + 2000);
    std::srand(77);
    libraryDraws(drawnBefore);

    NoiseGenerator first{};
    noiseGeneratorTakeFromLibrary(first);
    NoiseGenerator second{};
    noiseGeneratorTakeFromLibrary(second);
    const std::vector<int32_t> firstDraws = draws(first, 2000);
    const std::vector<int32_t> secondDraws = draws(second, 2000);
    EXPECT_EQ(firstDraws, std::vector<int32_t>(sequence.begin() + drawnBefore, sequence.end()));
    // The library drew twice for the first generator and was reseeded with the second draw;
    // the second generator took that state over, and so on.
    NoiseGenerator reseeded = seeded(sequence[drawnBefore + 1]);
    EXPECT_EQ(secondDraws, draws(reseeded, 2000));
    NoiseGenerator library = seeded(secondDraws[1]);
    EXPECT_EQ(std::rand(), noiseGeneratorNext(library));
  }
}

// Instances may be initialised on several threads at once: every take-over still continues a
// valid sequence, and the library is left on a state of its own, not on a table a take-over lent
// it for a moment (checked after the threads have gone and their stacks are reused).
TEST(NoiseGenerator, TakeOversOnSeveralThreadsLeaveTheLibraryWhole) {
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  std::vector<std::thread> threads;
  std::vector<int> invalid(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &invalid] {
      for (int i = 0; i < kEach; ++i) {
        NoiseGenerator noise{};
        noiseGeneratorTakeFromLibrary(noise);
        const int32_t draw = noiseGeneratorNext(noise);
        if (noise.seeded == 0 || draw < 0) ++invalid[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(invalid[t], 0) << t;
  // Scribble over the stack where the take-overs' frames were, then use the library.
  volatile char scratch[16384];
  for (size_t i = 0; i < sizeof scratch; ++i) scratch[i] = static_cast<char>(i * 7 + 1);
  std::srand(5);
  for (size_t i = 0; i < sizeof scratch; ++i) scratch[i] = static_cast<char>(i * 13 + 3);
  NoiseGenerator expected = seeded(5);
  EXPECT_EQ(libraryDraws(200), draws(expected, 200));
}

#if defined(__GLIBC__)
// A library state of another size (a 7-word table) is not read as a 31-word one: the generator
// then starts from the library's draw as its seed.
TEST(NoiseGenerator, ALibraryStateOfAnotherSizeSeedsFromItsDraw) {
  alignas(int32_t) char small[32];
  alignas(int32_t) char copy[32];
  char* const original = initstate(5, small, sizeof small);
  ASSERT_NE(original, nullptr);
  setstate(small);  // writes the position into the state's first word
  std::memcpy(copy, small, sizeof copy);

  NoiseGenerator noise{};
  noiseGeneratorTakeFromLibrary(noise);

  setstate(copy);
  NoiseGenerator expected{};
  noiseGeneratorSeed(expected, static_cast<uint32_t>(std::rand()));
  setstate(original);
  EXPECT_EQ(draws(noise, 500), draws(expected, 500));
}
#endif
