// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-render: the offline host's command line. Exit status 0 on success, 1 for a usage
// error (unknown option or parameter, bad value), 2 when a render or a file failed.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "hosts/client/host_client.h"
#include "hosts/render/batch.h"
#include "hosts/render/cli_options.h"
#include "hosts/render/level.h"
#include "hosts/render/preset_option.h"
#include "hosts/render/render_task.h"
#include "platform/alert/alert.h"
#include "platform/log/log.h"

namespace {

using render::kExitFailure;
using render::kExitUsage;

constexpr const char* kDemoOutput = "tarnwick-demo.wav";
constexpr int kDemoChord[] = {48, 55, 60, 64, 67};  // C3 G3 C4 E4 G4

std::filesystem::path executableDir() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : self.parent_path();
}

// Beside the executable (the build tree), else inside the installed Tarnwick.lv2.
std::string defaultComponentPath() {
  const auto beside = executableDir() / "Tarnwick.component";
#ifdef TARNWICK_INSTALLED_BUNDLE
  const auto installed = executableDir() / TARNWICK_INSTALLED_BUNDLE / "Tarnwick.component";
  if (!std::filesystem::exists(beside) && std::filesystem::exists(installed)) {
    return installed.lexically_normal().string();
  }
#endif
  return beside.string();
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

// Alerts the component raises (the channel alert) are diagnostics here: shown with -v only.
int alertOnStandardError(const alert::Alert& a, void*) {
  std::fprintf(stderr, "tarnwick-render: [component alert] %s: %s\n", a.title.c_str(),
               a.text.c_str());
  return alert::kDefaultButton;
}
int alertNowhere(const alert::Alert&, void*) {
  return alert::kDefaultButton;
}

// The progress line of a single render: on a terminal only.
void showProgress(size_t done, size_t total) {
  static auto last = std::chrono::steady_clock::time_point{};
  const auto now = std::chrono::steady_clock::now();
  if (now - last < std::chrono::milliseconds(200) && done != total) return;
  last = now;
  std::fprintf(stderr, "\rrendering %5.1f%%", 100.0 * done / total);
  if (done == total) std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app;
  render::Options o;
  o.component = defaultComponentPath();
  CLI::Option* rateOption = nullptr;
  std::string normalizeText;
  render::describeOptions(app, o, &rateOption, &normalizeText);
  try {
    std::vector<std::string> arguments = render::withNormalizeDefault(argc, argv);
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  o.speech.insert(o.speech.end(), o.files.begin(), o.files.end());
  if (o.listParams) {
    listParameters();
    return 0;
  }

  // Quiet like sox: the component's lines and alerts only with -v, and never on stdout.
  vxlog::setTarget(o.verbose ? vxlog::Target::StandardError : vxlog::Target::Nowhere);
  alert::setPresenter(o.verbose ? alertOnStandardError : alertNowhere, nullptr);
  host_client::disableUpdateChecks();

  render::Plan plan;
  render::RenderJob& job = plan.base;
  std::string error;
  const bool batch = !o.outDir.empty();
  const bool demo = o.speech.empty() && o.carrier.empty() && o.notes.empty() && o.midi.empty() &&
                    o.statePath.empty() && o.preset.empty() && !batch;
  if (demo) {
    o.speech = {demoSpeechPath()};
    if (o.output.empty()) o.output = kDemoOutput;
    job.notes.assign(std::begin(kDemoChord), std::end(kDemoChord));
    // Five voices vocoded at the default amount peak above full scale: the demo vocodes at 25 %.
    // Any --set still applies after this.
    job.parameters.emplace_back(kParamFilterbankAmt, 25.0f);
  }
  if (batch && !o.output.empty()) return usageError("-o and -O exclude each other");
  if (batch && o.speech.empty()) return usageError("-O needs speech files to render");
  if (!batch && o.speech.size() > 1) {
    return usageError("several speech files need an output folder: -O DIR");
  }
  if (batch && std::count(o.speech.begin(), o.speech.end(), render::kStandardStream)) {
    return usageError("a batch reads files, not standard input");
  }
  if (o.output.empty()) o.output = "tarnwick-out.wav";
  const int format = batch ? 0 : render::outputFormat(o.output, o.type, o.bits, &error);
  if (!batch && format == 0) return usageError(error);
  if (batch && !o.type.empty() && render::outputFormat("", o.type, o.bits, &error) == 0) {
    return usageError(error);
  }
  if (o.block < 1) return usageError("--block must be at least 1");
  if (!(o.tail >= 0.0 && o.tail <= 3600.0)) return usageError("--tail must be 0 … 3600 seconds");
  if (!(o.rate >= 8000.0 && o.rate <= 384000.0)) return usageError("--rate must be 8000 … 384000");
  if (o.jobs < 1 || o.jobs > 64) return usageError("--jobs must be 1 … 64");
  if (!(std::fabs(o.gainDb) <= 120.0)) return usageError("--gain must be -120 … 120 dB");
  if (!normalizeText.empty()) {
    double level = 0.0;
    if (!render::parseNumber(normalizeText, &level) || level > 0.0 || level < -120.0) {
      return usageError("--normalize takes a level from -120 to 0 dBFS, got '" + normalizeText +
                        "'");
    }
    plan.normalizeDbfs = level;
  }
  if (!o.notes.empty() && !render::parseNotes(o.notes, &job.notes, &error)) {
    return usageError(error);
  }
  bool synthSet = false;
  for (const std::string& s : o.settings) {
    std::pair<AudioUnitParameterID, float> setting;
    if (!render::parseSetting(s, &setting, &error)) return usageError(error);
    synthSet = synthSet || setting.first == kParamSynthOn;
    job.parameters.push_back(setting);
  }
  if (!o.preset.empty() && !o.statePath.empty()) {
    return usageError("--preset and --state exclude each other");
  }
  if (o.preset.empty() && !o.presetFile.empty()) return usageError("--preset-file needs --preset");
  if (!o.preset.empty()) {
    job.state = render::presetState(o.preset, o.presetFile, o.component, &error);
    if (!job.state) return failure(error);
  }
  // An external carrier switches the synth off unless a --set or a preset says otherwise.
  if (!o.carrier.empty() && !synthSet && !job.state) {
    job.parameters.insert(job.parameters.begin(), {kParamSynthOn, 0.0f});
  }
  if (!o.carrier.empty() && !render::readAudio(o.carrier, &job.carrier, &error)) {
    return failure(error);
  }
  if (!o.midi.empty()) {
    auto file = render::readMidiFile(o.midi, &error);
    if (!file) return failure(error);
    if (file->truncated) {
      std::fprintf(stderr, "tarnwick-render: warning: '%s' is truncated; playing what is there\n",
                   o.midi.c_str());
    }
    job.midi = std::move(file->events);
  }
  if (o.raw && o.speech.empty() && job.carrier.frames() == 0 && job.midi.empty()) {
    return usageError("--raw renders the input's length: give --speech, --carrier or --midi");
  }
  job.componentPath = o.component;
  job.statePath = o.statePath;
  job.saveStatePath = o.saveStatePath;
  job.block = static_cast<size_t>(o.block);
  job.tailSeconds = o.tail;
  job.raw = o.raw;
  job.quiet = o.quiet;
  job.rate = o.rate;
  plan.rateGiven = rateOption->count() > 0;
  plan.carrierPath = o.carrier;
  plan.gainDb = o.gainDb;
  plan.floatOutput = o.bits == "32f";

  if (batch) {
    render::BatchRequest request{o.speech, o.outDir, o.type, o.bits, static_cast<int>(o.jobs)};
    const int status = render::runBatch(plan, request);
    vxlog::flush();
    return status;
  }

  const std::string speech = o.speech.empty() ? std::string() : o.speech.front();
  const bool progress = !o.quiet && isatty(STDERR_FILENO);
  render::TaskResult result;
  const bool ok = render::renderFile(
      plan, speech, o.output, format,
      [&](size_t done, size_t total) {
        if (progress) showProgress(done, total);
      },
      &result, &error);
  vxlog::flush();
  if (!ok) return failure(error);
  if (!o.quiet) {
    const std::string name = o.output == render::kStandardStream ? "<stdout>" : o.output;
    std::fprintf(stderr, "%s: %.2f s, peak %.1f dBFS (%.3f), rendered at %.1fx realtime\n",
                 name.c_str(), result.seconds, render::toDecibels(std::max(result.peak, 1e-9f)),
                 result.peak, result.wallSeconds > 0.0 ? result.seconds / result.wallSeconds : 0.0);
  }
  return 0;
}
