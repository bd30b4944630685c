// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/app.h"

#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>

#include "component/tarnwick_identity.h"
#include "hosts/standalone/signal_pipe.h"
#include "platform/runloop/run_loop.h"

namespace standalone {
namespace {

constexpr int kLoopMilliseconds = 20;      // the longest a run-loop timer waits for its turn

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

App::~App() {
  if (mProcessor) mProcessor->stop();  // before the JACK client closes (see Processor::stop)
}

void App::say(const std::string& line) {
  std::fprintf(stderr, "tarnwick: %s\n", line.c_str());
  mLastMessage = line;
}

bool App::restoreUserState(const std::string& path) {
  if (path.empty() || !fileExists(path)) return true;
  std::string error;
  if (mComponent->restoreState(path, &error)) {
    say("restored the state from " + path);
    return true;
  }
  // Kept beside, so that saving on quit does not replace what the user may want back.
  const std::string aside = path + ".unreadable";
  std::error_code ec;
  std::filesystem::rename(path, aside, ec);
  say(error + (ec ? "" : "; moved it to " + aside) + "; starting from the defaults");
  return false;
}

bool App::startAudio(const std::string& clientName, bool exactName, const std::string& statePath,
                     int* exitCode) {
  std::string error;
  JackHost::OpenFailure failure = JackHost::OpenFailure::None;
  auto jack = JackHost::open(clientName, exactName, &error, &failure);
  if (!jack) {
    say(error);
    *exitCode = failure == JackHost::OpenFailure::NoServer ? kExitNoServer : kExitFailure;
    return false;
  }
  auto component =
      std::make_unique<ComponentHost>(mOptions.componentPath, jack->sampleRate(), jack->bufferSize());
  if (!component->ok()) {
    say(component->error());
    *exitCode = kExitFailure;
    return false;
  }
  mComponent = std::move(component);
  if (!mUnderSession && !mOptions.loadPath.empty()) {
    if (!mComponent->restoreState(mOptions.loadPath, &error)) {
      say(error);
      *exitCode = kExitFailure;
      return false;
    }
    say("restored the state from " + mOptions.loadPath);
  } else {
    restoreUserState(statePath);
  }
  if (!mComponent->initialise()) {
    say(mComponent->error());
    *exitCode = kExitFailure;
    return false;
  }
  mProcessor = std::make_unique<Processor>(*mComponent);
  if (!jack->activate(mProcessor.get(), kTarnwickLatencyFrames, nullptr, &error)) {
    say(error);
    *exitCode = kExitFailure;
    return false;
  }
  mJack = std::move(jack);
  say("JACK client '" + mJack->clientName() + "' at " +
      std::to_string(int(mJack->sampleRate())) + " Hz, " + std::to_string(mJack->bufferSize()) +
      " frames per cycle" + (mComponent->hasSideChain() ? "" : " (no side chain: the carrier "
                                                               "is mixed to the right channel)"));
  return true;
}

void App::connectPorts() {
  std::string report;
  const struct {
    PortGroup group;
    const std::string& pattern;
  } patterns[] = {{PortGroup::Speech, mOptions.speechFrom},
                  {PortGroup::Carrier, mOptions.carrierFrom},
                  {PortGroup::Midi, mOptions.midiFrom},
                  {PortGroup::Out, mOptions.outTo}};
  for (const auto& p : patterns) {
    if (p.pattern.empty()) continue;
    mJack->connectMatching(p.group, p.pattern, &report);
    say(report);
  }
  if (!mOptions.autoConnect) return;
  const bool anyPattern = !mOptions.speechFrom.empty() || !mOptions.carrierFrom.empty() ||
                          !mOptions.midiFrom.empty() || !mOptions.outTo.empty();
  if (anyPattern) return;  // the user said where things go
  mJack->autoConnect(&report);
  if (!report.empty()) say("connected " + report);
}

void App::showEditorOrSayWhy() {
  if (!mOptions.gui || mEditor) return;
  std::string why;
  mEditor = EditorWindow::open(mComponent->unit(), "Tarnwick", &why);
  if (!mEditor) say("no editor window (" + why + "); running without one");
}

bool App::saveOnQuit() {
  if (!mComponent) return true;
  plist::Value state;
  std::string error;
  if (!mComponent->copyState(&state, &error)) {
    say(error);
    return false;
  }
  bool ok = true;
  const auto write = [&](const std::string& path) {
    if (writeStateFile(path, state, &error)) {
      say("saved the state to " + path);
    } else {
      say(error);
      ok = false;
    }
  };
  const std::string userPath = userStatePath();
  if (userPath.empty()) {
    say("neither XDG_CONFIG_HOME nor HOME is set: the state is not kept");
  } else {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(userPath).parent_path(), ec);
    write(userPath);
  }
  if (!mOptions.savePath.empty()) write(mOptions.savePath);
  return ok;
}

bool App::nsmOpen(const std::string& path, const std::string& clientId, std::string* message) {
  const std::string statePath = path + ".plist";
  if (mJack) {
    // Already running: take the new session's state.
    std::string error;
    if (fileExists(statePath) &&
        !mProcessor->whilePaused([&] { return mComponent->restoreState(statePath, &error); })) {
      *message = error;
      return false;
    }
    mSessionState = statePath;
    return true;
  }
  int exitCode = 0;
  if (!startAudio(clientId, true, statePath, &exitCode)) {
    *message = mLastMessage;
    return false;
  }
  mSessionState = statePath;
  *message = "opened as JACK client '" + mJack->clientName() + "'";
  return true;
}

bool App::nsmSave(std::string* message) {
  if (!mComponent || mSessionState.empty()) {
    *message = "no session is open";
    return false;
  }
  plist::Value state;
  // Read with rendering paused (a cycle or so of silence at most), written after.
  if (!mProcessor->whilePaused([&] { return mComponent->copyState(&state, message); })) {
    return false;
  }
  if (!writeStateFile(mSessionState, state, message)) return false;
  *message = "saved";
  return true;
}

void App::followServer() {
  mJack->drainWake();
  const double rate = mJack->announcedRate();
  if (rate > 0.0 && rate != mComponent->rate() && !mJack->serverGone()) {
    const bool ok = mProcessor->whilePaused([&] { return mComponent->changeRate(rate); });
    say(ok ? "follows the new sample rate, " + std::to_string(int(rate)) + " Hz"
           : "cannot follow the new sample rate: " + mComponent->error());
  }
}

bool App::turn(int timeoutMilliseconds) {
  pollfd fds[3] = {{mSignals->fd(), POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
  if (mJack) fds[1].fd = mJack->wakeFd();
  if (mNsm) fds[2].fd = mNsm->fd();
  if (poll(fds, 3, timeoutMilliseconds) <= 0) return !mQuit;
  if (fds[0].revents & POLLIN) {
    const int signal = mSignals->take();
    say(std::string("quitting on ") +
        (signal == SIGINT ? "SIGINT" : signal == SIGHUP ? "SIGHUP" : "SIGTERM"));
    mQuit = true;
  }
  if (mNsm && (fds[2].revents & POLLIN)) {
    const bool hadJack = mJack != nullptr;
    const bool wasAnnounced = mNsm->announced();
    mNsm->poll();
    if (!wasAnnounced && mNsm->announced()) say("in a session of " + mNsm->managerName());
    if (!hadJack && mJack) showEditorOrSayWhy();
  }
  if (mJack && (fds[1].revents & POLLIN)) {
    followServer();
    if (mJack->serverGone()) {
      say("the JACK server shut down");
      mExitCode = kExitFailure;
      mQuit = true;
    }
  }
  return !mQuit;
}

int App::run() {
  SignalPipe signals;
  if (!signals.ok()) say("cannot install the signal handlers; quit with SIGKILL loses the state");
  const char* nsmUrl = std::getenv("NSM_URL");
  mUnderSession = nsmUrl && nsmUrl[0];
  mSignals = &signals;
  if (mUnderSession) {
    if (!mOptions.loadPath.empty() || !mOptions.savePath.empty()) {
      say("under a session manager the session keeps the state: --load and --save are ignored");
    }
    NsmClient::Handlers handlers;
    handlers.open = [this](const std::string& path, const std::string&, const std::string& id,
                           std::string* message) { return nsmOpen(path, id, message); };
    handlers.save = [this](std::string* message) { return nsmSave(message); };
    std::string error;
    mNsm = NsmClient::start(nsmUrl, "Tarnwick", "tarnwick", std::move(handlers), &error);
    if (!mNsm) {
      say(error);
      return kExitFailure;
    }
    say(std::string("announced to the session manager at ") + nsmUrl);
  } else {
    int failure = kExitOk;
    if (!startAudio(mOptions.clientName, false, mOptions.loadPath.empty() ? userStatePath() : "",
                    &failure)) {
      return failure;
    }
    connectPorts();
  }
  if (mJack) showEditorOrSayWhy();

  while (!mQuit) {
    if (mEditor) {
      mEditor->run([this] { return turn(0); });
      if (!mQuit && mUnderSession) {
        say("the editor window was closed; running on without it");
      } else if (!mQuit) {
        say("the editor window was closed");
        mQuit = true;
      }
      mEditor.reset();
      continue;
    }
    if (turn(kLoopMilliseconds)) runloop::RunLoop::main().runOnce();
  }
  // Rendering stops before the client deactivates, and both before the state is read.
  if (mProcessor) mProcessor->stop();
  if (mJack) mJack->deactivate();
  if (!mUnderSession && !saveOnQuit()) mExitCode = kExitFailure;
  return mExitCode;
}

}  // namespace standalone
