// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick_lv2_ui.so through its LV2 UI descriptors, with the plug-in in the same process (as
// jalv runs both) on a private Xvfb: this test is the host. The external-window UI (kx:Widget)
// opens the editor in its own window at the host's scale factor; a click on a key plays the
// plug-in and comes back lit; a slider drag is bracketed by the host's touch and writes its port;
// closing the window tells the host through ui_closed.
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <algorithm>
#include <cstdlib>
#include <deque>

#include "hosts/lv2/ui_protocol.h"
#include "lv2/lv2_test_host.h"
#include "platform/ui/application.h"
#include "platform/ui/event.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"
#include "ui/xvfb_server.h"

namespace {

using namespace lv2_test;

struct ExternalWidget {  // kx:Widget
  void (*run)(ExternalWidget*);
  void (*show)(ExternalWidget*);
  void (*hide)(ExternalWidget*);
};
struct ExternalHost {  // kx:Host
  void (*ui_closed)(LV2UI_Controller);
  const char* plugin_human_id;
};

// The host's side: UI writes go to the plug-in before its next block; the plug-in's UI messages
// go to the UI after it.
struct TestHost {
  Plugin* plugin = nullptr;
  std::deque<std::pair<uint32_t, std::vector<uint8_t>>> toPlugin;
  std::vector<std::pair<uint32_t, bool>> touches;
  std::vector<std::pair<uint32_t, float>> controlWrites;
  bool closed = false;

  static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t, const void* data) {
    auto* self = static_cast<TestHost*>(c);
    const auto* bytes = static_cast<const uint8_t*>(data);
    self->toPlugin.emplace_back(port, std::vector<uint8_t>(bytes, bytes + size));
  }
  static void touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
    static_cast<TestHost*>(h)->touches.emplace_back(port, grabbed);
  }
  static void uiClosed(LV2UI_Controller c) { static_cast<TestHost*>(c)->closed = true; }
};

ui::Window* editorWindow() {
  for (ui::Window* w : ui::Application::shared().windows()) {
    if (w->title() == "Vexaphon Tarnwick XE40 AudioUnit Plug-In" && w->contentView()) return w;
  }
  return nullptr;
}

void mouse(ui::Window* window, ui::EventType type, double x, double y) {
  ui::Event e;
  e.type = type;
  e.locationInWindow = {x, 682 - y};  // panel coordinates, top-left origin
  e.clickCount = 1;
  window->sendEvent(e);
}

TEST(Lv2UiBinary, ExternalWindowPlaysThePluginAndReportsItsClosing) {
  ui_test::XvfbServer server;
  if (!server.available()) GTEST_SKIP() << server.reason();
  setenv("DISPLAY", server.name().c_str(), 1);

  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  TestHost host;
  host.plugin = &plugin;
  const std::string bundle = std::string(TARNWICK_LV2_BUNDLE_DIR) + "/";
  void* library = dlopen((bundle + tarnwick_lv2::kUiBinaryName).c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
  ASSERT_NE(entry, nullptr);
  const LV2UI_Descriptor* external = entry(1);
  ASSERT_NE(external, nullptr);
  EXPECT_STREQ(external->URI, tarnwick_lv2::kExternalUiUri);
  EXPECT_STREQ(entry(0)->URI, tarnwick_lv2::kUiUri);
  EXPECT_EQ(entry(2), nullptr);

  float scale = 2.0f;
  LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, plugin.map().map(LV2_UI__scaleFactor), sizeof scale,
       plugin.map().map(LV2_ATOM__Float), &scale},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  LV2UI_Touch touch{&host, &TestHost::touch};
  ExternalHost kxHost{&TestHost::uiClosed, "Tarnwick"};
  const LV2_Feature map{LV2_URID__map, plugin.map().feature()};
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature touchFeature{LV2_UI__touch, &touch};
  const LV2_Feature kxFeature{tarnwick_lv2::kExternalUiHostUri, &kxHost};
  const LV2_Feature* features[] = {&map, &optionsFeature, &touchFeature, &kxFeature, nullptr};
  LV2UI_Widget widget = nullptr;
  LV2UI_Handle handle = external->instantiate(external, tarnwick_lv2::kPluginUri, bundle.c_str(),
                                              &TestHost::write, &host, &widget, features);
  ASSERT_NE(handle, nullptr);
  auto* kx = static_cast<ExternalWidget*>(widget);
  ASSERT_NE(kx, nullptr);
  kx->show(kx);

  // One host cycle: the UI's writes into the plug-in, a block, its messages to the UI, a UI turn.
  size_t position = 0;
  const auto cycle = [&] {
    for (auto& [port, bytes] : host.toPlugin) {
      if (port == kUiInPort) {
        plugin.sendUiAtom(*reinterpret_cast<const LV2_Atom*>(bytes.data()));
      } else if (port >= kFirstParameterPort && port < kFirstParameterPort + kParameterCount) {
        float value;
        std::memcpy(&value, bytes.data(), sizeof value);
        plugin.control(port - kFirstParameterPort) = value;
        host.controlWrites.emplace_back(port, value);
      }
    }
    host.toPlugin.clear();
    plugin.uiReceived().clear();
    std::vector<std::vector<uint8_t>> out;
    plugin.uiTap = [&](const LV2_Atom& atom) {
      const auto* b = reinterpret_cast<const uint8_t*>(&atom);
      out.emplace_back(b, b + sizeof atom + atom.size);
    };
    plugin.render(512, 512, [](uint32_t p, size_t n) { return p < 2 ? speechAt(n, 44100) : 0.0f; },
                  nullptr, nullptr, &position);
    plugin.worker().drain(plugin.handle());
    for (const auto& atom : out) {
      external->port_event(handle, kUiOutPort, static_cast<uint32_t>(atom.size()),
                           plugin.urids().atomEventTransfer, atom.data());
    }
    kx->run(kx);
  };
  const auto cycleUntil = [&](const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
      cycle();
      if (done()) return true;
    }
    return false;
  };

  ASSERT_TRUE(cycleUntil([] { return editorWindow() != nullptr; }));
  ui::Window* window = editorWindow();
  EXPECT_EQ(window->scaleFactor(), 2.0);
  EXPECT_EQ(window->contentSize().width, 1040);
  EXPECT_EQ(window->parentHandle(), 0u);

  const auto heldCount = [](const std::vector<float>& list) {
    return std::count_if(list.begin(), list.end(), [](float k) { return k >= 27.0f; });
  };
  // A fresh instance holds the chord of the preset the menu shows; ALL OFF releases it.
  std::vector<float> keys;
  mouse(window, ui::EventType::MouseDown, 106, 648);
  mouse(window, ui::EventType::MouseUp, 106, 648);
  EXPECT_TRUE(cycleUntil([&] {
    for (const UiReceived& m : plugin.uiReceived()) {
      if (m.kind == plugin.urids().keys) keys = m.values;
    }
    return !keys.empty() && heldCount(keys) == 0;
  }));

  // A click on the lowest white key holds note 48 in the plug-in; the editor gets the list back.
  mouse(window, ui::EventType::MouseDown, 170, 640);
  mouse(window, ui::EventType::MouseUp, 170, 640);
  EXPECT_TRUE(cycleUntil([&] {
    for (const UiReceived& m : plugin.uiReceived()) {
      if (m.kind == plugin.urids().keys) keys = m.values;
    }
    return heldCount(keys) == 1;
  }));
  EXPECT_NE(std::find(keys.begin(), keys.end(), 48.0f), keys.end());

  // A drag on the carrier's dry-mix slider: the host sees the touch open, the port move, the
  // touch close.
  host.touches.clear();
  host.controlWrites.clear();
  mouse(window, ui::EventType::MouseDown, 153, 238);
  for (int i = 1; i <= 4; ++i) mouse(window, ui::EventType::MouseDragged, 153, 238 - 15 * i);
  mouse(window, ui::EventType::MouseUp, 153, 178);
  const uint32_t carrierPort = uint32_t(kFirstParameterPort) + kParamCarrierAmt;
  EXPECT_TRUE(cycleUntil([&] {
    return std::count(host.touches.begin(), host.touches.end(), std::make_pair(carrierPort, false));
  }));
  const auto begin = std::find(host.touches.begin(), host.touches.end(), std::make_pair(carrierPort, true));
  EXPECT_NE(begin, host.touches.end());
  const auto moved = std::find_if(host.controlWrites.begin(), host.controlWrites.end(),
                                  [&](const auto& w) { return w.first == carrierPort && w.second > 0; });
  EXPECT_NE(moved, host.controlWrites.end());
  EXPECT_GT(plugin.control(kParamCarrierAmt), 0.0f);

  // The user closes the window: the host hears of it.
  window->close();
  EXPECT_TRUE(cycleUntil([&] { return host.closed; }));
  external->cleanup(handle);
  plugin.uiTap = nullptr;
}

}  // namespace
