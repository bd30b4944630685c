// SPDX-License-Identifier: GPL-3.0-or-later
// The wavefront kernel for one vector width. Included by equaliser_lanes.cpp inside a namespace
// and a target region with EQ_LANE_WIDTH (doubles per vector) defined; floating-point
// contraction is off there, so each lane rounds as the portable loop does.

// NOLINTBEGIN: textual kernel, see above
// Vectors of N lanes: doubles, floats, and the masks of comparisons on each.
template <int N>
struct DoubleTypes;
template <>
struct DoubleTypes<4> {
  using D = double __attribute__((vector_size(4 * sizeof(double))));
  using M = long long __attribute__((vector_size(4 * sizeof(long long))));
};
template <>
struct DoubleTypes<8> {
  using D = double __attribute__((vector_size(8 * sizeof(double))));
  using M = long long __attribute__((vector_size(8 * sizeof(long long))));
};
template <int N>
struct FloatTypes;
template <>
struct FloatTypes<4> {
  using F = float __attribute__((vector_size(4 * sizeof(float))));
  using MF = int __attribute__((vector_size(4 * sizeof(int))));
};
template <>
struct FloatTypes<8> {
  using F = float __attribute__((vector_size(8 * sizeof(float))));
  using MF = int __attribute__((vector_size(8 * sizeof(int))));
};
template <>
struct FloatTypes<16> {
  using F = float __attribute__((vector_size(16 * sizeof(float))));
  using MF = int __attribute__((vector_size(16 * sizeof(int))));
};
template <int N>
using Vd = typename DoubleTypes<N>::D;
template <int N>
using Vm = typename DoubleTypes<N>::M;
template <int N>
using Vf = typename FloatTypes<N>::F;
template <int N>
using Vmf = typename FloatTypes<N>::MF;

// The active sections as vectors of EQ_LANE_WIDTH doubles: kQuarters groups of four lanes (two
// bands), the last vector of eight possibly only four wide, so no pad quarter costs arithmetic.
constexpr int kWidth = EQ_LANE_WIDTH;
static_assert(kWidth == 4 || kWidth == 8);
constexpr int kMaxQuarters = (kEqUsedLanes + 3) / 4;
static_assert(4 * kMaxQuarters <= kEqLaneCount);
// Active band j's sections trail the first by kSkew·j samples; the output of band j − 1 for a
// sample is read kSkew steps after it was stored, which keeps the store off the recursive path.
// The analysers read the ring row of step t − kSkew too: the block's input for sample t, and
// active band j's output for sample t − kSkew·(j + 1).
constexpr int kSkew = kEqWavefrontSkew;
constexpr int kRingRows = 8;  // power of two above kSkew
constexpr int kRowFloats = 32;
static_assert(kRingRows > kSkew && 2 + kEqLaneCount <= kRowFloats);
static_assert(kSkew * kEqBandCount == kEqWavefrontTrail);

#if EQ_LANE_WIDTH == 8
inline Vd<8> toDouble(Vf<8> v) {
  return reinterpret_cast<Vd<8>>(_mm512_cvtps_pd(reinterpret_cast<__m256>(v)));
}
inline Vf<8> toFloat(Vd<8> v) {
  return reinterpret_cast<Vf<8>>(_mm512_cvtpd_ps(reinterpret_cast<__m512d>(v)));
}
#endif
inline Vd<4> toDouble(Vf<4> v) {
  return reinterpret_cast<Vd<4>>(_mm256_cvtps_pd(reinterpret_cast<__m128>(v)));
}
inline Vf<4> toFloat(Vd<4> v) {
  return reinterpret_cast<Vf<4>>(_mm256_cvtpd_ps(reinterpret_cast<__m256d>(v)));
}

template <class V, class T>
inline V loadV(const T* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
template <class V, class T>
inline void storeV(T* p, V v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// The running state of W section lanes from lane o, in double precision. The coefficients are
// read from EqLanes each step.
template <int W>
struct Sections {
  Vd<W> x1, x2, y1, y2;

  void load(const EqLanes& lanes, int o) {
    x1 = loadV<Vd<W>>(lanes.x1 + o), x2 = loadV<Vd<W>>(lanes.x2 + o);
    y1 = loadV<Vd<W>>(lanes.y1 + o), y2 = loadV<Vd<W>>(lanes.y2 + o);
  }
  void store(EqLanes& lanes, int o) const {
    storeV(lanes.x1 + o, x1), storeV(lanes.x2 + o, x2);
    storeV(lanes.y1 + o, y1), storeV(lanes.y2 + o, y2);
  }
};

// The running state of N analyser lanes from lane o, in single precision, and the first and last
// step at which one of them starts its block.
template <int N>
struct Analysers {
  Vf<N> ax1, ax2, aw1, aw2, sum;
  int firstStart, lastStart;

  void load(const EqLanes& lanes, int o) {
    ax1 = loadV<Vf<N>>(lanes.ax1 + o), ax2 = loadV<Vf<N>>(lanes.ax2 + o);
    aw1 = loadV<Vf<N>>(lanes.aw1 + o), aw2 = loadV<Vf<N>>(lanes.aw2 + o);
    sum = loadV<Vf<N>>(lanes.sum + o);
    firstStart = lastStart = lanes.skew[o];
    for (int l = o + 1; l < o + N; ++l) {
      firstStart = lanes.skew[l] < firstStart ? lanes.skew[l] : firstStart;
      lastStart = lanes.skew[l] > lastStart ? lanes.skew[l] : lastStart;
    }
  }
  void store(EqLanes& lanes, int o) const {
    storeV(lanes.ax1 + o, ax1), storeV(lanes.ax2 + o, ax2);
    storeV(lanes.aw1 + o, aw1), storeV(lanes.aw2 + o, aw2);
    storeV(lanes.sum + o, sum);
  }
};

// |v| by clearing the sign bit.
template <int N>
inline Vf<N> magnitude(Vf<N> v) {
  return reinterpret_cast<Vf<N>>(reinterpret_cast<Vmf<N>>(v) & 0x7fffffff);
}

// How a step keeps the two samples of a recursion's history. kRotate: the newer in slot 1, the
// older in slot 2, both moved on. In the steady part the steps go in pairs instead, so that no
// register moves: kFirstOfPair finds the history as kRotate does and writes the new sample over
// slot 2; kSecondOfPair then finds the newer in slot 2 and writes over slot 1, which leaves the
// history as kRotate does.
enum HistoryStep { kRotate, kFirstOfPair, kSecondOfPair };
template <HistoryStep kHistory>
using HistoryTag = std::integral_constant<HistoryStep, kHistory>;

// One step of W section lanes from lane o. in: the ring row of step t − kSkew (the first active
// band's input, then each active band's output); out: where this step's outputs go, lane by
// lane. kEdge: lanes outside the block keep their state. kUnitGain: every stage gain is 1 (the
// overall gain at 0 dB), so y · gain is y.
template <bool kEdge, bool kUnitGain, HistoryStep kHistory = kRotate, int W>
__attribute__((always_inline)) inline void stepSections(Sections<W>& s, const EqLanes* c,
                                                        const float* in, float* out, int o, int t,
                                                        int nFrames) {
  using D = Vd<W>;
  static_assert(!kEdge || kHistory == kRotate);
  constexpr bool kSwapped = kHistory == kSecondOfPair;
  D& x1 = kSwapped ? s.x2 : s.x1;
  D& x2 = kSwapped ? s.x1 : s.x2;
  D& y1 = kSwapped ? s.y2 : s.y1;
  D& y2 = kSwapped ? s.y1 : s.y2;
  const D x = toDouble(loadV<Vf<W>>(in + o));
  const D y = (loadV<D>(c->b0 + o) * x + loadV<D>(c->b1 + o) * x1 + loadV<D>(c->b2 + o) * x2 -
               loadV<D>(c->a2 + o) * y2) -
              loadV<D>(c->a1 + o) * y1;
  storeV(out + o, toFloat(kUnitGain ? y : y * loadV<D>(c->gain + o)));
  if constexpr (kEdge) {
    const D sample = static_cast<double>(t) - static_cast<double>(kSkew) * loadV<D>(c->stage + o);
    const Vm<W> active = (sample >= 0.0) & (sample < static_cast<double>(nFrames));
    s.x2 = active ? s.x1 : s.x2;
    s.x1 = active ? x : s.x1;
    s.y2 = active ? s.y1 : s.y2;
    s.y1 = active ? y : s.y1;
  } else if constexpr (kHistory == kRotate) {
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
  } else {
    x2 = x;
    y2 = y;
  }
}

// A step near the block's edges: a vector whose lanes are all outside the block is left alone,
// one whose lanes are all inside runs unmasked.
template <bool kUnitGain, int W>
__attribute__((always_inline)) inline void stepEdgeSections(Sections<W>& s, const EqLanes* c,
                                                            const float* in, float* out, int o,
                                                            int t, int nFrames) {
  const int firstStart = kSkew * (o / 2);           // step of the first band's sample 0
  const int lastStart = kSkew * ((o + W - 1) / 2);  // and of the last band's
  if (t < firstStart || t >= nFrames + lastStart) return;
  if (t >= lastStart && t < nFrames + firstStart) {
    stepSections<false, kUnitGain>(s, c, in, out, o, t, nFrames);
  } else {
    stepSections<true, kUnitGain>(s, c, in, out, o, t, nFrames);
  }
}

// How a step treats the analysers. kEdge: lanes outside the block keep their state. kInside:
// every lane is inside the block. kSteady: the same, with each lane's input of two steps ago
// read from the ring instead of the state, which goes stale (fewer registers: AVX).
enum StepMode { kEdge, kInside, kSteady };

// One step of N analyser lanes from lane o on their inputs x (and, kSteady, x2 of two steps ago).
template <StepMode kMode, HistoryStep kHistory, int N>
__attribute__((always_inline)) inline void stepAnalysers(Analysers<N>& a, const EqLanes* c, Vf<N> x,
                                                         Vf<N> x2, int o, int t, int nFrames) {
  using F = Vf<N>;
  static_assert(kMode != kEdge || kHistory == kRotate);
  constexpr bool kSwapped = kHistory == kSecondOfPair;
  F& ax2Slot = kSwapped ? a.ax1 : a.ax2;
  F& aw1 = kSwapped ? a.aw2 : a.aw1;
  F& aw2 = kSwapped ? a.aw1 : a.aw2;
  const F ax2 = kMode == kSteady ? x2 : ax2Slot;
  const F aw = ((x - ax2) - loadV<F>(c->aa2 + o) * aw2) - loadV<F>(c->aa1 + o) * aw1;
  const F sum = a.sum + magnitude<N>(aw);
  if constexpr (kMode == kEdge) {
    const Vmf<N> sample = t - loadV<Vmf<N>>(c->skew + o);
    const Vmf<N> active = (sample >= 0) & (sample < nFrames);
    a.ax2 = active ? a.ax1 : a.ax2;
    a.ax1 = active ? x : a.ax1;
    a.aw2 = active ? a.aw1 : a.aw2;
    a.aw1 = active ? aw : a.aw1;
    a.sum = active ? sum : a.sum;
  } else if constexpr (kHistory == kRotate) {
    if constexpr (kMode == kInside) {
      a.ax2 = a.ax1;
      a.ax1 = x;
    }
    a.aw2 = a.aw1;
    a.aw1 = aw;
    a.sum = sum;
  } else {
    if constexpr (kMode == kInside) ax2Slot = x;
    aw2 = aw;
    a.sum = sum;
  }
}

// stepAnalysers near the block's edges (kEdge): lanes all outside the block are left alone, lanes
// all inside run unmasked.
template <StepMode kMode, HistoryStep kHistory, int N>
__attribute__((always_inline)) inline void stepAnalyserGroup(Analysers<N>& a, const EqLanes* c,
                                                             Vf<N> x, Vf<N> x2, int o, int t,
                                                             int nFrames) {
  if constexpr (kMode == kEdge) {
    if (t < a.firstStart || t >= nFrames + a.lastStart) return;
    if (t >= a.lastStart && t < nFrames + a.firstStart) {
      stepAnalysers<kInside, kRotate>(a, c, x, x2, o, t, nFrames);
      return;
    }
  }
  stepAnalysers<kMode, kHistory>(a, c, x, x2, o, t, nFrames);
}

// The twenty analysers: with AVX-512 sixteen lanes and four, with AVX eight, eight and four. Each
// band's pair of inputs is the ring pair its source names, picked from the row read.
struct AllAnalysers {
#if EQ_LANE_WIDTH == 8
  Analysers<16> low;
  Analysers<4> high;
  // How a step gathers the inputs from a ring row, fixed for the block by the sources. low:
  // with eight or more active bands the first eight read pairs 1 … 8, side by side; with fewer,
  // every source lies among pairs 0 … 7, which one permute of one vector picks from. high (the
  // last two bands in lane order): one load where their pairs are neighbours, one broadcast
  // where they share a pair, else two loads.
  enum HighInputs { kNeighbours, kShared, kApart };
  bool lowSideBySide;
  HighInputs highInputs;
  int highFirst, highSecond;  // the two pairs' first floats in a row
#else
  Analysers<8> low, middle;
  Analysers<4> high;
#endif

  void load(const EqLanes& lanes) {
#if EQ_LANE_WIDTH == 8
    low.load(lanes, 0), high.load(lanes, 16);
    lowSideBySide = lanes.active >= 8;
    const long long first = lanes.source[8], second = lanes.source[9];
    highInputs = second == first + 1 ? kNeighbours : second == first ? kShared : kApart;
    highFirst = static_cast<int>(2 * first);
    highSecond = static_cast<int>(2 * second);
#else
    low.load(lanes, 0), middle.load(lanes, 8), high.load(lanes, 16);
#endif
  }
  void store(EqLanes& lanes) const {
#if EQ_LANE_WIDTH == 8
    low.store(lanes, 0), high.store(lanes, 16);
#else
    low.store(lanes, 0), middle.store(lanes, 8), high.store(lanes, 16);
#endif
  }

  // row: the ring row of step t − kSkew; row2 (kSteady) that of two steps before.
  template <StepMode kMode, HistoryStep kHistory, int kQuarters>
  __attribute__((always_inline)) void step(const EqLanes* c, const float* row, const float* row2,
                                           int t, int nFrames) {
#if EQ_LANE_WIDTH == 8
    static_assert(kMode != kSteady);
    (void)row2;
    // A pair of floats moves as one double.
    const Vf<16> lowInputs =
        lowSideBySide
            ? loadV<Vf<16>>(row + 2)
            : reinterpret_cast<Vf<16>>(
                  _mm512_permutexvar_pd(loadV<__m512i>(c->source), loadV<__m512d>(row)));
    Vf<4> highInputsNow;
    if (highInputs == kNeighbours) {
      highInputsNow = loadV<Vf<4>>(row + highFirst);
    } else if (highInputs == kShared) {
      highInputsNow = reinterpret_cast<Vf<4>>(_mm_set1_pd(loadV<double>(row + highFirst)));
    } else {
      highInputsNow = reinterpret_cast<Vf<4>>(
          _mm_setr_pd(loadV<double>(row + highFirst), loadV<double>(row + highSecond)));
    }
    stepAnalyserGroup<kMode, kHistory>(low, c, lowInputs, low.ax2, 0, t, nFrames);
    stepAnalyserGroup<kMode, kHistory>(high, c, highInputsNow, high.ax2, 16, t, nFrames);
#else
    constexpr bool kRing2 = kMode == kSteady;
    constexpr int Q = kQuarters;
    stepAnalyserGroup<kMode, kHistory>(low, c, pairs8<Q>(c, row, 0),
                                       kRing2 ? pairs8<Q>(c, row2, 0) : low.ax2, 0, t, nFrames);
    stepAnalyserGroup<kMode, kHistory>(middle, c, pairs8<Q>(c, row, 4),
                                       kRing2 ? pairs8<Q>(c, row2, 4) : middle.ax2, 8, t, nFrames);
    stepAnalyserGroup<kMode, kHistory>(high, c, pairs4<Q>(c, row, 8),
                                       kRing2 ? pairs4<Q>(c, row2, 8) : high.ax2, 16, t, nFrames);
#endif
  }

#if EQ_LANE_WIDTH == 4
  // After kSteady steps: the inputs of the last two steps (rows of steps t − 1 − kSkew and
  // t − 2 − kSkew) back into the state.
  template <int Q>
  void takeInputs(const EqLanes* c, const float* row1, const float* row2) {
    low.ax1 = pairs8<Q>(c, row1, 0), middle.ax1 = pairs8<Q>(c, row1, 4);
    high.ax1 = pairs4<Q>(c, row1, 8);
    low.ax2 = pairs8<Q>(c, row2, 0), middle.ax2 = pairs8<Q>(c, row2, 4);
    high.ax2 = pairs4<Q>(c, row2, 8);
  }
#endif

#if EQ_LANE_WIDTH == 4
  // The ring pairs of the j-th and (j + 1)-th bands (four floats), and of j … j + 3, for j even,
  // with kQuarters · 2 − 1 or kQuarters · 2 bands active. Active bands' pairs lie side by side
  // in the row (the j-th at 2 + 2j); where a band may be passed over its source is read.
  template <int kQuarters>
  static __attribute__((always_inline)) Vf<4> pairs4(const EqLanes* c, const float* row, int j) {
    if (j / 2 + 2 <= kQuarters) return loadV<Vf<4>>(row + 2 + 2 * j);
    const float* low = j / 2 + 1 == kQuarters ? row + 2 + 2 * j : row + 2 * c->source[j];
    return reinterpret_cast<Vf<4>>(
        _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(low)),
                     reinterpret_cast<const __m64*>(row + 2 * c->source[j + 1])));
  }
  template <int kQuarters>
  static __attribute__((always_inline)) Vf<8> pairs8(const EqLanes* c, const float* row, int j) {
    if (j / 2 + 3 <= kQuarters) return loadV<Vf<8>>(row + 2 + 2 * j);
    return reinterpret_cast<Vf<8>>(_mm256_insertf128_ps(
        _mm256_castps128_ps256(reinterpret_cast<__m128>(pairs4<kQuarters>(c, row, j))),
        reinterpret_cast<__m128>(pairs4<kQuarters>(c, row, j + 2)), 1));
  }
#endif
};

// The active sections of kQuarters four-lane groups and every analyser.
template <int kQuarters>
struct State {
  static constexpr int kFull = 4 * kQuarters / kWidth;
  static constexpr int kTail = 4 * kQuarters % kWidth;
  Sections<kWidth> full[kFull > 0 ? kFull : 1];
  Sections<4> tail;
  AllAnalysers analysers;

  void load(const EqLanes& lanes) {
    for (int k = 0; k < kFull; ++k) full[k].load(lanes, k * kWidth);
    if constexpr (kTail > 0) tail.load(lanes, kFull * kWidth);
    analysers.load(lanes);
  }
  void store(EqLanes& lanes) const {
    for (int k = 0; k < kFull; ++k) full[k].store(lanes, k * kWidth);
    if constexpr (kTail > 0) tail.store(lanes, kFull * kWidth);
    analysers.store(lanes);
  }
};

// Row r of the ring: slots 0, 1 the block's input (left, right) for sample r + kSkew, then from
// float 2 active band j's outputs for its sample of step r at 2 + 2j.
// kEdge: a step before every lane has started or from nFrames on.
template <StepMode kMode, bool kUnitGain, HistoryStep kHistory = kRotate, int kQuarters>
__attribute__((always_inline)) inline void step(State<kQuarters>& v, const EqLanes* c,
                                                float (*ring)[kRowFloats], int t, int nFrames) {
  using S = State<kQuarters>;
  constexpr bool kEdgeSections = kMode == kEdge;
  // The coefficients stay in memory as operands: the registers hold the state.
  __asm__("" : "+r"(c));
  const float* in = ring[(t - kSkew) & (kRingRows - 1)];
  float* out = ring[t & (kRingRows - 1)] + 2;
#pragma GCC unroll 8
  for (int k = 0; k < S::kFull; ++k) {
    if constexpr (kEdgeSections) {
      stepEdgeSections<kUnitGain>(v.full[k], c, in, out, k * kWidth, t, nFrames);
    } else {
      stepSections<false, kUnitGain, kHistory>(v.full[k], c, in, out, k * kWidth, t, nFrames);
    }
  }
  if constexpr (S::kTail > 0) {
    if constexpr (kEdgeSections) {
      stepEdgeSections<kUnitGain>(v.tail, c, in, out, S::kFull * kWidth, t, nFrames);
    } else {
      stepSections<false, kUnitGain, kHistory>(v.tail, c, in, out, S::kFull * kWidth, t,
                                               nFrames);
    }
  }
  v.analysers.template step<kMode, kHistory, kQuarters>(
      c, in, ring[(t - kSkew - 2) & (kRingRows - 1)], t, nFrames);
}

template <int kQuarters, bool kUnitGain>
void runLanesWith(EqLanes& lanes, const float* left, const float* right, float* leftOut,
                  float* rightOut, int nFrames) {
  State<kQuarters> v;
  v.load(lanes);
  alignas(64) float ring[kRingRows][kRowFloats] = {};
  // The block's input for step t goes into its row kLead steps early, so that the vector loads
  // of the row do not wait for a store they only partly overlap. Sample t is read before the
  // output of the last active band for it is written, so the outputs may be the inputs.
  constexpr int kLead = 3;
  static_assert(kLead < kRingRows - kSkew);
  auto feedRow = [&](int t) __attribute__((always_inline)) {  // t < nFrames
    float* row = ring[(t - kSkew) & (kRingRows - 1)];
    row[0] = left[t];
    row[1] = right[t];
  };
  auto feed = [&](int t) {
    if (t < nFrames) feedRow(t);
  };
  // The last active band's outputs; with none, equaliser.cpp copies the input through.
  const int last = lanes.active - 1;
  auto deliver = [&](int t) {
    const int done = t - kSkew * last;
    if (last >= 0 && done >= 0 && done < nFrames) {
      const float* output = ring[t & (kRingRows - 1)] + 2 + 2 * last;
      leftOut[done] = output[0];
      rightOut[done] = output[1];
    }
  };
  for (int t = 0; t < kLead; ++t) feed(t);
  // Every lane is inside the block from step trail to step nFrames − 1 (band 9's analysers
  // start last); there the last active band's output is always a sample of the block. kSteady
  // steps start two steps later, when the ring holds every analyser's input of two steps ago.
  constexpr StepMode kMiddle = kWidth == 4 ? kSteady : kInside;
  const int trail = kSkew * lanes.active;
  const int settled = trail + (kMiddle == kSteady ? 2 : 0);
  const int steps = nFrames + trail;
  const int head = nFrames < settled ? nFrames : settled;
  int t = 0;
  for (; t < head; ++t) {
    feed(t + kLead);
    step<kEdge, kUnitGain>(v, &lanes, ring, t, nFrames);
    deliver(t);
  }
  auto steady = [&](auto history, int t) __attribute__((always_inline)) {
    step<kMiddle, kUnitGain, decltype(history)::value>(v, &lanes, ring, t, nFrames);
    if constexpr (kQuarters > 0) {
      const float* output = ring[t & (kRingRows - 1)] + 2 + 2 * last;
      leftOut[t - kSkew * last] = output[0];
      rightOut[t - kSkew * last] = output[1];
    }
  };
  if (t < nFrames) {
    for (; t + 1 < nFrames - kLead; t += 2) {
      feedRow(t + kLead);
      steady(HistoryTag<kFirstOfPair>{}, t);
      feedRow(t + 1 + kLead);
      steady(HistoryTag<kSecondOfPair>{}, t + 1);
    }
    for (; t < nFrames - kLead; ++t) {
      feedRow(t + kLead);
      steady(HistoryTag<kRotate>{}, t);
    }
    for (; t < nFrames; ++t) steady(HistoryTag<kRotate>{}, t);
#if EQ_LANE_WIDTH == 4
    v.analysers.template takeInputs<kQuarters>(&lanes, ring[(t - 1 - kSkew) & (kRingRows - 1)],
                                               ring[(t - 2 - kSkew) & (kRingRows - 1)]);
#endif
  }
  for (; t < steps; ++t) {
    step<kEdge, kUnitGain>(v, &lanes, ring, t, nFrames);
    deliver(t);
  }
  v.store(lanes);
}

template <bool kUnitGain>
void runLanesGain(EqLanes& lanes, const float* left, const float* right, float* leftOut,
                  float* rightOut, int nFrames) {
  switch ((2 * lanes.active + 3) / 4) {
    case 0:
      return runLanesWith<0, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
    case 1:
      return runLanesWith<1, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
    case 2:
      return runLanesWith<2, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
    case 3:
      return runLanesWith<3, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
    case 4:
      return runLanesWith<4, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
    default:
      return runLanesWith<kMaxQuarters, kUnitGain>(lanes, left, right, leftOut, rightOut, nFrames);
  }
}

inline void runLanes(EqLanes& lanes, const float* left, const float* right, float* leftOut,
                     float* rightOut, int nFrames) {
  bool unitGain = true;
  for (int l = 0; l < 2 * lanes.active; ++l) unitGain = unitGain && lanes.gain[l] == 1.0;
  if (unitGain) {
    runLanesGain<true>(lanes, left, right, leftOut, rightOut, nFrames);
  } else {
    runLanesGain<false>(lanes, left, right, leftOut, rightOut, nFrames);
  }
}
// NOLINTEND
