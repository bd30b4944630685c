// SPDX-License-Identifier: GPL-3.0-or-later
// Bundles: folders laid out as
//   <Name>.<extension>/Contents/Info.plist        dictionary, see below
//   <Name>.<extension>/Contents/Linux/<exe>.so    the executable (CFBundleExecutable "<exe>")
//   <Name>.<extension>/Contents/Resources/        resources, looked up by name and type
// Info.plist keys read here: "CFBundleIdentifier", "CFBundleShortVersionString",
// "CFBundleExecutable" (strings). Every bundle opened or found in this process is registered
// once, by its canonical path, and stays registered (and valid) until the process ends.
// A Bundle is immutable once opened: its accessors may be called from any thread.
#pragma once

#include <memory>
#include <string>

#include "platform/plist/plist_value.h"

namespace bundle {

class Bundle {
 public:
  // Opens the bundle folder at path (registering it), or returns the one already registered
  // for that folder. Null when the folder has no readable Contents/Info.plist holding a
  // dictionary; status (may be null) then tells a missing Info.plist from a broken one.
  // [any thread]
  static std::shared_ptr<const Bundle> open(const std::string& path,
                                            plist::ReadStatus* status = nullptr);
  // The bundle that holds the loaded object (executable or shared library) containing address:
  // the nearest enclosing folder with Contents/Info.plist. Null when there is none. [any thread]
  static std::shared_ptr<const Bundle> forAddress(const void* address);
  // The first registered bundle whose CFBundleIdentifier is identifier, or null. [any thread]
  static std::shared_ptr<const Bundle> withIdentifier(const std::string& identifier);

  Bundle(const Bundle&) = delete;
  Bundle& operator=(const Bundle&) = delete;

  const std::string& path() const { return mPath; }  // absolute and canonical, no final '/'
  const std::string& identifier() const { return mIdentifier; }  // empty when absent
  const std::string& version() const { return mVersion; }        // empty when absent
  // Contents/Linux/<CFBundleExecutable>, ".so" appended unless present; empty when the key is
  // absent. The file itself may be missing.
  std::string executablePath() const;
  // Contents/Resources, whether or not it exists.
  std::string resourcesPath() const;
  // Contents/Resources/<name>.<type> (just <name> for an empty type) when that file or folder
  // exists; empty otherwise, and for names that are empty, absolute or climb out with "..".
  std::string resourcePath(const std::string& name, const std::string& type) const;
  // The whole Info.plist dictionary.
  const plist::Value& infoDictionary() const { return mInfo; }

 private:
  struct Token {};

 public:
  Bundle(Token, std::string path, plist::Value info);  // through open() only

 private:
  std::string mPath;
  plist::Value mInfo;
  std::string mIdentifier;
  std::string mVersion;
};

}  // namespace bundle
