// SPDX-License-Identifier: GPL-3.0-or-later
// The view-component calling convention on X11: what a host passes to open a unit's editor in a
// window it owns. The host finds the view component through the unit's UI component list
// (type 'auvw'), opens it with OpenAComponent and makes the view with the create selector:
//   window        the host's top-level X11 window (its id), whose content area the editor covers
//   parent pane   the X11 window inside it into which the view embeds its own pane
//   location/size the view's pane in the parent pane, in logical units from its top-left corner
//   out control   receives the X11 window id of the view's pane
// A window id of 0 stands for a null reference. Header only: hosts never link the component.
#pragma once

#include <cstdint>

#include "platform/au/au_types.h"
#include "platform/au/component_registry.h"

inline constexpr OSType kAudioUnitCarbonViewSubtype_Tarnwick = fourCharCode("TKWX");

inline constexpr int16_t kAudioUnitCarbonViewCreateSelect = 0x0301;
inline constexpr int16_t kAudioUnitCarbonViewSetEventListenerSelect = 0x0302;

// The status a window event handler gives back so that the host's own handling proceeds.
inline constexpr OSStatus eventNotHandledErr = -9874;

using HostWindowRef = uint64_t;  // an X11 window id, 0 = none
using HostPaneRef = uint64_t;    // an X11 window id, 0 = none

struct Float32Point {
  Float32 x;
  Float32 y;
};

// Events a view reports to its listener (mouse down and up in one of its controls);
// inParameter points to the AudioUnitParameter the control edits.
using AudioUnitCarbonViewEventID = SInt32;
inline constexpr AudioUnitCarbonViewEventID kAudioUnitCarbonViewEvent_MouseDownInControl = 0;
inline constexpr AudioUnitCarbonViewEventID kAudioUnitCarbonViewEvent_MouseUpInControl = 1;
using AudioUnitCarbonViewEventListener = void (*)(void* inUserData, ComponentInstanceRecord* inView,
                                                  const void* inParameter,
                                                  AudioUnitCarbonViewEventID inEvent,
                                                  const void* inEventParam);

struct AudioUnitCarbonViewCreateArgs {
  AudioUnit inAudioUnit;
  HostWindowRef inWindow;
  HostPaneRef inParentControl;
  const Float32Point* inLocation;
  const Float32Point* inSize;
  HostPaneRef* outControl;
};

struct AudioUnitCarbonViewSetEventListenerArgs {
  AudioUnitCarbonViewEventListener inCallback;
  void* inUserData;
};

// Host-side calls. [main thread; the thread that runs the UI loop]
inline OSStatus AudioUnitCarbonViewCreate(ComponentInstanceRecord* inView, AudioUnit inAudioUnit,
                                          HostWindowRef inWindow, HostPaneRef inParentControl,
                                          const Float32Point* inLocation,
                                          const Float32Point* inSize, HostPaneRef* outControl) {
  AudioUnitCarbonViewCreateArgs args{inAudioUnit, inWindow, inParentControl,
                                     inLocation,  inSize,   outControl};
  return CallComponentSelector(inView, kAudioUnitCarbonViewCreateSelect, &args);
}

inline OSStatus AudioUnitCarbonViewSetEventListener(ComponentInstanceRecord* inView,
                                                    AudioUnitCarbonViewEventListener inCallback,
                                                    void* inUserData) {
  AudioUnitCarbonViewSetEventListenerArgs args{inCallback, inUserData};
  return CallComponentSelector(inView, kAudioUnitCarbonViewSetEventListenerSelect, &args);
}
