// SPDX-License-Identifier: GPL-3.0-or-later
// A small LV2 host for timing run(): finds one plug-in by URI through liblilv (LV2_PATH is
// honoured), connects every port to a buffer it owns, offers the urid:map, options (block-length
// bounds, sample rate) and bounded-block-length features, and writes MIDI note-ons into the first
// block's atom sequence. Single-threaded: every call comes from the thread that made the object.
#pragma once

#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace lv2bench {

// URI ↔ integer map handed to plug-ins as urid:map; ids start at 1 and stay stable.
class UridMap {
 public:
  UridMap();
  LV2_URID map(const char* uri);
  const LV2_Feature* feature() const { return &mFeature; }

 private:
  static LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri);
  std::unordered_map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap;
  LV2_Feature mFeature;
};

// One audio input: its port index and whether it is marked lv2:isSideChain.
struct AudioInput {
  uint32_t index;
  std::string symbol;
  bool sideChain;
};

class PluginHost {
 public:
  // Loads the LV2 world and finds uri; nullptr with *error set when it is not installed.
  static std::unique_ptr<PluginHost> load(const std::string& uri, std::string* error);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Audio inputs in the order file channels are assigned to them: the main inputs by port
  // index, then the side-chain inputs by port index.
  const std::vector<AudioInput>& audioInputs() const { return mAudioInputs; }
  size_t audioOutputCount() const { return mAudioOutputs.size(); }
  bool hasMidiInput() const { return mMidiInput >= 0; }

  // Sets the control input whose symbol is key (or, when no symbol matches, whose name is key)
  // for every later instance. Values outside the port's range are clamped, with a warning on
  // stderr. False with *error set when no control input matches.
  bool setControl(const std::string& key, float value, std::string* error);

  // A fresh, activated instance for blocks of 1 … maxFrames frames at rate Hz; a previous
  // instance is released first. False with *error set when the plug-in needs a feature this
  // host lacks, a port cannot be connected, or instantiation fails.
  bool instantiate(double rate, uint32_t maxFrames, std::string* error);

  // The buffer of audio input i (in audioInputs() order) or output i; maxFrames floats.
  float* inputBuffer(size_t i) { return mBuffers[mAudioInputs[i].index].data(); }
  const float* outputBuffer(size_t i) const { return mBuffers[mAudioOutputs[i]].data(); }

  // Empties the atom sequences for the next run(); the note-ons (channel 1, velocity 100) go
  // at frame 0 of that sequence. Returns false when the notes do not fit the buffer.
  bool prepareBlock(const std::vector<int>& noteOns);

  // One run() of the current instance. [the timed call: no allocation, no locks]
  void run(uint32_t frames) { lilv_instance_run(mInstance, frames); }

  // Each control output as "symbol=value", in port order.
  std::vector<std::string> controlOutputs() const;

 private:
  PluginHost() = default;
  bool classifyPorts(std::string* error);
  void release();
  const LilvNode* uri(const char* text);

  LilvWorld* mWorld = nullptr;
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  std::vector<LilvNode*> mNodes;  // URI nodes made by uri(), freed with the world
  UridMap mUrids;

  std::vector<AudioInput> mAudioInputs;
  std::vector<uint32_t> mAudioOutputs;
  std::vector<uint32_t> mControlInputs;
  std::vector<uint32_t> mControlOutputs;
  std::vector<uint32_t> mAtomInputs;
  std::vector<uint32_t> mAtomOutputs;
  std::vector<uint32_t> mCvPorts;
  std::vector<uint32_t> mOptionalPorts;  // of another kind, connected to nothing
  int mMidiInput = -1;                   // port index of the atom input that takes MIDI

  std::vector<float> mControls;               // one per port; used for control ports
  std::vector<std::vector<float>> mBuffers;   // audio and CV buffers, by port index
  std::vector<std::vector<uint64_t>> mAtoms;  // atom buffers, by port index (8-byte aligned)
  uint32_t mAtomCapacity = 0;                 // bytes per atom buffer

  int32_t mMinBlock = 1;
  int32_t mMaxBlock = 0;
  float mSampleRate = 0.0f;
  std::vector<LV2_Options_Option> mOptions;
  LV2_Feature mOptionsFeature{};
  LV2_Feature mBoundedFeature{};
  std::vector<const LV2_Feature*> mFeatures;
};

}  // namespace lv2bench
