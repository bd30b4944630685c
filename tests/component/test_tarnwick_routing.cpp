// SPDX-License-Identifier: GPL-3.0-or-later
// Routing by buffer count, the output mix by output buffer count, the remaining buffer-list
// refusals, block lengths that change between calls, the channel alert switched off and the
// values of the level post.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "component/equaliser.h"
#include "component/parameter_table.h"
#include "platform/alert/alert.h"
#include "support/alloc_counter.h"
#include "support/engine_fixture.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;

namespace {

constexpr double kRate = 44100;

int gAlertCount = 0;
int countEveryAlert(const alert::Alert&, void*) {
  ++gAlertCount;
  return alert::kDefaultButton;
}

std::vector<float> sine(int count, double hz, float amplitude) {
  std::vector<float> v(count);
  for (int n = 0; n < count; ++n) v[n] = amplitude * float(std::sin(2 * M_PI * hz * n / kRate));
  return v;
}

double energy(const std::vector<float>& v, size_t from = 4096) {
  double e = 0;
  for (size_t n = from; n < v.size(); ++n) e += double(v[n]) * v[n];
  return e;
}

// One instance: main bus (and side chain when given) fed from channels, synth off, room off.
struct Routed {
  Instance fx;
  InputFeed main, side;
  Routed(std::vector<std::vector<float>> mainChannels, UInt32 outChannels,
         std::vector<std::vector<float>> sideChannels = {}) {
    main.channels = std::move(mainChannels);
    side.channels = std::move(sideChannels);
    const UInt32 in = static_cast<UInt32>(main.channels.size());
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, kRate, in), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, kRate, outChannels), noErr);
    EXPECT_EQ(main.connect(fx.unit(), 0), noErr);
    if (!side.channels.empty()) {
      EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 1, kRate, 2), noErr);
      EXPECT_EQ(side.connect(fx.unit(), 1), noErr);
    }
    fx.setParameter(kParamSynthOn, 0);
    fx.setParameter(kParamRoomAmount, 0);
    fx.setParameter(kParamFilterbankAmt, 100);
  }

  // Renders `blocks` blocks of `frames`; returns every output channel. The noise carrier draws
  // from rand(), so each render starts from the same seed.
  std::vector<std::vector<float>> render(UInt32 outChannels, int frames, int blocks) {
    std::srand(1);
    EXPECT_EQ(AudioUnitInitialize(fx.unit()), noErr);
    OutputBuffers out(outChannels, frames);
    std::vector<std::vector<float>> result(outChannels);
    for (int b = 0; b < blocks; ++b) {
      EXPECT_EQ(renderBlock(fx.unit(), out, double(b) * frames), noErr);
      for (UInt32 c = 0; c < outChannels; ++c)
        result[c].insert(result[c].end(), out.channel(c), out.channel(c) + frames);
    }
    return result;
  }
};

void useSidechain(bool on) {
  clearPreferences();
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableSidechain", on ? 1 : 0));
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableFullMultiChannelSupport", 1));
}

}  // namespace

TEST(TarnwickRouting, WithoutTheSideChainTheRightInputIsTheCarrier) {
  useSidechain(false);
  const int count = 512 * 24;
  const auto speech = engine_fixture::speechLike(count);
  Routed silentRight({speech, std::vector<float>(count)}, 2);
  EXPECT_LT(energy(silentRight.render(2, 512, 24)[0]), 1e-6);
  Routed sawRight({speech, engine_fixture::sawtooth(count)}, 2);
  const auto out = sawRight.render(2, 512, 24);
  EXPECT_GT(energy(out[0]), 1.0);
  EXPECT_GT(energy(out[1]), 1.0);
}

TEST(TarnwickRouting, WithTheSideChainOnlyMainLeftAndSideLeftReachTheEngine) {
  useSidechain(true);
  const int count = 512 * 24;
  const auto speech = engine_fixture::speechLike(count);
  const auto saw = engine_fixture::sawtooth(count);
  // Four input buffers: the engine takes its modulator from buffer 0 and its carrier from
  // buffer 2, so what the right channels of both buses carry changes nothing.
  Routed clean({speech, speech}, 2, {saw, saw});
  Routed noisyRights({speech, engine_fixture::whiteNoise(count)}, 2,
                     {saw, engine_fixture::sawtooth(count, 330)});
  const auto a = clean.render(2, 512, 24);
  const auto b = noisyRights.render(2, 512, 24);
  EXPECT_GT(energy(a[0]), 1.0);
  EXPECT_EQ(a, b);
  // A silent side-chain left silences the vocoder even with a loud side-chain right.
  Routed silentSideLeft({speech, speech}, 2, {std::vector<float>(count), saw});
  EXPECT_LT(energy(silentSideLeft.render(2, 512, 24)[0]), 1e-6);
  // Three buffers (mono main, stereo side chain): the carrier is buffer 2, the side-chain right.
  const std::vector<float> silence(count);
  Routed sawRightOfThree({speech}, 2, {silence, saw});
  Routed sawLeftOfThree({speech}, 2, {saw, silence});
  EXPECT_GT(energy(sawRightOfThree.render(2, 512, 24)[0]), 1.0);
  EXPECT_LT(energy(sawLeftOfThree.render(2, 512, 24)[0]), 1e-6);
}

TEST(TarnwickRouting, OneOutputIsTheSumOfBothStereoChannels) {
  for (bool side : {false, true}) {
    useSidechain(side);
    const int count = 512 * 16;
    const auto speech = engine_fixture::speechLike(count);
    const auto saw = engine_fixture::sawtooth(count);
    std::vector<std::vector<float>> sideChannels;
    if (side) sideChannels = {saw, saw};
    Routed stereo({speech, saw}, 2, sideChannels);
    Routed mono({speech, saw}, 1, sideChannels);
    const auto two = stereo.render(2, 512, 16);
    const auto one = mono.render(1, 512, 16);
    ASSERT_GT(energy(one[0]), 1.0) << side;
    // left = (s0 + s2)·k, right = (s1 + s3)·k, mono = (s0 + s1 + s2 + s3)·k.
    for (int n = 0; n < count; ++n) {
      const float sum = two[0][n] + two[1][n];
      ASSERT_NEAR(one[0][n], sum, 1e-5f * (1.0f + std::fabs(sum))) << side << " " << n;
    }
  }
}

namespace {
OSStatus noInputBuffers(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                        AudioBufferList* io) {
  io->mNumberBuffers = 0;
  return noErr;
}
OSStatus silentInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                     UInt32 frames, AudioBufferList* io) {
  for (UInt32 b = 0; b < io->mNumberBuffers; ++b)
    std::fill_n(static_cast<float*>(io->mBuffers[b].mData), frames, 0.0f);
  return noErr;
}
}  // namespace

TEST(TarnwickRouting, DamagedOutputListsAndAnEmptyInputAreRefusedAndTouchNothing) {
  clearPreferences();
  struct Case {
    AURenderCallback input;
    const char* message;
    void (*damage)(AudioBufferList&);
  };
  const Case cases[] = {
      {&noInputBuffers, "this is not a valid input mNumberBuffers", [](AudioBufferList&) {}},
      {&silentInput, "we don't support interlaced audio output buffers in this version",
       [](AudioBufferList& l) { l.mBuffers[0].mNumberChannels = 2; }},
      {&silentInput,
       "outBufferList.mBuffers[1] doesn't seem to be in proper floating point format "
       "(mDataByteSize is 1016 should be 1024)",
       [](AudioBufferList& l) { l.mBuffers[1].mDataByteSize = 1016; }},
  };
  for (const Case& c : cases) {
    Instance fx;
    AURenderCallbackStruct feed{c.input, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_SetRenderCallback,
                                   kAudioUnitScope_Input, 0, &feed, sizeof feed),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
    OutputBuffers out(2, 256);
    for (UInt32 ch = 0; ch < 2; ++ch) {
      float* samples = const_cast<float*>(out.channel(ch));
      std::fill(samples, samples + 256, 7.0f);
    }
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    c.damage(out.list());
    testing::internal::CaptureStderr();
    const OSStatus status = AudioUnitRender(fx.unit(), &flags, &stamp, 0, 256, &out.list());
    const std::string log = testing::internal::GetCapturedStderr();
    // The base layer refuses damaged output lists before the effect sees them; an empty input
    // list reaches the effect, which names it.
    EXPECT_NE(status, noErr) << c.message;
    if (c.input == &noInputBuffers) {
      EXPECT_EQ(status, -1);
      EXPECT_NE(log.find(std::string("ERROR in ProcessBufferLists: ") + c.message),
                std::string::npos)
          << log;
    }
    EXPECT_EQ(out.channel(0)[0], 7.0f) << c.message;
    EXPECT_EQ(out.channel(1)[255], 7.0f) << c.message;
  }
}

TEST(TarnwickRouting, AListOfThreeOutputBuffersIsRefusedAndLeftUntouched) {
  clearPreferences();
  Instance fx;
  InputFeed main;
  main.channels = {engine_fixture::speechLike(1024)};
  ASSERT_EQ(main.connect(fx.unit(), 0), noErr);
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  OutputBuffers out(3, 256);
  for (UInt32 ch = 0; ch < 3; ++ch) {
    float* samples = const_cast<float*>(out.channel(ch));
    std::fill(samples, samples + 256, 7.0f);
  }
  EXPECT_NE(renderBlock(fx.unit(), out, 0), noErr);
  for (UInt32 ch = 0; ch < 3; ++ch) {
    for (int n = 0; n < 256; ++n) ASSERT_EQ(out.channel(ch)[n], 7.0f) << ch << " " << n;
  }
}

TEST(TarnwickRouting, AnEmptyOutputListIsRefused) {
  clearPreferences();
  Instance fx;
  InputFeed main;
  main.channels = {std::vector<float>(1024)};
  ASSERT_EQ(main.connect(fx.unit(), 0), noErr);
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  OutputBuffers out(0, 256);
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp{};
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  testing::internal::CaptureStderr();
  const OSStatus status = AudioUnitRender(fx.unit(), &flags, &stamp, 0, 256, &out.list());
  testing::internal::GetCapturedStderr();
  EXPECT_NE(status, noErr);
}

TEST(TarnwickRouting, BlockLengthsMayChangeFromCallToCallWithoutChangingTheOutput) {
  useSidechain(false);
  const int count = 44100;
  const auto speech = engine_fixture::speechLike(count);
  const auto saw = engine_fixture::sawtooth(count);
  // Fixed parameters: each update re-applies the same values, so only the block boundaries
  // differ between the two renders.
  Routed steady({speech, saw}, 2);
  const auto reference = steady.render(2, 441, 100);

  Routed varying({speech, saw}, 2);
  std::srand(1);
  ASSERT_EQ(AudioUnitInitialize(varying.fx.unit()), noErr);
  const UInt32 lengths[] = {512, 1, 1156, 64, 137, 999, 2, 700};
  OutputBuffers out(2, 1156);
  std::vector<float> left;
  left.reserve(count);
  std::optional<alloc_counter::Scope> scope;  // armed after the first block
  for (size_t call = 0, done = 0; done < size_t(count); ++call) {
    if (call == 1) scope.emplace();
    const UInt32 frames = std::min<UInt32>(lengths[call % 8], UInt32(count - done));
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    stamp.mSampleTime = double(done);
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    for (UInt32 c = 0; c < 2; ++c) out.list().mBuffers[c].mDataByteSize = frames * 4;
    ASSERT_EQ(AudioUnitRender(varying.fx.unit(), &flags, &stamp, 0, frames, &out.list()), noErr);
    left.insert(left.end(), out.channel(0), out.channel(0) + frames);
    done += frames;
  }
  const long allocations = scope->allocations();
  scope.reset();
  EXPECT_EQ(allocations, 0);
  ASSERT_EQ(left.size(), reference[0].size());
  ASSERT_GT(energy(reference[0]), 1.0);
  // Updates land at other samples, which moves float rounding only.
  for (int n = 0; n < count; ++n) ASSERT_NEAR(left[n], reference[0][n], 4e-6f) << n;
}

TEST(TarnwickRouting, TheChannelAlertNeverShowsWhenSwitchedOff) {
  clearPreferences();
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableFullMultiChannelSupport", 1));
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableChannelAlert", 0));
  alert::setPresenter(countEveryAlert, nullptr);
  gAlertCount = 0;
  {
    Routed mono({engine_fixture::speechLike(8192)}, 2);
    mono.render(2, 512, 16);
    Routed again({engine_fixture::speechLike(8192)}, 2);
    again.render(2, 64, 128);
  }
  EXPECT_EQ(gAlertCount, 0);
  // The same layouts with the alert on show it, once per instance.
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableChannelAlert", 1));
  {
    Routed mono({engine_fixture::speechLike(8192)}, 2);
    mono.render(2, 512, 16);
  }
  EXPECT_EQ(gAlertCount, 1);
  alert::setPresenter(nullptr, nullptr);
}

TEST(TarnwickRouting, TheLevelPostMeasuresTheBandsOfTheOutput) {
  clearPreferences();
  // Dry input only, so the output is the input delayed: a 1 kHz tone lands in band 5.
  auto run = [](const std::vector<float>& tone) {
    Routed rig({tone, tone}, 2);
    rig.fx.setParameter(kParamFilterbankAmt, 0);
    rig.fx.setParameter(kParamSpeechAmt, 100);
    std::srand(1);
    EXPECT_EQ(AudioUnitInitialize(rig.fx.unit()), noErr);
    std::vector<float> last(kEqBandCount, -1.0f);
    int posts = 0;
    const auto token = notify::Center::defaultCenter().addObserver(
        "Vexaphon_Tarnwick_SetAnalyzerLevels", nullptr,
        [&, ref = rig.fx.refCon()](const notify::Notification& n) {
          const uint64_t* r = n.get<uint64_t>("Vexaphon_Tarnwick_RefCon");
          const auto* levels = n.get<std::vector<float>>("Vexaphon_Tarnwick_AnalyzerLevels");
          if (r && *r == ref && levels && levels->size() == size_t(kEqBandCount)) {
            last = *levels;
            ++posts;
          }
        });
    OutputBuffers out(2, 512);
    for (int b = 0; b < 86; ++b) EXPECT_EQ(renderBlock(rig.fx.unit(), out, b * 512.0), noErr);
    notify::Center::defaultCenter().removeObserver(token);
    EXPECT_GE(posts, 14);
    return last;
  };
  const auto silent = run(std::vector<float>(44100));
  for (float level : silent) EXPECT_EQ(level, 0.0f);
  const auto tone = run(sine(44100, 1000.0, 0.5f));
  const auto loudest = std::max_element(tone.begin(), tone.end()) - tone.begin();
  EXPECT_EQ(loudest, 5);
  // level = (mean |left band-pass| + mean |right band-pass|) × 2.5; a 0.5 sine at the centre of
  // a 0 dB band gives 2 × 2.5 × 0.5 × 2/π.
  EXPECT_NEAR(tone[5], 5.0 / M_PI, 0.05 * 5.0 / M_PI);
  // A band-pass of Q 1 passes 0.55 of a tone an octave away and 0.26 two octaves away.
  for (int band = 0; band < kEqBandCount; ++band) {
    EXPECT_TRUE(std::isfinite(tone[band]));
    if (std::abs(band - 5) == 1) {
      EXPECT_LT(tone[band], 0.7f * tone[5]) << band;
    } else if (band != 5) {
      EXPECT_LT(tone[band], 0.35f * tone[5]) << band;
    }
  }
}
