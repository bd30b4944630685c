// SPDX-License-Identifier: GPL-3.0-or-later
// For the tarnwick tests: a private JACK server (jackd's dummy driver, its own server name through
// JACK_DEFAULT_SERVER), a JACK client of the test that plays a voiced speech stand-in and MIDI
// notes and measures what comes back, and tarnwick itself run as a child process with a private
// HOME (update check off) and XDG_CONFIG_HOME.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace standalone_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A process started with argv, its standard output and error in logPath.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::string& logPath) : mLog(logPath) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&mPid, args[0], &actions, nullptr, args.data(), environ) != 0) mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (mPid > 0 && !mExited) {
      kill(mPid, SIGKILL);
      waitpid(mPid, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return mPid > 0; }
  bool running() {
    if (mExited) return false;
    int status = 0;
    if (waitpid(mPid, &status, WNOHANG) == mPid) {
      mExited = true;
      mStatus = status;
    }
    return !mExited;
  }
  // The exit status after up to timeout; -1 when it is still running or died of a signal.
  int wait(std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (running() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    if (!mExited || !WIFEXITED(mStatus)) return -1;
    return WEXITSTATUS(mStatus);
  }
  int stop(int signal = SIGINT) {
    if (running()) kill(mPid, signal);
    return wait();
  }
  std::string log() const { return readText(mLog); }

 private:
  pid_t mPid = -1;
  bool mExited = false;
  int mStatus = 0;
  std::string mLog;
};

// A folder removed at the end.
struct TempFolder {
  fs::path path;
  TempFolder() {
    char pattern[] = "/tmp/tarnwick-app-test-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// The test's own JACK client: out_L/out_R play a 110 Hz sawtooth (a voiced speech stand-in)
// while playing is set, midi_out sends queued messages in the middle of a cycle, in_L/in_R
// track the peak of what arrives.
class Probe {
 public:
  explicit Probe(const char* name = "probe") {
    mClient = jack_client_open(name, JackNoStartServer, nullptr);
    if (!mClient) return;
    mOut[0] = jack_port_register(mClient, "out_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    mOut[1] = jack_port_register(mClient, "out_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    mIn[0] = jack_port_register(mClient, "in_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    mIn[1] = jack_port_register(mClient, "in_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    mMidi = jack_port_register(mClient, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(mClient, &Probe::process, this);
    jack_activate(mClient);
  }
  ~Probe() {
    if (mClient) jack_client_close(mClient);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool ok() const { return mClient != nullptr; }
  jack_client_t* client() const { return mClient; }
  std::string name() const { return jack_get_client_name(mClient); }

  // Sends a three-byte message in the next cycle. [main thread]
  void send(uint8_t status, uint8_t data1, uint8_t data2) {
    mMessage.store(uint32_t(status) << 16 | uint32_t(data1) << 8 | data2);
    while (mMessage.load() != 0) std::this_thread::sleep_for(1ms);
  }
  void play(bool on) { mPlaying.store(on); }
  // The peak that arrived at in_L and in_R over the next duration.
  float peakOver(std::chrono::milliseconds duration) {
    mResetPeak.store(true);
    while (mResetPeak.load()) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(duration);
    return mPeak.load();
  }
  // Connects a port of ours to another client's (or the reverse). [main thread]
  bool connect(const std::string& from, const std::string& to) {
    return jack_connect(mClient, from.c_str(), to.c_str()) == 0;
  }
  bool hasPort(const std::string& name) const {
    return jack_port_by_name(mClient, name.c_str()) != nullptr;
  }
  // Waits for a port to appear.
  bool waitForPort(const std::string& name, std::chrono::milliseconds timeout = 15s) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!hasPort(name)) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  // Waits for a port to go (a client that quit leaves the graph a moment later).
  bool waitForPortGone(const std::string& name, std::chrono::milliseconds timeout = 10s) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (hasPort(name)) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  // The full names of the ports connected to a port.
  std::vector<std::string> connections(const std::string& port) const {
    std::vector<std::string> names;
    jack_port_t* p = jack_port_by_name(mClient, port.c_str());
    if (!p) return names;
    if (const char** list = jack_port_get_all_connections(mClient, p)) {
      for (size_t i = 0; list[i]; ++i) names.push_back(list[i]);
      jack_free(list);
    }
    return names;
  }

 private:
  static int process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<Probe*>(arg);
    const double rate = jack_get_sample_rate(self->mClient);
    for (int c = 0; c < 2; ++c) {
      auto* out = static_cast<float*>(jack_port_get_buffer(self->mOut[c], frames));
      for (jack_nframes_t n = 0; n < frames; ++n) {
        const double phase = std::fmod((self->mFrame + n) * 110.0 / rate, 1.0);
        out[n] = self->mPlaying.load(std::memory_order_relaxed) ? float(0.4 * (2 * phase - 1)) : 0.0f;
      }
    }
    self->mFrame += frames;
    void* midi = jack_port_get_buffer(self->mMidi, frames);
    jack_midi_clear_buffer(midi);
    if (const uint32_t message = self->mMessage.load()) {
      const jack_midi_data_t bytes[3] = {jack_midi_data_t(message >> 16),
                                         jack_midi_data_t(message >> 8),
                                         jack_midi_data_t(message)};
      jack_midi_event_write(midi, frames / 2, bytes, 3);
      self->mMessage.store(0);
    }
    float peak = self->mResetPeak.exchange(false) ? 0.0f : self->mPeak.load();
    for (int c = 0; c < 2; ++c) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(self->mIn[c], frames));
      for (jack_nframes_t n = 0; n < frames; ++n) peak = std::max(peak, std::fabs(in[n]));
    }
    self->mPeak.store(peak);
    return 0;
  }

  jack_client_t* mClient = nullptr;
  jack_port_t* mOut[2] = {};
  jack_port_t* mIn[2] = {};
  jack_port_t* mMidi = nullptr;
  uint64_t mFrame = 0;
  std::atomic<bool> mPlaying{false};
  std::atomic<uint32_t> mMessage{0};
  std::atomic<float> mPeak{0.0f};
  std::atomic<bool> mResetPeak{false};
};

// A private JACK server with the dummy driver (44100 Hz, 256 frames), a private HOME whose
// preferences switch the update check off, and an empty XDG_CONFIG_HOME. Skips the test when
// jackd cannot start.
class JackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = folder.path / "home";
    config = folder.path / "config";
    fs::create_directories(home / "Library" / "Preferences");
    fs::create_directories(config);
    std::ofstream(home / "Library" / "Preferences" / "com.vexaphon.audiounit.Tarnwick.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>userEnableUpdateCheckOnStartup</key><integer>0</integer></dict></plist>\n";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    unsetenv("NSM_URL");
    serverName = "tarnwick-test-" + std::to_string(getpid()) + "-" + std::to_string(++sCount);
    setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    jackd = std::make_unique<Child>(
        std::vector<std::string>{"jackd", "--no-realtime", "-d", "dummy", "-r", "44100", "-p",
                                 "256"},
        (folder.path / "jackd.log").string());
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (jackd->started() && jackd->running() && std::chrono::steady_clock::now() < end) {
      if (jack_client_t* c = jack_client_open("wait", JackNoStartServer, nullptr)) {
        jack_client_close(c);
        return;
      }
      std::this_thread::sleep_for(50ms);
    }
    GTEST_SKIP() << "jackd (dummy driver) cannot start here: " << jackd->log();
  }
  void TearDown() override {
    if (jackd) jackd->stop(SIGTERM);
  }

  // tarnwick with arguments, its log in <folder>/<logName>.
  std::unique_ptr<Child> startApp(std::vector<std::string> args, const std::string& logName) {
    args.insert(args.begin(), std::string(TARNWICK_BUILD_DIR) + "/tarnwick");
    return std::make_unique<Child>(args, (folder.path / logName).string());
  }

  TempFolder folder;
  fs::path home, config;
  std::string serverName;
  std::unique_ptr<Child> jackd;
  static inline int sCount = 0;
};

}  // namespace standalone_test
