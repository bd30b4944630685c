// SPDX-License-Identifier: GPL-3.0-or-later
// Integer preferences in $HOME/Library/Preferences/<domain>.plist.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <limits>
#include <thread>
#include <vector>

#include "platform/plist/plist_value.h"
#include "platform/prefs/preferences.h"
#include "platform/testing/temp_folder.h"

namespace {

using plist::Value;
using vxtest::TempFolder;

constexpr const char* kDomain = "org.tarnwick.test.prefs";

// Points HOME at a fresh folder for the duration of a test.
class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("HOME");
    mHadHome = old != nullptr;
    if (old) mOldHome = old;
    ::setenv("HOME", mHome.path().c_str(), 1);
  }
  void TearDown() override {
    if (mHadHome) {
      ::setenv("HOME", mOldHome.c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }

  std::string file() const { return mHome.path() + "/Library/Preferences/" + kDomain + ".plist"; }

  void store(const Value& dictionary, plist::Format format = plist::Format::Binary) {
    std::filesystem::create_directories(mHome.path() + "/Library/Preferences");
    ASSERT_TRUE(plist::writeFile(file(), dictionary, format));
  }

  TempFolder mHome;

 private:
  bool mHadHome = false;
  std::string mOldHome;
};

TEST_F(Preferences, PathIsUnderHomeLibraryPreferences) {
  EXPECT_EQ(preferencesPath(kDomain), file());
  EXPECT_EQ(preferencesPath(""), "");
  EXPECT_EQ(preferencesPath("../escape"), "");
  EXPECT_EQ(preferencesPath(".."), "");
}

TEST_F(Preferences, AbsentFileOrKeyReadsMinusOne) {
  EXPECT_EQ(readIntPreference(kDomain, "userMidiChannel"), -1);
  Value values;
  values.set("other", Value::integer(5));
  store(values);
  EXPECT_EQ(readIntPreference(kDomain, "userMidiChannel"), -1);
  EXPECT_EQ(readIntPreference(kDomain, "other"), 5);
  EXPECT_EQ(readIntPreference("", "other"), -1);
}

TEST_F(Preferences, NumbersAndBooleansConvert) {
  Value values;
  values.set("zero", Value::integer(0));
  values.set("three", Value::integer(3));
  values.set("negative", Value::integer(-7));
  values.set("yes", Value::boolean(true));
  values.set("no", Value::boolean(false));
  values.set("real", Value::real(2.9));
  values.set("negativeReal", Value::real(-2.9));
  values.set("huge", Value::integer(int64_t(1) << 40));
  values.set("hugeNegative", Value::integer(-(int64_t(1) << 40)));
  values.set("text", Value::string("3"));
  values.set("blob", Value::data({3}));
  values.set("list", Value::array({Value::integer(3)}));
  values.set("nan", Value::real(std::numeric_limits<double>::quiet_NaN()));
  store(values, plist::Format::Xml);
  EXPECT_EQ(readIntPreference(kDomain, "zero"), 0);
  EXPECT_EQ(readIntPreference(kDomain, "three"), 3);
  EXPECT_EQ(readIntPreference(kDomain, "negative"), -7);
  EXPECT_EQ(readIntPreference(kDomain, "yes"), 1);
  EXPECT_EQ(readIntPreference(kDomain, "no"), 0);
  EXPECT_EQ(readIntPreference(kDomain, "real"), 2);
  EXPECT_EQ(readIntPreference(kDomain, "negativeReal"), -2);
  EXPECT_EQ(readIntPreference(kDomain, "huge"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(readIntPreference(kDomain, "hugeNegative"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(readIntPreference(kDomain, "text"), -1);
  EXPECT_EQ(readIntPreference(kDomain, "blob"), -1);
  EXPECT_EQ(readIntPreference(kDomain, "list"), -1);
  EXPECT_EQ(readIntPreference(kDomain, "nan"), -1);
}

TEST_F(Preferences, WriteCreatesFoldersAndKeepsOtherKeys) {
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableSidechain", 0));
  EXPECT_TRUE(std::filesystem::is_regular_file(file()));
  ASSERT_TRUE(writeIntPreference(kDomain, "userMidiChannel", 3));
  ASSERT_TRUE(writeIntPreference(kDomain, "userMidiChannel", 4));
  EXPECT_EQ(readIntPreference(kDomain, "userEnableSidechain"), 0);
  EXPECT_EQ(readIntPreference(kDomain, "userMidiChannel"), 4);
  EXPECT_EQ(readIntPreference("org.tarnwick.other", "userMidiChannel"), -1);

  ASSERT_TRUE(removePreference(kDomain, "userMidiChannel"));
  EXPECT_EQ(readIntPreference(kDomain, "userMidiChannel"), -1);
  EXPECT_EQ(readIntPreference(kDomain, "userEnableSidechain"), 0);
  EXPECT_TRUE(removePreference(kDomain, "neverStored"));
  EXPECT_TRUE(removePreference("org.tarnwick.nofile", "anything"));
  EXPECT_FALSE(writeIntPreference("", "k", 1));
  EXPECT_EQ(TempFolder::list(mHome.path() + "/Library/Preferences"),
            std::vector<std::string>{std::string(kDomain) + ".plist"});
}

TEST_F(Preferences, ConcurrentWritersLoseNoUpdate) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i <= 10; ++i) {
        EXPECT_TRUE(writeIntPreference(kDomain, "writer" + std::to_string(t), i));
      }
    });
  }
  for (auto& writer : writers) writer.join();
  for (int t = 0; t < 4; ++t)
    EXPECT_EQ(readIntPreference(kDomain, "writer" + std::to_string(t)), 10);
}

TEST_F(Preferences, BrokenFileReadsAbsentAndIsNeverOverwritten) {
  TempFolder::writeText(file(), "<plist><dict><key>userMidiChannel</key><integer>3");
  const std::string before = TempFolder::readText(file());
  EXPECT_EQ(readIntPreference(kDomain, "userMidiChannel"), -1);
  EXPECT_FALSE(writeIntPreference(kDomain, "userMidiChannel", 5));
  EXPECT_FALSE(removePreference(kDomain, "userMidiChannel"));
  EXPECT_EQ(TempFolder::readText(file()), before);

  store(Value::array({Value::integer(1)}));  // valid, but not a dictionary
  EXPECT_EQ(readIntPreference(kDomain, "0"), -1);
  EXPECT_FALSE(writeIntPreference(kDomain, "k", 1));
}

TEST_F(Preferences, UnusableHomeFailsCleanly) {
  TempFolder::writeText(mHome.path() + "/Library", "a file where a folder should be");
  EXPECT_EQ(readIntPreference(kDomain, "k"), -1);
  EXPECT_FALSE(writeIntPreference(kDomain, "k", 1));
  EXPECT_EQ(TempFolder::readText(mHome.path() + "/Library"), "a file where a folder should be");
}

}  // namespace
