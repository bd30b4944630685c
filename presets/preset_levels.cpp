// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-preset-levels [--speech SPEECH.wav] FILE...: one line per audio file: name, peak and
// RMS (dBFS, all channels), spectral centroid (Hz, of the summed channels), the nearest other
// file by octave-band spectrum (the RMS of the band-level differences, dB), with --speech the
// correlation of its frame levels with the speech's (how closely it follows the speech), and
// whether it is sound: every sample finite, peak below full scale, RMS above -60 dBFS. Exit
// status 0 when every file is sound, 1 for a usage error, 2 otherwise.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double kSilenceDb = -60.0;
constexpr size_t kWindow = 2048;  // analysis frames, Hann-windowed
constexpr int kBands = 8;         // octave bands centred on 63 Hz … 8 kHz
constexpr double kLowestBandHz = 63.0;

double dbfs(double value) { return 20.0 * std::log10(std::max(value, 1e-12)); }

struct Analysis {
  std::string name;
  bool readable = false;
  bool finite = true;
  double peak = 0.0, rms = 0.0, centroid = 0.0;
  std::array<double, kBands> bandDb{};  // band power relative to the total, dB
  std::vector<double> frameLevels;      // RMS of each frame of kWindow samples
};

void fft(std::vector<std::complex<double>>& x) {
  const size_t n = x.size();
  const double pi = std::acos(-1.0);
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2.0 * pi / len);
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w = 1.0;
      for (size_t k = 0; k < len / 2; ++k, w *= step) {
        const auto u = x[i + k], v = x[i + k + len / 2] * w;
        x[i + k] = u + v;
        x[i + k + len / 2] = u - v;
      }
    }
  }
}

// Centroid, octave bands and frame levels of a mono signal.
void analyseSpectrum(const std::vector<float>& mono, double rate, Analysis& a) {
  const double pi = std::acos(-1.0);
  std::vector<std::complex<double>> frame(kWindow);
  std::array<double, kBands> bands{};
  double weighted = 0.0, total = 0.0;
  for (size_t start = 0; start + kWindow <= mono.size(); start += kWindow) {
    double energy = 0.0;
    for (size_t n = 0; n < kWindow; ++n) {
      const double s = mono[start + n];
      energy += s * s;
      frame[n] = s * (0.5 - 0.5 * std::cos(2.0 * pi * n / kWindow));
    }
    a.frameLevels.push_back(std::sqrt(energy / kWindow));
    fft(frame);
    for (size_t k = 1; k < kWindow / 2; ++k) {
      const double power = std::norm(frame[k]), hz = k * rate / kWindow;
      weighted += power * hz;
      total += power;
      const int band = static_cast<int>(std::floor(std::log2(hz / kLowestBandHz) + 0.5));
      if (band >= 0 && band < kBands) bands[band] += power;
    }
  }
  a.centroid = total > 0.0 ? weighted / total : 0.0;
  for (int b = 0; b < kBands; ++b) {
    a.bandDb[b] = 10.0 * std::log10(std::max(bands[b] / std::max(total, 1e-30), 1e-12));
  }
}

Analysis analyse(const char* path) {
  Analysis a;
  a.name = std::filesystem::path(path).stem().string();
  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file || info.channels < 1) return a;
  std::vector<float> samples(size_t(info.frames) * info.channels);
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  a.readable = true;
  double sum = 0.0;
  std::vector<float> mono(size_t(info.frames), 0.0f);
  for (size_t i = 0; i < samples.size(); ++i) {
    const float s = samples[i];
    if (!std::isfinite(s)) {
      a.finite = false;
      continue;
    }
    a.peak = std::max(a.peak, double(std::fabs(s)));
    sum += double(s) * s;
    mono[i / info.channels] += s / info.channels;
  }
  a.rms = samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
  analyseSpectrum(mono, info.samplerate, a);
  return a;
}

// Pearson correlation of the two level sequences over their common length.
double correlation(const std::vector<double>& x, const std::vector<double>& y) {
  const size_t n = std::min(x.size(), y.size());
  if (n < 2) return 0.0;
  double mx = 0.0, my = 0.0;
  for (size_t i = 0; i < n; ++i) mx += x[i] / n, my += y[i] / n;
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (size_t i = 0; i < n; ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxx > 0.0 && syy > 0.0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

double bandDistance(const Analysis& a, const Analysis& b) {
  double sum = 0.0;
  for (int i = 0; i < kBands; ++i) sum += (a.bandDb[i] - b.bandDb[i]) * (a.bandDb[i] - b.bandDb[i]);
  return std::sqrt(sum / kBands);
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const char* speechPath = nullptr;
  if (argc > 2 && !std::strcmp(argv[1], "--speech")) {
    speechPath = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: tarnwick-preset-levels [--speech SPEECH.wav] FILE...\n");
    return 1;
  }
  Analysis speech;
  if (speechPath) {
    speech = analyse(speechPath);
    if (!speech.readable) {
      std::fprintf(stderr, "tarnwick-preset-levels: cannot read '%s'\n", speechPath);
      return 2;
    }
  }
  std::vector<Analysis> files;
  for (int i = first; i < argc; ++i) files.push_back(analyse(argv[i]));
  bool allSound = true;
  std::printf("%-24s %6s %6s %9s  %-24s %6s %7s  %s\n", "preset", "peak", "RMS", "centroid",
              "nearest by spectrum", "dB", "follows", "verdict");
  for (const Analysis& a : files) {
    if (!a.readable) {
      std::printf("%-24s cannot be read\n", a.name.c_str());
      allSound = false;
      continue;
    }
    const Analysis* nearest = nullptr;
    for (const Analysis& b : files) {
      if (&b == &a || !b.readable) continue;
      if (!nearest || bandDistance(a, b) < bandDistance(a, *nearest)) nearest = &b;
    }
    const char* verdict = !a.finite                 ? "NOT FINITE"
                          : a.peak >= 1.0           ? "CLIPS"
                          : dbfs(a.rms) < kSilenceDb ? "SILENT"
                                                    : "ok";
    allSound = allSound && !std::strcmp(verdict, "ok");
    std::printf("%-24s %6.1f %6.1f %9.0f  %-24s %6.1f ", a.name.c_str(), dbfs(a.peak),
                dbfs(a.rms), a.centroid, nearest ? nearest->name.c_str() : "-",
                nearest ? bandDistance(a, *nearest) : 0.0);
    if (speechPath) {
      std::printf("%7.2f  %s\n", correlation(a.frameLevels, speech.frameLevels), verdict);
    } else {
      std::printf("%7s  %s\n", "-", verdict);
    }
  }
  return allSound ? 0 : 2;
}
