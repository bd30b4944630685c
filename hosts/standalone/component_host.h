// SPDX-License-Identifier: GPL-3.0-or-later
// The one Tarnwick instance of the stand-alone app, opened through the host client
// (hosts/client): speech and carrier come from the four JACK input buffers of the cycle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "hosts/client/host_client.h"
#include "platform/plist/plist_value.h"

namespace standalone {

class ComponentHost {
 public:
  static constexpr UInt32 kChannels = 2;

  // Opens the component at componentPath (the Tarnwick.component folder) at rate, asking for
  // maxFrames per slice (0: the component's own; it keeps its own when it takes fewer).
  // ok() tells whether that worked, error() why not. Not initialised yet. [main thread]
  ComponentHost(const std::string& componentPath, double rate, UInt32 maxFrames);
  ComponentHost(const ComponentHost&) = delete;
  ComponentHost& operator=(const ComponentHost&) = delete;

  bool ok() const { return mUnit != nullptr; }
  const std::string& error() const { return mError; }
  AudioUnit unit() const { return mUnit ? mUnit->unit() : nullptr; }
  bool hasSideChain() const { return mUnit && mUnit->hasSideChain(); }
  double rate() const { return mRate; }
  // The component's maximum frames per render call. [main thread]
  UInt32 maxFrames() const { return mUnit ? mUnit->maxFrames() : 0; }

  // Initialises the component (allocates); false with error() set. [main thread, not while
  // rendering]
  bool initialise();
  // Uninitialises, sets every format to rate and initialises again; parameters and held keys
  // stay. [main thread; not while rendering]
  bool changeRate(double rate);

  // Points the feeds at this cycle's input buffers of frames samples (null: silence): speech
  // L, R, carrier L, R. [render thread; between renders]
  void setInputs(const float* const inputs[4], uint32_t frames);
  // Renders the next frames of the cycle into out[0..1] + offset (any length: the client
  // renders in pieces of the component's maximum); silence and a failed count on error.
  // [render thread]
  void render(uint32_t offset, uint32_t frames, float* const out[2]);
  // Delivers one channel message (status 0x80 to 0xEF); others are ignored. [render thread]
  void midi(const uint8_t* bytes, uint32_t size);
  // Render calls that failed. [any thread]
  uint64_t failedRenders() const { return mFailedRenders.load(std::memory_order_relaxed); }

  // The component's class-info dictionary; false with *error set. [main thread, not while
  // rendering]
  bool copyState(plist::Value* state, std::string* error) const;
  // Restores a state file written from copyState; false with *error set and nothing changed
  // when the file is missing, not a property list or refused. [main thread; not while rendering]
  bool restoreState(const std::string& path, std::string* error);

 private:
  std::unique_ptr<host_client::HostedUnit> mUnit;
  host_client::InputFeed mMainFeed, mSideFeed;
  double mRate = 44100.0;
  std::string mError;
  std::atomic<uint64_t> mFailedRenders{0};
};

// Writes a state as an XML property list (atomically: the previous file stays on failure);
// false with *error set. [not the render thread]
bool writeStateFile(const std::string& path, const plist::Value& state, std::string* error);

}  // namespace standalone
