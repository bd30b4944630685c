// SPDX-License-Identifier: GPL-3.0-or-later
// Sound Modes 6 and 7: one band-vocoder call on a 1024-sample frame, as the kernel makes once
// per 512-sample hop. The "x_realtime" counter is the hop's duration at 44100 Hz (11.61 ms)
// over the time of one call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/filter_bank.h"
#include "engine/filter_bank_internal.h"
#include "engine/vocoder_engine.h"
#include "tests/engine/filter_bank_reference.h"

namespace {

using filter_bank_detail::BandFilter;
using filter_bank_detail::Isa;

constexpr int kN = 1024;
constexpr double kHopSeconds = 512.0 / 44100.0;

struct Frame {
  std::vector<float> speech, carrier;
  Frame() : speech(kN), carrier(kN) {
    for (int i = 0; i < kN; ++i) {
      const float u = (i - 512) * 0.001953125f;
      const float welch = 1.0f - u * u;
      speech[i] = welch * static_cast<float>(0.5 * std::sin(i * 0.02) + 0.2 * std::sin(i * 0.31));
      carrier[i] = welch * static_cast<float>(std::fmod(i * 110.0 / 44100.0, 1.0) * 2.0 - 1.0);
    }
  }
};

std::unique_ptr<VocoderEngine> makeEngine() {
  auto e = std::make_unique<VocoderEngine>();
  e->hfPassthrough = 1;
  e->release = 0.5f;
  e->reverbAmt = 0.3f;
  e->diffusion = 0.5f;
  e->decay = 0.5f;
  return e;
}

void setRealtime(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(kHopSeconds * state.iterations(), benchmark::Counter::kIsRate);
}

template <typename Call>
void runFrames(benchmark::State& state, Call call) {
  const Frame frame;
  auto engine = makeEngine();
  std::vector<float> speech(kN);
  for (auto _ : state) {
    std::copy(frame.speech.begin(), frame.speech.end(), speech.begin());
    call(speech.data(), frame.carrier.data(), *engine);
    benchmark::DoNotOptimize(speech.data());
    benchmark::ClobberMemory();
  }
  setRealtime(state);
}

void BM_FilterbankVocode(benchmark::State& state) {
  runFrames(state, [](float* s, const float* c, VocoderEngine& e) {
    filterbankVocode(s, c, kN, 44100.0f, e);
  });
}

void BM_FilterbankVocodeZeroPhase(benchmark::State& state) {
  runFrames(state, [](float* s, const float* c, VocoderEngine& e) {
    filterbankVocodeZeroPhase(s, c, kN, 44100.0f, e);
  });
}

// Each instruction set on its own; arg 0 cascade (Mode 7), 1 zero phase (Mode 6).
template <Isa kIsa>
void BM_Lanes(benchmark::State& state) {
  if (!filter_bank_detail::isaSupported(kIsa)) {
    state.SkipWithError("instruction set not supported here");
    return;
  }
  const BandFilter filter = state.range(0) == 0 ? BandFilter::kCascade : BandFilter::kZeroPhase;
  runFrames(state, [filter](float* s, const float* c, VocoderEngine& e) {
    filter_bank_detail::vocodeBands(filter, kIsa, s, c, kN, 44100.0f, e);
  });
}

void BM_ScalarReference(benchmark::State& state) {
  const auto mode = state.range(0) == 0 ? filter_bank_reference::Mode::kCascade
                                        : filter_bank_reference::Mode::kZeroPhase;
  runFrames(state, [mode](float* s, const float* c, VocoderEngine& e) {
    filter_bank_reference::vocode(mode, s, c, kN, 44100.0f, e);
  });
}

// Subnormal input (a hostile or vanishing signal): must not fall off a performance cliff.
void BM_SubnormalInput(benchmark::State& state) {
  auto engine = makeEngine();
  std::vector<float> speech(kN), carrier(kN, 1e-39f);
  for (auto _ : state) {
    std::fill(speech.begin(), speech.end(), 1e-39f);
    filterbankVocode(speech.data(), carrier.data(), kN, 44100.0f, *engine);
    benchmark::DoNotOptimize(speech.data());
    benchmark::ClobberMemory();
  }
  setRealtime(state);
}

}  // namespace

BENCHMARK(BM_FilterbankVocode);
BENCHMARK(BM_FilterbankVocodeZeroPhase);
BENCHMARK(BM_Lanes<Isa::kPortable>)->Arg(0)->Arg(1);
BENCHMARK(BM_Lanes<Isa::kAvx>)->Arg(0)->Arg(1);
BENCHMARK(BM_Lanes<Isa::kAvx512>)->Arg(0)->Arg(1);
BENCHMARK(BM_ScalarReference)->Arg(0)->Arg(1);
BENCHMARK(BM_SubnormalInput);

BENCHMARK_MAIN();
