// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-engine-demo: renders, through the engine, a chord on each of the ten waveforms and
// the seven sample sets (dry synth carrier through the room), and a sung vowel sequence vocoded
// onto the synth chord in each Sound Mode. Writes 44.1 kHz stereo WAV files into one folder.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

const char* const kWaveformNames[] = {
    "pulse",         "sawtooth", "damped-saw", "damped-triangle", "square",
    "damped-square", "circular", "curvation",  "distorted-saw",   "harsh"};
const char* const kSampleSetNames[] = {"indigo", "vox",     "strings", "airy",
                                       "voxpad", "unisono", "noise"};

struct Engine {
  std::unique_ptr<VocoderEngine> e{new VocoderEngine()};
  ~Engine() { engineRelease(*e); }
};

EngineParams baseParams() {
  EngineParams p{};
  p.filterbankAmt = 0.5f;
  p.reverbAmt = 0.001f;
  p.roomAmount = 0.3f;
  p.roomSize = 0.65f;
  p.filterCutoff = 0.85f;
  p.filterResonance = 0.2f;
  p.synthOn = 1.0f;
  p.synthTuning = 440.0f;
  p.sampleRate = kRate;
  return p;
}

bool writeWav(const std::filesystem::path& path, const std::vector<float>& a,
              const std::vector<float>& b) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(kRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "tarnwick-engine-demo: cannot write %s: %s\n", path.c_str(),
                 sf_strerror(nullptr));
    return false;
  }
  // Louder renders are scaled down to a peak of 0.89 rather than clipped.
  float peak = 0.0f;
  for (size_t i = 0; i < a.size(); ++i)
    peak = std::fmax(peak, std::fmax(std::fabs(a[i]), std::fabs(b[i])));
  const float scale = peak > 0.89f ? 0.89f / peak : 1.0f;
  std::vector<float> interleaved(2 * a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    interleaved[2 * i] = a[i] * scale;
    interleaved[2 * i + 1] = b[i] * scale;
  }
  const sf_count_t frames = static_cast<sf_count_t>(a.size());
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  sf_close(file);
  return ok;
}

// A sung vowel sequence with sibilant breaks: formant synthesis of our own.
std::vector<float> vowelSequence(int count) {
  struct Vowel {
    double f1, f2, f3;
  };
  const Vowel vowels[] = {
      {730, 1090, 2440}, {530, 1840, 2480}, {270, 2290, 3010}, {570, 840, 2410}, {300, 870, 2240}};
  std::vector<float> out(count);
  uint32_t seed = 12345;
  const int segment = static_cast<int>(kRate * 0.45);
  const int hiss = static_cast<int>(kRate * 0.08);
  for (int n = 0; n < count; ++n) {
    const int index = n / segment;
    const int within = n % segment;
    seed = seed * 1664525u + 1013904223u;
    const double white = seed / 2147483648.0 - 1.0;
    if (within < hiss) {
      out[n] = static_cast<float>(0.08 * white * std::sin(M_PI * within / hiss));
      continue;
    }
    const Vowel& v = vowels[index % 5];
    const double t = n / kRate;
    const double f0 = 110.0 * (1.0 + 0.01 * std::sin(2.0 * M_PI * 5.0 * t));
    double sample = 0.0;
    for (int h = 1; h * f0 < 5000.0; ++h) {
      const double f = h * f0;
      auto peak = [&](double centre, double width) {
        return 1.0 / (1.0 + std::pow((f - centre) / width, 2.0));
      };
      sample += (peak(v.f1, 90) + 0.5 * peak(v.f2, 120) + 0.25 * peak(v.f3, 160)) *
                std::sin(2.0 * M_PI * f * t) / std::sqrt(double(h));
    }
    const double envelope = std::sin(M_PI * (within - hiss) / double(segment - hiss));
    out[n] = static_cast<float>(0.25 * envelope * sample);
  }
  return out;
}

// Holds the chord for holdSeconds, then lets the room ring out.
void renderChord(const EngineParams& p, const std::vector<int>& notes,
                 const std::vector<float>& speech, double holdSeconds, double totalSeconds,
                 std::vector<float>& a, std::vector<float>& b) {
  Engine engine;
  VocoderEngine& e = *engine.e;
  engineSetup(p, e);
  for (int note : notes) engineNoteOn(note, 100, e);
  const int count = static_cast<int>(totalSeconds * kRate);
  const int release = static_cast<int>(holdSeconds * kRate);
  a.assign(count, 0.0f);
  b.assign(count, 0.0f);
  std::vector<float> silence(kBlock, 0.0f);
  bool released = false;
  for (int start = 0; start < count; start += kBlock) {
    const int n = std::min(kBlock, count - start);
    if (!released && start >= release) {
      engineAllNotesOff(e);
      released = true;
    }
    const float* in =
        start + n <= static_cast<int>(speech.size()) ? speech.data() + start : silence.data();
    engineProcess(in, silence.data(), a.data() + start, b.data() + start, n, e);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "demo";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "tarnwick-engine-demo: cannot create %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  const std::vector<int> chord = {48, 60, 64, 67};
  const std::vector<float> none;
  std::vector<float> a, b;
  int written = 0;

  for (int w = 0; w < 10; ++w) {
    EngineParams p = baseParams();
    p.filterbankAmt = 0.0f;
    p.carrierAmt = 1.0f;  // the synth carrier itself, dry
    p.oscAWaveform = p.oscBWaveform = static_cast<float>(w);
    p.oscBPitchCent = 7.0f;
    renderChord(p, chord, none, 2.0, 3.0, a, b);
    const auto path = folder / ("waveform-" + std::to_string(w) + "-" + kWaveformNames[w] + ".wav");
    written += writeWav(path, a, b);
  }
  for (int s = 0; s < 7; ++s) {
    EngineParams p = baseParams();
    p.filterbankAmt = 0.0f;
    p.carrierAmt = 1.0f;
    p.wavesSamples = 1.0f;
    p.oscAWaveform = p.oscBWaveform = static_cast<float>(s);
    p.oscBPitchSemi = 12.0f;
    renderChord(p, chord, none, 2.5, 3.5, a, b);
    const auto path = folder / ("sample-" + std::to_string(s) + "-" + kSampleSetNames[s] + ".wav");
    written += writeWav(path, a, b);
  }
  const std::vector<float> voice = vowelSequence(static_cast<int>(kRate * 4.5));
  const auto voicePath = folder / "voice.wav";
  written += writeWav(voicePath, voice, voice);
  for (int mode = 0; mode < 8; ++mode) {
    EngineParams p = baseParams();
    p.soundMode = static_cast<float>(mode);
    p.filterbankAmt = 1.0f;
    p.vcuvEnable = 1.0f;
    p.oscAWaveform = 1.0f;
    p.oscBWaveform = 1.0f;
    p.oscBPitchCent = 9.0f;
    renderChord(p, chord, voice, 4.5, 5.5, a, b);
    const auto path = folder / ("vocoded-mode-" + std::to_string(mode) + ".wav");
    written += writeWav(path, a, b);
  }
  std::printf("tarnwick-engine-demo: wrote %d WAV files to %s\n", written,
              std::filesystem::absolute(folder).c_str());
  return written == 10 + 7 + 1 + 8 ? 0 : 1;
}
