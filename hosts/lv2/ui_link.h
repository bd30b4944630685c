// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's half of the UI messages (ui_protocol.h): reads the UI's commands from the UI
// input port and answers on the UI output port, through the component the adapter hosts.
//
// Key commands become the editor's key messages, posted with the instance's own reference on
// the host's worker thread (the manager's key handlers lock, so they never run on the render
// thread). Without the worker feature they reach the component as MIDI notes on channel 1
// instead (a MIDI channel preference then filters them). The component's key-list posts (from
// any thread) and level posts (from the render thread) are sent to the UI from run().
#pragma once

#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "editor/logic/latest_values.h"
#include "hosts/lv2/ui_protocol.h"

namespace host_client {
class HostedUnit;
}

namespace tarnwick_lv2 {

class UiLink {
 public:
  // map null: the link stays off (both ports are ignored). worker may be null. pendingFlag:
  // the component's pending-default byte (property 65537), may be null.
  // [not the render thread; the instantiation thread]
  void setUp(LV2_URID_Map* map, const LV2_Worker_Schedule* worker, host_client::HostedUnit* unit,
             uint64_t refCon, uint8_t* pendingFlag);
  bool enabled() const { return mEnabled; }

  // [render thread; not concurrently with run]
  void connectIn(const void* data) { mIn = static_cast<const LV2_Atom_Sequence*>(data); }
  void connectOut(void* data) { mOut = static_cast<LV2_Atom_Sequence*>(data); }

  // The component's held-key list (bytes of native floats). [any thread]
  void receiveKeys(const uint8_t* bytes, size_t size);
  // The component's levels, as its render path posts them. [render thread]
  void receiveLevels(const float* levels, size_t count);

  // Reads the UI's commands of this block. [render thread; no allocation, no waiting]
  void readCommands();
  // Writes this block's messages to the UI (the port always holds a valid sequence).
  // [render thread; no allocation, no waiting]
  void writeMessages();

  // Posts one key message scheduled by readCommands. [not the render thread; the host's worker thread]
  LV2_Worker_Status work(const void* data, uint32_t size);

 private:
  struct KeyWork {
    uint32_t kind;  // the command's URID
    int32_t note;
  };
  void keyCommand(LV2_URID kind, int note);

  bool mEnabled = false;
  UiUrids mUrids;
  LV2_Atom_Forge mForge{};
  const LV2_Worker_Schedule* mWorker = nullptr;
  host_client::HostedUnit* mUnit = nullptr;
  uint64_t mRefCon = 0;
  uint8_t* mPendingFlag = nullptr;

  const LV2_Atom_Sequence* mIn = nullptr;
  LV2_Atom_Sequence* mOut = nullptr;

  LatestValues<kKeyListSlots> mKeys;
  uint64_t mKeysSent = 0;  // the version of mKeys last sent
  std::array<float, kLevelBands> mLevels{};
  bool mLevelsFresh = false;
  bool mHelloPending = false;  // a UI attached: send the key list and the flag
};

}  // namespace tarnwick_lv2
