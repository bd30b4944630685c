// SPDX-License-Identifier: GPL-3.0-or-later
// The filter bank for 16-lane vectors with the 50 band signals packed into three 16-lane rows and
// one 4-lane row instead of four 16-lane groups with 14 idle lanes (the cascade's layout; the
// zero-phase filter's differs where noted at zeroPhasePacked):
//   row A: speech bands 0 … 15          summed for its levels only, never stored
//   row B: carrier bands 0 … 15         stored as group 0 of the lanes
//   row C: carrier bands 16 … 24 in lanes 0 … 8, speech bands 16 … 22 in lanes 9 … 15; group 1
//   row D: speech bands 23, 24 (first section, lanes 0, 1, then second section, lanes 2, 3);
//          stored as 4-lane vectors after group 1, the bands' samples in lanes 2, 3
// Every lane runs the biquad arithmetic of cascadeGroups, and the mix forms the lane totals and
// folds them in the order of mixGroups over the unpacked groups, so the output is that of the
// 16-lane kernels except possibly for the sign of a zero sample.
//
// Included by filter_bank_simd.cpp inside its AVX-512 namespace after filter_bank_kernel.h (with
// FILTER_BANK_WIDTH 16), hence no include guard.

static_assert(kWidth == 16 && kSignalGroups == 2);

constexpr int kSignalLanes = kSignalGroups * kWidth;  // speech sums first, carrier sums after
constexpr int kRowCSpeechLane = 9;                    // row C lane of speech band 16
constexpr __mmask16 kRowCSpeechMask = 0xfe00;        // row C lanes 9 … 15

inline Quad* rowD(float* lanes) {
  return reinterpret_cast<Quad*>(lanes + 2 * kFilterBankCapacity * kWidth);
}
inline const Quad* rowD(const float* lanes) {
  return reinterpret_cast<const Quad*>(lanes + 2 * kFilterBankCapacity * kWidth);
}

// The band each lane of rows A … D carries; −1 for an idle lane. Row D names each of its bands
// twice: once for the first section's lane, once for the second's.
constexpr int kRowBandA[kWidth] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr int kRowBandC[kWidth] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 16, 17, 18, 19, 20, 21, 22};
constexpr int kRowBandD[4] = {23, 24, 23, 24};
constexpr int kRowDLane = 2;  // row D lane of the samples of speech band 23

template <typename V, int kLanes>
V rowValues(const float* perBand, const int (&bands)[kLanes]) {
  V v = {};
  for (int i = 0; i < kLanes; ++i) {
    if (bands[i] >= 0) v[i] = perBand[bands[i]];
  }
  return v;
}

// One section of a band-pass over the lanes of V, advanced one sample at a time (sectionStep).
template <typename V>
struct Section {
  V p1 = {}, p2 = {}, y1 = {}, y2 = {};

  template <bool kSwap>
  V step(V x, V b0, V a1, V a2) {
    return sectionStep<kSwap>(x, b0, a1, a2, p1, p2, y1, y2);
  }
};

// Both forward sweeps of one row, advanced one sample at a time (kSwap as for sectionStep); acc
// sums the magnitude of every output, lane by lane.
template <typename V>
struct CascadeRow {
  V b0, a1, a2;
  Section<V> first, second;
  V acc = {};

  template <int kLanes>
  CascadeRow(const LaneJob& job, const int (&bands)[kLanes])
      : b0(rowValues<V>(job.b0, bands)), a1(rowValues<V>(job.a1, bands)),
        a2(rowValues<V>(job.a2, bands)) {}

  template <bool kSwap>
  V step(V x) {
    const V u = first.template step<kSwap>(x, b0, a1, a2);
    const V z = second.template step<kSwap>(u, b0, a1, a2);
    acc += absolute(z);
    return z;
  }
};

// Zeros the samples of a lane whose level is not finite (see silenceNonFiniteLanes) and its sum.
template <typename V>
void silenceLane(V* row, int lane, int count, float& sum) {
  if (std::isfinite(sum)) return;
  sum = 0.0f;
  if (!row) return;
  for (int n = 0; n < count; ++n) row[n][lane] = 0.0f;
}

// The rows' sums (accA … accD, lane by lane) into sums in the unpacked lane order (speech band b
// at b, carrier band b at kSignalLanes + b, idle lanes 0; row D's bands from its lanes
// kRowDLane on); then the lanes whose sum is not finite silenced in the stored rows (row A is
// not read after the sums) with their sums set to 0.
void packedSums(Vec accA, Vec accB, Vec accC, Quad accD, Vec* rowB, Vec* rowC, Quad* rowDOut,
                int count, float* sums) {
  for (int i = 0; i < 2 * kSignalLanes; ++i) sums[i] = 0.0f;
  for (int i = 0; i < kWidth; ++i) {
    sums[i] = accA[i];
    sums[kSignalLanes + i] = accB[i];
    const int band = kRowBandC[i];
    sums[i < kRowCSpeechLane ? kSignalLanes + band : band] = accC[i];
  }
  for (int i = kRowDLane; i < 4; ++i) sums[kRowBandD[i]] = accD[i];

  for (int i = 0; i < kWidth; ++i) {
    silenceLane<Vec>(nullptr, i, count, sums[i]);
    silenceLane(rowB, i, count, sums[kSignalLanes + i]);
    const int band = kRowBandC[i];
    silenceLane(rowC, i, count, sums[i < kRowCSpeechLane ? kSignalLanes + band : band]);
  }
  for (int i = kRowDLane; i < 4; ++i) silenceLane(rowDOut, i, count, sums[kRowBandD[i]]);
}

// The cascade of every band into the packed rows; sums in the unpacked lane order (speech band b
// at b, carrier band b at kSignalLanes + b, idle lanes 0). Lanes whose sum is not finite are
// silenced here, so their sums come back 0.
void cascadePacked(const LaneJob& job, float* sums) {
  Vec* const rowB = groupLanes(job.lanes, 0);
  Vec* const rowC = groupLanes(job.lanes, 1);
  Quad* const rowDOut = rowD(job.lanes);
  const int count = job.count;

  // Two rows per loop: enough independent recursions to cover the latency of one, few enough
  // to stay in registers. Each row is summed as its samples are made: reading rows back from
  // memory in a later loop costs more than the sums, the rows of a block being larger than the
  // first-level cache. Both loops step two samples at a time, so that the sections' history
  // swaps slots (see sectionStep) rather than moving.
  CascadeRow<Vec> a(job, kRowBandA), b(job, kRowBandA);
  auto firstLoopStep = [&](auto swap, int n) __attribute__((always_inline)) {
    constexpr bool kSwap = decltype(swap)::value;
    a.step<kSwap>(splat(job.speech[n]));
    rowB[n] = b.step<kSwap>(splat(job.carrier[n]));
  };
  forEachStep(count, firstLoopStep);
  CascadeRow<Vec> c(job, kRowBandC);
  SkewedSectionPair d(job, kRowBandD);  // row D: speech bands 23, 24 from the speech
  auto rowCInput = [&](int n) {
    return _mm512_mask_blend_ps(kRowCSpeechMask, splat(job.carrier[n]), splat(job.speech[n]));
  };
  auto secondLoopStep = [&](auto swap, int n, float rowDInput) __attribute__((always_inline)) {
    constexpr bool kSwap = decltype(swap)::value;
    rowC[n] = c.step<kSwap>(rowCInput(n));
    rowDOut[n] = d.step<kSwap>(rowDInput - Quad{});
  };
  // Row D reads two samples ahead. Inputs past the block are 0: they reach only the first
  // section's lanes, which are not read.
  d.step<false>(job.speech[0] - Quad{});
  d.step<true>((count > 1 ? job.speech[1] : 0.0f) - Quad{});
  const int ahead = count > 2 ? count - 2 : 0;
  forEachStep(0, ahead, [&](auto swap, int n) __attribute__((always_inline)) {
    secondLoopStep(swap, n, job.speech[n + 2]);
  });
  forEachStep(ahead, count, [&](auto swap, int n) __attribute__((always_inline)) {
    secondLoopStep(swap, n, 0.0f);
  });

  packedSums(a.acc, b.acc, c.acc, d.acc, rowB, rowC, rowDOut, count, sums);
}

// The zero-phase filter (Sound Mode 6) into the cascade's packed rows: one section forward over
// every row, then one backward in place, then the sums in sample order, as forwardGroups,
// backwardGroups and sumGroups do over the unpacked groups. Row A is stored here too (as group 3
// of the lanes), for its backward sweep; row D carries speech bands 23 and 24 in lanes 2 and 3
// only, where cascadePacked leaves them, so that mixPacked and packedSums serve both.
constexpr int kZeroPhaseRowBandD[4] = {-1, -1, 23, 24};
static_assert(kZeroPhaseRowBandD[kRowDLane] == kRowBandD[kRowDLane] &&
              kZeroPhaseRowBandD[kRowDLane + 1] == kRowBandD[kRowDLane + 1]);

void zeroPhasePacked(const LaneJob& job, float* sums) {
  Vec* const rowA = groupLanes(job.lanes, 3);
  Vec* const rowB = groupLanes(job.lanes, 0);
  Vec* const rowC = groupLanes(job.lanes, 1);
  Quad* const rowDOut = rowD(job.lanes);
  const int count = job.count;
  const Vec b0AB = rowValues<Vec>(job.b0, kRowBandA), a1AB = rowValues<Vec>(job.a1, kRowBandA),
            a2AB = rowValues<Vec>(job.a2, kRowBandA);
  const Vec b0C = rowValues<Vec>(job.b0, kRowBandC), a1C = rowValues<Vec>(job.a1, kRowBandC),
            a2C = rowValues<Vec>(job.a2, kRowBandC);
  const Quad b0D = rowValues<Quad>(job.b0, kZeroPhaseRowBandD),
             a1D = rowValues<Quad>(job.a1, kZeroPhaseRowBandD),
             a2D = rowValues<Quad>(job.a2, kZeroPhaseRowBandD);

  // All four rows in each loop: with one section per row, fewer would leave the recursions'
  // latency uncovered.
  {
    Section<Vec> a, b, c;
    Section<Quad> d;
    forEachStep(count, [&](auto swap, int n) __attribute__((always_inline)) {
      constexpr bool kSwap = decltype(swap)::value;
      const Vec speech = splat(job.speech[n]);
      const Vec carrier = splat(job.carrier[n]);
      rowA[n] = a.step<kSwap>(speech, b0AB, a1AB, a2AB);
      rowB[n] = b.step<kSwap>(carrier, b0AB, a1AB, a2AB);
      rowC[n] = c.step<kSwap>(_mm512_mask_blend_ps(kRowCSpeechMask, carrier, speech), b0C, a1C,
                              a2C);
      rowDOut[n] = d.step<kSwap>(job.speech[n] - Quad{}, b0D, a1D, a2D);
    });
  }
  {
    Section<Vec> a, b, c;
    Section<Quad> d;
    forEachStep(count, [&](auto swap, int i) __attribute__((always_inline)) {
      constexpr bool kSwap = decltype(swap)::value;
      const int n = count - 1 - i;
      rowA[n] = a.step<kSwap>(rowA[n], b0AB, a1AB, a2AB);
      rowB[n] = b.step<kSwap>(rowB[n], b0AB, a1AB, a2AB);
      rowC[n] = c.step<kSwap>(rowC[n], b0C, a1C, a2C);
      rowDOut[n] = d.step<kSwap>(rowDOut[n], b0D, a1D, a2D);
    });
  }
  Vec accA = {}, accB = {}, accC = {};
  Quad accD = {};
  for (int n = 0; n < count; ++n) {
    accA += absolute(rowA[n]);
    accB += absolute(rowB[n]);
    accC += absolute(rowC[n]);
    accD += absolute(rowDOut[n]);
  }

  packedSums(accA, accB, accC, accD, rowB, rowC, rowDOut, count, sums);
}

// Lane i of the unpacked group 1: speech band 16 + i (lanes 0 … 8); lanes 9 … 15 take any finite
// value, their weight being 0.
inline Vec passthroughLanes(Vec c, Quad d) {
  constexpr int d0 = kWidth + kRowDLane;
  const __m512i index =
      _mm512_setr_epi32(9, 10, 11, 12, 13, 14, 15, d0, d0 + 1, 0, 0, 0, 0, 0, 0, 0);
  return _mm512_permutex2var_ps(c, index, _mm512_castps128_ps512(d));
}

// mixGroups over the unpacked groups 1 (passthrough), 2 and 3 (carrier), each taken when its
// weights are not all 0, read from the packed rows.
template <bool kPass, bool kLow, bool kHigh>
void mixPackedRows(const float* lanes, const Vec* weight, int count, float* out) {
  const Vec* const rowB = groupLanes(lanes, 0);
  const Vec* const rowC = groupLanes(lanes, 1);
  const Quad* const rowDIn = rowD(lanes);
  auto laneTotals = [&](int n) {
    if constexpr (kPass) {
      Vec acc = passthroughLanes(rowC[n], rowDIn[n]) * weight[0];
      if constexpr (kLow) acc += rowB[n] * weight[1];
      if constexpr (kHigh) acc += rowC[n] * weight[2];
      return acc;
    } else if constexpr (kLow) {
      Vec acc = rowB[n] * weight[1];
      if constexpr (kHigh) acc += rowC[n] * weight[2];
      return acc;
    } else {
      return rowC[n] * weight[2];
    }
  };
  foldLaneTotals(laneTotals, count, out);
}

// out[n] = the weighted band sum, weights in the unpacked lane order (as mix takes them).
void mixPacked(const float* lanes, const float* weights, int count, float* out) {
  Vec weight[3];
  bool active[3];
  for (int g = 0; g < 3; ++g) {
    std::memcpy(&weight[g], weights + (g + 1) * kWidth, sizeof(Vec));
    active[g] = false;
    for (int i = 0; i < kWidth; ++i) active[g] = active[g] || weight[g][i] != 0.0f;
  }
  using Fn = void (*)(const float*, const Vec*, int, float*);
  static constexpr Fn kTable[8] = {nullptr,
                                   mixPackedRows<true, false, false>,
                                   mixPackedRows<false, true, false>,
                                   mixPackedRows<true, true, false>,
                                   mixPackedRows<false, false, true>,
                                   mixPackedRows<true, false, true>,
                                   mixPackedRows<false, true, true>,
                                   mixPackedRows<true, true, true>};
  const int which = (active[0] ? 1 : 0) | (active[1] ? 2 : 0) | (active[2] ? 4 : 0);
  if (which == 0) {
    for (int n = 0; n < count; ++n) out[n] = 0.0f;
    return;
  }
  kTable[which](lanes, weight, count, out);
}
