// SPDX-License-Identifier: GPL-3.0-or-later
// One UI of Tarnwick.lv2: the editor, opened through its bundle as every host opens it, on a
// ComponentProxy, in a window embedded into the host's (ui:parent) or in a window of its own
// titled with the product's name. Its own window is used when the host gives no parent, when
// the preference "userDisplayCocoaUiInSeparateWindow" is above 0, or when the Ctrl key alone is
// held while the UI opens; the host's parent then shows a note saying so.
//
// No thread of its own: the host's idle call turns this process's main run loop once (X events,
// timers, listener deliveries, performs), which is also what lets the component's update alert
// show in hosts that run the plug-in in this process. Everything here runs on the host's UI
// thread, which becomes the display thread.
#pragma once

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "editor/au_cocoa_ui_base.h"
#include "hosts/lv2/ui/component_proxy.h"

namespace ui {
class Window;
class View;
}  // namespace ui

namespace tarnwick_lv2 {

struct UiHost {
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  LV2_URID_Map* map = nullptr;
  const LV2UI_Touch* touch = nullptr;    // may be null
  const LV2UI_Resize* resize = nullptr;  // may be null
  uint64_t parent = 0;                   // X11 window id; 0: no parent
  double scale = 0;                      // the host's scale factor; 0: none given
  std::function<void()> closed;          // the user closed our own window
};

class UiInstance {
 public:
  // Null with *error set when there is no display, no component bundle or no proxy.
  static std::unique_ptr<UiInstance> create(UiHost host, const char* bundlePath,
                                            std::string* error);
  ~UiInstance();
  UiInstance(const UiInstance&) = delete;
  UiInstance& operator=(const UiInstance&) = delete;

  // The X11 window the host embeds (0 when there is no parent).
  uint64_t widget() const;
  bool separateWindow() const { return mSeparate; }

  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // One turn; non-zero once the user has closed our own window.
  int idle();
  // Our own window: shown / hidden (hosts that do not embed).
  int show();
  int hide();

 private:
  explicit UiInstance(UiHost host);
  void openEditor();
  void showNote();

  UiHost mHost;
  bool mSeparate = false;
  bool mShown = false;
  bool mClosedReported = false;
  bool mEditorTried = false;
  std::unique_ptr<ComponentProxy> mProxy;
  std::unique_ptr<ui::Window> mEmbedded;  // in the host's parent
  std::unique_ptr<ui::Window> mOwn;       // our own window
  std::unique_ptr<AUCocoaUIBase> mFactory;
  std::chrono::steady_clock::time_point mCreated;
};

}  // namespace tarnwick_lv2
