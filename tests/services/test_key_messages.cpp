// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/key_list.h"
#include "platform/notify/notification_center.h"
#include "platform/prefs/preferences.h"
#include "private_home.h"
#include "services/background_notification_mgr.h"
#include "services/notification_names.h"

using tarnwick_services::Tarnwick_BackgroundNotificationMgr;

namespace {

std::vector<float> heldKeys(VocoderEngine& engine) {
  float keys[kHeldKeyCount];
  engineCopyKeyList(engine, keys);
  std::vector<float> held;
  for (float key : keys) {
    if (key != 0.0f) held.push_back(key);
  }
  std::sort(held.begin(), held.end());
  return held;
}

void post(const char* name, uint64_t refCon, int note = -1) {
  notify::UserInfo info;
  info[tarnwick_notify::kRefConKey] = refCon;
  if (note >= 0) info[tarnwick_notify::kKeysNumberKey] = static_cast<uint64_t>(note);
  notify::Center::defaultCenter().post(name, nullptr, info);
}

class KeyMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    privateHome();
    ASSERT_TRUE(writeIntPreference(tarnwick_services::kPreferenceDomain,
                                   tarnwick_services::kEnableUpdateCheckKey, 0));
    mgr = std::make_unique<Tarnwick_BackgroundNotificationMgr>();
    ASSERT_TRUE(mgr->init());
    EXPECT_FALSE(mgr->checkStarted());
    EXPECT_FALSE(mgr->timerScheduled());
    mgr->setInstance(engine.get(), kRefCon, [this] { ++posts; });
  }

  static constexpr uint64_t kRefCon = 0x00007f12345678a0ull;
  std::unique_ptr<VocoderEngine> engine = std::make_unique<VocoderEngine>();
  std::unique_ptr<Tarnwick_BackgroundNotificationMgr> mgr;
  int posts = 0;
};

}  // namespace

TEST_F(KeyMessages, MatchingKeyOnOffAndAllOffReachTheEngineAndPostTheList) {
  post(tarnwick_notify::kKeyOnMsg, kRefCon, 60);
  post(tarnwick_notify::kKeyOnMsg, kRefCon, 64);
  EXPECT_EQ(heldKeys(*engine), (std::vector<float>{60, 64}));
  EXPECT_EQ(posts, 2);
  post(tarnwick_notify::kKeyOffMsg, kRefCon, 60);
  EXPECT_EQ(heldKeys(*engine), (std::vector<float>{64}));
  EXPECT_EQ(posts, 3);
  post(tarnwick_notify::kAllKeysOffMsg, kRefCon);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 4);
}

TEST_F(KeyMessages, KeyOffForANoteNotHeldStillPosts) {
  post(tarnwick_notify::kKeyOffMsg, kRefCon, 1);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 1);
}

TEST_F(KeyMessages, ForeignOrMissingRefConIsDropped) {
  // Same lower 32 bits, different upper bits: the whole 64-bit reference must match.
  post(tarnwick_notify::kKeyOnMsg, kRefCon & 0xffffffffull, 60);
  post(tarnwick_notify::kKeyOnMsg, kRefCon + 1, 61);
  notify::UserInfo noRefCon;
  noRefCon[tarnwick_notify::kKeysNumberKey] = uint64_t{62};
  notify::Center::defaultCenter().post(tarnwick_notify::kKeyOnMsg, nullptr, noRefCon);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 0);
}

TEST_F(KeyMessages, MessageWithoutKeyNumberIsDropped) {
  post(tarnwick_notify::kKeyOnMsg, kRefCon);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 0);
}

TEST_F(KeyMessages, OnlyTheMatchingManagerOfTwoActs) {
  auto otherEngine = std::make_unique<VocoderEngine>();
  int otherPosts = 0;
  Tarnwick_BackgroundNotificationMgr other;
  ASSERT_TRUE(other.init());
  other.setInstance(otherEngine.get(), kRefCon + 0x100, [&] { ++otherPosts; });
  post(tarnwick_notify::kKeyOnMsg, kRefCon + 0x100, 70);
  EXPECT_EQ(heldKeys(*otherEngine), (std::vector<float>{70}));
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(otherPosts, 1);
  EXPECT_EQ(posts, 0);
}

TEST_F(KeyMessages, ManagerWithoutOwnerDropsMessages) {
  mgr->setInstance(nullptr, 0, nullptr);
  post(tarnwick_notify::kKeyOnMsg, kRefCon, 60);
  post(tarnwick_notify::kKeyOnMsg, 0, 60);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 0);
}

TEST_F(KeyMessages, TornDownManagerReceivesNothingAndUnregisters) {
  const size_t registered = notify::Center::defaultCenter().observerCount();
  mgr->tearDown();
  EXPECT_EQ(notify::Center::defaultCenter().observerCount(), registered - 3);
  post(tarnwick_notify::kKeyOnMsg, kRefCon, 60);
  EXPECT_TRUE(heldKeys(*engine).empty());
  EXPECT_EQ(posts, 0);
  mgr->tearDown();  // idempotent
  mgr.reset();
  EXPECT_EQ(notify::Center::defaultCenter().observerCount(), registered - 3);
}
