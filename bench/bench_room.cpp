// SPDX-License-Identifier: GPL-3.0-or-later
// One roomProcess call (one stereo sample) on a ringing room; one 512-sample block (also through
// each kernel); one step of the slow modulation.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/room.h"
#include "engine/slow_oscillator.h"

namespace {

void BM_RoomProcessSample(benchmark::State& state) {
  auto room = std::make_unique<RoomState>();
  roomConfigure(*room, 0.6f, static_cast<float>(state.range(0)) / 100.0f);
  float in = 0.5f;
  for (int i = 0; i < 48000; ++i) {  // fill the lines with a decaying tail
    float a = 0.0f;
    float b = 0.0f;
    roomProcess(in, -in, a, b, *room);
    in *= -0.999f;
  }
  for (auto _ : state) {
    float a = 0.0f;
    float b = 0.0f;
    roomProcess(0.25f, -0.25f, a, b, *room);
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
  }
  roomRelease(*room);
}

BENCHMARK(BM_RoomProcessSample)->Arg(20)->Arg(100);

// One 512-sample roomProcessBlock call; items are samples. Size 65 is the default.
void BM_RoomProcessBlock(benchmark::State& state) {
  auto room = std::make_unique<RoomState>();
  roomConfigure(*room, 0.6f, static_cast<float>(state.range(0)) / 100.0f);
  constexpr int kBlock = 512;
  std::vector<float> inA(kBlock), inB(kBlock), outA(kBlock), outB(kBlock);
  float in = 0.5f;
  for (int i = 0; i < kBlock; ++i, in *= -0.999f) inA[i] = in, inB[i] = -in;
  for (int b = 0; b < 100; ++b) roomProcessBlock(inA.data(), inB.data(), outA.data(), outB.data(), kBlock, *room);
  std::fill(inA.begin(), inA.end(), 0.25f);
  std::fill(inB.begin(), inB.end(), -0.25f);
  for (auto _ : state) {
    roomProcessBlock(inA.data(), inB.data(), outA.data(), outB.data(), kBlock, *room);
    benchmark::DoNotOptimize(outA.data());
    benchmark::DoNotOptimize(outB.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
  roomRelease(*room);
}

BENCHMARK(BM_RoomProcessBlock)->Arg(0)->Arg(65)->Arg(100);

// The same block at size 65 through each kernel this machine runs (0: 4 lanes, 1: 8, 2: 16).
void BM_RoomProcessBlockKernel(benchmark::State& state) {
  const auto kernel = static_cast<RoomKernel>(state.range(0));
  if (!roomKernelSupported(kernel)) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  auto room = std::make_unique<RoomState>();
  roomConfigure(*room, 0.6f, 0.65f);
  constexpr int kBlock = 512;
  std::vector<float> inA(kBlock, 0.25f), inB(kBlock, -0.25f), outA(kBlock), outB(kBlock);
  for (int b = 0; b < 100; ++b) {
    roomProcessBlockWith(kernel, inA.data(), inB.data(), outA.data(), outB.data(), kBlock, *room);
  }
  for (auto _ : state) {
    roomProcessBlockWith(kernel, inA.data(), inB.data(), outA.data(), outB.data(), kBlock, *room);
    benchmark::DoNotOptimize(outA.data());
    benchmark::DoNotOptimize(outB.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
  roomRelease(*room);
}

BENCHMARK(BM_RoomProcessBlockKernel)->DenseRange(0, 2);

void BM_SlowOscillatorStep(benchmark::State& state) {
  SlowOscillator osc{};
  double counter = 0.0;
  for (auto _ : state) {
    const SlowModulation m = slowOscillatorStep(osc, counter, 2.849517146113191e-05);
    counter += 1.0;
    benchmark::DoNotOptimize(m);
  }
}

BENCHMARK(BM_SlowOscillatorStep);

}  // namespace

BENCHMARK_MAIN();
