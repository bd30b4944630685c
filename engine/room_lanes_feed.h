// SPDX-License-Identifier: GPL-3.0-or-later
// The lane kernels' vector pieces of the feed: the glide targets of kWidth samples from the slow
// modulation, and the line inputs and both modulated delays of kWidth samples at once. Included
// as text by room_lanes_kernel.h inside each kernel's namespace and target region, after kWidth
// and Lanes; every lane rounds as the per-sample path does (contraction is off).

// NOLINTBEGIN: textual kernel, see above
using Ints = int32_t __attribute__((vector_size(kWidth * sizeof(int32_t))));
using Wide = double __attribute__((vector_size(kWidth * sizeof(double))));

#if ROOM_LANE_WIDTH == 4
#define ROOM_LANES_REVERSED 3, 2, 1, 0
#elif ROOM_LANE_WIDTH == 8
#define ROOM_LANES_REVERSED 7, 6, 5, 4, 3, 2, 1, 0
#else
#define ROOM_LANES_REVERSED 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0
#endif

inline Lanes splat(float v) { return Lanes{} + v; }

// mask ? a : b lane by lane, mask lanes all ones or all zeros.
inline Lanes select(Ints mask, Lanes a, Lanes b) {
  return reinterpret_cast<Lanes>((mask & reinterpret_cast<Ints>(a)) |
                                 (~mask & reinterpret_cast<Ints>(b)));
}

inline Lanes reversed(Lanes v) {
#if defined(__clang__)
  return __builtin_shufflevector(v, v, ROOM_LANES_REVERSED);
#else
  return __builtin_shuffle(v, Ints{ROOM_LANES_REVERSED});
#endif
}

// flushToZero of every lane.
inline Lanes flushLanes(Lanes v) {
  const Ints magnitude = reinterpret_cast<Ints>(v) & 0x7fffffff;
  const Ints keep = (magnitude == 0) | ((magnitude > 0x007fffff) & (magnitude < 0x7f800000));
  return reinterpret_cast<Lanes>(reinterpret_cast<Ints>(v) & keep);
}

// base[index] of every lane.
inline Lanes gatherLanes(const float* base, Ints index) {
#if ROOM_LANE_WIDTH == 16
  return reinterpret_cast<Lanes>(_mm512_mask_i32gather_ps(
      _mm512_setzero_ps(), 0xffff, reinterpret_cast<__m512i>(index), base, 4));
#else
  Lanes v;
  for (int l = 0; l < kWidth; ++l) v[l] = base[index[l]];
  return v;
#endif
}

inline Ints laneNumbers() {
  Ints v;
  for (int l = 0; l < kWidth; ++l) v[l] = l;
  return v;
}

// The modulated delays' distance factors of kWidth consecutive samples from the phasors
// slowOscillatorRun recorded for them: modulationDistances(slowOscillatorStep(…)) lane by lane.
inline void laneDistances(const double* cos1, const double* sin1, const double* cosHalf,
                          Lanes& distanceA, Lanes& distanceB) {
  Wide c1d;
  Wide s1d;
  Wide chd;
  __builtin_memcpy(&c1d, cos1, sizeof c1d);
  __builtin_memcpy(&s1d, sin1, sizeof s1d);
  __builtin_memcpy(&chd, cosHalf, sizeof chd);
  const Wide c2d = c1d * c1d - s1d * s1d;
  const Wide s2d = 2.0 * c1d * s1d;
  const Wide s3d = s2d * c1d + c2d * s1d;
  const Wide c3d = c2d * c1d - s2d * s1d;
  const Lanes c1 = __builtin_convertvector(c1d, Lanes);
  const Lanes ch = __builtin_convertvector(chd, Lanes);
  const Lanes c2 = __builtin_convertvector(c2d, Lanes);
  const Lanes s3 = __builtin_convertvector(s3d, Lanes);
  const Lanes c3 = __builtin_convertvector(c3d, Lanes);
  distanceA = ((-c1 - ch + s3 - c2) * -0.125f + 0.5f) * kModulationDepth;
  distanceB = ((ch + c1 + c3 + c2) * -0.125f + 0.5f) * kModulationDepth;
}

// DelayCursor::glide's target (before the glide step) of every lane, on a live line.
inline Lanes laneTargets(Lanes factor, const DelayCursor& line) {
  const float maxDistance = line.maxDistance();
  const Lanes metres = factor * maxDistance;
  const Lanes d = select(metres >= 1.0f, select(metres < maxDistance, metres, splat(maxDistance)),
                         splat(1.0f));
  Lanes delay = d * line.sampleRate() / line.speedOfSound();
  delay = select(delay >= 1.0f,
                 select(static_cast<float>(line.length()) <= delay,
                        splat(static_cast<float>(line.length() - 1)), delay),
                 splat(1.0f));
  const Ints finite = (reinterpret_cast<Ints>(delay) & 0x7fffffff) < 0x7f800000;
  const float limit = line.limit();
  return select(finite & (delay >= 1.0f), select(delay > limit, splat(limit), delay), splat(1.0f));
}

// True when pass() of kWidth samples with these smoothed delays (lanes in sample order) can run
// as lanes: the writes do not wrap below slot 0 and no read reaches a slot written by an
// earlier sample of the same group (those lie 1 … kWidth − 1 slots above a sample's own).
inline bool lanesCanPass(const DelayCursor& line, Ints whole) {
  if (!line.live() || line.write() < kWidth - 1) return false;
  int32_t lowest = whole[0];
  for (int l = 1; l < kWidth; ++l) lowest = whole[l] < lowest ? whole[l] : lowest;
  return lowest >= kWidth;
}

// DelayCursor::pass of kWidth consecutive samples, lane l being the l-th; lanesCanPass holds.
inline Lanes passLanes(DelayCursor& line, Lanes smoothed, Ints whole, Lanes x) {
  const int32_t slots = line.length() + 1;
  const int32_t w = line.write();
  float* const ring = line.ring();
  const Lanes fraction = smoothed - __builtin_convertvector(whole, Lanes);
  Ints ia = (w - laneNumbers()) + whole;
  ia -= (ia >= slots) & slots;
  Ints ib = ia + 1;
  ib -= (ib >= slots) & slots;
  const Lanes a = gatherLanes(ring, ia);
  const Lanes b = gatherLanes(ring, ib);
  storeLanes(ring + (w - (kWidth - 1)), reversed(x));
  line.skip(kWidth);
  return a + (b - a) * fraction;
}

// feedPlanned of kWidth consecutive samples at slots j … j + kWidth − 1 with their planned
// smoothed delays; false (nothing done) where the delays cannot pass as lanes.
inline bool feedLanes(const float* inA, const float* inB, float f, RoomState& room, int32_t j,
                      const float* smoothedA, const float* smoothedB, DelayCursor& delayA,
                      DelayCursor& delayB) {
  const Lanes sA = loadLanes(smoothedA);
  const Lanes sB = loadLanes(smoothedB);
  const Ints wholeA = __builtin_convertvector(sA, Ints);
  const Ints wholeB = __builtin_convertvector(sB, Ints);
  if (!lanesCanPass(delayA, wholeA) || !lanesCanPass(delayB, wholeB)) return false;
  const Lanes a = loadLanes(inA);
  const Lanes b = loadLanes(inB);
  const Lanes xA = -(f * loadLanes(room.bufferA + j) + select(a == a, a, Lanes{}));
  const Lanes xB = -(f * loadLanes(room.bufferB + j) + select(b == b, b, Lanes{}));
  storeLanes(room.bufferA + j, flushLanes(passLanes(delayA, sA, wholeA, xA)));
  storeLanes(room.bufferB + j, flushLanes(passLanes(delayB, sB, wholeB, xB)));
  return true;
}
#undef ROOM_LANES_REVERSED
// NOLINTEND
