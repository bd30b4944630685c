// SPDX-License-Identifier: GPL-3.0-or-later
// The synthesiser's per-sample cost with all 32 voices sounding, per renderer, and the cost of
// its first configuration (sample-set decoding and every table).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "engine/oscillators.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"

namespace {

SynthParams params(float wavesSamples, float sync, float ring) {
  SynthParams p{};
  p.rateRatio = 1.0f;
  p.synthTuning = 440.0f;
  p.wavesSamples = wavesSamples;
  p.oscAWaveform = 2.0f;
  p.oscBWaveform = 5.0f;
  p.oscSync = sync;
  p.oscRingMod = ring;
  p.oscBPitchSemi = 7.0f;
  p.filterCutoff = 0.7f;
  p.filterResonance = 0.3f;
  p.filterDistortion = 0.2f;
  return p;
}

std::unique_ptr<SynthState> fullSynth(const SynthParams& p) {
  auto s = std::make_unique<SynthState>();
  float held[kSynthVoiceCount];
  for (int k = 0; k < kSynthVoiceCount; ++k) held[k] = 40.0f + k;
  synthSetKeys(held, *s);
  synthConfigure(p, *s);
  synthSelectRenderer(*s);
  return s;
}

SynthParams paramsFor(OscRenderer r) {
  if (r == oscRenderSample) return params(1, 0, 0);
  if (r == oscRenderSync) return params(0, 1, 0);
  if (r == oscRenderSyncRing) return params(0, 1, 1);
  if (r == oscRenderRing) return params(0, 0, 1);
  return params(0, 0, 0);
}

// One output sample of 32 voices through one renderer (the voice sum alone).
void BM_VoiceSum32(benchmark::State& state, OscRenderer render) {
  auto s = fullSynth(paramsFor(render));
  for (auto _ : state) {
    float sum = 0.0f;
    for (int k = 0; k < kSynthVoiceCount; ++k)
      sum += render(static_cast<float>(s->ratioA[k]), static_cast<float>(s->ratioB[k]),
                    s->voices[k], *s);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK_CAPTURE(BM_VoiceSum32, plain, oscRenderPlain);
BENCHMARK_CAPTURE(BM_VoiceSum32, sync, oscRenderSync);
BENCHMARK_CAPTURE(BM_VoiceSum32, syncRing, oscRenderSyncRing);
BENCHMARK_CAPTURE(BM_VoiceSum32, ring, oscRenderRing);
BENCHMARK_CAPTURE(BM_VoiceSum32, sample, oscRenderSample);

// One carrier sample with 32 keys: voice sum, filter update and the five stages.
void BM_CarrierSample32(benchmark::State& state, OscRenderer render) {
  auto s = fullSynth(paramsFor(render));
  for (auto _ : state) benchmark::DoNotOptimize(synthCarrierSample(*s));
}
BENCHMARK_CAPTURE(BM_CarrierSample32, plain, oscRenderPlain);
BENCHMARK_CAPTURE(BM_CarrierSample32, sync, oscRenderSync);
BENCHMARK_CAPTURE(BM_CarrierSample32, syncRing, oscRenderSyncRing);
BENCHMARK_CAPTURE(BM_CarrierSample32, ring, oscRenderRing);
BENCHMARK_CAPTURE(BM_CarrierSample32, sample, oscRenderSample);

// The default sound's carrier: a four-note chord (48, 55, 60, 64), the cutoff open and settled,
// no resonance or distortion, in chunks of the second arg's samples (the engine renders a
// segment, up to 512 samples, at a time). Per sample. With first arg 1: the cutoff still
// gliding (it starts from 0) and resonance at 70 %.
void BM_RenderChord4(benchmark::State& state) {
  SynthParams p = params(0, 0, 0);
  p.oscAWaveform = 0.0f;
  p.oscBWaveform = 0.0f;
  p.oscBPitchSemi = 0.0f;
  p.filterCutoff = 1.0f;
  p.filterResonance = state.range(0) ? 0.7f : 0.0f;
  p.filterDistortion = 0.0f;
  auto s = std::make_unique<SynthState>();
  float held[kSynthVoiceCount] = {48, 55, 60, 64};
  synthSetKeys(held, *s);
  synthConfigure(p, *s);
  synthSelectRenderer(*s);
  if (state.range(0) == 0) s->cutoff = s->cutoffTarget;
  const int chunk = static_cast<int>(state.range(1));
  float out[kSynthBlockSize];
  for (auto _ : state) {
    if (state.range(0) != 0 && s->cutoff > 0.7f) s->cutoff = 0.0f;
    synthRenderCarrier(*s, out, chunk);
    benchmark::DoNotOptimize(out[chunk - 1]);
  }
  state.SetItemsProcessed(state.iterations() * chunk);
}
BENCHMARK(BM_RenderChord4)->Args({0, 32})->Args({1, 32})->Args({0, 512})->Args({1, 512});

// 32 voices rendered block-wise, 512 samples a call, per renderer.
void BM_RenderBlock32(benchmark::State& state, OscRenderer render) {
  auto s = fullSynth(paramsFor(render));
  float out[kSynthBlockSize];
  for (auto _ : state) {
    synthRenderCarrier(*s, out, kSynthBlockSize);
    benchmark::DoNotOptimize(out[kSynthBlockSize - 1]);
  }
  state.SetItemsProcessed(state.iterations() * kSynthBlockSize);
}
BENCHMARK_CAPTURE(BM_RenderBlock32, plain, oscRenderPlain);
BENCHMARK_CAPTURE(BM_RenderBlock32, ring, oscRenderRing);
BENCHMARK_CAPTURE(BM_RenderBlock32, sync, oscRenderSync);
BENCHMARK_CAPTURE(BM_RenderBlock32, sample, oscRenderSample);

// The first configuration of a zeroed state: decodes every sample set and fills all tables.
void BM_ConfigureFirst(benchmark::State& state) {
  auto s = std::make_unique<SynthState>();
  const SynthParams p = params(0, 0, 0);
  for (auto _ : state) {
    state.PauseTiming();
    std::memset(static_cast<void*>(s.get()), 0, sizeof(SynthState));
    state.ResumeTiming();
    synthConfigure(p, *s);
    benchmark::DoNotOptimize(s->waveTableA[1]);
  }
}
BENCHMARK(BM_ConfigureFirst)->Unit(benchmark::kMicrosecond);

// A later configuration where only scalars change (the every-1/16-s parameter refresh).
void BM_ConfigureScalarsOnly(benchmark::State& state) {
  SynthParams p = params(0, 0, 0);
  auto s = fullSynth(p);
  float tuning = 440.0f;
  for (auto _ : state) {
    p.synthTuning = tuning;
    tuning = tuning == 440.0f ? 441.0f : 440.0f;
    synthConfigure(p, *s);
    benchmark::DoNotOptimize(s->baseIncrement);
  }
}
BENCHMARK(BM_ConfigureScalarsOnly);

}  // namespace

BENCHMARK_MAIN();
