// SPDX-License-Identifier: GPL-3.0-or-later
// Routes the component's analyser-level and held-key posts to the adapter instance they belong
// to through one observer per name for every instance in the process: the notification centre
// delivers to at most Center::kInlineMatches matching observers without allocating, and a level
// post (on the render thread) matches every level observer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick_lv2 {

// Receives the levels of its instance. [render thread; of that instance]
class LevelSink {
 public:
  virtual void receiveLevels(const float* levels, size_t count) = 0;
  // Receives the held-key list of its instance (native floats). [any thread; the posting thread]
  virtual void receiveKeys(const uint8_t* bytes, size_t size) = 0;

 protected:
  ~LevelSink() = default;
};

// Slots for this many instances; further instances get no levels.
inline constexpr size_t kLevelRouterSlots = 256;

// Routes the posts carrying refCon to sink until removeLevelSink(refCon). False when every
// slot is taken. [main thread]
bool addLevelSink(uint64_t refCon, LevelSink* sink);
// Stops the routing; the last removal unregisters the observer. Must not run while the
// instance renders. [main thread]
void removeLevelSink(uint64_t refCon);

}  // namespace tarnwick_lv2
