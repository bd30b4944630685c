// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-engine throughput on 512-frame blocks at 44.1 kHz. "realtime" is seconds of audio per
// second of CPU; "s_per_sample" the cost of one sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_frame_step.h"

namespace {

constexpr int kBlock = 512;
constexpr int kSignalLength = 44100;

struct Signals {
  std::vector<float> speech, carrier, silence, hiss;
  Signals()
      : speech(kSignalLength), carrier(kSignalLength), silence(kSignalLength, 0.0f),
        hiss(kSignalLength) {
    uint32_t seed = 1;
    for (int n = 0; n < kSignalLength; ++n) {
      double v = 0.0;
      for (int h = 1; h <= 20; ++h) v += std::sin(2.0 * M_PI * 130.0 * h * n / 44100.0) / h;
      seed = seed * 1664525u + 1013904223u;
      speech[n] = static_cast<float>(0.2 * v + 0.02 * (seed / 4294967296.0 - 0.5));
      hiss[n] = static_cast<float>(0.3 * (seed / 4294967296.0 - 0.5));
      carrier[n] = static_cast<float>(0.3 * std::fmod(n * 110.0 / 44100.0, 1.0) - 0.15);
    }
  }
};

const Signals& signals() {
  static const Signals s;
  return s;
}

EngineParams baseParams() {
  EngineParams p{};
  p.filterbankAmt = 0.5f;
  p.reverbAmt = 0.001f;
  p.roomSize = 0.65f;
  p.filterCutoff = 1.0f;
  p.synthTuning = 440.0f;
  p.sampleRate = 44100.0f;
  return p;
}

struct EngineHolder {
  std::unique_ptr<VocoderEngine> engine{new VocoderEngine()};
  ~EngineHolder() { engineRelease(*engine); }
};

// speechInput: the speech to run on (default the voiced one).
void runEngine(benchmark::State& state, const EngineParams& p, int voices, bool silenceAfter,
               const std::vector<float>* speechInput = nullptr) {
  EngineHolder holder;
  VocoderEngine& e = *holder.engine;
  engineSetup(p, e);
  for (int v = 0; v < voices; ++v) engineNoteOn(36 + v * 2, 100, e);
  const Signals& s = signals();
  std::vector<float> a(kBlock), b(kBlock);
  const std::vector<float>& speech =
      silenceAfter ? s.silence : speechInput ? *speechInput : s.speech;
  const std::vector<float>& carrier = silenceAfter ? s.silence : s.carrier;
  if (silenceAfter) {
    for (int pos = 0; pos + kBlock <= kSignalLength; pos += kBlock) {
      engineProcess(s.speech.data() + pos, s.carrier.data() + pos, a.data(), b.data(), kBlock, e);
    }
  }
  int pos = 0;
  for (auto _ : state) {
    engineProcess(speech.data() + pos, carrier.data() + pos, a.data(), b.data(), kBlock, e);
    benchmark::DoNotOptimize(a.data());
    pos += kBlock;
    if (pos + kBlock > kSignalLength) pos = 0;
  }
  state.counters["realtime"] =
      benchmark::Counter(kBlock / 44100.0 * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["s_per_sample"] = benchmark::Counter(
      kBlock * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SoundModeExternalCarrier(benchmark::State& state) {
  EngineParams p = baseParams();
  p.soundMode = static_cast<float>(state.range(0));
  runEngine(state, p, 0, false);
}
BENCHMARK(BM_SoundModeExternalCarrier)->DenseRange(0, 7);

void BM_Mode0Synth(benchmark::State& state) {
  EngineParams p = baseParams();
  p.synthOn = 1.0f;
  runEngine(state, p, static_cast<int>(state.range(0)), false);
}
BENCHMARK(BM_Mode0Synth)->Arg(1)->Arg(8)->Arg(32);

void BM_Mode0Synth8RoomOn(benchmark::State& state) {
  EngineParams p = baseParams();
  p.synthOn = 1.0f;
  p.roomAmount = 0.25f;
  runEngine(state, p, 8, false);
}
BENCHMARK(BM_Mode0Synth8RoomOn);

void BM_Mode0RoomOn(benchmark::State& state) {
  EngineParams p = baseParams();
  p.roomAmount = 0.25f;
  runEngine(state, p, 0, false);
}
BENCHMARK(BM_Mode0RoomOn);

void BM_Mode0FatOn(benchmark::State& state) {
  EngineParams p = baseParams();
  p.fatMode = 1.0f;
  runEngine(state, p, 0, false);
}
BENCHMARK(BM_Mode0FatOn);

// VC/UV on: every frame measures its voiced/unvoiced ratio, and the unvoiced ones (the noise
// in the speech signal here keeps some of them so) take the noise carrier.
void BM_Mode0VcUvOn(benchmark::State& state) {
  EngineParams p = baseParams();
  p.vcuvEnable = 1.0f;
  runEngine(state, p, 0, false);
}
BENCHMARK(BM_Mode0VcUvOn);

// VC/UV on with white noise for speech: every frame unvoiced, so every frame draws its noise
// carrier (1026 draws).
void BM_Mode0Unvoiced(benchmark::State& state) {
  EngineParams p = baseParams();
  p.vcuvEnable = 1.0f;
  runEngine(state, p, 0, false, &signals().hiss);
}
BENCHMARK(BM_Mode0Unvoiced);

// The ratio alone, on one frame's interleaved spectrum (512 bins).
void BM_VoicedUnvoicedRatio(benchmark::State& state) {
  std::vector<float> spectrum(2 * 1024);
  uint32_t seed = 7;
  for (float& v : spectrum) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>(seed / 4294967296.0 - 0.5);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(spectrum.data());
    benchmark::DoNotOptimize(voicedUnvoicedRatio(spectrum.data()));
  }
}
BENCHMARK(BM_VoicedUnvoicedRatio);

void BM_SilenceAfterSignal(benchmark::State& state) {
  EngineParams p = baseParams();
  p.soundMode = static_cast<float>(state.range(0));
  p.roomAmount = 0.25f;
  p.release = 0.9f;
  p.decay = 0.9f;
  runEngine(state, p, 0, true);
}
BENCHMARK(BM_SilenceAfterSignal)->Arg(0)->Arg(3)->Arg(7);

}  // namespace

BENCHMARK_MAIN();
