// SPDX-License-Identifier: GPL-3.0-or-later
// Lifecycle, listeners, gestures, notifications and drawing of the editor view.
#include "editor/tarnwick_cocoa_view.h"

#include <cstdio>
#include <cstring>

#include "component/tarnwick_identity.h"
#include "editor/assertion_handler.h"
#include "editor/editor_clock.h"
#include "editor/editor_notifications.h"
#include "editor/image_cache.h"
#include "editor/views/vx_analyzer_view.h"
#include "editor/views/vx_keyboard_view.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/bundle/bundle.h"
#include "platform/ui/application.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/window.h"
#include "services/notification_names.h"

namespace names = tarnwick_notify;

namespace {

// Modifier keys that, held while the editor opens, reveal the preset-authoring controls.
constexpr uint32_t kPresetAuthoringModifiers = ui::kShiftKey | ui::kControlKey;
// Parameters that take part in gesture events, in increasing order.
constexpr int kGestureParameters[] = {0,  1,  2,  3,  4,  5,  6,  7,  10, 22, 23,
                                      24, 25, 27, 28, 30, 31, 33, 34, 38, 39, 40, 41, 46};
constexpr auto kRedrawInterval = std::chrono::nanoseconds(999000000);

void parameterListenerProc(void* userData, void* object, const AudioUnitParameter* parameter,
                           AudioUnitParameterValue value) {
  static_cast<Tarnwick_CocoaView*>(userData)->_parameterListener(object, parameter, value);
}

}  // namespace

Tarnwick_CocoaView::Tarnwick_CocoaView() { bindOutletsAndActions(); }

Tarnwick_CocoaView::~Tarnwick_CocoaView() { cleanUp(); }

void Tarnwick_CocoaView::fail(const char* method, const char* description, OSStatus status) {
  assertion_handler::handleFailure("Tarnwick_CocoaView", method, description, status);
}

void Tarnwick_CocoaView::observe(const char* name,
                                 void (Tarnwick_CocoaView::*handler)(const notify::Notification&)) {
  mObservers.push_back(notify::Center::defaultCenter().addObserver(
      name, nullptr, [this, handler](const notify::Notification& n) { (this->*handler)(n); }));
}

void Tarnwick_CocoaView::awakeFromNib() {
  mFirstRun = 1;
  mGestures = GestureNesting();
  mRefCon.store(0);
  mAU = nullptr;
  mCleanedUp = false;
  setAutoresizingMask(ui::kViewWidthSizable | ui::kViewHeightSizable);
  // The progress panel stays hidden: setting up takes no visible time here, and a window
  // mapped and unmapped inside one turn would only flicker over the host.
  if (auto bundle = bundle::Bundle::withIdentifier(kTarnwickIdentifier)) {
    mBackground = image_cache::load(bundle->resourcePath("tkwx-128", "png"));
    mBackgroundNight = image_cache::load(bundle->resourcePath("tkwx-129", "png"));
  }
  if (!mBackground) std::printf("bg image not loaded!! tkwx-128\n");
  if (!mBackgroundNight) std::printf("bg image 2 not loaded!! tkwx-129\n");
  std::fflush(stdout);

  observe(names::kSetAnalyzerLevels, &Tarnwick_CocoaView::iaUpdateLevelMeters);
  observe(names::kSetKeysPressed, &Tarnwick_CocoaView::iaUpdateNotesActive);
  observe(editor_notify::kBeginGesture, &Tarnwick_CocoaView::handleBeginGesture);
  observe(editor_notify::kEndGesture, &Tarnwick_CocoaView::handleEndGesture);
  observe(ui::kWindowWillCloseNotification, &Tarnwick_CocoaView::closeNotification);

  populatePresetPopup();
  if (uiProgressPanel) uiProgressPanel->orderOut();

  const uint32_t modifiers = ui::GetCurrentKeyModifiers();
  std::printf("keys pressed: %4.4x\n", modifiers);
  std::fflush(stdout);
  mPresetAuthoring = modifiers == kPresetAuthoringModifiers;
  if (uiPresetName) uiPresetName->setHidden(!mPresetAuthoring);
  if (uiSavePresetButton) uiSavePresetButton->setHidden(!mPresetAuthoring);
  if (uiAutoFreezeButton) uiAutoFreezeButton->setHidden(true);

  startRedrawThread();
}

void Tarnwick_CocoaView::setAU(AudioUnit unit) {
  if (mAU) _removeListeners();
  mAU = unit;
  _addListeners();
  uint64_t refCon = 0;
  UInt32 size = sizeof refCon;
  AudioUnitGetProperty(mAU, kTarnwickProperty_RefCon, kAudioUnitScope_Global, 0, &refCon, &size);
  mRefCon.store(refCon);
  if (uiTarnwickKeyboardView) uiTarnwickKeyboardView->setRefCon(refCon);

  uint64_t address = 0;
  size = sizeof address;
  if (AudioUnitGetProperty(mAU, kTarnwickProperty_PendingDefaultSetting, kAudioUnitScope_Global, 0,
                           &address, &size) == noErr &&
      address != 0) {
    auto* pending = reinterpret_cast<volatile uint8_t*>(static_cast<uintptr_t>(address));
    if (*pending == 1) {
      loadCurrentSetting(uiPresetPopup);
      *pending = 0;
    }
  }
  _synchronizeUIWithParameterValues();
}

void Tarnwick_CocoaView::_addListeners() {
  OSStatus status = AUListenerCreate(&parameterListenerProc, this,
                                     runloop::RunLoop::currentShared(), 0.1f, &mParameterListener);
  if (status != noErr) {
    mParameterListener = nullptr;
    fail("_addListeners", "[Tarnwick_CocoaView _addListeners] AUListenerCreate()", status);
    return;
  }
  for (int i = 0; i < kParameterCount; ++i) {
    mParameter[i] = {mAU, static_cast<AudioUnitParameterID>(i), kAudioUnitScope_Global, 0};
    status = AUListenerAddParameter(mParameterListener, nullptr, &mParameter[i]);
    if (status != noErr) {
      fail("_addListeners", "[Tarnwick_CocoaView _addListeners] AUListenerAddParameter()",
           status);
    }
  }
}

void Tarnwick_CocoaView::_removeListeners() {
  if (!mParameterListener) return;
  for (int i = 0; i < kParameterCount; ++i) {
    const OSStatus status = AUListenerRemoveParameter(mParameterListener, nullptr, &mParameter[i]);
    if (status != noErr) {
      fail("_removeListeners", "[Tarnwick_CocoaView _removeListeners] AUListenerRemoveParameter()",
           status);
    }
  }
  const OSStatus status = AUListenerDispose(mParameterListener);
  if (status != noErr) {
    fail("_removeListeners", "[Tarnwick_CocoaView _removeListeners] AUListenerDispose()", status);
  }
  mParameterListener = nullptr;
}

void Tarnwick_CocoaView::_synchronizeUIWithParameterValues() {
  for (int i = 0; i < kParameterCount; ++i) {
    float value = 0;
    OSStatus status =
        AudioUnitGetParameter(mAU, static_cast<AudioUnitParameterID>(i), kAudioUnitScope_Global,
                              0, &value);
    if (status != noErr) {
      fail("_synchronizeUIWithParameterValues",
           "[Tarnwick_CocoaView synchronizeUIWithParameterValues] (x.1)", status);
    }
    status = AUParameterSet(mParameterListener, this, &mParameter[i], value, 0);
    if (status != noErr) {
      fail("_synchronizeUIWithParameterValues",
           "[Tarnwick_CocoaView synchronizeUIWithParameterValues] (x.2)", status);
    }
    status = AUParameterListenerNotify(mParameterListener, this, &mParameter[i]);
    if (status != noErr) {
      fail("_synchronizeUIWithParameterValues",
           "[Tarnwick_CocoaView synchronizeUIWithParameterValues] (x.3)", status);
    }
  }
  // Releases note 1 if held; the answer brings the current key list to the keyboard.
  editor_notify::postKeyMessage(names::kKeyOffMsg, this, mRefCon.load(), 1);
}

void Tarnwick_CocoaView::sendGestureEvents(AudioUnitEventType type) {
  if (!mAU || !mParameterListener) return;
  for (int id : kGestureParameters) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = mParameter[id];
    const OSStatus status = AUEventListenerNotify(mParameterListener, this, &event);
    if (status != noErr) {
      fail(type == kAudioUnitEvent_BeginParameterChangeGesture ? "beginGestureForAllParams"
                                                               : "endGestureForAllParams",
           "[Tarnwick_CocoaView gesture] AUEventListenerNotify()", status);
    }
  }
}

void Tarnwick_CocoaView::beginGestureForAllParams() {
  if (mGestures.begin()) sendGestureEvents(kAudioUnitEvent_BeginParameterChangeGesture);
}

void Tarnwick_CocoaView::endGestureForAllParams() {
  if (mGestures.end()) sendGestureEvents(kAudioUnitEvent_EndParameterChangeGesture);
}

bool Tarnwick_CocoaView::matchesRefCon(const notify::Notification& note) const {
  const uint64_t* refCon = note.get<uint64_t>(names::kRefConKey);
  return refCon && *refCon == mRefCon.load(std::memory_order_relaxed);
}

void Tarnwick_CocoaView::iaUpdateLevelMeters(const notify::Notification& note) {
  if (!matchesRefCon(note)) return;
  const auto* levels = note.get<std::vector<float>>(names::kAnalyzerLevelsKey);
  if (!levels || !uiTarnwickAnalyzerView) return;
  uiTarnwickAnalyzerView->setValuesFromArray(levels->data(), levels->size());
}

void Tarnwick_CocoaView::iaUpdateNotesActive(const notify::Notification& note) {
  if (!matchesRefCon(note)) return;
  const auto* bytes = note.get<std::vector<uint8_t>>(names::kKeysListKey);
  if (!bytes || !uiTarnwickKeyboardView) return;
  uiTarnwickKeyboardView->setState(bytes->data(), bytes->size());
}

void Tarnwick_CocoaView::closeNotification(const notify::Notification& note) {
  if (window() && note.object() == window()) cleanUp();
}

void Tarnwick_CocoaView::cleanUp() {
  if (mCleanedUp) return;
  mCleanedUp = true;
  // Observers first: once removed, no posting thread reaches this view any more.
  for (notify::Center::Token token : mObservers) {
    notify::Center::defaultCenter().removeObserver(token);
  }
  mObservers.clear();
  stopRedrawThread();
  if (mAU) {
    _removeListeners();
    mAU = nullptr;
  }
  mBackground.reset();
  mBackgroundNight.reset();
}

void Tarnwick_CocoaView::startRedrawThread() {
  {
    std::lock_guard<std::mutex> lock(mRedrawMutex);
    mExitBackgroundThread = false;
  }
  mRedrawThread = std::thread([this] {
    std::unique_lock<std::mutex> lock(mRedrawMutex);
    while (!mRedrawWake.wait_for(lock, kRedrawInterval, [this] { return mExitBackgroundThread; })) {
      update();
      ui::Application::shared().wake();
    }
  });
}

void Tarnwick_CocoaView::stopRedrawThread() {
  {
    std::lock_guard<std::mutex> lock(mRedrawMutex);
    mExitBackgroundThread = true;
  }
  mRedrawWake.notify_all();
  if (mRedrawThread.joinable()) mRedrawThread.join();
}

void Tarnwick_CocoaView::update() { setNeedsDisplay(); }

void Tarnwick_CocoaView::drawRect(ui::DrawContext& context, const ui::Rect&) {
  if (mFirstRun) {
    configureUiControls();
    mFirstRun = 0;
  }
  mNightShown = editor_clock::nightFractionForNow();
  const ui::Rect whole = bounds();
  if (mBackground) {
    context.drawImage(*mBackground, ui::Rect(0, 0, mBackground->size().width,
                                             mBackground->size().height),
                      ui::Rect(), ui::CompositeOp::Copy, 1.0);
  }
  if (mBackgroundNight) {
    context.drawImage(*mBackgroundNight, ui::Rect(0, 0, mBackgroundNight->size().width,
                                                  mBackgroundNight->size().height),
                      ui::Rect(), ui::CompositeOp::SourceOver, mNightShown);
  }
  (void)whole;
}

void Tarnwick_CocoaView::mouseDown(const ui::Event& event) {
  ui::View::mouseDown(event);
  if (window()) window()->makeFirstResponder(this);
}
