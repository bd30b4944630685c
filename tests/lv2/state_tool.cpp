// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper for the jalv check: writes a state folder for Tarnwick.lv2 the way jalv saves
// one (lilv_state_new_from_instance, then lilv_state_save into <folder>/state.ttl), after
// running the plug-in with the given control values and, with --note N, a held key.
//   lv2_state_tool <folder> [--note N] [SYMBOL=VALUE]...
// Needs LV2_PATH to find the plug-in. Exit status 0 on success, 1 for usage, 2 on failure.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, LV2_URID> gIds;
std::vector<std::string> gUris;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
  auto found = gIds.find(uri);
  if (found != gIds.end()) return found->second;
  gUris.push_back(uri);
  return gIds[uri] = static_cast<LV2_URID>(gUris.size());
}
const char* unmapUri(LV2_URID_Unmap_Handle, LV2_URID id) {
  return id >= 1 && id <= gUris.size() ? gUris[id - 1].c_str() : nullptr;
}

struct Ports {
  std::vector<float> values;
};

const void* portValue(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
  auto* ports = static_cast<std::pair<const LilvPlugin*, Ports*>*>(data);
  const uint32_t count = lilv_plugin_get_num_ports(ports->first);
  for (uint32_t i = 0; i < count; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(ports->first, i);
    if (std::strcmp(lilv_node_as_string(lilv_port_get_symbol(ports->first, port)), symbol) != 0) {
      continue;
    }
    *size = sizeof(float);
    *type = mapUri(nullptr, LV2_ATOM__Float);
    return &ports->second->values[i];
  }
  *size = *type = 0;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lv2_state_tool <folder> [--note N] [SYMBOL=VALUE]...\n");
    return 1;
  }
  const std::string folder = argv[1];
  int note = -1;
  std::map<std::string, float> settings;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--note" && i + 1 < argc) {
      note = std::atoi(argv[++i]);
    } else if (arg.find('=') != std::string::npos) {
      settings[arg.substr(0, arg.find('='))] =
          std::strtof(arg.c_str() + arg.find('=') + 1, nullptr);
    } else {
      std::fprintf(stderr, "lv2_state_tool: unknown argument '%s'\n", arg.c_str());
      return 1;
    }
  }

  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* uri = lilv_new_uri(world, "urn:vexaphon:tarnwick");
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  if (!plugin) {
    std::fprintf(stderr, "lv2_state_tool: the plug-in is not on LV2_PATH\n");
    return 2;
  }
  LV2_URID_Map map{nullptr, mapUri};
  LV2_URID_Unmap unmap{nullptr, unmapUri};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
  const LV2_Feature* features[] = {&mapFeature, &unmapFeature, nullptr};
  const double rate = 48000.0;
  LilvInstance* instance = lilv_plugin_instantiate(plugin, rate, features);
  if (!instance) {
    std::fprintf(stderr, "lv2_state_tool: instantiation failed\n");
    return 2;
  }

  const uint32_t count = lilv_plugin_get_num_ports(plugin);
  const uint32_t block = 256;
  Ports ports;
  ports.values.assign(count, 0.0f);
  std::vector<float> mins(count), maxs(count), defaults(count);
  lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defaults.data());
  std::vector<std::vector<float>> audio(count, std::vector<float>(block, 0.0f));
  std::vector<uint64_t> atoms(1024, 0);
  LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
  LilvNode* controlClass = lilv_new_uri(world, LV2_CORE__ControlPort);
  LilvNode* atomClass = lilv_new_uri(world, LV2_ATOM__AtomPort);
  uint32_t atomPort = UINT32_MAX;
  size_t matched = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
    if (lilv_port_is_a(plugin, port, audioClass)) {
      lilv_instance_connect_port(instance, i, audio[i].data());
    } else if (lilv_port_is_a(plugin, port, controlClass)) {
      ports.values[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
      if (settings.count(symbol)) {
        ports.values[i] = settings[symbol];
        ++matched;
      }
      lilv_instance_connect_port(instance, i, &ports.values[i]);
    } else if (lilv_port_is_a(plugin, port, atomClass)) {
      atomPort = i;
      lilv_instance_connect_port(instance, i, atoms.data());
    }
  }
  if (matched != settings.size() || atomPort == UINT32_MAX) {
    std::fprintf(stderr, "lv2_state_tool: unknown control symbol, or no MIDI port\n");
    return 2;
  }

  lilv_instance_activate(instance);
  auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atoms.data());
  for (int b = 0; b < 64; ++b) {
    sequence->atom.type = mapUri(nullptr, LV2_ATOM__Sequence);
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->body.unit = sequence->body.pad = 0;
    if (b == 1 && note >= 0) {
      struct {
        LV2_Atom_Event event;
        uint8_t bytes[8];
      } e{};
      e.event.body.type = mapUri(nullptr, LV2_MIDI__MidiEvent);
      e.event.body.size = 3;
      e.bytes[0] = 0x90;
      e.bytes[1] = static_cast<uint8_t>(note);
      e.bytes[2] = 100;
      lv2_atom_sequence_append_event(sequence, atoms.size() * 8 - sizeof(LV2_Atom), &e.event);
    }
    lilv_instance_run(instance, block);
  }

  std::pair<const LilvPlugin*, Ports*> data{plugin, &ports};
  LilvState* state = lilv_state_new_from_instance(
      plugin, instance, &map, nullptr, folder.c_str(), folder.c_str(), folder.c_str(), portValue,
      &data, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
  const int saved =
      state ? lilv_state_save(world, &map, &unmap, state, nullptr, folder.c_str(), "state.ttl")
            : -1;
  lilv_instance_deactivate(instance);
  lilv_instance_free(instance);
  if (state) lilv_state_free(state);
  lilv_node_free(audioClass);
  lilv_node_free(controlClass);
  lilv_node_free(atomClass);
  lilv_node_free(uri);
  lilv_world_free(world);
  if (saved != 0) {
    std::fprintf(stderr, "lv2_state_tool: saving the state failed\n");
    return 2;
  }
  return 0;
}
