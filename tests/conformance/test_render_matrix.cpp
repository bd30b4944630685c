// SPDX-License-Identifier: GPL-3.0-or-later
// The render matrix: block sizes × sample rates × input kinds × Sound Modes × synth on and off,
// every output sample finite and normal; blocks above the maximum frames refused with
// -10874 and the output left as it was. The quick pass renders a subset that has every block
// size, rate, mode and input kind at least once; the full pass renders the whole product.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "conformance.h"

using namespace conformance;

namespace {

constexpr UInt32 kBlockSizes[] = {1, 17, 64, 137, 512, 1156, 2027, 4096};
constexpr UInt32 kMaxFrames = 1156;  // the unit's default maximum frames per render
constexpr double kRates[] = {8000, 11025, 22050, 44100, 48000, 96000, 192000, 384000, 45678.901};
constexpr InputKind kKinds[] = {InputKind::Noise, InputKind::Speech};
constexpr int kModes = 8;

struct Combination {
  UInt32 blockSize;
  double rate;
  InputKind kind;
  int mode;
  bool synth;
};

std::vector<UInt32> validBlockSizes() {
  std::vector<UInt32> sizes;
  for (UInt32 b : kBlockSizes) {
    if (b <= kMaxFrames) sizes.push_back(b);
  }
  return sizes;
}

std::vector<Combination> combinations(bool full) {
  const std::vector<UInt32> sizes = validBlockSizes();
  std::vector<Combination> list;
  if (full) {
    for (UInt32 b : sizes)
      for (double r : kRates)
        for (InputKind k : kKinds)
          for (int m = 0; m < kModes; ++m)
            for (bool s : {false, true}) list.push_back({b, r, k, m, s});
    return list;
  }
  constexpr size_t rates = std::size(kRates);
  for (size_t i = 0; i < 2 * kModes; ++i) {
    list.push_back(
        {sizes[i % sizes.size()], kRates[i % rates], kKinds[(i / 2) % 2], int(i / 2), i % 2 == 1});
  }
  return list;
}

// Samples rendered per combination: at least eight engine frames and two updates (the first
// block, and the first block a sixteenth of a second on).
int samplesFor(double rate, UInt32 blockSize) {
  const int interval = int(rate * 0.0625);
  int count = std::max(8192, interval + 2 * int(blockSize));
  return (count + int(blockSize) - 1) / int(blockSize) * int(blockSize);
}

// Test signals, built once per kind and rate (long enough for the largest block). [any thread]
const std::vector<float>& cached(bool speech, InputKind kind, double rate) {
  static std::mutex lock;
  static std::map<std::tuple<bool, int, double>, std::vector<float>> signals;
  const std::lock_guard<std::mutex> hold(lock);
  auto& signal = signals[{speech, int(kind), rate}];
  if (signal.empty()) {
    const int count = samplesFor(rate, kMaxFrames);
    signal = speech ? speechSignal(kind, count, rate) : carrierSignal(kind, count, rate);
  }
  return signal;
}

// Opening, initialising and closing are main-thread calls: the workers take turns for them.
std::mutex gMainThreadCalls;

// Renders one combination; adds its output to stats. Returns the samples rendered.
long renderCombination(const Combination& c, SampleStats& stats) {
  const int count = samplesFor(c.rate, c.blockSize);
  std::unique_ptr<HostedRig> rig;
  {
    const std::lock_guard<std::mutex> hold(gMainThreadCalls);
    rig = std::make_unique<HostedRig>(c.rate, cached(true, c.kind, c.rate),
                                      cached(false, c.kind, c.rate));
    rig->fx.setParameter(kParamSoundMode, float(c.mode));
    rig->fx.setParameter(kParamSynthOn, c.synth ? 1.0f : 0.0f);
    rig->fx.setParameter(kParamSpeechAmt, 10.0f);
    rig->fx.setParameter(kParamCarrierAmt, 10.0f);
    EXPECT_EQ(rig->init(), noErr);
  }
  for (int note : {48, 55, 60, 64}) rig->fx.midi(0x90, note, 100);
  std::vector<float> left, right;
  double sampleTime = 0;
  EXPECT_EQ(rig->renderInto(count, c.blockSize, left, right, sampleTime), noErr);
  {
    const std::lock_guard<std::mutex> hold(gMainThreadCalls);
    rig.reset();
  }
  SampleStats own;  // this combination's, added to the shared figures under the caller's lock
  own.add(left.data(), left.size());
  own.add(right.data(), right.size());
  EXPECT_EQ(own.bad(), 0) << "block " << c.blockSize << ", rate " << c.rate << ", " << name(c.kind)
                          << ", mode " << c.mode << ", synth " << c.synth << ": NaN " << own.nan
                          << ", inf " << own.inf << ", subnormal " << own.subnormal;
  EXPECT_GT(own.peak, 0.0) << "silent: block " << c.blockSize << ", rate " << c.rate;
  static std::mutex lock;
  const std::lock_guard<std::mutex> hold(lock);
  stats.nan += own.nan;
  stats.inf += own.inf;
  stats.subnormal += own.subnormal;
  stats.peak = std::max(stats.peak, own.peak);
  return long(left.size());
}

}  // namespace

TEST(ConformanceRenderMatrix, EveryOutputSampleIsFiniteAndNormal) {
  clearPreferences();
  const auto list = combinations(fullPass());
  SampleStats stats;
  std::atomic<long> samples{0};
  std::atomic<size_t> next{0};
  const auto start = std::chrono::steady_clock::now();
  // Instances are independent: two workers (the machine's cores) share the list.
  auto worker = [&] {
    for (size_t i = next.fetch_add(1); i < list.size(); i = next.fetch_add(1)) {
      samples.fetch_add(renderCombination(list[i], stats));
    }
  };
  quietly([&] {
    std::thread second(worker);
    worker();
    second.join();
  });
  figure("pass", fullPass() ? "full" : "quick");
  figure("combinations", list.size());
  figure("samples_per_channel", samples.load());
  figure("nan", stats.nan);
  figure("inf", stats.inf);
  figure("subnormal", stats.subnormal);
  figure("peak", stats.peak);
  figure("seconds", millisecondsSince(start) / 1000.0);
}

TEST(ConformanceRenderMatrix, BlocksAboveTheMaximumFramesFailAndLeaveTheOutput) {
  clearPreferences();
  int refused = 0, untouched = 0;
  for (double rate : kRates) {
    HostedRig rig(rate, engine_fixture::speechLike(8192, float(rate)),
                  engine_fixture::sawtooth(8192, 110.0, float(rate)));
    quietly([&] { ASSERT_EQ(rig.init(), noErr); });
    UInt32 maxFrames = 0;
    UInt32 size = sizeof maxFrames;
    ASSERT_EQ(AudioUnitGetProperty(rig.fx.unit(), kAudioUnitProperty_MaximumFramesPerSlice,
                                   kAudioUnitScope_Global, 0, &maxFrames, &size),
              noErr);
    ASSERT_EQ(maxFrames, kMaxFrames);
    for (UInt32 blockSize : kBlockSizes) {
      if (blockSize <= maxFrames) continue;
      OutputBuffers out(2, blockSize);
      for (UInt32 c = 0; c < 2; ++c) {
        float* samples = static_cast<float*>(out.list().mBuffers[c].mData);
        std::fill(samples, samples + blockSize, 0.25f);
      }
      const OSStatus status = renderBlock(rig.fx.unit(), out, 0);
      EXPECT_EQ(status, kAudioUnitErr_TooManyFramesToProcess) << blockSize << " at " << rate;
      refused += status == kAudioUnitErr_TooManyFramesToProcess;
      bool same = true;
      for (UInt32 c = 0; c < 2; ++c) {
        for (UInt32 n = 0; n < blockSize; ++n) same = same && out.channel(c)[n] == 0.25f;
      }
      EXPECT_TRUE(same) << blockSize << " at " << rate;
      untouched += same;
    }
    // The refusal leaves the unit working: the maximum itself renders.
    OutputBuffers out(2, maxFrames);
    quietly([&] { EXPECT_EQ(renderBlock(rig.fx.unit(), out, 0), noErr); });
  }
  figure("max_frames", kMaxFrames);
  figure("refused", refused);
  figure("output_untouched", untouched);
  figure("error_code", kAudioUnitErr_TooManyFramesToProcess);
}

TEST(ConformanceRenderMatrix, RaisedMaximumFramesRenderTheLargeBlocks) {
  clearPreferences();
  SampleStats stats;
  for (UInt32 blockSize : {2027u, 4096u}) {
    const int count = 8 * int(blockSize);
    HostedRig rig(48000, engine_fixture::speechLike(count, 48000), engine_fixture::sawtooth(count));
    ASSERT_EQ(rig.setMaxFrames(4096), noErr);
    std::vector<float> left, right;
    double sampleTime = 0;
    quietly([&] {
      ASSERT_EQ(rig.init(), noErr);
      rig.fx.midi(0x90, 60, 100);
      ASSERT_EQ(rig.renderInto(count, blockSize, left, right, sampleTime), noErr);
    });
    stats.add(left.data(), left.size());
    stats.add(right.data(), right.size());
  }
  EXPECT_EQ(stats.bad(), 0);
  EXPECT_GT(stats.peak, 0.0);
  figure("max_frames", 4096);
  figure("bad_samples", stats.bad());
}
