// SPDX-License-Identifier: GPL-3.0-or-later
// Preset files: every stored control reaches its parameter as the editor's control sends it,
// missing entries read as zero, saving replaces a case-only rename in place, and files that are
// malformed, hostile or huge are refused with a message while the file on disk stays as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "presets/factory_source.h"
#include "presets/preset_list.h"
#include "presets/preset_locations.h"
#include "presets/preset_settings.h"

namespace {

using namespace tarnwick_presets;
namespace fs = std::filesystem;

struct Row {
  const char* key;
  plist::Value stored;
  int parameter;
  float sent;
};

// One row per control: a stored value chosen so that its conversion shows (integer part,
// limiting, no limiting, no rounding), and the parameter value the control sends.
std::vector<Row> controlRows() {
  using V = plist::Value;
  return {
      {"uiFBAmtSlider", V::real(150.0), 0, 100.0f},  // limited to the slider's range
      {"uiCarrMixSlider", V::real(33.7), 1, 33.0f},  // integer part
      {"uiSpeechMixSlider", V::integer(12), 2, 12.0f},
      {"uiRevMixSlider", V::real(0.1), 3, 0.0f},  // the slider sends 0, not the default 0.1
      {"uiRevDiffSlider", V::real(120.0), 4, 99.0f},
      {"uiRevDecaySlider", V::real(98.9), 5, 98.0f},
      {"uiReleaseSlider", V::real(-5.0), 6, 0.0f},
      {"uiSoundModePopUp", V::integer(12), 7, 7.0f},  // index limited to the 8 items
      {"uiHFPassButton", V::boolean(true), 8, 1.0f},
      {"uiVcUvButton", V::integer(2), 9, 1.0f},  // any non-zero number is on
      {"uiFreezeButton", V::real(0.5), 10, 1.0f},
      {"uiFlipButton", V::boolean(true), 11, 1.0f},
      {"uiEqSliderMatrix.0", V::real(-3.25), 12, -3.25f},  // not rounded
      {"uiEqSliderMatrix.1", V::real(20.0), 13, 12.0f},
      {"uiEqSliderMatrix.2", V::real(-20.0), 14, -12.0f},
      {"uiEqSliderMatrix.3", V::real(1.5), 15, 1.5f},
      {"uiEqSliderMatrix.4", V::integer(4), 16, 4.0f},
      {"uiEqSliderMatrix.5", V::real(5.75), 17, 5.75f},
      {"uiEqSliderMatrix.6", V::real(-0.5), 18, -0.5f},
      {"uiEqSliderMatrix.7", V::real(7.0), 19, 7.0f},
      {"uiEqSliderMatrix.8", V::real(8.125), 20, 8.125f},
      {"uiEqSliderMatrix.9", V::real(-9.0), 21, -9.0f},
      {"uiEqGainSlider", V::real(-4.6), 22, -4.0f},  // integer part towards zero
      {"uiSynthButton", V::boolean(true), 23, 1.0f},
      {"uiCoarseASlider", V::real(-30.0), 24, -24.0f},
      {"uiFineASlider", V::real(-45.9), 25, -45.0f},
      {"uiOscAWavePopUp", V::integer(9), 26, 9.0f},
      {"uiCoarseBSlider", V::real(19.99), 27, 19.0f},
      {"uiFineBSlider", V::real(99.0), 28, 99.0f},
      {"uiOscBWavePopUp", V::integer(40), 29, 10.0f},
      {"uiModADepthSlider", V::real(-100.0), 30, -100.0f},
      {"uiModASpeedSlider", V::real(64.2), 31, 64.0f},
      {"uiLfoAWavePopUp", V::integer(-3), 32, 0.0f},
      {"uiModBDepthSlider", V::real(57.5), 33, 57.0f},
      {"uiModBSpeedSlider", V::real(101.0), 34, 100.0f},
      {"uiLfoBWavePopUp", V::real(2.9), 35, 2.0f},
      {"uiSyncButton", V::boolean(true), 36, 1.0f},
      {"uiRingmodButton", V::boolean(true), 37, 1.0f},
      {"uiFilterCutoffSlider", V::real(44.4), 38, 44.0f},
      {"uiFilterResoSlider", V::real(71.0), 39, 71.0f},
      {"uiFilterDistSlider", V::real(12.5), 40, 12.0f},
      {"uiOctaveSlider", V::real(3.5), 41, 2.0f},
      {"uiSamplesWavesPopUp", V::integer(1), 42, 1.0f},
      {"uiAutoFreezeButton", V::boolean(true), 43, 1.0f},
      {"uiSuperFatButton", V::boolean(true), 44, 1.0f},
      {"uiMasterTuneTextField", V::real(1000.7), 45, 1000.0f},  // the field is not limited
      {"uiRoomAmountSlider", V::real(25.5), 46, 25.0f},
      {"uiRoomSizeSlider", V::real(65.0), 47, 65.0f},
  };
}

plist::Data keyData(const std::vector<float>& entries) { return dataFromKeyList(entries); }

std::string readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class PresetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mFolder = fs::temp_directory_path() /
              ("tarnwick-presets-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(mFolder);
    fs::create_directories(mFolder);
  }
  void TearDown() override { fs::remove_all(mFolder); }
  fs::path mFolder;
};

TEST(PresetSettings, EachStoredControlDrivesItsOwnParameterAsItsControlSendsIt) {
  std::set<int> covered;
  for (const Row& row : controlRows()) {
    SCOPED_TRACE(row.key);
    plist::Value preset = plist::Value::dictionary();
    preset.set(row.key, row.stored);
    const PresetSettings settings = settingsFromPreset(&preset);
    for (int id = 0; id < kParameterCount; ++id) {
      // The other 47 entries are missing and read as 0, off or index 0.
      EXPECT_EQ(settings.parameters[id], id == row.parameter ? row.sent : 0.0f) << "id " << id;
    }
    EXPECT_TRUE(settings.keyOns.empty());
    EXPECT_TRUE(covered.insert(row.parameter).second) << "parameter driven twice";
  }
  EXPECT_EQ(covered.size(), size_t(kParameterCount));
  std::set<std::string> keys;
  for (const PresetControl& control : presetControls()) keys.insert(control.key);
  for (const Row& row : controlRows()) EXPECT_EQ(keys.count(row.key), 1u) << row.key;
}

TEST(PresetSettings, AnAbsentPresetSendsZerosAndHoldsNoKey) {
  const PresetSettings settings = settingsFromPreset(nullptr);
  EXPECT_TRUE(settings.name.empty());
  for (float value : settings.parameters) EXPECT_EQ(value, 0.0f);
  EXPECT_TRUE(settings.keyOns.empty());
}

TEST(PresetSettings, SamplesWithWaveNineSendsNineUncorrected) {
  plist::Value preset = plist::Value::dictionary();
  preset.set("uiSamplesWavesPopUp", plist::Value::integer(1));
  preset.set("uiOscAWavePopUp", plist::Value::integer(9));
  const PresetSettings settings = settingsFromPreset(&preset);
  EXPECT_EQ(settings.parameters[42], 1.0f);
  EXPECT_EQ(settings.parameters[26], 9.0f);
}

TEST(PresetSettings, KeyListIsBigEndianAndOnlyNonZeroEntriesAreKeyed) {
  plist::Value preset = plist::Value::dictionary();
  plist::Data bytes = keyData({60.0f, 0.0f, 64.0f, 67.5f, NAN, 0.0f});
  ASSERT_EQ(bytes[0], 0x42);  // 60.0f is 0x42700000, most significant byte first
  ASSERT_EQ(bytes[1], 0x70);
  bytes.push_back(0x42);  // a trailing partial word is not an entry
  preset.set(kKeyboardKey, plist::Value::data(bytes));
  EXPECT_EQ(settingsFromPreset(&preset).keyOns, (std::vector<int>{60, 64, 67}));

  // The keyboard keeps 1023 entries of a longer list; the component holds 32 of them.
  preset.set(kKeyboardKey, plist::Value::data(keyData(std::vector<float>(1250, 50.0f))));
  const PresetSettings many = settingsFromPreset(&preset);
  EXPECT_EQ(many.keyOns.size(), kMaxKeyListEntries);
  const auto slots = heldKeySlots(many.keyOns);
  for (float slot : slots) EXPECT_EQ(slot, 50.0f);

  // Keys the component refuses (outside 0 … 127) take no slot.
  const auto refused = heldKeySlots({-4, 200, 72});
  EXPECT_EQ(refused[0], 72.0f);
  EXPECT_EQ(refused[1], 0.0f);
}

TEST(PresetSettings, SavedDictionaryAppliesBackToTheSameParametersAndKeys) {
  std::array<float, kParameterCount> parameters{};
  for (const Row& row : controlRows()) parameters[row.parameter] = row.sent;
  parameters[45] = 441.0f;
  const plist::Value preset = presetFromSettings("Round Trip", parameters, {48.0f, 0.0f, 55.0f});
  EXPECT_TRUE(preset.find("uiSynthButton")->isBoolean());
  EXPECT_TRUE(preset.find("uiOscAWavePopUp")->isInteger());
  EXPECT_TRUE(preset.find("uiEqSliderMatrix.0")->isReal());
  EXPECT_EQ(preset.find(kKeyboardKey)->asData().size(), 12u);
  const PresetSettings settings = settingsFromPreset(&preset);
  EXPECT_EQ(settings.name, "Round Trip");
  for (int id = 0; id < kParameterCount; ++id) EXPECT_EQ(settings.parameters[id], parameters[id]);
  EXPECT_EQ(settings.keyOns, (std::vector<int>{48, 55}));
}

TEST(FactorySource, BuildsEveryControlFromDefaultsAndRefusesBadLinesByNumber) {
  std::string error;
  const auto list = buildFromSource(
      "# comment\n[Lead]\nSound Mode = 6\nOscB Pitch Cent = -9\nKeys = C3 F#3 Bb3 72\n", &error);
  ASSERT_TRUE(list) << error;
  ASSERT_EQ(list->size(), 1u);
  const PresetSettings settings = settingsFromPreset(&list->preset(0));
  EXPECT_EQ(settings.name, "Lead");
  EXPECT_EQ(settings.parameters[7], 6.0f);
  EXPECT_EQ(settings.parameters[28], -9.0f);
  EXPECT_EQ(settings.parameters[0], 50.0f);   // defaults for what the source leaves out
  EXPECT_EQ(settings.parameters[45], 440.0f);
  EXPECT_EQ(settings.parameters[38], 100.0f);
  EXPECT_EQ(settings.keyOns, (std::vector<int>{48, 54, 58, 72}));

  const struct {
    const char* source;
    const char* message;
  } bad[] = {
      {"Sound Mode = 1\n", "line 1: a setting before"},
      {"[A]\nSound Mode = 8\n", "line 2: '8' is not a value of 'Sound Mode' (0 … 7)"},
      {"[A]\nLoudness = 3\n", "line 2: no parameter is named"},
      {"[A]\n\nKeys = C3 X9\n", "line 3: 'X9' is not a key"},
      {"[A]\n[a]\n", "line 2: a second preset named"},
      {"[A\n", "line 1: a preset name"},
  };
  for (const auto& c : bad) {
    error.clear();
    EXPECT_FALSE(buildFromSource(c.source, &error)) << c.source;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
}

TEST_F(PresetFileTest, SavingUnderACaseOnlyRenameReplacesInPlace) {
  const fs::path path = mFolder / "TarnwickPresets.plist";
  std::array<float, kParameterCount> parameters{};
  for (const char* name : {"Alpha", "Bright Lead", "Gamma"}) {
    std::string error;
    ASSERT_TRUE(savePreset(path, presetFromSettings(name, parameters, {}), &error)) << error;
  }
  const auto before = PresetList::readFile(path, nullptr);
  ASSERT_TRUE(before);
  parameters[0] = 77.0f;
  std::string error;
  const auto index = savePreset(path, presetFromSettings("BRIGHT lead", parameters, {60.0f}), &error);
  ASSERT_TRUE(index) << error;
  EXPECT_EQ(*index, 1u);
  const auto after = PresetList::readFile(path, &error);
  ASSERT_TRUE(after) << error;
  ASSERT_EQ(after->size(), 3u);
  EXPECT_EQ(after->name(1), "BRIGHT lead");  // the stored name takes the new letter case
  EXPECT_EQ(settingsFromPreset(&after->preset(1)).parameters[0], 77.0f);
  EXPECT_EQ(after->preset(0), before->preset(0));
  EXPECT_EQ(after->preset(2), before->preset(2));
  // A new name is appended.
  ASSERT_TRUE(savePreset(path, presetFromSettings("Delta", parameters, {}), &error));
  EXPECT_EQ(PresetList::readFile(path, nullptr)->name(3), "Delta");
}

TEST_F(PresetFileTest, FirstSaveMovesTheComponentCopyIntoTheUsersFileAndAReinstallHidesNothing) {
  const PresetLocations where{(mFolder / "component.plist").string(),
                              (mFolder / "TarnwickPresets.plist").string()};
  std::array<float, kParameterCount> parameters{};
  PresetList factory;
  ASSERT_TRUE(factory.store(presetFromSettings("Factory One", parameters, {}), nullptr));
  ASSERT_TRUE(factory.store(presetFromSettings("Factory Two", parameters, {}), nullptr));
  ASSERT_TRUE(factory.writeFile(where.componentCopy, nullptr));
  std::vector<std::string> lines;
  const PresetLog log = [&lines](const std::string& line) { lines.push_back(line); };

  auto list = readMenuPresets(where, log);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->size(), 2u);
  EXPECT_EQ(lines.back(), "OK: Loaded presets from component at '" + where.componentCopy + "'");

  ASSERT_EQ(saveMenuPreset(where, presetFromSettings("Mine", parameters, {}), log), 2u);
  EXPECT_EQ(lines.back(), "yipiie");
  EXPECT_FALSE(fs::exists(where.componentCopy));
  list = readMenuPresets(where, log);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->size(), 3u);
  EXPECT_EQ(list->name(0), "Factory One");
  EXPECT_EQ(list->name(2), "Mine");
  EXPECT_EQ(lines.back(), "OK: Loaded presets from default location at '" + where.userFile + "'");

  // A reinstall brings the component copy back: the saved preset stays in the menu.
  ASSERT_TRUE(factory.writeFile(where.componentCopy, nullptr));
  list = readMenuPresets(where, log);
  ASSERT_TRUE(list);
  EXPECT_TRUE(list->find("mine"));

  // A user's file that cannot be read is neither replaced nor hidden behind a silent success.
  const std::string broken = "<plist><array><dict>";
  writeBytes(where.userFile, broken);
  lines.clear();
  EXPECT_FALSE(saveMenuPreset(where, presetFromSettings("Other", parameters, {}), log));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "could not write file");
  EXPECT_EQ(readBytes(where.userFile), broken);
  EXPECT_TRUE(fs::exists(where.componentCopy));
  lines.clear();
  list = readMenuPresets(where, log);  // falls back to the component copy, saying why
  ASSERT_TRUE(list);
  EXPECT_EQ(lines.front(), "ERROR: Can't load presets from default location at '" + where.userFile + "'");
  EXPECT_EQ(lines.back(), "OK: Loaded presets from component at '" + where.componentCopy + "'");
}

TEST_F(PresetFileTest, HostileFilesAreRefusedWithAMessageAndLeftUntouched) {
  const std::string header =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
  const std::string good = header +
                           "<array><dict><key>uiPresetName</key><string>One</string>"
                           "<key>uiFBAmtSlider</key><real>40</real></dict></array></plist>\n";
  std::string deep = header;
  for (int i = 0; i < 300; ++i) deep += "<array>";
  for (int i = 0; i < 300; ++i) deep += "</array>";
  deep += "</plist>\n";
  std::string many = header + "<array>";
  for (int i = 0; i < 1000000; ++i) many += "<dict/>";
  many += "</array></plist>\n";
  auto withEntry = [&](const std::string& entry) {
    return header + "<array><dict>" + entry + "</dict></array></plist>\n";
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"truncated", good.substr(0, good.size() / 2)},
      {"root a dictionary", header + "<dict><key>uiPresetName</key><string>x</string></dict>"
                                     "</plist>\n"},
      {"a preset that is a string", header + "<array><string>x</string></array></plist>\n"},
      {"slider as text", withEntry("<key>uiFBAmtSlider</key><string>50</string>")},
      {"name as number", withEntry("<key>uiPresetName</key><integer>3</integer>")},
      {"keys as array", withEntry("<key>uiTarnwickKeyboardView</key><array/>")},
      {"slider not finite", withEntry("<key>uiRoomSizeSlider</key><real>nan</real>")},
      {"nested 300 deep", deep},
      {"a million presets", many},
  };
  const fs::path path = mFolder / "TarnwickPresets.plist";
  std::array<float, kParameterCount> parameters{};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeBytes(path, c.bytes);
    std::string error;
    EXPECT_FALSE(PresetList::readFile(path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PresetList::parse(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                   c.bytes.size(), nullptr));
    error.clear();
    EXPECT_FALSE(savePreset(path, presetFromSettings("New", parameters, {}), &error));
    EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
    EXPECT_EQ(readBytes(path), c.bytes);
  }

  // 100 MB (a sparse file): refused by its size before it is read.
  const fs::path huge = mFolder / "huge.plist";
  writeBytes(huge, good);
  ASSERT_EQ(::truncate(huge.c_str(), off_t(100) << 20), 0);
  std::string error;
  EXPECT_FALSE(PresetList::readFile(huge, &error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
  EXPECT_FALSE(savePreset(huge, presetFromSettings("New", parameters, {}), &error));
  EXPECT_EQ(fs::file_size(huge), uintmax_t(100) << 20);

  // The good file still reads; a missing file is told apart from a broken one.
  writeBytes(path, good);
  const auto list = PresetList::readFile(path, &error);
  ASSERT_TRUE(list) << error;
  EXPECT_EQ(list->name(0), "One");
  bool missing = false;
  EXPECT_FALSE(PresetList::readFile(mFolder / "absent.plist", &error, &missing));
  EXPECT_TRUE(missing);
}

}  // namespace

namespace {

TEST(FactoryPresets, EveryPresetStoresEveryControlAndHoldsAChordWhereTheSynthIsOn) {
  const std::string path =
      std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component/Contents/Resources/TarnwickPresets.plist";
  std::string error;
  const auto list = PresetList::readFile(path, &error);
  ASSERT_TRUE(list) << path << ": " << error;
  EXPECT_GE(list->size(), 16u);
  for (size_t i = 0; i < list->size(); ++i) {
    const std::string name = list->name(i);
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(list->find(name), i) << "two presets share a name";
    for (const PresetControl& control : presetControls()) {
      EXPECT_TRUE(list->preset(i).find(control.key)) << control.key << " is missing";
    }
    const PresetSettings settings = settingsFromPreset(&list->preset(i));
    EXPECT_GE(settings.parameters[45], 430.0f);  // the tuning is stored, not read as 0
    if (settings.parameters[23] != 0.0f) {
      ASSERT_GE(settings.keyOns.size(), 2u) << "no chord held";
      for (int key : settings.keyOns) {
        EXPECT_GE(key, 48);  // on the editor's keyboard, C3 … B4
        EXPECT_LE(key, 71);
      }
    }
  }
}

}  // namespace
