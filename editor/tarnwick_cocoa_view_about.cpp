// SPDX-License-Identifier: GPL-3.0-or-later
// The About box, and the preset menu's hooks.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "component/tarnwick_identity.h"
#include "editor/tarnwick_cocoa_view.h"
#include "platform/alert/alert.h"
#include "platform/bundle/bundle.h"
#include "platform/plist/plist_value.h"

extern char** environ;

namespace {

constexpr const char* kAlgorithmVersion = "2.1.2 [1103250830]";
// The desktop's opener; TARNWICK_OPEN_COMMAND names another program (tests record the call).
constexpr const char* kOpener = "xdg-open";

std::string bundleVersion(const bundle::Bundle& bundle) {
  if (const plist::Value* v = bundle.infoDictionary().find("CFBundleVersion")) {
    if (v->isString()) return v->asString();
  }
  return bundle.version();
}

// Opens path with the desktop's opener: the path is one argument of the program, never shell
// text. The child is reaped by a detached thread.
bool openWithDesktop(const std::string& path) {
  const char* override = std::getenv("TARNWICK_OPEN_COMMAND");
  const std::string program = override && *override ? override : kOpener;
  std::string argument = path;
  char* argv[] = {const_cast<char*>(program.c_str()), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    std::printf("cannot start %s\n", program.c_str());
    std::fflush(stdout);
    return false;
  }
  std::thread([child] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
  return true;
}

}  // namespace

void Tarnwick_CocoaView::iaGetInfo(ui::Control*) {
  const auto bundle = bundle::Bundle::withIdentifier(kTarnwickIdentifier);
  const std::string text = "Product Version:\t" + (bundle ? bundleVersion(*bundle) : "") +
                           "\nAlgorithm Version:\t" + kAlgorithmVersion +
                           "\nPlatform:\tLinux 64bit, X11" +
                           "\nBuild:\tX11/cairo 64bit Build";
  const int choice = alert::showAlert("About", text, "Ok", "Show ChangeLog");
  if (choice != alert::kAlternateButton) return;
  if (!bundle) {
    std::printf("bundle not valid!!\n");
    std::fflush(stdout);
    return;
  }
  const std::string path = bundle->resourcePath("ChangeLog", "txt");
  if (path.empty()) {
    std::printf("resourceFromBundlePath not valid!!\n");
    std::fflush(stdout);
    return;
  }
  openWithDesktop(path);
}

// The preset menu lists the component's preset file; applying and saving presets are not built
// into the editor yet (they come with the preset files' own work): the hooks say so and leave
// the parameters as they are.
void Tarnwick_CocoaView::populatePresetPopup() {
  if (!uiPresetPopup) return;
  const int remembered = uiPresetPopup->indexOfSelectedItem();
  uiPresetPopup->removeAllItems();
  std::optional<plist::Value> list;
  if (const auto bundle = bundle::Bundle::withIdentifier(kTarnwickIdentifier)) {
    const std::string path = bundle->resourcePath("TarnwickPresets", "plist");
    if (!path.empty()) list = plist::readFile(path);
  }
  if (!list || !list->isArray() || list->asArray().empty()) {
    uiPresetPopup->addItemWithTitle("Factory Presets");
    uiPresetPopup->selectItemAtIndex(0);
    uiPresetPopup->setEnabled(false);
    return;
  }
  for (const plist::Value& preset : list->asArray()) {
    const plist::Value* name = preset.find("uiPresetName");
    uiPresetPopup->addItemWithTitle(name && name->isString() ? name->asString() : "");
  }
  const int last = uiPresetPopup->numberOfItems() - 1;
  uiPresetPopup->selectItemAtIndex(remembered > last ? last : (remembered < 0 ? 0 : remembered));
  uiPresetPopup->setEnabled(true);
  uiPresetPopup->setNeedsDisplay();
}

void Tarnwick_CocoaView::loadCurrentSetting(ui::Control*) {
  std::printf("presets: applying a preset is not available in this editor yet\n");
  std::fflush(stdout);
}

void Tarnwick_CocoaView::saveCurrentSetting(ui::Control*) {
  std::printf("presets: saving a preset is not available in this editor yet\n");
  std::fflush(stdout);
}
