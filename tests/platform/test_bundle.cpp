// SPDX-License-Identifier: GPL-3.0-or-later
// Bundles: Info.plist keys, resources, lookup by loaded address and by identifier.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/bundle/bundle.h"
#include "platform/testing/temp_folder.h"

namespace {

using bundle::Bundle;
using vxtest::TempFolder;

const std::string kTestBundle =
    std::string(TARNWICK_BUILD_DIR) + "/platform/testdata/VxTestComponent.component";

void writeInfo(const std::string& bundlePath, const std::string& identifier,
               const std::string& executable = "Thing") {
  plist::Value info;
  info.set("CFBundleIdentifier", plist::Value::string(identifier));
  info.set("CFBundleShortVersionString", plist::Value::string("2.4.6"));
  info.set("CFBundleExecutable", plist::Value::string(executable));
  std::filesystem::create_directories(bundlePath + "/Contents/Resources");
  ASSERT_TRUE(plist::writeFile(bundlePath + "/Contents/Info.plist", info));
}

TEST(Bundle, OpenReadsTheInfoDictionary) {
  TempFolder folder;
  const std::string path = folder / "Thing.component";
  writeInfo(path, "org.tarnwick.test.open");
  const auto opened = Bundle::open(path);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->path(), std::filesystem::canonical(path).string());
  EXPECT_EQ(opened->identifier(), "org.tarnwick.test.open");
  EXPECT_EQ(opened->version(), "2.4.6");
  EXPECT_EQ(opened->executablePath(), opened->path() + "/Contents/Linux/Thing.so");
  EXPECT_EQ(opened->infoDictionary().find("CFBundleExecutable")->asString(), "Thing");
  EXPECT_EQ(Bundle::open(path + "/"), opened);
  EXPECT_EQ(Bundle::open(folder.path() + "/./Thing.component"), opened);
}

TEST(Bundle, ExecutableNameAlreadyEndingInSoIsKept) {
  TempFolder folder;
  writeInfo(folder / "B.bundle", "org.tarnwick.test.so", "Lib.so");
  const auto opened = Bundle::open(folder / "B.bundle");
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->executablePath(), opened->path() + "/Contents/Linux/Lib.so");
}

TEST(Bundle, MissingOrBrokenInfoPlistIsRefusedWithAStatus) {
  TempFolder folder;
  plist::ReadStatus status = plist::ReadStatus::Ok;
  EXPECT_FALSE(Bundle::open(folder / "Nothing.component", &status));
  EXPECT_EQ(status, plist::ReadStatus::Missing);
  std::filesystem::create_directories(folder / "Empty.component/Contents");
  EXPECT_FALSE(Bundle::open(folder / "Empty.component", &status));
  EXPECT_EQ(status, plist::ReadStatus::Missing);
  TempFolder::writeText(folder / "Broken.component/Contents/Info.plist", "<plist><dict>");
  EXPECT_FALSE(Bundle::open(folder / "Broken.component", &status));
  EXPECT_EQ(status, plist::ReadStatus::Malformed);
  std::filesystem::create_directories(folder / "Array.component/Contents");
  ASSERT_TRUE(
      plist::writeFile(folder / "Array.component/Contents/Info.plist", plist::Value::array()));
  EXPECT_FALSE(Bundle::open(folder / "Array.component", &status));
  EXPECT_EQ(status, plist::ReadStatus::Malformed);
}

TEST(Bundle, ResourcesAreFoundByNameAndType) {
  const auto opened = Bundle::open(kTestBundle);
  ASSERT_TRUE(opened) << "test bundle not built at " << kTestBundle;
  EXPECT_EQ(opened->resourcePath("Greeting", "txt"),
            opened->path() + "/Contents/Resources/Greeting.txt");
  EXPECT_EQ(opened->resourcePath("Editor", "bundle"),
            opened->path() + "/Contents/Resources/Editor.bundle");
  EXPECT_EQ(opened->resourcePath("Greeting.txt", ""),
            opened->path() + "/Contents/Resources/Greeting.txt");
  EXPECT_EQ(opened->resourcePath("Greeting", "png"), "");
  EXPECT_EQ(opened->resourcePath("Missing", "txt"), "");
  EXPECT_EQ(opened->resourcePath("", "txt"), "");
  EXPECT_EQ(opened->resourcePath("../Info", "plist"), "");
  EXPECT_EQ(opened->resourcePath("/etc/passwd", ""), "");
}

TEST(Bundle, IdentifierLookupFindsRegisteredBundlesOnly) {
  EXPECT_FALSE(Bundle::withIdentifier("org.tarnwick.test.never-opened"));
  EXPECT_FALSE(Bundle::withIdentifier(""));
  TempFolder folder;
  writeInfo(folder / "First.component", "org.tarnwick.test.shared-id");
  writeInfo(folder / "Second.component", "org.tarnwick.test.shared-id");
  const auto first = Bundle::open(folder / "First.component");
  const auto second = Bundle::open(folder / "Second.component");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_EQ(Bundle::withIdentifier("org.tarnwick.test.shared-id"), first);
}

TEST(Bundle, ForAddressFindsTheBundleOfALoadedLibrary) {
  const std::string library = kTestBundle + "/Contents/Linux/VxTestComponent.so";
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  void* entry = ::dlsym(handle, "VxTestComponentEntry");
  ASSERT_NE(entry, nullptr);
  const auto found = Bundle::forAddress(entry);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->path(), std::filesystem::canonical(kTestBundle).string());
  EXPECT_EQ(found->identifier(), "org.tarnwick.test.component");
  EXPECT_EQ(Bundle::withIdentifier("org.tarnwick.test.component"), found);
  ::dlclose(handle);
}

TEST(Bundle, ForAddressOutsideAnyBundleIsNull) {
  static int localVariable = 0;
  EXPECT_FALSE(Bundle::forAddress(&localVariable));  // the test program is in no bundle
  EXPECT_FALSE(Bundle::forAddress(nullptr));
  EXPECT_FALSE(Bundle::forAddress(reinterpret_cast<const void*>(&::dlopen)));  // libc
}

}  // namespace
