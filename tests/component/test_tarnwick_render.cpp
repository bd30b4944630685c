// SPDX-License-Identifier: GPL-3.0-or-later
// The render path through AudioUnitRender: routing by buffer count, the update schedule, the
// level posts, the buffer checks, the channel alert and real-time behaviour.
#include <gtest/gtest.h>

#include <cstdlib>

#include "component/equaliser.h"
#include "component/parameter_table.h"
#include "platform/alert/alert.h"
#include "platform/log/log.h"
#include "support/alloc_counter.h"
#include "support/engine_fixture.h"
#include "support/lock_counter.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;

namespace {

int gAlerts = 0;
int countAlert(const alert::Alert& a, void*) {
  if (a.title == "Less than 2 input channels available" && a.defaultButton == "Understood" &&
      a.text.find("'Vexaphon Tarnwick XE40 AudioUnit Plug-In'") != std::string::npos) {
    ++gAlerts;
  }
  return alert::kDefaultButton;
}

// Counts the level posts of one instance.
class LevelListener {
 public:
  explicit LevelListener(uint64_t refCon) {
    mToken = notify::Center::defaultCenter().addObserver(
        "Vexaphon_Tarnwick_SetAnalyzerLevels", nullptr,
        [this, refCon](const notify::Notification& n) {
          const uint64_t* ref = n.get<uint64_t>("Vexaphon_Tarnwick_RefCon");
          const auto* levels = n.get<std::vector<float>>("Vexaphon_Tarnwick_AnalyzerLevels");
          if (ref && *ref == refCon && levels && levels->size() == 10) {
            ++mPosts;
            std::copy(levels->begin(), levels->end(), mLast.begin());  // no allocation here
          }
        });
  }
  ~LevelListener() { notify::Center::defaultCenter().removeObserver(mToken); }
  int posts() const { return mPosts; }
  const std::vector<float>& last() const { return mLast; }

 private:
  notify::Center::Token mToken = 0;
  int mPosts = 0;
  std::vector<float> mLast = std::vector<float>(10);
};

// An instance with the main bus fed from channels, formats set, initialised.
struct Rig {
  Instance fx;
  InputFeed main;
  Rig(UInt32 inChannels, UInt32 outChannels, double rate,
      std::vector<std::vector<float>> channels) {
    main.channels = std::move(channels);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, rate, inChannels), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, rate, outChannels), noErr);
    EXPECT_EQ(main.connect(fx.unit(), 0), noErr);
  }
  OSStatus init() { return AudioUnitInitialize(fx.unit()); }
};

// Output 0 of `blocks` blocks of `frames` from an initialised rig, its render making no call that
// can wait.
std::vector<float> renderLeft(Rig& rig, int blocks, int frames) {
  OutputBuffers out(2, frames);
  std::vector<float> left;
  left.reserve(size_t(blocks) * frames);
  lock_counter::Scope waits;
  for (int b = 0; b < blocks; ++b) {
    EXPECT_EQ(renderBlock(rig.fx.unit(), out, b * frames), noErr);
    left.insert(left.end(), out.channel(0), out.channel(0) + frames);
  }
  if (lock_counter::available()) {
    EXPECT_EQ(waits.waits(), 0);
  }
  return left;
}

}  // namespace

// The noise carrier of unvoiced frames continues rand()'s sequence from where it stood at
// Initialize: the same seed before Initialize renders the same, another seed differently, and
// what the program draws from rand() after Initialize does not reach the render, which draws
// without the C library's lock.
TEST(TarnwickRender, TheNoiseCarrierContinuesRandFromInitialize) {
  clearPreferences();
  const int blocks = 16, frames = 512, count = blocks * frames;
  engine_fixture::Noise hiss;
  std::vector<float> speech(count);
  for (float& v : speech) v = 0.3f * hiss.next();  // white: every frame unvoiced
  auto renderSeeded = [&](unsigned seed, int drawsAfterInitialize) {
    std::srand(seed);
    Rig rig(2, 2, 44100, {speech, engine_fixture::sawtooth(count)});
    rig.fx.setParameter(kParamVcUvEnable, 1);
    rig.fx.setParameter(kParamSoundMode, 0);
    rig.fx.setParameter(kParamRoomAmount, 0);
    EXPECT_EQ(rig.init(), noErr);
    for (int i = 0; i < drawsAfterInitialize; ++i) std::rand();
    return renderLeft(rig, blocks, frames);
  };
  const std::vector<float> first = renderSeeded(5, 0);
  EXPECT_EQ(renderSeeded(5, 1000), first);
  EXPECT_NE(renderSeeded(6, 0), first);
}

TEST(TarnwickRender, MonoInputIsTheEngineOutputEqualisedPlusUnequalised) {
  clearPreferences();
  alert::setPresenter(countAlert, nullptr);
  const int blocks = 20, frames = 256, count = blocks * frames;
  std::vector<float> speech = engine_fixture::speechLike(count);
  Rig rig(1, 2, 44100, {speech});
  // Dry speech only: the engine's output is the speech delayed by 1024 samples.
  rig.fx.setParameter(kParamFilterbankAmt, 0);
  rig.fx.setParameter(kParamSpeechAmt, 100);
  rig.fx.setParameter(kParamRoomAmount, 0);
  ASSERT_EQ(rig.init(), noErr);
  OutputBuffers out(2, frames);
  std::vector<float> left, right;
  // Band 4's gain changes before block 5 and takes effect at the next update (block 11, after
  // 2816 samples: the interval is 2756); the updates between keep the coefficients.
  const int changeBlock = 5, updateBlock = 11;
  const float bandGains[kEqBandCount] = {0, 0, 0, 0, 9, 0, 0, 0, 0, 0};
  for (int b = 0; b < blocks; ++b) {
    if (b == changeBlock) rig.fx.setParameter(kParamEqBand0Gain + 4, bandGains[4]);
    ASSERT_EQ(renderBlock(rig.fx.unit(), out, b * frames), noErr);
    left.insert(left.end(), out.channel(0), out.channel(0) + frames);
    right.insert(right.end(), out.channel(1), out.channel(1) + frames);
  }
  // The same delayed speech through our own equaliser, block by block.
  EqBandFilter eqL[kEqBandCount], eqR[kEqBandCount];
  eqResetBank(eqL);
  eqResetBank(eqR);
  eqInitialiseBanks(eqL, eqR, 44100);
  float levels[kEqBandCount] = {};
  std::vector<float> delayed(count, 0.0f);
  for (int n = 1024; n < count; ++n) delayed[n] = speech[n - 1024];
  std::vector<float> eqLeft = delayed, eqRight = delayed;
  for (int b = 0; b < blocks; ++b) {
    if (b == updateBlock) updateEqualiser(eqL, eqR, bandGains, 0.0f, 44100);
    runEqualiser(eqL, eqR, levels, eqLeft.data() + b * frames, eqRight.data() + b * frames, frames);
  }
  for (int n = 0; n < count; ++n) {
    ASSERT_NEAR(left[n], eqLeft[n] + delayed[n], 1e-6f) << n;
    ASSERT_NEAR(right[n], eqRight[n] + delayed[n], 1e-6f) << n;
  }
  vxlog::flush();  // the render thread queues the alert; the log's writer shows it
  EXPECT_EQ(gAlerts, 1);  // one input buffer: the channel alert, once
  alert::setPresenter(nullptr, nullptr);
}

TEST(TarnwickRender, UpdatesRunEverySixteenthOfASecondAtTheFirstBlockAfterIt) {
  Rig rig(2, 2, 48000, {engine_fixture::sawtooth(48000), engine_fixture::sawtooth(48000, 220)});
  ASSERT_EQ(rig.init(), noErr);
  LevelListener levels(rig.fx.refCon());
  OutputBuffers out(2, 512);
  rig.fx.setParameter(kParamEqOutGain, 20);
  for (int call = 1; call <= 13; ++call) {
    ASSERT_EQ(renderBlock(rig.fx.unit(), out, (call - 1) * 512), noErr);
    // Updates on calls 1, 7 and 13 (after 0, 3072 and 6144 samples: the interval is 3000).
    const int expected = call >= 13 ? 3 : (call >= 7 ? 2 : 1);
    ASSERT_EQ(levels.posts(), expected) << call;
    if (call == 1) {
      EXPECT_EQ(rig.fx.parameter(kParamEqOutGain), 12.0f);  // clamped at the update
    }
  }
  double sum = 0;
  for (float v : levels.last()) sum += v;
  EXPECT_GT(sum, 0.0);
}

TEST(TarnwickRender, AllocatesNothingOnceRunning) {
  clearPreferences();
  Rig rig(2, 2, 44100, {engine_fixture::speechLike(44100), engine_fixture::sawtooth(44100)});
  InputFeed side;  // the side chain too: the combined list is built every block
  side.channels = {engine_fixture::sawtooth(44100, 220), engine_fixture::sawtooth(44100, 330)};
  ASSERT_EQ(rig.fx.setFormat(kAudioUnitScope_Input, 1, 44100, 2), noErr);
  ASSERT_EQ(side.connect(rig.fx.unit(), 1), noErr);
  rig.fx.setParameter(kParamRoomAmount, 40);
  rig.fx.setParameter(kParamSynthFatMode, 1);
  ASSERT_EQ(rig.init(), noErr);
  rig.fx.midi(0x90, 60, 100);
  rig.fx.midi(0x90, 67, 100);
  OutputBuffers out(2, 512);
  ASSERT_EQ(renderBlock(rig.fx.unit(), out, 0), noErr);
  LevelListener levels(rig.fx.refCon());  // an observer is registered before counting starts
  alloc_counter::Scope scope;
  for (int b = 1; b < 60; ++b) {
    if (b % 10 == 0) rig.fx.setParameter(kParamSoundMode, static_cast<float>(b / 10));
    ASSERT_EQ(renderBlock(rig.fx.unit(), out, b * 512), noErr);
  }
  EXPECT_EQ(scope.allocations(), 0);
  EXPECT_GT(levels.posts(), 5);
  for (UInt32 n = 0; n < 512; ++n) ASSERT_TRUE(std::isfinite(out.channel(0)[n]));
}

namespace {
// Render callbacks that damage the list they are handed.
OSStatus interleavedInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                          AudioBufferList* io) {
  io->mBuffers[0].mNumberChannels = 2;
  return noErr;
}
OSStatus shortSecondBuffer(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                           UInt32 frames, AudioBufferList* io) {
  io->mBuffers[1].mDataByteSize = (frames - 1) * 4;
  return noErr;
}
}  // namespace

TEST(TarnwickRender, DamagedInputListsAreRefusedWithTheirMessageAndTouchNothing) {
  for (auto [callback, message] :
       {std::pair{&interleavedInput,
                  "we don't support interlaced audio input buffers in this version"},
        std::pair{&shortSecondBuffer,
                  "inBufferList.mBuffers[1] doesn't seem to be in proper floating point format "
                  "(mDataByteSize is 1020 should be 1024)"}}) {
    Instance fx;
    AURenderCallbackStruct feed{callback, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_SetRenderCallback,
                                   kAudioUnitScope_Input, 0, &feed, sizeof feed),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
    OutputBuffers out(2, 256);
    for (UInt32 c = 0; c < 2; ++c) {
      float* samples = static_cast<float*>(out.list().mBuffers[c].mData);
      std::fill(samples, samples + 256, 7.0f);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(renderBlock(fx.unit(), out, 0), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(message), std::string::npos) << message;
    EXPECT_EQ(out.channel(0)[0], 7.0f);
    EXPECT_EQ(out.channel(1)[255], 7.0f);
  }
}

TEST(TarnwickRender, SideChainCarrierReachesTheEngineAndBypassPassesTheInput) {
  clearPreferences();
  const int frames = 512, blocks = 24, count = frames * blocks;
  std::vector<float> speech = engine_fixture::speechLike(count);
  auto render = [&](bool withCarrier, bool bypass) {
    Rig rig(2, 2, 44100, {speech, speech});
    InputFeed side;
    side.channels = {withCarrier ? engine_fixture::sawtooth(count) : std::vector<float>(count)};
    EXPECT_EQ(rig.fx.setFormat(kAudioUnitScope_Input, 1, 44100, 2), noErr);
    EXPECT_EQ(side.connect(rig.fx.unit(), 1), noErr);
    rig.fx.setParameter(kParamSynthOn, 0);
    rig.fx.setParameter(kParamFilterbankAmt, 100);
    rig.fx.setParameter(kParamRoomAmount, 0);
    UInt32 flag = bypass ? 1 : 0;
    AudioUnitSetProperty(rig.fx.unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                         &flag, sizeof flag);
    EXPECT_EQ(rig.init(), noErr);
    return renderLeft(rig, blocks, frames);
  };
  auto energy = [](const std::vector<float>& v) {
    double e = 0;
    for (size_t n = 4096; n < v.size(); ++n) e += double(v[n]) * v[n];
    return e;
  };
  EXPECT_LT(energy(render(false, false)), 1e-6);  // silent carrier: nothing to vocode
  EXPECT_GT(energy(render(true, false)), 1.0);
  EXPECT_EQ(render(true, true), speech);  // bypass copies the main input
}
