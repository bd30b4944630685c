// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 entry of Tarnwick.lv2: the descriptor, the features it reads (urid:map, options,
// log; all optional) and the state interface. The component bundle is looked for inside the
// LV2 bundle first, then beside it.
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "hosts/lv2/adapter.h"
#include "hosts/lv2/component_path.h"

namespace {

using tarnwick_lv2::Adapter;

struct Instance {
  Adapter* adapter = nullptr;
  LV2_URID_Map* map = nullptr;
  LV2_URID classInfoKey = 0;
  LV2_URID atomString = 0;
  LV2_URID atomChunk = 0;
};

UInt32 maxBlockFrom(const LV2_Options_Option* options, LV2_URID_Map* map) {
  if (!options || !map) return 0;
  const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
  for (const LV2_Options_Option* o = options; o->key != 0; ++o) {
    if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t) && o->value) {
      const int32_t frames = *static_cast<const int32_t*>(o->value);
      return frames > 0 ? static_cast<UInt32>(frames) : 0;
    }
  }
  return 0;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char* bundlePath,
                       const LV2_Feature* const* features) {
  LV2_URID_Map* map = nullptr;
  LV2_Log_Log* log = nullptr;
  const LV2_Options_Option* options = nullptr;
  const LV2_Worker_Schedule* worker = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    const char* uri = features[i]->URI;
    if (!uri) continue;  // lv2file passes empty entries for optional features it lacks
    if (!std::strcmp(uri, LV2_URID__map)) map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (!std::strcmp(uri, LV2_LOG__log)) log = static_cast<LV2_Log_Log*>(features[i]->data);
    if (!std::strcmp(uri, LV2_WORKER__schedule)) {
      worker = static_cast<const LV2_Worker_Schedule*>(features[i]->data);
    }
    if (!std::strcmp(uri, LV2_OPTIONS__options)) {
      options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
  }
  LV2_Log_Logger logger{};
  lv2_log_logger_init(&logger, map, log);
  const auto fail = [&](const std::string& message) -> LV2_Handle {
    if (log && map) {
      lv2_log_error(&logger, "Tarnwick.lv2: %s\n", message.c_str());
    } else {
      std::fprintf(stderr, "Tarnwick.lv2: %s\n", message.c_str());
    }
    return nullptr;
  };
  if (!(rate > 0.0)) return fail("the sample rate must be positive");

  Adapter::Settings settings;
  settings.rate = rate;
  settings.componentPath = tarnwick_lv2::componentPathFor(bundlePath);
  if (settings.componentPath.empty()) {
    return fail(std::string("no ") + tarnwick_lv2::kComponentBundleName + " inside or beside '" +
                (bundlePath ? bundlePath : "") + "'");
  }
  settings.maxBlock = maxBlockFrom(options, map);
  if (map) settings.midiEventUrid = map->map(map->handle, LV2_MIDI__MidiEvent);
  settings.map = map;
  settings.worker = worker;

  auto* instance = new (std::nothrow) Instance;
  if (!instance) return fail("out of memory");
  try {
    instance->adapter = new Adapter(settings);
  } catch (const std::exception& e) {
    delete instance;
    return fail(e.what());
  }
  if (!instance->adapter->ok()) {
    const std::string message = instance->adapter->error();
    delete instance->adapter;
    delete instance;
    return fail(message);
  }
  instance->map = map;
  if (map) {
    instance->classInfoKey = map->map(map->handle, tarnwick_lv2::kStateClassInfoUri);
    instance->atomString = map->map(map->handle, LV2_ATOM__String);
    instance->atomChunk = map->map(map->handle, LV2_ATOM__Chunk);
  }
  return instance;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  static_cast<Instance*>(handle)->adapter->connect(port, data);
}

void activate(LV2_Handle handle) {
  Adapter& adapter = *static_cast<Instance*>(handle)->adapter;
  if (!adapter.activate()) std::fprintf(stderr, "Tarnwick.lv2: %s\n", adapter.error().c_str());
}

void run(LV2_Handle handle, uint32_t frames) {
  static_cast<Instance*>(handle)->adapter->run(frames);
}

void deactivate(LV2_Handle handle) {
  static_cast<Instance*>(handle)->adapter->deactivate();
}

void cleanup(LV2_Handle handle) {
  auto* instance = static_cast<Instance*>(handle);
  delete instance->adapter;
  delete instance;
}

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store,
                           LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
  const auto* instance = static_cast<Instance*>(handle);
  if (!instance->map) return LV2_STATE_ERR_NO_FEATURE;
  plist::Data xml = instance->adapter->saveState();
  if (xml.empty()) return LV2_STATE_ERR_UNKNOWN;
  xml.push_back(0);  // an atom:String carries its terminating NUL
  return store(state, instance->classInfoKey, xml.data(), xml.size(), instance->atomString,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
  const auto* instance = static_cast<Instance*>(handle);
  if (!instance->map) return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* value = retrieve(state, instance->classInfoKey, &size, &type, &flags);
  if (!value) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != instance->atomString && type != instance->atomChunk) return LV2_STATE_ERR_BAD_TYPE;
  const auto* bytes = static_cast<const uint8_t*>(value);
  while (size > 0 && bytes[size - 1] == 0) --size;
  return instance->adapter->restoreState(bytes, size) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

// A key message from the UI, posted on the host's worker thread. [not the render thread; the host's worker thread]
LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle,
                       uint32_t size, const void* data) {
  return static_cast<Instance*>(handle)->adapter->work(data, size);
}

LV2_Worker_Status workResponse(LV2_Handle, uint32_t, const void*) {
  return LV2_WORKER_SUCCESS;
}

const void* extensionData(const char* uri) {
  static const LV2_State_Interface kState{saveState, restoreState};
  static const LV2_Worker_Interface kWorker{work, workResponse, nullptr};
  if (!std::strcmp(uri, LV2_STATE__interface)) return &kState;
  if (!std::strcmp(uri, LV2_WORKER__interface)) return &kWorker;
  return nullptr;
}

const LV2_Descriptor kDescriptor{tarnwick_lv2::kPluginUri,
                                 instantiate,
                                 connectPort,
                                 activate,
                                 run,
                                 deactivate,
                                 cleanup,
                                 extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
