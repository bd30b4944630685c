// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/ui/ui_instance.h"

#include <cstdio>

#include "component/tarnwick_identity.h"
#include "editor/cocoa_view_loading.h"
#include "editor/layout/editor_geometry.h"
#include "hosts/lv2/component_path.h"
#include "hosts/lv2/lv2_ports.h"
#include "platform/alert/alert.h"
#include "platform/prefs/preferences.h"
#include "platform/ui/alert_presenter.h"
#include "platform/ui/application.h"
#include "platform/ui/event.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace tarnwick_lv2 {
namespace {

constexpr const char* kSeparateWindowKey = "userDisplayCocoaUiInSeparateWindow";
// How long the editor waits for the plug-in's pending-default flag before it opens with the
// flag clear (a host that does not run the plug-in while the UI opens).
constexpr std::chrono::milliseconds kFlagWait{1500};
constexpr double kNoteWidth = 440, kNoteHeight = 64;

ui::Size editorSize() {
  const auto& panel = editor_geometry::panel();
  return {panel.width, panel.height};
}

}  // namespace

std::unique_ptr<UiInstance> UiInstance::create(UiHost host, const char* bundlePath,
                                               std::string* error) {
  ui::Application& app = ui::Application::shared();
  if (app.backend() == ui::BackendKind::Unset && !app.openX11(nullptr, error)) return nullptr;
  if (app.backend() == ui::BackendKind::X11) ui::installAlertPresenter();
  if (host.scale > 0) app.setHostScaleFactor(host.scale);

  const std::string component = componentPathFor(bundlePath);
  if (component.empty()) {
    if (error) *error = std::string("no ") + kComponentBundleName + " inside or beside '" +
                        (bundlePath ? bundlePath : "") + "'";
    return nullptr;
  }
  std::unique_ptr<UiInstance> self(new UiInstance(std::move(host)));
  UiInstance* raw = self.get();
  ComponentProxy::Link link;
  link.writeControl = [raw](uint32_t port, float value) {
    raw->mHost.write(raw->mHost.controller, port, sizeof value, 0, &value);
  };
  const LV2_URID transfer = raw->mHost.map->map(raw->mHost.map->handle, LV2_ATOM__eventTransfer);
  link.writeMessage = [raw, transfer](const LV2_Atom& atom) {
    raw->mHost.write(raw->mHost.controller, kUiInPort, sizeof atom + atom.size, transfer, &atom);
  };
  if (raw->mHost.touch) {
    link.touch = [raw](uint32_t port, bool grabbed) {
      raw->mHost.touch->touch(raw->mHost.touch->handle, port, grabbed);
    };
  }
  self->mProxy = ComponentProxy::open(self->mHost.map, std::move(link), component, error);
  if (!self->mProxy) return nullptr;

  // The modifiers are read once, as the editor opens: Ctrl alone asks for a window of its own.
  const uint32_t modifiers = ui::GetCurrentKeyModifiers();
  self->mSeparate = self->mHost.parent == 0 ||
                    readIntPreference(kTarnwickIdentifier, kSeparateWindowKey) > 0 ||
                    modifiers == ui::kControlKey;
  const ui::Size size = editorSize();
  if (self->mSeparate) {
    self->mOwn = std::make_unique<ui::Window>(
        ui::Rect(0, 0, size.width, size.height),
        ui::kTitledWindowMask | ui::kClosableWindowMask | ui::kMiniaturizableWindowMask);
    self->mOwn->setTitle(kTarnwickDisplayName);
    self->mOwn->setMinSize(size);
    self->mOwn->setMaxSize(size);
    self->mOwn->center();
    if (self->mHost.parent != 0) {  // the host embeds and will not ask us to show
      self->showNote();
      self->show();
    }
  } else {
    self->mEmbedded = ui::Window::embedded(self->mHost.parent, ui::Rect(0, 0, size.width, size.height));
    if (!self->mEmbedded || self->mEmbedded->nativeHandle() == 0) {
      if (error) *error = "cannot embed into the host's window";
      return nullptr;
    }
    self->mEmbedded->makeKeyAndOrderFront();
  }
  if (self->mEmbedded && self->mHost.resize) {
    const double scale = self->mEmbedded->scaleFactor();
    const ui::Size shown = self->mEmbedded->contentSize();
    self->mHost.resize->ui_resize(self->mHost.resize->handle, int(shown.width * scale + 0.5),
                                  int(shown.height * scale + 0.5));
  }
  self->mCreated = std::chrono::steady_clock::now();
  return self;
}

UiInstance::UiInstance(UiHost host) : mHost(std::move(host)) {}

UiInstance::~UiInstance() {
  // The editor goes first (it lets go of the proxy's listeners), then the proxy.
  for (auto* window : {mOwn.get(), mEmbedded.get()}) {
    if (window && !window->isClosed()) window->close();
  }
  mOwn.reset();
  mEmbedded.reset();
  mFactory.reset();
  mProxy.reset();
}

// A short note in the host's window when the editor has a window of its own.
void UiInstance::showNote() {
  mEmbedded = ui::Window::embedded(mHost.parent, ui::Rect(0, 0, kNoteWidth, kNoteHeight));
  if (!mEmbedded) return;
  auto note = ui::TextField::label(
      ui::Rect(12, 12, kNoteWidth - 24, kNoteHeight - 24),
      "The Tarnwick editor is open in a window of its own.");
  note->cell()->setTextColor(ui::Color::rgba(0.85, 0.87, 0.9, 1));
  note->setAlignment(ui::TextAlignment::Center);
  mEmbedded->setContentView(std::move(note));
  mEmbedded->makeKeyAndOrderFront();
}

void UiInstance::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  mProxy->portEvent(port, size, format, buffer);
}

uint64_t UiInstance::widget() const {
  return mEmbedded ? mEmbedded->nativeHandle() : 0;
}

void UiInstance::openEditor() {
  std::string error;
  OpenedCocoaView opened = openCocoaView(mProxy->unit(), &error);
  if (!opened.view) {
    std::fprintf(stderr, "Tarnwick.lv2 UI: %s\n", error.c_str());
    std::fflush(stderr);
    alert::showAlert("Problem loading Cocoa view", "The plug in was unable to load its Cocoa view",
                     "Too bad");
    return;
  }
  mFactory = std::move(opened.factory);
  ui::Window* window = mSeparate ? mOwn.get() : mEmbedded.get();
  window->setContentView(std::move(opened.view));
  if (mSeparate && mShown) window->makeKeyAndOrderFront();
  window->displayIfNeeded();
}

int UiInstance::idle() {
  mProxy->idle();
  if (!mEditorTried && (mProxy->pendingKnown() ||
                        std::chrono::steady_clock::now() - mCreated > kFlagWait)) {
    mEditorTried = true;
    openEditor();
    if (mOwn && mShown && !mFactory) mOwn->makeKeyAndOrderFront();  // shows what there is
  }
  ui::Application::shared().runOnce();
  if (mOwn && mShown && mOwn->isClosed()) {
    if (!mClosedReported && mHost.closed) mHost.closed();
    mClosedReported = true;
    return 1;
  }
  return 0;
}

int UiInstance::show() {
  if (!mOwn || mOwn->isClosed()) return 1;
  mShown = true;
  // Shown once the editor is in it (openEditor), not as an empty window before.
  if (mEditorTried) mOwn->makeKeyAndOrderFront();
  return 0;
}

int UiInstance::hide() {
  if (mOwn && !mOwn->isClosed()) mOwn->orderOut();
  return 0;
}

}  // namespace tarnwick_lv2
