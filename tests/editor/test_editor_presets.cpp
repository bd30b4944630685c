// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's preset menu on real instances: applying every factory preset through the
// controls gives the component exactly the module's values and keys; saving replaces by name
// ignoring case in place, moves the component copy's presets into the user's file and removes
// the copy (and a copy brought back later hides nothing); presets without keys, the odd wave
// index of the samples menu, and hostile files. The component copy is always a temporary copy
// (TARNWICK_COMPONENT_PRESETS) and HOME a private folder.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "editor_fixture.h"
#include "platform/plist/plist_value.h"
#include "presets/preset_list.h"
#include "presets/preset_settings.h"

using namespace editor_test;
using tarnwick_host::Instance;
using tarnwick_host::KeyListener;
namespace fs = std::filesystem;
namespace tp = tarnwick_presets;

namespace {

const std::string kFactoryPlist = kComponentResources + "/TarnwickPresets.plist";

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A temporary component copy (the factory file unless given other bytes) and no user file.
class PresetFiles {
 public:
  explicit PresetFiles(const std::string& componentBytes = readBytes(kFactoryPlist)) {
    tarnwick_host::usePrivateHome();
    char pattern[] = "/tmp/tarnwick-presets-XXXXXX";
    mFolder = mkdtemp(pattern);
    mCopy = mFolder + "/TarnwickPresets.plist";
    writeBytes(mCopy, componentBytes);
    mUser = std::string(std::getenv("HOME")) + "/TarnwickPresets.plist";
    fs::remove(mUser);
    setenv("TARNWICK_COMPONENT_PRESETS", mCopy.c_str(), 1);
  }
  ~PresetFiles() {
    unsetenv("TARNWICK_COMPONENT_PRESETS");
    fs::remove(mUser);
    fs::remove_all(mFolder);
  }
  const std::string& copy() const { return mCopy; }
  const std::string& user() const { return mUser; }

 private:
  std::string mFolder, mCopy, mUser;
};

plist::Value keyData(std::vector<float> keys) {
  keys.resize(tp::kHeldKeySlots, 0.0f);
  return plist::Value::data(tp::dataFromKeyList(keys));
}

std::string presetFileWith(std::vector<plist::Value> presets) {
  const plist::Data bytes = plist::serialise(plist::Value::array(std::move(presets)));
  return std::string(bytes.begin(), bytes.end());
}

// The notes held by the component's slots, as KeyListener::held reports them.
std::vector<int> heldNotes(const std::vector<int>& keyOns) {
  std::vector<int> notes;
  for (float k : tp::heldKeySlots(keyOns)) {
    if (k >= 27.0f) notes.push_back(static_cast<int>(k));
  }
  return notes;
}

void choose(Editor& editor, int index) {
  editor.view()->uiPresetPopup->selectItemAtIndex(index);
  editor.view()->loadCurrentSetting(editor.view()->uiPresetPopup);
}

}  // namespace

TEST(EditorPresets, EveryFactoryPresetReachesTheComponentAsTheModuleReadsIt) {
  PresetFiles files;
  const auto list = tp::PresetList::readFile(files.copy(), nullptr);
  ASSERT_TRUE(list);
  ASSERT_GE(list->size(), 16u);
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  KeyListener keys(fx.refCon());
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->uiPresetPopup->numberOfItems(), static_cast<int>(list->size()));
  EXPECT_TRUE(view->uiPresetPopup->isEnabled());

  // Backwards, so that each preset follows a different one.
  for (int i = static_cast<int>(list->size()) - 1; i >= 0; --i) {
    SCOPED_TRACE(list->name(static_cast<size_t>(i)));
    EXPECT_EQ(view->uiPresetPopup->itemTitleAtIndex(i), list->name(static_cast<size_t>(i)));
    choose(editor, i);
    const tp::PresetSettings expected = tp::settingsFromPreset(&list->preset(static_cast<size_t>(i)));
    for (int id = 0; id < Tarnwick_CocoaView::kParameterCount; ++id) {
      EXPECT_FLOAT_EQ(fx.parameter(static_cast<AudioUnitParameterID>(id)),
                      expected.parameters[static_cast<size_t>(id)])
          << "parameter " << id;
    }
    EXPECT_EQ(keys.held(), heldNotes(expected.keyOns));
    EXPECT_EQ(view->uiPresetName->stringValue(), expected.name);
    EXPECT_EQ(view->uiPresetPopup->indexOfSelectedItem(), i);
    EXPECT_EQ(view->gestureDepth(), 0);
  }
  EXPECT_FALSE(keys.held().empty()) << "the first factory preset holds a chord";

  // The editor as a musician sees it: the menu filled and a preset applied.
  for (double scale : {1.0, 2.0}) {
    Editor shot(fx.unit(), scale);
    ASSERT_NE(shot.view(), nullptr);
    pumpFor(std::chrono::milliseconds(300));  // the opening's own notifications, delivered
    choose(shot, 2);
    pumpFor(std::chrono::milliseconds(300));
    // Two editors on the unit: the other one follows and sends nothing back.
    const float wave = tp::settingsFromPreset(&list->preset(2)).parameters[26];
    EXPECT_EQ(shot.view()->uiOscAWavePopUp->indexOfSelectedItem(), static_cast<int>(wave));
    EXPECT_EQ(view->uiOscAWavePopUp->indexOfSelectedItem(), static_cast<int>(wave));
    EXPECT_FLOAT_EQ(fx.parameter(26), wave);
    EXPECT_EQ(shot.view()->uiPresetPopup->titleOfSelectedItem(), list->name(2));
    shot.window()->display();
    const std::string name = scale == 1 ? "1x" : "2x";
    EXPECT_TRUE(shot.window()->writePNG(std::string(TARNWICK_BUILD_DIR) +
                                        "/screenshots/editor-preset-" + name + ".png"));
  }
}

TEST(EditorPresets, SavingReplacesByNameIgnoringCaseAndMovesTheComponentCopyIntoTheUsersFile) {
  PresetFiles files;
  const std::string factoryBytes = readBytes(files.copy());
  const auto factory = tp::PresetList::readFile(files.copy(), nullptr);
  ASSERT_TRUE(factory);
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);

  const int k = 3;
  // Ctrl held (the sliders' reset click) while a preset is applied resets nothing.
  ui::Application::shared().setOffscreenModifiers(ui::kControlKey);
  choose(editor, k);
  ui::Application::shared().setOffscreenModifiers(0);
  const tp::PresetSettings applied = tp::settingsFromPreset(&factory->preset(k));
  for (int id = 0; id < Tarnwick_CocoaView::kParameterCount; ++id) {
    EXPECT_FLOAT_EQ(fx.parameter(static_cast<AudioUnitParameterID>(id)),
                    applied.parameters[static_cast<size_t>(id)])
        << "parameter " << id;
  }
  std::string renamed = factory->name(k);
  for (char& c : renamed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_NE(renamed, factory->name(k));
  view->uiPresetName->setStringValue(renamed);
  view->uiFBAmtSlider->setFloatValue(77);
  view->uiFBAmtSlider->sendAction();
  testing::internal::CaptureStdout();
  view->saveCurrentSetting(view->uiSavePresetButton);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("yipiie"), std::string::npos) << log;

  EXPECT_FALSE(fs::exists(files.copy()));
  auto saved = tp::PresetList::readFile(files.user(), nullptr);
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), factory->size());
  EXPECT_EQ(saved->name(k), renamed);
  const plist::Value* amount = saved->preset(k).find("uiFBAmtSlider");
  ASSERT_TRUE(amount && amount->isNumber());
  EXPECT_EQ(amount->asReal(), 77.0);
  EXPECT_EQ(view->uiPresetPopup->numberOfItems(), static_cast<int>(factory->size()));
  EXPECT_EQ(view->uiPresetPopup->indexOfSelectedItem(), k);
  EXPECT_EQ(view->uiPresetPopup->itemTitleAtIndex(k), renamed);

  // A new name is appended, listed last and selected; the list now comes from the user's file.
  view->uiPresetName->setStringValue("My Own");
  view->saveCurrentSetting(view->uiSavePresetButton);
  const int last = static_cast<int>(factory->size());
  EXPECT_EQ(view->uiPresetPopup->numberOfItems(), last + 1);
  EXPECT_EQ(view->uiPresetPopup->indexOfSelectedItem(), last);
  EXPECT_EQ(view->uiPresetPopup->itemTitleAtIndex(last), "My Own");

  // A reinstall brings the component copy back: the saved presets stay in the menu.
  writeBytes(files.copy(), factoryBytes);
  view->populatePresetPopup();
  EXPECT_EQ(view->uiPresetPopup->numberOfItems(), last + 1);
  EXPECT_EQ(view->uiPresetPopup->itemTitleAtIndex(k), renamed);

  // An empty name saves nothing.
  const std::string before = readBytes(files.user());
  view->uiPresetName->setStringValue("");
  view->saveCurrentSetting(view->uiSavePresetButton);
  EXPECT_EQ(readBytes(files.user()), before);
}

TEST(EditorPresets, APresetWithoutKeysHoldsNoneAndAnOddWaveIndexIsSentAsStored) {
  auto chord = plist::Value::dictionary();
  chord.set("uiPresetName", plist::Value::string("Chord"));
  chord.set("uiSynthButton", plist::Value::boolean(true));
  chord.set("uiCarrMixSlider", plist::Value::real(60));
  chord.set("uiTarnwickKeyboardView", keyData({48, 55, 60}));
  auto noKeys = plist::Value::dictionary();
  noKeys.set("uiPresetName", plist::Value::string("No Keys"));
  noKeys.set("uiSynthButton", plist::Value::boolean(true));
  auto oddWave = plist::Value::dictionary();
  oddWave.set("uiPresetName", plist::Value::string("Samples With Wave 9"));
  oddWave.set("uiSamplesWavesPopUp", plist::Value::integer(1));
  oddWave.set("uiOscAWavePopUp", plist::Value::integer(9));
  PresetFiles files(presetFileWith({chord, noKeys, oddWave}));
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  KeyListener keys(fx.refCon());
  Editor editor(fx.unit());  // a fresh instance: the first preset is applied on attach
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(keys.held(), (std::vector<int>{48, 55, 60}));
  EXPECT_FLOAT_EQ(fx.parameter(1), 60);

  choose(editor, 1);
  EXPECT_EQ(keys.held(), std::vector<int>{});
  EXPECT_FLOAT_EQ(fx.parameter(1), 0);  // a missing entry reads as 0
  EXPECT_FLOAT_EQ(fx.parameter(23), 1);

  choose(editor, 2);
  EXPECT_FLOAT_EQ(fx.parameter(42), 1);
  EXPECT_FLOAT_EQ(fx.parameter(26), 9);
  EXPECT_EQ(view->uiOscAWavePopUp->indexOfSelectedItem(), 9);
  ASSERT_NE(view->uiOscAWavePopUp->itemAtIndex(9), nullptr);
  EXPECT_FALSE(view->uiOscAWavePopUp->itemAtIndex(9)->isEnabled());
  EXPECT_EQ(view->uiOscAWavePopUp->itemTitleAtIndex(9), "");
}

TEST(EditorPresets, HostileFilesLeaveTheMenuDisabledAndTheSettingsAlone) {
  const std::string factory = readBytes(kFactoryPlist);
  auto wrongType = plist::Value::dictionary();
  wrongType.set("uiPresetName", plist::Value::integer(5));
  auto wrongControl = plist::Value::dictionary();
  wrongControl.set("uiPresetName", plist::Value::string("x"));
  wrongControl.set("uiFBAmtSlider", plist::Value::string("loud"));
  const std::string cases[] = {
      factory.substr(0, factory.size() / 2),  // truncated
      presetFileWith({wrongType}),
      presetFileWith({wrongControl}),
      presetFileWith({plist::Value::string("not a preset")}),
      std::string("\0\xff garbage", 10),
      "",
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.substr(0, 60));
    PresetFiles files(bytes);
    Instance fx;
    ASSERT_EQ(fx.setParameter(1, 42), noErr);
    testing::internal::CaptureStdout();
    Editor editor(fx.unit());  // the pending preset on attach: there is none to apply
    Tarnwick_CocoaView* view = editor.view();
    ASSERT_NE(view, nullptr);
    choose(editor, 0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("ERROR: Can't load presets from component at '" + files.copy() + "'"),
              std::string::npos);
    EXPECT_EQ(view->uiPresetPopup->numberOfItems(), 1);
    EXPECT_EQ(view->uiPresetPopup->itemTitleAtIndex(0), "Factory Presets");
    EXPECT_FALSE(view->uiPresetPopup->isEnabled());
    EXPECT_FLOAT_EQ(fx.parameter(1), 42);
    EXPECT_EQ(view->gestureDepth(), 0);

    // The same bytes as the user's file: a save refuses to replace it.
    writeBytes(files.user(), bytes);
    view->uiPresetName->setStringValue("Mine");
    testing::internal::CaptureStdout();
    view->saveCurrentSetting(view->uiSavePresetButton);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("could not write file"),
              std::string::npos);
    EXPECT_EQ(readBytes(files.user()), bytes);
  }
}
