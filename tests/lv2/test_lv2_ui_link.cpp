// SPDX-License-Identifier: GPL-3.0-or-later
// The UI ports of Tarnwick.lv2, driven through the LV2 descriptor as a host drives them: the
// UI's key commands reach the component's key list (through the worker, or as MIDI without
// one), the key list and the levels come back, the pending-default flag is reported and cleared,
// and malformed messages change nothing.
#include <algorithm>

#include "lv2/lv2_test_host.h"

namespace {

using namespace lv2_test;

float vocoderInput(uint32_t port, size_t n) {
  return port < 2 ? speechAt(n, 44100.0) : sawAt(n, 44100.0);
}

// The held notes of the last key list the plug-in sent; empty when it sent none.
std::vector<int> lastKeys(Plugin& plugin, bool* sent = nullptr) {
  std::vector<int> notes;
  if (sent) *sent = false;
  for (const UiReceived& m : plugin.uiReceived()) {
    if (m.kind != plugin.urids().keys) continue;
    if (sent) *sent = true;
    EXPECT_EQ(m.values.size(), static_cast<size_t>(kKeyListSlots));
    notes.clear();
    for (float key : m.values) {
      if (key >= 27.0f) notes.push_back(static_cast<int>(key));
    }
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

// The pending flags reported, in order.
std::vector<bool> pendingReports(Plugin& plugin) {
  std::vector<bool> flags;
  for (const UiReceived& m : plugin.uiReceived()) {
    if (m.kind == plugin.urids().pendingDefault) flags.push_back(m.pending);
  }
  return flags;
}

// Runs a block, lets the worker post what run() scheduled, and runs once more so that the key
// list posted on the worker thread goes out.
void roundTrip(Plugin& plugin, size_t* position) {
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, position);
  plugin.worker().drain(plugin.handle());
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, position);
}

TEST(Lv2UiLink, KeyCommandsFlagAndLevelsTravelBothWays) {
  for (bool worker : {true, false}) {
    SCOPED_TRACE(worker ? "with the worker" : "without the worker: MIDI");
    Plugin::Options options;
    options.withWorker = worker;
    Plugin plugin(options);
    ASSERT_TRUE(plugin.ok());
    const UiUrids& u = plugin.urids();
    size_t position = 0;

    // A UI attaches: the key list (nothing held), the values the component holds and the flag
    // of a fresh instance (set).
    plugin.control(kParamSoundMode) = 6.0f;
    plugin.sendUi(u.hello);
    roundTrip(plugin, &position);
    bool sent = false;
    EXPECT_TRUE(lastKeys(plugin, &sent).empty());
    EXPECT_TRUE(sent);
    EXPECT_EQ(pendingReports(plugin), std::vector<bool>{true});
    const auto values = std::find_if(plugin.uiReceived().begin(), plugin.uiReceived().end(),
                                     [&](const UiReceived& m) { return m.kind == u.parameters; });
    ASSERT_NE(values, plugin.uiReceived().end());
    ASSERT_EQ(values->values.size(), static_cast<size_t>(kParameterCount));
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      EXPECT_EQ(values->values[id], plugin.control(id)) << parameterDescription(id).name;
    }

    plugin.sendUi(u.keyOn, 60);
    plugin.sendUi(u.keyOn, 64);
    plugin.sendUi(u.keyOn, 67);
    roundTrip(plugin, &position);
    EXPECT_EQ(lastKeys(plugin), (std::vector<int>{60, 64, 67}));
    plugin.sendUi(u.keyOff, 64);
    roundTrip(plugin, &position);
    EXPECT_EQ(lastKeys(plugin), (std::vector<int>{60, 67}));
    plugin.sendUi(u.allKeysOff);
    roundTrip(plugin, &position);
    EXPECT_TRUE(lastKeys(plugin).empty());

    // The editor cleared the flag: a later UI finds it clear.
    plugin.sendUi(u.clearPendingDefault);
    plugin.sendUi(u.hello);
    roundTrip(plugin, &position);
    EXPECT_EQ(pendingReports(plugin), (std::vector<bool>{true, false}));

    // Levels come about 16 times a second, ten bands each, and move with the input.
    plugin.uiReceived().clear();
    plugin.render(44100, 512, vocoderInput, nullptr, nullptr, &position);
    long levelPosts = 0;
    float loudest = 0.0f;
    for (const UiReceived& m : plugin.uiReceived()) {
      if (m.kind != u.levels) continue;
      ++levelPosts;
      ASSERT_EQ(m.values.size(), static_cast<size_t>(kLevelBands));
      loudest = std::max(loudest, *std::max_element(m.values.begin(), m.values.end()));
    }
    EXPECT_GE(levelPosts, 15);
    EXPECT_LE(levelPosts, 18);
    EXPECT_GT(loudest, 0.0f);
  }
}

// MIDI notes from the host show in the UI's key list too (the component posts on the render
// thread), and a state restore sends the restored keys.
TEST(Lv2UiLink, KeysFromMidiAndFromARestoredStateReachTheUi) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  size_t position = 0;
  plugin.addMidi(10, 0x90, 50, 100);
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, &position);
  EXPECT_EQ(lastKeys(plugin), std::vector<int>{50});

  StateStore store;
  ASSERT_EQ(plugin.state()->save(plugin.handle(), StateStore::store, &store, 0, nullptr),
            LV2_STATE_SUCCESS);
  plugin.addMidi(0, 0x80, 50, 0);
  plugin.addMidi(0, 0x90, 72, 100);
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, &position);
  EXPECT_EQ(lastKeys(plugin), std::vector<int>{72});
  ASSERT_EQ(plugin.state()->restore(plugin.handle(), StateStore::retrieve, &store, 0, nullptr),
            LV2_STATE_SUCCESS);
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, &position);
  EXPECT_EQ(lastKeys(plugin), std::vector<int>{50});
  // A restored state with a key list is not a fresh instance: the flag is clear.
  plugin.sendUi(plugin.urids().hello);
  plugin.render(256, 256, vocoderInput, nullptr, nullptr, &position);
  EXPECT_EQ(pendingReports(plugin), std::vector<bool>{false});
}

// Messages a UI should never send, or that arrive cut short, change nothing.
TEST(Lv2UiLink, MalformedCommandsAreIgnored) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  const UiUrids& u = plugin.urids();
  size_t position = 0;
  plugin.sendUi(u.keyOn, 62);
  roundTrip(plugin, &position);
  ASSERT_EQ(lastKeys(plugin), std::vector<int>{62});
  plugin.uiReceived().clear();

  struct Bad {
    const char* what;
    LV2_Atom_Object object;
    LV2_Atom_Property_Body property;
    int32_t value;
  };
  const uint32_t objectBody = sizeof(LV2_Atom_Object_Body) + sizeof(LV2_Atom_Property_Body) + 4 + 4;
  const Bad cases[] = {
      {"note out of range", {{objectBody, u.atomObject}, {0, u.keyOn}}, {u.note, 0, {4, u.atomInt}}, 200},
      {"negative note", {{objectBody, u.atomObject}, {0, u.keyOn}}, {u.note, 0, {4, u.atomInt}}, -3},
      {"note not an Int", {{objectBody, u.atomObject}, {0, u.keyOn}}, {u.note, 0, {4, u.atomFloat}}, 61},
      {"no note", {{objectBody, u.atomObject}, {0, u.keyOff}}, {u.keyList, 0, {4, u.atomInt}}, 62},
      {"unknown kind", {{objectBody, u.atomObject}, {0, u.levels}}, {u.note, 0, {4, u.atomInt}}, 62},
      {"not an object", {{objectBody, u.atomInt}, {0, u.allKeysOff}}, {u.note, 0, {4, u.atomInt}}, 0},
      {"object cut short", {{4, u.atomObject}, {0, u.allKeysOff}}, {u.note, 0, {4, u.atomInt}}, 0},
      {"property overruns", {{objectBody, u.atomObject}, {0, u.keyOff}}, {u.note, 0, {4000, u.atomInt}}, 62},
  };
  for (const Bad& bad : cases) {
    SCOPED_TRACE(bad.what);
    plugin.sendUiAtom(bad.object.atom);
    roundTrip(plugin, &position);
  }
  bool sent = true;
  lastKeys(plugin, &sent);
  EXPECT_FALSE(sent);  // the list never changed
  plugin.sendUi(u.hello);
  roundTrip(plugin, &position);
  EXPECT_EQ(lastKeys(plugin), std::vector<int>{62});
}

}  // namespace
