// SPDX-License-Identifier: GPL-3.0-or-later
// Construction, loading the editor and teardown; the host-window side is in
// cocoa_view_loader_ui.cpp.
#include "bridge/cocoa_view_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bridge/vx_borderless_window.h"
#include "bridge/window_properties.h"
#include "component/tarnwick_identity.h"
#include "component/tarnwick_log.h"
#include "platform/alert/alert.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/bundle/bundle.h"
#include "platform/prefs/preferences.h"
#include "platform/ui/application.h"
#include "platform/ui/event.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace {

constexpr ui::Size kEditorViewSize{640, 480};
// Window levels, as the platform numbers them (the stacking hints of the UI layer).
constexpr int kModalPanelWindowLevel = 8;

// The application environment in the host process: the UI layer's display, opened on this
// (the host's main) thread unless the host opened it already.
void loadApplicationEnvironment() {
  ui::Application& app = ui::Application::shared();
  if (app.backend() == ui::BackendKind::Unset) {
    std::string error;
    if (!app.openX11(nullptr, &error)) logLine(error.c_str());
  }
}

// The editor bundle and the factory class the unit names (empty strings when it names none).
void readEditorProperty(AudioUnit unit, std::string* location, std::string* className) {
  UInt32 size = 0;
  Boolean writable = false;
  if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0,
                               &size, &writable) != noErr ||
      size < 8 || size < sizeof(AudioUnitCocoaViewInfo)) {
    return;
  }
  AudioUnitCocoaViewInfo info{};
  UInt32 ioSize = sizeof info;
  if (AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info,
                           &ioSize) != noErr) {
    return;
  }
  if (info.mCocoaAUViewBundleLocation) *location = info.mCocoaAUViewBundleLocation;
  if (info.mCocoaAUViewClass[0]) *className = info.mCocoaAUViewClass[0];
  std::free(info.mCocoaAUViewBundleLocation);
}

// The bundle's executable, loaded for the life of the process (the toolkit's class registry
// may refer to its code); null when the bundle or its executable cannot be loaded.
void* loadBundleExecutable(const std::string& location) {
  if (location.empty()) return nullptr;
  const auto bundle = bundle::Bundle::open(location);
  if (!bundle || bundle->executablePath().empty()) return nullptr;
  return dlopen(bundle->executablePath().c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

CocoaViewLoader::CocoaViewLoader(ComponentInstanceRecord* inInstance)
    : AUCarbonViewBase(inInstance, 0.1f) {
  loadApplicationEnvironment();
  // Caps lock is a state, not a key held: it does not spoil "Control alone".
  const uint32_t keys = ui::GetCurrentKeyModifiers() & ~uint32_t{ui::kAlphaLock};
  if (keys == ui::kControlKey) {
    std::printf("keys pressed: %4.4x\n", keys);
    std::fflush(stdout);
    mSeparateWindow = true;
  } else {
    mSeparateWindow =
        readIntPreference(kTarnwickIdentifier, "userDisplayCocoaUiInSeparateWindow") > 0;
  }
  logLine(mSeparateWindow ? "Displaying Cocoa UI in separate window"
                          : "Displaying Cocoa UI over Carbon window");
  mWindowHandler = std::make_unique<VXWindowHandler>();
  // A window the user closes is released on the loop's next turn (not while it is closing).
  mWindowHandler->setClosedHandler([this](ui::Window*) {
    if (mReleaseTimer) return;
    mReleaseTimer = runloop::RunLoop::main().schedule(runloop::RunLoop::Clock::duration::zero(),
                                                      [this] {
                                                        mReleaseTimer = 0;
                                                        releaseClosedWindow();
                                                      });
  });
}

CocoaViewLoader::~CocoaViewLoader() {
  mWindowHandler->setClosedHandler(nullptr);
  if (mReleaseTimer) runloop::RunLoop::main().cancel(mReleaseTimer);
  if (!mSeparateWindow && mWindowHandler->hasWindow()) {
    ui::Window* window = mWindowHandler->window();
    mWindowHandler->setWindow(nullptr);
    std::unique_ptr<ui::View> editorView = window->takeContentView();
    window->close();
  }
  stopFollowing();
  if (mWindowHandler->hasWindow()) mWindowHandler->closeWindow();
  mWindowHandler.reset();
  mCocoaView = nullptr;
  mCocoaWindow.reset();
  mFactory.reset();
}

void CocoaViewLoader::showLoadAlert() {
  alert::showAlert("Problem loading Cocoa view", "The plug in was unable to load its Cocoa view",
                   "Too bad");
}

void CocoaViewLoader::releaseClosedWindow() {
  if (mCocoaWindow && !mWindowHandler->hasWindow()) {
    mCocoaView = nullptr;
    mCocoaWindow.reset();
  }
}

bool CocoaViewLoader::openCocoaView() {
  releaseClosedWindow();
  if (mWindowHandler->hasWindow()) {
    mWindowHandler->showWindow();
    return true;
  }
  std::string location, className;
  readEditorProperty(mEditAudioUnit, &location, &className);
  void* executable = loadBundleExecutable(location);
  if (!executable) {
    logLine("Error loading AU view's bundle");
    showLoadAlert();
    return false;
  }
  auto create = className.empty() ? nullptr
                                  : reinterpret_cast<CocoaViewFactoryCreateProc>(
                                        dlsym(executable, kCocoaViewFactoryEntry));
  if (!create) logLine("Error getting AU view's factory class from bundle");
  std::unique_ptr<AUCocoaUIBase> factory(create ? create(className.c_str()) : nullptr);
  if (!factory) logLine("Could not create an instance of the AU view factory");
  std::unique_ptr<ui::View> view =
      factory ? factory->uiViewForAudioUnit(mEditAudioUnit, kEditorViewSize) : nullptr;
  if (factory) mFactory = std::move(factory);
  mCocoaView = view.get();
  if (!view) {
    showLoadAlert();
    return true;
  }

  ui::Size size = view->frame().size;
  if (size.width <= 0 || size.height <= 0) size = kEditorViewSize;
  const ui::Rect contentRect(ui::Point{0, 0}, size);
  if (mSeparateWindow) {
    mCocoaWindow = std::make_unique<ui::Window>(
        contentRect,
        ui::kTitledWindowMask | ui::kClosableWindowMask | ui::kMiniaturizableWindowMask);
    mCocoaWindow->setTitle(kTarnwickDisplayName);
    mCocoaWindow->setContentView(std::move(view));
    mCocoaWindow->center();
    mCocoaWindow->makeKeyAndOrderFront();
  } else {
    mCocoaWindow = std::make_unique<VXBorderlessWindow>(contentRect);
    mCocoaWindow->setTitle(kTarnwickDisplayName);
    mCocoaWindow->setContentView(std::move(view));
    mCocoaWindow->setLevel(kModalPanelWindowLevel);
    SizePane(size);
  }
  mWindowHandler->setWindow(mCocoaWindow.get());
  mCocoaView->setNeedsDisplay();
  return true;
}
