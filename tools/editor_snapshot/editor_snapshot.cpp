// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-editor-snapshot <component bundle> <output.png> [scale]: opens the component as a
// host does, finds its editor through property 31, shows it in an offscreen window with a
// chord held (MIDI notes into the instance) and a level picture posted to the analyser, and
// writes the window as PNG. The time of day follows $TARNWICK_TIME_OF_DAY ("HH:MM").
// Exit status 0 on success, 1 with a message on stderr.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/cocoa_view_loading.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/notify/notification_center.h"
#include "platform/ui/application.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace {

int failWith(const std::string& message) {
  std::fprintf(stderr, "tarnwick-editor-snapshot: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return failWith("usage: tarnwick-editor-snapshot <bundle> <output.png> [scale]");
  const double scale = argc > 3 ? std::atof(argv[3]) : 1.0;
  setenv("HOME", "/nonexistent-tarnwick-snapshot", 1);  // no user preferences, no update check
  ui::Application::shared().useOffscreen();

  std::vector<Component> components;
  std::string message;
  if (loadComponentBundle(argv[1], &components, &message) != noErr || components.empty()) {
    return failWith("cannot load " + std::string(argv[1]) + ": " + message);
  }
  AudioUnit unit = nullptr;
  if (OpenAComponent(components.front(), &unit) != noErr) return failWith("cannot open the unit");
  if (AudioUnitInitialize(unit) != noErr) return failWith("cannot initialise the unit");

  std::string error;
  OpenedCocoaView editor = openCocoaView(unit, &error);
  if (!editor.view) return failWith(error);
  const ui::Size size = editor.view->frame().size;
  auto window = std::make_unique<ui::Window>(ui::Rect(0, 0, size.width, size.height),
                                             ui::kTitledWindowMask | ui::kClosableWindowMask);
  window->setTitle("Tarnwick");
  window->setScaleFactor(scale);
  window->setContentView(std::move(editor.view));
  window->makeKeyAndOrderFront();

  // A C minor chord on the keyboard, played as MIDI into the instance.
  for (UInt32 note : {48u, 60u, 63u, 67u}) MusicDeviceMIDIEvent(unit, 0x90, note, 100, 0);
  // A level picture for the analyser, as the render path posts it.
  uint64_t refCon = 0;
  UInt32 refSize = sizeof refCon;
  AudioUnitGetProperty(unit, 65536, kAudioUnitScope_Global, 0, &refCon, &refSize);
  notify::UserInfo levels;
  levels["Vexaphon_Tarnwick_RefCon"] = refCon;
  levels["Vexaphon_Tarnwick_AnalyzerLevels"] =
      std::vector<float>{0.42f, 0.66f, 0.81f, 0.74f, 0.58f, 0.63f, 0.47f, 0.35f, 0.22f, 0.12f};
  notify::Center::defaultCenter().post("Vexaphon_Tarnwick_SetAnalyzerLevels", nullptr, levels);

  ui::Application::shared().runUntil([] { return false; }, std::chrono::milliseconds(300));
  window->displayIfNeeded();
  const bool written = window->writePNG(argv[2]);
  window->close();
  window.reset();
  CloseComponent(unit);
  return written ? 0 : failWith("cannot write " + std::string(argv[2]));
}
