// SPDX-License-Identifier: GPL-3.0-or-later
// A host's threads at once: parameters set from two threads, MIDI notes from a third and the
// editor's key messages from a fourth while the render thread runs 500 blocks of 32 frames.
// Every note pressed is released again: afterwards no key is held, and no voice sounds. Also
// runs under ThreadSanitizer.
#include <atomic>
#include <random>
#include <thread>

#include "conformance.h"
#include "platform/notify/notification_center.h"

using namespace conformance;

namespace {

void postKey(const char* message, uint64_t refCon, int note) {
  notify::UserInfo info;
  info["Vexaphon_Tarnwick_RefCon"] = refCon;
  info["Vexaphon_Tarnwick_KeysNumber"] = static_cast<uint64_t>(note);
  notify::Center::defaultCenter().post(message, nullptr, info);
}

std::vector<int> heldNotes(Instance& fx) {
  plist::Value saved;
  EXPECT_EQ(fx.saveState(saved), noErr);
  std::vector<float> slots(32);
  const plist::Data& keys = saved.find("VexaphonTarnwickKeylistState")->asData();
  std::memcpy(slots.data(), keys.data(), std::min<size_t>(128, keys.size()));
  std::vector<int> held;
  for (float k : slots) {
    if (k >= 27.0f) held.push_back(int(k));
  }
  return held;
}

}  // namespace

TEST(ConformanceThreads, ParametersMidiAndEditorKeysWhileRendering) {
  clearPreferences();
  constexpr UInt32 kBlock = 32;
  constexpr int kBlocks = 500;
  const int tailSamples = 44100;
  HostedRig rig(44100, engine_fixture::speechLike(kBlock * kBlocks + tailSamples),
                engine_fixture::sawtooth(kBlock * kBlocks + tailSamples));
  quietly([&] { ASSERT_EQ(rig.init(), noErr); });
  const uint64_t refCon = rig.fx.refCon();
  AudioUnit unit = rig.fx.unit();

  std::atomic<bool> rendering{true};
  std::atomic<int> ready{0};  // the render thread starts once the other four run
  auto started = [&ready] {
    ready.fetch_add(1);
    while (ready.load() < 5) std::this_thread::yield();
  };
  std::atomic<int> renderFailures{0};
  std::atomic<long> parameterSets{0}, midiPairs{0}, editorPairs{0};
  SampleStats stats;
  testing::internal::CaptureStdout();
  std::thread render([&] {
    OutputBuffers out(2, kBlock);
    started();
    for (int b = 0; b < kBlocks; ++b) {
      if (renderBlock(unit, out, double(b) * kBlock) != noErr) renderFailures.fetch_add(1);
      stats.add(out.channel(0), kBlock);
      stats.add(out.channel(1), kBlock);
      std::this_thread::yield();  // let the others interleave
    }
    rendering.store(false);
  });
  auto parameterThread = [&](AudioUnitParameterID first, uint32_t seed) {
    std::mt19937 random(seed);
    started();
    while (rendering.load()) {
      const AudioUnitParameterID id = first + random() % 24;
      const ParameterDescription& d = parameterDescription(id);
      std::uniform_real_distribution<float> value(d.minValue, d.maxValue);
      AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value(random), 0);
      parameterSets.fetch_add(1);
    }
  };
  std::thread lowParameters(parameterThread, 0, 1);
  std::thread highParameters(parameterThread, 24, 2);
  std::thread midi([&] {
    started();
    for (int n = 0; rendering.load() || n < 20; ++n) {
      const UInt32 note = 40 + n % 20;
      MusicDeviceMIDIEvent(unit, 0x90, note, 100, 0);
      std::this_thread::yield();
      MusicDeviceMIDIEvent(unit, n % 2 ? 0x80 : 0x90, note, 0, 0);  // both kinds of note-off
      midiPairs.fetch_add(1);
    }
  });
  std::thread editor([&] {
    started();
    for (int n = 0; rendering.load() || n < 20; ++n) {
      const int note = 70 + n % 20;
      postKey("Vexaphon_Tarnwick_KeyOnMsg", refCon, note);
      std::this_thread::yield();
      postKey("Vexaphon_Tarnwick_KeyOffMsg", refCon, note);
      editorPairs.fetch_add(1);
    }
  });
  for (std::thread* t : {&render, &lowParameters, &highParameters, &midi, &editor}) t->join();
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(renderFailures.load(), 0);
  EXPECT_EQ(stats.nan + stats.inf, 0);
  // No lost note-off: no key is held ...
  EXPECT_TRUE(heldNotes(rig.fx).empty());
  // ... and no voice sounds: with the parameters back at their defaults and the tails off, the
  // output matches, after half a second, that of an instance that never had a note.
  auto quiet = [](HostedRig& r) {
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      r.fx.setParameter(id, parameterDescription(id).defaultValue);
    }
    for (AudioUnitParameterID id : {kParamReverbAmt, kParamRoomAmount}) r.fx.setParameter(id, 0);
  };
  HostedRig reference(44100, rig.main.channels[0], rig.side.channels[0]);
  quiet(reference);
  std::vector<float> left, right, referenceLeft, referenceRight, unused;
  double sampleTime = 0, referenceTime = 0;
  quietly([&] {
    ASSERT_EQ(reference.init(), noErr);
    ASSERT_EQ(reference.renderInto(kBlock * kBlocks, kBlock, unused, unused, referenceTime), noErr);
  });
  quiet(rig);
  sampleTime = double(kBlock) * kBlocks;
  quietly([&] {
    ASSERT_EQ(rig.renderInto(tailSamples, 441, left, right, sampleTime), noErr);
    ASSERT_EQ(reference.renderInto(tailSamples, 441, referenceLeft, referenceRight, referenceTime),
              noErr);
  });
  double tailDifference = 0, tailPeak = 0;
  for (int n = tailSamples / 2; n < tailSamples; ++n) {
    tailDifference = std::max({tailDifference, double(std::fabs(left[n] - referenceLeft[n])),
                               double(std::fabs(right[n] - referenceRight[n]))});
    tailPeak = std::max(tailPeak, double(std::fabs(left[n])));
  }
  EXPECT_LT(tailDifference, 1e-5);
  figure("render_blocks", kBlocks);
  figure("parameter_sets", parameterSets.load());
  figure("midi_note_pairs", midiPairs.load());
  figure("editor_key_pairs", editorPairs.load());
  figure("held_after", heldNotes(rig.fx).size());
  figure("tail_peak", tailPeak);
  figure("tail_difference_from_never_played", tailDifference);
}
