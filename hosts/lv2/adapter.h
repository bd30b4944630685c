// SPDX-License-Identifier: GPL-3.0-or-later
// One Tarnwick.lv2 instance: an open instance of the Tarnwick component, reached only through
// the audio-unit calls, fed from the LV2 port buffers through render callbacks.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "hosts/client/host_client.h"
#include "hosts/lv2/level_router.h"
#include "hosts/lv2/lv2_ports.h"
#include "hosts/lv2/ui_link.h"
#include "platform/au/au_types.h"
#include "platform/plist/plist_value.h"

namespace tarnwick_lv2 {

class Adapter final : private LevelSink {
 public:
  struct Settings {
    double rate = 44100.0;
    std::string componentPath;   // the Tarnwick.component folder
    UInt32 maxBlock = 0;         // the host's maximum block length; 0: unknown
    LV2_URID midiEventUrid = 0;  // 0: no urid:map, the MIDI port is ignored
    LV2_URID_Map* map = nullptr;                // null: the UI ports are ignored
    const LV2_Worker_Schedule* worker = nullptr;  // null: UI key commands go in as MIDI
  };

  // Opens the component; ok() tells whether that worked, error() why not. [main thread]
  explicit Adapter(const Settings& settings);
  ~Adapter();
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  bool ok() const { return mHosted != nullptr; }
  const std::string& error() const { return mError; }

  // [render thread; not concurrently with run]
  void connect(uint32_t port, void* data);
  // Initialises the component (allocates). [not the render thread; the instantiation thread]
  bool activate();
  void deactivate();

  // Sends changed parameters, delivers MIDI at its frames and renders. Allocation-free once
  // the first block has run. [render thread]
  void run(uint32_t frames);

  // The component's class-info dictionary as an XML property list; empty on failure.
  // [main thread; not concurrently with run]
  plist::Data saveState() const;
  // Restores a state saved by saveState; false (nothing changed) when the bytes are not a
  // property list or the component refuses them. [main thread; not concurrently with run]
  bool restoreState(const uint8_t* bytes, size_t length);

  bool hasSideChain() const { return mSideChain; }
  UInt32 maxFrames() const { return mMaxFrames; }
  // Render calls that failed (their output is silence). [any thread]
  uint64_t failedRenders() const { return mFailedRenders; }

  // Posts a key message the UI sent. [not the render thread; the host's worker thread]
  LV2_Worker_Status work(const void* data, uint32_t size) { return mUi.work(data, size); }

 private:
  void sendChangedParameters();
  void followEnabledPort();
  void deliverMidi(const LV2_Atom_Event*& next, const LV2_Atom_Event* end, uint32_t upTo, bool all);
  void renderPiece(uint32_t offset, uint32_t frames);
  // Lends the input ports to the component for this block unless one overlaps an output port
  // (a host may run the plug-in in place). [render thread]
  void chooseInputLending(uint32_t frames);
  void receiveLevels(const float* levels, size_t count) override;  // [render thread]
  void receiveKeys(const uint8_t* bytes, size_t size) override;     // [any thread]

  std::unique_ptr<host_client::HostedUnit> mHosted;
  bool mSideChain = false;
  UInt32 mMaxFrames = 0;
  double mRate = 44100.0;
  LV2_URID mMidiEvent = 0;
  uint64_t mRefCon = 0;
  std::string mError;

  const float* mAudioIn[4] = {};
  float* mAudioOut[2] = {};
  const LV2_Atom_Sequence* mMidiIn = nullptr;
  const float* mControls[kParameterCount] = {};
  float* mLatency = nullptr;
  float* mLevelPorts[kBandCount] = {};
  const float* mEnabled = nullptr;  // null: always enabled
  bool mBypassed = false;           // the component's bypass property as last set

  float mSent[kParameterCount] = {};
  bool mSentValid[kParameterCount] = {};
  host_client::InputFeed mMainFeed, mSideFeed;
  bool mMixedMain = false;  // no side chain: the main feed mixes the pairs
  bool mMayLend = false;    // the component reads its inputs without writing them
  uint64_t mFailedRenders = 0;

  std::array<float, kBandCount> mLevels{};  // last levels posted by the component
  bool mLevelsRouted = false;
  UiLink mUi;
};

}  // namespace tarnwick_lv2
