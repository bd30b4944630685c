// SPDX-License-Identifier: GPL-3.0-or-later
// The probe plug-in behind lv2_run_bench's test: main_out = gain × main_in, side_out = side_in,
// and control outputs that report what the host delivered (note-ons seen since instantiation,
// the maximum block length from the options feature, the longest run() call). Real-time safe.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

enum Port : uint32_t {
  kSideIn,
  kMainIn,
  kMainOut,
  kSideOut,
  kEvents,
  kGain,
  kNoteOns,
  kMaxBlock,
  kLongestRun,
  kPortCount
};

struct Probe {
  void* ports[kPortCount] = {};  // as connected by the host
  LV2_URID midiEvent = 0;
  float noteOns = 0.0f;
  float maxBlock = 0.0f;
  float longestRun = 0.0f;
};

LV2_Handle instantiate(const LV2_Descriptor*, double, const char*,
                       const LV2_Feature* const* features) {
  const LV2_URID_Map* map = nullptr;
  const LV2_Options_Option* options = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    if (!std::strcmp(features[i]->URI, LV2_URID__map))
      map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (!std::strcmp(features[i]->URI, LV2_OPTIONS__options)) {
      options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
  }
  if (!map || !options) return nullptr;  // both are required features
  auto* probe = new (std::nothrow) Probe;
  if (!probe) return nullptr;
  probe->midiEvent = map->map(map->handle, LV2_MIDI__MidiEvent);
  const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
  for (const LV2_Options_Option* o = options; o->key; ++o) {
    if (o->key == maxKey && o->type == intType)
      probe->maxBlock = *static_cast<const int32_t*>(o->value);
  }
  return probe;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  if (port < kPortCount) static_cast<Probe*>(handle)->ports[port] = data;
}

void run(LV2_Handle handle, uint32_t frames) {
  Probe& p = *static_cast<Probe*>(handle);
  const float gain = *static_cast<const float*>(p.ports[kGain]);
  const auto* main = static_cast<const float*>(p.ports[kMainIn]);
  const auto* side = static_cast<const float*>(p.ports[kSideIn]);
  auto* mainOut = static_cast<float*>(p.ports[kMainOut]);
  auto* sideOut = static_cast<float*>(p.ports[kSideOut]);
  for (uint32_t i = 0; i < frames; ++i) mainOut[i] = gain * main[i];
  std::copy_n(side, frames, sideOut);
  const auto* events = static_cast<const LV2_Atom_Sequence*>(p.ports[kEvents]);
  LV2_ATOM_SEQUENCE_FOREACH(events, ev) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(ev + 1);
    if (ev->body.type == p.midiEvent && ev->body.size == 3 &&
        lv2_midi_message_type(bytes) == LV2_MIDI_MSG_NOTE_ON && bytes[2] > 0) {
      p.noteOns += 1.0f;
    }
  }
  p.longestRun = std::max(p.longestRun, static_cast<float>(frames));
  *static_cast<float*>(p.ports[kNoteOns]) = p.noteOns;
  *static_cast<float*>(p.ports[kMaxBlock]) = p.maxBlock;
  *static_cast<float*>(p.ports[kLongestRun]) = p.longestRun;
}

void cleanup(LV2_Handle handle) {
  delete static_cast<Probe*>(handle);
}

const LV2_Descriptor kDescriptor = {
    "urn:tarnwick:lv2-probe", instantiate, connectPort, nullptr, run, nullptr, cleanup, nullptr};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
