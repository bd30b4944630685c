// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick under a session manager: a fake Non Session Manager on loopback (liblo) sees the
// announcement, opens a session (the client id becomes the JACK client name, nothing is
// auto-connected), saves it, and a second start opening the same session gets the held key back.
// The user's own state file is neither read nor written.
#include <lo/lo.h>

#include "standalone/jack_fixture.h"

namespace {

using namespace standalone_test;

// The session manager's side of the protocol, driven from the test's thread.
class FakeNsm {
 public:
  struct Reply {
    std::string path, message;
    bool error = false;
  };

  FakeNsm() {
    mServer = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
    if (!mServer) return;
    lo_server_add_method(mServer, "/nsm/server/announce", "sssiii", &FakeNsm::onAnnounce, this);
    lo_server_add_method(mServer, "/reply", "ss", &FakeNsm::onReply, this);
    lo_server_add_method(mServer, "/error", "sis", &FakeNsm::onError, this);
  }
  ~FakeNsm() {
    if (mClient) lo_address_free(mClient);
    if (mServer) lo_server_free(mServer);
  }
  FakeNsm(const FakeNsm&) = delete;
  FakeNsm& operator=(const FakeNsm&) = delete;

  bool ok() const { return mServer != nullptr; }
  std::string url() const {
    return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(mServer)) + "/";
  }
  // Handles messages until an announcement arrived, or timeout.
  bool waitForAnnounce(std::chrono::milliseconds timeout = 15s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!mClient && std::chrono::steady_clock::now() < end) lo_server_recv_noblock(mServer, 50);
    return mClient != nullptr;
  }
  // Sends a message to the client and waits for its reply or error to that path.
  Reply ask(const char* path, const std::vector<std::string>& args,
            std::chrono::milliseconds timeout = 20s) {
    lo_message message = lo_message_new();
    for (const std::string& a : args) lo_message_add_string(message, a.c_str());
    mReplies.clear();
    lo_send_message_from(mClient, mServer, path, message);
    lo_message_free(message);
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      lo_server_recv_noblock(mServer, 50);
      for (const Reply& r : mReplies) {
        if (r.path == path) return r;
      }
    }
    return {"", "no answer", true};
  }

  std::string appName, capabilities, executable;
  int apiMajor = 0, pid = 0;

 private:
  static int onAnnounce(const char*, const char*, lo_arg** argv, int, lo_message message,
                        void* self) {
    auto* nsm = static_cast<FakeNsm*>(self);
    nsm->appName = &argv[0]->s;
    nsm->capabilities = &argv[1]->s;
    nsm->executable = &argv[2]->s;
    nsm->apiMajor = argv[3]->i;
    nsm->pid = argv[5]->i;
    lo_address source = lo_message_get_source(message);
    nsm->mClient = lo_address_new(lo_address_get_hostname(source), lo_address_get_port(source));
    lo_send_from(nsm->mClient, nsm->mServer, LO_TT_IMMEDIATE, "/reply", "ssss",
                 "/nsm/server/announce", "welcome", "Fake Session Manager", ":server-control:");
    return 0;
  }
  static int onReply(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
    static_cast<FakeNsm*>(self)->mReplies.push_back({&argv[0]->s, &argv[1]->s, false});
    return 0;
  }
  static int onError(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
    static_cast<FakeNsm*>(self)->mReplies.push_back({&argv[0]->s, &argv[2]->s, true});
    return 0;
  }

  lo_server mServer = nullptr;
  lo_address mClient = nullptr;
  std::vector<Reply> mReplies;
};

using StandaloneNsm = JackTest;

TEST_F(StandaloneNsm, AnnouncesOpensWithTheClientIdSavesAndNeverAutoConnects) {
  FakeNsm nsm;
  ASSERT_TRUE(nsm.ok());
  setenv("NSM_URL", nsm.url().c_str(), 1);
  auto app = startApp({"--no-gui"}, "session.log");
  ASSERT_TRUE(nsm.waitForAnnounce()) << app->log();
  EXPECT_EQ(nsm.appName, "Tarnwick");
  EXPECT_EQ(nsm.executable, "tarnwick");
  EXPECT_EQ(nsm.apiMajor, 1);
  EXPECT_GT(nsm.pid, 0);

  Probe probe;
  ASSERT_TRUE(probe.ok());
  EXPECT_FALSE(probe.hasPort("tarnwick:out_L")) << "the client opened before the session did";

  const std::string id = "Tarnwick.nQXWZ";
  const fs::path prefix = folder.path / "session" / id;
  fs::create_directories(prefix.parent_path());
  const auto opened = nsm.ask("/nsm/client/open", {prefix.string(), "Tarnwick", id});
  EXPECT_FALSE(opened.error) << opened.message << "\n" << app->log();
  ASSERT_TRUE(probe.waitForPort(id + ":out_R")) << app->log();
  for (const char* port : {"speech_in_L", "speech_in_R", "midi_in", "out_L", "out_R"}) {
    EXPECT_TRUE(probe.connections(id + ":" + port).empty()) << port << " was auto-connected";
  }

  ASSERT_TRUE(probe.connect("probe:out_L", id + ":speech_in_L"));
  ASSERT_TRUE(probe.connect(id + ":out_L", "probe:in_L"));
  ASSERT_TRUE(probe.connect("probe:midi_out", id + ":midi_in"));
  probe.play(true);
  probe.peakOver(300ms);  // the new connections take effect in the graph
  probe.send(0x90, 57, 100);
  EXPECT_GT(probe.peakOver(600ms), 1e-2f);
  const auto saved = nsm.ask("/nsm/client/save", {});
  EXPECT_FALSE(saved.error) << saved.message;
  const fs::path state = prefix.string() + ".plist";
  ASSERT_TRUE(fs::exists(state)) << app->log();
  EXPECT_NE(readText(state).find("<plist"), std::string::npos);

  // A session manager quits its clients with SIGTERM; the session, not the user's folder,
  // keeps the state.
  EXPECT_EQ(app->stop(SIGTERM), 0) << app->log();
  EXPECT_FALSE(fs::exists(config / "tarnwick" / "state.plist"));
  ASSERT_TRUE(probe.waitForPortGone(id + ":out_R"));

  // The next start opens the saved session: the held key plays with no note sent.
  FakeNsm again;
  setenv("NSM_URL", again.url().c_str(), 1);
  auto reopened = startApp({"--no-gui"}, "reopened.log");
  ASSERT_TRUE(again.waitForAnnounce()) << reopened->log();
  const auto second = again.ask("/nsm/client/open", {prefix.string(), "Tarnwick", id});
  EXPECT_FALSE(second.error) << second.message << "\n" << reopened->log();
  ASSERT_TRUE(probe.waitForPort(id + ":out_R")) << reopened->log();
  ASSERT_TRUE(probe.connect("probe:out_L", id + ":speech_in_L"));
  ASSERT_TRUE(probe.connect(id + ":out_L", "probe:in_L"));
  probe.peakOver(300ms);
  EXPECT_GT(probe.peakOver(600ms), 1e-2f) << "the session's held key was not restored";
  EXPECT_EQ(reopened->stop(SIGTERM), 0) << reopened->log();
  unsetenv("NSM_URL");
}

}  // namespace
