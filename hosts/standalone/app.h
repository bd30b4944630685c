// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-alone app: one Tarnwick instance on a JACK client, its state kept in the user's
// configuration folder or by a session manager, the main loop turning the platform's main run
// loop (the component's timers) until SIGINT or SIGTERM.
#pragma once

#include <memory>
#include <string>

#include "hosts/standalone/app_options.h"
#include "hosts/standalone/component_host.h"
#include "hosts/standalone/editor_window.h"
#include "hosts/standalone/jack_host.h"
#include "hosts/standalone/nsm_client.h"
#include "hosts/standalone/processor.h"

namespace standalone {

class SignalPipe;

class App {
 public:
  explicit App(AppOptions options) : mOptions(std::move(options)) {}
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Runs until quit; returns the exit status. [main thread]
  int run();

 private:
  // Opens the JACK client and the component, restores statePath when it exists (a broken file
  // is moved aside) and activates. *exitCode tells why on failure.
  bool startAudio(const std::string& clientName, bool exactName, const std::string& statePath,
                  int* exitCode);
  bool restoreUserState(const std::string& path);
  void connectPorts();
  void showEditorOrSayWhy();
  bool saveOnQuit();
  // Waits up to timeoutMilliseconds for a signal, a server notice or a session message and
  // handles them; false once the app should quit.
  bool turn(int timeoutMilliseconds);
  bool nsmOpen(const std::string& path, const std::string& clientId, std::string* message);
  bool nsmSave(std::string* message);
  void followServer();
  void say(const std::string& line);  // a line on stderr, kept as the last message

  AppOptions mOptions;
  bool mUnderSession = false;
  std::string mSessionState;  // the session's state file; empty: not opened yet
  std::string mLastMessage;
  SignalPipe* mSignals = nullptr;  // owned by run()
  bool mQuit = false;
  int mExitCode = kExitOk;
  std::unique_ptr<NsmClient> mNsm;
  std::unique_ptr<ComponentHost> mComponent;
  std::unique_ptr<Processor> mProcessor;
  std::unique_ptr<JackHost> mJack;  // deactivated and closed before the component goes
  std::unique_ptr<EditorWindow> mEditor;  // last: closed first
};

}  // namespace standalone
