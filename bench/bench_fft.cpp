// SPDX-License-Identifier: GPL-3.0-or-later
// 1024-point complex forward + inverse pair: the engine's FFT on its AVX-512, AVX2 and portable
// vector paths, against a textbook iterative radix-2 FFT measured in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "engine/fft.h"

// Defined in engine/fft.cpp: selects kernel `path` (0: SSE2, 1: AVX2, 2: AVX-512VL) or the
// widest available below it; returns the kernel in use.
int fftSelectVectorPath(int path);

namespace {

constexpr int kLog2Size = 10;
constexpr int kSize = 1 << kLog2Size;

std::vector<float> randomSignal() {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(2 * kSize);
  for (float& x : v) x = dist(rng);
  return v;
}

// Textbook iterative radix-2 decimation-in-time FFT on interleaved floats, with a precomputed
// twiddle table, for comparison only.
class TextbookFft {
 public:
  TextbookFft() : mCos(kSize / 2), mSin(kSize / 2) {
    for (int k = 0; k < kSize / 2; ++k) {
      mCos[k] = static_cast<float>(std::cos(2.0 * M_PI * k / kSize));
      mSin[k] = static_cast<float>(std::sin(2.0 * M_PI * k / kSize));
    }
  }

  void transform(float* x, bool inverse) const {
    for (int i = 1, j = 0; i < kSize; ++i) {
      int bit = kSize >> 1;
      for (; j & bit; bit >>= 1) j ^= bit;
      j ^= bit;
      if (i < j) {
        std::swap(x[2 * i], x[2 * j]);
        std::swap(x[2 * i + 1], x[2 * j + 1]);
      }
    }
    for (int len = 2; len <= kSize; len <<= 1) {
      const int step = kSize / len;
      for (int i = 0; i < kSize; i += len) {
        for (int k = 0; k < len / 2; ++k) {
          const float wr = mCos[k * step];
          const float wi = inverse ? mSin[k * step] : -mSin[k * step];
          float* a = x + 2 * (i + k);
          float* b = x + 2 * (i + k + len / 2);
          const float tr = b[0] * wr - b[1] * wi;
          const float ti = b[0] * wi + b[1] * wr;
          b[0] = a[0] - tr;
          b[1] = a[1] - ti;
          a[0] += tr;
          a[1] += ti;
        }
      }
    }
    if (inverse) {
      for (int i = 0; i < 2 * kSize; ++i) x[i] *= 1.0f / kSize;
    }
  }

 private:
  std::vector<float> mCos;
  std::vector<float> mSin;
};

void runEngineFft(benchmark::State& state, int path) {
  if (fftSelectVectorPath(path) != path) {
    fftSelectVectorPath(2);
    state.SkipWithError("the CPU does not run this vector path");
    return;
  }
  FftSetup setup{};
  std::vector<float> table(kSize / 4 + 1);
  fftTableInit(setup, kSize, table.data());
  std::vector<float> data = randomSignal();
  for (auto _ : state) {
    fftForward(data.data(), kLog2Size, table.data());
    fftInverse(data.data(), kLog2Size, table.data());
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  fftSelectVectorPath(2);
}

void BM_Fft1024PairWidest(benchmark::State& state) {
  runEngineFft(state, 2);
}
void BM_Fft1024PairAvx2(benchmark::State& state) {
  runEngineFft(state, 1);
}
void BM_Fft1024PairPortable(benchmark::State& state) {
  runEngineFft(state, 0);
}

void BM_Fft1024PairTextbookRadix2(benchmark::State& state) {
  const TextbookFft fft;
  std::vector<float> data = randomSignal();
  for (auto _ : state) {
    fft.transform(data.data(), false);
    fft.transform(data.data(), true);
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Fft1024PairWidest);
BENCHMARK(BM_Fft1024PairAvx2);
BENCHMARK(BM_Fft1024PairPortable);
BENCHMARK(BM_Fft1024PairTextbookRadix2);

}  // namespace

BENCHMARK_MAIN();
