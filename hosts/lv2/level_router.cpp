// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/level_router.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/notify/notification_center.h"
#include "services/notification_names.h"

namespace tarnwick_lv2 {
namespace {

struct Slot {
  std::atomic<uint64_t> refCon{0};  // 0: free
  std::atomic<LevelSink*> sink{nullptr};
};

Slot gSlots[kLevelRouterSlots];
std::mutex gMutex;  // add and remove only
size_t gSinks = 0;
notify::Center::Token gObserver = 0;
notify::Center::Token gKeysObserver = 0;

LevelSink* sinkFor(uint64_t refCon) {
  for (Slot& slot : gSlots) {
    if (slot.refCon.load(std::memory_order_acquire) == refCon) {
      return slot.sink.load(std::memory_order_acquire);
    }
  }
  return nullptr;
}

// [render thread; of the posting instance]
void route(const notify::Notification& n) {
  const uint64_t* refCon = n.get<uint64_t>(tarnwick_notify::kRefConKey);
  const auto* levels = n.get<std::vector<float>>(tarnwick_notify::kAnalyzerLevelsKey);
  if (!refCon || !levels || *refCon == 0) return;
  if (LevelSink* sink = sinkFor(*refCon)) sink->receiveLevels(levels->data(), levels->size());
}

// [any thread; the thread that changed the key list]
void routeKeys(const notify::Notification& n) {
  const uint64_t* refCon = n.get<uint64_t>(tarnwick_notify::kRefConKey);
  const auto* keys = n.get<std::vector<uint8_t>>(tarnwick_notify::kKeysListKey);
  if (!refCon || !keys || *refCon == 0) return;
  if (LevelSink* sink = sinkFor(*refCon)) sink->receiveKeys(keys->data(), keys->size());
}

}  // namespace

bool addLevelSink(uint64_t refCon, LevelSink* sink) {
  if (refCon == 0 || !sink) return false;
  std::lock_guard<std::mutex> hold(gMutex);
  for (Slot& slot : gSlots) {
    if (slot.refCon.load(std::memory_order_relaxed) != 0) continue;
    slot.sink.store(sink, std::memory_order_release);
    slot.refCon.store(refCon, std::memory_order_release);
    if (gSinks++ == 0) {
      gObserver = notify::Center::defaultCenter().addObserver(tarnwick_notify::kSetAnalyzerLevels,
                                                              nullptr, route);
      gKeysObserver = notify::Center::defaultCenter().addObserver(tarnwick_notify::kSetKeysPressed,
                                                                  nullptr, routeKeys);
    }
    return true;
  }
  return false;
}

void removeLevelSink(uint64_t refCon) {
  if (refCon == 0) return;
  std::lock_guard<std::mutex> hold(gMutex);
  for (Slot& slot : gSlots) {
    if (slot.refCon.load(std::memory_order_relaxed) != refCon) continue;
    slot.refCon.store(0, std::memory_order_release);
    slot.sink.store(nullptr, std::memory_order_release);
    // Unregistered while the adapter's code is still loaded: a host may unload it next.
    if (--gSinks == 0) {
      notify::Center::defaultCenter().removeObserver(gObserver);
      notify::Center::defaultCenter().removeObserver(gKeysObserver);
      gObserver = 0;
      gKeysObserver = 0;
    }
    return;
  }
}

}  // namespace tarnwick_lv2
