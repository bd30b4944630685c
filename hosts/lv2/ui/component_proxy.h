// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in for the Tarnwick component in the UI of Tarnwick.lv2. It is a component of its
// own in this process's component registry, so that the editor and the platform's parameter
// services (AUListenerCreate, AUParameterSet, AUEventListenerNotify) work on it unchanged, and it
// reaches the plug-in only through the LV2 UI interfaces: control ports and the two atom ports
// of ui_protocol.h. Nothing is shared with the plug-in's memory.
//
//   AudioUnitGetParameter / SetParameter  the control ports' values (and the component's, sent
//                                         when the UI attaches); a set writes the port
//   property 65536                        the proxy's own instance reference
//   property 65537                        the address of the proxy's own pending-default byte,
//                                         as the plug-in reported it; its clearing is sent back
//   property 31                           the editor bundle inside the component bundle
//   begin/end gesture events              the host's touch feature, when offered
//   key messages with the proxy's refcon  KeyOn/KeyOff/AllKeysOff commands to the plug-in
//   the plug-in's key lists and levels    posted here with the proxy's refcon
//
// Threads: everything runs on the UI thread (the host's UI calls and this process's main run
// loop), except AudioUnitGetParameter, which any thread may call.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "component/parameter_table.h"
#include "hosts/lv2/ui_protocol.h"
#include "platform/au/au_listener.h"
#include "platform/au/component.h"
#include "platform/notify/notification_center.h"

namespace tarnwick_lv2 {

class ComponentProxy {
 public:
  // How the proxy reaches the plug-in. writeMessage gets one atom (an object) for kUiInPort.
  struct Link {
    std::function<void(uint32_t port, float value)> writeControl;
    std::function<void(const LV2_Atom& atom)> writeMessage;
    std::function<void(uint32_t port, bool grabbed)> touch;  // empty: the host has no touch
  };

  // Opens a proxy instance through the component registry; its first idle() asks the plug-in
  // for the key list and the pending-default flag.
  // componentBundle: the Tarnwick.component folder (registered as a bundle, so that the editor
  // finds its pictures by identifier). Null, with *error set, on failure. [main thread; the host's UI thread]
  static std::unique_ptr<ComponentProxy> open(LV2_URID_Map* map, Link link,
                                              const std::string& componentBundle,
                                              std::string* error);
  ~ComponentProxy();  // closes the instance (its listeners are dropped) [main thread; the host's UI thread]
  ComponentProxy(const ComponentProxy&) = delete;
  ComponentProxy& operator=(const ComponentProxy&) = delete;

  AudioUnit unit() const { return mUnit; }
  uint64_t refCon() const { return reinterpret_cast<uintptr_t>(this); }
  const std::string& editorBundlePath() const { return mEditorBundle; }

  // A port event from the host: control values and the plug-in's messages. [main thread; the host's UI thread]
  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // Says hello to the plug-in the first time; sends the clearing of the pending-default byte
  // once the editor has cleared it. [main thread; the host's UI thread]
  void idle();
  // True once the plug-in has said whether its pending-default flag is set. [main thread; the host's UI thread]
  bool pendingKnown() const { return mPendingKnown; }

  // The component entry routine of every proxy instance. [any thread; the calling thread]
  static OSStatus entry(ComponentParameters* params, void* storage);

 private:
  ComponentProxy(LV2_URID_Map* map, Link link);
  OSStatus getProperty(AudioUnitGetPropertyArgs& args);
  OSStatus getPropertyInfo(AudioUnitGetPropertyInfoArgs& args);
  OSStatus setParameter(const AudioUnitSetParameterArgs& args);
  void keyMessage(const notify::Notification& note, LV2_URID kind);
  void sendCommand(LV2_URID kind, int note = -1);
  void receive(const LV2_Atom* atom, uint32_t size);
  // A value the plug-in side holds; the listeners hear of a change. [main thread; the host's UI thread]
  void setFromPlugin(AudioUnitParameterID id, float value);
  static void gesture(void* self, void*, const AudioUnitEvent* event, uint64_t,
                      AudioUnitParameterValue);

  Link mLink;
  UiUrids mUrids;
  LV2_URID_Map* mMap;
  AudioUnit mUnit = nullptr;
  std::string mEditorBundle;
  std::atomic<float> mValues[kParameterCount];
  uint8_t mPendingDefault = 0;  // the byte property 65537 points at
  bool mPendingReported = false;  // the plug-in's flag as last reported or sent
  bool mPendingKnown = false;
  bool mHelloSent = false;
  AUEventListenerRef mGestureListener = nullptr;
  notify::Center::Token mKeyObservers[3] = {};
  notify::UserInfo mKeysInfo, mLevelsInfo;  // reused for every post
};

}  // namespace tarnwick_lv2
