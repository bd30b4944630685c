// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-preset: preset files on the command line.
//   tarnwick-preset --list FILE              the preset names, one a line, in menu order
//   tarnwick-preset --check FILE             validate; the count, or why the file is refused
//   tarnwick-preset --state NAME FILE        the preset as a saved state (class-info plist)
//   tarnwick-preset --args NAME FILE         the preset as tarnwick-render options, one a line
//   tarnwick-preset --build SOURCE OUT       a preset file from its readable source
//   tarnwick-preset --lv2 FILE OUT           presets.ttl of Tarnwick.lv2
// NAME matches ignoring letter case. Output files are written atomically. Exit status 0 on
// success, 1 for a usage error, 2 when a file is refused, missing or cannot be written.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "component/parameter_table.h"
#include "platform/plist/atomic_file.h"
#include "presets/factory_source.h"
#include "presets/preset_list.h"
#include "presets/preset_settings.h"
#include "presets/preset_state.h"
#include "presets/preset_ttl.h"

namespace {

using namespace tarnwick_presets;

constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

int usage() {
  std::fprintf(stderr,
               "usage: tarnwick-preset --list FILE | --check FILE | --state NAME FILE |\n"
               "       --args NAME FILE | --build SOURCE OUT | --lv2 FILE OUT\n");
  return kExitUsage;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "tarnwick-preset: %s\n", message.c_str());
  return kExitFailure;
}

std::optional<PresetList> readList(const std::string& path, std::string* error) {
  std::string reason;
  auto list = PresetList::readFile(path, &reason);
  if (!list) *error = "cannot load presets from '" + path + "': " + reason;
  return list;
}

bool writeText(const std::string& path, const std::string& text) {
  return plist::writeBytesAtomically(path, reinterpret_cast<const uint8_t*>(text.data()),
                                     text.size());
}

std::string decimal(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

int runWithPreset(const std::string& mode, const std::string& name, const std::string& path) {
  std::string error;
  const auto list = readList(path, &error);
  if (!list) return failure(error);
  const std::optional<size_t> index = list->find(name);
  if (!index) return failure("no preset named '" + name + "' in '" + path + "'");
  const PresetSettings settings = settingsFromPreset(&list->preset(*index));
  if (mode == "--state") {
    const plist::Data xml = plist::serialise(classInfoFromSettings(settings), plist::Format::Xml);
    if (xml.empty()) return failure("the state of '" + name + "' cannot be written");
    std::fwrite(xml.data(), 1, xml.size(), stdout);
    return 0;
  }
  for (int id = 0; id < kParameterCount; ++id) {
    std::printf("--set\n%d=%s\n", id, decimal(settings.parameters[id]).c_str());
  }
  std::string keys;
  for (float slot : heldKeySlots(settings.keyOns)) {
    if (slot < 27.0f) continue;  // an empty slot
    keys += (keys.empty() ? "" : ",") + std::to_string(static_cast<int>(slot));
  }
  if (!keys.empty()) std::printf("--notes\n%s\n", keys.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string mode = argv[1];
  std::string error;
  if ((mode == "--list" || mode == "--check") && argc == 3) {
    const auto list = readList(argv[2], &error);
    if (!list) return failure(error);
    if (mode == "--check") {
      std::printf("%s: %zu presets\n", argv[2], list->size());
      return 0;
    }
    for (size_t i = 0; i < list->size(); ++i) std::printf("%s\n", list->name(i).c_str());
    return 0;
  }
  if ((mode == "--state" || mode == "--args") && argc == 4) return runWithPreset(mode, argv[2], argv[3]);
  if (mode == "--build" && argc == 4) {
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) return failure(std::string("cannot read '") + argv[2] + "'");
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto list = buildFromSource(text, &error);
    if (!list) return failure(std::string(argv[2]) + ": " + error);
    if (!list->writeFile(argv[3], &error)) return failure(error);
    return 0;
  }
  if (mode == "--lv2" && argc == 4) {
    const auto list = readList(argv[2], &error);
    if (!list) return failure(error);
    std::string ttl;
    if (!lv2PresetsTtl(*list, &ttl, &error)) return failure(error);
    if (!writeText(argv[3], ttl)) return failure(std::string("cannot write '") + argv[3] + "'");
    return 0;
  }
  return usage();
}
