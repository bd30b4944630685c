// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnwick.lv2's MIDI input and saved state through the LV2 descriptor and state interface.
#include <string>

#include "lv2/lv2_test_host.h"
#include "platform/plist/plist_value.h"

namespace {

using namespace lv2_test;

// Speech on the main pair, nothing on the side chain: the synth is the carrier.
float speechOnly(uint32_t port, size_t n) {
  return port < 2 ? speechAt(n, 44100.0) : 0.0f;
}

TEST(Lv2Midi, NotesFromTheAtomPortPlayTheSynth) {
  Plugin played({});
  Plugin held({});
  Plugin silent({});
  ASSERT_TRUE(played.ok() && held.ok() && silent.ok());
  // No room or reverb, so that a released note leaves no tail.
  for (Plugin* p : {&played, &held, &silent}) {
    p->control(kParamRoomAmount) = 0.0f;
    p->control(kParamReverbAmt) = 0.0f;
  }
  std::vector<float> a, b, c;
  size_t pa = 0, pb = 0, pc = 0;
  for (Plugin* p : {&played, &held}) {
    p->addMidi(10, 0x90, 60, 100);
    p->addMidi(10, 0x90, 64, 100);
  }
  played.render(44100, 512, speechOnly, &a, nullptr, &pa);
  held.render(44100, 512, speechOnly, &b, nullptr, &pb);
  silent.render(44100, 512, speechOnly, &c, nullptr, &pc);
  EXPECT_GT(energy(a, 2048), 1.0);
  EXPECT_EQ(a, b);
  EXPECT_LT(energy(c, 2048), 1e-6 * energy(a, 2048));
  // Note off: the synth falls silent, while the instance still holding the keys plays on.
  played.addMidi(0, 0x80, 60, 0);
  played.addMidi(0, 0x90, 64, 0);  // note on with velocity 0 is a note off
  a.clear();
  b.clear();
  played.render(44100, 512, speechOnly, &a, nullptr, &pa);
  held.render(44100, 512, speechOnly, &b, nullptr, &pb);
  EXPECT_GT(energy(b, 22050), 1.0);
  EXPECT_LT(energy(a, 22050), 1e-6 * energy(b, 22050));
}

// An event in the middle of a block lands on its frame: the same render as a host that splits
// the block there and sends the event at frame 0 of the second part.
TEST(Lv2Midi, AnEventMidBlockLandsOnItsFrame) {
  Plugin midBlock({});
  Plugin split({});
  ASSERT_TRUE(midBlock.ok() && split.ok());
  std::vector<float> a, b;
  size_t pa = 0, pb = 0;
  midBlock.render(1024, 512, speechOnly, &a, nullptr, &pa);
  split.render(1024, 512, speechOnly, &b, nullptr, &pb);
  midBlock.addMidi(300, 0x90, 57, 90);
  midBlock.render(512, 512, speechOnly, &a, nullptr, &pa);
  split.render(300, 300, speechOnly, &b, nullptr, &pb);
  split.addMidi(0, 0x90, 57, 90);
  split.render(212, 212, speechOnly, &b, nullptr, &pb);
  midBlock.render(44100, 512, speechOnly, &a, nullptr, &pa);
  split.render(44100, 512, speechOnly, &b, nullptr, &pb);
  EXPECT_GT(energy(a), 1.0);
  EXPECT_EQ(a, b);
  // Sent at the block's start instead, the note sounds 300 frames early: another output.
  Plugin early({});
  std::vector<float> c;
  size_t pc = 0;
  early.render(1024, 512, speechOnly, &c, nullptr, &pc);
  early.addMidi(0, 0x90, 57, 90);
  early.render(512 + 44100, 512, speechOnly, &c, nullptr, &pc);
  EXPECT_NE(a, c);
}

TEST(Lv2Midi, WithoutUridMapTheMidiPortIsIgnored) {
  Plugin unmapped({44100.0, 4096, false, true});
  ASSERT_TRUE(unmapped.ok());
  std::vector<float> a;
  size_t pa = 0;
  // The test host still writes a sequence with its own ids; the adapter must not read it.
  unmapped.addMidi(0, 0x90, 60, 100);
  unmapped.render(44100, 512, speechOnly, &a, nullptr, &pa);
  EXPECT_LT(energy(a), 1e-6);
  EXPECT_EQ(unmapped.state()->save(unmapped.handle(), StateStore::store, nullptr, 0, nullptr),
            LV2_STATE_ERR_NO_FEATURE);
}

plist::Value parseState(const StateStore& store, LV2_URID key) {
  auto found = store.entries.find(key);
  EXPECT_NE(found, store.entries.end());
  if (found == store.entries.end()) return plist::Value::boolean(false);
  const auto& bytes = found->second.bytes;
  EXPECT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.back(), 0);  // an atom:String
  auto value = plist::parse(bytes.data(), bytes.size() - 1);
  EXPECT_TRUE(value.has_value());
  return value ? *value : plist::Value::boolean(false);
}

TEST(Lv2State, RoundTripCarriesParametersAndHeldKeys) {
  Plugin source({});
  ASSERT_TRUE(source.ok());
  source.control(kParamSoundMode) = 6.0f;
  source.control(kParamRoomSize) = 12.0f;
  source.addMidi(0, 0x90, 62, 100);
  std::vector<float> unused;
  size_t ps = 0;
  source.render(8192, 512, speechOnly, &unused, nullptr, &ps);

  StateStore saved;
  ASSERT_EQ(source.state()->save(source.handle(), StateStore::store, &saved, 0, nullptr),
            LV2_STATE_SUCCESS);
  const LV2_URID key = source.map().map(kStateClassInfoUri);
  ASSERT_EQ(saved.entries.count(key), 1u);
  EXPECT_EQ(saved.entries[key].type, source.map().map(LV2_ATOM__String));
  EXPECT_TRUE(saved.entries[key].flags & LV2_STATE_IS_POD);
  const std::string xml(saved.entries[key].bytes.begin(), saved.entries[key].bytes.end() - 1);
  EXPECT_NE(xml.find("<?xml"), std::string::npos);
  EXPECT_NE(xml.find("VexaphonTarnwickKeylistState"), std::string::npos);

  // A fresh instance with default ports takes the state and plays the held key without MIDI.
  Plugin target({});
  ASSERT_TRUE(target.ok());
  // The target's ids differ from the source's; the store is keyed by the source's map.
  StateStore remapped;
  remapped.entries[target.map().map(kStateClassInfoUri)] = {
      saved.entries[key].bytes, target.map().map(LV2_ATOM__String), saved.entries[key].flags};
  ASSERT_EQ(target.state()->restore(target.handle(), StateStore::retrieve, &remapped, 0, nullptr),
            LV2_STATE_SUCCESS);
  std::vector<float> out;
  size_t pt = 0;
  target.render(44100, 512, speechOnly, &out, nullptr, &pt);
  EXPECT_GT(energy(out, 4096), 1.0);

  StateStore again;
  ASSERT_EQ(target.state()->save(target.handle(), StateStore::store, &again, 0, nullptr),
            LV2_STATE_SUCCESS);
  const plist::Value before = parseState(saved, key);
  const plist::Value after = parseState(again, target.map().map(kStateClassInfoUri));
  ASSERT_TRUE(before.isDictionary() && after.isDictionary());
  EXPECT_EQ(before, after);
}

TEST(Lv2State, BadStateIsRefusedAndChangesNothing) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  StateStore original;
  ASSERT_EQ(plugin.state()->save(plugin.handle(), StateStore::store, &original, 0, nullptr),
            LV2_STATE_SUCCESS);
  const LV2_URID key = plugin.map().map(kStateClassInfoUri);
  const LV2_URID string = plugin.map().map(LV2_ATOM__String);

  StateStore empty;
  EXPECT_EQ(plugin.state()->restore(plugin.handle(), StateStore::retrieve, &empty, 0, nullptr),
            LV2_STATE_ERR_NO_PROPERTY);
  StateStore garbage;
  const std::string text = "not a property list";
  garbage.entries[key] = {std::vector<uint8_t>(text.begin(), text.end() + 1), string, 0};
  EXPECT_EQ(plugin.state()->restore(plugin.handle(), StateStore::retrieve, &garbage, 0, nullptr),
            LV2_STATE_ERR_UNKNOWN);
  StateStore wrongType;
  wrongType.entries[key] = {original.entries[key].bytes, plugin.map().map(LV2_ATOM__Float), 0};
  EXPECT_EQ(plugin.state()->restore(plugin.handle(), StateStore::retrieve, &wrongType, 0, nullptr),
            LV2_STATE_ERR_BAD_TYPE);

  StateStore after;
  ASSERT_EQ(plugin.state()->save(plugin.handle(), StateStore::store, &after, 0, nullptr),
            LV2_STATE_SUCCESS);
  EXPECT_EQ(parseState(original, key), parseState(after, key));
}

}  // namespace
