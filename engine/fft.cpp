// SPDX-License-Identifier: GPL-3.0-or-later
// Complex FFT on interleaved floats.
//
// Sizes 2^6 … 2^11 take the vector path: with W complex lanes per register (4 for SSE2, 8 for
// AVX2+FMA, chosen once per process) the N-point transform is split as N = W × L. Rows of W
// consecutive complex values are W interleaved sub-sequences x[W·n1 + n2]; all W lanes run the
// same L-point decimation-in-frequency FFT in split (re, im) form with broadcast twiddles, and a
// final pass per tile of W rows multiplies by ω_N^(n2·k1), transposes and finishes with a W-point
// DFT, writing natural order back into the caller's buffer. Twiddles for these sizes are
// precomputed in double precision during static initialisation. Other sizes run an in-place
// radix-2 decimation-in-time transform whose twiddles come from the caller's cosine table.
// The inverse is the forward transform with real and imaginary parts exchanged on the way in and
// out, scaled by 1/N in the first pass.
#include "engine/fft.h"

#include <cmath>
#include <cstring>

// The vector helpers below are always inlined into their callers, so no vector type crosses a
// function-call boundary and GCC's note about the AVX argument-passing ABI does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#define VX_FFT_INLINE inline __attribute__((always_inline))

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int32_t kMinLog2Size = 3;
constexpr int32_t kMaxLog2Size = 19;  // fftTableInit rejects m >= 20

struct PowersOfTwo {
  int32_t value[21];
};
constexpr PowersOfTwo makePowersOfTwo() {
  PowersOfTwo p{};
  for (int i = 0; i <= 20; ++i) p.value[i] = int32_t{1} << i;
  return p;
}
// 2^0 … 2^20: N from m.
constexpr PowersOfTwo kPowersOfTwo = makePowersOfTwo();

struct BitReverseTable {
  uint8_t value[256];
};
constexpr BitReverseTable makeBitReverse8() {
  BitReverseTable t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t.value[i] = static_cast<uint8_t>(r);
  }
  return t;
}
// Bit reversal of each 8-bit value: 0, 128, 64, 192, 32, … 127, 255.
constexpr BitReverseTable kBitReverse8 = makeBitReverse8();

// Reverses the low `bits` bits of i, bits <= 24.
inline int32_t reverseBits(int32_t i, int32_t bits) {
  const uint32_t u = static_cast<uint32_t>(i);
  const uint32_t r = (uint32_t{kBitReverse8.value[u & 0xffu]} << 16) |
                     (uint32_t{kBitReverse8.value[(u >> 8) & 0xffu]} << 8) |
                     uint32_t{kBitReverse8.value[(u >> 16) & 0xffu]};
  return static_cast<int32_t>(r >> (24 - bits));
}

// ---------------------------------------------------------------------------------------------
// Radix-2 path for any size, twiddles read from the caller's table.

void transformRadix2(float* data, int32_t m, const float* table, bool inverse) {
  const int32_t n = kPowersOfTwo.value[m];
  const int32_t quarter = n >> 2;
  const int32_t half = n >> 1;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t j = reverseBits(i, m);
    if (j > i) {
      const float re = data[2 * i];
      const float im = data[2 * i + 1];
      data[2 * i] = data[2 * j];
      data[2 * i + 1] = data[2 * j + 1];
      data[2 * j] = re;
      data[2 * j + 1] = im;
    }
  }
  if (inverse) {
    const float scale = static_cast<float>(1.0 / n);
    for (int32_t i = 0; i < 2 * n; ++i) data[i] *= scale;
  }
  for (int32_t span = 1; span < n; span <<= 1) {
    // j = 0: the twiddle is exactly 1 (the mirrored table would give a sine of about 6e-17).
    for (int32_t i = 0; i < n; i += 2 * span) {
      float* a = data + 2 * i;
      float* b = data + 2 * (i + span);
      const float br = b[0];
      const float bi = b[1];
      b[0] = a[0] - br;
      b[1] = a[1] - bi;
      a[0] += br;
      a[1] += bi;
    }
    const int32_t step = half / span;  // twiddle index step: angle 2π·j·step/N
    for (int32_t j = 1; j < span; ++j) {
      const int32_t k = j * step;  // 0 … N/2 − 1
      float c;
      float s;
      if (k <= quarter) {
        c = table[k];
        s = table[quarter - k];
      } else {
        c = -table[half - k];
        s = table[k - quarter];
      }
      const float wr = c;
      const float wi = inverse ? s : -s;
      for (int32_t i = j; i < n; i += 2 * span) {
        float* a = data + 2 * i;
        float* b = data + 2 * (i + span);
        const float tr = b[0] * wr - b[1] * wi;
        const float ti = b[0] * wi + b[1] * wr;
        b[0] = a[0] - tr;
        b[1] = a[1] - ti;
        a[0] += tr;
        a[1] += ti;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Vector path.

constexpr int32_t kMinVectorLog2 = 6;
constexpr int32_t kMaxVectorLog2 = 11;
constexpr int32_t kMaxVectorSize = 1 << kMaxVectorLog2;
constexpr int kMaxStages = 8;

typedef float Vec4 __attribute__((vector_size(16)));
typedef float Vec8 __attribute__((vector_size(32)));
typedef int32_t Index4 __attribute__((vector_size(16)));
typedef int32_t Index8 __attribute__((vector_size(32)));

// Two-vector shuffle with constant lane indices, for either compiler's vector extension.
#if defined(__clang__)
#define VX_SHUFFLE(a, b, IndexType, ...) __builtin_shufflevector(a, b, __VA_ARGS__)
#else
#define VX_SHUFFLE(a, b, IndexType, ...) __builtin_shuffle(a, b, IndexType{__VA_ARGS__})
#endif

template <int W>
struct Lanes;
template <>
struct Lanes<4> {
  using V = Vec4;
};
template <>
struct Lanes<8> {
  using V = Vec8;
};

// Complex element held by lane l of a deinterleaved row. For 8 lanes the in-lane AVX shuffles
// leave the 128-bit halves interleaved: lanes 0 … 7 hold elements 0, 1, 4, 5, 2, 3, 6, 7. The
// same order is used for the bins of a tile, so interleaving restores natural order.
constexpr int laneElement(int w, int lane) {
  constexpr int kWideOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};
  return w == 8 ? kWideOrder[lane] : lane;
}

// Precomputed tables of one transform size for one lane count. Twiddle vectors hold the same
// value in every lane except the tile twiddles, which differ per lane.
struct VectorPlan {
  int32_t rows;                // L = N / W
  int32_t log2Rows;            // p
  const float* firstTwiddles;  // first stage: radix-2 (p odd, 2 vectors per r) or radix-4 (6)
  int32_t stageCount;          // radix-4 stages after the first with block size >= 16
  const float* stageTwiddles[kMaxStages];  // 6 vectors per r: ω^r, ω^2r, ω^3r as (re, im)
  const float* tileTwiddles;  // per tile, n2 = 1 … W−1: (re, im) vectors of ω_N^(n2·k1)
  const int32_t* tileRows;    // per tile, W float offsets into the scratch rows
};

struct PlanSet {
  bool ready;    // false until static initialisation has built the tables
  bool useWide;  // AVX2 and FMA are available and selected
  bool hasWide;  // AVX2 and FMA are available
  VectorPlan narrow[kMaxVectorLog2 + 1];
  VectorPlan wide[kMaxVectorLog2 + 1];
};

// Zero-initialised before any code runs; filled by PlanBuilder before main.
PlanSet gPlans;

constexpr int32_t planFloats(int32_t w, int32_t m) {
  const int32_t rows = (int32_t{1} << m) / w;
  int32_t log2Rows = 0;
  while ((int32_t{1} << log2Rows) < rows) ++log2Rows;
  int32_t floats = 0;
  int32_t block;
  if (log2Rows & 1) {
    floats += (rows / 2) * 2 * w;
    block = rows / 2;
  } else {
    floats += (rows / 4) * 6 * w;
    block = rows / 4;
  }
  for (; block >= 16; block /= 4) floats += (block / 4) * 6 * w;
  floats += (rows / w) * (w - 1) * 2 * w;
  return floats;
}

constexpr int32_t poolFloats() {
  int32_t total = 0;
  for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
    total += planFloats(4, m) + planFloats(8, m);
  }
  return total;
}

constexpr int32_t poolRows() {
  int32_t total = 0;
  for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
    total += 2 * (int32_t{1} << m) / 4;  // at most N/4 row entries per lane count
  }
  return total;
}

alignas(64) float gTwiddlePool[poolFloats()];
int32_t gRowPool[poolRows()];

// Builds all vector plans and picks the vector path before main, so that the render thread never
// initialises anything.
class PlanBuilder {
 public:
  PlanBuilder() {
    __builtin_cpu_init();
    gPlans.hasWide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    gPlans.useWide = gPlans.hasWide;
    for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
      build(gPlans.narrow[m], 4, m);
      build(gPlans.wide[m], 8, m);
    }
    gPlans.ready = mComplete;
  }

 private:
  float* takeFloats(int32_t count) {
    float* p = gTwiddlePool + mFloatsUsed;
    mFloatsUsed += count;
    return p;
  }

  // Stores count copies of v.
  static void fill(float* p, int32_t count, double v) {
    for (int32_t i = 0; i < count; ++i) p[i] = static_cast<float>(v);
  }

  // Stage twiddles for a block of `block` rows, radix `radix` (2 or 4): for each r the vectors
  // (cos, −sin) of 2π·q·r/block for q = 1 … radix−1.
  float* stageTwiddles(int32_t w, int32_t block, int32_t radix) {
    const int32_t count = block / radix;
    float* out = takeFloats(count * (radix - 1) * 2 * w);
    float* p = out;
    for (int32_t r = 0; r < count; ++r) {
      for (int32_t q = 1; q < radix; ++q) {
        const double angle = kTwoPi * static_cast<double>(q * r) / block;
        fill(p, w, std::cos(angle));
        fill(p + w, w, -std::sin(angle));
        p += 2 * w;
      }
    }
    return out;
  }

  // Fills one plan from the pools; leaves the plan set incomplete (radix-2 path for every size)
  // if the pools, sized by planFloats and poolRows, would not hold it.
  void build(VectorPlan& plan, int32_t w, int32_t m) {
    const int32_t n = int32_t{1} << m;
    if (mFloatsUsed + planFloats(w, m) > poolFloats() || mRowsUsed + n / w > poolRows()) {
      mComplete = false;
      return;
    }
    const int32_t floatsBefore = mFloatsUsed;
    const int32_t log2W = w == 8 ? 3 : 2;
    const int32_t rows = n / w;
    const int32_t log2Rows = m - log2W;
    plan.rows = rows;
    plan.log2Rows = log2Rows;
    int32_t block;
    if (log2Rows & 1) {
      plan.firstTwiddles = stageTwiddles(w, rows, 2);
      block = rows / 2;
    } else {
      plan.firstTwiddles = stageTwiddles(w, rows, 4);
      block = rows / 4;
    }
    plan.stageCount = 0;
    for (; block >= 16; block /= 4)
      plan.stageTwiddles[plan.stageCount++] = stageTwiddles(w, block, 4);

    const int32_t tiles = rows / w;
    float* tile = takeFloats(tiles * (w - 1) * 2 * w);
    plan.tileTwiddles = tile;
    int32_t* tileRows = gRowPool + mRowsUsed;
    mRowsUsed += rows;
    plan.tileRows = tileRows;
    for (int32_t t = 0; t < tiles; ++t) {
      for (int32_t n2 = 1; n2 < w; ++n2) {
        for (int32_t lane = 0; lane < w; ++lane) {
          const int32_t k1 = w * t + laneElement(w, lane);
          const int32_t e = (n2 * k1) % n;
          const double angle = kTwoPi * static_cast<double>(e) / n;
          tile[lane] = static_cast<float>(std::cos(angle));
          tile[w + lane] = static_cast<float>(-std::sin(angle));
        }
        tile += 2 * w;
      }
      for (int32_t lane = 0; lane < w; ++lane) {
        const int32_t k1 = w * t + laneElement(w, lane);
        tileRows[t * w + lane] = 2 * w * reverseBits(k1, log2Rows);
      }
    }
    if (mFloatsUsed - floatsBefore != planFloats(w, m)) mComplete = false;
  }

  int32_t mFloatsUsed = 0;
  int32_t mRowsUsed = 0;
  bool mComplete = true;
};

PlanBuilder gPlanBuilder;

template <class V>
struct Complex {
  V re;
  V im;
};

template <class V>
VX_FFT_INLINE V load(const float* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class V>
VX_FFT_INLINE void store(float* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

template <class V>
VX_FFT_INLINE Complex<V> add(const Complex<V>& a, const Complex<V>& b) {
  return {a.re + b.re, a.im + b.im};
}

template <class V>
VX_FFT_INLINE Complex<V> sub(const Complex<V>& a, const Complex<V>& b) {
  return {a.re - b.re, a.im - b.im};
}

// a × (wr + i·wi)
template <class V>
VX_FFT_INLINE Complex<V> mul(const Complex<V>& a, const V& wr, const V& wi) {
  return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}

// a × (−i)
template <class V>
VX_FFT_INLINE Complex<V> mulMinusI(const Complex<V>& a) {
  return {a.im, -a.re};
}

// Split row (re vector at p, im vector at p + W).
template <int W>
VX_FFT_INLINE Complex<typename Lanes<W>::V> loadSplit(const float* p) {
  using V = typename Lanes<W>::V;
  return {load<V>(p), load<V>(p + W)};
}

template <int W>
VX_FFT_INLINE void storeSplit(float* p, const Complex<typename Lanes<W>::V>& c) {
  store(p, c.re);
  store(p + W, c.im);
}

// W interleaved complex values → split form, lanes in laneElement order.
template <int W>
VX_FFT_INLINE Complex<typename Lanes<W>::V> loadInterleaved(const float* p) {
  using V = typename Lanes<W>::V;
  const V lo = load<V>(p);
  const V hi = load<V>(p + W);
  if constexpr (W == 4) {
    return {VX_SHUFFLE(lo, hi, Index4, 0, 2, 4, 6),
            VX_SHUFFLE(lo, hi, Index4, 1, 3, 5, 7)};
  } else {
    return {VX_SHUFFLE(lo, hi, Index8, 0, 2, 8, 10, 4, 6, 12, 14),
            VX_SHUFFLE(lo, hi, Index8, 1, 3, 9, 11, 5, 7, 13, 15)};
  }
}

// Split form with lanes in laneElement order → W interleaved complex values in natural order.
template <int W>
VX_FFT_INLINE void storeInterleaved(float* p, const typename Lanes<W>::V& re,
                                    const typename Lanes<W>::V& im) {
  if constexpr (W == 4) {
    store(p, VX_SHUFFLE(re, im, Index4, 0, 4, 1, 5));
    store(p + 4, VX_SHUFFLE(re, im, Index4, 2, 6, 3, 7));
  } else {
    store(p, VX_SHUFFLE(re, im, Index8, 0, 8, 1, 9, 4, 12, 5, 13));
    store(p + 8, VX_SHUFFLE(re, im, Index8, 2, 10, 3, 11, 6, 14, 7, 15));
  }
}

// 128-bit halves a (low) and b (high) joined into one 8-lane vector. The join is done by the load
// unit (vinsertf128 from memory) instead of the shuffle port. Only reached on the AVX path.
VX_FFT_INLINE Vec8 loadHalves(const float* a, const float* b) {
  Vec8 v;
#if defined(__clang__)
  std::memcpy(&v, a, 4 * sizeof(float));
  std::memcpy(reinterpret_cast<float*>(&v) + 4, b, 4 * sizeof(float));
#else
  asm("vmovups %1, %x0\n\tvinsertf128 $1, %2, %0, %0"
      : "=&x"(v)
      : "m"(*reinterpret_cast<const float(*)[4]>(a)), "m"(*reinterpret_cast<const float(*)[4]>(b)));
#endif
  return v;
}

// Loads the W vectors at rows[i] + offset and transposes them: afterwards v[l] holds lane l of
// every loaded vector, loaded vector i in lane i.
template <int W>
VX_FFT_INLINE void loadTransposed(const float* base, const int32_t* rows, int32_t offset,
                                  typename Lanes<W>::V* v) {
  using V = typename Lanes<W>::V;
  if constexpr (W == 4) {
    V r[4];
    for (int i = 0; i < 4; ++i) r[i] = load<V>(base + rows[i] + offset);
    const V t0 = VX_SHUFFLE(r[0], r[1], Index4, 0, 4, 1, 5);
    const V t1 = VX_SHUFFLE(r[0], r[1], Index4, 2, 6, 3, 7);
    const V t2 = VX_SHUFFLE(r[2], r[3], Index4, 0, 4, 1, 5);
    const V t3 = VX_SHUFFLE(r[2], r[3], Index4, 2, 6, 3, 7);
    v[0] = VX_SHUFFLE(t0, t2, Index4, 0, 1, 4, 5);
    v[1] = VX_SHUFFLE(t0, t2, Index4, 2, 3, 6, 7);
    v[2] = VX_SHUFFLE(t1, t3, Index4, 0, 1, 4, 5);
    v[3] = VX_SHUFFLE(t1, t3, Index4, 2, 3, 6, 7);
  } else {
    // r[i] = (lanes 0-3 of vector i | lanes 0-3 of vector i + 4), r[i + 4] the same for lanes
    // 4-7; a 4 × 4 transpose within each 128-bit half then completes the 8 × 8 transpose.
    V r[8];
    for (int i = 0; i < 4; ++i) {
      const float* a = base + rows[i] + offset;
      const float* b = base + rows[i + 4] + offset;
      r[i] = loadHalves(a, b);
      r[i + 4] = loadHalves(a + 4, b + 4);
    }
    for (int k = 0; k < 2; ++k) {
      const V* q = r + 4 * k;
      const V t0 = VX_SHUFFLE(q[0], q[1], Index8, 0, 8, 1, 9, 4, 12, 5, 13);
      const V t1 = VX_SHUFFLE(q[0], q[1], Index8, 2, 10, 3, 11, 6, 14, 7, 15);
      const V t2 = VX_SHUFFLE(q[2], q[3], Index8, 0, 8, 1, 9, 4, 12, 5, 13);
      const V t3 = VX_SHUFFLE(q[2], q[3], Index8, 2, 10, 3, 11, 6, 14, 7, 15);
      v[4 * k + 0] = VX_SHUFFLE(t0, t2, Index8, 0, 1, 8, 9, 4, 5, 12, 13);
      v[4 * k + 1] = VX_SHUFFLE(t0, t2, Index8, 2, 3, 10, 11, 6, 7, 14, 15);
      v[4 * k + 2] = VX_SHUFFLE(t1, t3, Index8, 0, 1, 8, 9, 4, 5, 12, 13);
      v[4 * k + 3] = VX_SHUFFLE(t1, t3, Index8, 2, 3, 10, 11, 6, 7, 14, 15);
    }
  }
}

// Radix-4 decimation-in-frequency butterfly on x[r + j·q], j = 0 … 3. Returns the outputs in the
// order they are stored (positions r, r + q, r + 2q, r + 3q): bins ≡ 0, 2, 1, 3 (mod 4), so that
// the whole transform ends in bit-reversed row order. Twiddles are applied by the caller.
template <class V>
VX_FFT_INLINE void butterfly4(Complex<V>& a, Complex<V>& b, Complex<V>& c, Complex<V>& d) {
  const Complex<V> t0 = add(a, c);
  const Complex<V> t1 = sub(a, c);
  const Complex<V> t2 = add(b, d);
  const Complex<V> t3 = mulMinusI(sub(b, d));
  a = add(t0, t2);
  b = sub(t0, t2);
  c = add(t1, t3);
  d = sub(t1, t3);
}

// Applies the three stage twiddles at tw (6 vectors) to the outputs of butterfly4.
template <int W>
VX_FFT_INLINE void twiddle4(Complex<typename Lanes<W>::V>& b, Complex<typename Lanes<W>::V>& c,
                            Complex<typename Lanes<W>::V>& d, const float* tw) {
  using V = typename Lanes<W>::V;
  c = mul(c, load<V>(tw), load<V>(tw + W));              // ω^r     (bins ≡ 1)
  b = mul(b, load<V>(tw + 2 * W), load<V>(tw + 3 * W));  // ω^2r    (bins ≡ 2)
  d = mul(d, load<V>(tw + 4 * W), load<V>(tw + 5 * W));  // ω^3r    (bins ≡ 3)
}

// W-point forward DFT across registers: out[k] = Σ in[n] ω_W^(n·k).
template <class V>
VX_FFT_INLINE void dft4(const Complex<V>* in, Complex<V>* out) {
  const Complex<V> t0 = add(in[0], in[2]);
  const Complex<V> t1 = sub(in[0], in[2]);
  const Complex<V> t2 = add(in[1], in[3]);
  const Complex<V> t3 = mulMinusI(sub(in[1], in[3]));
  out[0] = add(t0, t2);
  out[2] = sub(t0, t2);
  out[1] = add(t1, t3);
  out[3] = sub(t1, t3);
}

template <class V>
VX_FFT_INLINE void dft8(const Complex<V>* in, Complex<V>* out) {
  const Complex<V> even[4] = {in[0], in[2], in[4], in[6]};
  const Complex<V> odd[4] = {in[1], in[3], in[5], in[7]};
  Complex<V> e[4];
  Complex<V> o[4];
  dft4(even, e);
  dft4(odd, o);
  const V h = V{} + 0.70710677f;
  // ω_8 = (1 − i)/√2, ω_8^2 = −i, ω_8^3 = (−1 − i)/√2
  const Complex<V> o1 = {(o[1].re + o[1].im) * h, (o[1].im - o[1].re) * h};
  const Complex<V> o2 = mulMinusI(o[2]);
  const Complex<V> o3 = {(o[3].im - o[3].re) * h, -(o[3].re + o[3].im) * h};
  out[0] = add(e[0], o[0]);
  out[4] = sub(e[0], o[0]);
  out[1] = add(e[1], o1);
  out[5] = sub(e[1], o1);
  out[2] = add(e[2], o2);
  out[6] = sub(e[2], o2);
  out[3] = add(e[3], o3);
  out[7] = sub(e[3], o3);
}

// Row `row` of the caller's data in split form; for the inverse with re and im exchanged and
// scaled by 1/N.
template <int W, bool kInverse>
VX_FFT_INLINE Complex<typename Lanes<W>::V> loadRow(const float* data,
                                                    const typename Lanes<W>::V& scale,
                                                    int32_t row) {
  const Complex<typename Lanes<W>::V> c = loadInterleaved<W>(data + row * 2 * W);
  if constexpr (kInverse) {
    return {c.im * scale, c.re * scale};
  } else {
    return c;
  }
}

// Forward transform of `data` (exchanging re and im on load and store, and scaling by 1/N on
// load, when kInverse), using the stack for the split-form rows.
template <int W, bool kInverse>
VX_FFT_INLINE void transformVector(float* data, const VectorPlan& plan) {
  using V = typename Lanes<W>::V;
  using C = Complex<V>;
  constexpr int32_t kRowFloats = 2 * W;
  const int32_t rows = plan.rows;
  alignas(64) float scratch[2 * kMaxVectorSize];

  const V scale = V{} + static_cast<float>(1.0 / (rows * W));

  // First stage: interleaved data → split scratch rows.
  int32_t block;
  if (plan.log2Rows & 1) {
    const int32_t q = rows / 2;
    const float* tw = plan.firstTwiddles;
    for (int32_t r = 0; r < q; ++r, tw += 2 * W) {
      const C a = loadRow<W, kInverse>(data, scale, r);
      const C b = loadRow<W, kInverse>(data, scale, r + q);
      storeSplit<W>(scratch + r * kRowFloats, add(a, b));
      storeSplit<W>(scratch + (r + q) * kRowFloats, mul(sub(a, b), load<V>(tw), load<V>(tw + W)));
    }
    block = q;
  } else {
    const int32_t q = rows / 4;
    const float* tw = plan.firstTwiddles;
    for (int32_t r = 0; r < q; ++r, tw += 6 * W) {
      C a = loadRow<W, kInverse>(data, scale, r);
      C b = loadRow<W, kInverse>(data, scale, r + q);
      C c = loadRow<W, kInverse>(data, scale, r + 2 * q);
      C d = loadRow<W, kInverse>(data, scale, r + 3 * q);
      butterfly4(a, b, c, d);
      twiddle4<W>(b, c, d, tw);
      storeSplit<W>(scratch + r * kRowFloats, a);
      storeSplit<W>(scratch + (r + q) * kRowFloats, b);
      storeSplit<W>(scratch + (r + 2 * q) * kRowFloats, c);
      storeSplit<W>(scratch + (r + 3 * q) * kRowFloats, d);
    }
    block = q;
  }

  // Radix-4 stages with twiddles, in place on the scratch rows.
  for (int32_t s = 0; s < plan.stageCount; ++s, block /= 4) {
    const int32_t q = block / 4;
    for (int32_t base = 0; base < rows; base += block) {
      const float* tw = plan.stageTwiddles[s];
      float* p = scratch + base * kRowFloats;
      for (int32_t r = 0; r < q; ++r, tw += 6 * W, p += kRowFloats) {
        C a = loadSplit<W>(p);
        C b = loadSplit<W>(p + q * kRowFloats);
        C c = loadSplit<W>(p + 2 * q * kRowFloats);
        C d = loadSplit<W>(p + 3 * q * kRowFloats);
        butterfly4(a, b, c, d);
        twiddle4<W>(b, c, d, tw);
        storeSplit<W>(p, a);
        storeSplit<W>(p + q * kRowFloats, b);
        storeSplit<W>(p + 2 * q * kRowFloats, c);
        storeSplit<W>(p + 3 * q * kRowFloats, d);
      }
    }
  }

  // Last radix-4 stage (blocks of 4 rows) needs no twiddles.
  if (block == 4) {
    for (float* p = scratch; p < scratch + rows * kRowFloats; p += 4 * kRowFloats) {
      C a = loadSplit<W>(p);
      C b = loadSplit<W>(p + kRowFloats);
      C c = loadSplit<W>(p + 2 * kRowFloats);
      C d = loadSplit<W>(p + 3 * kRowFloats);
      butterfly4(a, b, c, d);
      storeSplit<W>(p, a);
      storeSplit<W>(p + kRowFloats, b);
      storeSplit<W>(p + 2 * kRowFloats, c);
      storeSplit<W>(p + 3 * kRowFloats, d);
    }
  }

  // Tiles: rows of bins k1 = W·t + laneElement(i), twiddle by ω_N^(n2·k1), W-point DFT over n2,
  // output bins k1 + L·k2 back into data.
  const int32_t tiles = rows / W;
  const float* tw = plan.tileTwiddles;
  const int32_t* tileRows = plan.tileRows;
  for (int32_t t = 0; t < tiles; ++t, tw += (W - 1) * 2 * W, tileRows += W) {
    V re[W];
    V im[W];
    loadTransposed<W>(scratch, tileRows, 0, re);
    loadTransposed<W>(scratch, tileRows, W, im);
    C in[W];
    in[0] = {re[0], im[0]};
#pragma GCC unroll 8
    for (int n2 = 1; n2 < W; ++n2) {
      const int l = laneElement(W, n2);  // register holding n2 (the lane order is an involution)
      const float* w = tw + (n2 - 1) * 2 * W;
      in[n2] = mul(C{re[l], im[l]}, load<V>(w), load<V>(w + W));
    }
    C out[W];
    if constexpr (W == 4) {
      dft4(in, out);
    } else {
      dft8(in, out);
    }
    float* dst = data + 2 * W * t;
#pragma GCC unroll 8
    for (int k2 = 0; k2 < W; ++k2) {
      if constexpr (kInverse) {
        storeInterleaved<W>(dst + 2 * rows * k2, out[k2].im, out[k2].re);
      } else {
        storeInterleaved<W>(dst + 2 * rows * k2, out[k2].re, out[k2].im);
      }
    }
  }
}

void forwardNarrow(float* data, const VectorPlan& plan) {
  transformVector<4, false>(data, plan);
}
void inverseNarrow(float* data, const VectorPlan& plan) {
  transformVector<4, true>(data, plan);
}

__attribute__((target("avx2,fma"))) void forwardWide(float* data, const VectorPlan& plan) {
  transformVector<8, false>(data, plan);
}
__attribute__((target("avx2,fma"))) void inverseWide(float* data, const VectorPlan& plan) {
  transformVector<8, true>(data, plan);
}

inline bool vectorPathFor(int32_t m) {
  return gPlans.ready && m >= kMinVectorLog2 && m <= kMaxVectorLog2;
}

}  // namespace

// Test hook: selects the portable SSE2 path (false) or the widest path the CPU supports (true);
// returns whether the wide path is now in use. Not for use while transforms run on other threads.
bool fftSelectWidestVectorPath(bool widest) {
  gPlans.useWide = widest && gPlans.hasWide;
  return gPlans.useWide;
}

int32_t fftTableInit(FftSetup& setup, int32_t n, float* table) {
  const int32_t m =
      n >= 1 ? static_cast<int32_t>(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5) : 0;
  setup.log2Size = m;
  if (m < kMinLog2Size || m > kMaxLog2Size) return 1;
  if (n != static_cast<int32_t>(kPowersOfTwo.value[m] + 0.5)) return 1;
  const int32_t quarter = n / 4;
  for (int32_t k = 0; k <= quarter; ++k) {
    table[k] = static_cast<float>(std::cos(static_cast<double>(k) * kTwoPi / n));
  }
  return 0;
}

void fftForward(float* data, int32_t m, const float* table) {
  if (vectorPathFor(m)) {
    if (gPlans.useWide) {
      forwardWide(data, gPlans.wide[m]);
    } else {
      forwardNarrow(data, gPlans.narrow[m]);
    }
    return;
  }
  transformRadix2(data, m, table, false);
}

void fftInverse(float* data, int32_t m, const float* table) {
  if (vectorPathFor(m)) {
    if (gPlans.useWide) {
      inverseWide(data, gPlans.wide[m]);
    } else {
      inverseNarrow(data, gPlans.narrow[m]);
    }
    return;
  }
  transformRadix2(data, m, table, true);
}
