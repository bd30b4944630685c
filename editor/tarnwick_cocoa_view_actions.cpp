// SPDX-License-Identifier: GPL-3.0-or-later
// The control actions, the listener callback that moves the controls, the wave menus, the
// randomiser and the first-draw styling of the controls.
#include <cmath>
#include <string>

#include "component/tarnwick_identity.h"
#include "editor/assertion_handler.h"
#include "editor/cells/custom_toggle_button_cell.h"
#include "editor/cells/vertical_slider_cell.h"
#include "editor/logic/randomiser.h"
#include "editor/logic/wave_menus.h"
#include "editor/tarnwick_cocoa_view.h"
#include "editor/views/vx_keyboard_view.h"
#include "platform/bundle/bundle.h"
#include "platform/ui/application.h"

namespace {

// The command key's reset, and its Linux counterpart Ctrl.
bool isResetClick(uint32_t modifiers) {
  return modifiers == ui::kCommandKey || modifiers == ui::kControlKey;
}

std::string integerText(float value) { return std::to_string(static_cast<int>(value)); }

}  // namespace

OSStatus Tarnwick_CocoaView::setParameter(int parameter, float value, void* sender) {
  if (!mParameterListener && !mAU) return kAudioUnitErr_Uninitialized;
  return AUParameterSet(mParameterListener, sender, &mParameter[parameter], value, 0);
}

void Tarnwick_CocoaView::iaParamToggleChanged(ui::Control* sender, int parameter) {
  const OSStatus status = setParameter(parameter, static_cast<float>(sender->state()), sender);
  if (status != noErr) {
    fail("iaParamToggleChanged", "[Tarnwick_CocoaView handle button (bid)] AUParameterSet()",
         status);
  }
}

void Tarnwick_CocoaView::iaParamPopupChanged(ui::Control* sender, int parameter) {
  auto* popUp = dynamic_cast<ui::PopUpButton*>(sender);
  if (!popUp) return;
  const float value =
      wave_menus::valueForIndex(popUp->indexOfSelectedItem(), popUp->numberOfItems());
  const OSStatus status = setParameter(parameter, value, sender);
  if (status != noErr) {
    fail("iaParamPopupChanged", "[Tarnwick_CocoaView handle popup (pid)] AUParameterSet()",
         status);
  }
}

void Tarnwick_CocoaView::iaParamSoundModeChanged(ui::Control* sender) {
  iaParamPopupChanged(sender, 7);
  if (uiFreezeButton) uiFreezeButton->setState(0);  // the component switches freeze off itself
}

void Tarnwick_CocoaView::iaParamSamplesWavesChanged(ui::Control* sender) {
  iaParamPopupChanged(sender, 42);
  syncWavePopupWithSampleSelector();
}

const Tarnwick_CocoaView::SliderBinding* Tarnwick_CocoaView::bindingFor(ui::Control*,
                                                                        int parameter) const {
  for (const SliderBinding& b : sliderBindings()) {
    if (b.parameter == parameter) return &b;
  }
  return nullptr;
}

void Tarnwick_CocoaView::iaParamSliderChanged(ui::Control* sender, int parameter) {
  const SliderBinding* binding = bindingFor(sender, parameter);
  if (!binding || !sender) return;
  ui::Slider* slider = this->*(binding->slider);
  ui::TextField* field = binding->field ? this->*(binding->field) : nullptr;
  float value = static_cast<float>(sender->intValue());
  if (sender == slider) {
    if (isResetClick(ui::GetCurrentKeyModifiers())) {
      slider->setFloatValue(binding->sliderReset);
      value = binding->valueReset;
    }
    if (field) field->setStringValue(integerText(value));
  } else if (slider) {
    value = std::fmin(std::fmax(value, binding->fieldMin), binding->fieldMax);
    slider->setFloatValue(std::trunc(value));
  }
  const OSStatus status = setParameter(parameter, value, sender);
  if (status != noErr) {
    fail("iaParamSliderChanged", "[Tarnwick_CocoaView handle slider (sid)] AUParameterSet()",
         status);
  }
}

void Tarnwick_CocoaView::iaParamMasterTuneChanged(ui::Control* sender) {
  const OSStatus status = setParameter(45, static_cast<float>(sender->intValue()), sender);
  if (status != noErr) {
    fail("iaParamMasterTuneChanged", "[Tarnwick_CocoaView handle slider (sid)] AUParameterSet()",
         status);
  }
}

void Tarnwick_CocoaView::iaParamEqMatrixChanged(ui::Control* sender) {
  if (!uiEqSliderMatrix) return;
  const auto& cells = uiEqSliderMatrix->cells();
  for (size_t i = 0; i < cells.size() && i < 10; ++i) {
    const OSStatus status = setParameter(12 + static_cast<int>(i), cells[i]->floatValue(), sender);
    if (status != noErr) {
      fail("iaParamEqMatrixChanged", "[Tarnwick_CocoaView handle slider matrix] AUParameterSet()",
           status);
    }
  }
}

void Tarnwick_CocoaView::iaParamEqReset(ui::Control* sender) {
  for (int id = 12; id <= 21; ++id) {
    const OSStatus status = setParameter(id, 0, sender);
    if (status != noErr) {
      fail("iaParamEqReset", "[Tarnwick_CocoaView handle slider matrix reset] AUParameterSet()",
           status);
    }
  }
  const OSStatus status = setParameter(22, 0, sender);
  if (status != noErr) {
    fail("iaParamEqReset", "[Tarnwick_CocoaView handle slider reset] AUParameterSet()", status);
  }
}

void Tarnwick_CocoaView::_parameterListener(void*, const AudioUnitParameter* parameter,
                                            float value) {
  if (!parameter) return;
  const int id = static_cast<int>(parameter->mParameterID);
  const int whole = static_cast<int>(value);
  for (const SliderBinding& b : sliderBindings()) {
    if (b.parameter != id) continue;
    if (ui::Slider* slider = this->*(b.slider)) slider->setFloatValue(value);
    if (b.field) {
      if (ui::TextField* field = this->*(b.field)) field->setStringValue(integerText(value));
    }
    return;
  }
  auto select = [](ui::PopUpButton* p, int index) {
    if (p) p->selectItemAtIndex(index);
  };
  switch (id) {
    case 7: select(uiSoundModePopUp, whole); break;
    case 8: if (uiHFPassButton) uiHFPassButton->setState(whole); break;
    case 9: if (uiVcUvButton) uiVcUvButton->setState(whole); break;
    case 10: if (uiFreezeButton) uiFreezeButton->setState(whole); break;
    case 11: if (uiFlipButton) uiFlipButton->setState(whole); break;
    case 23: if (uiSynthButton) uiSynthButton->setState(whole); break;
    case 36: if (uiSyncButton) uiSyncButton->setState(whole); break;
    case 37: if (uiRingmodButton) uiRingmodButton->setState(whole); break;
    case 43: if (uiAutoFreezeButton) uiAutoFreezeButton->setState(whole); break;
    case 44: if (uiSuperFatButton) uiSuperFatButton->setState(whole); break;
    case 26:
    case 29: {
      ui::PopUpButton* menu = id == 26 ? uiOscAWavePopUp : uiOscBWavePopUp;
      if (menu) menu->selectItemAtIndex(wave_menus::indexForValue(value, menu->numberOfItems()));
      break;
    }
    case 32: select(uiLfoAWavePopUp, whole); break;
    case 35: select(uiLfoBWavePopUp, whole); break;
    case 42:
      select(uiSamplesWavesPopUp, whole);
      syncWavePopupWithSampleSelector();
      break;
    case 45:
      if (uiMasterTuneTextField) uiMasterTuneTextField->setStringValue(integerText(value));
      break;
    default:
      if (id >= 12 && id <= 21 && uiEqSliderMatrix) {
        const auto& cells = uiEqSliderMatrix->cells();
        if (static_cast<size_t>(id - 12) < cells.size()) cells[id - 12]->setFloatValue(value);
        uiEqSliderMatrix->setNeedsDisplay();
      }
      break;
  }
}

void Tarnwick_CocoaView::syncWavePopupWithSampleSelector() {
  if (!uiOscAWavePopUp || !uiOscBWavePopUp || !uiSamplesWavesPopUp) return;
  const bool samples = uiSamplesWavesPopUp->indexOfSelectedItem() != 0;
  for (ui::PopUpButton* menu : {uiOscAWavePopUp, uiOscBWavePopUp}) {
    const int remembered = menu->indexOfSelectedItem();
    menu->setAutoenablesItems(false);
    for (int i = 0; i < wave_menus::kItems; ++i) {
      if (ui::MenuItem* item = menu->itemAtIndex(i)) {
        item->setTitle(wave_menus::title(i, samples));
        item->setEnabled(wave_menus::enabled(i, samples));
      }
    }
    menu->selectItemAtIndex(wave_menus::correctedIndex(remembered, samples));
    menu->setNeedsDisplay();
  }
  iaParamOscAWaveChanged(uiOscAWavePopUp);
  iaParamOscBWaveChanged(uiOscBWavePopUp);
}

void Tarnwick_CocoaView::randomizeParameters(ui::Control*) {
  randomiser::seedFromClock();
  ui::Slider* sliders[] = {uiRevMixSlider,    uiRevDiffSlider,   uiRevDecaySlider,
                           uiReleaseSlider,   uiCoarseASlider,   uiCoarseBSlider,
                           uiFineASlider,     uiFineBSlider,     uiModADepthSlider,
                           uiModBDepthSlider, uiModASpeedSlider, uiModBSpeedSlider,
                           uiOctaveSlider};
  for (ui::Slider* slider : sliders) {
    if (!slider) continue;
    const double r = randomiser::nextFraction();
    slider->setDoubleValue(randomiser::between(r, slider->minValue(), slider->maxValue()));
    slider->sendAction();
  }
  for (ui::Button* toggle : {uiSyncButton, uiRingmodButton}) {
    if (!toggle) continue;
    toggle->setState(randomiser::nextFraction() < 0.5 ? 1 : 0);
    toggle->sendAction();
  }
  auto choose = [](ui::PopUpButton* menu, int n) {
    if (!menu) return;
    menu->selectItemAtIndex(randomiser::index(randomiser::nextFraction(), n));
    menu->sendAction();
  };
  for (ui::PopUpButton* menu : {uiSamplesWavesPopUp, uiSoundModePopUp}) {
    if (menu) choose(menu, menu->numberOfItems());
  }
  const int waves = uiSamplesWavesPopUp && uiSamplesWavesPopUp->indexOfSelectedItem() != 0
                        ? wave_menus::kSampleItems
                        : wave_menus::kItems;
  choose(uiOscAWavePopUp, waves);
  choose(uiOscBWavePopUp, waves);
  for (ui::PopUpButton* menu : {uiLfoAWavePopUp, uiLfoBWavePopUp}) {
    if (menu) choose(menu, menu->numberOfItems());
  }
}

void Tarnwick_CocoaView::configureUiControls() {
  for (ui::Button* toggle : {uiHFPassButton, uiVcUvButton, uiFreezeButton, uiFlipButton,
                             uiSuperFatButton, uiSynthButton, uiAutoFreezeButton, uiSyncButton,
                             uiRingmodButton}) {
    if (!toggle) continue;
    if (auto* cell = dynamic_cast<CustomToggleButtonCell*>(toggle->cell())) {
      cell->setColorRed(1, 1, 0, 0.2f);
    }
  }
  const auto bundle = bundle::Bundle::withIdentifier(kTarnwickIdentifier);
  if (!bundle) {
    std::printf("bundle not valid!!\n");
    std::fflush(stdout);
    return;
  }
  const std::string knob = bundle->resourcePath("tkwx-133", "png");
  for (const SliderBinding& b : sliderBindings()) {
    ui::Slider* slider = this->*(b.slider);
    if (!slider) continue;
    if (auto* cell = dynamic_cast<VerticalSliderCell*>(slider->cell())) cell->setThumbImage(knob);
  }
  if (uiEqSliderMatrix) {
    for (const auto& c : uiEqSliderMatrix->cells()) {
      if (auto* cell = dynamic_cast<VerticalSliderCell*>(c.get())) cell->setThumbImage(knob);
    }
  }
}

void Tarnwick_CocoaView::iaKeyboardTransposeDown(ui::Control*) {
  if (uiTarnwickKeyboardView) uiTarnwickKeyboardView->transposeDown();
}

void Tarnwick_CocoaView::iaKeyboardTransposeUp(ui::Control*) {
  if (uiTarnwickKeyboardView) uiTarnwickKeyboardView->transposeUp();
}

void Tarnwick_CocoaView::iaKeyboardReset(ui::Control*) {
  if (uiTarnwickKeyboardView) uiTarnwickKeyboardView->reset();
}
