// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/prefs/preferences.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/plist/plist_value.h"

namespace {

constexpr int32_t kAbsent = -1;

std::mutex& writerMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] != '\0') return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  return {};
}

int32_t saturate(int64_t number) {
  if (number > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (number < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(number);
}

// The domain's dictionary for a read-modify-write: an empty one when there is no file, nullopt
// when an existing file cannot be read or is not a dictionary.
std::optional<plist::Value> loadForUpdate(const std::string& path) {
  plist::ReadStatus status;
  std::optional<plist::Value> current = plist::readFile(path, &status);
  if (status == plist::ReadStatus::Missing) return plist::Value::dictionary();
  if (!current || !current->isDictionary()) return std::nullopt;
  return current;
}

}  // namespace

std::string preferencesPath(const std::string& domain) {
  if (domain.empty() || domain.find('/') != std::string::npos || domain == "." || domain == "..") {
    return {};
  }
  const std::string home = homeFolder();
  if (home.empty()) return {};
  return home + "/Library/Preferences/" + domain + ".plist";
}

int32_t readIntPreference(const std::string& domain, const std::string& key) {
  const std::string path = preferencesPath(domain);
  if (path.empty()) return kAbsent;
  const std::optional<plist::Value> root = plist::readFile(path);
  if (!root) return kAbsent;
  const plist::Value* value = root->find(key);
  if (!value) return kAbsent;
  switch (value->type()) {
    case plist::Value::Type::Integer:
      return saturate(value->asInteger());
    case plist::Value::Type::Boolean:
      return value->asBoolean() ? 1 : 0;
    case plist::Value::Type::Real: {
      const double number = value->asReal();
      if (std::isnan(number)) return kAbsent;
      return saturate(value->asInteger());
    }
    default:
      return kAbsent;
  }
}

namespace {

// Sets key in the domain's file (made, with its folder, when missing), keeping every other key;
// false when the file cannot be read as a dictionary or written.
bool writePreference(const std::string& domain, const std::string& key, plist::Value value) {
  const std::string path = preferencesPath(domain);
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(writerMutex());
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) return false;
  std::optional<plist::Value> root = loadForUpdate(path);
  if (!root) return false;
  root->set(key, std::move(value));
  return plist::writeFile(path, *root, plist::Format::Xml);
}

}  // namespace

bool writeIntPreference(const std::string& domain, const std::string& key, int32_t value) {
  return writePreference(domain, key, plist::Value::integer(value));
}

std::optional<std::string> readStringPreference(const std::string& domain, const std::string& key) {
  const std::string path = preferencesPath(domain);
  if (path.empty()) return std::nullopt;
  const std::optional<plist::Value> root = plist::readFile(path);
  if (!root) return std::nullopt;
  const plist::Value* value = root->find(key);
  if (!value || !value->isString()) return std::nullopt;
  return value->asString();
}

bool writeStringPreference(const std::string& domain, const std::string& key,
                           const std::string& value) {
  return writePreference(domain, key, plist::Value::string(value));
}

bool removePreference(const std::string& domain, const std::string& key) {
  const std::string path = preferencesPath(domain);
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(writerMutex());
  std::optional<plist::Value> root = loadForUpdate(path);
  if (!root) return false;
  if (root->asDictionary().erase(key) == 0) return true;
  return plist::writeFile(path, *root, plist::Format::Xml);
}
