// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_controls.h"

namespace tarnwick_presets {

namespace {

using K = ControlKind;

constexpr PresetControl kControls[] = {
    {"uiHFPassButton", 8, K::Toggle, 0},
    {"uiVcUvButton", 9, K::Toggle, 0},
    {"uiFreezeButton", 10, K::Toggle, 0},
    {"uiFlipButton", 11, K::Toggle, 0},
    {"uiSuperFatButton", 44, K::Toggle, 0},
    {"uiSynthButton", 23, K::Toggle, 0},
    {"uiAutoFreezeButton", 43, K::Toggle, 0},
    {"uiSyncButton", 36, K::Toggle, 0},
    {"uiRingmodButton", 37, K::Toggle, 0},
    {"uiSamplesWavesPopUp", 42, K::Menu, 2},
    {"uiSoundModePopUp", 7, K::Menu, 8},
    {"uiOscAWavePopUp", 26, K::Menu, 11},
    {"uiOscBWavePopUp", 29, K::Menu, 11},
    {"uiLfoAWavePopUp", 32, K::Menu, 4},
    {"uiLfoBWavePopUp", 35, K::Menu, 4},
    {"uiFBAmtSlider", 0, K::Slider, 0},
    {"uiCarrMixSlider", 1, K::Slider, 0},
    {"uiSpeechMixSlider", 2, K::Slider, 0},
    {"uiRevMixSlider", 3, K::Slider, 0},
    {"uiRevDiffSlider", 4, K::Slider, 0},
    {"uiRevDecaySlider", 5, K::Slider, 0},
    {"uiReleaseSlider", 6, K::Slider, 0},
    {"uiCoarseASlider", 24, K::Slider, 0},
    {"uiCoarseBSlider", 27, K::Slider, 0},
    {"uiFineASlider", 25, K::Slider, 0},
    {"uiFineBSlider", 28, K::Slider, 0},
    {"uiModADepthSlider", 30, K::Slider, 0},
    {"uiModBDepthSlider", 33, K::Slider, 0},
    {"uiModASpeedSlider", 31, K::Slider, 0},
    {"uiModBSpeedSlider", 34, K::Slider, 0},
    {"uiOctaveSlider", 41, K::Slider, 0},
    {"uiEqGainSlider", 22, K::Slider, 0},
    {"uiFilterCutoffSlider", 38, K::Slider, 0},
    {"uiFilterResoSlider", 39, K::Slider, 0},
    {"uiFilterDistSlider", 40, K::Slider, 0},
    {"uiRoomAmountSlider", 46, K::Slider, 0},
    {"uiRoomSizeSlider", 47, K::Slider, 0},
    {"uiMasterTuneTextField", 45, K::TuningField, 0},
    {"uiEqSliderMatrix.0", 12, K::EqCell, 0},
    {"uiEqSliderMatrix.1", 13, K::EqCell, 0},
    {"uiEqSliderMatrix.2", 14, K::EqCell, 0},
    {"uiEqSliderMatrix.3", 15, K::EqCell, 0},
    {"uiEqSliderMatrix.4", 16, K::EqCell, 0},
    {"uiEqSliderMatrix.5", 17, K::EqCell, 0},
    {"uiEqSliderMatrix.6", 18, K::EqCell, 0},
    {"uiEqSliderMatrix.7", 19, K::EqCell, 0},
    {"uiEqSliderMatrix.8", 20, K::EqCell, 0},
    {"uiEqSliderMatrix.9", 21, K::EqCell, 0},
};
static_assert(std::size(kControls) == kParameterCount);

}  // namespace

std::span<const PresetControl> presetControls() { return kControls; }

}  // namespace tarnwick_presets
