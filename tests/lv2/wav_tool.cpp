// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper for the external-host checks of Tarnwick.lv2 (32-bit float WAV files):
//   lv2_wav_tool inputs <folder> <seconds> <rate>
//       writes speech.wav (2 channels), carrier.wav (2 channels) and four.wav (main L/R, side
//       L/R: the same samples) into folder
//   lv2_wav_tool compare <expected.wav> <actual.wav>
//       exit 0 when both hold the same channels and frames sample for sample (bitwise), else
//       1 with the first difference on standard error
//   lv2_wav_tool stats <file.wav>
//       prints frames, channels and the peak; exit 1 when a sample is not finite or the file
//       is silent
// Exit status 2 for usage or file errors.
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Wav {
  int channels = 0;
  int rate = 0;
  std::vector<float> interleaved;
  size_t frames() const { return channels ? interleaved.size() / channels : 0; }
};

bool readWav(const std::string& path, Wav* out) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "lv2_wav_tool: cannot read '%s': %s\n", path.c_str(),
                 sf_strerror(nullptr));
    return false;
  }
  out->channels = info.channels;
  out->rate = info.samplerate;
  out->interleaved.resize(size_t(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, out->interleaved.data(), info.frames);
  sf_close(file);
  return got == info.frames;
}

bool writeWav(const std::string& path, int rate, int channels, const std::vector<float>& data) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "lv2_wav_tool: cannot write '%s'\n", path.c_str());
    return false;
  }
  const sf_count_t frames = static_cast<sf_count_t>(data.size() / channels);
  const bool ok = sf_writef_float(file, data.data(), frames) == frames;
  sf_close(file);
  return ok;
}

// A voiced, vowel-like modulator with noise bursts, and a sawtooth chord carrier.
int makeInputs(const std::string& folder, double seconds, int rate) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<float> speech(frames * 2), carrier(frames * 2), four(frames * 4);
  uint32_t noise = 12345u;
  const double chord[] = {130.81, 164.81, 196.0};
  for (size_t n = 0; n < frames; ++n) {
    const double t = double(n) / rate;
    const double pitch = 120.0 + 20.0 * std::sin(2.0 * M_PI * 1.3 * t);
    double voiced = 0.0;
    for (int h = 1; h <= 12; ++h) {
      const double formant =
          std::exp(-std::pow((h * pitch - 700.0 - 300.0 * std::sin(t)) / 400.0, 2));
      voiced += formant * std::sin(2.0 * M_PI * h * pitch * t) / h;
    }
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (double(noise >> 8) / double(1u << 24) - 0.5) * 0.2;
    const double envelope = 0.5 + 0.5 * std::sin(2.0 * M_PI * 3.0 * t);
    const float left =
        static_cast<float>(0.4 * envelope * voiced + (std::fmod(t, 0.5) < 0.05 ? hiss : 0.0));
    const float right = static_cast<float>(0.9 * left);
    double saw = 0.0;
    for (double f : chord) saw += 2.0 * std::fmod(f * t, 1.0) - 1.0;
    const float carrierSample = static_cast<float>(0.2 * saw);
    speech[2 * n] = left;
    speech[2 * n + 1] = right;
    carrier[2 * n] = carrierSample;
    carrier[2 * n + 1] = carrierSample * 0.8f;
    four[4 * n] = left;
    four[4 * n + 1] = right;
    four[4 * n + 2] = carrierSample;
    four[4 * n + 3] = carrierSample * 0.8f;
  }
  return writeWav(folder + "/speech.wav", rate, 2, speech) &&
                 writeWav(folder + "/carrier.wav", rate, 2, carrier) &&
                 writeWav(folder + "/four.wav", rate, 4, four)
             ? 0
             : 2;
}

int compare(const std::string& expectedPath, const std::string& actualPath) {
  Wav expected, actual;
  if (!readWav(expectedPath, &expected) || !readWav(actualPath, &actual)) return 2;
  if (expected.channels != actual.channels || expected.frames() != actual.frames()) {
    std::fprintf(stderr, "lv2_wav_tool: shapes differ: %d x %zu expected, %d x %zu actual\n",
                 expected.channels, expected.frames(), actual.channels, actual.frames());
    return 1;
  }
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < expected.interleaved.size(); ++i) {
    if (std::memcmp(&expected.interleaved[i], &actual.interleaved[i], sizeof(float)) != 0) {
      if (differing++ == 0) first = i;
    }
  }
  if (differing > 0) {
    std::fprintf(stderr,
                 "lv2_wav_tool: %zu of %zu samples differ; first at frame %zu channel %zu: "
                 "%.9g expected, %.9g actual\n",
                 differing, expected.interleaved.size(), first / expected.channels,
                 first % expected.channels, expected.interleaved[first], actual.interleaved[first]);
    return 1;
  }
  std::printf("identical: %d channels x %zu frames\n", expected.channels, expected.frames());
  return 0;
}

int stats(const std::string& path) {
  Wav wav;
  if (!readWav(path, &wav)) return 2;
  float peak = 0.0f;
  for (float s : wav.interleaved) {
    if (!std::isfinite(s)) {
      std::fprintf(stderr, "lv2_wav_tool: '%s' holds a sample that is not finite\n", path.c_str());
      return 1;
    }
    peak = std::max(peak, std::fabs(s));
  }
  std::printf("%zu frames, %d channels, peak %.6f\n", wav.frames(), wav.channels, peak);
  return peak > 0.0f ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "inputs" && argc == 5)
    return makeInputs(argv[2], std::atof(argv[3]), std::atoi(argv[4]));
  if (command == "compare" && argc == 4) return compare(argv[2], argv[3]);
  if (command == "stats" && argc == 3) return stats(argv[2]);
  std::fprintf(stderr,
               "usage: lv2_wav_tool inputs <folder> <seconds> <rate> | compare <expected> "
               "<actual> | stats <file>\n");
  return 2;
}
