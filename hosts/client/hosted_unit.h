// SPDX-License-Identifier: GPL-3.0-or-later
// One instance of a component bundle, opened as any host opens it (Info.plist, dlopen, the
// entry symbol, selector calls) and driven only through the audio-unit calls: formats, input
// feeds, initialisation, rendering in pieces, MIDI, parameters and saved state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hosts/client/input_feed.h"
#include "platform/au/au_types.h"
#include "platform/plist/plist_value.h"

namespace host_client {

// Stops every instance opened from now on in this process from starting its update check
// (no thread, no download, no process); a host that renders offline or runs tests calls it
// before opening instances. The component behaves as before in hosts that do not call it.
// [main thread]
void disableUpdateChecks();

class HostedUnit {
 public:
  // Loads the bundle (once per process; later calls reuse it) and opens its first component.
  // Null with *error set (a sentence for people) on failure. [main thread]
  static std::unique_ptr<HostedUnit> open(const std::string& bundlePath, std::string* error);
  // Uninitialises and closes the instance. [main thread; not while rendering]
  ~HostedUnit();
  HostedUnit(const HostedUnit&) = delete;
  HostedUnit& operator=(const HostedUnit&) = delete;

  AudioUnit unit() const { return mUnit; }

  // The canonical format at rate with `channels` channels on the main input and the output,
  // and on the side-chain input when the instance has one (hasSideChain() tells).
  // [main thread; before initialize]
  bool setFormats(double rate, UInt32 channels, std::string* error);
  bool hasSideChain() const { return mSideChain; }
  // Feeds input bus `bus` from feed (not owned; outlives the instance's renders).
  // [main thread; before initialize]
  bool connect(AudioUnitElement bus, InputFeed* feed, std::string* error);
  // Asks for a maximum block; the instance may refuse (then its own stands). [main thread]
  OSStatus requestMaxFrames(UInt32 frames);
  // The instance's maximum frames per render call; 0 when it cannot be read. [main thread]
  UInt32 maxFrames() const;

  // Initialises the instance and sizes the output storage for maxFrames (allocates).
  // [main thread]
  bool initialize(std::string* error);
  void uninitialize();  // [main thread]
  bool initialized() const { return mInitialized; }

  OSStatus setParameter(AudioUnitParameterID id, float value);  // [any thread]
  // A MIDI channel message delivered before the next render. [any thread]
  OSStatus midi(UInt32 status, UInt32 data1, UInt32 data2);
  // The component's instance reference (its custom property); 0 when it has none. [main thread]
  uint64_t refCon() const;

  // Renders `frames` frames into the caller's `channels` arrays (each at least frames long),
  // in pieces of at most maxFrames, advancing the sample time. On a failed piece that piece
  // and the rest are silence and its status is returned. With an array for each of the unit's
  // channels the unit writes into the arrays directly (the inputs of a piece are pulled before
  // its output is written); otherwise through the client's own storage. No allocation, no lock
  // once initialised. [render thread]
  OSStatus render(UInt32 frames, float* const* out, UInt32 channels);
  double sampleTime() const { return mSampleTime; }

  // The class-info dictionary (saved state). [main thread; not while rendering]
  OSStatus saveState(plist::Value* out) const;
  OSStatus restoreState(const plist::Value& state);
  // The same as a property-list file; false with *error set (missing, malformed, refused).
  bool saveStateFile(const std::string& path, std::string* error) const;
  bool restoreStateFile(const std::string& path, std::string* error);

 private:
  explicit HostedUnit(AudioUnit unit) : mUnit(unit) {}
  OSStatus renderPiece(UInt32 frames, float* const* out, UInt32 channels, UInt32 offset);

  AudioUnit mUnit = nullptr;
  bool mSideChain = false;
  bool mInitialized = false;
  UInt32 mChannels = 2;
  UInt32 mCapacity = 0;            // frames per channel in mStorage
  std::vector<float> mStorage;     // mChannels × mCapacity, handed to the render call
  std::vector<uint8_t> mListBytes; // an AudioBufferList of mChannels buffers
  double mSampleTime = 0.0;
};

}  // namespace host_client
