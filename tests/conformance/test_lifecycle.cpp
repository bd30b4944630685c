// SPDX-License-Identifier: GPL-3.0-or-later
// Open, initialise, close: instances in a row and alive together, each open timed against a
// stated bound; the notification registrations each instance makes are all returned at close
// (heap leaks are LeakSanitizer's, in the sanitizer pass). Formats: every advertised channel
// configuration initialises and renders, unadvertised ones are refused, and no stream format
// changes while initialised.
#include <algorithm>
#include <memory>
#include <set>

#include "conformance.h"
#include "platform/alert/alert.h"
#include "platform/notify/notification_center.h"

using namespace conformance;

namespace {

// Open plus Initialize, per instance, on a loaded two-core machine: 50 ms in the plain build
// (measured: a median near 0.2 ms, a maximum of a few), 250 ms under the sanitizers.
constexpr double kOpenBoundMs = underSanitizer() ? 250.0 : 50.0;

struct OpenTimes {
  std::vector<double> open, close;
  double median(std::vector<double> v) const {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
  }
  double max(const std::vector<double>& v) const {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
  }
};

std::unique_ptr<Instance> openAndInitialise(OpenTimes& times) {
  const auto start = std::chrono::steady_clock::now();
  auto fx = std::make_unique<Instance>();
  const OSStatus initialised = fx->openStatus() == noErr ? AudioUnitInitialize(fx->unit()) : -1;
  times.open.push_back(millisecondsSince(start));
  EXPECT_EQ(fx->openStatus(), noErr);
  EXPECT_EQ(initialised, noErr);
  return fx;
}

void closeTimed(std::unique_ptr<Instance>& fx, OpenTimes& times) {
  const auto start = std::chrono::steady_clock::now();
  fx.reset();
  times.close.push_back(millisecondsSince(start));
}

}  // namespace

TEST(ConformanceLifecycle, HundredOpenInitialiseCloseInARow) {
  clearPreferences();
  ASSERT_NE(tarnwickComponent(), nullptr);
  const size_t observersBefore = notify::Center::defaultCenter().observerCount();
  OpenTimes times;
  quietly([&] {
    for (int i = 0; i < 100; ++i) {
      auto fx = openAndInitialise(times);
      ASSERT_EQ(AudioUnitUninitialize(fx->unit()), noErr);
      closeTimed(fx, times);
    }
  });
  EXPECT_EQ(notify::Center::defaultCenter().observerCount(), observersBefore);
  figure("instances", times.open.size());
  figure("open_ms_median", times.median(times.open));
  figure("open_ms_max", times.max(times.open));
  figure("close_ms_max", times.max(times.close));
  figure("open_bound_ms", kOpenBoundMs);
  EXPECT_LT(times.max(times.open), kOpenBoundMs);
}

TEST(ConformanceLifecycle, EightAliveAtOnceEachRendering) {
  clearPreferences();
  ASSERT_NE(tarnwickComponent(), nullptr);  // the bundle is loaded once, before the timing
  const size_t observersBefore = notify::Center::defaultCenter().observerCount();
  OpenTimes times;
  std::vector<std::unique_ptr<Instance>> alive;
  std::vector<std::unique_ptr<InputFeed>> feeds;
  quietly([&] {
    for (int i = 0; i < 8; ++i) {
      auto feed = std::make_unique<InputFeed>();
      feed->channels = {engine_fixture::speechLike(4096)};
      const auto start = std::chrono::steady_clock::now();
      auto fx = std::make_unique<Instance>();
      EXPECT_EQ(feed->connect(fx->unit(), 0), noErr);
      EXPECT_EQ(AudioUnitInitialize(fx->unit()), noErr);
      times.open.push_back(millisecondsSince(start));
      alive.push_back(std::move(fx));
      feeds.push_back(std::move(feed));
    }
    OutputBuffers out(2, 512);
    for (int block = 0; block < 4; ++block) {
      for (auto& fx : alive) ASSERT_EQ(renderBlock(fx->unit(), out, block * 512), noErr);
    }
  });
  std::set<uint64_t> refCons;
  for (auto& fx : alive) refCons.insert(fx->refCon());
  EXPECT_EQ(refCons.size(), 8u);  // the editor messages address each one alone
  EXPECT_GT(notify::Center::defaultCenter().observerCount(), observersBefore);
  for (auto& fx : alive) closeTimed(fx, times);
  EXPECT_EQ(notify::Center::defaultCenter().observerCount(), observersBefore);
  figure("alive", refCons.size());
  figure("open_ms_max", times.max(times.open));
  figure("close_ms_max", times.max(times.close));
  figure("open_bound_ms", kOpenBoundMs);
  EXPECT_LT(times.max(times.open), kOpenBoundMs);
}

namespace {

std::vector<AUChannelInfo> advertised(AudioUnit unit) {
  UInt32 size = 0;
  if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels,
                               kAudioUnitScope_Global, 0, &size, nullptr) != noErr) {
    return {};
  }
  std::vector<AUChannelInfo> info(size / sizeof(AUChannelInfo));
  AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                       info.data(), &size);
  return info;
}

}  // namespace

TEST(ConformanceFormats, EveryAdvertisedConfigurationInitialisesAndRenders) {
  clearPreferences();
  std::vector<AUChannelInfo> configs;
  {
    Instance probe;
    configs = advertised(probe.unit());
  }
  ASSERT_FALSE(configs.empty());
  int rendered = 0;
  for (const AUChannelInfo& config : configs) {
    SCOPED_TRACE(testing::Message()
                 << config.inChannels << " in, " << config.outChannels << " out");
    Instance fx;
    InputFeed feed;
    feed.channels = {engine_fixture::speechLike(8192), engine_fixture::sawtooth(8192)};
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 48000, UInt32(config.inChannels)), noErr);
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 48000, UInt32(config.outChannels)), noErr);
    ASSERT_EQ(feed.connect(fx.unit(), 0), noErr);
    alert::setPresenter([](const alert::Alert&, void*) { return alert::kDefaultButton; }, nullptr);
    quietly([&] {
      ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
      OutputBuffers out(UInt32(config.outChannels), 512);
      SampleStats stats;
      for (int block = 0; block < 12; ++block) {
        ASSERT_EQ(renderBlock(fx.unit(), out, block * 512), noErr);
        for (UInt32 c = 0; c < UInt32(config.outChannels); ++c) stats.add(out.channel(c), 512);
      }
      EXPECT_EQ(stats.bad(), 0);
      EXPECT_GT(stats.peak, 0.0);
      ++rendered;
    });
    alert::setPresenter(nullptr, nullptr);
  }
  figure("advertised", configs.size());
  figure("initialised_and_rendered", rendered);
}

TEST(ConformanceFormats, UnadvertisedConfigurationsAreRefusedWithFormatNotSupported) {
  clearPreferences();
  const std::pair<UInt32, UInt32> unadvertised[] = {{1, 1}, {4, 4}, {2, 4}, {4, 2}, {3, 2}, {1, 3}};
  int refused = 0;
  for (auto [in, out] : unadvertised) {
    SCOPED_TRACE(testing::Message() << in << " in, " << out << " out");
    Instance fx;
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 44100, in), noErr);
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, out), noErr);
    const OSStatus status = AudioUnitInitialize(fx.unit());
    EXPECT_EQ(status, kAudioUnitErr_FormatNotSupported);
    refused += status == kAudioUnitErr_FormatNotSupported;
    // Refused, the unit stays uninitialised and usable: a valid layout then initialises.
    OutputBuffers buffers(2, 64);
    EXPECT_EQ(renderBlock(fx.unit(), buffers, 0), kAudioUnitErr_Uninitialized);
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 44100, 2), noErr);
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, 2), noErr);
    EXPECT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  }
  // A format that is not canonical (interleaved, or 16-bit integers) is refused when set.
  Instance fx;
  AudioStreamBasicDescription f{};
  f.mSampleRate = 44100;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;  // interleaved
  f.mChannelsPerFrame = 2;
  f.mBytesPerPacket = f.mBytesPerFrame = 8;
  f.mFramesPerPacket = 1;
  f.mBitsPerChannel = 32;
  EXPECT_EQ(AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input,
                                 0, &f, sizeof f),
            kAudioUnitErr_FormatNotSupported);
  f.mFormatFlags = kAudioFormatFlagIsNonInterleaved | kAudioFormatFlagIsPacked;  // integers
  f.mBytesPerPacket = f.mBytesPerFrame = 2;
  f.mBitsPerChannel = 16;
  EXPECT_EQ(AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input,
                                 0, &f, sizeof f),
            kAudioUnitErr_FormatNotSupported);
  figure("unadvertised_refused", refused);
  figure("error_code", kAudioUnitErr_FormatNotSupported);
}

TEST(ConformanceFormats, NoStreamFormatChangesWhileInitialised) {
  clearPreferences();
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  struct Change {
    AudioUnitScope scope;
    AudioUnitElement bus;
    double rate;
    UInt32 channels;
  };
  const Change changes[] = {{kAudioUnitScope_Input, 0, 48000, 2},
                            {kAudioUnitScope_Input, 0, 44100, 1},
                            {kAudioUnitScope_Input, 1, 96000, 2},
                            {kAudioUnitScope_Output, 0, 48000, 2},
                            {kAudioUnitScope_Output, 0, 44100, 1}};
  int refused = 0;
  for (const Change& c : changes) {
    const OSStatus status = fx.setFormat(c.scope, c.bus, c.rate, c.channels);
    EXPECT_EQ(status, kAudioUnitErr_Initialized) << c.scope << "/" << c.bus;
    refused += status == kAudioUnitErr_Initialized;
    AudioStreamBasicDescription now{};
    UInt32 size = sizeof now;
    ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_StreamFormat, c.scope, c.bus, &now,
                                   &size),
              noErr);
    EXPECT_EQ(now.mSampleRate, 44100.0);
    EXPECT_EQ(now.mChannelsPerFrame, 2u);
  }
  // Setting the format already in place is no change, and the maximum frames cannot change.
  EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, 2), noErr);
  UInt32 frames = 4096;
  EXPECT_EQ(AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_MaximumFramesPerSlice,
                                 kAudioUnitScope_Global, 0, &frames, sizeof frames),
            kAudioUnitErr_Initialized);
  // Uninitialised again, the same changes are taken.
  ASSERT_EQ(AudioUnitUninitialize(fx.unit()), noErr);
  for (const Change& c : changes)
    EXPECT_EQ(fx.setFormat(c.scope, c.bus, c.rate, c.channels), noErr);
  figure("changes_refused", refused);
  figure("error_code", kAudioUnitErr_Initialized);
}
