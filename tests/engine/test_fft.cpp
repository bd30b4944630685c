// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "engine/fft.h"
#include "support/alloc_counter.h"

// Defined in engine/fft.cpp: selects kernel `path` (0: SSE2, 1: AVX2, 2: AVX-512VL) or the
// widest the CPU has below it; returns the kernel in use.
int fftSelectVectorPath(int path);

namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Transform {
  explicit Transform(int32_t log2Size) : m(log2Size), n(1 << log2Size), table(n / 4 + 1) {
    EXPECT_EQ(0, fftTableInit(setup, n, table.data()));
  }
  void forward(std::vector<float>& data) const { fftForward(data.data(), m, table.data()); }
  void inverse(std::vector<float>& data) const { fftInverse(data.data(), m, table.data()); }

  int32_t m;
  int32_t n;
  FftSetup setup{};
  std::vector<float> table;
};

std::vector<float> randomSignal(int32_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(2 * n);
  for (float& x : v) x = dist(rng);
  return v;
}

// Direct DFT in double precision; sign −1 forward, +1 inverse (unscaled).
std::vector<std::complex<double>> naiveDft(const std::vector<float>& x, int32_t n, int sign) {
  std::vector<std::complex<double>> twiddle(n);
  for (int32_t k = 0; k < n; ++k) twiddle[k] = std::polar(1.0, sign * kTwoPi * k / n);
  std::vector<std::complex<double>> out(n);
  for (int32_t k = 0; k < n; ++k) {
    std::complex<double> sum = 0;
    for (int32_t j = 0; j < n; ++j) {
      sum +=
          std::complex<double>(x[2 * j], x[2 * j + 1]) * twiddle[(static_cast<int64_t>(j) * k) % n];
    }
    out[k] = sum;
  }
  return out;
}

// Largest deviation from the reference relative to the reference's RMS magnitude.
double relativeError(const std::vector<float>& got, const std::vector<std::complex<double>>& want,
                     double scale) {
  double energy = 0;
  double worst = 0;
  for (size_t k = 0; k < want.size(); ++k) {
    const std::complex<double> w = want[k] * scale;
    energy += std::norm(w);
    worst = std::max(worst, std::abs(std::complex<double>(got[2 * k], got[2 * k + 1]) - w));
  }
  return worst / std::sqrt(energy / want.size());
}

constexpr int kWidestPath = 2;

// Runs every test body on each vector path the machine has (and the radix-2 sizes regardless).
class FftPaths : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (fftSelectVectorPath(GetParam()) != GetParam()) {
      fftSelectVectorPath(kWidestPath);
      GTEST_SKIP() << "the CPU does not run vector path " << GetParam();
    }
  }
  void TearDown() override { fftSelectVectorPath(kWidestPath); }
};

TEST(FftTableInit, AcceptsPowersOfTwoFrom8To2Pow19) {
  std::vector<float> table(300, -7.0f);
  FftSetup setup{};
  EXPECT_EQ(0, fftTableInit(setup, 1024, table.data()));
  EXPECT_EQ(10, setup.log2Size);
  EXPECT_EQ(1.0f, table[0]);
  EXPECT_EQ(static_cast<float>(std::cos(kTwoPi / 1024)), table[1]);
  EXPECT_EQ(static_cast<float>(std::cos(kTwoPi * 256 / 1024)), table[256]);
  EXPECT_GT(table[256], 0.0f);  // cos(π/2) rounded from double, not 0
  EXPECT_LT(table[256], 1e-16f);
  for (int k = 257; k < 300; ++k) EXPECT_EQ(-7.0f, table[k]) << "entry " << k << " written";

  std::vector<float> small(3, -7.0f);
  EXPECT_EQ(0, fftTableInit(setup, 8, small.data()));
  EXPECT_EQ(3, setup.log2Size);
  EXPECT_EQ(1.0f, small[0]);
  EXPECT_FLOAT_EQ(static_cast<float>(std::sqrt(0.5)), small[1]);

  std::vector<float> big((1 << 19) / 4 + 1);
  EXPECT_EQ(0, fftTableInit(setup, 1 << 19, big.data()));
  EXPECT_EQ(19, setup.log2Size);
}

TEST(FftTableInit, RejectsOtherSizesButStoresM) {
  std::vector<float> table(300, -7.0f);
  FftSetup setup{};
  EXPECT_EQ(1, fftTableInit(setup, 1000, table.data()));
  EXPECT_EQ(10, setup.log2Size);
  EXPECT_EQ(1, fftTableInit(setup, 4, table.data()));
  EXPECT_EQ(2, setup.log2Size);
  EXPECT_EQ(1, fftTableInit(setup, 1 << 20, table.data()));
  EXPECT_EQ(20, setup.log2Size);
  EXPECT_EQ(1, fftTableInit(setup, 0, table.data()));
  EXPECT_EQ(1, fftTableInit(setup, -1024, table.data()));
  for (float v : table) EXPECT_EQ(-7.0f, v);
}

TEST_P(FftPaths, ImpulseAndConstantAreExactPairs) {
  for (int32_t m = 3; m <= 12; ++m) {
    SCOPED_TRACE(m);
    const Transform fft(m);
    std::vector<float> x(2 * fft.n, 0.0f);
    x[0] = 1.0f;
    fft.forward(x);
    for (int32_t k = 0; k < fft.n; ++k) {
      ASSERT_EQ(1.0f, x[2 * k]) << "bin " << k;
      ASSERT_EQ(0.0f, x[2 * k + 1]) << "bin " << k;
    }
    fft.inverse(x);  // all ones → impulse of 1.0, not N
    EXPECT_EQ(1.0f, x[0]);
    EXPECT_EQ(0.0f, x[1]);
    for (int32_t i = 1; i < fft.n; ++i) {
      ASSERT_NEAR(0.0f, x[2 * i], 1e-6f) << "sample " << i;
      ASSERT_NEAR(0.0f, x[2 * i + 1], 1e-6f) << "sample " << i;
    }
  }
}

TEST_P(FftPaths, PositiveRotationLandsInBinOne) {
  for (int32_t m = 3; m <= 12; ++m) {
    SCOPED_TRACE(m);
    const Transform fft(m);
    std::vector<float> x(2 * fft.n);
    for (int32_t i = 0; i < fft.n; ++i) {
      x[2 * i] = static_cast<float>(std::cos(kTwoPi * i / fft.n));
      x[2 * i + 1] = static_cast<float>(std::sin(kTwoPi * i / fft.n));
    }
    fft.forward(x);
    const float tolerance = 2e-6f * fft.n;
    EXPECT_NEAR(static_cast<float>(fft.n), x[2], tolerance);
    EXPECT_NEAR(0.0f, x[3], tolerance);
    for (int32_t k = 0; k < fft.n; ++k) {
      if (k == 1) continue;
      ASSERT_NEAR(0.0f, x[2 * k], tolerance) << "bin " << k;
      ASSERT_NEAR(0.0f, x[2 * k + 1], tolerance) << "bin " << k;
    }
  }
}

TEST_P(FftPaths, MatchesDirectDftForRandomData) {
  for (int32_t m = 3; m <= 12; ++m) {
    SCOPED_TRACE(m);
    const Transform fft(m);
    const std::vector<float> x = randomSignal(fft.n, 100 + m);

    std::vector<float> spectrum = x;
    fft.forward(spectrum);
    EXPECT_LT(relativeError(spectrum, naiveDft(x, fft.n, -1), 1.0), 2e-6 * m);

    std::vector<float> signal = x;
    fft.inverse(signal);
    EXPECT_LT(relativeError(signal, naiveDft(x, fft.n, +1), 1.0 / fft.n), 2e-6 * m);
  }
}

TEST_P(FftPaths, RoundTripReturnsInput) {
  for (int32_t m = 3; m <= 19; ++m) {
    SCOPED_TRACE(m);
    const Transform fft(m);
    const std::vector<float> x = randomSignal(fft.n, m);
    std::vector<float> y = x;
    fft.forward(y);
    fft.inverse(y);
    double worst = 0;
    for (size_t i = 0; i < x.size(); ++i) worst = std::max(worst, std::fabs(double{y[i]} - x[i]));
    EXPECT_LT(worst, 1e-6 * m);
  }
}

TEST_P(FftPaths, TransformIsLinearInPlaceAndLeavesNeighboursAlone) {
  // A buffer offset by one float (not vector-aligned) with guards on both sides.
  const Transform fft(10);
  const std::vector<float> a = randomSignal(fft.n, 1);
  const std::vector<float> b = randomSignal(fft.n, 2);
  std::vector<float> buffer(2 * fft.n + 3, 99.0f);
  float* data = buffer.data() + 1;
  for (int32_t i = 0; i < 2 * fft.n; ++i) data[i] = 2.0f * a[i] - b[i];
  fftForward(data, fft.m, fft.table.data());
  std::vector<float> fa = a;
  std::vector<float> fb = b;
  fft.forward(fa);
  fft.forward(fb);
  for (int32_t i = 0; i < 2 * fft.n; ++i) ASSERT_NEAR(2.0f * fa[i] - fb[i], data[i], 1e-4f);
  EXPECT_EQ(99.0f, buffer[0]);
  EXPECT_EQ(99.0f, buffer[2 * fft.n + 1]);
  EXPECT_EQ(99.0f, buffer[2 * fft.n + 2]);
}

TEST_P(FftPaths, TransformsDoNotAllocate) {
  for (int32_t m : {3, 6, 10, 11, 12}) {
    const Transform fft(m);
    std::vector<float> x = randomSignal(fft.n, 3);
    alloc_counter::Scope scope;
    fft.forward(x);
    fft.inverse(x);
    EXPECT_EQ(0, scope.allocations()) << "m = " << m;
  }
}

// The AVX-512 build of the 8-lane kernel only has more registers: it must give the AVX2 build's
// output bit for bit, for every vector size and both directions.
TEST(FftWidePaths, Avx512BuildMatchesAvx2BuildBitForBit) {
  if (fftSelectVectorPath(2) != 2) {
    fftSelectVectorPath(kWidestPath);
    GTEST_SKIP() << "the CPU has no AVX-512VL";
  }
  for (int32_t m = 6; m <= 11; ++m) {
    SCOPED_TRACE(m);
    const Transform fft(m);
    const std::vector<float> x = randomSignal(fft.n, 200 + m);
    std::vector<float> out[2][2];
    for (int path = 1; path <= 2; ++path) {
      ASSERT_EQ(path, fftSelectVectorPath(path));
      out[path - 1][0] = x;
      fft.forward(out[path - 1][0]);
      out[path - 1][1] = x;
      fft.inverse(out[path - 1][1]);
    }
    for (int direction = 0; direction < 2; ++direction) {
      ASSERT_EQ(0, std::memcmp(out[0][direction].data(), out[1][direction].data(),
                               x.size() * sizeof(float)))
          << (direction == 0 ? "forward" : "inverse");
    }
  }
  fftSelectVectorPath(kWidestPath);
}

INSTANTIATE_TEST_SUITE_P(VectorPath, FftPaths, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == 0   ? "Portable"
                                              : info.param == 1 ? "Avx2"
                                                                : "Avx512");
                         });

}  // namespace
