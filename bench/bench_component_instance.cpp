// SPDX-License-Identifier: GPL-3.0-or-later
// What one instance costs before it plays: the time to open it through the entry point, to
// initialise it (44.1 kHz stereo) and to render its first 512-frame block (the engine lays out
// its tables and room there), the page faults each step takes on its thread ("minor_faults",
// per instance: a fault in the first block is a fault on the render thread), and the heap and
// resident memory it holds once it has played.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/prefs/preferences.h"

namespace {

constexpr UInt32 kBlock = 512;
constexpr double kRate = 44100.0;
constexpr int kMemoryInstances = 8;

Component loadTarnwick() {
  static Component component = [] {
    char pattern[] = "/tmp/tarnwick-bench-home-XXXXXX";
    if (const char* home = mkdtemp(pattern)) setenv("HOME", home, 1);
    writeIntPreference("com.vexaphon.audiounit.Tarnwick", "userEnableUpdateCheckOnStartup", 0);
    std::vector<Component> found;
    std::string message;
    loadComponentBundle(std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component", &found, &message);
    return found.empty() ? nullptr : found.front();
  }();
  return component;
}

OSStatus silence(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                 AudioBufferList* io) {
  for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
    auto* out = static_cast<float*>(io->mBuffers[b].mData);
    for (UInt32 n = 0; n < frames; ++n) out[n] = 0.0f;
  }
  return noErr;
}

// One instance in its three steps; each returns false on a failure.
struct Steps {
  AudioUnit unit = nullptr;
  std::vector<float> storage = std::vector<float>(2 * kBlock);
  std::vector<uint8_t> listBytes = std::vector<uint8_t>(audioBufferListSize(2));

  bool open() { return OpenAComponent(loadTarnwick(), &unit) == noErr; }
  bool initialise() {
    const AudioStreamBasicDescription f = canonicalStreamFormat(kRate, 2);
    for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output}) {
      if (AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &f, sizeof f))
        return false;
    }
    AURenderCallbackStruct callback{&silence, nullptr};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                         &callback, sizeof callback);
    return AudioUnitInitialize(unit) == noErr;
  }
  bool firstBlock() {
    auto& list = *reinterpret_cast<AudioBufferList*>(listBytes.data());
    list.mNumberBuffers = 2;
    for (UInt32 c = 0; c < 2; ++c) list.mBuffers[c] = {1, kBlock * 4, storage.data() + c * kBlock};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    return AudioUnitRender(unit, &flags, &stamp, 0, kBlock, &list) == noErr;
  }
  void close() {
    if (unit) CloseComponent(unit);
    unit = nullptr;
  }
};

enum class Step { kOpen, kInitialise, kFirstBlock };

// Minor page faults of the calling thread so far.
long threadMinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

// Times one step per iteration; the other steps run with the clock paused.
void instanceStep(benchmark::State& state, Step timed) {
  if (!loadTarnwick()) {
    state.SkipWithError("cannot load Tarnwick.component");
    return;
  }
  long faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Steps s;
    bool ok = true;
    // Runs one step, with the clock and the fault count running only for the timed one.
    auto run = [&](Step step, auto&& body) {
      if (!ok) return;
      if (step != timed) {
        ok = body();
        return;
      }
      const long before = threadMinorFaults();
      state.ResumeTiming();
      ok = body();
      state.PauseTiming();
      faults += threadMinorFaults() - before;
    };
    run(Step::kOpen, [&] { return s.open(); });
    run(Step::kInitialise, [&] { return s.initialise(); });
    run(Step::kFirstBlock, [&] { return s.firstBlock(); });
    s.close();
    state.ResumeTiming();
    if (!ok) {
      state.SkipWithError("an instance step failed");
      break;
    }
  }
  state.counters["minor_faults"] = benchmark::Counter(static_cast<double>(faults),
                                                      benchmark::Counter::kAvgIterations);
}

long residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

// Heap (malloc'd, including large mapped blocks) and resident growth per instance, with
// kMemoryInstances instances open, initialised and past their first block at once. Resident
// growth is taken from the process's first set only (later sets reuse the freed pages).
void instanceMemory(benchmark::State& state) {
  if (!loadTarnwick()) {
    state.SkipWithError("cannot load Tarnwick.component");
    return;
  }
  {  // the first instance also builds what every later one shares
    Steps warm;
    if (!(warm.open() && warm.initialise() && warm.firstBlock())) state.SkipWithError("failed");
    warm.close();
  }
  static double resident = -1;
  double heap = 0;
  for (auto _ : state) {
    const struct mallinfo2 before = mallinfo2();
    const long residentBefore = residentBytes();
    std::vector<Steps> instances(kMemoryInstances);
    for (Steps& s : instances) {
      if (!(s.open() && s.initialise() && s.firstBlock())) state.SkipWithError("failed");
    }
    const struct mallinfo2 after = mallinfo2();
    heap = double((after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd)) /
           kMemoryInstances;
    if (resident < 0) resident = double(residentBytes() - residentBefore) / kMemoryInstances;
    for (Steps& s : instances) s.close();
  }
  state.counters["heap_MiB"] = heap / (1024.0 * 1024.0);
  state.counters["resident_MiB"] = resident / (1024.0 * 1024.0);
}

}  // namespace

// A fixed count: the untimed steps of each iteration cost far more than a timed open.
BENCHMARK_CAPTURE(instanceStep, open, Step::kOpen)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(instanceStep, initialise, Step::kInitialise)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(instanceStep, first_block, Step::kFirstBlock)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(instanceMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
