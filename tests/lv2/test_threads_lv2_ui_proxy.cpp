// SPDX-License-Identifier: GPL-3.0-or-later
// The UI's proxy against a running Tarnwick.lv2, with no editor and no display: a fake editor on
// this thread uses the platform's parameter services and key messages on the proxy, as the
// editor does; the plug-in renders on a thread of its own with a worker thread beside it; the
// two are connected only by what an LV2 host carries (control port values and atom messages).
// Keys and levels arrive, parameters follow both ways, gestures become touches, and the
// pending-default flag is read once and cleared for good.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "hosts/lv2/ui/component_proxy.h"
#include "lv2/lv2_test_host.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/runloop/run_loop.h"
#include "services/notification_names.h"

namespace {

using namespace lv2_test;
using tarnwick_lv2::ComponentProxy;
using Clock = std::chrono::steady_clock;

constexpr AudioUnitPropertyID kRefConProperty = 65536;
constexpr AudioUnitPropertyID kPendingProperty = 65537;

// What an LV2 host carries between a plug-in on its audio thread and a UI on its UI thread.
class Host {
 public:
  explicit Host(Plugin& plugin) : mPlugin(plugin) {
    plugin.setCollectUi(false);
    plugin.uiTap = [this](const LV2_Atom& atom) {
      std::vector<uint8_t> bytes(sizeof atom + atom.size);
      std::memcpy(bytes.data(), &atom, bytes.size());
      std::lock_guard<std::mutex> hold(mMutex);
      mToUi.push_back({tarnwick_lv2::kUiOutPort, std::move(bytes)});
    };
    mAudio = std::thread([this] { audioLoop(); });
    mWorker = std::thread([this] {
      while (!mStop) {
        mPlugin.worker().drain(mPlugin.handle());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~Host() { stop(); }

  // The UI's write_function. [main thread; the host's UI thread]
  ComponentProxy::Link link(std::vector<std::pair<uint32_t, bool>>* touches) {
    ComponentProxy::Link link;
    link.writeControl = [this](uint32_t port, float value) {
      std::lock_guard<std::mutex> hold(mMutex);
      mControlWrites.emplace_back(port, value);
    };
    link.writeMessage = [this](const LV2_Atom& atom) {
      std::vector<uint8_t> bytes(sizeof atom + atom.size);
      std::memcpy(bytes.data(), &atom, bytes.size());
      std::lock_guard<std::mutex> hold(mMutex);
      mMessages.push_back(std::move(bytes));
    };
    link.touch = [touches](uint32_t port, bool grabbed) { touches->emplace_back(port, grabbed); };
    return link;
  }
  // Automation: the host moves a control port and tells the UI. [main thread; the host's UI thread]
  void automate(AudioUnitParameterID id, float value) {
    std::lock_guard<std::mutex> hold(mMutex);
    mControlWrites.emplace_back(kFirstParameterPort + id, value);
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    mToUi.push_back({kFirstParameterPort + id, std::move(bytes)});
  }
  // Hands the queued port events to the proxy. [main thread; the host's UI thread]
  void deliver(ComponentProxy& proxy) {
    std::deque<PortEvent> events;
    {
      std::lock_guard<std::mutex> hold(mMutex);
      events.swap(mToUi);
    }
    for (const PortEvent& e : events) {
      const uint32_t format = e.port == kUiOutPort ? mPlugin.urids().atomEventTransfer : 0;
      proxy.portEvent(e.port, static_cast<uint32_t>(e.bytes.size()), format, e.bytes.data());
    }
  }
  // The control value the plug-in reads, once the audio thread has stopped.
  float controlSeen(AudioUnitParameterID id) { return mPlugin.control(id); }
  void stop() {
    if (mStop.exchange(true)) return;
    mAudio.join();
    mWorker.join();
  }

 private:
  struct PortEvent {
    uint32_t port;
    std::vector<uint8_t> bytes;
  };
  void audioLoop() {
    size_t position = 0;
    while (!mStop) {
      {
        std::lock_guard<std::mutex> hold(mMutex);
        for (auto [port, value] : mControlWrites) mPlugin.control(port - kFirstParameterPort) = value;
        mControlWrites.clear();
        for (const auto& bytes : mMessages) {
          mPlugin.sendUiAtom(*reinterpret_cast<const LV2_Atom*>(bytes.data()));
        }
        mMessages.clear();
      }
      mPlugin.render(256, 256, [](uint32_t p, size_t n) {
        return p < 2 ? speechAt(n, 44100.0) : sawAt(n, 44100.0);
      }, nullptr, nullptr, &position);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }

  Plugin& mPlugin;
  std::mutex mMutex;
  std::vector<std::pair<uint32_t, float>> mControlWrites;
  std::vector<std::vector<uint8_t>> mMessages;
  std::deque<PortEvent> mToUi;
  std::atomic<bool> mStop{false};
  std::thread mAudio, mWorker;
};

// The fake editor's view of its unit: what the listeners and notifications told it.
struct EditorSide {
  uint64_t refCon = 0;
  std::vector<std::pair<AudioUnitParameterID, float>> values;
  std::vector<float> keys;  // the last list, held notes only
  int keyPosts = 0;
  int levelPosts = 0;
  float loudest = 0.0f;
};

std::string componentBundle() {
  return std::string(TARNWICK_LV2_BUNDLE_DIR) + "/Tarnwick.component";
}

// Turns the UI thread (host port events, this loop's timers, the proxy's idle) until done().
bool turnUntil(Host& host, ComponentProxy& proxy, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    host.deliver(proxy);
    runloop::RunLoop::current().runOnce();
    proxy.idle();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(Lv2UiProxy, AFakeEditorDrivesThePluginThroughPortsAndAtomsOnly) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  Host host(plugin);
  std::vector<std::pair<uint32_t, bool>> touches;
  std::string error;
  auto proxy = ComponentProxy::open(plugin.map().feature(), host.link(&touches), componentBundle(),
                                    &error);
  ASSERT_TRUE(proxy) << error;
  const AudioUnit unit = proxy->unit();

  // setAU: the refcon, then the pending-default byte (as the plug-in reported it).
  EditorSide editor;
  UInt32 size = sizeof editor.refCon;
  ASSERT_EQ(AudioUnitGetProperty(unit, kRefConProperty, kAudioUnitScope_Global, 0, &editor.refCon,
                                 &size), noErr);
  EXPECT_EQ(editor.refCon, proxy->refCon());
  ASSERT_TRUE(turnUntil(host, *proxy, [&] { return proxy->pendingKnown(); }));
  uint64_t address = 0;
  size = sizeof address;
  ASSERT_EQ(AudioUnitGetProperty(unit, kPendingProperty, kAudioUnitScope_Global, 0, &address,
                                 &size), noErr);
  auto* pending = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address));
  ASSERT_NE(pending, nullptr);
  EXPECT_EQ(*pending, 1);  // a fresh instance: the editor applies its selected preset
  *pending = 0;

  // Listeners as the editor creates them, and its notification observers.
  AUParameterListenerRef listener = nullptr;
  ASSERT_EQ(AUListenerCreate(
                [](void* data, void*, const AudioUnitParameter* p, AudioUnitParameterValue v) {
                  static_cast<EditorSide*>(data)->values.emplace_back(p->mParameterID, v);
                },
                &editor, runloop::RunLoop::currentShared(), 0.0f, &listener),
            noErr);
  AudioUnitParameter parameters[kParameterCount];
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    parameters[id] = {unit, id, kAudioUnitScope_Global, 0};
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &parameters[id]), noErr);
  }
  notify::Center& center = notify::Center::defaultCenter();
  const auto keysToken = center.addObserver(tarnwick_notify::kSetKeysPressed, nullptr,
                                            [&](const notify::Notification& n) {
    const uint64_t* from = n.get<uint64_t>(tarnwick_notify::kRefConKey);
    const auto* list = n.get<std::vector<uint8_t>>(tarnwick_notify::kKeysListKey);
    if (!from || *from != editor.refCon || !list) return;  // the real component's posts too
    ++editor.keyPosts;
    editor.keys.clear();
    for (size_t i = 0; i + 4 <= list->size(); i += 4) {
      float key;
      std::memcpy(&key, list->data() + i, sizeof key);
      if (key >= 27.0f) editor.keys.push_back(key);
    }
    std::sort(editor.keys.begin(), editor.keys.end());
  });
  const auto levelsToken = center.addObserver(tarnwick_notify::kSetAnalyzerLevels, nullptr,
                                              [&](const notify::Notification& n) {
    const uint64_t* from = n.get<uint64_t>(tarnwick_notify::kRefConKey);
    const auto* levels = n.get<std::vector<float>>(tarnwick_notify::kAnalyzerLevelsKey);
    if (!from || *from != editor.refCon || !levels) return;
    ++editor.levelPosts;
    EXPECT_EQ(levels->size(), static_cast<size_t>(kLevelBands));
    for (float level : *levels) editor.loudest = std::max(editor.loudest, level);
  });

  // Key messages stamped with the proxy's refcon play the plug-in; a foreign refcon does not.
  const auto postKey = [&](const char* name, uint64_t refCon, uint64_t note) {
    notify::UserInfo info;
    info[tarnwick_notify::kRefConKey] = refCon;
    info[tarnwick_notify::kKeysNumberKey] = note;
    center.post(name, &editor, info);
  };
  postKey(tarnwick_notify::kKeyOnMsg, editor.refCon, 60);
  postKey(tarnwick_notify::kKeyOnMsg, editor.refCon + 8, 61);
  postKey(tarnwick_notify::kKeyOnMsg, editor.refCon, 67);
  EXPECT_TRUE(turnUntil(host, *proxy, [&] { return editor.keys == std::vector<float>{60, 67}; }));
  postKey(tarnwick_notify::kKeyOffMsg, editor.refCon, 60);
  EXPECT_TRUE(turnUntil(host, *proxy, [&] { return editor.keys == std::vector<float>{67}; }));
  center.post(tarnwick_notify::kAllKeysOffMsg, &editor,
              notify::UserInfo{{tarnwick_notify::kRefConKey, editor.refCon}});
  EXPECT_TRUE(turnUntil(host, *proxy, [&] { return editor.keys.empty(); }));

  // Levels arrive about 16 times a second and move.
  EXPECT_TRUE(turnUntil(host, *proxy, [&] { return editor.levelPosts >= 8; }));
  EXPECT_GT(editor.loudest, 0.0f);

  // Editor -> plug-in: AUParameterSet writes the control port, inside a gesture -> touch.
  AudioUnitEvent gesture{};
  gesture.mEventType = kAudioUnitEvent_BeginParameterChangeGesture;
  gesture.mArgument.mParameter = parameters[kParamSoundMode];
  ASSERT_EQ(AUEventListenerNotify(listener, &editor, &gesture), noErr);
  ASSERT_EQ(AUParameterSet(listener, &editor, &parameters[kParamSoundMode], 5.0f, 0), noErr);
  gesture.mEventType = kAudioUnitEvent_EndParameterChangeGesture;
  ASSERT_EQ(AUEventListenerNotify(listener, &editor, &gesture), noErr);
  EXPECT_TRUE(turnUntil(host, *proxy, [&] { return touches.size() >= 2; }));
  const uint32_t soundModePort = uint32_t(kFirstParameterPort) + kParamSoundMode;
  EXPECT_EQ(touches, (std::vector<std::pair<uint32_t, bool>>{{soundModePort, true},
                                                             {soundModePort, false}}));
  AudioUnitParameterValue value = -1.0f;
  ASSERT_EQ(AudioUnitGetParameter(unit, kParamSoundMode, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, 5.0f);

  // Plug-in -> editor: the host automates a port; the editor's listener moves the control.
  editor.values.clear();
  host.automate(kParamReverbAmt, 0.25f);
  EXPECT_TRUE(turnUntil(host, *proxy, [&] {
    return std::find(editor.values.begin(), editor.values.end(),
                     std::make_pair(AudioUnitParameterID(kParamReverbAmt), 0.25f)) != editor.values.end();
  }));
  ASSERT_EQ(AudioUnitGetParameter(unit, kParamReverbAmt, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, 0.25f);

  // The flag the first editor cleared stays clear for the next UI.
  std::vector<std::pair<uint32_t, bool>> otherTouches;
  auto second = ComponentProxy::open(plugin.map().feature(), host.link(&otherTouches),
                                     componentBundle(), &error);
  ASSERT_TRUE(second) << error;
  ASSERT_TRUE(turnUntil(host, *second, [&] { return second->pendingKnown(); }));
  size = sizeof address;
  ASSERT_EQ(AudioUnitGetProperty(second->unit(), kPendingProperty, kAudioUnitScope_Global, 0,
                                 &address, &size), noErr);
  EXPECT_EQ(*reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address)), 0);

  center.removeObserver(keysToken);
  center.removeObserver(levelsToken);
  EXPECT_EQ(AUListenerDispose(listener), noErr);
  host.stop();
  EXPECT_EQ(host.controlSeen(kParamSoundMode), 5.0f);  // the port the plug-in reads
}

// The proxy answers what the editor asks and refuses what it cannot do.
TEST(Lv2UiProxy, PropertiesAndRefusals) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  std::vector<std::pair<uint32_t, bool>> touches;
  Host host(plugin);
  std::string error;
  EXPECT_EQ(ComponentProxy::open(plugin.map().feature(), host.link(&touches), "/nonexistent",
                                 &error), nullptr);
  EXPECT_NE(error.find("no component bundle"), std::string::npos);
  auto proxy = ComponentProxy::open(plugin.map().feature(), host.link(&touches), componentBundle(),
                                    &error);
  ASSERT_TRUE(proxy) << error;
  const AudioUnit unit = proxy->unit();

  AudioUnitCocoaViewInfo info{};
  UInt32 size = sizeof info;
  if (AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info,
                           &size) == noErr) {
    EXPECT_NE(std::string(info.mCocoaAUViewBundleLocation).find("Tarnwick_CocoaViewFactory.bundle"),
              std::string::npos);
    EXPECT_STREQ(info.mCocoaAUViewClass[0], "Tarnwick_CocoaViewFactory");
    std::free(info.mCocoaAUViewBundleLocation);
  }  // a build without the editor bundle has no property 31
  uint64_t small = 0;
  size = 4;
  EXPECT_NE(AudioUnitGetProperty(unit, kRefConProperty, kAudioUnitScope_Global, 0, &small, &size),
            noErr);
  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitGetParameter(unit, kParameterCount, kAudioUnitScope_Global, 0, &value),
            kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitSetParameter(unit, 0, kAudioUnitScope_Input, 0, 1.0f, 0),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(AudioUnitGetParameter(unit, kParamSoundMode, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, parameterDescription(kParamSoundMode).defaultValue);
  EXPECT_NE(AudioUnitRender(unit, nullptr, nullptr, 0, 64, nullptr), noErr);
}

}  // namespace
