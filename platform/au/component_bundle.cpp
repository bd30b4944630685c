// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/component_bundle.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/bundle/bundle.h"

namespace {

struct Entry {
  ComponentDescription description{};
  std::string name;
  UInt32 version = 0;
  std::string symbol;
  ComponentRoutine routine = nullptr;
};

bool fourCharacterCode(const plist::Value* value, OSType* out) {
  if (!value || !value->isString() || value->asString().size() != 4) return false;
  const std::string& text = value->asString();
  *out = (OSType(uint8_t(text[0])) << 24) | (OSType(uint8_t(text[1])) << 16) |
         (OSType(uint8_t(text[2])) << 8) | OSType(uint8_t(text[3]));
  return true;
}

const std::string* nonEmptyString(const plist::Value* value) {
  return value && value->isString() && !value->asString().empty() ? &value->asString() : nullptr;
}

OSStatus fail(OSStatus status, std::string* outMessage, std::string message) {
  if (outMessage) *outMessage = std::move(message);
  return status;
}

// Reads the AudioComponents array; an empty string on success, else what is wrong.
std::string readEntries(const plist::Value& info, std::vector<Entry>* entries) {
  if (!nonEmptyString(info.find("CFBundleIdentifier"))) return "no CFBundleIdentifier string";
  if (!nonEmptyString(info.find("CFBundleExecutable"))) return "no CFBundleExecutable string";
  const plist::Value* components = info.find("AudioComponents");
  if (!components || !components->isArray() || components->asArray().empty()) {
    return "no AudioComponents array with at least one entry";
  }
  int index = 0;
  for (const plist::Value& item : components->asArray()) {
    const std::string where = "AudioComponents[" + std::to_string(index++) + "]: ";
    if (!item.isDictionary()) return where + "not a dictionary";
    Entry entry;
    if (!fourCharacterCode(item.find("type"), &entry.description.componentType) ||
        !fourCharacterCode(item.find("subtype"), &entry.description.componentSubType) ||
        !fourCharacterCode(item.find("manufacturer"), &entry.description.componentManufacturer)) {
      return where + "type, subtype and manufacturer must be four-character strings";
    }
    const plist::Value* name = item.find("name");
    if (!name || !name->isString()) return where + "no name string";
    entry.name = name->asString();
    if (const plist::Value* version = item.find("version")) {
      if (!version->isInteger() || version->asInteger() < 0 || version->asInteger() > UINT32_MAX) {
        return where + "version must be an integer in 0...0xFFFFFFFF";
      }
      entry.version = static_cast<UInt32>(version->asInteger());
    }
    const std::string* symbol = nonEmptyString(item.find("entry"));
    if (!symbol) return where + "no entry symbol string";
    entry.symbol = *symbol;
    entries->push_back(std::move(entry));
  }
  return {};
}

}  // namespace

OSStatus loadComponentBundle(const std::string& bundlePath, std::vector<Component>* registered,
                             std::string* outMessage) {
  plist::ReadStatus readStatus = plist::ReadStatus::Ok;
  const std::shared_ptr<const bundle::Bundle> found = bundle::Bundle::open(bundlePath, &readStatus);
  if (!found) {
    if (readStatus == plist::ReadStatus::Missing) {
      return fail(kComponentBundleErr_NoInfoPlist, outMessage,
                  bundlePath + ": no bundle folder or no Contents/Info.plist");
    }
    return fail(kComponentBundleErr_BadInfoPlist, outMessage,
                bundlePath + ": Contents/Info.plist is not a readable property-list dictionary");
  }

  std::vector<Entry> entries;
  if (std::string problem = readEntries(found->infoDictionary(), &entries); !problem.empty()) {
    return fail(kComponentBundleErr_BadInfoPlist, outMessage,
                found->path() + "/Contents/Info.plist: " + problem);
  }

  const std::string executable = found->executablePath();
  struct stat info;
  if (executable.empty() || ::stat(executable.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return fail(kComponentBundleErr_NoExecutable, outMessage,
                "executable not found: " + (executable.empty() ? bundlePath : executable));
  }
  void* handle = ::dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    return fail(kComponentBundleErr_LoadFailed, outMessage,
                executable + ": " + (why ? why : "cannot be loaded"));
  }
  for (Entry& entry : entries) {
    ::dlerror();
    void* symbol = ::dlsym(handle, entry.symbol.c_str());
    if (!symbol) {
      ::dlclose(handle);
      return fail(kComponentBundleErr_NoEntrySymbol, outMessage,
                  executable + ": entry symbol \"" + entry.symbol + "\" is not exported");
    }
    entry.routine = reinterpret_cast<ComponentRoutine>(symbol);
  }
  for (const Entry& entry : entries) {
    Component component =
        RegisterComponentEntry(entry.description, entry.routine, entry.name, entry.version);
    if (registered) registered->push_back(component);
  }
  return noErr;
}
