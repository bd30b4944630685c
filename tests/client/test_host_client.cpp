// SPDX-License-Identifier: GPL-3.0-or-later
// The host client: status texts, input feeds, and a Tarnwick instance opened, fed, rendered in
// pieces, played and saved through it as every host does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "hosts/client/host_client.h"
#include "support/alloc_counter.h"
#include "support/engine_fixture.h"

using host_client::HostedUnit;
using host_client::InputFeed;

namespace {

const std::string kBundle = std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component";

std::string privateHome() {
  static const std::string home = [] {
    char pattern[] = "/tmp/tarnwick-client-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    setenv("HOME", made ? made : "/tmp", 1);
    host_client::disableUpdateChecks();
    return std::string(made ? made : "/tmp");
  }();
  return home;
}

// Pulls `frames` samples of `channels` buffers from feed through its render callback.
std::vector<std::vector<float>> pull(InputFeed& feed, UInt32 channels, UInt32 frames) {
  std::vector<std::vector<float>> out(channels, std::vector<float>(frames, -9.0f));
  std::vector<uint8_t> bytes(audioBufferListSize(channels));
  auto& list = *reinterpret_cast<AudioBufferList*>(bytes.data());
  list.mNumberBuffers = channels;
  for (UInt32 c = 0; c < channels; ++c) {
    list.mBuffers[c] = {1, frames * UInt32(sizeof(float)), out[c].data()};
  }
  EXPECT_EQ(InputFeed::render(&feed, nullptr, nullptr, 0, frames, &list), noErr);
  return out;
}

TEST(HostClient, StatusesReadAsNamesAndNumbers) {
  const struct {
    OSStatus status;
    const char* text;
  } cases[] = {{noErr, "noErr (0)"},
               {paramErr, "paramErr (-50)"},
               {kAudioUnitErr_FormatNotSupported, "kAudioUnitErr_FormatNotSupported (-10868)"},
               {kAudioUnitErr_Initialized, "kAudioUnitErr_Initialized (-10849)"},
               {-2803, "kComponentBundleErr_NoEntrySymbol (-2803)"},
               {1234, "status 1234"}};
  for (const auto& c : cases) EXPECT_EQ(host_client::statusText(c.status), c.text);
  EXPECT_EQ(host_client::failureText("opening the component", -1),
            "opening the component failed (status -1)");
  EXPECT_EQ(host_client::failureText("setting", paramErr), "setting failed (status -50, paramErr)");
}

TEST(HostClient, FeedsReadSourcesPositionsEndsLoopsAndMixedPairs) {
  const std::vector<float> a = {1, 2, 3, 4, 5}, b = {10, 20, 30};
  InputFeed plain;
  plain.setSource(0, a.data(), a.size());
  plain.setSource(1, b.data(), b.size());
  auto out = pull(plain, 3, 4);  // the third channel reads the last source again
  EXPECT_EQ(out[0], (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(out[1], (std::vector<float>{10, 20, 30, 0}));
  EXPECT_EQ(out[2], out[1]);
  EXPECT_EQ(plain.position(), 4u);
  out = pull(plain, 1, 3);  // on from the position, silence past the end
  EXPECT_EQ(out[0], (std::vector<float>{5, 0, 0}));

  InputFeed looping;
  looping.setLooping(true);
  looping.setSource(0, b.data(), b.size());
  looping.setPosition(2);
  EXPECT_EQ(pull(looping, 1, 5)[0], (std::vector<float>{30, 10, 20, 30, 10}));

  InputFeed mixed;
  mixed.setMixedPairs(true);
  mixed.setSource(0, a.data());
  mixed.setSource(1, nullptr);  // a pair with one silent member: half the other
  mixed.setSource(2, a.data());
  mixed.setSource(3, b.data());
  out = pull(mixed, 2, 2);
  EXPECT_EQ(out[0], (std::vector<float>{0.5f, 1.0f}));
  EXPECT_EQ(out[1], (std::vector<float>{5.5f, 11.0f}));

  InputFeed silent;
  EXPECT_EQ(pull(silent, 2, 3)[1], (std::vector<float>{0, 0, 0}));

  // Lending: a source that holds every frame is handed over where it lies; one that ends
  // early is copied and padded, as are looping and mixed feeds.
  std::vector<float> own[2] = {std::vector<float>(3, -9.0f), std::vector<float>(3, -9.0f)};
  uint8_t listBytes[audioBufferListSize(2)];
  auto& lent = *reinterpret_cast<AudioBufferList*>(listBytes);
  const auto pullLent = [&](InputFeed& feed) {
    lent.mNumberBuffers = 2;
    for (UInt32 c = 0; c < 2; ++c) lent.mBuffers[c] = {1, 3 * sizeof(float), own[c].data()};
    return InputFeed::render(&feed, nullptr, nullptr, 0, 3, &lent);
  };
  InputFeed lending;
  lending.setLending(true);
  lending.setSource(0, a.data(), a.size());
  lending.setSource(1, b.data(), b.size());
  lending.setPosition(1);
  ASSERT_EQ(pullLent(lending), noErr);
  EXPECT_EQ(lent.mBuffers[0].mData, a.data() + 1);
  EXPECT_EQ(lent.mBuffers[0].mDataByteSize, 3 * sizeof(float));
  EXPECT_EQ(lent.mBuffers[1].mData, own[1].data());  // b ends after two of the three frames
  EXPECT_EQ(own[1], (std::vector<float>{20, 30, 0}));
  EXPECT_EQ(lending.position(), 4u);
  lending.setLooping(true);
  lending.setPosition(0);
  ASSERT_EQ(pullLent(lending), noErr);
  EXPECT_EQ(lent.mBuffers[0].mData, own[0].data());
  EXPECT_EQ(own[0], (std::vector<float>{1, 2, 3}));
  mixed.setLending(true);
  mixed.setPosition(0);
  ASSERT_EQ(pullLent(mixed), noErr);
  EXPECT_EQ(lent.mBuffers[1].mData, own[1].data());
  EXPECT_EQ(own[1], (std::vector<float>{5.5f, 11.0f, 16.5f}));

  // A buffer too small for the frames is refused.
  float tiny[2];
  uint8_t bytes[audioBufferListSize(1)];
  auto& list = *reinterpret_cast<AudioBufferList*>(bytes);
  list.mNumberBuffers = 1;
  list.mBuffers[0] = {1, sizeof tiny, tiny};
  EXPECT_EQ(InputFeed::render(&plain, nullptr, nullptr, 0, 4, &list), paramErr);
}

TEST(HostClient, AMissingBundleIsAClearError) {
  privateHome();
  std::string error;
  EXPECT_EQ(HostedUnit::open("/nonexistent/Nothing.component", &error), nullptr);
  EXPECT_NE(error.find("cannot load the component bundle '/nonexistent/Nothing.component'"),
            std::string::npos)
      << error;
}

// One stereo instance with a speech-like main input and a sawtooth on the side chain.
struct Rig {
  std::unique_ptr<HostedUnit> unit;
  std::vector<float> speech = engine_fixture::speechLike(20000);
  std::vector<float> saw = engine_fixture::sawtooth(20000, 110.0, 44100.0f);
  InputFeed main, side;
  std::string error;

  explicit Rig(UInt32 maxFrames = 0) {
    privateHome();
    unit = HostedUnit::open(kBundle, &error);
    if (!unit) return;
    main.setSource(0, speech.data(), speech.size());
    side.setSource(0, saw.data(), saw.size());
    EXPECT_TRUE(unit->setFormats(44100.0, 2, &error)) << error;
    EXPECT_TRUE(unit->hasSideChain());
    EXPECT_TRUE(unit->connect(0, &main, &error)) << error;
    EXPECT_TRUE(unit->connect(1, &side, &error)) << error;
    EXPECT_EQ(unit->setParameter(kParamSynthOn, 0.0f), noErr);
    if (maxFrames) {
      EXPECT_EQ(unit->requestMaxFrames(maxFrames), noErr);
    }
  }
  // Renders count frames in calls of `call` frames.
  std::vector<std::vector<float>> render(size_t count, UInt32 call) {
    std::vector<std::vector<float>> out(2, std::vector<float>(count));
    for (size_t at = 0; at < count; at += call) {
      float* pieces[2] = {out[0].data() + at, out[1].data() + at};
      const UInt32 frames = static_cast<UInt32>(std::min<size_t>(call, count - at));
      EXPECT_EQ(unit->render(frames, pieces, 2), noErr);
    }
    return out;
  }
};

TEST(HostClient, RendersInPiecesOfTheMaximumWithTheSameResultAsSmallCalls) {
  Rig pieces(256), small;
  ASSERT_NE(pieces.unit, nullptr) << pieces.error;
  ASSERT_NE(small.unit, nullptr) << small.error;
  EXPECT_EQ(pieces.unit->maxFrames(), 256u);
  float* none[2] = {};
  EXPECT_EQ(pieces.unit->render(16, none, 2), kAudioUnitErr_Uninitialized);
  ASSERT_TRUE(pieces.unit->initialize(&pieces.error)) << pieces.error;
  ASSERT_TRUE(small.unit->initialize(&small.error)) << small.error;
  testing::internal::CaptureStdout();  // the component logs the layout at the first render
  const auto a = pieces.render(12000, 1500);  // each call goes in six pieces of 256 or fewer
  const auto b = small.render(12000, 100);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(pieces.unit->sampleTime(), 12000.0);
  double energy = 0.0, largest = 0.0;
  for (size_t c = 0; c < 2; ++c) {
    for (size_t n = 0; n < a[c].size(); ++n) {
      energy += double(a[c][n]) * a[c][n];
      largest = std::max(largest, double(std::fabs(a[c][n] - b[c][n])));
    }
  }
  EXPECT_GT(energy, 1.0);
  EXPECT_LT(largest, 1e-5);  // block splits reorder float sums; a wrong piece is far larger
}

TEST(HostClient, RenderAllocatesNothingOnceWarmAndNeedsAnInitialisedInstance) {
  Rig rig(512);
  ASSERT_NE(rig.unit, nullptr) << rig.error;
  ASSERT_TRUE(rig.unit->initialize(&rig.error)) << rig.error;
  testing::internal::CaptureStdout();
  rig.render(4096, 700);
  testing::internal::GetCapturedStdout();
  std::vector<float> left(2000, 5.0f), right(2000, 5.0f);
  float* out[2] = {left.data(), right.data()};
  {
    alloc_counter::Scope scope;
    EXPECT_EQ(rig.unit->render(2000, out, 2), noErr);
    EXPECT_EQ(rig.unit->midi(0x90, 60, 100), noErr);
    EXPECT_EQ(rig.unit->render(2000, out, 2), noErr);
    EXPECT_EQ(scope.allocations(), 0);
  }
  // Once uninitialised the client refuses to render and leaves the caller's arrays alone.
  std::fill(left.begin(), left.end(), 5.0f);
  rig.unit->uninitialize();
  EXPECT_FALSE(rig.unit->initialized());
  EXPECT_EQ(rig.unit->render(100, out, 2), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(left[0], 5.0f);
}

TEST(HostClient, StateFilesRoundTripAndBadFilesAreNamed) {
  Rig first;
  ASSERT_NE(first.unit, nullptr) << first.error;
  const std::string path = privateHome() + "/state.plist";
  ASSERT_EQ(first.unit->setParameter(kParamSoundMode, 3.0f), noErr);
  std::string error;
  ASSERT_TRUE(first.unit->saveStateFile(path, &error)) << error;

  Rig second;
  ASSERT_TRUE(second.unit->restoreStateFile(path, &error)) << error;
  plist::Value a, b;
  ASSERT_EQ(first.unit->saveState(&a), noErr);
  ASSERT_EQ(second.unit->saveState(&b), noErr);
  EXPECT_EQ(plist::serialise(a, plist::Format::Xml), plist::serialise(b, plist::Format::Xml));

  EXPECT_FALSE(second.unit->restoreStateFile(privateHome() + "/missing.plist", &error));
  EXPECT_NE(error.find("no such file"), std::string::npos) << error;
  FILE* junk = std::fopen((privateHome() + "/junk.plist").c_str(), "w");
  std::fputs("<?xml not really", junk);
  std::fclose(junk);
  EXPECT_FALSE(second.unit->restoreStateFile(privateHome() + "/junk.plist", &error));
  EXPECT_NE(error.find("not a property list"), std::string::npos) << error;
  EXPECT_NE(second.unit->refCon(), 0u);
  EXPECT_NE(second.unit->refCon(), first.unit->refCon());
}

TEST(HostClient, InstancesOpenedAfterTheSwitchStartNoUpdateCheck) {
  privateHome();
  testing::internal::CaptureStdout();
  Rig rig;
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_NE(rig.unit, nullptr) << rig.error;
  EXPECT_NE(log.find("Automatic update checking has been disabled"), std::string::npos) << log;
  EXPECT_EQ(log.find("Automatic update checking is supported"), std::string::npos) << log;
}

}  // namespace
