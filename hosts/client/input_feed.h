// SPDX-License-Identifier: GPL-3.0-or-later
// One input bus of a hosted instance, fed from sample arrays the caller owns, through the
// instance's render callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/au/au_types.h"

namespace host_client {

// Bus channel c reads source c (a bus with more channels than sources reads the last source
// again). A source is a caller-owned array of `length` floats, read from position() on; past
// its end, or for a null source, the channel is silent. With looping set a source wraps around
// instead. With pairs mixed, bus channel c is the mean of sources 2c and 2c + 1 (a component
// without a side chain takes its carrier from the main bus's second channel).
//
// With lending set, a channel whose source holds every frame of the call (no mixed pairs, no
// looping, not past the end) is not copied: render() points that buffer at the source itself, so
// the unit reads the caller's array where it lies. Only for a unit that never writes into its
// input buffers (one that does not process in place).
//
// Ownership: the feed never owns its sources; they must outlive every render that reads them.
// Threads: set the sources and the position while the instance is not rendering (in a plug-in
// host: on the render thread, between render calls); render() runs on the render thread.
class InputFeed {
 public:
  static constexpr size_t kMaxSources = 4;

  InputFeed() = default;
  InputFeed(const InputFeed&) = delete;
  InputFeed& operator=(const InputFeed&) = delete;

  // [not the render thread; or between render calls]
  void setSource(size_t index, const float* samples, size_t length = SIZE_MAX);
  void clearSources();
  void setMixedPairs(bool mixed) { mMixedPairs = mixed; }
  void setLooping(bool looping) { mLooping = looping; }
  void setLending(bool lending) { mLending = lending; }
  void setPosition(size_t frame) { mPosition = frame; }
  size_t position() const { return mPosition; }

  // The render callback: fills every buffer of io with frames samples (or, lending, points it at
  // its source) and advances the position by frames. paramErr for a buffer too small. No
  // allocation, no lock. [render thread]
  static OSStatus render(void* refCon, AudioUnitRenderActionFlags* flags,
                         const AudioTimeStamp* stamp, UInt32 bus, UInt32 frames,
                         AudioBufferList* io);

 private:
  struct Source {
    const float* samples = nullptr;
    size_t length = 0;
  };
  float sample(const Source& source, size_t at) const;
  void fill(UInt32 channel, float* out, UInt32 frames) const;
  // The samples channel reads from the position on when they can be lent; null otherwise.
  const float* lendable(UInt32 channel, UInt32 frames) const;

  Source mSources[kMaxSources];
  size_t mSourceCount = 0;
  size_t mPosition = 0;
  bool mMixedPairs = false;
  bool mLooping = false;
  bool mLending = false;
};

}  // namespace host_client
