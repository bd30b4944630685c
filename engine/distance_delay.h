// SPDX-License-Identifier: GPL-3.0-or-later
// Fractional delay line set by a distance in metres (sound at 343 m/s), gliding to each new
// setting and read with linear interpolation. Used by the room and by the Fat mode.
#pragma once

#include <cstdint>

struct DistanceDelay {
  bool active;            // false until the ring exists; processing does nothing while false
  float speedOfSound;     // m/s, 343
  float sampleRate;       // Hz, 44100 (the nominal rate, whatever the host rate)
  float maxDistance;      // m, 10
  float targetDelay;      // samples
  float smoothedDelay;    // samples, follows targetDelay with a 1/3001 glide per sample
  float* buffer;          // owned ring of length + 1 floats
  int32_t writePos;       // moves downward, 0 wraps to length
  int32_t length;         // 1286: highest ring index
};

// Sets the constants, obtains a zeroed ring (an existing ring is reused and cleared, so a
// re-initialisation allocates nothing), write position 0, active, and jumps to the 1 m minimum.
// A failed allocation leaves the line inactive. [any thread; allocates on first use only]
void distanceDelayInit(DistanceDelay& line);

// factor × maxDistance metres, clamped to 1 … 10 m; with jump the smoothed delay takes it at once.
// [render thread]
void distanceDelaySetDistance(DistanceDelay& line, float factor, bool jump);

// Processes count samples; in and out may be the same array. Returns 0. Leaves out untouched
// while inactive. [render thread; no allocation]
int distanceDelayProcess(DistanceDelay& line, const float* in, float* out, int count);

// Releases the ring and clears the pointer; safe to repeat. [not the render thread]
void distanceDelayFree(DistanceDelay& line);
