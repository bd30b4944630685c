// SPDX-License-Identifier: GPL-3.0-or-later
// The one Tarnwick instance of the stand-alone app: loads the component bundle, opens an
// instance through the registry and talks to it only through the audio-unit calls. Speech and
// carrier come from four channel buffers (the JACK ports) through render callbacks.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/au/au_types.h"

namespace standalone {

// Two bus channels read from channel buffers (null: silence) from offset on. With mix set,
// channel 0 is the mean of sources 0 and 1 and channel 1 the mean of sources 2 and 3 (the
// component without a side chain takes its carrier from the main bus's second channel).
struct ChannelFeed {
  const float* sources[4] = {};
  bool mix = false;
  uint32_t offset = 0;

  // [render thread]
  static OSStatus render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* io);
};

class ComponentHost {
 public:
  static constexpr UInt32 kChannels = 2;

  // Opens the component at componentPath (the Tarnwick.component folder) at rate, asking for
  // maxFrames per slice (0: the component's own; it keeps its own when it takes fewer).
  // ok() tells whether that worked, error() why not. Not initialised yet. [main thread]
  ComponentHost(const std::string& componentPath, double rate, UInt32 maxFrames);
  ~ComponentHost();
  ComponentHost(const ComponentHost&) = delete;
  ComponentHost& operator=(const ComponentHost&) = delete;

  bool ok() const { return mUnit != nullptr; }
  const std::string& error() const { return mError; }
  AudioUnit unit() const { return mUnit; }
  bool hasSideChain() const { return mSideChain; }
  UInt32 maxFrames() const { return mMaxFrames; }
  double rate() const { return mRate; }
  bool initialised() const { return mInitialised; }

  // Initialises the component (allocates); false with error() set. [main thread, not while
  // rendering]
  bool initialise();
  // Uninitialises, sets every format to rate and initialises again; parameters and held keys
  // stay. [main thread, not while rendering]
  bool changeRate(double rate);

  // Points the feeds at this cycle's input buffers (null: silence): speech L, R, carrier L, R.
  // [render thread]
  void setInputs(const float* const inputs[4]);
  // Renders frames (at most maxFrames()) into out[0..1] + offset, reading the inputs from
  // offset on; silence and a failed count on error. [render thread]
  void renderPiece(uint32_t offset, uint32_t frames, float* const out[2]);
  // Delivers one channel message (status 0x80 to 0xEF); others are ignored. [render thread]
  void midi(const uint8_t* bytes, uint32_t size);
  // Render calls that failed. [any thread]
  uint64_t failedRenders() const { return mFailedRenders.load(std::memory_order_relaxed); }

  // The component's class-info dictionary written as an XML property list; false with *error
  // set (the previous file stays). [main thread; may run while rendering]
  bool saveState(const std::string& path, std::string* error) const;
  // Restores a state file written by saveState; false with *error set and nothing changed
  // when the file is missing, not a property list or refused. [main thread, not while rendering]
  bool restoreState(const std::string& path, std::string* error);

 private:
  bool setFormats(double rate);

  AudioUnit mUnit = nullptr;
  bool mInitialised = false;
  bool mSideChain = false;
  UInt32 mMaxFrames = 0;
  double mRate = 44100.0;
  std::string mError;
  ChannelFeed mMainFeed, mSideFeed;
  std::vector<float> mStorage;      // two channels of mMaxFrames
  std::vector<uint8_t> mListBytes;  // a two-buffer AudioBufferList
  double mSampleTime = 0.0;
  std::atomic<uint64_t> mFailedRenders{0};
};

}  // namespace standalone
