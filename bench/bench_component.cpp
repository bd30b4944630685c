// SPDX-License-Identifier: GPL-3.0-or-later
// The whole render path through the entry point, as a host drives it: 512-frame blocks at
// 44.1 kHz, stereo in and out, input pulled through a render callback. "realtime" is seconds of
// audio per second of CPU.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/prefs/preferences.h"

namespace {

constexpr UInt32 kBlock = 512;
constexpr double kRate = 44100.0;
constexpr int kLength = 44100;

struct Feed {
  std::vector<float> signal;
  size_t position = 0;
  static OSStatus render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* io) {
    auto* feed = static_cast<Feed*>(refCon);
    for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
      auto* out = static_cast<float*>(io->mBuffers[b].mData);
      for (UInt32 n = 0; n < frames; ++n) out[n] = feed->signal[(feed->position + n) % kLength];
    }
    feed->position += frames;
    return noErr;
  }
};

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

OSStatus setFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element) {
  const AudioStreamBasicDescription f = canonicalStreamFormat(kRate, 2);
  return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &f, sizeof f);
}

enum class Sound { DefaultWithSynth, Mode0External, Mode7External };

void renderPath(benchmark::State& state, Sound sound) {
  Component component = loadTarnwick();
  AudioUnit unit = nullptr;
  if (!component || OpenAComponent(component, &unit) != noErr) {
    state.SkipWithError("cannot open Tarnwick.component");
    return;
  }
  Feed main{speechLike()}, side{sawChord()};
  setFormat(unit, kAudioUnitScope_Input, 0);
  setFormat(unit, kAudioUnitScope_Output, 0);
  AURenderCallbackStruct mainCallback{&Feed::render, &main};
  AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                       &mainCallback, sizeof mainCallback);
  if (sound != Sound::DefaultWithSynth) {
    setFormat(unit, kAudioUnitScope_Input, 1);
    AURenderCallbackStruct sideCallback{&Feed::render, &side};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 1,
                         &sideCallback, sizeof sideCallback);
    AudioUnitSetParameter(unit, kParamSynthOn, kAudioUnitScope_Global, 0, 0, 0);
    AudioUnitSetParameter(unit, kParamSoundMode, kAudioUnitScope_Global, 0,
                          sound == Sound::Mode7External ? 7 : 0, 0);
  }
  if (AudioUnitInitialize(unit) != noErr) {
    state.SkipWithError("initialise failed");
    CloseComponent(unit);
    return;
  }
  if (sound == Sound::DefaultWithSynth) {
    for (UInt32 key : {48u, 55u, 60u, 64u}) MusicDeviceMIDIEvent(unit, 0x90, key, 100, 0);
  }
  std::vector<float> storage(2 * kBlock);
  std::vector<uint8_t> listBytes(audioBufferListSize(2));
  auto& list = *reinterpret_cast<AudioBufferList*>(listBytes.data());
  double sampleTime = 0;
  for (auto _ : state) {
    list.mNumberBuffers = 2;
    for (UInt32 c = 0; c < 2; ++c) list.mBuffers[c] = {1, kBlock * 4, storage.data() + c * kBlock};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    stamp.mSampleTime = sampleTime;
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    if (AudioUnitRender(unit, &flags, &stamp, 0, kBlock, &list) != noErr) {
      state.SkipWithError("render failed");
      break;
    }
    benchmark::DoNotOptimize(storage.data());
    sampleTime += kBlock;
  }
  state.counters["realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
  AudioUnitUninitialize(unit);
  CloseComponent(unit);
}

}  // namespace

BENCHMARK_CAPTURE(renderPath, default_sound_synth_4_keys, Sound::DefaultWithSynth);
BENCHMARK_CAPTURE(renderPath, mode0_external_carrier, Sound::Mode0External);
BENCHMARK_CAPTURE(renderPath, mode7_external_carrier, Sound::Mode7External);
BENCHMARK_MAIN();
