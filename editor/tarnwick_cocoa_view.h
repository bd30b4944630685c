// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view and controller: owns the outlets of every control, keeps a parameter
// listener on its unit so that the controls follow automation, brackets user edits in
// begin/end gestures, takes the component's level and key notifications for its instance,
// manages the preset menu and draws the time-of-day panel.
//
// Lifetime: made by the layout loader (awakeFromNib), bound by setAU (again for another unit:
// the listeners move), detached by cleanUp when its window closes and in the destructor. Once
// cleanUp returns, no notification, listener or timer calls this view again, whatever thread
// is posting (the notification centre's and the listeners' removal contracts).
//
// Threads: iaUpdateLevelMeters and iaUpdateNotesActive run on the posting thread (the render
// thread for levels and MIDI keys) and touch only atomics and lock-free hand-overs. Everything
// else is [main thread].
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "editor/logic/editor_timing.h"
#include "platform/au/au_listener.h"
#include "platform/notify/notification_center.h"
#include "platform/runloop/run_loop.h"
#include "platform/ui/button.h"
#include "platform/ui/image.h"
#include "platform/ui/matrix.h"
#include "platform/ui/panel.h"
#include "platform/ui/popup_button.h"
#include "platform/ui/slider.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view.h"
#include "presets/preset_list.h"

class VXAnalyzerView;
class VXKeyboardView;

class Tarnwick_CocoaView : public ui::View {
 public:
  static constexpr int kParameterCount = 48;

  Tarnwick_CocoaView();
  ~Tarnwick_CocoaView() override;

  void awakeFromNib() override;
  void setAU(AudioUnit unit);
  void cleanUp();
  AudioUnit audioUnit() const { return mAU; }
  uint64_t refCon() const { return mRefCon.load(); }
  int32_t gestureDepth() const { return mGestures.depth(); }
  // Whether the preset-authoring controls were revealed (modifiers held at awakeFromNib).
  bool presetAuthoring() const { return mPresetAuthoring; }
  // Keeps another top-level object of the layout (the progress panel) for the view's life.
  void adoptObject(std::unique_ptr<ui::Object> object) { mOwned.push_back(std::move(object)); }

  // Listeners and synchronisation.
  void _addListeners();
  void _removeListeners();
  void _synchronizeUIWithParameterValues();
  void _parameterListener(void* object, const AudioUnitParameter* parameter, float value);

  // Gestures.
  void beginGestureForAllParams();
  void endGestureForAllParams();

  // Notification handlers.
  void iaUpdateLevelMeters(const notify::Notification& note);  // [any thread]
  void iaUpdateNotesActive(const notify::Notification& note);  // [any thread]

  // Marks the view for redisplay (the background follows the time of day). [any thread]
  void update();
  // The night picture's fraction at the last drawing. [main thread]
  double nightFractionShown() const { return mNightShown; }

  // Drawing and events.
  bool isFlipped() const override { return true; }
  bool isOpaque() const override { return false; }
  void drawRect(ui::DrawContext& context, const ui::Rect& dirtyRect) override;
  void mouseDown(const ui::Event& event) override;
  bool acceptsFirstResponder() const override { return true; }
  bool becomeFirstResponder() override { return true; }

  // Control actions.
  void iaParamToggleChanged(ui::Control* sender, int parameter);
  void iaParamPopupChanged(ui::Control* sender, int parameter);
  void iaParamSliderChanged(ui::Control* sender, int parameter);
  void iaParamMasterTuneChanged(ui::Control* sender);
  void iaParamEqMatrixChanged(ui::Control* sender);
  void iaParamEqReset(ui::Control* sender);
  void iaParamSoundModeChanged(ui::Control* sender);
  void iaParamOscAWaveChanged(ui::Control* sender) { iaParamPopupChanged(sender, 26); }
  void iaParamOscBWaveChanged(ui::Control* sender) { iaParamPopupChanged(sender, 29); }
  void iaParamSamplesWavesChanged(ui::Control* sender);
  void syncWavePopupWithSampleSelector();
  void randomizeParameters(ui::Control* sender);
  void configureUiControls();
  void iaKeyboardTransposeDown(ui::Control* sender);
  void iaKeyboardTransposeUp(ui::Control* sender);
  void iaKeyboardReset(ui::Control* sender);
  void iaGetInfo(ui::Control* sender);

  // Presets. The list is read afresh every time: the user's file once the user has saved, else
  // the component bundle's copy, else the user's file (TARNWICK_COMPONENT_PRESETS names
  // another file as the component copy, for tests). nullopt when neither gives a list.
  std::optional<tarnwick_presets::PresetList> presetListRef();
  // Rebuilds the menu keeping the selected index (the last item when it is gone); without a
  // list the menu holds the disabled "Factory Presets".
  void populatePresetPopup();
  // Applies the selected preset through the controls and their actions, in one gesture: the
  // toggles, the menus (Waves/Samples first), the sliders, the tuning field, the equaliser
  // cells (one matrix action), then the keys. Without a preset at the selection nothing
  // changes. Rebuilds the menu.
  void loadCurrentSetting(ui::Control* sender);
  // Stores the controls and the held keys under the name in uiPresetName (a beep when it is
  // empty) into the user's file, replacing the preset of that name ignoring case in place, and
  // selects it in the rebuilt menu.
  void saveCurrentSetting(ui::Control* sender);

  // Outlets (filled by the layout).
  VXAnalyzerView* uiTarnwickAnalyzerView = nullptr;
  VXKeyboardView* uiTarnwickKeyboardView = nullptr;
  ui::TextField* uiPresetName = nullptr;
  ui::PopUpButton* uiPresetPopup = nullptr;
  ui::Panel* uiProgressPanel = nullptr;
  ui::Slider *uiFBAmtSlider = nullptr, *uiCarrMixSlider = nullptr, *uiSpeechMixSlider = nullptr,
             *uiRevMixSlider = nullptr, *uiRevDiffSlider = nullptr, *uiRevDecaySlider = nullptr,
             *uiReleaseSlider = nullptr, *uiEqGainSlider = nullptr, *uiCoarseASlider = nullptr,
             *uiFineASlider = nullptr, *uiCoarseBSlider = nullptr, *uiFineBSlider = nullptr,
             *uiModADepthSlider = nullptr, *uiModASpeedSlider = nullptr,
             *uiModBDepthSlider = nullptr, *uiModBSpeedSlider = nullptr,
             *uiFilterCutoffSlider = nullptr, *uiFilterResoSlider = nullptr,
             *uiFilterDistSlider = nullptr, *uiOctaveSlider = nullptr,
             *uiRoomAmountSlider = nullptr, *uiRoomSizeSlider = nullptr;
  ui::TextField *uiFBAmtTextField = nullptr, *uiCarrMixTextField = nullptr,
                *uiSpeechMixTextField = nullptr, *uiRevMixTextField = nullptr,
                *uiRevDiffTextField = nullptr, *uiRevDecayTextField = nullptr,
                *uiReleaseTextField = nullptr, *uiCoarseATextField = nullptr,
                *uiFineATextField = nullptr, *uiCoarseBTextField = nullptr,
                *uiFineBTextField = nullptr, *uiModADepthTextField = nullptr,
                *uiModASpeedTextField = nullptr, *uiModBDepthTextField = nullptr,
                *uiModBSpeedTextField = nullptr, *uiFilterCutoffTextField = nullptr,
                *uiFilterResoTextField = nullptr, *uiFilterDistTextField = nullptr,
                *uiRoomAmountTextField = nullptr, *uiRoomSizeTextField = nullptr,
                *uiMasterTuneTextField = nullptr;
  ui::Button *uiHFPassButton = nullptr, *uiVcUvButton = nullptr, *uiFreezeButton = nullptr,
             *uiFlipButton = nullptr, *uiSynthButton = nullptr, *uiSyncButton = nullptr,
             *uiRingmodButton = nullptr, *uiAutoFreezeButton = nullptr,
             *uiSuperFatButton = nullptr, *uiEqResetButton = nullptr,
             *uiRandomizeButton = nullptr, *uiSavePresetButton = nullptr;
  ui::PopUpButton *uiSoundModePopUp = nullptr, *uiOscAWavePopUp = nullptr,
                  *uiOscBWavePopUp = nullptr, *uiLfoAWavePopUp = nullptr,
                  *uiLfoBWavePopUp = nullptr, *uiSamplesWavesPopUp = nullptr;
  ui::Matrix* uiEqSliderMatrix = nullptr;

  // The slider family: parameter, slider, field, slider on reset, value sent on reset, and
  // the field's range.
  struct SliderBinding {
    int parameter;
    ui::Slider* Tarnwick_CocoaView::*slider;
    ui::TextField* Tarnwick_CocoaView::*field;  // null member for none
    float sliderReset, valueReset, fieldMin, fieldMax;
    const char* action;
  };
  static const std::array<SliderBinding, 22>& sliderBindings();

 private:
  void bindOutletsAndActions();
  void observe(const char* name, void (Tarnwick_CocoaView::*handler)(const notify::Notification&));
  void closeNotification(const notify::Notification& note);
  void handleBeginGesture(const notify::Notification&) { beginGestureForAllParams(); }
  void handleEndGesture(const notify::Notification&) { endGestureForAllParams(); }
  void sendGestureEvents(AudioUnitEventType type);
  OSStatus setParameter(int parameter, float value, void* sender);
  void fail(const char* method, const char* description, OSStatus status);
  void startRedrawThread();
  void stopRedrawThread();
  bool matchesRefCon(const notify::Notification& note) const;
  const SliderBinding* bindingFor(ui::Control* sender, int parameter) const;
  void applyPreset(const plist::Value& preset);
  // The control of a preset key (toggles, menus, sliders, the tuning field), or null.
  ui::Control* presetControl(const char* key) const;

  char mFirstRun = 1;
  std::shared_ptr<ui::Image> mBackground;
  std::shared_ptr<ui::Image> mBackgroundNight;
  AudioUnit mAU = nullptr;
  std::atomic<uint64_t> mRefCon{0};
  AUParameterListenerRef mParameterListener = nullptr;
  std::array<AudioUnitParameter, kParameterCount> mParameter{};
  GestureNesting mGestures;
  bool mPresetAuthoring = false;
  bool mApplyingPreset = false;  // a held reset modifier does not reset the preset's sliders
  double mNightShown = 0;

  std::vector<notify::Center::Token> mObservers;
  std::thread mRedrawThread;
  std::mutex mRedrawMutex;
  std::condition_variable mRedrawWake;
  bool mExitBackgroundThread = false;      // guarded by mRedrawMutex
  bool mCleanedUp = false;
  std::vector<std::unique_ptr<ui::Object>> mOwned;
};
