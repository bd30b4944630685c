// SPDX-License-Identifier: GPL-3.0-or-later
// The base of a view component: it keeps the audio unit, the host's window and the pane that
// the view embeds into the host's parent pane (an X11 child window of ours, drawn by the UI
// layer), and the extent of the controls embedded into the pane. The create selector makes the
// pane and calls CreateUI; the set-event-listener selector stores the listener. Controls are
// placed in the host window's coordinates (top-down, logical units), as CreateUI receives its
// offsets; the base moves them into the pane. [main thread]
#pragma once

#include <memory>

#include "bridge/au_carbon_view.h"
#include "component/aubase/component_base.h"
#include "platform/ui/geometry.h"

namespace ui {
class View;
class Window;
}  // namespace ui

class AUCarbonViewBase : public ComponentBase {
 public:
  // inNotifyInterval: how often (seconds) parameter changes are shown in the view's controls.
  AUCarbonViewBase(ComponentInstanceRecord* inInstance, Float32 inNotifyInterval = 0.1f);
  ~AUCarbonViewBase() override;

  // 0x0301 and 0x0302; the rest goes to ComponentBase. May throw a status.
  OSStatus DispatchSelector(ComponentParameters& inParams) override;

  // Makes the pane at inLocation in inParentControl, calls CreateUI and sizes the pane to the
  // extent of its controls when CreateUI did not size it. On failure the pane is removed.
  OSStatus CreateCarbonView(AudioUnit inAudioUnit, HostWindowRef inWindow,
                            HostPaneRef inParentControl, const Float32Point& inLocation,
                            const Float32Point& inSize, HostPaneRef& outControl);

  AudioUnit GetEditAudioUnit() const { return mEditAudioUnit; }
  HostWindowRef GetCarbonWindow() const { return mCarbonWindow; }
  ui::Window* GetCarbonPane() const { return mCarbonPane.get(); }
  AudioUnitCarbonViewEventListener GetEventListener() const { return mEventListener; }

 protected:
  // Builds the view's content; offsets are the pane's location in the host window.
  virtual OSStatus CreateUI(Float32 inXOffset, Float32 inYOffset) = 0;
  // Whether the pane exists on the server (a parent pane that does not exist gives none).
  virtual bool PaneParentExists(HostPaneRef inParentControl) = 0;

  // Adds a control at its frame in host-window coordinates (top-down) and grows the extent.
  void EmbedControl(std::unique_ptr<ui::View> inControl);
  // The bottom-right corner of the embedded controls, in pane coordinates.
  ui::Point ControlsExtent() const { return mBottomRight; }
  void SizePane(ui::Size inSize);
  // The view and its pane leave the host window (teardown).
  void RemovePane();

  AudioUnit mEditAudioUnit = nullptr;
  HostWindowRef mCarbonWindow = 0;
  std::unique_ptr<ui::Window> mCarbonPane;
  Float32 mNotifyInterval;

 private:
  ui::Point mLocation;
  ui::Point mBottomRight;
  bool mPaneSized = false;
  AudioUnitCarbonViewEventListener mEventListener = nullptr;
  void* mEventListenerUserData = nullptr;
};
