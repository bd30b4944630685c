// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "component/parameter_table.h"
#include "hosts/render/midi_file.h"

namespace render {
namespace {

constexpr const char* kDescription =
    "tarnwick-render: renders audio files through the Tarnwick vocoder component, offline. "
    "The speech (modulator) shapes a carrier: an external file, or the built-in synthesiser "
    "playing held notes or a MIDI file. Without inputs it renders the demo.";

constexpr const char* kFooter = R"(Channels:
  The render runs at the speech's sample rate. A carrier (or, with --rate, any input) at
  another rate is converted with libsoxr, and a line on standard error says so.
  Speech: its first channel is the modulator, fed to the main input's left channel; a second
  channel feeds the main input's right channel, a mono file feeds both; further channels are
  not used.
  Carrier: its first two channels feed the side-chain input (a mono file feeds both); with
  the side chain switched off (preference userEnableSidechain = 0) speech and carrier are each
  mixed to mono and fed to the main input's left and right channels.
  The output is always stereo.

Level:
  --normalize scales the output's peak to -1 dBFS (or the level given), then --gain applies.
  Whatever still exceeds full scale in a 16- or 24-bit file is clipped, with a warning.

Output:
  Standard output stays empty unless -o - asks for the audio there (WAV unless --type says
  otherwise); -s - reads the speech from standard input. Notes and one summary line go to
  standard error (none with --quiet); the component's own diagnostics only with --verbose;
  the progress line only on a terminal. Tarnwick's update check never runs here.

Batch:
  Several speech files (-s, or file names after the options) with -O DIR render into DIR,
  each under its own name, on -j N instances at once. A file that fails is reported and
  skipped; the others are rendered.

Exit status:
  0 success, 1 usage error, 2 a render or a file failed (in a batch: at least one file).

Examples:
  tarnwick-render -s speech.wav -n C3,G3,C4,E4 -o out.wav
  tarnwick-render -s speech.wav -c synth-pad.wav --set 'Sound Mode=7' --normalize -o out.flac
  tarnwick-render -s - -n C4 -o - < in.wav | sox -t wav - -n stat
  tarnwick-render -O vocoded/ -j 2 -n C3,G3 takes/*.wav
)";

// Case-insensitive edit distance between two names.
size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// ", did you mean 'A' or 'B'?" for the closest parameter names, or nothing when none is close.
std::string nearestNames(const std::string& name) {
  std::vector<std::pair<size_t, std::string>> close;
  const size_t limit = std::max<size_t>(3, name.size() / 3);
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const std::string candidate = parameterDescription(id).name;
    const size_t distance = editDistance(name, candidate);
    if (distance <= limit) close.emplace_back(distance, candidate);
  }
  if (close.empty()) return "";
  std::sort(close.begin(), close.end());
  std::string text = ", did you mean '" + close[0].second + "'";
  if (close.size() > 1) text += " or '" + close[1].second + "'";
  return text + "?";
}

}  // namespace

void describeOptions(CLI::App& app, Options& o, CLI::Option** rateOption,
                     std::string* normalizeText) {
  app.name("tarnwick-render");
  app.description(kDescription);
  app.footer(kFooter);
  app.add_option("-s,--speech", o.speech, "speech (modulator) file, '-' for standard input; "
                                          "repeatable for a batch")
      ->type_name("FILE");
  app.add_option("files", o.files, "more speech files (a batch with -O)")->type_name("FILE");
  app.add_option("-c,--carrier", o.carrier, "external carrier, into the side-chain input")
      ->type_name("FILE");
  app.add_option("-n,--notes", o.notes, "keys held for the whole render (60 or C4), comma-separated")
      ->type_name("KEYS");
  app.add_option("-m,--midi", o.midi, "a Standard MIDI File to play into the component")
      ->type_name("FILE");
  app.add_option("--set", o.settings, "NAME=VALUE or ID=VALUE; repeatable")->type_name("NAME=VALUE");
  app.add_option("--state", o.statePath, "restore a saved state (plist) before rendering")
      ->type_name("FILE");
  app.add_option("--preset", o.preset,
                 "apply a preset of the editor's menu (your saved presets, else the factory "
                 "presets) before the parameters; the letter case of NAME does not matter")
      ->type_name("NAME");
  app.add_option("--preset-file", o.presetFile, "look --preset up in this preset file instead")
      ->type_name("FILE");
  app.add_option("--save-state", o.saveStatePath, "save the state (plist) after rendering")
      ->type_name("FILE");
  app.add_flag("--list-params", o.listParams, "print the parameters on standard output and exit");
  app.add_option("-b,--block", o.block, "host block size (1 to the maximum frames)")
      ->type_name("FRAMES");
  app.add_option("--tail", o.tail, "seconds rendered past the end of the input (default 2)")
      ->type_name("SECONDS");
  app.add_flag("--raw", o.raw, "exactly the input's length, no latency compensation, no tail");
  *rateOption = app.add_option("-r,--rate", o.rate,
                               "render rate; inputs at other rates are converted (default: the "
                               "speech's rate, else the carrier's, else 44100)")
                    ->type_name("HZ");
  app.add_option("--gain", o.gainDb, "gain applied after the render (and after --normalize)")
      ->type_name("DB");
  app.add_option("--normalize", *normalizeText,
                 "scale the output's peak to DBFS after the render (default -1)")
      ->type_name("[=DBFS]");
  app.add_option("--bits", o.bits, "16, 24 (default) or 32f")->type_name("BITS");
  app.add_option("-o,--output", o.output, "WAV, FLAC or AIFF by extension; '-' for standard output")
      ->type_name("FILE");
  app.add_option("-t,--type", o.type, "output type when the name does not say: wav, flac or aiff")
      ->type_name("TYPE");
  app.add_option("-O,--output-dir", o.outDir, "batch: write each speech file's render into DIR")
      ->type_name("DIR");
  app.add_option("-j,--jobs", o.jobs, "batch: instances rendering at once (1 to 64)")
      ->type_name("N");
  app.add_flag("-q,--quiet", o.quiet, "no notes, no progress, no summary");
  app.add_flag("-v,--verbose", o.verbose, "the component's diagnostics on standard error");
  app.add_option("--component", o.component, "path of Tarnwick.component")->type_name("DIR");
}

std::vector<std::string> withNormalizeDefault(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    arguments.push_back(argument == "--normalize" ? "--normalize=-1" : argument);
    if (argument == "--") {
      for (++i; i < argc; ++i) arguments.emplace_back(argv[i]);
    }
  }
  return arguments;
}

bool parseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  size_t used = 0;
  try {
    *out = std::stod(text, &used);
  } catch (...) {
    return false;
  }
  return used == text.size() && std::isfinite(*out);
}

bool parseSetting(const std::string& text, std::pair<AudioUnitParameterID, float>* out,
                  std::string* error) {
  const size_t equals = text.rfind('=');
  if (equals == std::string::npos) {
    *error = "--set needs NAME=VALUE, got '" + text + "'";
    return false;
  }
  const std::string name = text.substr(0, equals);
  std::optional<AudioUnitParameterID> id = parameterIdForName(name);
  double number = 0.0;
  if (!id && !name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
      parseNumber(name, &number) && number < kParameterCount) {
    id = static_cast<AudioUnitParameterID>(number);
  }
  if (!id) {
    *error = "unknown parameter '" + name + "'" + nearestNames(name) + " (see --list-params)";
    return false;
  }
  const ParameterDescription& p = parameterDescription(*id);
  if (!parseNumber(text.substr(equals + 1), &number)) {
    std::ostringstream why;
    why << "value for '" << p.name << "' must be a number from " << p.minValue << " to "
        << p.maxValue << ", got '" << text.substr(equals + 1) << "'";
    *error = why.str();
    return false;
  }
  const double clamped = std::clamp(number, double(p.minValue), double(p.maxValue));
  if (clamped != number) {
    std::fprintf(stderr, "tarnwick-render: warning: %s=%g is out of range, clamped to %g\n", p.name,
                 number, clamped);
  }
  *out = {*id, static_cast<float>(clamped)};
  return true;
}

bool parseNotes(const std::string& list, std::vector<int>* out, std::string* error) {
  std::stringstream stream(list);
  std::string item;
  while (std::getline(stream, item, ',')) {
    const auto note = parseNoteName(item);
    if (!note) {
      *error = "--notes: '" + item + "' is not a key (a number 0 … 127 or a name like C4)";
      return false;
    }
    out->push_back(*note);
  }
  if (out->empty()) {
    *error = "--notes: the list is empty";
    return false;
  }
  return true;
}

}  // namespace render
