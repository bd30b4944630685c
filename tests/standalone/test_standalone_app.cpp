// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick as a musician runs it, on a private JACK server with the dummy driver: its ports, a
// MIDI note that makes the output sound, cycles longer than the component's maximum, the state
// kept on quit and restored on the next start, connections by pattern and to the system ports,
// broken state files, and the message without a server.
#include <jack/jack.h>

#include "standalone/jack_fixture.h"

namespace {

using namespace standalone_test;

constexpr float kSilence = 1e-4f;
constexpr float kSound = 1e-2f;

void connectProbe(Probe& probe, const std::string& app) {
  ASSERT_TRUE(probe.connect(probe.name() + ":out_L", app + ":speech_in_L"));
  ASSERT_TRUE(probe.connect(probe.name() + ":out_R", app + ":speech_in_R"));
  ASSERT_TRUE(probe.connect(app + ":out_L", probe.name() + ":in_L"));
  ASSERT_TRUE(probe.connect(app + ":out_R", probe.name() + ":in_R"));
  ASSERT_TRUE(probe.connect(probe.name() + ":midi_out", app + ":midi_in"));
}

using StandaloneApp = JackTest;

TEST_F(StandaloneApp, PortsANoteThatSoundsAndTheStateKeptForTheNextStart) {
  auto app = startApp({"--no-gui", "--no-auto-connect"}, "first.log");
  Probe probe;
  ASSERT_TRUE(probe.ok());
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << app->log();

  const struct {
    const char* name;
    const char* type;
    unsigned long direction;
  } expected[] = {{"speech_in_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput},
                  {"speech_in_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput},
                  {"carrier_in_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput},
                  {"carrier_in_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput},
                  {"midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput},
                  {"out_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput},
                  {"out_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput}};
  for (const auto& e : expected) {
    jack_port_t* port = jack_port_by_name(probe.client(), (std::string("tarnwick:") + e.name).c_str());
    ASSERT_NE(port, nullptr) << e.name;
    EXPECT_STREQ(jack_port_type(port), e.type) << e.name;
    EXPECT_TRUE(jack_port_flags(port) & e.direction) << e.name;
    EXPECT_TRUE(probe.connections(std::string("tarnwick:") + e.name).empty())
        << e.name << " was connected despite --no-auto-connect";
  }
  const char** all = jack_get_ports(probe.client(), "^tarnwick:", nullptr, 0);
  size_t count = 0;
  while (all && all[count]) ++count;
  jack_free(all);
  EXPECT_EQ(count, 7u);

  connectProbe(probe, "tarnwick");
  probe.play(true);
  EXPECT_LT(probe.peakOver(600ms), kSilence) << "no key is held, yet the output sounds";
  probe.send(0x90, 60, 100);
  EXPECT_GT(probe.peakOver(600ms), kSound) << "a held key does not make the output sound";

  // Cycles of 4096 frames, longer than the component's maximum, render in pieces.
  ASSERT_EQ(jack_set_buffer_size(probe.client(), 4096), 0);
  EXPECT_EQ(jack_get_buffer_size(probe.client()), 4096u);
  probe.peakOver(300ms);
  EXPECT_GT(probe.peakOver(1000ms), kSound) << "no sound at 4096 frames per cycle";
  ASSERT_EQ(jack_set_buffer_size(probe.client(), 256), 0);

  EXPECT_EQ(app->stop(SIGINT), 0) << app->log();
  const fs::path state = config / "tarnwick" / "state.plist";
  ASSERT_TRUE(fs::exists(state)) << app->log();
  EXPECT_NE(readText(state).find("<plist"), std::string::npos);
  EXPECT_NE(app->log().find("saved the state to " + state.string()), std::string::npos);
  ASSERT_TRUE(probe.waitForPortGone("tarnwick:out_R"));

  // The next start restores the held key: the output sounds with no note sent.
  auto again = startApp({"--no-gui", "--no-auto-connect"}, "second.log");
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << again->log();
  connectProbe(probe, "tarnwick");
  probe.peakOver(300ms);
  EXPECT_GT(probe.peakOver(600ms), kSound) << "the restored state does not hold the key";
  EXPECT_NE(again->log().find("restored the state from " + state.string()), std::string::npos);
  EXPECT_EQ(again->stop(SIGTERM), 0) << again->log();
  ASSERT_TRUE(probe.waitForPortGone("tarnwick:out_R"));

  // --load of a state without the key starts silent; --save writes where it is told.
  const fs::path quiet = folder.path / "quiet.plist";
  fs::remove(state);
  auto fresh = startApp({"--no-gui", "--no-auto-connect", "--save", quiet.string()}, "fresh.log");
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << fresh->log();
  EXPECT_EQ(fresh->stop(SIGINT), 0) << fresh->log();
  ASSERT_TRUE(probe.waitForPortGone("tarnwick:out_R"));
  ASSERT_TRUE(fs::exists(quiet));
  auto loaded = startApp({"--no-gui", "--no-auto-connect", "--load", quiet.string()}, "load.log");
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << loaded->log();
  connectProbe(probe, "tarnwick");
  probe.peakOver(300ms);
  EXPECT_LT(probe.peakOver(600ms), kSilence) << loaded->log();
  EXPECT_EQ(loaded->stop(SIGINT), 0);
}

TEST_F(StandaloneApp, ConnectsToTheSystemPortsOrWhereThePatternsSay) {
  Probe probe;
  ASSERT_TRUE(probe.ok());
  auto plain = startApp({"--no-gui"}, "plain.log");
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << plain->log();
  const auto connected = [&](const std::string& port) {
    const auto list = probe.connections(port);
    return list.size() == 1 ? list.front() : std::to_string(list.size()) + " connections";
  };
  // Auto-connection happens right after activation; give it a moment.
  for (int i = 0; i < 100 && probe.connections("tarnwick:out_R").empty(); ++i)
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(connected("tarnwick:speech_in_L"), "system:capture_1");
  EXPECT_EQ(connected("tarnwick:speech_in_R"), "system:capture_2");
  EXPECT_EQ(connected("tarnwick:out_L"), "system:playback_1");
  EXPECT_EQ(connected("tarnwick:out_R"), "system:playback_2");
  EXPECT_TRUE(probe.connections("tarnwick:carrier_in_L").empty());

  auto patterned =
      startApp({"--no-gui", "-n", "vox", "--carrier-from", "^probe:out_R$", "--out-to",
                "^probe:in_", "--midi-from", "probe:midi.*"},
               "patterned.log");
  ASSERT_TRUE(probe.waitForPort("vox:out_R")) << patterned->log();
  for (int i = 0; i < 100 && probe.connections("vox:out_R").empty(); ++i)  // connected last
    std::this_thread::sleep_for(20ms);
  EXPECT_EQ(connected("vox:carrier_in_L"), "probe:out_R");
  EXPECT_EQ(connected("vox:carrier_in_R"), "probe:out_R");
  EXPECT_EQ(connected("vox:out_L"), "probe:in_L");
  EXPECT_EQ(connected("vox:out_R"), "probe:in_R");
  EXPECT_EQ(connected("vox:midi_in"), "probe:midi_out");
  EXPECT_TRUE(probe.connections("vox:speech_in_L").empty()) << "patterns given: no auto-connect";

  EXPECT_EQ(plain->stop(), 0);
  EXPECT_EQ(patterned->stop(), 0);

  // A pattern that is no regular expression is a usage error.
  auto wrong = startApp({"--no-gui", "--out-to", "(["}, "wrong.log");
  EXPECT_EQ(wrong->wait(), 1) << wrong->log();
}

TEST_F(StandaloneApp, ABrokenStateFileIsKeptAsideAndABrokenLoadIsRefused) {
  const fs::path state = config / "tarnwick" / "state.plist";
  fs::create_directories(state.parent_path());
  std::ofstream(state) << "<plist><dict><key>broken";
  auto app = startApp({"--no-gui", "--no-auto-connect"}, "broken.log");
  Probe probe;
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << app->log();
  EXPECT_EQ(app->stop(), 0) << app->log();
  EXPECT_EQ(readText(state.string() + ".unreadable"), "<plist><dict><key>broken");
  EXPECT_NE(app->log().find("not a property list"), std::string::npos) << app->log();
  EXPECT_NE(readText(state).find("<plist"), std::string::npos) << "a fresh state is saved";

  const fs::path bad = folder.path / "bad.plist";
  std::ofstream(bad) << "not a plist";
  auto refused = startApp({"--no-gui", "--load", bad.string()}, "refused.log");
  EXPECT_EQ(refused->wait(), 2) << refused->log();
  EXPECT_NE(refused->log().find(bad.string()), std::string::npos) << refused->log();
}

TEST(StandaloneNoServer, SaysSoAndExitsWithStatus3) {
  TempFolder folder;
  setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
  setenv("JACK_DEFAULT_SERVER", ("tarnwick-none-" + std::to_string(getpid())).c_str(), 1);
  unsetenv("NSM_URL");
  Child app({std::string(TARNWICK_BUILD_DIR) + "/tarnwick", "--no-gui"},
            (folder.path / "app.log").string());
  EXPECT_EQ(app.wait(), 3) << app.log();
  EXPECT_NE(app.log().find("tarnwick: no JACK server is running"), std::string::npos) << app.log();
  EXPECT_EQ(app.log().find("Cannot connect"), std::string::npos) << "libjack's noise shows";
  EXPECT_FALSE(fs::exists(folder.path / "tarnwick" / "state.plist"));
}

}  // namespace
