// SPDX-License-Identifier: GPL-3.0-or-later
// The preset menu: listing the presets, applying one through the controls (so that every value
// reaches the component by the controls' own actions, inside one gesture) and saving the
// controls as a preset. Files are read afresh for every operation. [main thread]
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "component/tarnwick_identity.h"
#include "editor/tarnwick_cocoa_view.h"
#include "editor/views/vx_keyboard_view.h"
#include "platform/bundle/bundle.h"
#include "platform/ui/application.h"
#include "presets/preset_controls.h"
#include "presets/preset_locations.h"
#include "presets/preset_settings.h"

namespace tp = tarnwick_presets;

namespace {

// Names another file as the component copy (tests work on a copy, never on the build's own).
constexpr const char* kComponentCopyOverride = "TARNWICK_COMPONENT_PRESETS";
constexpr const char* kNoPresets = "Factory Presets";

void logLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return ".";
}

// The two places of the preset list. A missing component bundle is logged and leaves only the
// user's file.
tp::PresetLocations presetLocations() {
  tp::PresetLocations where;
  where.userFile = homeFolder() + "/TarnwickPresets.plist";
  if (const char* copy = std::getenv(kComponentCopyOverride); copy && *copy) {
    where.componentCopy = copy;
  } else if (const auto bundle = bundle::Bundle::withIdentifier(kTarnwickIdentifier)) {
    where.componentCopy = bundle->resourcesPath() + "/TarnwickPresets.plist";
  } else {
    logLine("bundle not valid!!");
  }
  return where;
}

}  // namespace

std::optional<tp::PresetList> Tarnwick_CocoaView::presetListRef() {
  return tp::readMenuPresets(presetLocations(), logLine);
}

ui::Control* Tarnwick_CocoaView::presetControl(const char* key) const {
#define TARNWICK_PRESET_OUTLET(name) {#name, name},
  const std::pair<const char*, ui::Control*> outlets[] = {
      TARNWICK_PRESET_OUTLET(uiHFPassButton) TARNWICK_PRESET_OUTLET(uiVcUvButton)
      TARNWICK_PRESET_OUTLET(uiFreezeButton) TARNWICK_PRESET_OUTLET(uiFlipButton)
      TARNWICK_PRESET_OUTLET(uiSuperFatButton) TARNWICK_PRESET_OUTLET(uiSynthButton)
      TARNWICK_PRESET_OUTLET(uiAutoFreezeButton) TARNWICK_PRESET_OUTLET(uiSyncButton)
      TARNWICK_PRESET_OUTLET(uiRingmodButton) TARNWICK_PRESET_OUTLET(uiSamplesWavesPopUp)
      TARNWICK_PRESET_OUTLET(uiSoundModePopUp) TARNWICK_PRESET_OUTLET(uiOscAWavePopUp)
      TARNWICK_PRESET_OUTLET(uiOscBWavePopUp) TARNWICK_PRESET_OUTLET(uiLfoAWavePopUp)
      TARNWICK_PRESET_OUTLET(uiLfoBWavePopUp) TARNWICK_PRESET_OUTLET(uiFBAmtSlider)
      TARNWICK_PRESET_OUTLET(uiCarrMixSlider) TARNWICK_PRESET_OUTLET(uiSpeechMixSlider)
      TARNWICK_PRESET_OUTLET(uiRevMixSlider) TARNWICK_PRESET_OUTLET(uiRevDiffSlider)
      TARNWICK_PRESET_OUTLET(uiRevDecaySlider) TARNWICK_PRESET_OUTLET(uiReleaseSlider)
      TARNWICK_PRESET_OUTLET(uiCoarseASlider) TARNWICK_PRESET_OUTLET(uiCoarseBSlider)
      TARNWICK_PRESET_OUTLET(uiFineASlider) TARNWICK_PRESET_OUTLET(uiFineBSlider)
      TARNWICK_PRESET_OUTLET(uiModADepthSlider) TARNWICK_PRESET_OUTLET(uiModBDepthSlider)
      TARNWICK_PRESET_OUTLET(uiModASpeedSlider) TARNWICK_PRESET_OUTLET(uiModBSpeedSlider)
      TARNWICK_PRESET_OUTLET(uiOctaveSlider) TARNWICK_PRESET_OUTLET(uiEqGainSlider)
      TARNWICK_PRESET_OUTLET(uiFilterCutoffSlider) TARNWICK_PRESET_OUTLET(uiFilterResoSlider)
      TARNWICK_PRESET_OUTLET(uiFilterDistSlider) TARNWICK_PRESET_OUTLET(uiRoomAmountSlider)
      TARNWICK_PRESET_OUTLET(uiRoomSizeSlider) TARNWICK_PRESET_OUTLET(uiMasterTuneTextField)};
#undef TARNWICK_PRESET_OUTLET
  const std::string name = key;
  for (const auto& [outlet, control] : outlets) {
    if (name == outlet) return control;
  }
  return nullptr;
}

void Tarnwick_CocoaView::populatePresetPopup() {
  if (!uiPresetPopup) return;
  const std::optional<tp::PresetList> list = presetListRef();
  const int remembered = uiPresetPopup->indexOfSelectedItem();
  uiPresetPopup->removeAllItems();
  if (!list || list->size() == 0) {
    uiPresetPopup->addItemWithTitle(kNoPresets);
    uiPresetPopup->selectItemAtIndex(0);
    uiPresetPopup->setEnabled(false);
    uiPresetPopup->setNeedsDisplay();
    return;
  }
  for (size_t i = 0; i < list->size(); ++i) uiPresetPopup->addItemWithTitle(list->name(i));
  const int last = uiPresetPopup->numberOfItems() - 1;
  uiPresetPopup->selectItemAtIndex(remembered > last ? last : (remembered < 0 ? 0 : remembered));
  uiPresetPopup->setEnabled(true);
  uiPresetPopup->setNeedsDisplay();
}

void Tarnwick_CocoaView::loadCurrentSetting(ui::Control*) {
  beginGestureForAllParams();
  const std::optional<tp::PresetList> list = presetListRef();
  const int index = uiPresetPopup ? uiPresetPopup->indexOfSelectedItem() : -1;
  const plist::Value* preset = nullptr;
  if (list && index >= 0 && static_cast<size_t>(index) < list->size()) {
    preset = &list->preset(static_cast<size_t>(index));
  }
  if (preset) {
    mApplyingPreset = true;
    applyPreset(*preset);
    mApplyingPreset = false;
  } else {
    // No list, or a selection that names no preset: the controls and the component keep
    // their values (a fresh instance without presets must not fall silent).
    logLine("no preset to apply: the settings are left as they are");
  }
  endGestureForAllParams();
  populatePresetPopup();
}

void Tarnwick_CocoaView::applyPreset(const plist::Value& preset) {
  const tp::PresetSettings settings = tp::settingsFromPreset(&preset);
  if (uiPresetName) uiPresetName->setStringValue(settings.name);
  bool eqChanged = false;
  for (const tp::PresetControl& c : tp::presetControls()) {
    const float value = settings.parameters[static_cast<size_t>(c.parameter)];
    switch (c.kind) {
      case tp::ControlKind::Toggle:
      case tp::ControlKind::Menu:
      case tp::ControlKind::Slider:
      case tp::ControlKind::TuningField: {
        ui::Control* control = presetControl(c.key);
        if (!control) break;
        if (c.kind == tp::ControlKind::Toggle) {
          control->setState(value != 0 ? 1 : 0);
        } else if (c.kind == tp::ControlKind::Menu) {
          static_cast<ui::PopUpButton*>(control)->selectItemAtIndex(static_cast<int>(value));
        } else {
          control->setFloatValue(value);
        }
        control->sendAction();
        break;
      }
      case tp::ControlKind::EqCell: {
        const size_t cell = static_cast<size_t>(c.parameter - 12);
        if (uiEqSliderMatrix && cell < uiEqSliderMatrix->cells().size()) {
          uiEqSliderMatrix->cells()[cell]->setFloatValue(value);
          eqChanged = true;
        }
        break;
      }
    }
  }
  if (eqChanged) {
    iaParamEqMatrixChanged(uiEqSliderMatrix);
    uiEqSliderMatrix->setNeedsDisplay();
  }
  if (uiTarnwickKeyboardView) {
    const plist::Value* keys = preset.find(tp::kKeyboardKey);
    uiTarnwickKeyboardView->restoreState(keys && keys->isData() ? keys->asData() : plist::Data{});
    uiTarnwickKeyboardView->sendUpdateFromInternalState();
    uiTarnwickKeyboardView->setNeedsDisplay();
  }
}

void Tarnwick_CocoaView::saveCurrentSetting(ui::Control*) {
  const std::string name = uiPresetName ? uiPresetName->stringValue() : std::string();
  if (name.empty()) {
    ui::Application::shared().beep();
    return;
  }
  std::array<float, kParameterCount> parameters{};
  for (const tp::PresetControl& c : tp::presetControls()) {
    float value = 0;
    if (c.kind == tp::ControlKind::EqCell) {
      const size_t cell = static_cast<size_t>(c.parameter - 12);
      if (uiEqSliderMatrix && cell < uiEqSliderMatrix->cells().size()) {
        value = uiEqSliderMatrix->cells()[cell]->floatValue();
      }
    } else if (ui::Control* control = presetControl(c.key)) {
      if (c.kind == tp::ControlKind::Toggle) {
        value = static_cast<float>(control->state());
      } else if (c.kind == tp::ControlKind::Menu) {
        value = static_cast<float>(static_cast<ui::PopUpButton*>(control)->indexOfSelectedItem());
      } else {
        value = control->floatValue();
      }
    }
    parameters[static_cast<size_t>(c.parameter)] = value;
  }
  std::vector<float> keyList;
  if (uiTarnwickKeyboardView) keyList = tp::keyListFromData(uiTarnwickKeyboardView->saveState());
  const std::optional<size_t> stored = tp::saveMenuPreset(
      presetLocations(), tp::presetFromSettings(name, parameters, keyList), logLine);
  populatePresetPopup();
  // The menu shows the preset just saved: in its place when it replaced one, last when new.
  if (stored && uiPresetPopup && static_cast<int>(*stored) < uiPresetPopup->numberOfItems()) {
    uiPresetPopup->selectItemAtIndex(static_cast<int>(*stored));
  }
}
