// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI into the held keys, and the saved state with its key list, through the host calls.
#include <gtest/gtest.h>

#include <random>

#include "component/parameter_table.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;

namespace {

plist::Value keyListState(std::initializer_list<float> notes) {
  std::vector<float> keys(32, 0.0f);
  size_t i = 0;
  for (float n : notes) keys[i++] = n;
  const auto* bytes = reinterpret_cast<const uint8_t*>(keys.data());
  return plist::Value::data(plist::Data(bytes, bytes + 128));
}

}  // namespace

TEST(TarnwickMidi, NotesBecomeHeldKeysAndEachChangeIsPosted) {
  clearPreferences();
  Instance fx;
  KeyListener keys(fx.refCon());
  EXPECT_EQ(fx.midi(0x90, 60, 100), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(keys.posts(), 0u);
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  EXPECT_EQ(fx.midi(0x90, 60, 100), noErr);
  EXPECT_EQ(fx.midi(0x91, 60, 90), noErr);  // the same note twice takes two slots
  EXPECT_EQ(fx.midi(0x9F, 64, 90), noErr);
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 60, 64}));
  EXPECT_EQ(fx.midi(0x80, 60, 0), noErr);  // one note-off frees both
  EXPECT_EQ(keys.held(), (std::vector<int>{64}));
  EXPECT_EQ(fx.midi(0x90, 64, 0), noErr);  // velocity 0 is a note-off
  EXPECT_TRUE(keys.held().empty());
  EXPECT_EQ(keys.posts(), 5u);

  for (int n = 0; n < 33; ++n) fx.midi(0x90, 40 + n, 100);
  EXPECT_EQ(keys.held().size(), 32u);
  const size_t before = keys.posts();
  EXPECT_EQ(fx.midi(0xB0, 123, 0), noErr);  // all-notes-off leaves the keys
  EXPECT_EQ(fx.midi(0xB0, 120, 0), noErr);
  EXPECT_EQ(fx.midi(0xE0, 0, 0), noErr);  // the pitch wheel posts nothing
  EXPECT_EQ(fx.midi(0xC0, 5, 0), noErr);
  EXPECT_EQ(keys.posts(), before);
  EXPECT_EQ(keys.held().size(), 32u);
}

TEST(TarnwickMidi, TheChannelPreferenceFiltersNotesAndBend) {
  clearPreferences();
  ASSERT_TRUE(writeIntPreference(kDomain, "userMidiChannel", 2));
  Instance two;
  ASSERT_TRUE(writeIntPreference(kDomain, "userMidiChannel", 16));
  Instance none;
  clearPreferences();
  for (Instance* fx : {&two, &none}) ASSERT_EQ(AudioUnitInitialize(fx->unit()), noErr);
  KeyListener twoKeys(two.refCon()), noneKeys(none.refCon());
  EXPECT_EQ(two.midi(0x90, 60, 100), noErr);  // channel 0: ignored
  EXPECT_EQ(twoKeys.posts(), 0u);
  EXPECT_EQ(two.midi(0x92, 62, 100), noErr);
  EXPECT_EQ(twoKeys.held(), (std::vector<int>{62}));
  for (int ch = 0; ch < 16; ++ch) none.midi(0x90 | ch, 60, 100);
  EXPECT_EQ(noneKeys.posts(), 0u);
}

TEST(TarnwickState, SaveRestoreRoundTripWithTheHeldKeys) {
  clearPreferences();
  Instance source;
  ASSERT_EQ(AudioUnitInitialize(source.unit()), noErr);
  std::mt19937 random(5);
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const ParameterDescription& s = parameterDescription(id);
    std::uniform_real_distribution<float> value(s.minValue, s.maxValue);
    source.setParameter(id, value(random));
  }
  source.midi(0x90, 60, 100);
  source.midi(0x90, 64, 100);
  plist::Value saved;
  ASSERT_EQ(source.saveState(saved), noErr);
  ASSERT_TRUE(saved.find("VexaphonTarnwickKeylistState"));
  EXPECT_EQ(saved.find("VexaphonTarnwickKeylistState")->asData().size(), 128u);

  Instance target;
  KeyListener keys(target.refCon());
  ASSERT_EQ(target.restoreState(saved), noErr);
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    EXPECT_EQ(target.parameter(id), source.parameter(id)) << id;
  }
  EXPECT_EQ(keys.posts(), 1u);
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 64}));
  plist::Value again;
  ASSERT_EQ(target.saveState(again), noErr);
  EXPECT_EQ(plist::serialise(again), plist::serialise(saved));
  EXPECT_EQ(plist::serialise(again, plist::Format::Binary),
            plist::serialise(saved, plist::Format::Binary));
}

TEST(TarnwickState, TheKeyListEntryDecidesKeysAndThePendingFlag) {
  Instance fx;
  uint64_t address = 0;
  UInt32 size = sizeof address;
  ASSERT_EQ(AudioUnitGetProperty(fx.unit(), 65537, kAudioUnitScope_Global, 0, &address, &size),
            noErr);
  const uint8_t* pending = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
  plist::Value base;
  ASSERT_EQ(fx.saveState(base), noErr);
  KeyListener keys(fx.refCon());

  plist::Value withoutKeys = base;
  withoutKeys.asDictionary().erase("VexaphonTarnwickKeylistState");
  ASSERT_EQ(fx.restoreState(withoutKeys), noErr);
  EXPECT_EQ(*pending, 1);
  EXPECT_EQ(keys.posts(), 0u);

  plist::Value empty = base;
  empty.set("VexaphonTarnwickKeylistState", plist::Value::data({}));
  ASSERT_EQ(fx.restoreState(empty), noErr);
  EXPECT_EQ(*pending, 0);
  EXPECT_EQ(keys.posts(), 0u);

  plist::Value two = base;
  two.set("VexaphonTarnwickKeylistState", keyListState({60, 64}));
  ASSERT_EQ(fx.restoreState(two), noErr);
  EXPECT_EQ(keys.posts(), 1u);
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 64}));

  // Short and long lists: three bytes change only the first slot's low bytes; 5000 bytes are
  // cut to 128.
  plist::Value longList = base;
  std::vector<float> many(1250, 0.0f);
  many[0] = 50.0f;
  many[40] = 70.0f;
  const auto* bytes = reinterpret_cast<const uint8_t*>(many.data());
  longList.set("VexaphonTarnwickKeylistState",
               plist::Value::data(plist::Data(bytes, bytes + 5000)));
  ASSERT_EQ(fx.restoreState(longList), noErr);
  EXPECT_EQ(keys.held(), (std::vector<int>{50}));
  plist::Value shortList = base;
  shortList.set("VexaphonTarnwickKeylistState", plist::Value::data({0, 0, 0}));
  ASSERT_EQ(fx.restoreState(shortList), noErr);
  EXPECT_EQ(keys.posts(), 3u);
}

TEST(TarnwickState, HostileStatesAreRefusedAndChangeNothing) {
  Instance fx;
  fx.setParameter(kParamSoundMode, 3.0f);
  plist::Value good;
  ASSERT_EQ(fx.saveState(good), noErr);
  KeyListener keys(fx.refCon());
  auto expectRefused = [&](const plist::Value& state, OSStatus expected) {
    fx.setParameter(kParamSoundMode, 5.0f);
    EXPECT_EQ(fx.restoreState(state), expected);
    EXPECT_EQ(fx.parameter(kParamSoundMode), 5.0f);
    EXPECT_EQ(keys.posts(), 0u);
  };
  expectRefused(plist::Value::array(), kAudioUnitErr_InvalidPropertyValue);
  expectRefused(plist::Value::dictionary(), kAudioUnitErr_InvalidPropertyValue);
  plist::Value wrongKeys = good;
  wrongKeys.set("VexaphonTarnwickKeylistState", plist::Value::string("60,64"));
  expectRefused(wrongKeys, kAudioUnitErr_InvalidPropertyValue);
  plist::Value wrongSubtype = good;
  wrongSubtype.set("subtype", plist::Value::integer(1));
  expectRefused(wrongSubtype, kAudioUnitErr_InvalidPropertyValue);
  plist::Value part = good;
  part.set("part", plist::Value::integer(0));
  expectRefused(part, kAudioUnitErr_InvalidPropertyValue);
  plist::Value truncated = good;
  plist::Data data = good.find("data")->asData();
  data.resize(data.size() - 3);
  truncated.set("data", plist::Value::data(data));
  expectRefused(truncated, kAudioUnitErr_InvalidPropertyValue);
  plist::Value lying = good;
  data = good.find("data")->asData();
  data[11] = 200;  // parameter count beyond the data
  lying.set("data", plist::Value::data(data));
  expectRefused(lying, kAudioUnitErr_InvalidPropertyValue);
  plist::Value scope7 = good;
  data = good.find("data")->asData();
  data[3] = 7;
  scope7.set("data", plist::Value::data(data));
  expectRefused(scope7, kAudioUnitErr_InvalidScope);

  std::mt19937 random(9);
  for (int trial = 0; trial < 200; ++trial) {
    plist::Data noise(1 + random() % 400);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    if (trial % 2) std::memcpy(noise.data(), "bplist00", std::min<size_t>(8, noise.size()));
    const auto parsed = plist::parse(noise.data(), noise.size());
    if (parsed) {
      EXPECT_NE(fx.restoreState(*parsed), noErr);
    }
  }
}

TEST(TarnwickKeys, EditorKeyMessagesReachTheEngineOfTheirInstanceOnly) {
  clearPreferences();
  Instance fx, other;
  KeyListener keys(fx.refCon()), otherKeys(other.refCon());
  auto post = [](const char* name, uint64_t refCon, int note) {
    notify::UserInfo info;
    info["Vexaphon_Tarnwick_RefCon"] = refCon;
    if (note >= 0) info["Vexaphon_Tarnwick_KeysNumber"] = static_cast<uint64_t>(note);
    notify::Center::defaultCenter().post(name, nullptr, info);
  };
  post("Vexaphon_Tarnwick_KeyOnMsg", fx.refCon(), 60);
  post("Vexaphon_Tarnwick_KeyOnMsg", fx.refCon(), 64);
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 64}));
  EXPECT_EQ(otherKeys.posts(), 0u);
  post("Vexaphon_Tarnwick_KeyOnMsg", fx.refCon() + 1, 67);  // a foreign instance
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 64}));
  post("Vexaphon_Tarnwick_KeyOffMsg", fx.refCon(), 60);
  EXPECT_EQ(keys.held(), (std::vector<int>{64}));
  post("Vexaphon_Tarnwick_AllKeysOffMsg", fx.refCon(), -1);
  EXPECT_TRUE(keys.held().empty());
  EXPECT_EQ(keys.posts(), 4u);
  EXPECT_EQ(otherKeys.posts(), 0u);
}
