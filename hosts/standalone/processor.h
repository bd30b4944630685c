// SPDX-License-Identifier: GPL-3.0-or-later
// One audio cycle of the stand-alone app, independent of JACK: delivers each MIDI event at its
// frame by splitting the cycle there, renders any cycle length (the host client renders in
// pieces of the component's maximum, so no buffer size needs a reallocation), and lets the main thread pause
// rendering for a reconfiguration without the render thread ever waiting.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "hosts/standalone/component_host.h"

namespace standalone {

// A MIDI message at a frame of the cycle. Messages longer than three bytes are not kept.
struct MidiEvent {
  uint32_t frame = 0;
  uint32_t size = 0;
  uint8_t bytes[3] = {};
};

class Processor {
 public:
  // The host must outlive the processor and be initialised before process runs. [main thread]
  explicit Processor(ComponentHost& host) : mHost(host) {}
  Processor(const Processor&) = delete;
  Processor& operator=(const Processor&) = delete;

  // Renders frames into out[0..1] (not null) from inputs[0..3] (speech L, R, carrier L, R; null:
  // silence). events are in frame order; frames past the cycle land at its end. While paused the
  // output is silence and the events are dropped. No allocation, no waiting. [render thread]
  void process(uint32_t frames, const float* const inputs[4], float* const out[2],
               const MidiEvent* events, size_t count);

  // Waits until no cycle is in progress, runs change with rendering paused, then resumes;
  // returns what change returned. [main thread]
  bool whilePaused(const std::function<bool()>& change);

  // Waits until no cycle is in progress and renders silence from then on. A JACK client
  // calls it before deactivating: libjack may cancel the process thread on the way out, and the
  // cancellation must not land inside the component. [main thread]
  void stop();

  // Cycles that rendered silence because rendering was paused. [any thread]
  uint64_t pausedCycles() const { return mPausedCycles.load(std::memory_order_relaxed); }

 private:
  enum Gate : int { kOpen, kBusy, kClosed };
  // Closes the gate once no cycle is in progress; false when it was closed already (stopped).
  bool closeGate();

  ComponentHost& mHost;
  std::atomic<int> mGate{kOpen};
  std::atomic<uint64_t> mPausedCycles{0};
};

}  // namespace standalone
