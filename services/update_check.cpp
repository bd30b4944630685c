// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/update_check.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/bundle/bundle.h"
#include "platform/log/log.h"
#include "platform/plist/plist_value.h"
#include "platform/prefs/preferences.h"

extern char** environ;

namespace tarnwick_services {

struct UpdateChecker::State {
  mutable std::mutex mutex;
  mutable std::condition_variable finishedChanged;
  bool finished = false;
  bool cancelled = false;
  pid_t child = -1;  // the running download, not yet reaped
  bool updateIsAvailable = false;
  std::array<char, kUpdateTextBytes> updateUrl{};
  std::array<char, kUpdateTextBytes> versionOnServer{};
};

namespace {

using CheckState = UpdateChecker::State;

void logLine(const char* text) {
  vxlog::line(text);
}

int dayOfYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_yday;
}

// Copies text NUL-terminated, cut at a UTF-8 character boundary if it does not fit.
void copyBounded(const std::string& text, std::array<char, kUpdateTextBytes>& out) {
  size_t length = text.size() < kUpdateTextBytes - 1 ? text.size() : kUpdateTextBytes - 1;
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(out.data(), text.data(), length);
  out[length] = '\0';
}

// A private folder for the download: under $XDG_RUNTIME_DIR when usable, else $TMPDIR or /tmp;
// mkdtemp makes it 0700. Empty on failure.
std::string makePrivateFolder() {
  std::vector<std::string> bases;
  for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/') bases.emplace_back(value);
  }
  bases.emplace_back("/tmp");
  for (std::string base : bases) {
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string pattern = base + "/tarnwick-update-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) return std::string(buffer.data());
  }
  return {};
}

// Spawns argv with stdin and stdout on /dev/null. -1 on failure.
pid_t spawn(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

int waitExitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct CheckRequest {
  std::string domain;
  std::string catalogueUrl;
  std::string catalogueKey;
  std::string installedVersion;
  std::string curlProgram;
  long timeoutSeconds;
};

// Downloads url into path; false when the download failed or was cancelled.
bool download(const CheckRequest& request, const std::string& path, CheckState& state) {
  const std::vector<std::string> arguments = {request.curlProgram,
                                              "-s",
                                              "-f",
                                              "--proto",
                                              "=http,https,file",
                                              "--max-time",
                                              std::to_string(request.timeoutSeconds),
                                              "-o",
                                              path,
                                              "--url",
                                              request.catalogueUrl};
  pid_t pid;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.cancelled) return false;
    pid = spawn(arguments);
    if (pid < 0) return false;
    state.child = pid;
  }
  const int status = waitExitStatus(pid);
  std::lock_guard<std::mutex> lock(state.mutex);
  state.child = -1;
  return status == 0 && !state.cancelled;
}

// The check thread's body; touches only the shared state and its own copies.
void runCheck(std::shared_ptr<CheckState> state, CheckRequest request) {
  bool update = false;
  std::string version;
  std::string url;
  bool haveVersion = false;
  bool haveUrl = false;
  const int today = dayOfYear();
  if (readIntPreference(request.domain, kSessionDayKey) != today) {
    const std::string folder = makePrivateFolder();
    const std::string path = folder + "/ProductCatalog.plist";
    if (folder.empty() || !download(request, path, *state)) {
      logLine("could not curl for version info file");
    } else {
      writeIntPreference(request.domain, kSessionDayKey, today);
      const std::optional<plist::Value> catalogue = plist::readFile(path);
      if (catalogue && catalogue->isDictionary()) {
        const plist::Value* entry = catalogue->find(request.catalogueKey);
        if (entry && entry->isString() && !request.installedVersion.empty()) {
          version = entry->asString();
          haveVersion = true;
          update = isDottedVersion(version) && isDottedVersion(request.installedVersion) &&
                   compareVersions(request.installedVersion, version) < 0;
        }
        const plist::Value* address = catalogue->find(request.catalogueKey + " URL");
        if (address && address->isString()) {
          url = address->asString();
          haveUrl = true;
        }
      }
    }
    if (!folder.empty()) {
      unlink(path.c_str());
      rmdir(folder.c_str());
    }
  }
  std::lock_guard<std::mutex> lock(state->mutex);
  if (haveVersion) copyBounded(version, state->versionOnServer);
  if (haveUrl) copyBounded(url, state->updateUrl);
  state->updateIsAvailable = update;
  state->finished = true;
  state->finishedChanged.notify_all();
}

void reapInBackground(pid_t pid) {
  std::thread([pid] {
    if (waitExitStatus(pid) != 0) beep();
  }).detach();
}

}  // namespace

void beep() {
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

int compareVersions(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digitA = std::isdigit(static_cast<unsigned char>(a[i]));
    const bool digitB = std::isdigit(static_cast<unsigned char>(b[j]));
    if (digitA && digitB) {
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
      while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
      if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
      const int order = a.compare(i, endA - i, b, j, endB - j);
      if (order != 0) return order < 0 ? -1 : 1;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
    }
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool isDottedVersion(const std::string& version) {
  if (version.empty() || version.size() > 64) return false;
  bool expectDigit = true;
  for (char c : version) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      expectDigit = false;
    } else if (c == '.' && !expectDigit) {
      expectDigit = true;
    } else {
      return false;
    }
  }
  return !expectDigit;
}

bool isWebAddress(const std::string& url) {
  for (char c : url) {
    if (static_cast<unsigned char>(c) < 0x21 || c == 0x7f) return false;
  }
  auto startsWith = [&](const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (url.size() <= length) return false;
    for (size_t k = 0; k < length; ++k) {
      if (std::tolower(static_cast<unsigned char>(url[k])) != prefix[k]) return false;
    }
    return true;
  };
  return startsWith("http://") || startsWith("https://");
}

bool openInBrowser(const std::string& url) {
  if (!isWebAddress(url)) return false;
  const pid_t pid = spawn({"xdg-open", url});
  if (pid < 0) return false;
  reapInBackground(pid);
  return true;
}

UpdateChecker::UpdateChecker() : mState(std::make_shared<State>()) {}

UpdateChecker::~UpdateChecker() {
  cancel();
}

std::string UpdateChecker::catalogueAddress(const UpdateCheckOptions& options) {
  return readStringPreference(options.domain, kCatalogueUrlKey).value_or(options.catalogueUrl);
}

void UpdateChecker::start(const UpdateCheckOptions& options) {
  CheckRequest request;
  request.domain = options.domain;
  request.catalogueUrl = catalogueAddress(options);
  if (request.catalogueUrl.empty()) {
    std::lock_guard<std::mutex> lock(mState->mutex);
    mState->finished = true;
    mState->finishedChanged.notify_all();
    return;
  }
  request.catalogueKey = options.catalogueKey;
  request.installedVersion = options.installedVersion;
  if (request.installedVersion.empty()) {
    request.installedVersion = kTarnwickVersionString;
    if (auto bundle = bundle::Bundle::withIdentifier(options.domain)) {
      const plist::Value* version = bundle->infoDictionary().find("CFBundleVersion");
      if (version && version->isString()) request.installedVersion = version->asString();
    }
  }
  request.curlProgram = options.curlProgram;
  request.timeoutSeconds = static_cast<long>(options.downloadTimeout.count());
  std::thread(runCheck, mState, std::move(request)).detach();
  mStarted = true;
}

void UpdateChecker::cancel() {
  std::lock_guard<std::mutex> lock(mState->mutex);
  mState->cancelled = true;
  if (mState->child > 0) kill(mState->child, SIGTERM);
}

bool UpdateChecker::finished() const {
  std::lock_guard<std::mutex> lock(mState->mutex);
  return mState->finished;
}

bool UpdateChecker::updateIsAvailable() const {
  std::lock_guard<std::mutex> lock(mState->mutex);
  return mState->finished && mState->updateIsAvailable;
}

std::string UpdateChecker::updateUrl() const {
  std::lock_guard<std::mutex> lock(mState->mutex);
  return mState->updateUrl.data();
}

std::string UpdateChecker::versionOnServer() const {
  std::lock_guard<std::mutex> lock(mState->mutex);
  return mState->versionOnServer.data();
}

bool UpdateChecker::waitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mState->mutex);
  return mState->finishedChanged.wait_for(lock, timeout, [&] { return mState->finished; });
}

}  // namespace tarnwick_services
