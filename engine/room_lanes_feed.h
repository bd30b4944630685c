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

inline Lanes splat(float v) {
  return Lanes{} + v;
}

// mask ? a : b lane by lane, mask lanes all ones or all zeros.
inline Lanes select(Ints mask, Lanes a, Lanes b) {
#if defined(__clang__)
  return reinterpret_cast<Lanes>((mask & reinterpret_cast<Ints>(a)) |
                                 (~mask & reinterpret_cast<Ints>(b)));
#else
  return mask ? a : b;  // a blend, also where integer vectors of this width are missing
#endif
}

inline Lanes reversed(Lanes v) {
#if defined(__clang__)
  return __builtin_shufflevector(v, v, ROOM_LANES_REVERSED);
#else
  return __builtin_shuffle(v, Ints{ROOM_LANES_REVERSED});
#endif
}

// flushToZero of every lane; float comparisons only, so that a kernel without integer vectors
// of its width keeps them in vector registers.
inline Lanes flushLanes(Lanes v) {
  constexpr float kSmallest = 1.17549435e-38f;  // smallest normal float
  constexpr float kInfinity = __builtin_inff();
  const Ints keep =
      ((v >= kSmallest) & (v < kInfinity)) | ((v <= -kSmallest) & (v > -kInfinity)) | (v == 0.0f);
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
  const Lanes d =
      select(metres >= 1.0f, select(metres < maxDistance, metres, splat(maxDistance)), splat(1.0f));
  Lanes delay = d * line.sampleRate() / line.speedOfSound();
  delay = select(delay >= 1.0f,
                 select(static_cast<float>(line.length()) <= delay,
                        splat(static_cast<float>(line.length() - 1)), delay),
                 splat(1.0f));
  // delay is 1 or more here (NaN went to 1 above), so finite means below infinity.
  const float limit = line.limit();
  return select((delay >= 1.0f) & (delay < __builtin_inff()),
                select(delay > limit, splat(limit), delay), splat(1.0f));
}

// The smallest and the largest lane of v.
inline void laneRange(Lanes v, float& lowest, float& highest) {
#if defined(__clang__)
  lowest = highest = v[0];
  for (int l = 1; l < kWidth; ++l) {
    lowest = v[l] < lowest ? v[l] : lowest;
    highest = v[l] > highest ? v[l] : highest;
  }
#else
  // Row r folds lane l ^ (8 >> r) onto lane l; the widths below 16 use the rows that fit.
  alignas(64) static constexpr int32_t kFold[4][16] = {
      {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
      {4, 5, 6, 7, 0, 1, 2, 3, 12, 13, 14, 15, 8, 9, 10, 11},
      {2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13},
      {1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14}};
  Lanes lo = v;
  Lanes hi = v;
  for (int row = 4 - __builtin_ctz(kWidth); row < 4; ++row) {
    Ints across;
    __builtin_memcpy(&across, kFold[row], sizeof across);
    const Lanes otherLo = __builtin_shuffle(lo, across);
    const Lanes otherHi = __builtin_shuffle(hi, across);
    lo = otherLo < lo ? otherLo : lo;
    hi = otherHi > hi ? otherHi : hi;
  }
  lowest = lo[0];
  highest = hi[0];
#endif
}

// True when pass() of kWidth samples whose smoothed delays have whole parts of at least
// `lowest` can run as lanes: the writes do not wrap below slot 0 and no read reaches a slot
// written by an earlier sample of the same group (those lie 1 … kWidth − 1 slots above a
// sample's own).
inline bool lanesCanPass(const DelayCursor& line, int32_t lowest) {
  return line.live() && line.write() >= kWidth - 1 && lowest >= kWidth;
}

// The whole part of the smallest smoothed delay of the lanes (whole holds their whole parts,
// truncated from smoothed >= 1): returns true when every lane's whole part is lowest or
// lowest + 1. With 16 lanes the usual case, all within one of lane 0's, takes three mask
// comparisons; otherwise the lanes' range decides.
inline bool laneSpan(Lanes smoothed, Ints whole, int32_t& lowest) {
#if ROOM_LANE_WIDTH == 16
  const int32_t first = whole[0];
  const __m512i d = reinterpret_cast<__m512i>(whole - first);
  const __mmask16 below = _mm512_cmpeq_epi32_mask(d, _mm512_set1_epi32(-1));
  const __mmask16 above = _mm512_cmpeq_epi32_mask(d, _mm512_set1_epi32(1));
  const __mmask16 same = _mm512_cmpeq_epi32_mask(d, _mm512_setzero_si512());
  if (static_cast<__mmask16>(below | above | same) == 0xffff && (below == 0 || above == 0)) {
    lowest = below != 0 ? first - 1 : first;
    return true;
  }
#else
  (void)whole;
#endif
  float smallest;
  float largest;
  laneRange(smoothed, smallest, largest);
  // Truncation keeps the order.
  lowest = static_cast<int32_t>(smallest);
  return static_cast<int32_t>(largest) - lowest <= 1;
}

// Ring reads at lanes' slots: a (slot w − l + whole) and b (the slot after it), w the write
// position; slots past the ring's end wrap to its start. Where the whole delays of the lanes
// differ by at most one (narrow, lowest the smallest, from laneSpan) and their slots do not
// straddle the wrap, three reversed runs of consecutive slots hold them all; else each lane
// reads on its own.
inline void ringReads(const float* ring, int32_t w, int32_t slots, Lanes smoothed, Ints whole,
                      int32_t lowest, bool narrow, Lanes& a, Lanes& b) {
  // The runs read slots first … last: from the last lane's a at the lowest whole delay to the
  // first lane's b at one more. When last lies past the ring's end they all must (first is
  // then moved back by the ring's length); last − slots never reaches slots (w and the delays
  // are below slots).
  int32_t first = w - (kWidth - 1) + lowest;
  const int32_t last = w + lowest + 2;
  if (last >= slots) first -= slots;
  if (narrow && first >= 0) {
    const float* const run = ring + first;
    const Lanes r0 = reversed(loadLanes(run));
    const Lanes r1 = reversed(loadLanes(run + 1));
    const Lanes r2 = reversed(loadLanes(run + 2));
    const Ints higher = smoothed >= static_cast<float>(lowest + 1);  // whole above lowest
    a = select(higher, r1, r0);
    b = select(higher, r2, r1);
    return;
  }
  Ints ia = (w - laneNumbers()) + whole;
  ia -= (ia >= slots) & slots;
  Ints ib = ia + 1;
  ib -= (ib >= slots) & slots;
  a = gatherLanes(ring, ia);
  b = gatherLanes(ring, ib);
}

// DelayCursor::pass of kWidth consecutive samples, lane l being the l-th; lanesCanPass holds.
inline Lanes passLanes(DelayCursor& line, Lanes smoothed, Ints whole, int32_t lowest, bool narrow,
                       Lanes x) {
  float* const ring = line.ring();
  const int32_t w = line.write();
  const Lanes fraction = smoothed - __builtin_convertvector(whole, Lanes);
  Lanes a;
  Lanes b;
  ringReads(ring, w, line.length() + 1, smoothed, whole, lowest, narrow, a, b);
  storeLanes(ring + (w - (kWidth - 1)), reversed(x));
  line.skip(kWidth);
  return a + (b - a) * fraction;
}

// Lane l of a table row is a source lane of a two-vector shuffle.
struct LaneTable {
  int32_t lane[kWidth];
};

// Interleaving rows: half 0 takes lanes 0 … kWidth/2 − 1 of a and b in turns, half 1 the rest.
constexpr LaneTable zipRow(int half) {
  LaneTable t{};
  for (int l = 0; l < kWidth; ++l)
    t.lane[l] = (l % 2 == 0 ? 0 : kWidth) + half * kWidth / 2 + l / 2;
  return t;
}

// De-interleaving rows: the even (0) or odd (1) lanes of a followed by those of b.
constexpr LaneTable unzipRow(int odd) {
  LaneTable t{};
  for (int l = 0; l < kWidth; ++l) t.lane[l] = 2 * l + odd;
  return t;
}

// Stores a and b interleaved: a[0], b[0], a[1], b[1], … at p[0 … 2 kWidth).
inline void storePairs(float* p, Lanes a, Lanes b) {
#if defined(__clang__)
  for (int l = 0; l < kWidth; ++l) {
    p[2 * l] = a[l];
    p[2 * l + 1] = b[l];
  }
#else
  alignas(64) static constexpr LaneTable kZip[2] = {zipRow(0), zipRow(1)};
  Ints first;
  Ints second;
  __builtin_memcpy(&first, kZip[0].lane, sizeof first);
  __builtin_memcpy(&second, kZip[1].lane, sizeof second);
  storeLanes(p, __builtin_shuffle(a, b, first));
  storeLanes(p + kWidth, __builtin_shuffle(a, b, second));
#endif
}

// The inverse of storePairs.
inline void loadPairs(const float* p, Lanes& a, Lanes& b) {
#if defined(__clang__)
  for (int l = 0; l < kWidth; ++l) {
    a[l] = p[2 * l];
    b[l] = p[2 * l + 1];
  }
#else
  alignas(64) static constexpr LaneTable kUnzip[2] = {unzipRow(0), unzipRow(1)};
  Ints even;
  Ints odd;
  __builtin_memcpy(&even, kUnzip[0].lane, sizeof even);
  __builtin_memcpy(&odd, kUnzip[1].lane, sizeof odd);
  const Lanes low = loadLanes(p);
  const Lanes high = loadLanes(p + kWidth);
  a = __builtin_shuffle(low, high, even);
  b = __builtin_shuffle(low, high, odd);
#endif
}

// feedPlanned of kWidth consecutive samples at slots j … j + kWidth − 1 with their planned
// smoothed delays sA and sB; false (nothing done) where the delays cannot pass as lanes.
inline bool feedLanes(const float* inA, const float* inB, float f, RoomState& room, int32_t j,
                      Lanes sA, Lanes sB, DelayCursor& delayA, DelayCursor& delayB) {
  const Ints wholeA = __builtin_convertvector(sA, Ints);
  const Ints wholeB = __builtin_convertvector(sB, Ints);
  int32_t lowestA;
  int32_t lowestB;
  const bool narrowA = laneSpan(sA, wholeA, lowestA);
  const bool narrowB = laneSpan(sB, wholeB, lowestB);
  if (!lanesCanPass(delayA, lowestA) || !lanesCanPass(delayB, lowestB)) return false;
  const Lanes a = loadLanes(inA);
  const Lanes b = loadLanes(inB);
  const Lanes xA = -(f * loadLanes(room.bufferA + j) + select(a == a, a, Lanes{}));
  const Lanes xB = -(f * loadLanes(room.bufferB + j) + select(b == b, b, Lanes{}));
  storeLanes(room.bufferA + j, flushLanes(passLanes(delayA, sA, wholeA, lowestA, narrowA, xA)));
  storeLanes(room.bufferB + j, flushLanes(passLanes(delayB, sB, wholeB, lowestB, narrowB, xB)));
  return true;
}
#undef ROOM_LANES_REVERSED
// NOLINTEND
