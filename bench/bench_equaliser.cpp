// SPDX-License-Identifier: GPL-3.0-or-later
// The output equaliser and band analyser: one stereo block through both chains of ten bands, and
// the periodic coefficient update. Needs component/equaliser.cpp (library tarnwick_equaliser).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "component/equaliser.h"
#include "component/equaliser_lanes.h"

namespace {

struct Bench {
  EqBandFilter left[kEqBandCount];
  EqBandFilter right[kEqBandCount];
  float levels[kEqBandCount] = {};
  float gains[kEqBandCount] = {3, -2, 1, 0, 4, -6, 2, 5, -1, 6};

  explicit Bench(float outGainDb = 2.0f, bool defaultGains = false) {
    if (defaultGains) std::fill(gains, gains + kEqBandCount, 0.0f);
    eqResetBank(left);
    eqResetBank(right);
    eqInitialiseBanks(left, right, 48000.0);
    updateEqualiser(left, right, gains, outGainDb, 48000.0);
  }
};

std::vector<float> noise(int count, uint32_t seed) {
  std::vector<float> s(count);
  for (float& v : s) {
    seed = seed * 1664525u + 1013904223u;
    v = (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f) * 0.5f;
  }
  return s;
}

// Each iteration copies a fresh input block (the filter works in place) and runs the chains.
void runBlocks(benchmark::State& state, float fill, EqKernel kernel = eqBestKernel(),
               float outGainDb = 2.0f, bool defaultGains = false, bool passOverFlat = true) {
  if (!eqKernelSupported(kernel)) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  const int frames = static_cast<int>(state.range(0));
  Bench eq(outGainDb, defaultGains);
  std::vector<float> inL = noise(frames, 1), inR = noise(frames, 2);
  if (fill != 0.0f) inL.assign(frames, fill), inR.assign(frames, fill);
  std::vector<float> l(frames), r(frames);
  for (auto _ : state) {
    std::memcpy(l.data(), inL.data(), frames * sizeof(float));
    std::memcpy(r.data(), inR.data(), frames * sizeof(float));
    runEqualiserWith(kernel, eq.left, eq.right, eq.levels, l.data(), r.data(), frames,
                     passOverFlat);
    benchmark::DoNotOptimize(l.data());
    benchmark::DoNotOptimize(eq.levels);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);  // stereo frames
}

void BM_RunEqualiserNoise(benchmark::State& state) {
  runBlocks(state, 0.0f);
}
BENCHMARK(BM_RunEqualiserNoise)->Arg(64)->Arg(512)->Arg(4096);

// Each kernel on its own (the default above is the fastest this machine supports).
void BM_RunEqualiserKernel(benchmark::State& state) {
  runBlocks(state, 0.0f, static_cast<EqKernel>(state.range(1)));
}
BENCHMARK(BM_RunEqualiserKernel)
    ->ArgNames({"frames", "kernel"})
    ->Args({512, static_cast<int>(EqKernel::kPortable)})
    ->Args({512, static_cast<int>(EqKernel::kAvx)})
    ->Args({512, static_cast<int>(EqKernel::kAvx512)})
    // Short blocks (a host splits its block at each event): where the wavefront starts to pay.
    ->Args({16, static_cast<int>(EqKernel::kPortable)})
    ->Args({16, static_cast<int>(EqKernel::kAvx)})
    ->Args({16, static_cast<int>(EqKernel::kAvx512)})
    ->Args({32, static_cast<int>(EqKernel::kPortable)})
    ->Args({32, static_cast<int>(EqKernel::kAvx)})
    ->Args({32, static_cast<int>(EqKernel::kAvx512)})
    ->Args({64, static_cast<int>(EqKernel::kPortable)})
    ->Args({64, static_cast<int>(EqKernel::kAvx512)});

// The overall gain at its default, 0 dB: every stage gain is 1.
void BM_RunEqualiserUnitGain(benchmark::State& state) {
  runBlocks(state, 0.0f, eqBestKernel(), 0.0f);
}
BENCHMARK(BM_RunEqualiserUnitGain)->Arg(512);

// Every gain at its default: the 250 Hz, 500 Hz and 1 kHz sections are flat and passed over
// (passOver 0: they run, for comparison).
void BM_RunEqualiserDefaults(benchmark::State& state) {
  runBlocks(state, 0.0f, static_cast<EqKernel>(state.range(1)), 0.0f, true, state.range(2) != 0);
}
BENCHMARK(BM_RunEqualiserDefaults)
    ->ArgNames({"frames", "kernel", "passOver"})
    ->Args({512, static_cast<int>(EqKernel::kPortable), 1})
    ->Args({512, static_cast<int>(EqKernel::kAvx), 1})
    ->Args({512, static_cast<int>(EqKernel::kAvx512), 1})
    ->Args({512, static_cast<int>(EqKernel::kAvx512), 0})
    ->Args({16, static_cast<int>(EqKernel::kPortable), 1})
    ->Args({32, static_cast<int>(EqKernel::kAvx512), 1})
    ->Args({64, static_cast<int>(EqKernel::kAvx512), 1});

// Subnormal input must not fall onto the slow path of the floating-point unit.
void BM_RunEqualiserSubnormalInput(benchmark::State& state) {
  runBlocks(state, 1e-40f);
}
BENCHMARK(BM_RunEqualiserSubnormalInput)->Arg(512);

void BM_UpdateEqualiser(benchmark::State& state) {
  Bench eq;
  for (auto _ : state) {
    updateEqualiser(eq.left, eq.right, eq.gains, 2.0f, 48000.0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UpdateEqualiser);

}  // namespace

BENCHMARK_MAIN();
