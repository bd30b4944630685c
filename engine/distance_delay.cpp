// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/distance_delay.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr float kSpeedOfSound = 343.0f;   // m/s
constexpr float kNominalRate = 44100.0f;  // Hz
constexpr float kMaxDistance = 10.0f;     // m
constexpr float kMinDistance = 1.0f;      // m
constexpr float kGlideFrames = 3000.0f;   // smoothed = (3000 × smoothed + target) / 3001
constexpr double kGlideScale = 0.0003332222592469177;  // 1/3001

// Largest delay the interpolated read can use: both taps c and c + 1 stay within the ring.
// length >= 2, so the float below it is one step down in the bit pattern.
inline float maxReadDelay(int32_t length) {
  const float l = static_cast<float>(length);
  uint32_t bits;
  std::memcpy(&bits, &l, sizeof bits);
  bits -= 1;
  float below;
  std::memcpy(&below, &bits, sizeof below);
  return below;
}

// Clamps a delay in samples to 1 … just under length; NaN and infinities give the minimum.
inline float boundedDelay(float delay, int32_t length) {
  if (!std::isfinite(delay) || delay < 1.0f) return 1.0f;
  const float limit = maxReadDelay(length);
  return delay > limit ? limit : delay;
}

}  // namespace

void distanceDelayInit(DistanceDelay& line) {
  line.speedOfSound = kSpeedOfSound;
  line.sampleRate = kNominalRate;
  line.maxDistance = kMaxDistance;
  line.length = static_cast<int32_t>(line.maxDistance * line.sampleRate / line.speedOfSound + 0.5f);
  const int32_t slots = line.length + 1;
  if (line.buffer == nullptr) {
    line.buffer = new (std::nothrow) float[slots];
  }
  if (line.buffer == nullptr) {
    line.active = false;
    return;
  }
  std::memset(line.buffer, 0, sizeof(float) * slots);
  line.writePos = 0;
  line.active = true;
  distanceDelaySetDistance(line, 0.0f, true);
}

void distanceDelaySetDistance(DistanceDelay& line, float factor, bool jump) {
  const float x = factor * line.maxDistance;
  const float d = x >= kMinDistance ? (x < line.maxDistance ? x : line.maxDistance) : kMinDistance;
  float delay = d * line.sampleRate / line.speedOfSound;
  if (delay >= 1.0f) {
    if (static_cast<float>(line.length) <= delay) delay = static_cast<float>(line.length - 1);
  } else {
    delay = 1.0f;  // also NaN from a line whose constants were never set
  }
  line.targetDelay = delay;
  if (jump) line.smoothedDelay = delay;
}

int distanceDelayProcess(DistanceDelay& line, const float* in, float* out, int count) {
  if (!line.active || line.buffer == nullptr || line.length < 2) return 0;
  const int32_t length = line.length;
  const int32_t slots = length + 1;
  float* ring = line.buffer;
  const float target = boundedDelay(line.targetDelay, length);
  const float limit = maxReadDelay(length);
  float smoothed = line.smoothedDelay;
  int32_t w = line.writePos;
  if (w < 0 || w > length) w = 0;

  for (int i = 0; i < count; ++i) {
    smoothed =
        static_cast<float>(static_cast<double>(kGlideFrames * smoothed + target) * kGlideScale);
    if (!(smoothed >= 1.0f)) {
      smoothed = 1.0f;  // NaN included
    } else if (smoothed > limit) {
      smoothed = limit;
    }
    const int32_t whole = static_cast<int32_t>(smoothed);  // 1 … length − 1
    const float fraction = smoothed - static_cast<float>(whole);
    int32_t ia = w + whole;
    if (ia >= slots) ia -= slots;
    int32_t ib = ia + 1;
    if (ib >= slots) ib -= slots;
    const float a = ring[ia];
    const float b = ring[ib];
    const float x = in[i];  // read before out[i] is written: in and out may alias
    ring[w] = x;
    w = w == 0 ? length : w - 1;
    out[i] = a + (b - a) * fraction;
  }

  line.targetDelay = target;
  line.smoothedDelay = smoothed;
  line.writePos = w;
  return 0;
}

void distanceDelayFree(DistanceDelay& line) {
  delete[] line.buffer;
  line.buffer = nullptr;
  line.active = false;
}
