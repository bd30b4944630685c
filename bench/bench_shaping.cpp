// SPDX-License-Identifier: GPL-3.0-or-later
// shapeSpectrum per Sound Mode 0 … 5 on a frame of real signal with typical follower settings:
// the path the engine runs (AVX-512 or AVX2 where the processor has it), the AVX2 path, the
// portable 4-lane path, the one-bin path, and the literal reference. Each iteration restores the
// carrier spectrum (the shaping writes over it); CarrierCopy times that copy alone.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/shaping_modes.h"
#include "engine/shaping_paths.h"
#include "tests/engine/shaping_reference.h"
#include "tests/engine/shaping_signals.h"

namespace {

constexpr int kSpectrumFloats = 2 * 1024;

std::unique_ptr<VocoderEngine> preparedEngine(int mode) {
  auto e = spectral_signals::makeEngine(mode);
  e->diffusion = 0.3f;
  e->decay = 0.55f;
  e->release = 0.45f;
  e->reverbAmt = 0.4f;
  for (int f = 0; f < 4; ++f) {
    spectral_signals::loadFrame(*e, f);
    shapeSpectrum(*e);
  }
  spectral_signals::loadFrame(*e, 4);
  return e;
}

template <void (*kShape)(VocoderEngine&)>
void runShape(benchmark::State& state) {
  auto e = preparedEngine(static_cast<int>(state.range(0)));
  float carrier[kSpectrumFloats];
  std::memcpy(carrier, e->carrierSpectrum, sizeof carrier);
  for (auto _ : state) {
    std::memcpy(e->carrierSpectrum, carrier, sizeof carrier);
    kShape(*e);
    benchmark::DoNotOptimize(e->carrierSpectrum);
    benchmark::ClobberMemory();
  }
}

void Shape(benchmark::State& state) {
  runShape<shapeSpectrum>(state);
}
void ShapeAvx2(benchmark::State& state) {
  runShape<shapeSpectrumAvx2Path>(state);
}
void ShapePortable(benchmark::State& state) {
  runShape<shapeSpectrumPortable>(state);
}
void ShapeScalar(benchmark::State& state) {
  runShape<shapeSpectrumScalar>(state);
}

spectral_reference::Tables gReferenceTables;
void referenceShape(VocoderEngine& e) {
  spectral_reference::shape(e, gReferenceTables);
}
void Reference(benchmark::State& state) {
  spectral_reference::init(gReferenceTables);
  runShape<referenceShape>(state);
}

void CarrierCopy(benchmark::State& state) {
  auto e = preparedEngine(0);
  float carrier[kSpectrumFloats];
  std::memcpy(carrier, e->carrierSpectrum, sizeof carrier);
  for (auto _ : state) {
    std::memcpy(e->carrierSpectrum, carrier, sizeof carrier);
    benchmark::DoNotOptimize(e->carrierSpectrum);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Shape)->DenseRange(0, 5)->ArgName("mode");
BENCHMARK(ShapeAvx2)->DenseRange(0, 5)->ArgName("mode");
BENCHMARK(ShapePortable)->DenseRange(0, 5)->ArgName("mode");
BENCHMARK(ShapeScalar)->DenseRange(0, 5)->ArgName("mode");
BENCHMARK(Reference)->DenseRange(0, 5)->ArgName("mode");
BENCHMARK(CarrierCopy);

}  // namespace

BENCHMARK_MAIN();
