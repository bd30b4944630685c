// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fft_kernels.h"

#include <cstring>

// The vector helpers below are always inlined into their callers, so no vector type crosses a
// function-call boundary and GCC's note about the AVX argument-passing ABI does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#define VX_FFT_INLINE inline __attribute__((always_inline))

namespace fft_detail {
namespace {

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
  int32_t firstStage = 0;
  if ((plan.log2Rows & 1) && plan.stageCount > 0) {
    // The radix-2 first stage and the first radix-4 stage in one pass over the data: the same
    // operations on the same values as the two passes, with the 2 × 4 rows in registers.
    const int32_t half = rows / 2;
    const int32_t q = half / 4;
    const float* tw4 = plan.stageTwiddles[0];
    for (int32_t r = 0; r < q; ++r, tw4 += 6 * W) {
      C hi[4];
      C lo[4];
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j) {
        const int32_t row = r + j * q;
        const C a = loadRow<W, kInverse>(data, scale, row);
        const C b = loadRow<W, kInverse>(data, scale, row + half);
        const float* tw2 = plan.firstTwiddles + row * 2 * W;
        hi[j] = add(a, b);
        lo[j] = mul(sub(a, b), load<V>(tw2), load<V>(tw2 + W));
      }
      butterfly4(hi[0], hi[1], hi[2], hi[3]);
      twiddle4<W>(hi[1], hi[2], hi[3], tw4);
      butterfly4(lo[0], lo[1], lo[2], lo[3]);
      twiddle4<W>(lo[1], lo[2], lo[3], tw4);
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j) {
        storeSplit<W>(scratch + (r + j * q) * kRowFloats, hi[j]);
        storeSplit<W>(scratch + (half + r + j * q) * kRowFloats, lo[j]);
      }
    }
    block = q;
    firstStage = 1;
  } else if (plan.log2Rows & 1) {
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

  // Radix-4 stages with twiddles, in place on the scratch rows. The last of them (blocks of 16
  // rows) runs below together with the final stage.
  const int32_t fusedLast = plan.stageCount > firstStage ? 1 : 0;
  for (int32_t s = firstStage; s < plan.stageCount - fusedLast; ++s, block /= 4) {
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

  // The last radix-4 stage with twiddles (blocks of 16 rows) and the final one (blocks of 4
  // rows, no twiddles) in one pass, each block of 16 rows held in registers.
  if (fusedLast) {
    const float* twLast = plan.stageTwiddles[plan.stageCount - 1];
    for (float* p = scratch; p < scratch + rows * kRowFloats; p += 16 * kRowFloats) {
      C v[16];
#pragma GCC unroll 16
      for (int i = 0; i < 16; ++i) v[i] = loadSplit<W>(p + i * kRowFloats);
#pragma GCC unroll 4
      for (int r = 0; r < 4; ++r) {
        butterfly4(v[r], v[r + 4], v[r + 8], v[r + 12]);
        twiddle4<W>(v[r + 4], v[r + 8], v[r + 12], twLast + r * 6 * W);
      }
#pragma GCC unroll 4
      for (int i = 0; i < 4; ++i) butterfly4(v[4 * i], v[4 * i + 1], v[4 * i + 2], v[4 * i + 3]);
#pragma GCC unroll 16
      for (int i = 0; i < 16; ++i) storeSplit<W>(p + i * kRowFloats, v[i]);
    }
    block = 4;
  } else if (block == 4) {
    // Last radix-4 stage (blocks of 4 rows) needs no twiddles.
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

}  // namespace

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

// The same 8-lane kernel where AVX-512 is available: with 32 vector registers the fused passes
// keep all their rows in registers. Same instructions otherwise, same output bit for bit.
__attribute__((target("avx2,fma,avx512f,avx512vl"))) void forwardWide512(float* data,
                                                                        const VectorPlan& plan) {
  transformVector<8, false>(data, plan);
}
__attribute__((target("avx2,fma,avx512f,avx512vl"))) void inverseWide512(float* data,
                                                                        const VectorPlan& plan) {
  transformVector<8, true>(data, plan);
}

}  // namespace fft_detail
