// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/app_options.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace standalone {
namespace {

std::string besideExecutable(const char* name) {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ((ec ? std::filesystem::current_path() : self.parent_path()) / name).string();
}

}  // namespace

bool parseAppOptions(int argc, char** argv, AppOptions* options, int* exitCode) {
  CLI::App app{
      "tarnwick: the Tarnwick vocoder as a JACK application. Sing or speak into speech_in, play "
      "MIDI notes into midi_in (or feed carrier_in), listen at out. The state is saved on quit "
      "and restored on the next start; under a session manager (NSM_URL) the session keeps it."};
  options->componentPath = besideExecutable("Tarnwick.component");
#ifdef TARNWICK_INSTALLED_BUNDLE
  // Installed: the component inside the installed Tarnwick.lv2.
  if (!std::filesystem::exists(options->componentPath)) {
    const std::string installed =
        besideExecutable(TARNWICK_INSTALLED_BUNDLE "/Tarnwick.component");
    if (std::filesystem::exists(installed)) {
      options->componentPath = std::filesystem::path(installed).lexically_normal().string();
    }
  }
#endif
  app.add_option("-n,--name", options->clientName, "JACK client name")
      ->capture_default_str();
  app.add_flag("--no-auto-connect", [options](int64_t) { options->autoConnect = false; },
               "connect nothing to the system ports at start");
  app.add_option("--speech-from", options->speechFrom,
                 "connect the speech input from the audio ports matching this regex (1st to L, "
                 "2nd to R), e.g. 'system:capture_1'");
  app.add_option("--carrier-from", options->carrierFrom,
                 "connect the carrier input from the audio ports matching this regex");
  app.add_option("--midi-from", options->midiFrom,
                 "connect the MIDI input from every MIDI port matching this regex");
  app.add_option("--out-to", options->outTo,
                 "connect the outputs to the audio ports matching this regex");
  app.add_flag("--no-gui", [options](int64_t) { options->gui = false; },
               "run without the editor window (headless, e.g. in a rack)");
  app.add_option("--load", options->loadPath, "restore this state file (plist) at start")
      ->check(CLI::ExistingFile);
  app.add_option("--save", options->savePath, "write the state to this file (plist) on quit");
  app.add_option("--component", options->componentPath, "path of Tarnwick.component")
      ->capture_default_str();
  app.set_version_flag("--version", "tarnwick " TARNWICK_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    *exitCode = app.exit(e);
    return false;
  } catch (const CLI::CallForVersion& e) {
    *exitCode = app.exit(e);
    return false;
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    *exitCode = kExitUsage;
    return false;
  }
  for (const std::string* pattern :
       {&options->speechFrom, &options->carrierFrom, &options->midiFrom, &options->outTo}) {
    if (pattern->empty()) continue;
    try {
      std::regex check(*pattern, std::regex::extended);
    } catch (const std::regex_error&) {
      std::fprintf(stderr, "tarnwick: '%s' is not a regular expression\n", pattern->c_str());
      *exitCode = kExitUsage;
      return false;
    }
  }
  return true;
}

std::string userStatePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config && config[0] == '/') {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0]) {
    folder = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return (folder / "tarnwick" / "state.plist").string();
}

}  // namespace standalone
