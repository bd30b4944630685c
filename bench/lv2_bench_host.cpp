// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/lv2_bench_host.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/resize-port/resize-port.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lv2bench {

namespace {

constexpr const char* kIsSideChain = LV2_CORE_PREFIX "isSideChain";
constexpr uint32_t kDefaultAtomBytes = 65536;
constexpr uint8_t kVelocity = 100;

std::string nodeText(const LilvNode* node) {
  return node ? lilv_node_as_string(node) : std::string();
}

}  // namespace

UridMap::UridMap() {
  mMap.handle = this;
  mMap.map = &UridMap::mapCallback;
  mFeature.URI = LV2_URID__map;
  mFeature.data = &mMap;
}

LV2_URID UridMap::map(const char* uri) {
  const auto found = mIds.find(uri);
  if (found != mIds.end()) return found->second;
  const LV2_URID id = static_cast<LV2_URID>(mIds.size() + 1);
  mIds.emplace(uri, id);
  return id;
}

LV2_URID UridMap::mapCallback(LV2_URID_Map_Handle handle, const char* uri) {
  return static_cast<UridMap*>(handle)->map(uri);
}

std::unique_ptr<PluginHost> PluginHost::load(const std::string& uriText, std::string* error) {
  std::unique_ptr<PluginHost> host(new PluginHost());
  host->mWorld = lilv_world_new();
  lilv_world_load_all(host->mWorld);
  const LilvPlugins* plugins = lilv_world_get_all_plugins(host->mWorld);
  host->mPlugin = lilv_plugins_get_by_uri(plugins, host->uri(uriText.c_str()));
  if (!host->mPlugin) {
    const char* path = std::getenv("LV2_PATH");
    *error = "no LV2 plug-in " + uriText + " (LV2_PATH=" + (path ? path : "unset") +
             "; lv2ls lists what is installed)";
    return nullptr;
  }
  if (!host->classifyPorts(error)) return nullptr;
  return host;
}

PluginHost::~PluginHost() {
  release();
  for (LilvNode* node : mNodes) lilv_node_free(node);
  if (mWorld) lilv_world_free(mWorld);
}

const LilvNode* PluginHost::uri(const char* text) {
  mNodes.push_back(lilv_new_uri(mWorld, text));
  return mNodes.back();
}

bool PluginHost::classifyPorts(std::string* error) {
  const uint32_t count = lilv_plugin_get_num_ports(mPlugin);
  mControls.assign(count, 0.0f);
  std::vector<float> mins(count), maxs(count), defaults(count);
  lilv_plugin_get_port_ranges_float(mPlugin, mins.data(), maxs.data(), defaults.data());
  const LilvNode* inputClass = uri(LV2_CORE__InputPort);
  const LilvNode* outputClass = uri(LV2_CORE__OutputPort);
  const LilvNode* audioClass = uri(LV2_CORE__AudioPort);
  const LilvNode* controlClass = uri(LV2_CORE__ControlPort);
  const LilvNode* cvClass = uri(LV2_CORE__CVPort);
  const LilvNode* atomClass = uri(LV2_ATOM__AtomPort);
  const LilvNode* sideChain = uri(kIsSideChain);
  const LilvNode* optional = uri(LV2_CORE__connectionOptional);
  const LilvNode* midiEvent = uri(LV2_MIDI__MidiEvent);
  const LilvNode* controlDesignation = uri(LV2_CORE__control);
  const LilvNode* minimumSize = uri(LV2_RESIZE_PORT__minimumSize);
  std::vector<AudioInput> sideInputs;
  mAtomCapacity = kDefaultAtomBytes;
  for (uint32_t i = 0; i < count; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
    const bool input = lilv_port_is_a(mPlugin, port, inputClass);
    const bool output = lilv_port_is_a(mPlugin, port, outputClass);
    const std::string symbol = nodeText(lilv_port_get_symbol(mPlugin, port));
    if (lilv_port_is_a(mPlugin, port, audioClass) && (input || output)) {
      if (output) {
        mAudioOutputs.push_back(i);
      } else if (lilv_port_has_property(mPlugin, port, sideChain)) {
        sideInputs.push_back({i, symbol, true});
      } else {
        mAudioInputs.push_back({i, symbol, false});
      }
    } else if (lilv_port_is_a(mPlugin, port, controlClass) && (input || output)) {
      (input ? mControlInputs : mControlOutputs).push_back(i);
      const float fallback = std::isnan(mins[i]) ? 0.0f : mins[i];
      mControls[i] = std::isnan(defaults[i]) ? fallback : defaults[i];
    } else if (lilv_port_is_a(mPlugin, port, atomClass) && (input || output)) {
      (input ? mAtomInputs : mAtomOutputs).push_back(i);
      if (LilvNode* size = lilv_port_get(mPlugin, port, minimumSize)) {
        if (lilv_node_is_int(size)) {
          mAtomCapacity = std::max<uint32_t>(mAtomCapacity, lilv_node_as_int(size));
        }
        lilv_node_free(size);
      }
      if (input && lilv_port_supports_event(mPlugin, port, midiEvent)) {
        LilvNodes* designations = lilv_port_get_value(mPlugin, port, uri(LV2_CORE__designation));
        const bool designated =
            designations && lilv_nodes_contains(designations, controlDesignation);
        lilv_nodes_free(designations);
        if (mMidiInput < 0 || designated) mMidiInput = static_cast<int>(i);
      }
    } else if (lilv_port_is_a(mPlugin, port, cvClass)) {
      mCvPorts.push_back(i);
    } else if (lilv_port_has_property(mPlugin, port, optional)) {
      mOptionalPorts.push_back(i);
    } else {
      *error = "port " + std::to_string(i) + " (" + symbol + ") is of a kind this host cannot feed";
      return false;
    }
  }
  mAudioInputs.insert(mAudioInputs.end(), sideInputs.begin(), sideInputs.end());
  return true;
}

bool PluginHost::setControl(const std::string& key, float value, std::string* error) {
  const LilvPort* match = nullptr;
  uint32_t index = 0;
  for (const bool bySymbol : {true, false}) {
    for (uint32_t i : mControlInputs) {
      const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
      LilvNode* name = bySymbol ? nullptr : lilv_port_get_name(mPlugin, port);
      const std::string text =
          bySymbol ? nodeText(lilv_port_get_symbol(mPlugin, port)) : nodeText(name);
      lilv_node_free(name);
      if (text == key) {
        match = port;
        index = i;
        break;
      }
    }
    if (match) break;
  }
  if (!match) {
    *error = "no control input with the symbol or name '" + key + "' (lv2info " +
             nodeText(lilv_plugin_get_uri(mPlugin)) + " lists the ports)";
    return false;
  }
  LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
  lilv_port_get_range(mPlugin, match, &def, &min, &max);
  float clamped = value;
  if (min && lilv_node_is_float(min)) clamped = std::max(clamped, lilv_node_as_float(min));
  if (max && lilv_node_is_float(max)) clamped = std::min(clamped, lilv_node_as_float(max));
  lilv_node_free(def);
  lilv_node_free(min);
  lilv_node_free(max);
  if (clamped != value) {
    std::fprintf(stderr, "lv2_run_bench: warning: %s=%g is out of range, clamped to %g\n",
                 key.c_str(), value, clamped);
  }
  mControls[index] = clamped;
  return true;
}

bool PluginHost::instantiate(double rate, uint32_t maxFrames, std::string* error) {
  release();
  LilvNodes* required = lilv_plugin_get_required_features(mPlugin);
  std::string missing;
  LILV_FOREACH(nodes, it, required) {
    const std::string feature = nodeText(lilv_nodes_get(required, it));
    if (feature != LV2_URID__map && feature != LV2_OPTIONS__options &&
        feature != LV2_BUF_SIZE__boundedBlockLength) {
      missing += (missing.empty() ? "" : ", ") + feature;
    }
  }
  lilv_nodes_free(required);
  if (!missing.empty()) {
    *error = "the plug-in needs features this host does not offer: " + missing;
    return false;
  }

  mMinBlock = 1;
  mMaxBlock = static_cast<int32_t>(maxFrames);
  mSampleRate = static_cast<float>(rate);
  const LV2_URID intType = mUrids.map(LV2_ATOM__Int);
  const LV2_URID floatType = mUrids.map(LV2_ATOM__Float);
  auto option = [&](const char* key, uint32_t size, LV2_URID type, const void* value) {
    return LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, mUrids.map(key), size, type, value};
  };
  mOptions = {option(LV2_BUF_SIZE__minBlockLength, sizeof(int32_t), intType, &mMinBlock),
              option(LV2_BUF_SIZE__maxBlockLength, sizeof(int32_t), intType, &mMaxBlock),
              option(LV2_BUF_SIZE__nominalBlockLength, sizeof(int32_t), intType, &mMaxBlock),
              option(LV2_CORE__sampleRate, sizeof(float), floatType, &mSampleRate),
              LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
  mBoundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
  mFeatures = {mUrids.feature(), &mOptionsFeature, &mBoundedFeature, nullptr};

  mInstance = lilv_plugin_instantiate(mPlugin, rate, mFeatures.data());
  if (!mInstance) {
    *error = "the plug-in failed to instantiate at " + std::to_string(rate) + " Hz";
    return false;
  }
  const uint32_t count = lilv_plugin_get_num_ports(mPlugin);
  mBuffers.assign(count, {});
  mAtoms.assign(count, {});
  for (const AudioInput& in : mAudioInputs) mBuffers[in.index].assign(maxFrames, 0.0f);
  for (uint32_t i : mAudioOutputs) mBuffers[i].assign(maxFrames, 0.0f);
  for (uint32_t i : mCvPorts) mBuffers[i].assign(maxFrames, 0.0f);
  for (uint32_t i : mAtomInputs) mAtoms[i].assign(mAtomCapacity / sizeof(uint64_t), 0);
  for (uint32_t i : mAtomOutputs) mAtoms[i].assign(mAtomCapacity / sizeof(uint64_t), 0);
  for (uint32_t i = 0; i < count; ++i) {
    void* data = !mBuffers[i].empty() ? static_cast<void*>(mBuffers[i].data())
                 : !mAtoms[i].empty() ? static_cast<void*>(mAtoms[i].data())
                                      : static_cast<void*>(&mControls[i]);
    const bool unconnected =
        std::find(mOptionalPorts.begin(), mOptionalPorts.end(), i) != mOptionalPorts.end();
    lilv_instance_connect_port(mInstance, i, unconnected ? nullptr : data);
  }
  lilv_instance_activate(mInstance);
  return true;
}

bool PluginHost::prepareBlock(const std::vector<int>& noteOns) {
  const uint32_t bodyCapacity = mAtomCapacity - sizeof(LV2_Atom);
  for (uint32_t i : mAtomInputs) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(mAtoms[i].data());
    sequence->atom.type = mUrids.map(LV2_ATOM__Sequence);
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->body.unit = 0;
    sequence->body.pad = 0;
    if (static_cast<int>(i) != mMidiInput) continue;
    for (int note : noteOns) {
      struct {
        LV2_Atom_Event event;
        uint8_t message[3];
      } noteOn{};
      noteOn.event.time.frames = 0;
      noteOn.event.body.type = mUrids.map(LV2_MIDI__MidiEvent);
      noteOn.event.body.size = 3;
      noteOn.message[0] = LV2_MIDI_MSG_NOTE_ON;
      noteOn.message[1] = static_cast<uint8_t>(note);
      noteOn.message[2] = kVelocity;
      if (!lv2_atom_sequence_append_event(sequence, bodyCapacity, &noteOn.event)) return false;
    }
  }
  for (uint32_t i : mAtomOutputs) {
    auto* atom = reinterpret_cast<LV2_Atom*>(mAtoms[i].data());
    atom->type = mUrids.map(LV2_ATOM__Chunk);
    atom->size = bodyCapacity;
  }
  return true;
}

std::vector<std::string> PluginHost::controlOutputs() const {
  std::vector<std::string> lines;
  for (uint32_t i : mControlOutputs) {
    const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
    char value[32];
    std::snprintf(value, sizeof value, "%g", mControls[i]);
    lines.push_back(nodeText(lilv_port_get_symbol(mPlugin, port)) + "=" + value);
  }
  return lines;
}

void PluginHost::release() {
  if (!mInstance) return;
  lilv_instance_deactivate(mInstance);
  lilv_instance_free(mInstance);
  mInstance = nullptr;
}

}  // namespace lv2bench
