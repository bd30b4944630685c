// SPDX-License-Identifier: GPL-3.0-or-later
// The whole render path through the entry point, as a host drives it: 512-frame blocks at
// 44.1 kHz, stereo in and out, input pulled through a render callback. "realtime" is seconds of
// audio per second of CPU.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "hosts/client/host_client.h"

namespace {

constexpr UInt32 kBlock = 512;
constexpr double kRate = 44100.0;
constexpr int kLength = 44100;

std::vector<float> speechLike() {
  std::vector<float> v(kLength);
  uint32_t seed = 1;
  for (int n = 0; n < kLength; ++n) {
    double s = 0.0;
    for (int h = 1; h <= 20; ++h) s += std::sin(2.0 * M_PI * 130.0 * h * n / kRate) / h;
    s *= 0.5 + 0.5 * std::sin(2.0 * M_PI * 3.0 * n / kRate);  // syllables
    seed = seed * 1664525u + 1013904223u;
    v[n] = static_cast<float>(0.2 * s + 0.02 * (seed / 4294967296.0 - 0.5));
  }
  return v;
}

std::vector<float> sawChord() {
  std::vector<float> v(kLength);
  for (int n = 0; n < kLength; ++n) {
    double s = 0.0;
    for (double hz : {110.0, 138.6, 164.8}) s += std::fmod(n * hz / kRate, 1.0) - 0.5;
    v[n] = static_cast<float>(0.2 * s);
  }
  return v;
}

enum class Sound { DefaultWithSynth, Mode0External, Mode7External };

// One instance opened through the host client, with no update check and preferences under a
// private HOME.
std::unique_ptr<host_client::HostedUnit> openTarnwick(std::string* error) {
  static const bool prepared = [] {
    char pattern[] = "/tmp/tarnwick-bench-home-XXXXXX";
    if (const char* home = mkdtemp(pattern)) setenv("HOME", home, 1);
    host_client::disableUpdateChecks();
    return true;
  }();
  (void)prepared;
  return host_client::HostedUnit::open(std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component",
                                       error);
}

void renderPath(benchmark::State& state, Sound sound) {
  std::string error;
  auto hosted = openTarnwick(&error);
  if (!hosted || !hosted->setFormats(kRate, 2, &error)) {
    state.SkipWithError(("cannot open Tarnwick.component: " + error).c_str());
    return;
  }
  const std::vector<float> speech = speechLike(), chord = sawChord();
  host_client::InputFeed main, side;
  for (host_client::InputFeed* feed : {&main, &side}) feed->setLooping(true);
  main.setSource(0, speech.data(), speech.size());
  side.setSource(0, chord.data(), chord.size());
  hosted->connect(0, &main, &error);
  if (hosted->hasSideChain()) hosted->connect(1, &side, &error);
  if (sound != Sound::DefaultWithSynth) {
    hosted->setParameter(kParamSynthOn, 0);
    hosted->setParameter(kParamSoundMode, sound == Sound::Mode7External ? 7 : 0);
  }
  if (!hosted->initialize(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  if (sound == Sound::DefaultWithSynth) {
    for (UInt32 key : {48u, 55u, 60u, 64u}) hosted->midi(0x90, key, 100);
  }
  std::vector<float> storage(2 * kBlock);
  float* out[2] = {storage.data(), storage.data() + kBlock};
  for (auto _ : state) {
    if (hosted->render(kBlock, out, 2) != noErr) {
      state.SkipWithError("render failed");
      break;
    }
    benchmark::DoNotOptimize(storage.data());
  }
  state.counters["realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(renderPath, default_sound_synth_4_keys, Sound::DefaultWithSynth);
BENCHMARK_CAPTURE(renderPath, mode0_external_carrier, Sound::Mode0External);
BENCHMARK_CAPTURE(renderPath, mode7_external_carrier, Sound::Mode7External);
BENCHMARK_MAIN();
