// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-render's command line: the options, their help text (also the source of the manual
// page) and the parsing of parameter settings and note lists.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/au/au_types.h"

namespace render {

inline constexpr int kExitUsage = 1;    // the command line is wrong
inline constexpr int kExitFailure = 2;  // a render or a file failed

struct Options {
  std::vector<std::string> speech;  // -s (repeatable), then the positional files
  std::vector<std::string> files;   // the positional files, as parsed
  std::string carrier, notes, midi, statePath, saveStatePath, bits = "24", type, output, outDir;
  std::string component;
  std::string preset, presetFile;  // --preset NAME, --preset-file FILE
  std::vector<std::string> settings;
  bool listParams = false, raw = false, quiet = false, verbose = false;
  long long block = 512;
  long long jobs = 1;
  double tail = 2.0, rate = 44100.0;
  bool rateGiven = false;
  double gainDb = 0.0;
  std::optional<double> normalizeDbfs;
};

// Defines every option on app, writing into options. [main thread]
void describeOptions(CLI::App& app, Options& options, CLI::Option** rateOption,
                     std::string* normalizeText);

// Rewrites a bare "--normalize" into "--normalize=-1", so that the option's value is optional
// and never takes the next argument (a file name) as its value.
std::vector<std::string> withNormalizeDefault(int argc, char** argv);

// NAME=VALUE or ID=VALUE; *error names the fault (with the nearest names for a typo). Values
// out of range are clamped with a warning on standard error.
bool parseSetting(const std::string& text, std::pair<AudioUnitParameterID, float>* out,
                  std::string* error);
// A comma-separated list of keys (60 or C4).
bool parseNotes(const std::string& list, std::vector<int>* out, std::string* error);
// A finite number, the whole text.
bool parseNumber(const std::string& text, double* out);

}  // namespace render
