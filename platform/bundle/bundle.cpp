// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bundle/bundle.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>
#include <system_error>
#include <vector>

namespace bundle {

namespace {

namespace fs = std::filesystem;

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const Bundle>> byPath;
  std::vector<std::shared_ptr<const Bundle>> inOrder;  // registration order, for identifiers
};

Registry& registry() {
  static Registry* instance = new Registry;  // never destroyed: bundles outlive static teardown
  return *instance;
}

std::string stringEntry(const plist::Value& info, const char* key) {
  const plist::Value* value = info.find(key);
  return value && value->isString() ? value->asString() : std::string();
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// True when address lies in a loaded segment of the main program (the first object that
// dl_iterate_phdr reports).
bool inMainProgram(const void* address) {
  struct Search {
    uintptr_t address;
    bool found = false;
  } search{reinterpret_cast<uintptr_t>(address)};
  ::dl_iterate_phdr(
      [](struct dl_phdr_info* object, size_t, void* data) -> int {
        auto* wanted = static_cast<Search*>(data);
        for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = object->dlpi_phdr[i];
          if (segment.p_type != PT_LOAD) continue;
          const uintptr_t start = object->dlpi_addr + segment.p_vaddr;
          if (wanted->address >= start && wanted->address < start + segment.p_memsz) {
            wanted->found = true;
          }
        }
        return 1;  // the main program is reported first: stop after it
      },
      &search);
  return search.found;
}

bool safeRelativeName(const std::string& name) {
  if (name.empty() || name.front() == '/') return false;
  for (const auto& part : fs::path(name)) {
    if (part == "..") return false;
  }
  return true;
}

}  // namespace

Bundle::Bundle(Token, std::string path, plist::Value info)
    : mPath(std::move(path)),
      mInfo(std::move(info)),
      mIdentifier(stringEntry(mInfo, "CFBundleIdentifier")),
      mVersion(stringEntry(mInfo, "CFBundleShortVersionString")) {}

std::shared_ptr<const Bundle> Bundle::open(const std::string& path, plist::ReadStatus* status) {
  plist::ReadStatus ignored;
  plist::ReadStatus& result = status ? *status : ignored;
  std::error_code error;
  const fs::path canonical = fs::canonical(path, error);
  if (error) {
    result = plist::ReadStatus::Missing;
    return nullptr;
  }
  const std::string key = canonical.string();
  Registry& shared = registry();
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    auto found = shared.byPath.find(key);
    if (found != shared.byPath.end()) {
      result = plist::ReadStatus::Ok;
      return found->second;
    }
  }
  std::optional<plist::Value> info = plist::readFile(key + "/Contents/Info.plist", &result);
  if (!info) return nullptr;
  if (!info->isDictionary()) {
    result = plist::ReadStatus::Malformed;
    return nullptr;
  }
  auto made = std::make_shared<const Bundle>(Token{}, key, std::move(*info));
  std::lock_guard<std::mutex> lock(shared.mutex);
  auto [slot, inserted] = shared.byPath.emplace(key, made);
  if (inserted) shared.inOrder.push_back(made);
  return slot->second;  // another thread may have registered the folder meanwhile
}

std::shared_ptr<const Bundle> Bundle::forAddress(const void* address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0) return nullptr;
  std::error_code error;
  fs::path object;
  if (inMainProgram(address) || !info.dli_fname || info.dli_fname[0] == '\0') {
    // The main program is reported by the name it was started with, relative to a working
    // folder that may have changed since.
    object = fs::canonical("/proc/self/exe", error);
  } else {
    object = fs::canonical(info.dli_fname, error);
  }
  if (error) return nullptr;
  for (fs::path folder = object.parent_path(); folder.has_relative_path();
       folder = folder.parent_path()) {
    if (folder.filename() == "Contents" && fs::is_regular_file(folder / "Info.plist", error)) {
      return open(folder.parent_path().string());
    }
  }
  return nullptr;
}

std::shared_ptr<const Bundle> Bundle::withIdentifier(const std::string& identifier) {
  if (identifier.empty()) return nullptr;
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  for (const auto& candidate : shared.inOrder) {
    if (candidate->identifier() == identifier) return candidate;
  }
  return nullptr;
}

std::string Bundle::executablePath() const {
  std::string name = stringEntry(mInfo, "CFBundleExecutable");
  if (!safeRelativeName(name)) return {};
  if (!endsWith(name, ".so")) name += ".so";
  return mPath + "/Contents/Linux/" + name;
}

std::string Bundle::resourcesPath() const {
  return mPath + "/Contents/Resources";
}

std::string Bundle::resourcePath(const std::string& name, const std::string& type) const {
  if (!safeRelativeName(name)) return {};
  const std::string candidate = resourcesPath() + "/" + name + (type.empty() ? "" : "." + type);
  std::error_code error;
  return fs::exists(candidate, error) ? candidate : std::string();
}

}  // namespace bundle
