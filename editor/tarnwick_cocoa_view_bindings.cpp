// SPDX-License-Identifier: GPL-3.0-or-later
// The outlets and actions the layout resource wires, and the slider family's table.
#include "editor/tarnwick_cocoa_view.h"
#include "editor/views/vx_analyzer_view.h"
#include "editor/views/vx_keyboard_view.h"

using V = Tarnwick_CocoaView;

const std::array<V::SliderBinding, 22>& Tarnwick_CocoaView::sliderBindings() {
  // parameter, slider, field, slider on reset, value sent on reset, field range, action
  static const std::array<SliderBinding, 22> table = {{
      {0, &V::uiFBAmtSlider, &V::uiFBAmtTextField, 50, 50, 0, 100, "iaParamFBAmtChanged"},
      {1, &V::uiCarrMixSlider, &V::uiCarrMixTextField, 0, 0, 0, 100, "iaParamCarrMixChanged"},
      {2, &V::uiSpeechMixSlider, &V::uiSpeechMixTextField, 0, 0, 0, 100,
       "iaParamSpeechMixChanged"},
      {3, &V::uiRevMixSlider, &V::uiRevMixTextField, 0, 0.1f, 0, 100, "iaParamRevMixChanged"},
      {4, &V::uiRevDiffSlider, &V::uiRevDiffTextField, 0, 0, 0, 99, "iaParamRevDiffChanged"},
      {5, &V::uiRevDecaySlider, &V::uiRevDecayTextField, 0, 0, 0, 99, "iaParamRevDecayChanged"},
      {6, &V::uiReleaseSlider, &V::uiReleaseTextField, 0, 0, 0, 99, "iaParamFBReleaseChanged"},
      {22, &V::uiEqGainSlider, nullptr, 0, 0, -12, 12, "iaParamEqGainChanged"},
      {24, &V::uiCoarseASlider, &V::uiCoarseATextField, 0, 0, -24, 24, "iaParamCoarseAChanged"},
      {25, &V::uiFineASlider, &V::uiFineATextField, 0, 0, -99, 99, "iaParamFineAChanged"},
      {27, &V::uiCoarseBSlider, &V::uiCoarseBTextField, 0, 0, -24, 24, "iaParamCoarseBChanged"},
      {28, &V::uiFineBSlider, &V::uiFineBTextField, 0, 0, -99, 99, "iaParamFineBChanged"},
      {30, &V::uiModADepthSlider, &V::uiModADepthTextField, 0, 0, -100, 100,
       "iaParamModADepthChanged"},
      {31, &V::uiModASpeedSlider, &V::uiModASpeedTextField, 0, 0, 0, 100,
       "iaParamModASpeedChanged"},
      {33, &V::uiModBDepthSlider, &V::uiModBDepthTextField, 0, 0, -100, 100,
       "iaParamModBDepthChanged"},
      {34, &V::uiModBSpeedSlider, &V::uiModBSpeedTextField, 0, 0, 0, 100,
       "iaParamModBSpeedChanged"},
      {38, &V::uiFilterCutoffSlider, &V::uiFilterCutoffTextField, 100, 100, 0, 100,
       "iaParamFilterCutoffChanged"},
      {39, &V::uiFilterResoSlider, &V::uiFilterResoTextField, 0, 0, 0, 100,
       "iaParamFilterResoChanged"},
      {40, &V::uiFilterDistSlider, &V::uiFilterDistTextField, 0, 0, 0, 100,
       "iaParamFilterDistChanged"},
      {41, &V::uiOctaveSlider, nullptr, 0, 0, -2, 2, "iaParamOctaveChanged"},
      {46, &V::uiRoomAmountSlider, &V::uiRoomAmountTextField, 25, 25, 0, 100,
       "iaParamRoomAmountChanged"},
      {47, &V::uiRoomSizeSlider, &V::uiRoomSizeTextField, 65, 65, 0, 100,
       "iaParamRoomSizeChanged"},
  }};
  return table;
}

namespace {

struct ToggleAction {
  const char* action;
  int parameter;
};
constexpr ToggleAction kToggles[] = {
    {"iaParamHFPassChanged", 8},        {"iaParamVcUvChanged", 9},
    {"iaParamFreezeChanged", 10},       {"iaParamFlipChanged", 11},
    {"iaParamSynthModeChanged", 23},    {"iaParamSyncModeChanged", 36},
    {"iaParamRingmodModeChanged", 37},  {"iaParamAutoFreezeModeChanged", 43},
    {"iaParamSuperFatModeChanged", 44},
};

}  // namespace

void Tarnwick_CocoaView::bindOutletsAndActions() {
  bindOutlet("uiTarnwickAnalyzerView", uiTarnwickAnalyzerView);
  bindOutlet("uiTarnwickKeyboardView", uiTarnwickKeyboardView);
  bindOutlet("uiPresetName", uiPresetName);
  bindOutlet("uiPresetPopup", uiPresetPopup);
  bindOutlet("uiProgressPanel", uiProgressPanel);
// Outlet names are the member names.
#define TARNWICK_OUTLET(name) bindOutlet(#name, name);
  TARNWICK_OUTLET(uiFBAmtSlider) TARNWICK_OUTLET(uiCarrMixSlider)
  TARNWICK_OUTLET(uiSpeechMixSlider) TARNWICK_OUTLET(uiRevMixSlider)
  TARNWICK_OUTLET(uiRevDiffSlider) TARNWICK_OUTLET(uiRevDecaySlider)
  TARNWICK_OUTLET(uiReleaseSlider) TARNWICK_OUTLET(uiEqGainSlider) TARNWICK_OUTLET(uiCoarseASlider)
  TARNWICK_OUTLET(uiFineASlider) TARNWICK_OUTLET(uiCoarseBSlider) TARNWICK_OUTLET(uiFineBSlider)
  TARNWICK_OUTLET(uiModADepthSlider) TARNWICK_OUTLET(uiModASpeedSlider)
  TARNWICK_OUTLET(uiModBDepthSlider) TARNWICK_OUTLET(uiModBSpeedSlider)
  TARNWICK_OUTLET(uiFilterCutoffSlider) TARNWICK_OUTLET(uiFilterResoSlider)
  TARNWICK_OUTLET(uiFilterDistSlider) TARNWICK_OUTLET(uiOctaveSlider)
  TARNWICK_OUTLET(uiRoomAmountSlider) TARNWICK_OUTLET(uiRoomSizeSlider)
  TARNWICK_OUTLET(uiFBAmtTextField) TARNWICK_OUTLET(uiCarrMixTextField)
  TARNWICK_OUTLET(uiSpeechMixTextField) TARNWICK_OUTLET(uiRevMixTextField)
  TARNWICK_OUTLET(uiRevDiffTextField) TARNWICK_OUTLET(uiRevDecayTextField)
  TARNWICK_OUTLET(uiReleaseTextField) TARNWICK_OUTLET(uiCoarseATextField)
  TARNWICK_OUTLET(uiFineATextField) TARNWICK_OUTLET(uiCoarseBTextField)
  TARNWICK_OUTLET(uiFineBTextField) TARNWICK_OUTLET(uiModADepthTextField)
  TARNWICK_OUTLET(uiModASpeedTextField) TARNWICK_OUTLET(uiModBDepthTextField)
  TARNWICK_OUTLET(uiModBSpeedTextField) TARNWICK_OUTLET(uiFilterCutoffTextField)
  TARNWICK_OUTLET(uiFilterResoTextField) TARNWICK_OUTLET(uiFilterDistTextField)
  TARNWICK_OUTLET(uiRoomAmountTextField) TARNWICK_OUTLET(uiRoomSizeTextField)
  TARNWICK_OUTLET(uiMasterTuneTextField)
  TARNWICK_OUTLET(uiHFPassButton) TARNWICK_OUTLET(uiVcUvButton) TARNWICK_OUTLET(uiFreezeButton)
  TARNWICK_OUTLET(uiFlipButton) TARNWICK_OUTLET(uiSynthButton) TARNWICK_OUTLET(uiSyncButton)
  TARNWICK_OUTLET(uiRingmodButton) TARNWICK_OUTLET(uiAutoFreezeButton)
  TARNWICK_OUTLET(uiSuperFatButton) TARNWICK_OUTLET(uiEqResetButton)
  TARNWICK_OUTLET(uiRandomizeButton) TARNWICK_OUTLET(uiSavePresetButton)
  TARNWICK_OUTLET(uiSoundModePopUp) TARNWICK_OUTLET(uiOscAWavePopUp)
  TARNWICK_OUTLET(uiOscBWavePopUp) TARNWICK_OUTLET(uiLfoAWavePopUp)
  TARNWICK_OUTLET(uiLfoBWavePopUp) TARNWICK_OUTLET(uiSamplesWavesPopUp)
  TARNWICK_OUTLET(uiEqSliderMatrix)
#undef TARNWICK_OUTLET

  for (const SliderBinding& b : sliderBindings()) {
    const int parameter = b.parameter;
    bindAction(b.action, [this, parameter](ui::Control* s) { iaParamSliderChanged(s, parameter); });
  }
  for (const ToggleAction& t : kToggles) {
    const int parameter = t.parameter;
    bindAction(t.action, [this, parameter](ui::Control* s) { iaParamToggleChanged(s, parameter); });
  }
  bindAction("iaParamSoundModeChanged", &V::iaParamSoundModeChanged);
  bindAction("iaParamOscAWaveChanged", &V::iaParamOscAWaveChanged);
  bindAction("iaParamOscBWaveChanged", &V::iaParamOscBWaveChanged);
  bindAction("iaParamLfoAChanged", [this](ui::Control* s) { iaParamPopupChanged(s, 32); });
  bindAction("iaParamLfoBChanged", [this](ui::Control* s) { iaParamPopupChanged(s, 35); });
  bindAction("iaParamSamplesWavesChanged", &V::iaParamSamplesWavesChanged);
  bindAction("iaParamMasterTuneChanged", &V::iaParamMasterTuneChanged);
  bindAction("iaParamEqMatrixChanged", &V::iaParamEqMatrixChanged);
  bindAction("iaParamEqReset", &V::iaParamEqReset);
  bindAction("randomizeParameters", &V::randomizeParameters);
  bindAction("iaKeyboardTransposeDown", &V::iaKeyboardTransposeDown);
  bindAction("iaKeyboardTransposeUp", &V::iaKeyboardTransposeUp);
  bindAction("iaKeyboardReset", &V::iaKeyboardReset);
  bindAction("iaGetInfo", &V::iaGetInfo);
  bindAction("loadCurrentSetting", &V::loadCurrentSetting);
  bindAction("saveCurrentSetting", &V::saveCurrentSetting);
}
