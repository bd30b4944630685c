// SPDX-License-Identifier: GPL-3.0-or-later
// Lane kernels of the filter-bank vocoder, written once for any vector width. Each vector holds
// the same sample of W band signals, so W biquad recursions advance together with exactly the
// scalar biquad's arithmetic per lane: ((b0·x[n] − b0·x[n−2]) − a1·y[n−1]) − a2·y[n−2]. (b2 is
// −b0, so b2·x[n−2] is the negated product b0·x[n−2] formed two samples earlier, bit for bit.)
//
// Included by filter_bank_simd.cpp once per instruction set, inside its own namespace, with
// FILTER_BANK_WIDTH set to the lanes per vector; hence no include guard. Needs <algorithm>,
// <array>, <cstdint>, <cstring>, <type_traits>, <utility> and filter_bank_internal.h before it.
// Floating-point contraction must be off where this is compiled so that every lane rounds like
// the scalar biquad.

constexpr int kWidth = FILTER_BANK_WIDTH;
constexpr int kSignalGroups = (kFilterBankBands + kWidth - 1) / kWidth;
constexpr int kGroups = 2 * kSignalGroups;
static_assert(kGroups * kWidth <= kFilterBankMaxLanes);

typedef float Vec __attribute__((vector_size(kWidth * sizeof(float))));
typedef float Quad __attribute__((vector_size(4 * sizeof(float))));

// All lanes s; s − (+0) is s for every s, signed zeros and NaN included.
inline Vec splat(float s) {
  return s - Vec{};
}

// |v| lane by lane, by clearing the sign bits.
template <typename V>
inline V absolute(V v) {
  typedef int32_t Bits __attribute__((vector_size(sizeof(V))));
  return reinterpret_cast<V>(reinterpret_cast<Bits>(v) & 0x7fffffff);
}

inline Vec* groupLanes(float* lanes, int group) {
  return reinterpret_cast<Vec*>(lanes) + group * kFilterBankCapacity;
}
inline const Vec* groupLanes(const float* lanes, int group) {
  return reinterpret_cast<const Vec*>(lanes) + group * kFilterBankCapacity;
}

inline const float* groupSource(const LaneJob& job, int group) {
  return group < kSignalGroups ? job.speech : job.carrier;
}

// Per-band values spread over the lanes of a group; padding lanes get 0.
inline Vec groupValues(const float* perBand, int group) {
  Vec v = {};
  const int first = (group % kSignalGroups) * kWidth;
  for (int i = 0; i < kWidth; ++i) {
    if (first + i < kFilterBankBands) v[i] = perBand[first + i];
  }
  return v;
}

inline void storeSums(const Vec* acc, int groups, int firstGroup, float* sums) {
  std::memcpy(sums + firstGroup * kWidth, acc, sizeof(Vec) * groups);
}

// One step of a band-pass section (b1 0, b2 −b0) over the lanes of V, from its input x:
// y = ((p − p[−2]) − a1·y[−1]) − a2·y[−2] with p = b0·x. The two samples of history swap slots
// instead of moving through registers: a step with kSwap false finds the newer sample in p1, y1
// and writes its own over p2, y2; a step with kSwap true the other way round. Steps alternate,
// starting with false (see forEachStep).
template <bool kSwap, typename V>
__attribute__((always_inline)) inline V sectionStep(V x, V b0, V a1, V a2, V& p1, V& p2, V& y1,
                                                    V& y2) {
  V& pOlder = kSwap ? p1 : p2;
  V& yNewer = kSwap ? y2 : y1;
  V& yOlder = kSwap ? y1 : y2;
  const V p = b0 * x;
  const V y = ((p - pOlder) - a1 * yNewer) - a2 * yOlder;
  pOlder = p;
  yOlder = y;
  return y;
}

// step(kSwap, i) for i = begin … end − 1 in order, kSwap std::false_type for even i and
// std::true_type for odd i, two steps per loop pass. Consecutive ranges continue the alternation.
template <typename Step>
__attribute__((always_inline)) inline void forEachStep(int begin, int end, Step&& step) {
  int i = begin;
  if (i < end && (i & 1) != 0) step(std::true_type{}, i++);
  for (; i + 1 < end; i += 2) {
    step(std::false_type{}, i);
    step(std::true_type{}, i + 1);
  }
  if (i < end) step(std::false_type{}, i);
}
template <typename Step>
__attribute__((always_inline)) inline void forEachStep(int count, Step&& step) {
  forEachStep(0, count, step);
}

// Both sections of two band signals in one 4-lane vector: lanes 0, 1 run the first section on
// the signals' sample n while lanes 2, 3 run the second on the first's sample n − 2 (two steps
// back, so that the hand-over does not lengthen the recursion's chain), so step n's result holds
// the signals' samples n − 2 in lanes 2, 3. Steps 0 and 1 give +0 there and leave the zero state
// as it was. acc sums |result| per lane.
struct SkewedSectionPair {
  Quad b0, a1, a2;
  Quad p1 = {}, p2 = {}, y1 = {}, y2 = {};
  Quad acc = {};

  // bands: the band of each lane (lanes 2, 3 those of lanes 0, 1).
  SkewedSectionPair(const LaneJob& job, const int (&bands)[4])
      : b0(quadValues(job.b0, bands)), a1(quadValues(job.a1, bands)),
        a2(quadValues(job.a2, bands)) {}

  // inputs: the signals' sample n in lanes 0, 1; lanes 2, 3 are not read. kSwap as for
  // sectionStep.
  template <bool kSwap>
  __attribute__((always_inline)) Quad step(Quad inputs) {
    const Quad x = __builtin_shufflevector(inputs, kSwap ? y1 : y2, 0, 1, 4, 5);
    const Quad y = sectionStep<kSwap>(x, b0, a1, a2, p1, p2, y1, y2);
    acc += absolute(y);
    return y;
  }

 private:
  static Quad quadValues(const float* perBand, const int (&bands)[4]) {
    return Quad{perBand[bands[0]], perBand[bands[1]], perBand[bands[2]], perBand[bands[3]]};
  }
};

// The last band (24) of both signals when it is alone in its signal's last group (W 4 and 8),
// in a SkewedSectionPair stepped beside the full groups' loop: lane 0 of each last group gets
// the band's samples, its other lanes +0.
constexpr bool kLastBandAlone = kFilterBankBands % kWidth == 1;
constexpr int kLastSpeechGroup = kSignalGroups - 1;
constexpr int kLastCarrierGroup = kGroups - 1;
constexpr int kFullGroups = kLastBandAlone ? kGroups - 2 : kGroups;  // run group by group

// Both forward sweeps of the cascade in one loop over the G groups listed, from the broadcast
// source samples: the second sweep takes each sample of the first as soon as it is made. With
// kWithLastBand the loop also runs the last band of both signals (see kLastBandAlone).
template <int G, bool kWithLastBand = false>
void cascadeGroups(const LaneJob& job, const int (&groups)[G], float* sums) {
  static_assert(!kWithLastBand || kLastBandAlone);
  Vec b0[G], a1[G], a2[G];
  const float* source[G];
  Vec* out[G];
  Vec p1[G], p2[G], y1[G], y2[G], q1[G], q2[G], z1[G], z2[G], acc[G];
  for (int g = 0; g < G; ++g) {
    b0[g] = groupValues(job.b0, groups[g]);
    a1[g] = groupValues(job.a1, groups[g]);
    a2[g] = groupValues(job.a2, groups[g]);
    source[g] = groupSource(job, groups[g]);
    out[g] = groupLanes(job.lanes, groups[g]);
    p1[g] = p2[g] = y1[g] = y2[g] = q1[g] = q2[g] = z1[g] = z2[g] = acc[g] = Vec{};
  }
  auto groupsStep = [&](auto swap, int n) __attribute__((always_inline)) {
    constexpr bool kSwap = decltype(swap)::value;
    for (int g = 0; g < G; ++g) {
      const Vec y = sectionStep<kSwap>(splat(source[g][n]), b0[g], a1[g], a2[g], p1[g], p2[g],
                                       y1[g], y2[g]);
      const Vec z = sectionStep<kSwap>(y, b0[g], a1[g], a2[g], q1[g], q2[g], z1[g], z2[g]);
      acc[g] += absolute(z);
      out[g][n] = z;
    }
  };
  const int count = job.count;
  if constexpr (kWithLastBand) {
    constexpr int kLast = kFilterBankBands - 1;
    SkewedSectionPair pair(job, {kLast, kLast, kLast, kLast});
    Vec* const speechOut = groupLanes(job.lanes, kLastSpeechGroup);
    Vec* const carrierOut = groupLanes(job.lanes, kLastCarrierGroup);
    auto inputs = [&](int n) { return Quad{job.speech[n], job.carrier[n], 0.0f, 0.0f}; };
    auto bothStep = [&](auto swap, int n, Quad ahead) __attribute__((always_inline)) {
      groupsStep(swap, n);
      const Quad y = pair.step<decltype(swap)::value>(ahead);
      Vec speech = {}, carrier = {};
      speech[0] = y[2];
      carrier[0] = y[3];
      speechOut[n] = speech;
      carrierOut[n] = carrier;
    };
    // The pair reads two samples ahead. Inputs past the block are 0: they reach only the first
    // section's lanes, which are not read.
    pair.step<false>(inputs(0));
    pair.step<true>(count > 1 ? inputs(1) : Quad{});
    const int ahead = count > 2 ? count - 2 : 0;
    forEachStep(0, ahead, [&](auto swap, int n) __attribute__((always_inline)) {
      bothStep(swap, n, inputs(n + 2));
    });
    forEachStep(ahead, count, [&](auto swap, int n) __attribute__((always_inline)) {
      bothStep(swap, n, Quad{});
    });
    for (int i = 0; i < kWidth; ++i) {
      sums[kLastSpeechGroup * kWidth + i] = i == 0 ? pair.acc[2] : 0.0f;
      sums[kLastCarrierGroup * kWidth + i] = i == 0 ? pair.acc[3] : 0.0f;
    }
  } else {
    forEachStep(count, groupsStep);
  }
  for (int g = 0; g < G; ++g) storeSums(&acc[g], 1, groups[g], sums);
}

// First sweep of the zero-phase filter: forward from the broadcast source samples.
template <int G>
void forwardGroups(const LaneJob& job, int firstGroup) {
  Vec b0[G], a1[G], a2[G];
  const float* source[G];
  Vec* out[G];
  Vec p1[G], p2[G], y1[G], y2[G];
  for (int g = 0; g < G; ++g) {
    b0[g] = groupValues(job.b0, firstGroup + g);
    a1[g] = groupValues(job.a1, firstGroup + g);
    a2[g] = groupValues(job.a2, firstGroup + g);
    source[g] = groupSource(job, firstGroup + g);
    out[g] = groupLanes(job.lanes, firstGroup + g);
    p1[g] = p2[g] = y1[g] = y2[g] = Vec{};
  }
  forEachStep(job.count, [&](auto swap, int n) __attribute__((always_inline)) {
    constexpr bool kSwap = decltype(swap)::value;
    for (int g = 0; g < G; ++g) {
      out[g][n] = sectionStep<kSwap>(splat(source[g][n]), b0[g], a1[g], a2[g], p1[g], p2[g],
                                     y1[g], y2[g]);
    }
  });
}

// Second sweep of the zero-phase filter: backward over the lanes, in place.
template <int G>
void backwardGroups(const LaneJob& job, int firstGroup) {
  Vec b0[G], a1[G], a2[G];
  Vec* lanes[G];
  Vec p1[G], p2[G], y1[G], y2[G];
  for (int g = 0; g < G; ++g) {
    b0[g] = groupValues(job.b0, firstGroup + g);
    a1[g] = groupValues(job.a1, firstGroup + g);
    a2[g] = groupValues(job.a2, firstGroup + g);
    lanes[g] = groupLanes(job.lanes, firstGroup + g);
    p1[g] = p2[g] = y1[g] = y2[g] = Vec{};
  }
  forEachStep(job.count, [&](auto swap, int i) __attribute__((always_inline)) {
    constexpr bool kSwap = decltype(swap)::value;
    const int n = job.count - 1 - i;
    for (int g = 0; g < G; ++g) {
      lanes[g][n] = sectionStep<kSwap>(lanes[g][n], b0[g], a1[g], a2[g], p1[g], p2[g], y1[g],
                                       y2[g]);
    }
  });
}

template <int G>
void sumGroups(const LaneJob& job, int firstGroup, float* sums) {
  const Vec* lanes[G];
  Vec acc[G];
  for (int g = 0; g < G; ++g) {
    lanes[g] = groupLanes(job.lanes, firstGroup + g);
    acc[g] = Vec{};
  }
  for (int n = 0; n < job.count; ++n) {
    for (int g = 0; g < G; ++g) acc[g] += absolute(lanes[g][n]);
  }
  storeSums(acc, G, firstGroup, sums);
}

// Runs body<G>(firstGroup) over all groups in chunks of at most kChunk.
template <int kChunk, typename Body>
void forGroupChunks(Body&& body) {
  static_assert(kChunk >= 1 && kChunk <= 4);
  for (int first = 0; first < kGroups; first += kChunk) {
    const int left = kGroups - first;
    if (left >= kChunk) {
      body(std::integral_constant<int, kChunk>{}, first);
    } else if (left == 3) {
      body(std::integral_constant<int, 3>{}, first);
    } else if (left == 2) {
      body(std::integral_constant<int, 2>{}, first);
    } else {
      body(std::integral_constant<int, 1>{}, first);
    }
  }
}

// The cascade's loops: the full groups, kCascadeChunk to a loop, and with the last loop the
// last band of both signals when it is alone in its group.
template <int... kLoop>
void cascadeLoops(const LaneJob& job, float* sums, std::integer_sequence<int, kLoop...>) {
  constexpr int kLoops = sizeof...(kLoop);
  auto loop = [&](auto index) {
    constexpr int kFirst = decltype(index)::value * kCascadeChunk;
    constexpr int kSize = std::min(kFullGroups - kFirst, kCascadeChunk);
    int groups[kSize];
    for (int g = 0; g < kSize; ++g) {
      const int i = kFirst + g;  // skips the last speech group when it is run as a pair
      groups[g] = kLastBandAlone && i >= kLastSpeechGroup ? i + 1 : i;
    }
    constexpr bool kLastLoop = decltype(index)::value == kLoops - 1;
    cascadeGroups<kSize, kLastLoop && kLastBandAlone>(job, groups, sums);
  };
  (loop(std::integral_constant<int, kLoop>{}), ...);
}

void cascade(const LaneJob& job, float* sums) {
  constexpr int kLoops = (kFullGroups + kCascadeChunk - 1) / kCascadeChunk;
  cascadeLoops(job, sums, std::make_integer_sequence<int, kLoops>{});
}

void zeroPhase(const LaneJob& job, float* sums) {
  forGroupChunks<kSweepChunk>([&](auto g, int first) {
    forwardGroups<decltype(g)::value>(job, first);
    backwardGroups<decltype(g)::value>(job, first);
  });
  forGroupChunks<4>([&](auto g, int first) { sumGroups<decltype(g)::value>(job, first, sums); });
}

// Pairwise lane sums of two vectors whose lanes form segments of kSegment lanes (one row per
// segment): the result has twice the segments at half the size, rows of v and w interleaved.
template <int kSegment, int... kLane>
inline Vec foldPair(Vec v, Vec w, std::integer_sequence<int, kLane...>) {
  constexpr int kHalf = kSegment / 2;
  return __builtin_shufflevector(v, w,
                                 ((kLane / kHalf) % 2 ? kWidth : 0) +
                                     (kLane / kHalf / 2) * kSegment + kLane % kHalf...) +
         __builtin_shufflevector(v, w,
                                 ((kLane / kHalf) % 2 ? kWidth : 0) +
                                     (kLane / kHalf / 2) * kSegment + kLane % kHalf + kHalf...);
}

// rows[0 … kRows-1] hold one row each in segments of kSegment lanes; afterwards rows[0] lane j
// holds the lane sum of original row j.
template <int kSegment, int kRows>
inline void foldRows(Vec* rows) {
  for (int i = 0; i < kRows / 2; ++i) {
    rows[i] =
        foldPair<kSegment>(rows[i], rows[i + kRows / 2], std::make_integer_sequence<int, kWidth>{});
  }
  if constexpr (kRows > 2) foldRows<kSegment / 2, kRows / 2>(rows);
}

// out[n] = the sum of the lanes of laneTotals(n) for n < count: W samples at a time folded
// pairwise, a rest one lane after another.
template <typename LaneTotals>
inline void foldLaneTotals(LaneTotals&& laneTotals, int count, float* out) {
  int n0 = 0;
  for (; n0 + kWidth <= count; n0 += kWidth) {
    Vec rows[kWidth];
    for (int j = 0; j < kWidth; ++j) rows[j] = laneTotals(n0 + j);
    foldRows<kWidth, kWidth>(rows);
    std::memcpy(out + n0, &rows[0], sizeof(Vec));
  }
  for (int n = n0; n < count; ++n) {
    const Vec acc = laneTotals(n);
    float total = 0.0f;
    for (int i = 0; i < kWidth; ++i) total += acc[i];
    out[n] = total;
  }
}

// The weighted lane sum over kActive groups.
template <int kActive>
void mixGroups(const Vec* const* groups, const Vec* weight, int count, float* out) {
  foldLaneTotals(
      [&](int n) {
        Vec acc = groups[0][n] * weight[0];
        for (int a = 1; a < kActive; ++a) acc += groups[a][n] * weight[a];
        return acc;
      },
      count, out);
}

using MixGroupsFn = void (*)(const Vec* const*, const Vec*, int, float*);

template <int... kIndex>
constexpr auto mixGroupsTable(std::integer_sequence<int, kIndex...>) {
  return std::array<MixGroupsFn, sizeof...(kIndex)>{mixGroups<kIndex + 1>...};
}

// Groups whose weights are all 0 are skipped.
void mix(const float* lanes, const float* weights, int count, float* out) {
  const Vec* groups[kGroups];
  Vec weight[kGroups];
  int active = 0;
  for (int g = 0; g < kGroups; ++g) {
    Vec w;
    std::memcpy(&w, weights + g * kWidth, sizeof(Vec));
    bool any = false;
    for (int i = 0; i < kWidth; ++i) any = any || w[i] != 0.0f;
    if (!any) continue;
    groups[active] = groupLanes(lanes, g);
    weight[active] = w;
    ++active;
  }
  if (active == 0) {
    for (int n = 0; n < count; ++n) out[n] = 0.0f;
    return;
  }
  static constexpr auto kTable = mixGroupsTable(std::make_integer_sequence<int, kGroups>{});
  kTable[active - 1](groups, weight, count, out);
}
