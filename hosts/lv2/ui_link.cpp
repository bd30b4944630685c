// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/ui_link.h"

#include <algorithm>
#include <cstring>

#include "component/parameter_table.h"
#include "hosts/client/hosted_unit.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/notify/notification_center.h"
#include "services/notification_names.h"

namespace tarnwick_lv2 {

void UiLink::setUp(LV2_URID_Map* map, const LV2_Worker_Schedule* worker,
                   host_client::HostedUnit* unit, uint64_t refCon, uint8_t* pendingFlag) {
  mEnabled = map != nullptr && unit != nullptr;
  if (!mEnabled) return;
  mUrids.map(map);
  lv2_atom_forge_init(&mForge, map);
  mWorker = worker;
  mUnit = unit;
  mRefCon = refCon;
  mPendingFlag = pendingFlag;
}

void UiLink::receiveKeys(const uint8_t* bytes, size_t size) {
  uint32_t words[kKeyListSlots] = {};
  std::memcpy(words, bytes, std::min(size, sizeof words));
  mKeys.publish(words, kKeyListSlots);
}

void UiLink::receiveLevels(const float* levels, size_t count) {
  std::copy(levels, levels + std::min<size_t>(count, kLevelBands), mLevels.begin());
  mLevelsFresh = true;
}

void UiLink::keyCommand(LV2_URID kind, int note) {
  if (mWorker) {
    const KeyWork work{kind, note};
    if (mWorker->schedule_work(mWorker->handle, sizeof work, &work) == LV2_WORKER_SUCCESS) return;
  }
  // No worker, or its queue is full: the component's MIDI input does the same to the key list.
  if (kind == mUrids.keyOn) {
    mUnit->midi(0x90, static_cast<UInt32>(note), 127);
  } else if (kind == mUrids.keyOff) {
    mUnit->midi(0x80, static_cast<UInt32>(note), 0);
  } else {
    uint32_t words[kKeyListSlots];
    size_t count = 0;
    if (!mKeys.read(words, count)) return;
    for (size_t i = 0; i < count; ++i) {
      float key;
      std::memcpy(&key, &words[i], sizeof key);
      if (key >= 27.0f && key <= 127.0f) mUnit->midi(0x80, static_cast<UInt32>(key), 0);
    }
  }
}

void UiLink::readCommands() {
  if (!mEnabled || !mIn || mIn->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  LV2_ATOM_SEQUENCE_FOREACH(mIn, event) {
    const uint8_t* end = reinterpret_cast<const uint8_t*>(&mIn->body) + mIn->atom.size;
    const auto* body = reinterpret_cast<const uint8_t*>(&event->body);
    if (body + sizeof(LV2_Atom) > end) break;
    const UiMessage message =
        parseUiMessage(&event->body, static_cast<uint32_t>(end - body), mUrids);
    if (message.kind == 0) continue;
    if (message.kind == mUrids.hello) {
      mHelloPending = true;
    } else if (message.kind == mUrids.clearPendingDefault) {
      if (mPendingFlag) *mPendingFlag = 0;
    } else if (message.kind == mUrids.keyOn || message.kind == mUrids.keyOff ||
               message.kind == mUrids.allKeysOff) {
      keyCommand(message.kind, message.note);
    }
  }
}

void UiLink::writeMessages() {
  if (!mEnabled || !mOut) return;
  const uint32_t capacity = mOut->atom.size;  // set by the host before run
  lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mOut),
                            capacity + sizeof(LV2_Atom));
  LV2_Atom_Forge_Frame sequence;
  if (!lv2_atom_forge_sequence_head(&mForge, &sequence, 0)) return;
  // The largest message with its event header is well under this; a message is only begun when
  // it fits whole, so the sequence never holds a cut-off object.
  constexpr uint32_t kMessageBound = 512;
  const auto fits = [this] { return mForge.size - mForge.offset >= kMessageBound; };
  const uint64_t keysVersion = mKeys.version();
  if (fits() && (keysVersion != mKeysSent || mHelloPending)) {
    uint32_t words[kKeyListSlots] = {};
    size_t count = 0;
    if (mKeys.read(words, count)) {
      float keys[kKeyListSlots] = {};
      std::memcpy(keys, words, count * sizeof(float));
      lv2_atom_forge_frame_time(&mForge, 0);
      forgeUiFloats(&mForge, mUrids, mUrids.keys, keys, kKeyListSlots);
      mKeysSent = keysVersion;
    }
  }
  if (fits() && mHelloPending) {
    // The values the component holds, for hosts that do not tell a new UI the port values.
    float values[kParameterCount];
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      AudioUnitParameterValue value = 0;
      AudioUnitGetParameter(mUnit->unit(), id, kAudioUnitScope_Global, 0, &value);
      values[id] = value;
    }
    lv2_atom_forge_frame_time(&mForge, 0);
    forgeUiFloats(&mForge, mUrids, mUrids.parameters, values, kParameterCount);
  }
  if (fits() && mHelloPending) {
    lv2_atom_forge_frame_time(&mForge, 0);
    forgeUiPending(&mForge, mUrids, mPendingFlag && *mPendingFlag != 0);
    mHelloPending = false;
  }
  if (fits() && mLevelsFresh) {
    lv2_atom_forge_frame_time(&mForge, 0);
    forgeUiFloats(&mForge, mUrids, mUrids.levels, mLevels.data(), kLevelBands);
    mLevelsFresh = false;
  }
  // What did not fit goes out with the next block.
  lv2_atom_forge_pop(&mForge, &sequence);
}

LV2_Worker_Status UiLink::work(const void* data, uint32_t size) {
  if (!mEnabled || size != sizeof(KeyWork)) return LV2_WORKER_ERR_UNKNOWN;
  KeyWork work;
  std::memcpy(&work, data, sizeof work);
  notify::UserInfo info;
  info[tarnwick_notify::kRefConKey] = mRefCon;
  const char* name = tarnwick_notify::kAllKeysOffMsg;
  if (work.kind == mUrids.keyOn || work.kind == mUrids.keyOff) {
    info[tarnwick_notify::kKeysNumberKey] = static_cast<uint64_t>(work.note);
    name = work.kind == mUrids.keyOn ? tarnwick_notify::kKeyOnMsg : tarnwick_notify::kKeyOffMsg;
  } else if (work.kind != mUrids.allKeysOff) {
    return LV2_WORKER_ERR_UNKNOWN;
  }
  notify::Center::defaultCenter().post(name, this, info);
  return LV2_WORKER_SUCCESS;
}

}  // namespace tarnwick_lv2
