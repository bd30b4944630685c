// SPDX-License-Identifier: GPL-3.0-or-later
// Stereo room: two cross-coupled circular delay lines with 32 taps scaled to the room size,
// modulated feedback through two distance delays and sixteen lattice couplings.
#pragma once

#include <cstdint>

#include "engine/distance_delay.h"
#include "engine/slow_oscillator.h"

inline constexpr int kRoomLineSlots = 48000;
inline constexpr int kRoomTapCount = 32;

struct RoomState {
  int32_t ready;     // 0 until the first layout; roomProcess does nothing while 0
  float wet;         // "Room Amount"/100 clamped to 0 … 1
  float size;        // size the current layout was made for, 0 … 1
  float sizeCopy;    // the size roomProcess reads
  int32_t writePos;  // slot written by the next roomProcess
  int32_t length;    // highest slot in use (421 … 22421)
  float bufferA[kRoomLineSlots];
  float bufferB[kRoomLineSlots];
  DistanceDelay delayA;  // owned; re-initialised in place at each layout
  DistanceDelay delayB;
  double modCounter;  // roomProcess calls since the last layout
  int32_t taps[kRoomTapCount];
  SlowOscillator modOscillator;  // phasors of the modulation at modCounter
  // Smallest circular distance between two different slots among the write position and the
  // taps, fixed at each layout (they all advance together). 0 before the first layout.
  int32_t slotSpacing;
};

// Stores the wet amount every time; lays the room out anew on the first call and whenever the
// size moves into another of 128 equal steps. amount and size are the parameters / 100.
// [render thread; allocates only the two modulation rings on the first layout]
void roomConfigure(RoomState& room, float amount, float size);

// Adds one wet sample to outA and outB and advances the room by one sample.
// [render thread; no allocation]
void roomProcess(float inA, float inB, float& outA, float& outB, RoomState& room);

// count (>= 0) roomProcess calls in one: adds wet samples to outA[0 … count) and outB and
// advances the room by count samples, with the same results bit for bit. Where no two slots in
// use lie within the lane count of each other and no slot wraps, that many consecutive samples
// share each tap read, lattice coupling, feed and modulated-delay pass as the lanes of one
// vector: kRoomLanes (4) on any machine, 8 with AVX and 16 with AVX-512, chosen at run time (the
// wider kernels finish a stretch before a wrap in groups of kRoomLanes). inA/inB must not
// overlap outA/outB. [render thread; no allocation]
inline constexpr int kRoomLanes = 4;
void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, int count,
                      RoomState& room);

// The block path's kernels: 4, 8 and 16 lanes.
enum class RoomKernel { kSse2, kAvx, kAvx512 };
// True when this machine can run the kernel. [any thread]
bool roomKernelSupported(RoomKernel kernel);
// roomProcessBlock with at most the given kernel: an unsupported one, or one whose lanes do not
// fit between the room's slots, falls back to the next narrower. [render thread; no allocation]
void roomProcessBlockWith(RoomKernel kernel, const float* inA, const float* inB, float* outA,
                          float* outB, int count, RoomState& room);

// Releases the two modulation rings. [not the render thread]
void roomRelease(RoomState& room);
