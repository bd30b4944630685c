// SPDX-License-Identifier: GPL-3.0-or-later
// The class-info dictionary: what SaveState writes, byte for byte, restoring it into a fresh
// instance, and hostile dictionaries that must be refused without changing anything.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "aubase/au_host.h"
#include "aubase/gain_effect.h"

namespace {
using namespace gain_effect;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;

void AppendWord(plist::Data& ioData, uint32_t inWord) {
  for (int shift = 24; shift >= 0; shift -= 8) ioData.push_back(uint8_t(inWord >> shift));
}

// A "data" block: scope, element, count, then (id, value bits) pairs, big-endian.
plist::Data Block(uint32_t inScope, uint32_t inElement,
                  const std::vector<std::pair<uint32_t, float>>& inPairs,
                  uint32_t inCount = UINT32_MAX) {
  plist::Data bytes;
  AppendWord(bytes, inScope);
  AppendWord(bytes, inElement);
  AppendWord(bytes, inCount == UINT32_MAX ? uint32_t(inPairs.size()) : inCount);
  for (const auto& [id, value] : inPairs) {
    AppendWord(bytes, id);
    AppendWord(bytes, std::bit_cast<uint32_t>(value));
  }
  return bytes;
}

plist::Data Join(std::initializer_list<plist::Data> inParts) {
  plist::Data joined;
  for (const plist::Data& part : inParts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

struct PresetListener {
  int present = 0, current = 0;
  static void Proc(void* inRefCon, AudioUnit, AudioUnitPropertyID inID, AudioUnitScope,
                   AudioUnitElement) {
    auto* self = static_cast<PresetListener*>(inRefCon);
    if (inID == kAudioUnitProperty_PresentPreset) ++self->present;
    if (inID == kAudioUnitProperty_CurrentPreset) ++self->current;
  }
};

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mUnit.openStatus(), noErr);
    ASSERT_EQ(mUnit.setParameter(kGain, kGlobal, 0, 0.5f), noErr);
    ASSERT_EQ(mUnit.setParameter(kOffset, kGlobal, 0, -0.25f), noErr);
    ASSERT_EQ(mUnit.setParameter(kMode, kGlobal, 0, 2.0f), noErr);
    ASSERT_EQ(mUnit.set(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0,
                        plist::Value::string("Voice In")),
              noErr);
    ASSERT_EQ(mUnit.set(kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, "Dark"}), noErr);
  }
  static plist::Value Save(HostedUnit& inUnit) {
    plist::Value state = plist::Value::string("not saved");
    EXPECT_EQ(inUnit.get(kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
    return state;
  }
  static OSStatus Restore(HostedUnit& inUnit, const plist::Value& inState) {
    return inUnit.set(kAudioUnitProperty_ClassInfo, kGlobal, 0, inState);
  }
  static std::string PresetName(HostedUnit& inUnit) {
    AUPreset preset{};
    EXPECT_EQ(inUnit.get(kAudioUnitProperty_PresentPreset, kGlobal, 0, preset), noErr);
    return preset.presetName ? preset.presetName : "(null)";
  }

  HostedUnit mUnit{&Entry, kDescription};
};

// ---- save

TEST_F(StateTest, SaveWritesTheClassInfoDictionary) {
  const plist::Value state = Save(mUnit);
  ASSERT_TRUE(state.isDictionary());
  const auto& entries = state.asDictionary();
  EXPECT_EQ(entries.size(), 7u);  // no render-quality or cpu-load: neither property is offered
  ASSERT_NE(state.find("version"), nullptr);
  EXPECT_TRUE(state.find("version")->isInteger());
  EXPECT_EQ(state.find("version")->asInteger(), 0);
  EXPECT_EQ(state.find("type")->asInteger(), int64_t(kDescription.componentType));
  EXPECT_EQ(state.find("subtype")->asInteger(), int64_t(kDescription.componentSubType));
  EXPECT_EQ(state.find("manufacturer")->asInteger(), int64_t(kDescription.componentManufacturer));
  EXPECT_EQ(state.find("name")->asString(), "Dark");
  const plist::Value* names = state.find("element-name");
  ASSERT_NE(names, nullptr);
  ASSERT_NE(names->find("1"), nullptr);
  ASSERT_NE(names->find("1")->find("0"), nullptr);
  EXPECT_EQ(names->find("1")->find("0")->asString(), "Voice In");
  EXPECT_EQ(names->asDictionary().size(), 1u);

  ASSERT_TRUE(state.find("data")->isData());
  const plist::Data expected = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x03,                           // global 0, 3
                                0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00,   // 0: 0.5
                                0x00, 0x00, 0x00, 0x01, 0xBE, 0x80, 0x00, 0x00,   // 1: -0.25
                                0x00, 0x00, 0x00, 0x02, 0x40, 0x00, 0x00, 0x00};  // 2: 2.0
  EXPECT_EQ(state.find("data")->asData(), expected);
}

TEST_F(StateTest, ElementNamesAreLeftOutWhenNoElementHasOne) {
  HostedUnit fresh(&Entry, kDescription);
  const plist::Value state = Save(fresh);
  EXPECT_EQ(state.find("element-name"), nullptr);
  EXPECT_EQ(state.find("name")->asString(), "Untitled");
  plist::Value wrongSize;
  UInt32 size = sizeof(plist::Value) - 1;
  EXPECT_EQ(fresh.getProperty(kAudioUnitProperty_ClassInfo, kGlobal, 0, &wrongSize, &size),
            paramErr);
}

// ---- restore

TEST_F(StateTest, RoundTripIntoAFreshInstanceIsExact) {
  ASSERT_EQ(mUnit.setParameter(kOffset, kGlobal, 0, 0.1f), noErr);  // not exactly representable
  const plist::Value saved = Save(mUnit);
  HostedUnit fresh(&Entry, kDescription);
  ASSERT_EQ(fresh.openStatus(), noErr);
  PresetListener listener;
  ASSERT_EQ(fresh.addListener(kAudioUnitProperty_PresentPreset, &PresetListener::Proc, &listener),
            noErr);
  ASSERT_EQ(fresh.addListener(kAudioUnitProperty_CurrentPreset, &PresetListener::Proc, &listener),
            noErr);
  ASSERT_EQ(Restore(fresh, saved), noErr);
  EXPECT_EQ(listener.present, 1);
  EXPECT_EQ(listener.current, 1);
  EXPECT_EQ(fresh.parameter(kGain), 0.5f);
  EXPECT_EQ(fresh.parameter(kOffset), 0.1f);
  EXPECT_EQ(fresh.parameter(kMode), 2.0f);
  EXPECT_EQ(PresetName(fresh), "Dark");
  AUPreset preset{};
  ASSERT_EQ(fresh.get(kAudioUnitProperty_CurrentPreset, kGlobal, 0, preset), noErr);
  EXPECT_EQ(preset.presetNumber, -1);
  plist::Value name;
  ASSERT_EQ(fresh.get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, name), noErr);
  EXPECT_EQ(name.asString(), "Voice In");

  const plist::Value resaved = Save(fresh);
  EXPECT_EQ(plist::serialise(resaved), plist::serialise(saved));
  EXPECT_EQ(plist::serialise(resaved, plist::Format::Binary),
            plist::serialise(saved, plist::Format::Binary));
}

TEST_F(StateTest, RestoreThroughSerialisedBytes) {
  const plist::Data bytes = plist::serialise(Save(mUnit), plist::Format::Binary);
  const std::optional<plist::Value> parsed = plist::parse(bytes.data(), bytes.size());
  ASSERT_TRUE(parsed.has_value());
  HostedUnit fresh(&Entry, kDescription);
  ASSERT_EQ(Restore(fresh, *parsed), noErr);
  EXPECT_EQ(fresh.parameter(kOffset), -0.25f);
}

TEST_F(StateTest, MissingNameRestoresAsUntitledAndTypeIsNotCompared) {
  plist::Value state = Save(mUnit);
  state.asDictionary().erase("name");
  state.set("type", plist::Value::integer(fourCharCode("aufx")));
  ASSERT_EQ(Restore(mUnit, state), noErr);
  EXPECT_EQ(PresetName(mUnit), "Untitled");
  state.asDictionary().erase("type");
  state.asDictionary().erase("data");
  ASSERT_EQ(Restore(mUnit, state), noErr);
  EXPECT_EQ(mUnit.parameter(kGain), 0.5f);
}

TEST_F(StateTest, DataWalkFollowsTheElementRules) {
  plist::Value state = Save(mUnit);
  // Ids beyond the indexed count are ignored; a block for a missing element ends the walk.
  state.set("data", plist::Value::data(Join({Block(0, 0, {{1, 0.75f}, {9, 3.0f}}),
                                             Block(1, 0, {{40, 1.0f}}),
                                             Block(2, 5, {{0, 1.0f}}),
                                             Block(0, 0, {{0, 0.125f}}),
                                             {0xFF}})));
  ASSERT_EQ(Restore(mUnit, state), noErr);
  EXPECT_EQ(mUnit.parameter(kOffset), 0.75f);
  EXPECT_EQ(mUnit.parameter(kGain), 0.5f);  // after the missing element: not read
  float value = 0;
  EXPECT_EQ(mUnit.getParameter(40, kAudioUnitScope_Input, 0, &value),
            kAudioUnitErr_InvalidParameter);  // not created from a saved state
  // Group and part scopes are known but hold no elements here.
  state.set("data", plist::Value::data(Join({Block(4, 0, {}), Block(7, 0, {})})));
  EXPECT_EQ(Restore(mUnit, state), noErr);
}

TEST(SideChainState, NamesOfEveryBusAreSavedAndRestored) {
  HostedUnit source(&SideChainEntry, kDescription);
  plist::Value state;
  ASSERT_EQ(source.get(kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
  const plist::Value* inputs = state.find("element-name")->find("1");
  ASSERT_NE(inputs, nullptr);
  EXPECT_EQ(inputs->find("0")->asString(), "Main");
  EXPECT_EQ(inputs->find("1")->asString(), "Side");

  HostedUnit target(&SideChainEntry, kDescription);
  ASSERT_EQ(target.set(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 1,
                       plist::Value::string("Renamed")),
            noErr);
  // Names of missing elements and keys that are not indices are ignored.
  state.set("element-name",
            plist::Value::dictionary(
                {{"1", plist::Value::dictionary({{"1", plist::Value::string("Side")},
                                                 {"7", plist::Value::string("Nobody")},
                                                 {"x", plist::Value::string("Nobody")}})}}));
  ASSERT_EQ(target.set(kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
  plist::Value name;
  ASSERT_EQ(target.get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 1, name), noErr);
  EXPECT_EQ(name.asString(), "Side");
  ASSERT_EQ(target.get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, name), noErr);
  EXPECT_EQ(name.asString(), "Main");
}

// ---- hostile dictionaries

struct HostileCase {
  const char* what;
  std::function<void(plist::Value&)> mutate;
  OSStatus expected;
};

TEST_F(StateTest, HostileDictionariesAreRefusedAndChangeNothing) {
  const auto withData = [](plist::Data inBytes) {
    return [inBytes](plist::Value& ioState) { ioState.set("data", plist::Value::data(inBytes)); };
  };
  const auto erase = [](const char* inKey) {
    return [inKey](plist::Value& ioState) { ioState.asDictionary().erase(inKey); };
  };
  const auto put = [](const char* inKey, plist::Value inValue) {
    return [inKey, inValue](plist::Value& ioState) { ioState.set(inKey, inValue); };
  };
  const plist::Data changed = Block(0, 0, {{0, 4.0f}, {1, 1.0f}, {2, 1.0f}});
  const OSStatus bad = kAudioUnitErr_InvalidPropertyValue;
  const std::vector<HostileCase> cases = {
      {"array", [](plist::Value& s) { s = plist::Value::array({}); }, bad},
      {"string", [](plist::Value& s) { s = plist::Value::string("state"); }, bad},
      {"part", put("part", plist::Value::integer(0)), bad},
      {"no version", erase("version"), bad},
      {"version 1", put("version", plist::Value::integer(1)), bad},
      {"version string", put("version", plist::Value::string("0")), bad},
      {"version real", put("version", plist::Value::real(0.0)), bad},
      {"no subtype", erase("subtype"), bad},
      {"other subtype", put("subtype", plist::Value::integer(fourCharCode("GaiX"))), bad},
      {"subtype string", put("subtype", plist::Value::string("GaiN")), bad},
      {"no manufacturer", erase("manufacturer"), bad},
      {"other manufacturer", put("manufacturer", plist::Value::integer(1)), bad},
      {"data string", put("data", plist::Value::string("abc")), bad},
      {"name number", put("name", plist::Value::integer(5)), bad},
      {"element-name string", put("element-name", plist::Value::string("x")), bad},
      {"element-name scope array",
       put("element-name", plist::Value::dictionary({{"1", plist::Value::array({})}})), bad},
      {"element-name name number",
       put("element-name",
           plist::Value::dictionary(
               {{"1", plist::Value::dictionary({{"0", plist::Value::integer(3)}})}})),
       bad},
      {"header cut", withData(plist::Data(changed.begin(), changed.begin() + 8)), bad},
      {"pairs cut", withData(plist::Data(changed.begin(), changed.end() - 3)), bad},
      {"count lies", withData(Block(0, 0, {{0, 4.0f}, {1, 1.0f}}, 48)), bad},
      {"count overflows", withData(Block(0, 0, {{0, 4.0f}}, 0x20000000)), bad},
      {"trailing bytes", withData(Join({changed, {0, 0, 0, 0, 0}})), bad},
      {"good then cut", withData(Join({changed, Block(0, 0, {{1, 0.5f}}, 2)})), bad},
      {"scope 7", withData(Block(7, 0, {{0, 4.0f}})), kAudioUnitErr_InvalidScope},
      {"good then scope 7", withData(Join({changed, Block(7, 0, {})})), kAudioUnitErr_InvalidScope},
  };

  PresetListener listener;
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_PresentPreset, &PresetListener::Proc, &listener),
            noErr);
  const plist::Data before = plist::serialise(Save(mUnit));
  for (const HostileCase& hostile : cases) {
    plist::Value state = Save(mUnit);
    state.set("name", plist::Value::string("Hostile"));
    state.set("data", plist::Value::data(changed));
    state.set("element-name",
              plist::Value::dictionary(
                  {{"1", plist::Value::dictionary({{"0", plist::Value::string("Hostile")}})}}));
    hostile.mutate(state);
    EXPECT_EQ(Restore(mUnit, state), hostile.expected) << hostile.what;
    EXPECT_EQ(plist::serialise(Save(mUnit)), before) << hostile.what;
  }
  EXPECT_EQ(listener.present, 0);
}

TEST_F(StateTest, RandomBytesNeverCrashAndFailuresChangeNothing) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  const plist::Data before = plist::serialise(Save(mUnit));
  const plist::Data xml = plist::serialise(Save(mUnit));
  int parsedCount = 0;
  for (int round = 0; round < 400; ++round) {
    // Random bytes as a property list, and a good file with a few bytes flipped.
    plist::Data bytes(size_t(1 + random() % 200));
    for (auto& b : bytes) b = uint8_t(byte(random));
    if (round % 2) {
      bytes = xml;
      for (int flips = 0; flips < 3; ++flips)
        bytes[random() % bytes.size()] = uint8_t(byte(random));
    }
    const std::optional<plist::Value> parsed = plist::parse(bytes.data(), bytes.size());
    if (!parsed) continue;
    ++parsedCount;
    const OSStatus status = Restore(mUnit, *parsed);
    if (status != noErr) {
      EXPECT_EQ(plist::serialise(Save(mUnit)), before) << "round " << round;
    } else {
      ASSERT_EQ(Restore(mUnit, plist::parse(before.data(), before.size()).value()), noErr);
    }
  }
  EXPECT_GT(parsedCount, 0);

  // Random "data" payloads in an otherwise valid dictionary.
  for (int round = 0; round < 2000; ++round) {
    plist::Data data(size_t(random() % 64));
    for (auto& b : data) b = uint8_t(random() % 4 == 0 ? byte(random) : random() % 3);
    plist::Value state = Save(mUnit);
    state.set("data", plist::Value::data(data));
    const OSStatus status = Restore(mUnit, state);
    ASSERT_TRUE(status == noErr || status == kAudioUnitErr_InvalidPropertyValue ||
                status == kAudioUnitErr_InvalidScope)
        << status;
    if (status != noErr) {
      ASSERT_EQ(plist::serialise(Save(mUnit)), before) << "round " << round;
    } else {
      ASSERT_EQ(Restore(mUnit, plist::parse(before.data(), before.size()).value()), noErr);
    }
  }
}

}  // namespace
