// SPDX-License-Identifier: GPL-3.0-or-later
// Loading component bundles: the built test bundle end to end, and every way a bundle can be
// broken.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/bundle/bundle.h"
#include "platform/notify/notification_center.h"
#include "platform/testing/temp_folder.h"

namespace {

using plist::Value;
using vxtest::TempFolder;

const std::string kTestBundle =
    std::string(TARNWICK_BUILD_DIR) + "/platform/testdata/VxTestComponent.component";
const std::string kTestLibrary = kTestBundle + "/Contents/Linux/VxTestComponent.so";
constexpr AudioUnitPropertyID kIdentifierProperty = 0x20000;  // answered by the test component

Value componentEntry(const std::string& subtype, const std::string& entry) {
  Value item;
  item.set("type", Value::string("aufx"));
  item.set("subtype", Value::string(subtype));
  item.set("manufacturer", Value::string("VxBd"));
  item.set("name", Value::string("Vx: " + subtype));
  item.set("version", Value::integer(3));
  item.set("entry", Value::string(entry));
  return item;
}

Value infoWith(Value components) {
  Value info;
  info.set("CFBundleIdentifier", Value::string("org.tarnwick.test.loader"));
  info.set("CFBundleShortVersionString", Value::string("0.1.0"));
  info.set("CFBundleExecutable", Value::string("Copy"));
  info.set("AudioComponents", std::move(components));
  return info;
}

// A bundle in folder with the given Info.plist and, when withBinary, a copy of the test
// component's library as its executable.
std::string makeBundle(const TempFolder& folder, const std::string& name, const Value& info,
                       bool withBinary = true) {
  const std::string path = folder / (name + ".component");
  std::filesystem::create_directories(path + "/Contents/Linux");
  EXPECT_TRUE(plist::writeFile(path + "/Contents/Info.plist", info));
  if (withBinary) std::filesystem::copy_file(kTestLibrary, path + "/Contents/Linux/Copy.so");
  return path;
}

bool registeredSubtype(const std::string& subtype) {
  ComponentDescription wanted{0, 0, fourCharCode("VxBd"), 0, 0};
  wanted.componentSubType = (OSType(uint8_t(subtype[0])) << 24) |
                            (OSType(uint8_t(subtype[1])) << 16) |
                            (OSType(uint8_t(subtype[2])) << 8) | OSType(uint8_t(subtype[3]));
  return FindNextComponent(nullptr, &wanted) != nullptr;
}

TEST(ComponentBundle, LoadsOpensAndTalksToTheTestComponent) {
  std::vector<Component> components;
  std::string message;
  ASSERT_EQ(loadComponentBundle(kTestBundle, &components, &message), noErr) << message;
  ASSERT_EQ(components.size(), 2u);

  ComponentDescription description{};
  std::string name;
  ASSERT_EQ(GetComponentInfo(components[0], &description, &name), noErr);
  EXPECT_EQ(description.componentType, kAudioUnitType_Effect);
  EXPECT_EQ(description.componentSubType, fourCharCode("echo"));
  EXPECT_EQ(description.componentManufacturer, fourCharCode("VxTs"));
  EXPECT_EQ(name, "Vx Test: Echo Effect");
  EXPECT_EQ(GetComponentRegisteredVersion(components[0]), 65538u);
  ASSERT_EQ(GetComponentInfo(components[1], &description, &name), noErr);
  EXPECT_EQ(description.componentType, kAudioUnitCarbonViewComponentType);

  const auto bundle = bundle::Bundle::withIdentifier("org.tarnwick.test.component");
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->version(), "1.0.2");

  // The component posts on the default centre from inside its own library when it opens: one
  // centre per process, shared with the host.
  const void* openedObject = nullptr;
  const auto token = notify::Center::defaultCenter().addObserver(
      "VxTestComponentOpened", nullptr,
      [&openedObject](const notify::Notification& n) { openedObject = n.object(); });
  AudioUnit unit = nullptr;
  ASSERT_EQ(OpenAComponent(components[0], &unit), noErr);
  notify::Center::defaultCenter().removeObserver(token);
  EXPECT_EQ(openedObject, unit);
  EXPECT_NE(unit->storage, nullptr);

  EXPECT_EQ(CallComponentVersion(unit), 0x00010002);
  EXPECT_EQ(AudioUnitInitialize(unit), noErr);
  char identifier[64] = {};
  UInt32 size = sizeof identifier;
  ASSERT_EQ(
      AudioUnitGetProperty(unit, kIdentifierProperty, kAudioUnitScope_Global, 0, identifier, &size),
      noErr);
  EXPECT_STREQ(identifier, "org.tarnwick.test.component");  // found from the library's address
  EXPECT_EQ(AudioUnitReset(unit, 0, 0), badComponentSelector);
  EXPECT_EQ(CloseComponent(unit), noErr);

  std::vector<Component> again;
  ASSERT_EQ(loadComponentBundle(kTestBundle, &again), noErr);
  EXPECT_EQ(again, components);
}

TEST(ComponentBundle, MissingFolderOrInfoPlist) {
  TempFolder folder;
  std::vector<Component> components;
  std::string message;
  EXPECT_EQ(loadComponentBundle(folder / "Absent.component", &components, &message),
            kComponentBundleErr_NoInfoPlist);
  EXPECT_NE(message.find("Absent.component"), std::string::npos) << message;
  std::filesystem::create_directories(folder / "Bare.component/Contents/Linux");
  EXPECT_EQ(loadComponentBundle(folder / "Bare.component", &components, &message),
            kComponentBundleErr_NoInfoPlist);
  EXPECT_TRUE(components.empty());
}

TEST(ComponentBundle, BrokenInfoPlist) {
  TempFolder folder;
  TempFolder::writeText(folder / "Garbage.component/Contents/Info.plist", "\x01\x02 not a plist");
  std::string message;
  EXPECT_EQ(loadComponentBundle(folder / "Garbage.component", nullptr, &message),
            kComponentBundleErr_BadInfoPlist);
  EXPECT_FALSE(message.empty());

  struct Case {
    const char* name;
    Value info;
  };
  std::vector<Case> cases;
  cases.push_back({"NoComponents", infoWith(Value::array())});
  cases.push_back({"NotAnArray", infoWith(Value::string("bdX1"))});
  cases.push_back({"NotADictionary", infoWith(Value::array({Value::integer(1)}))});
  Value shortCode = componentEntry("bdX2", "VxTestComponentEntry");
  shortCode.set("type", Value::string("fx"));
  cases.push_back({"ShortCode", infoWith(Value::array({shortCode}))});
  Value noName = componentEntry("bdX3", "VxTestComponentEntry");
  noName.asDictionary().erase("name");
  cases.push_back({"NoName", infoWith(Value::array({noName}))});
  Value noEntry = componentEntry("bdX4", "VxTestComponentEntry");
  noEntry.asDictionary().erase("entry");
  cases.push_back({"NoEntry", infoWith(Value::array({noEntry}))});
  Value badVersion = componentEntry("bdX5", "VxTestComponentEntry");
  badVersion.set("version", Value::string("1.0"));
  cases.push_back({"BadVersion", infoWith(Value::array({badVersion}))});
  Value noExecutable = infoWith(Value::array({componentEntry("bdX6", "VxTestComponentEntry")}));
  noExecutable.asDictionary().erase("CFBundleExecutable");
  cases.push_back({"NoExecutableKey", noExecutable});
  Value noIdentifier = infoWith(Value::array({componentEntry("bdX7", "VxTestComponentEntry")}));
  noIdentifier.asDictionary().erase("CFBundleIdentifier");
  cases.push_back({"NoIdentifier", noIdentifier});

  for (const Case& c : cases) {
    std::vector<Component> components;
    message.clear();
    const std::string path = makeBundle(folder, c.name, c.info);
    EXPECT_EQ(loadComponentBundle(path, &components, &message), kComponentBundleErr_BadInfoPlist)
        << c.name;
    EXPECT_FALSE(message.empty()) << c.name;
    EXPECT_TRUE(components.empty()) << c.name;
  }
  for (const char* subtype : {"bdX2", "bdX3", "bdX4", "bdX5", "bdX6", "bdX7"}) {
    EXPECT_FALSE(registeredSubtype(subtype)) << subtype;
  }
}

TEST(ComponentBundle, MissingOrUnloadableExecutable) {
  TempFolder folder;
  std::string message;
  const std::string missing =
      makeBundle(folder, "NoBinary",
                 infoWith(Value::array({componentEntry("bdM1", "VxTestComponentEntry")})), false);
  EXPECT_EQ(loadComponentBundle(missing, nullptr, &message), kComponentBundleErr_NoExecutable);
  EXPECT_NE(message.find("Copy.so"), std::string::npos) << message;

  const std::string junk =
      makeBundle(folder, "Junk",
                 infoWith(Value::array({componentEntry("bdM2", "VxTestComponentEntry")})), false);
  TempFolder::writeText(junk + "/Contents/Linux/Copy.so", "this is not an ELF object");
  EXPECT_EQ(loadComponentBundle(junk, nullptr, &message), kComponentBundleErr_LoadFailed);
  EXPECT_FALSE(message.empty());
  EXPECT_FALSE(registeredSubtype("bdM1"));
  EXPECT_FALSE(registeredSubtype("bdM2"));
}

TEST(ComponentBundle, MissingSymbolRegistersNothing) {
  TempFolder folder;
  const std::string path =
      makeBundle(folder, "NoSymbol",
                 infoWith(Value::array({componentEntry("bdS1", "VxTestComponentEntry"),
                                        componentEntry("bdS2", "NoSuchEntryPoint")})));
  std::vector<Component> components;
  std::string message;
  EXPECT_EQ(loadComponentBundle(path, &components, &message), kComponentBundleErr_NoEntrySymbol);
  EXPECT_NE(message.find("NoSuchEntryPoint"), std::string::npos) << message;
  EXPECT_TRUE(components.empty());
  EXPECT_FALSE(registeredSubtype("bdS1"));  // all or nothing

  // The same binary with a good Info.plist loads.
  const std::string good = makeBundle(
      folder, "Good", infoWith(Value::array({componentEntry("bdS3", "VxTestComponentEntry")})));
  ASSERT_EQ(loadComponentBundle(good, &components, &message), noErr) << message;
  ASSERT_EQ(components.size(), 1u);
  EXPECT_TRUE(registeredSubtype("bdS3"));
}

}  // namespace
