// SPDX-License-Identifier: GPL-3.0-or-later
// The wavefront kernel for one vector width. Included by equaliser_lanes.cpp inside a namespace
// and a target region with EQ_LANE_WIDTH (doubles per vector) defined; floating-point
// contraction is off there, so each lane rounds as the portable loop does.

// NOLINTBEGIN: textual kernel, see above
using Vd = double __attribute__((vector_size(EQ_LANE_WIDTH * sizeof(double))));
using Vf = float __attribute__((vector_size(EQ_LANE_WIDTH * sizeof(float))));
using Vm = long long __attribute__((vector_size(EQ_LANE_WIDTH * sizeof(long long))));
using Vmf = int __attribute__((vector_size(EQ_LANE_WIDTH * sizeof(int))));

constexpr int kWidth = EQ_LANE_WIDTH;
constexpr int kVectors = (kEqUsedLanes + kWidth - 1) / kWidth;
// Band b's sections trail band 0 by kSkew·b samples; the output of band b − 1 for a sample is
// read kSkew steps after it was stored, which keeps the store off the recursive path.
constexpr int kSkew = 4;
constexpr int kRingRows = 8;  // power of two above kSkew
constexpr int kRowFloats = 32;
constexpr int kTrail = kSkew * (kEqBandCount - 1);
static_assert(kRingRows > kSkew && 2 + kVectors * kWidth <= kRowFloats);
static_assert(kTrail == kEqWavefrontTrail);

#if EQ_LANE_WIDTH == 8
inline Vd toDouble(Vf v) {
  return reinterpret_cast<Vd>(_mm512_cvtps_pd(reinterpret_cast<__m256>(v)));
}
inline Vf toFloat(Vd v) {
  return reinterpret_cast<Vf>(_mm512_cvtpd_ps(reinterpret_cast<__m512d>(v)));
}
#elif EQ_LANE_WIDTH == 4
inline Vd toDouble(Vf v) {
  return reinterpret_cast<Vd>(_mm256_cvtps_pd(reinterpret_cast<__m128>(v)));
}
inline Vf toFloat(Vd v) {
  return reinterpret_cast<Vf>(_mm256_cvtpd_ps(reinterpret_cast<__m256d>(v)));
}
#else
inline Vd toDouble(Vf v) {
  return __builtin_convertvector(v, Vd);
}
inline Vf toFloat(Vd v) {
  return __builtin_convertvector(v, Vf);
}
#endif

inline Vd loadD(const double* p) {
  Vd v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void storeD(double* p, Vd v) {
  __builtin_memcpy(p, &v, sizeof v);
}
inline Vf loadF(const float* p) {
  Vf v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void storeF(float* p, Vf v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// The running state of one vector of lanes: the peaking sections in double precision, the
// analysers in single precision beside them. The coefficients are read from EqLanes each step.
struct Vectors {
  Vd x1, x2, y1, y2;
  Vf ax1, ax2, aw1, aw2, sum;
};

// Row r of the ring: slots 0, 1 the input of band 0 (left, right) for sample r + kSkew, then
// from float 2 band b's outputs for its sample of step r at 2 + 2b.
template <bool kMasked>
inline void step(Vectors (&v)[kVectors], const EqLanes* c, float (*ring)[kRowFloats], int t,
                 int nFrames) {
  // The coefficients stay in memory as operands: the registers hold the state.
  __asm__("" : "+r"(c));
  const float* in = ring[(t - kSkew) & (kRingRows - 1)];
  float* out = ring[t & (kRingRows - 1)] + 2;
#pragma GCC unroll 8
  for (int k = 0; k < kVectors; ++k) {
    Vectors& s = v[k];
    const int o = k * kWidth;
    Vf xf;
    __builtin_memcpy(&xf, in + o, sizeof xf);
    const Vd x = toDouble(xf);
    const Vd y = (loadD(c->b0 + o) * x + loadD(c->b1 + o) * s.x1 + loadD(c->b2 + o) * s.x2 -
                  loadD(c->a2 + o) * s.y2) -
                 loadD(c->a1 + o) * s.y1;
    const Vf of = toFloat(y * loadD(c->gain + o));
    __builtin_memcpy(out + o, &of, sizeof of);
    const Vf aw = ((of - s.ax2) - loadF(c->aa2 + o) * s.aw2) - loadF(c->aa1 + o) * s.aw1;
    const Vf sum = s.sum + (aw < 0.0f ? -aw : aw);
    if constexpr (kMasked) {
      const Vd sample = static_cast<double>(t) - static_cast<double>(kSkew) * loadD(c->stage + o);
      const Vm active = (sample >= 0.0) & (sample < static_cast<double>(nFrames));
      const Vmf activeF = __builtin_convertvector(active, Vmf);
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
      s.ax2 = s.ax1;
      s.ax1 = of;
      s.aw2 = s.aw1;
      s.aw1 = aw;
      s.sum = sum;
    }
  }
}

inline void runLanes(EqLanes& lanes, float* left, float* right, int nFrames) {
  Vectors v[kVectors];
  for (int k = 0; k < kVectors; ++k) {
    const int o = k * kWidth;
    Vectors& s = v[k];
    s.x1 = loadD(lanes.x1 + o), s.x2 = loadD(lanes.x2 + o);
    s.y1 = loadD(lanes.y1 + o), s.y2 = loadD(lanes.y2 + o);
    s.ax1 = loadF(lanes.ax1 + o), s.ax2 = loadF(lanes.ax2 + o);
    s.aw1 = loadF(lanes.aw1 + o), s.aw2 = loadF(lanes.aw2 + o);
    s.sum = loadF(lanes.sum + o);
  }
  alignas(64) float ring[kRingRows][kRowFloats] = {};
  // Band 0's input for step t goes into its row kLead steps early, so that the vector load of
  // the row does not wait for a store it only partly overlaps.
  constexpr int kLead = 3;
  static_assert(kLead < kRingRows - kSkew);
  auto feed = [&](int t) {
    if (t < nFrames) {
      float* row = ring[(t - kSkew) & (kRingRows - 1)];
      row[0] = left[t];
      row[1] = right[t];
    }
  };
  for (int t = 0; t < kLead; ++t) feed(t);
  const int steps = nFrames + kTrail;
  for (int t = 0; t < steps; ++t) {
    feed(t + kLead);
    if (t >= kTrail && t < nFrames) {
      step<false>(v, &lanes, ring, t, nFrames);
    } else {
      step<true>(v, &lanes, ring, t, nFrames);
    }
    const int done = t - kTrail;
    if (done >= 0) {
      const float* last = ring[t & (kRingRows - 1)] + 2 + 2 * (kEqBandCount - 1);
      left[done] = last[0];
      right[done] = last[1];
    }
  }
  for (int k = 0; k < kVectors; ++k) {
    const int o = k * kWidth;
    const Vectors& s = v[k];
    storeD(lanes.x1 + o, s.x1), storeD(lanes.x2 + o, s.x2);
    storeD(lanes.y1 + o, s.y1), storeD(lanes.y2 + o, s.y2);
    storeF(lanes.ax1 + o, s.ax1), storeF(lanes.ax2 + o, s.ax2);
    storeF(lanes.aw1 + o, s.aw1), storeF(lanes.aw2 + o, s.aw2);
    storeF(lanes.sum + o, s.sum);
  }
}
// NOLINTEND
