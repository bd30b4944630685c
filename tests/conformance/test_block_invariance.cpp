// SPDX-License-Identifier: GPL-3.0-or-later
// Block-size invariance. The engine alone is invariant bit for bit (tests/engine); through the
// component, the output equaliser computes each block in double precision and keeps its filter
// state as float between blocks, so with the parameters fixed, renders at different block
// sizes agree sample for sample only to within that rounding (kTolerance; the figures give the
// largest difference seen). A parameter changed between blocks reaches the engine at the next
// update, which runs at the start of the first block at or after each sixteenth of a second
// since the last one; two block sizes then differ beyond the rounding exactly from the first
// update at which their schedules part, and not one sample earlier. With the synth on, every
// update is such a change even with the parameters fixed (it steps the synth's filter-cutoff
// glide), so synth renders agree only up to the first update the two schedules do not share.
#include "conformance.h"

using namespace conformance;

namespace {

constexpr double kRate = 44100;
constexpr int kInterval = 2756;  // samples per update at 44.1 kHz

struct Render {
  std::vector<float> left, right;
};

// Renders count samples in blocks of blockSize; when changeAt >= 0, sets Speech Amt to 60 once
// changeAt samples have been rendered (changeAt is a multiple of blockSize).
Render render(UInt32 blockSize, int count, int mode, bool synth, int changeAt = -1) {
  static const std::vector<float> speech = engine_fixture::speechLike(int(kRate), float(kRate));
  static const std::vector<float> carrier = engine_fixture::whiteNoise(int(kRate), 0.3f, 5);
  HostedRig rig(kRate, speech, carrier);
  rig.fx.setParameter(kParamSoundMode, float(mode));
  rig.fx.setParameter(kParamSynthOn, synth ? 1.0f : 0.0f);
  rig.fx.setParameter(kParamSynthFatMode, 1.0f);
  rig.fx.setParameter(kParamRoomAmount, 40.0f);
  Render r;
  quietly([&] {
    EXPECT_EQ(rig.init(), noErr);
    rig.fx.midi(0x90, 57, 100);
    rig.fx.midi(0x90, 64, 100);
    OutputBuffers out(2, blockSize);
    for (int done = 0; done < count; done += int(blockSize)) {
      if (done == changeAt) rig.fx.setParameter(kParamSpeechAmt, 60.0f);
      ASSERT_EQ(renderBlock(rig.fx.unit(), out, done), noErr);
      r.left.insert(r.left.end(), out.channel(0), out.channel(0) + blockSize);
      r.right.insert(r.right.end(), out.channel(1), out.channel(1) + blockSize);
    }
  });
  r.left.resize(count);
  r.right.resize(count);
  return r;
}

// Largest difference the equaliser's float state rounding makes (outputs peaking near 1.6): the
// 1-frame render rounds it every sample and comes closest, near 3.4e-5.
constexpr float kTolerance = 1e-4f;

float largestDifference(const Render& a, const Render& b) {
  float largest = 0;
  for (size_t n = 0; n < a.left.size(); ++n) {
    largest =
        std::max({largest, std::fabs(a.left[n] - b.left[n]), std::fabs(a.right[n] - b.right[n])});
  }
  return largest;
}

// The index of the first sample where a and b differ by more than kTolerance, or -1.
long firstDifference(const Render& a, const Render& b) {
  for (size_t n = 0; n < a.left.size(); ++n) {
    if (std::fabs(a.left[n] - b.left[n]) > kTolerance ||
        std::fabs(a.right[n] - b.right[n]) > kTolerance) {
      return long(n);
    }
  }
  return -1;
}

// Samples from one update to the next for a block size: the first block start at least
// kInterval samples on.
int updateStep(UInt32 blockSize) {
  return (kInterval + int(blockSize) - 1) / int(blockSize) * int(blockSize);
}

// The first update at or after changeAt for a block size: updates run at sample 0 and then at
// the first block start at least kInterval samples after the previous update.
int updateAfter(UInt32 blockSize, int changeAt) {
  int update = 0;
  while (update < changeAt) {
    update += updateStep(blockSize);
  }
  return update;
}

}  // namespace

TEST(ConformanceBlockInvariance, FixedParametersAgreeSampleForSample) {
  clearPreferences();
  const int count = int(kRate);  // one second: sixteen updates, 86 engine frames
  const std::vector<int> modes =
      fullPass() ? std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7} : std::vector<int>{0, 6};
  int compared = 0;
  long differing = 0;
  float largest = 0;
  double peak = 0;
  long earliestSynthDifference = 1 << 30;
  for (int mode : modes) {
    for (bool synth : {false, true}) {
      const Render reference = render(512, count, mode, synth);
      for (UInt32 blockSize : {1u, 17u, 64u, 137u, 1156u}) {
        if (!fullPass() && blockSize == 1) continue;
        const Render other = render(blockSize, count, mode, synth);
        const long at = firstDifference(reference, other);
        if (synth) {
          // Each update also steps the synth's filter-cutoff glide, so the renders part at the
          // first update the two schedules do not share, and not before.
          const int parting = std::min(updateStep(512), updateStep(blockSize));
          EXPECT_GE(at, parting) << "mode " << mode << ", block " << blockSize;
          earliestSynthDifference = std::min(earliestSynthDifference, at - parting);
        } else {
          EXPECT_EQ(at, -1) << "mode " << mode << ", block " << blockSize
                            << ": first difference at sample " << at;
          differing += at >= 0;
          largest = std::max(largest, largestDifference(reference, other));
        }
        for (float v : reference.left) peak = std::max(peak, double(std::fabs(v)));
        ++compared;
      }
    }
  }
  figure("renders_compared", compared);
  figure("samples_each", count);
  figure("differing_renders", differing);
  figure("largest_difference", largest);
  figure("tolerance", kTolerance);
  figure("output_peak", peak);
  figure("synth_on_first_difference_after_parting_update", earliestSynthDifference);
}

TEST(ConformanceBlockInvariance, AChangeDiffersFromTheFirstUpdateWhereTheSchedulesPart) {
  clearPreferences();
  const int count = 16384;
  // Change points on block boundaries of every size compared. At 5120 the finer schedules
  // pick the change up first (5512 for 1 frame, 5632 for 64 and 256, 6144 for 512); at 8704
  // the 512-frame schedule does (9216, against 11024, 11084 and 11264).
  const std::pair<int, std::vector<UInt32>> cases[] = {{5120, {1, 64, 256}},
                                                       {8704, {1, 17, 64, 256}}};
  int checked = 0, predicted = 0;
  std::string where;
  for (const auto& [changeAt, sizes] : cases) {
    const Render coarse = render(512, count, 0, false, changeAt);
    for (UInt32 blockSize : sizes) {
      const Render fine = render(blockSize, count, 0, false, changeAt);
      // Equal up to the earlier of the two updates that pick up the change; every earlier
      // update changed nothing.
      const int expected = std::min(updateAfter(512, changeAt), updateAfter(blockSize, changeAt));
      const long at = firstDifference(coarse, fine);
      EXPECT_EQ(at, expected) << "block " << blockSize << ", change at " << changeAt;
      ++checked;
      predicted += at == expected;
      where += std::to_string(changeAt) + "/" + std::to_string(blockSize) + ":" +
               std::to_string(at) + " ";
    }
  }
  figure("pairs", checked);
  figure("first_difference_as_predicted", predicted);
  figure("change/block:first_difference", where);
}
