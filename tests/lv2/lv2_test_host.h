// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal LV2 host for the adapter tests: dlopens <build>/Tarnwick.lv2/tarnwick_lv2.so, maps
// URIDs, owns every port buffer and builds the MIDI atom sequence. Preferences live under the
// private HOME of tarnwick_host.h.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "hosts/lv2/lv2_ports.h"
#include "hosts/lv2/ui_protocol.h"
#include "support/tarnwick_host.h"

namespace lv2_test {

using namespace tarnwick_lv2;

class UridMap {
 public:
  LV2_URID map(const char* uri) {
    auto found = mIds.find(uri);
    if (found != mIds.end()) return found->second;
    const LV2_URID id = static_cast<LV2_URID>(mIds.size() + 1);
    mIds.emplace(uri, id);
    return id;
  }
  LV2_URID_Map* feature() { return &mMap; }

 private:
  static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->map(uri);
  }
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap{this, &UridMap::mapUri};
};

// The adapter's descriptor, loaded once per process.
inline const LV2_Descriptor* descriptor() {
  static const LV2_Descriptor* d = [] {
    const std::string path = std::string(TARNWICK_LV2_BUNDLE_DIR) + "/" + kBinaryName;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    if (!library) return static_cast<const LV2_Descriptor*>(nullptr);
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    EXPECT_NE(entry, nullptr);
    return entry ? entry(0) : nullptr;
  }();
  return d;
}

// The worker feature as hosts give it: schedule_work copies the request into a lock-free ring
// (no allocation, no lock, as the render thread needs); drain() runs the plug-in's work() for
// each request on the calling thread, the "worker thread".
class TestWorker {
 public:
  LV2_Worker_Schedule* feature() { return &mSchedule; }
  size_t drain(LV2_Handle handle) {
    const auto* worker = static_cast<const LV2_Worker_Interface*>(
        descriptor()->extension_data(LV2_WORKER__interface));
    size_t done = 0;
    for (size_t tail = mTail.load(std::memory_order_relaxed);
         tail != mHead.load(std::memory_order_acquire); ++done) {
      const Item& item = mItems[tail % kSlots];
      if (worker) worker->work(handle, nullptr, nullptr, item.size, item.data);
      mTail.store(++tail, std::memory_order_release);
    }
    return done;
  }

 private:
  static constexpr size_t kSlots = 64;
  struct Item {
    uint32_t size;
    alignas(8) uint8_t data[64];
  };
  static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                    const void* data) {
    auto* self = static_cast<TestWorker*>(handle);
    const size_t head = self->mHead.load(std::memory_order_relaxed);
    if (size > sizeof(Item::data) ||
        head - self->mTail.load(std::memory_order_acquire) >= kSlots) {
      return LV2_WORKER_ERR_NO_SPACE;
    }
    Item& item = self->mItems[head % kSlots];
    item.size = size;
    std::memcpy(item.data, data, size);
    self->mHead.store(head + 1, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
  }
  std::array<Item, kSlots> mItems{};
  std::atomic<size_t> mHead{0}, mTail{0};
  LV2_Worker_Schedule mSchedule{this, &TestWorker::schedule};
};

// One message the plug-in sent on its UI port, copied out of the port buffer.
struct UiReceived {
  LV2_URID kind = 0;
  std::vector<float> values;
  bool pending = false;
};

// The key/value store of one saved state.
struct StateStore {
  struct Entry {
    std::vector<uint8_t> bytes;
    uint32_t type;
    uint32_t flags;
  };
  std::map<uint32_t, Entry> entries;

  static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                size_t size, uint32_t type, uint32_t flags) {
    auto* self = static_cast<StateStore*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(value);
    self->entries[key] = {std::vector<uint8_t>(bytes, bytes + size), type, flags};
    return LV2_STATE_SUCCESS;
  }
  static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) {
    auto* self = static_cast<StateStore*>(handle);
    auto found = self->entries.find(key);
    if (found == self->entries.end()) return nullptr;
    *size = found->second.bytes.size();
    *type = found->second.type;
    *flags = found->second.flags;
    return found->second.bytes.data();
  }
};

// One adapter instance with every port connected to buffers of maxBlock frames.
class Plugin {
 public:
  struct Options {
    double rate = 44100.0;
    uint32_t maxBlock = 4096;
    bool withMap = true;
    bool withOptions = true;
    bool withWorker = true;
  };

  explicit Plugin(const Options& options) : mOptions(options) {
    tarnwick_host::usePrivateHome();
    mAudio.assign(6, std::vector<float>(options.maxBlock, 0.0f));
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      mControls[id] = parameterDescription(id).defaultValue;
    }
    mMaxBlockValue = static_cast<int32_t>(options.maxBlock);
    mOptionList[0] = {LV2_OPTIONS_INSTANCE,
                      0,
                      mMap.map(LV2_BUF_SIZE__maxBlockLength),
                      sizeof(int32_t),
                      mMap.map(LV2_ATOM__Int),
                      &mMaxBlockValue};
    mOptionList[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mMapFeature = {LV2_URID__map, mMap.feature()};
    mOptionsFeature = {LV2_OPTIONS__options, mOptionList};
    mWorkerFeature = {LV2_WORKER__schedule, mWorker.feature()};
    std::vector<const LV2_Feature*> features;
    if (options.withMap) features.push_back(&mMapFeature);
    if (options.withOptions) features.push_back(&mOptionsFeature);
    if (options.withWorker) features.push_back(&mWorkerFeature);
    features.push_back(nullptr);
    const LV2_Descriptor* d = descriptor();
    if (!d) return;
    const std::string bundle = std::string(TARNWICK_LV2_BUNDLE_DIR) + "/";
    mHandle = d->instantiate(d, options.rate, bundle.c_str(), features.data());
    if (!mHandle) return;
    mMidiEvent = mMap.map(LV2_MIDI__MidiEvent);
    mSequenceType = mMap.map(LV2_ATOM__Sequence);
    mAtomBuffer.assign(8192 / 8, 0);
    mUiInBuffer.assign(4096 / 8, 0);
    mUiOutBuffer.assign(kUiOutMinimumBytes / 8, 0);
    mUrids.map(mMap.feature());
    lv2_atom_forge_init(&mForge, mMap.feature());
    clearMidi();
    clearUiCommands();
    for (uint32_t p = 0; p < 6; ++p) d->connect_port(mHandle, p, mAudio[p].data());
    d->connect_port(mHandle, kMidiIn, mAtomBuffer.data());
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      d->connect_port(mHandle, kFirstParameterPort + id, &mControls[id]);
    }
    d->connect_port(mHandle, kLatencyPort, &mLatency);
    d->connect_port(mHandle, kEnabledPort, &mEnabled);
    d->connect_port(mHandle, kUiInPort, mUiInBuffer.data());
    d->connect_port(mHandle, kUiOutPort, mUiOutBuffer.data());
    for (int b = 0; b < kBandCount; ++b)
      d->connect_port(mHandle, kFirstBandLevelPort + b, &mLevels[b]);
    d->activate(mHandle);
  }
  ~Plugin() {
    if (!mHandle) return;
    descriptor()->deactivate(mHandle);
    descriptor()->cleanup(mHandle);
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  bool ok() const { return mHandle != nullptr; }
  LV2_Handle handle() const { return mHandle; }
  UridMap& map() { return mMap; }

  float* port(uint32_t p) { return mAudio[p].data(); }
  // Connects output port `output` to the buffer of input port `input`, as a host that runs the
  // plug-in in place does; render() then reads that output from the shared buffer.
  void shareBuffer(uint32_t output, uint32_t input) {
    descriptor()->connect_port(mHandle, output, mAudio[input].data());
    mOutBuffer[output - kOutLeft] = input;
  }
  float& control(AudioUnitParameterID id) { return mControls[id]; }
  float latency() const { return mLatency; }
  float& enabled() { return mEnabled; }
  float level(int band) const { return mLevels[band]; }

  // Empties the MIDI sequence (the host does so before each run).
  void clearMidi() {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mAtomBuffer.data());
    seq->atom.type = mSequenceType;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
  }
  // Appends a three-byte MIDI event at frame (events must come in frame order).
  void addMidi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mAtomBuffer.data());
    struct {
      LV2_Atom_Event event;
      uint8_t bytes[8];
    } e{};
    e.event.time.frames = frame;
    e.event.body.type = mMidiEvent;
    e.event.body.size = 3;
    e.bytes[0] = status;
    e.bytes[1] = data1;
    e.bytes[2] = data2;
    ASSERT_NE(
        lv2_atom_sequence_append_event(seq, mAtomBuffer.size() * 8 - sizeof(LV2_Atom), &e.event),
        nullptr);
  }

  // Runs one block: the UI commands queued since the last run go in, the plug-in's UI messages
  // are collected (uiReceived) as a host hands them to its UI.
  void run(uint32_t frames) {
    auto* out = reinterpret_cast<LV2_Atom_Sequence*>(mUiOutBuffer.data());
    out->atom.type = 0;
    out->atom.size = static_cast<uint32_t>(mUiOutBuffer.size() * 8 - sizeof(LV2_Atom));
    descriptor()->run(mHandle, frames);
    clearUiCommands();
    if (out->atom.type != mSequenceType) return;
    LV2_ATOM_SEQUENCE_FOREACH(out, event) {
      const UiMessage m = parseUiMessage(&event->body, event->body.size + sizeof(LV2_Atom), mUrids);
      if (uiTap) uiTap(event->body);
      if (m.kind == 0) continue;
      ++mUiEvents;
      if (mCollectUi) mUiReceived.push_back({m.kind, std::vector<float>(m.values, m.values + m.count), m.pending});
    }
  }

  // UI commands for the next run (ui_protocol.h). note < 0: a command without a note.
  void clearUiCommands() {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mUiInBuffer.data());
    seq->atom.type = mSequenceType;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
  }
  void sendUi(LV2_URID kind, int note = -1) {
    alignas(8) uint8_t buffer[128];
    lv2_atom_forge_set_buffer(&mForge, buffer, sizeof buffer);
    ASSERT_TRUE(forgeUiCommand(&mForge, mUrids, kind, note));
    sendUiAtom(*reinterpret_cast<const LV2_Atom*>(buffer));
  }
  void sendUiAtom(const LV2_Atom& atom) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mUiInBuffer.data());
    alignas(8) uint8_t event[256] = {};  // no allocation: the real-time test sends from its thread
    ASSERT_LE(sizeof(LV2_Atom_Event) + atom.size, sizeof event);
    auto* e = reinterpret_cast<LV2_Atom_Event*>(event);
    e->time.frames = 0;
    std::memcpy(&e->body, &atom, sizeof(LV2_Atom) + atom.size);
    ASSERT_NE(lv2_atom_sequence_append_event(seq, mUiInBuffer.size() * 8 - sizeof(LV2_Atom), e),
              nullptr);
  }
  const UiUrids& urids() const { return mUrids; }
  std::vector<UiReceived>& uiReceived() { return mUiReceived; }
  // Sees every event of the UI output port as a host hands it on. [render thread; the thread of run]
  std::function<void(const LV2_Atom& atom)> uiTap;
  // Off: messages are only counted (the real-time tests run on the render thread's counters).
  void setCollectUi(bool on) { mCollectUi = on; }
  long uiEvents() const { return mUiEvents; }
  TestWorker& worker() { return mWorker; }

  // Runs total frames in blocks of block, feeding input(p, frame) on the four inputs and
  // appending the outputs to left/right.
  template <typename Input>
  void render(size_t total, uint32_t block, Input input, std::vector<float>* left,
              std::vector<float>* right, size_t* position) {
    for (size_t done = 0; done < total; done += block) {
      const uint32_t frames = static_cast<uint32_t>(std::min<size_t>(block, total - done));
      for (uint32_t p = 0; p < 4; ++p) {
        for (uint32_t n = 0; n < frames; ++n) mAudio[p][n] = input(p, *position + n);
      }
      run(frames);
      clearMidi();
      const auto& l = mAudio[mOutBuffer[0]];
      const auto& r = mAudio[mOutBuffer[1]];
      if (left) left->insert(left->end(), l.begin(), l.begin() + frames);
      if (right) right->insert(right->end(), r.begin(), r.begin() + frames);
      *position += frames;
    }
  }

  const LV2_State_Interface* state() const {
    return static_cast<const LV2_State_Interface*>(
        descriptor()->extension_data(LV2_STATE__interface));
  }

 private:
  Options mOptions;
  UridMap mMap;
  LV2_Feature mMapFeature{};
  LV2_Feature mOptionsFeature{};
  LV2_Feature mWorkerFeature{};
  TestWorker mWorker;
  UiUrids mUrids;
  LV2_Atom_Forge mForge{};
  std::vector<uint64_t> mUiInBuffer, mUiOutBuffer;
  std::vector<UiReceived> mUiReceived;
  bool mCollectUi = true;
  long mUiEvents = 0;
  LV2_Options_Option mOptionList[2]{};
  int32_t mMaxBlockValue = 0;
  LV2_Handle mHandle = nullptr;
  LV2_URID mMidiEvent = 0;
  LV2_URID mSequenceType = 0;
  std::vector<std::vector<float>> mAudio;
  uint32_t mOutBuffer[2] = {kOutLeft, kOutRight};  // the buffers the output ports write
  std::vector<uint64_t> mAtomBuffer;  // 8-byte aligned
  float mControls[kParameterCount] = {};
  float mLatency = -1.0f;
  float mEnabled = 1.0f;
  float mLevels[kBandCount] = {};
};

inline double energy(const std::vector<float>& samples, size_t from = 0) {
  double sum = 0.0;
  for (size_t n = from; n < samples.size(); ++n) sum += double(samples[n]) * samples[n];
  return sum;
}

// A deterministic speech-like signal (pulse train through a resonance) and a sawtooth.
inline float speechAt(size_t n, double rate) {
  const double t = n / rate;
  const double pitch = 110.0 + 15.0 * std::sin(2.0 * M_PI * 0.7 * t);
  double s = 0.0;
  for (int h = 1; h <= 10; ++h) s += std::sin(2.0 * M_PI * h * pitch * t) / (1.0 + std::abs(h - 4));
  return static_cast<float>(0.2 * s * (0.6 + 0.4 * std::sin(2.0 * M_PI * 2.0 * t)));
}
inline float sawAt(size_t n, double rate) {
  return static_cast<float>(0.3 * (2.0 * std::fmod(147.0 * n / rate, 1.0) - 1.0));
}

}  // namespace lv2_test
