// SPDX-License-Identifier: GPL-3.0-or-later
// The wavefront kernel for one vector width. Included by equaliser_lanes.cpp inside a namespace
// and a target region with EQ_LANE_WIDTH (doubles per vector) defined; floating-point
// contraction is off there, so each lane rounds as the portable loop does.

// NOLINTBEGIN: textual kernel, see above
// Vectors of W lanes: doubles, floats, and the masks of comparisons on each.
template <int W>
struct LaneTypes;
template <>
struct LaneTypes<4> {
  using D = double __attribute__((vector_size(4 * sizeof(double))));
  using F = float __attribute__((vector_size(4 * sizeof(float))));
  using M = long long __attribute__((vector_size(4 * sizeof(long long))));
  using MF = int __attribute__((vector_size(4 * sizeof(int))));
};
template <>
struct LaneTypes<8> {
  using D = double __attribute__((vector_size(8 * sizeof(double))));
  using F = float __attribute__((vector_size(8 * sizeof(float))));
  using M = long long __attribute__((vector_size(8 * sizeof(long long))));
  using MF = int __attribute__((vector_size(8 * sizeof(int))));
};
template <int W>
using Vd = typename LaneTypes<W>::D;
template <int W>
using Vf = typename LaneTypes<W>::F;
template <int W>
using Vm = typename LaneTypes<W>::M;
template <int W>
using Vmf = typename LaneTypes<W>::MF;

// The twenty lanes as vectors of EQ_LANE_WIDTH doubles; with eight, the last vector holds only
// lanes 16 … 19 (four doubles), so no pad lane costs arithmetic.
constexpr int kWidth = EQ_LANE_WIDTH;
constexpr int kFullVectors = kEqUsedLanes / kWidth;
constexpr int kTailWidth = kEqUsedLanes % kWidth;
static_assert(kTailWidth == 0 || kTailWidth == 4);
// Band b's sections trail band 0 by kSkew·b samples; the output of band b − 1 for a sample is
// read kSkew steps after it was stored, which keeps the store off the recursive path.
constexpr int kSkew = 4;
constexpr int kRingRows = 8;  // power of two above kSkew
constexpr int kRowFloats = 32;
constexpr int kTrail = kSkew * (kEqBandCount - 1);
static_assert(kRingRows > kSkew && 2 + kEqUsedLanes <= kRowFloats);
static_assert(kTrail == kEqWavefrontTrail);

#if EQ_LANE_WIDTH == 8
inline Vd<8> toDouble(Vf<8> v) {
  return reinterpret_cast<Vd<8>>(_mm512_cvtps_pd(reinterpret_cast<__m256>(v)));
}
inline Vf<8> toFloat(Vd<8> v) {
  return reinterpret_cast<Vf<8>>(_mm512_cvtpd_ps(reinterpret_cast<__m512d>(v)));
}
#endif
#if EQ_LANE_WIDTH == 8 || EQ_LANE_WIDTH == 4
inline Vd<4> toDouble(Vf<4> v) {
  return reinterpret_cast<Vd<4>>(_mm256_cvtps_pd(reinterpret_cast<__m128>(v)));
}
inline Vf<4> toFloat(Vd<4> v) {
  return reinterpret_cast<Vf<4>>(_mm256_cvtpd_ps(reinterpret_cast<__m256d>(v)));
}
#endif

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

// The running state of W lanes from lane o: the peaking sections in double precision, the
// analysers in single precision beside them. The coefficients are read from EqLanes each step.
template <int W>
struct Vectors {
  Vd<W> x1, x2, y1, y2;
  Vf<W> ax1, ax2, aw1, aw2, sum;

  void load(const EqLanes& lanes, int o) {
    x1 = loadV<Vd<W>>(lanes.x1 + o), x2 = loadV<Vd<W>>(lanes.x2 + o);
    y1 = loadV<Vd<W>>(lanes.y1 + o), y2 = loadV<Vd<W>>(lanes.y2 + o);
    ax1 = loadV<Vf<W>>(lanes.ax1 + o), ax2 = loadV<Vf<W>>(lanes.ax2 + o);
    aw1 = loadV<Vf<W>>(lanes.aw1 + o), aw2 = loadV<Vf<W>>(lanes.aw2 + o);
    sum = loadV<Vf<W>>(lanes.sum + o);
  }
  void store(EqLanes& lanes, int o) const {
    storeV(lanes.x1 + o, x1), storeV(lanes.x2 + o, x2);
    storeV(lanes.y1 + o, y1), storeV(lanes.y2 + o, y2);
    storeV(lanes.ax1 + o, ax1), storeV(lanes.ax2 + o, ax2);
    storeV(lanes.aw1 + o, aw1), storeV(lanes.aw2 + o, aw2);
    storeV(lanes.sum + o, sum);
  }
};

// |v| by clearing the sign bit.
template <int W>
inline Vf<W> magnitude(Vf<W> v) {
  return reinterpret_cast<Vf<W>>(reinterpret_cast<Vmf<W>>(v) & 0x7fffffff);
}

// How a step treats a vector of lanes. kEdge: lanes outside the block keep their state.
// kInside: every lane is inside the block. kSteady: the same, with the analysers' input of two
// steps ago read from out2 (the ring row of step t − 2) instead of the state, which goes stale.
enum StepMode { kEdge, kInside, kSteady };

// One step of W lanes from lane o. in: the ring row read (band 0's input, then each band's
// output kSkew steps ago); out: where this step's outputs go, lane by lane.
// kUnitGain: every stage gain is 1 (the overall gain at 0 dB), so y · gain is y.
template <StepMode kMode, bool kUnitGain, int W>
__attribute__((always_inline)) inline void stepLanes(Vectors<W>& s, const EqLanes* c,
                                                     const float* in, float* out, const float* out2,
                                                     int o, int t, int nFrames) {
  using D = Vd<W>;
  using F = Vf<W>;
  const D x = toDouble(loadV<F>(in + o));
  const D y = (loadV<D>(c->b0 + o) * x + loadV<D>(c->b1 + o) * s.x1 + loadV<D>(c->b2 + o) * s.x2 -
               loadV<D>(c->a2 + o) * s.y2) -
              loadV<D>(c->a1 + o) * s.y1;
  const F of = toFloat(kUnitGain ? y : y * loadV<D>(c->gain + o));
  storeV(out + o, of);
  const F ax2 = kMode == kSteady ? loadV<F>(out2 + o) : s.ax2;
  const F aw = ((of - ax2) - loadV<F>(c->aa2 + o) * s.aw2) - loadV<F>(c->aa1 + o) * s.aw1;
  const F sum = s.sum + magnitude<W>(aw);
  if constexpr (kMode == kEdge) {
    const D sample = static_cast<double>(t) - static_cast<double>(kSkew) * loadV<D>(c->stage + o);
    const Vm<W> active = (sample >= 0.0) & (sample < static_cast<double>(nFrames));
    const Vmf<W> activeF = __builtin_convertvector(active, Vmf<W>);
    s.x2 = active ? s.x1 : s.x2;
    s.x1 = active ? x : s.x1;
    s.y2 = active ? s.y1 : s.y2;
    s.y1 = active ? y : s.y1;
    s.ax2 = activeF ? s.ax1 : s.ax2;
    s.ax1 = activeF ? of : s.ax1;
    s.aw2 = activeF ? s.aw1 : s.aw2;
    s.aw1 = activeF ? aw : s.aw1;
    s.sum = activeF ? sum : s.sum;
  } else {
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    if constexpr (kMode == kInside) {
      s.ax2 = s.ax1;
      s.ax1 = of;
    }
    s.aw2 = s.aw1;
    s.aw1 = aw;
    s.sum = sum;
  }
}

// A step near the block's edges: a vector whose lanes are all outside the block is left alone,
// one whose lanes are all inside runs unmasked.
template <bool kUnitGain, int W>
__attribute__((always_inline)) inline void stepEdgeLanes(Vectors<W>& s, const EqLanes* c,
                                                         const float* in, float* out,
                                                         const float* out2, int o, int t,
                                                         int nFrames) {
  const int firstStart = kSkew * (o / 2);           // step of the first band's sample 0
  const int lastStart = kSkew * ((o + W - 1) / 2);  // and of the last band's
  if (t < firstStart || t >= nFrames + lastStart) return;
  if (t >= lastStart && t < nFrames + firstStart) {
    stepLanes<kInside, kUnitGain>(s, c, in, out, out2, o, t, nFrames);
  } else {
    stepLanes<kEdge, kUnitGain>(s, c, in, out, out2, o, t, nFrames);
  }
}

struct State {
  Vectors<kWidth> full[kFullVectors];
#if EQ_LANE_WIDTH == 8
  Vectors<kTailWidth> tail;
#endif

  void load(const EqLanes& lanes) {
    for (int k = 0; k < kFullVectors; ++k) full[k].load(lanes, k * kWidth);
#if EQ_LANE_WIDTH == 8
    tail.load(lanes, kFullVectors * kWidth);
#endif
  }
  void store(EqLanes& lanes) const {
    for (int k = 0; k < kFullVectors; ++k) full[k].store(lanes, k * kWidth);
#if EQ_LANE_WIDTH == 8
    tail.store(lanes, kFullVectors * kWidth);
#endif
  }
  // The analysers' last two inputs to or from the ring rows where the outputs of the last two
  // steps lie.
  void putInputs(float* out1, float* out2) const {
    for (int k = 0; k < kFullVectors; ++k) {
      storeV(out1 + k * kWidth, full[k].ax1), storeV(out2 + k * kWidth, full[k].ax2);
    }
#if EQ_LANE_WIDTH == 8
    storeV(out1 + kFullVectors * kWidth, tail.ax1), storeV(out2 + kFullVectors * kWidth, tail.ax2);
#endif
  }
  void takeInputs(const float* out1, const float* out2) {
    for (int k = 0; k < kFullVectors; ++k) {
      full[k].ax1 = loadV<Vf<kWidth>>(out1 + k * kWidth);
      full[k].ax2 = loadV<Vf<kWidth>>(out2 + k * kWidth);
    }
#if EQ_LANE_WIDTH == 8
    tail.ax1 = loadV<Vf<kTailWidth>>(out1 + kFullVectors * kWidth);
    tail.ax2 = loadV<Vf<kTailWidth>>(out2 + kFullVectors * kWidth);
#endif
  }
};

// Row r of the ring: slots 0, 1 the input of band 0 (left, right) for sample r + kSkew, then
// from float 2 band b's outputs for its sample of step r at 2 + 2b.
// kEdge: a step before kTrail or from nFrames on; kSteady: a step in between.
template <StepMode kMode, bool kUnitGain>
__attribute__((always_inline)) inline void step(State& v, const EqLanes* c,
                                                float (*ring)[kRowFloats], int t, int nFrames) {
  // The coefficients stay in memory as operands: the registers hold the state.
  __asm__("" : "+r"(c));
  const float* in = ring[(t - kSkew) & (kRingRows - 1)];
  float* out = ring[t & (kRingRows - 1)] + 2;
  const float* out2 = ring[(t - 2) & (kRingRows - 1)] + 2;
  if constexpr (kMode == kSteady) {
#pragma GCC unroll 8
    for (int k = 0; k < kFullVectors; ++k)
      stepLanes<kSteady, kUnitGain>(v.full[k], c, in, out, out2, k * kWidth, t, nFrames);
#if EQ_LANE_WIDTH == 8
    stepLanes<kSteady, kUnitGain>(v.tail, c, in, out, out2, kFullVectors * kWidth, t, nFrames);
#endif
  } else {
#pragma GCC unroll 8
    for (int k = 0; k < kFullVectors; ++k)
      stepEdgeLanes<kUnitGain>(v.full[k], c, in, out, out2, k * kWidth, t, nFrames);
#if EQ_LANE_WIDTH == 8
    stepEdgeLanes<kUnitGain>(v.tail, c, in, out, out2, kFullVectors * kWidth, t, nFrames);
#endif
  }
}

template <bool kUnitGain>
inline void runLanesWith(EqLanes& lanes, const float* left, const float* right, float* leftOut,
                         float* rightOut, int nFrames) {
  State v;
  v.load(lanes);
  alignas(64) float ring[kRingRows][kRowFloats] = {};
  // Band 0's input for step t goes into its row kLead steps early, so that the vector load of
  // the row does not wait for a store it only partly overlaps. Sample t is read before output
  // t − kTrail is written, so the outputs may be the inputs.
  constexpr int kLead = 3;
  static_assert(kLead < kRingRows - kSkew);
  auto feed = [&](int t) {
    if (t < nFrames) {
      float* row = ring[(t - kSkew) & (kRingRows - 1)];
      row[0] = left[t];
      row[1] = right[t];
    }
  };
  auto deliver = [&](int t) {
    const int done = t - kTrail;
    if (done >= 0) {
      const float* last = ring[t & (kRingRows - 1)] + 2 + 2 * (kEqBandCount - 1);
      leftOut[done] = last[0];
      rightOut[done] = last[1];
    }
  };
  auto outputs = [&](int t) { return ring[t & (kRingRows - 1)] + 2; };
  for (int t = 0; t < kLead; ++t) feed(t);
  // Every band is inside the block from step kTrail to step nFrames − 1.
  const int steps = nFrames + kTrail;
  const int head = nFrames < kTrail ? nFrames : kTrail;
  int t = 0;
  for (; t < head; ++t) {
    feed(t + kLead);
    step<kEdge, kUnitGain>(v, &lanes, ring, t, nFrames);
    deliver(t);
  }
  if (t < nFrames) {
    // Lanes outside the block in the last two steps have no output there that anything reads.
    v.putInputs(outputs(t - 1), outputs(t - 2));
    for (; t < nFrames; ++t) {
      feed(t + kLead);
      step<kSteady, kUnitGain>(v, &lanes, ring, t, nFrames);
      deliver(t);
    }
    v.takeInputs(outputs(t - 1), outputs(t - 2));
  }
  for (; t < steps; ++t) {
    feed(t + kLead);
    step<kEdge, kUnitGain>(v, &lanes, ring, t, nFrames);
    deliver(t);
  }
  v.store(lanes);
}

inline void runLanes(EqLanes& lanes, const float* left, const float* right, float* leftOut,
                     float* rightOut, int nFrames) {
  bool unitGain = true;
  for (int l = 0; l < kEqUsedLanes; ++l) unitGain = unitGain && lanes.gain[l] == 1.0;
  if (unitGain) {
    runLanesWith<true>(lanes, left, right, leftOut, rightOut, nFrames);
  } else {
    runLanesWith<false>(lanes, left, right, leftOut, rightOut, nFrames);
  }
}
// NOLINTEND
