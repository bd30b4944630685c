// SPDX-License-Identifier: GPL-3.0-or-later
// lv2_run_bench: times an LV2 plug-in's run() alone. Reads a WAV file, feeds it through the
// plug-in in blocks, and measures the thread CPU time spent inside run() over the whole file;
// repeats the pass on a fresh instance and prints the median and the realtime factor.
// File channel k goes to the k-th audio input, main inputs first, then the inputs marked
// lv2:isSideChain, each group in port order. Exit status 0 on success, 1 for a usage error,
// 2 when a file or the plug-in fails.
#include <sndfile.h>
#include <time.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bench/lv2_bench_host.h"

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

struct Audio {
  int channels = 0;
  int rate = 0;
  std::vector<std::vector<float>> samples;  // one vector per channel
  size_t frames() const { return samples.empty() ? 0 : samples[0].size(); }
};

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "lv2_run_bench: %s\n", message.c_str());
  return status;
}

bool readWav(const std::string& path, Audio* audio, std::string* error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    *error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  if (got != info.frames || info.frames == 0) {
    *error =
        path + ": read " + std::to_string(got) + " of " + std::to_string(info.frames) + " frames";
    return false;
  }
  audio->channels = info.channels;
  audio->rate = info.samplerate;
  audio->samples.assign(info.channels, std::vector<float>(info.frames));
  for (sf_count_t f = 0; f < info.frames; ++f) {
    for (int c = 0; c < info.channels; ++c)
      audio->samples[c][f] = interleaved[f * info.channels + c];
  }
  return true;
}

bool writeWav(const std::string& path, const Audio& audio, std::string* error) {
  SF_INFO info{};
  info.channels = audio.channels;
  info.samplerate = audio.rate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  std::vector<float> interleaved(audio.frames() * audio.channels);
  for (size_t f = 0; f < audio.frames(); ++f) {
    for (int c = 0; c < audio.channels; ++c)
      interleaved[f * audio.channels + c] = audio.samples[c][f];
  }
  const sf_count_t put = sf_writef_float(file, interleaved.data(), audio.frames());
  const int closed = sf_close(file);
  if (put != static_cast<sf_count_t>(audio.frames()) || closed != 0) {
    *error = "writing " + path + " failed";
    return false;
  }
  return true;
}

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

bool parseSetting(const std::string& text, std::string* key, float* value) {
  const size_t equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) return false;
  *key = text.substr(0, equals);
  const std::string number = text.substr(equals + 1);
  char* end = nullptr;
  *value = std::strtof(number.c_str(), &end);
  return !number.empty() && end == number.c_str() + number.size() && std::isfinite(*value);
}

bool parseNotes(const std::string& list, std::vector<int>* notes) {
  std::stringstream stream(list);
  std::string item;
  while (std::getline(stream, item, ',')) {
    char* end = nullptr;
    const long note = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || note < 0 || note > 127) return false;
    notes->push_back(static_cast<int>(note));
  }
  return !notes->empty();
}

// One pass over the whole input on a fresh instance; returns the CPU seconds inside run(), or
// a negative value with *error set. Fills *output when it is not null.
double timePass(lv2bench::PluginHost& host, const Audio& input, uint32_t block,
                const std::vector<int>& notes, Audio* output, std::string* error) {
  if (!host.instantiate(input.rate, block, error)) return -1.0;
  const size_t inputs = std::min<size_t>(input.channels, host.audioInputs().size());
  double seconds = 0.0;
  for (size_t offset = 0; offset < input.frames(); offset += block) {
    const uint32_t frames = static_cast<uint32_t>(std::min<size_t>(block, input.frames() - offset));
    for (size_t c = 0; c < inputs; ++c) {
      std::copy_n(input.samples[c].begin() + offset, frames, host.inputBuffer(c));
    }
    if (!host.prepareBlock(offset == 0 ? notes : std::vector<int>{})) {
      *error = "the note-ons do not fit the atom buffer";
      return -1.0;
    }
    const double start = threadCpuSeconds();
    host.run(frames);
    seconds += threadCpuSeconds() - start;
    if (!output) continue;
    for (size_t c = 0; c < output->samples.size(); ++c) {
      std::copy_n(host.outputBuffer(c), frames, output->samples[c].begin() + offset);
    }
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Times an LV2 plug-in's run() over a WAV file (thread CPU time, median of passes)"};
  std::string uri, inputPath, outputPath, noteList;
  std::vector<std::string> settings;
  int repeat = 5;
  int block = 512;
  bool printOutputs = false;
  app.add_option("uri", uri, "the plug-in's URI (found on LV2_PATH)")->required();
  app.add_option("-i,--input", inputPath,
                 "input WAV; channel k feeds the k-th audio input, main inputs first, then "
                 "side-chain inputs")
      ->required();
  app.add_option("-o,--output", outputPath, "write the last pass's output here (32-bit float WAV)");
  app.add_option("--set", settings, "control input SYMBOL=VALUE (or NAME=VALUE); repeatable")
      ->allow_extra_args(false);
  app.add_option("--repeat", repeat, "passes, each on a fresh instance")
      ->check(CLI::Range(1, 1000));
  app.add_option("--block", block, "frames per run() call")->check(CLI::Range(1, 65536));
  app.add_option("--notes", noteList,
                 "MIDI note-ons (0 … 127, comma-separated) at frame 0 of each pass, held");
  app.add_flag("--print-outputs", printOutputs, "print the control outputs after the last pass");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kExitUsage;
  }

  std::vector<int> notes;
  if (!noteList.empty() && !parseNotes(noteList, &notes)) {
    return fail(kExitUsage,
                "--notes needs key numbers 0 … 127 separated by commas, got '" + noteList + "'");
  }
  std::string error;
  std::unique_ptr<lv2bench::PluginHost> host = lv2bench::PluginHost::load(uri, &error);
  if (!host) return fail(kExitFailure, error);
  for (const std::string& text : settings) {
    std::string key;
    float value = 0.0f;
    if (!parseSetting(text, &key, &value)) {
      return fail(kExitUsage, "--set needs SYMBOL=NUMBER, got '" + text + "'");
    }
    if (!host->setControl(key, value, &error)) return fail(kExitUsage, error);
  }
  if (!notes.empty() && !host->hasMidiInput()) {
    return fail(kExitUsage, "--notes: the plug-in has no atom input that takes MIDI events");
  }

  Audio input;
  if (!readWav(inputPath, &input, &error)) return fail(kExitFailure, error);
  const auto& ports = host->audioInputs();
  if (static_cast<size_t>(input.channels) > ports.size()) {
    // An instrument takes only the file's length and rate.
    std::fprintf(stderr,
                 "lv2_run_bench: warning: %s has %d channels, the plug-in %zu audio "
                 "inputs; channels %zu … %d are not used\n",
                 inputPath.c_str(), input.channels, ports.size(), ports.size() + 1, input.channels);
  }
  std::string mapping;
  for (size_t k = 0; k < ports.size(); ++k) {
    mapping += " " + ports[k].symbol + (ports[k].sideChain ? "(side)" : "") + "<-" +
               (k < static_cast<size_t>(input.channels) ? std::to_string(k + 1) : "silence");
  }

  Audio output;
  output.channels = static_cast<int>(host->audioOutputCount());
  output.rate = input.rate;
  output.samples.assign(output.channels, std::vector<float>(input.frames(), 0.0f));
  std::vector<double> passes;
  for (int pass = 0; pass < repeat; ++pass) {
    const bool last = pass == repeat - 1;
    const double seconds = timePass(*host, input, static_cast<uint32_t>(block), notes,
                                    last && !outputPath.empty() ? &output : nullptr, &error);
    if (seconds < 0.0) return fail(kExitFailure, error);
    passes.push_back(seconds);
  }
  if (!outputPath.empty() && !writeWav(outputPath, output, &error)) {
    return fail(kExitFailure, error);
  }

  const double audioSeconds = static_cast<double>(input.frames()) / input.rate;
  const double cpu = median(passes);
  std::printf("plugin %s\n", uri.c_str());
  std::printf("inputs%s\n", mapping.c_str());
  std::printf("audio_seconds %.3f\nblock %d\n", audioSeconds, block);
  std::printf("cpu_seconds");
  for (double s : passes) std::printf(" %.6f", s);
  std::printf("\ncpu_seconds_median %.6f\n", cpu);
  std::printf("realtime_factor %.1f\n", cpu > 0.0 ? audioSeconds / cpu : INFINITY);
  if (printOutputs) {
    for (const std::string& line : host->controlOutputs()) std::printf("output %s\n", line.c_str());
  }
  return 0;
}
