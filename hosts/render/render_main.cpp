// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-render: the offline host's command line. Exit status 0 on success, 1 when the
// render or a file fails, 2 for a usage error (unknown option or parameter, bad value).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "hosts/render/audio_file.h"
#include "hosts/render/midi_file.h"
#include "hosts/render/render_session.h"

namespace {

constexpr int kExitFailure = 2;  // the render or a file failed
constexpr int kExitUsage = 1;    // the command line is wrong
constexpr const char* kDemoOutput = "tarnwick-demo.wav";
constexpr int kDemoChord[] = {48, 55, 60, 64, 67};  // C3 G3 C4 E4 G4

std::filesystem::path executableDir() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : self.parent_path();
}

std::string demoSpeechPath() {
  const auto beside = executableDir() / "assets" / "demo-speech.wav";
  if (std::filesystem::exists(beside)) return beside.string();
  return std::string(TARNWICK_ASSETS_DIR) + "/demo-speech.wav";
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "tarnwick-render: %s\n", message.c_str());
  return kExitUsage;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "tarnwick-render: %s\n", message.c_str());
  return kExitFailure;
}

void listParameters() {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const ParameterDescription& p = parameterDescription(id);
    std::printf("%2u\t%s\tunit %u\t%g … %g\tdefault %g\n", id, p.name, p.unit, p.minValue,
                p.maxValue, p.defaultValue);
  }
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

// NAME=VALUE or ID=VALUE; *error names the fault.
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
    const auto note = render::parseNoteName(item);
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

float peakOf(const std::vector<std::vector<float>>& channels) {
  float peak = 0.0f;
  for (const auto& c : channels) {
    for (float s : c) peak = std::max(peak, std::fabs(s));
  }
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tarnwick-render: renders audio files through the Tarnwick component"};
  std::string speech, carrier, notes, midi, statePath, saveStatePath, bits = "24", output;
  std::string component = (executableDir() / "Tarnwick.component").string();
  std::vector<std::string> settings;
  bool listParams = false, raw = false, quiet = false;
  long long block = 512;
  double tail = 2.0, rate = 44100.0;
  app.add_option("-s,--speech", speech, "modulator, into the main input");
  app.add_option("-c,--carrier", carrier, "external carrier, into the side-chain input");
  app.add_option("-n,--notes", notes, "keys held for the whole render (60 or C4), comma-separated");
  app.add_option("-m,--midi", midi, "a Standard MIDI File to play into the component");
  app.add_option("--set", settings, "NAME=VALUE or ID=VALUE; repeatable");
  app.add_option("--state", statePath, "restore a saved state (plist) before rendering");
  app.add_option("--save-state", saveStatePath, "save the state (plist) after rendering");
  app.add_flag("--list-params", listParams, "print the parameters and exit");
  app.add_option("-b,--block", block, "host block size (1 to the maximum frames)");
  app.add_option("--tail", tail, "seconds rendered past the end of the input");
  app.add_flag("--raw", raw, "exactly the input's length, no latency compensation, no tail");
  app.add_option("-r,--rate", rate, "sample rate when no input file sets it");
  app.add_option("--bits", bits, "16, 24 or 32f");
  app.add_option("-o,--output", output, "WAV, FLAC or AIFF by extension");
  app.add_flag("-q,--quiet", quiet, "no progress line");
  app.add_option("--component", component, "path of Tarnwick.component");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  if (listParams) {
    listParameters();
    return 0;
  }

  render::RenderJob job;
  std::string error;
  const bool demo =
      speech.empty() && carrier.empty() && notes.empty() && midi.empty() && statePath.empty();
  if (demo) {
    speech = demoSpeechPath();
    if (output.empty()) output = kDemoOutput;
    job.notes.assign(std::begin(kDemoChord), std::end(kDemoChord));
    // Five voices vocoded at the default amount peak above full scale: the demo vocodes at 25 %.
    // Any --set still applies after this.
    job.parameters.emplace_back(kParamFilterbankAmt, 25.0f);
  }
  if (output.empty()) output = "tarnwick-out.wav";
  const int format = render::outputFormat(output, bits, &error);
  if (format == 0) return usageError(error);
  if (block < 1) return usageError("--block must be at least 1");
  if (!(tail >= 0.0 && tail <= 3600.0)) return usageError("--tail must be 0 … 3600 seconds");
  if (!(rate >= 8000.0 && rate <= 384000.0)) return usageError("--rate must be 8000 … 384000");
  if (!notes.empty() && !parseNotes(notes, &job.notes, &error)) return usageError(error);
  bool synthSet = false;
  for (const std::string& s : settings) {
    std::pair<AudioUnitParameterID, float> setting;
    if (!parseSetting(s, &setting, &error)) return usageError(error);
    synthSet = synthSet || setting.first == kParamSynthOn;
    job.parameters.push_back(setting);
  }
  if (!carrier.empty() && !synthSet)
    job.parameters.insert(job.parameters.begin(), {kParamSynthOn, 0.0f});

  if (!speech.empty() && !render::readAudio(speech, &job.speech, &error)) return failure(error);
  if (!carrier.empty() && !render::readAudio(carrier, &job.carrier, &error)) return failure(error);
  if (!speech.empty() && !carrier.empty() && job.speech.rate != job.carrier.rate) {
    return failure("the speech (" + std::to_string(int(job.speech.rate)) + " Hz) and carrier (" +
                   std::to_string(int(job.carrier.rate)) + " Hz) rates differ");
  }
  job.rate = !speech.empty() ? job.speech.rate : !carrier.empty() ? job.carrier.rate : rate;
  if (!midi.empty()) {
    auto file = render::readMidiFile(midi, &error);
    if (!file) return failure(error);
    if (file->truncated) {
      std::fprintf(stderr, "tarnwick-render: warning: '%s' is truncated; playing what is there\n",
                   midi.c_str());
    }
    job.midi = std::move(file->events);
  }
  if (raw && job.speech.frames() == 0 && job.carrier.frames() == 0 && job.midi.empty()) {
    return usageError("--raw renders the input's length: give --speech, --carrier or --midi");
  }
  job.componentPath = component;
  job.statePath = statePath;
  job.saveStatePath = saveStatePath;
  job.block = static_cast<size_t>(block);
  job.tailSeconds = tail;
  job.raw = raw;
  job.quiet = quiet;

  render::RenderResult result;
  if (!render::runRender(job, &result, &error)) return failure(error);
  if (!render::writeAudio(output, format, job.rate, result.channels, &error)) {
    return failure(error);
  }
  const float peak = peakOf(result.channels);
  if (peak > 1.0f && bits != "32f") {
    std::fprintf(stderr, "tarnwick-render: warning: the output clips (peak %.3f)\n", peak);
  }
  if (demo || !quiet) {
    const double seconds = result.channels.front().size() / job.rate;
    std::printf("%s: %.2f s, peak %.1f dBFS (%.3f), rendered at %.1fx realtime\n", output.c_str(),
                seconds, 20.0 * std::log10(std::max(peak, 1e-9f)), peak,
                result.wallSeconds > 0.0 ? seconds / result.wallSeconds : 0.0);
  }
  return 0;
}
