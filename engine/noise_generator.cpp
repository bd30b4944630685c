// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/noise_generator.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr int kDiscardedDraws = 10 * kNoiseTableSize;  // srand() throws these away
constexpr int32_t kStateTypes = 5;                     // a state's first word: types × rear + type
constexpr int32_t kTableStateType = 3;                 // the type of a 31-word table

// Serialises the take-overs of the instances a host initialises on several threads at once.
std::mutex gTakeOverMutex;

// The library draws from this stand-in for the moment its own table is read, should another
// thread call rand() then. Static, so that whatever is left pointing at it (another thread's
// setstate() in that moment) still points at live memory.
int32_t gStandIn[1 + kNoiseTableSize];

// The C library's state array as setstate() hands it out: the word with the type and the rear
// position, then the table. False where it cannot be read or is of another type. Under
// gTakeOverMutex.
bool readLibraryState(NoiseGenerator& noise) {
#if defined(__GLIBC__)
  random_data standInData = {};
  if (initstate_r(1, reinterpret_cast<char*>(gStandIn), sizeof gStandIn, &standInData) != 0)
    return false;
  char* const library = setstate(reinterpret_cast<char*>(gStandIn));
  if (!library) return false;
  int32_t words[1 + kNoiseTableSize];
  std::memcpy(words, library, sizeof words);
  setstate(library);
  const int32_t type = words[0] % kStateTypes;
  const int32_t rear = words[0] / kStateTypes;
  if (type != kTableStateType || rear < 0 || rear >= kNoiseTableSize) return false;
  std::memcpy(noise.table, words + 1, sizeof noise.table);
  noise.rear = rear;
  noise.seeded = 1;
  return true;
#else
  (void)noise;
  return false;
#endif
}

}  // namespace

void noiseGeneratorSeed(NoiseGenerator& noise, uint32_t seed) {
  // table[i] = 16807 · table[i − 1] mod (2^31 − 1), by Schrage's method as the library does it.
  int32_t word = static_cast<int32_t>(seed == 0 ? 1u : seed);
  noise.table[0] = word;
  for (int i = 1; i < kNoiseTableSize; ++i) {
    const long hi = word / 127773;
    const long lo = word % 127773;
    word = static_cast<int32_t>(16807 * lo - 2836 * hi);
    if (word < 0) word += 2147483647;
    noise.table[i] = word;
  }
  noise.rear = 0;
  noise.seeded = 1;
  for (int i = 0; i < kDiscardedDraws; ++i) noiseGeneratorNext(noise);
}

void noiseGeneratorTakeFromLibrary(NoiseGenerator& noise) {
  const std::lock_guard<std::mutex> lock(gTakeOverMutex);
  const bool read = readLibraryState(noise);
  const int32_t draw = std::rand();
  // The copy's first draw is the library's draw just made, unless the state was not read as
  // expected (or another thread drew in between): then start from that draw as a seed.
  NoiseGenerator copy = noise;
  if (!read || noiseGeneratorNext(copy) != draw) {
    noiseGeneratorSeed(noise, static_cast<uint32_t>(draw));
  }
  // The library goes on from a seed of its own, so that the next generator taken over does not
  // run through the same sequence (the same noise set or "Harsh" wave a draw apart).
  std::srand(static_cast<unsigned>(std::rand()));
}
