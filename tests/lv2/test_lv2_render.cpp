// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnwick.lv2's render path through the LV2 descriptor: latency, block lengths and sample
// rates, blocks longer than the component's maximum, parameters sent on change, the analyser.
#include <cmath>
#include <tuple>

#include "lv2/lv2_test_host.h"

namespace {

using namespace lv2_test;

// Speech on the main pair, a sawtooth on the side chain, the synth off.
auto vocoderInput(double rate) {
  return [rate](uint32_t port, size_t n) { return port < 2 ? speechAt(n, rate) : sawAt(n, rate); };
}

TEST(Lv2Render, LatencyIsReportedFromTheFirstRunEvenWithZeroFrames) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  EXPECT_EQ(plugin.latency(), -1.0f);
  plugin.run(0);
  EXPECT_EQ(plugin.latency(), 1024.0f);
  plugin.run(64);
  EXPECT_EQ(plugin.latency(), 1024.0f);
}

class Lv2BlockAndRate : public ::testing::TestWithParam<std::tuple<uint32_t, double>> {};

TEST_P(Lv2BlockAndRate, OutputIsFiniteWithoutDenormalsAndNotSilent) {
  const auto [block, rate] = GetParam();
  Plugin plugin({rate, 4096, true, true});
  ASSERT_TRUE(plugin.ok());
  plugin.control(kParamSynthOn) = 0.0f;
  std::vector<float> left, right;
  size_t position = 0;
  plugin.render(static_cast<size_t>(rate * 0.4) + 2048, block, vocoderInput(rate), &left, &right,
                &position);
  size_t bad = 0;
  for (const auto* channel : {&left, &right}) {
    for (float s : *channel) {
      if (!std::isfinite(s) || std::fpclassify(s) == FP_SUBNORMAL) ++bad;
    }
  }
  EXPECT_EQ(bad, 0u) << "block " << block << " rate " << rate;
  EXPECT_GT(energy(left, 2048), 1e-3) << "block " << block << " rate " << rate;
  EXPECT_GT(energy(right, 2048), 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Blocks, Lv2BlockAndRate,
                         ::testing::Combine(::testing::Values(1u, 64u, 137u, 1024u, 4096u),
                                            ::testing::Values(22050.0, 44100.0, 48000.0, 96000.0,
                                                              192000.0)));

// Without the options feature the component keeps its own maximum (1156 frames), so a
// 4096-frame block goes in pieces of 1156, 1156, 1156 and 628: the same render calls as a host
// that runs those block lengths itself.
TEST(Lv2Render, BlocksLongerThanTheComponentMaximumAreRenderedInPieces) {
  Plugin pieces({44100.0, 4096, true, false});
  Plugin direct({44100.0, 4096, true, true});
  ASSERT_TRUE(pieces.ok() && direct.ok());
  pieces.control(kParamSynthOn) = direct.control(kParamSynthOn) = 0.0f;
  std::vector<float> a, b;
  size_t pa = 0, pb = 0;
  for (int round = 0; round < 8; ++round) {
    pieces.render(4096, 4096, vocoderInput(44100.0), &a, nullptr, &pa);
    for (uint32_t frames : {1156u, 1156u, 1156u, 628u}) {
      direct.render(frames, frames, vocoderInput(44100.0), &b, nullptr, &pb);
    }
  }
  ASSERT_EQ(a.size(), b.size());
  EXPECT_GT(energy(a), 1e-3);
  EXPECT_EQ(a, b);
  // And a host block of 4096 handed to the component whole gives other update points.
  Plugin whole({44100.0, 4096, true, true});
  whole.control(kParamSynthOn) = 0.0f;
  std::vector<float> c;
  size_t pc = 0;
  for (int round = 0; round < 8; ++round)
    whole.render(4096, 4096, vocoderInput(44100.0), &c, nullptr, &pc);
  EXPECT_NE(a, c);
}

// The component switches Freeze off at its first update (the Sound Mode is new). A port that
// still says 1 but has not changed must not switch it on again.
TEST(Lv2Render, AnUnchangedPortIsNotSentAgain) {
  Plugin frozenPort({});
  Plugin plain({});
  ASSERT_TRUE(frozenPort.ok() && plain.ok());
  for (Plugin* p : {&frozenPort, &plain}) p->control(kParamSynthOn) = 0.0f;
  frozenPort.control(kParamFreeze) = 1.0f;
  std::vector<float> a, b;
  size_t pa = 0, pb = 0;
  frozenPort.render(44100, 256, vocoderInput(44100.0), &a, nullptr, &pa);
  plain.render(44100, 256, vocoderInput(44100.0), &b, nullptr, &pb);
  EXPECT_EQ(a, b);
  // A change is sent: Freeze on from here holds the envelope, so the outputs part.
  frozenPort.control(kParamFreeze) = 0.0f;
  frozenPort.render(256, 256, vocoderInput(44100.0), &a, nullptr, &pa);
  plain.render(256, 256, vocoderInput(44100.0), &b, nullptr, &pb);
  frozenPort.control(kParamFreeze) = 1.0f;
  frozenPort.render(44100, 256, vocoderInput(44100.0), &a, nullptr, &pa);
  plain.render(44100, 256, vocoderInput(44100.0), &b, nullptr, &pb);
  EXPECT_NE(a, b);
}

TEST(Lv2Render, ChangedParametersReachTheComponent) {
  Plugin changed({});
  Plugin same({});
  ASSERT_TRUE(changed.ok() && same.ok());
  for (Plugin* p : {&changed, &same}) p->control(kParamSynthOn) = 0.0f;
  std::vector<float> a, b;
  size_t pa = 0, pb = 0;
  changed.render(22050, 512, vocoderInput(44100.0), &a, nullptr, &pa);
  same.render(22050, 512, vocoderInput(44100.0), &b, nullptr, &pb);
  ASSERT_EQ(a, b);
  changed.control(kParamSoundMode) = 7.0f;
  changed.render(44100, 512, vocoderInput(44100.0), &a, nullptr, &pa);
  same.render(44100, 512, vocoderInput(44100.0), &b, nullptr, &pb);
  EXPECT_NE(a, b);
}

TEST(Lv2Render, AnalyserLevelsFollowTheOutput) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  plugin.control(kParamSynthOn) = 0.0f;
  size_t position = 0;
  plugin.render(
      44100, 512, [](uint32_t, size_t) { return 0.0f; }, nullptr, nullptr, &position);
  for (int b = 0; b < kBandCount; ++b) EXPECT_EQ(plugin.level(b), 0.0f) << "band " << b;
  plugin.render(44100, 512, vocoderInput(44100.0), nullptr, nullptr, &position);
  int active = 0;
  for (int b = 0; b < kBandCount; ++b) {
    EXPECT_TRUE(std::isfinite(plugin.level(b)));
    if (plugin.level(b) > 1e-4f) ++active;
  }
  EXPECT_GE(active, 3);
}

// lv2:enabled at 0 is the component's bypass: the main input goes straight to the output.
TEST(Lv2Render, TheEnabledPortBypassesTheComponent) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  plugin.control(kParamSynthOn) = 0.0f;
  std::vector<float> left, right;
  size_t position = 0;
  plugin.render(8192, 512, vocoderInput(44100.0), &left, &right, &position);
  plugin.enabled() = 0.0f;
  left.clear();
  right.clear();
  const size_t start = position;
  plugin.render(4096, 512, vocoderInput(44100.0), &left, &right, &position);
  size_t differing = 0;
  for (size_t n = 0; n < left.size(); ++n) {
    if (left[n] != speechAt(start + n, 44100.0) || right[n] != speechAt(start + n, 44100.0)) {
      ++differing;
    }
  }
  EXPECT_EQ(differing, 0u);
  plugin.enabled() = 1.0f;
  left.clear();
  plugin.render(8192, 512, vocoderInput(44100.0), &left, nullptr, &position);
  size_t same = 0;
  for (size_t n = 0; n < left.size(); ++n)
    same += left[n] == speechAt(position - 8192 + n, 44100.0);
  EXPECT_LT(same, left.size() / 10);  // vocoded again
}

// LV2 lets a host connect an output port to an input port's buffer. Vocoding and bypass give
// the same samples whether the outputs have buffers of their own, share the inputs' (in place)
// or are crossed over other inputs, and whatever the block length.
TEST(Lv2Render, OutputsSharingInputBuffersGiveTheSameSamples) {
  const std::vector<std::pair<uint32_t, uint32_t>> layouts[] = {
      {}, {{kOutLeft, 0}, {kOutRight, 1}}, {{kOutLeft, 1}, {kOutRight, 0}},
      {{kOutLeft, kSideInLeft}, {kOutRight, kSideInRight}}};
  // Every input distinct, so that a copy from the wrong buffer shows.
  const auto input = [](uint32_t port, size_t n) {
    const float speech = speechAt(n, 44100.0), saw = sawAt(n, 44100.0);
    return port == 0 ? speech : port == 1 ? 0.5f * speech - 0.1f : port == 2 ? saw : -saw;
  };
  for (uint32_t block : {512u, 333u}) {
    std::vector<float> first[2];
    for (size_t layout = 0; layout < std::size(layouts); ++layout) {
      Plugin plugin({});
      ASSERT_TRUE(plugin.ok());
      plugin.control(kParamSynthOn) = 0.0f;
      for (const auto& [output, input] : layouts[layout]) plugin.shareBuffer(output, input);
      std::vector<float> left, right;
      size_t position = 0;
      plugin.render(8192, block, input, &left, &right, &position);
      plugin.enabled() = 0.0f;
      plugin.render(2048, block, input, &left, &right, &position);
      plugin.enabled() = 1.0f;
      plugin.render(4096, block, input, &left, &right, &position);
      if (layout == 0) {
        EXPECT_GT(energy(left), 1e-3);
        first[0] = left;
        first[1] = right;
        continue;
      }
      EXPECT_EQ(left, first[0]) << "layout " << layout << " block " << block;
      EXPECT_EQ(right, first[1]) << "layout " << layout << " block " << block;
    }
  }
}

TEST(Lv2Render, AMissingComponentBundleFailsInstantiation) {
  const LV2_Descriptor* d = descriptor();
  ASSERT_NE(d, nullptr);
  tarnwick_host::usePrivateHome();
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(d->instantiate(d, 44100.0, "/nonexistent/Tarnwick.lv2/", none), nullptr);
  EXPECT_EQ(d->instantiate(d, 0.0, TARNWICK_LV2_BUNDLE_DIR "/", none), nullptr);
}

}  // namespace
