// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 UI entry of Tarnwick.lv2: two descriptors on one UiInstance. Index 0 is the ui:X11UI
// (embedded through ui:parent; without one, its own window through ui:showInterface), driven by
// ui:idleInterface. Index 1 is the external-window UI of hosts that do not embed (kx:Widget):
// the host calls the widget's run, show and hide, and we call the host's ui_closed when the
// user closes the window. urid:map is the only feature required. Every call comes from the
// host's UI thread.
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "hosts/lv2/ui/ui_instance.h"
#include "hosts/lv2/ui_protocol.h"

namespace {

using tarnwick_lv2::UiHost;
using tarnwick_lv2::UiInstance;

// The external UI's structures, as the kx:Widget and kx:Host extensions define them.
struct ExternalWidget {
  void (*run)(ExternalWidget* self);
  void (*show)(ExternalWidget* self);
  void (*hide)(ExternalWidget* self);
};
struct ExternalHost {
  void (*ui_closed)(LV2UI_Controller controller);
  const char* plugin_human_id;
};

struct Handle {
  ExternalWidget widget{};  // first, so that the widget pointer is the handle (external UI)
  std::unique_ptr<UiInstance> ui;
};

Handle* handleOfWidget(ExternalWidget* widget) {
  return reinterpret_cast<Handle*>(widget);
}

double scaleFrom(const LV2_Options_Option* options, LV2_URID_Map* map) {
  if (!options || !map) return 0;
  const LV2_URID scale = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
  for (const LV2_Options_Option* o = options; o->key != 0; ++o) {
    if (o->key == scale && o->type == atomFloat && o->size == sizeof(float) && o->value) {
      const float value = *static_cast<const float*>(o->value);
      if (value > 0.0f) return value;
    }
  }
  return 0;
}

LV2UI_Handle instantiate(bool external, const char* bundlePath, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
  UiHost host;
  host.write = write;
  host.controller = controller;
  const LV2_Options_Option* options = nullptr;
  const ExternalHost* externalHost = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    const char* uri = features[i]->URI;
    void* data = features[i]->data;
    if (!uri) continue;
    if (!std::strcmp(uri, LV2_URID__map)) host.map = static_cast<LV2_URID_Map*>(data);
    if (!std::strcmp(uri, LV2_UI__touch)) host.touch = static_cast<const LV2UI_Touch*>(data);
    if (!std::strcmp(uri, LV2_UI__resize)) host.resize = static_cast<const LV2UI_Resize*>(data);
    if (!std::strcmp(uri, LV2_UI__parent)) host.parent = reinterpret_cast<uintptr_t>(data);
    if (!std::strcmp(uri, LV2_OPTIONS__options)) {
      options = static_cast<const LV2_Options_Option*>(data);
    }
    if (!std::strcmp(uri, tarnwick_lv2::kExternalUiHostUri) ||
        !std::strcmp(uri, tarnwick_lv2::kExternalUiOldHostUri)) {
      externalHost = static_cast<const ExternalHost*>(data);
    }
  }
  if (!host.map || !write) {
    std::fprintf(stderr, "Tarnwick.lv2 UI: the host gave no urid:map\n");
    return nullptr;
  }
  host.scale = scaleFrom(options, host.map);
  if (external) {
    host.parent = 0;
    host.resize = nullptr;
    if (externalHost && externalHost->ui_closed) {
      host.closed = [externalHost, controller] { externalHost->ui_closed(controller); };
    }
  }
  auto* handle = new (std::nothrow) Handle;
  if (!handle) return nullptr;
  std::string error;
  try {
    handle->ui = UiInstance::create(std::move(host), bundlePath, &error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!handle->ui) {
    std::fprintf(stderr, "Tarnwick.lv2 UI: %s\n", error.c_str());
    delete handle;
    return nullptr;
  }
  if (external) {
    handle->widget.run = [](ExternalWidget* w) { handleOfWidget(w)->ui->idle(); };
    handle->widget.show = [](ExternalWidget* w) { handleOfWidget(w)->ui->show(); };
    handle->widget.hide = [](ExternalWidget* w) { handleOfWidget(w)->ui->hide(); };
    *widget = &handle->widget;
  } else {
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(handle->ui->widget()));
  }
  return handle;
}

LV2UI_Handle instantiateX11(const LV2UI_Descriptor*, const char*, const char* bundlePath,
                            LV2UI_Write_Function write, LV2UI_Controller controller,
                            LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return instantiate(false, bundlePath, write, controller, widget, features);
}

LV2UI_Handle instantiateExternal(const LV2UI_Descriptor*, const char*, const char* bundlePath,
                                 LV2UI_Write_Function write, LV2UI_Controller controller,
                                 LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return instantiate(true, bundlePath, write, controller, widget, features);
}

void cleanup(LV2UI_Handle handle) {
  delete static_cast<Handle*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
  static_cast<Handle*>(handle)->ui->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
  return static_cast<Handle*>(handle)->ui->idle();
}
int show(LV2UI_Handle handle) {
  return static_cast<Handle*>(handle)->ui->show();
}
int hide(LV2UI_Handle handle) {
  return static_cast<Handle*>(handle)->ui->hide();
}
// The editor has one size: a host's resize request is answered with it (no change).
int resizeRequest(LV2UI_Feature_Handle, int, int) {
  return 0;
}

const void* extensionData(const char* uri) {
  static const LV2UI_Idle_Interface kIdle{idle};
  static const LV2UI_Show_Interface kShow{show, hide};
  static const LV2UI_Resize kResize{nullptr, resizeRequest};
  if (!std::strcmp(uri, LV2_UI__idleInterface)) return &kIdle;
  if (!std::strcmp(uri, LV2_UI__showInterface)) return &kShow;
  if (!std::strcmp(uri, LV2_UI__resize)) return &kResize;
  return nullptr;
}

const LV2UI_Descriptor kDescriptors[] = {
    {tarnwick_lv2::kUiUri, instantiateX11, cleanup, portEvent, extensionData},
    {tarnwick_lv2::kExternalUiUri, instantiateExternal, cleanup, portEvent, extensionData},
};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index < 2 ? &kDescriptors[index] : nullptr;
}
