// SPDX-License-Identifier: GPL-3.0-or-later
// One roomProcess call (one stereo sample) on a ringing room.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/room.h"

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

}  // namespace

BENCHMARK_MAIN();
