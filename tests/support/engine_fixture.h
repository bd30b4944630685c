// SPDX-License-Identifier: GPL-3.0-or-later
// Engine set-up and test signals shared by the engine tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/engine.h"

namespace engine_fixture {

struct EngineDeleter {
  void operator()(VocoderEngine* e) const {
    engineRelease(*e);
    delete e;
  }
};
using EnginePtr = std::unique_ptr<VocoderEngine, EngineDeleter>;

// The snapshot the effect fills from its parameters at their defaults, synth off, room off.
inline EngineParams defaultParams(float sampleRate = 44100.0f) {
  EngineParams p{};
  p.filterbankAmt = 0.5f;
  p.reverbAmt = 0.001f;
  p.soundMode = 0;
  p.roomAmount = 0.0f;
  p.roomSize = 0.65f;
  p.filterCutoff = 1.0f;
  p.synthOn = 0.0f;
  p.synthTuning = 440.0f;
  p.sampleRate = sampleRate;
  return p;
}

inline EnginePtr makeEngine(const EngineParams& params) {
  EnginePtr e(new VocoderEngine());
  engineSetup(params, *e);
  return e;
}

// Deterministic noise in −1 … 1 (xorshift), independent of the standard generator.
class Noise {
 public:
  explicit Noise(uint32_t seed = 0x12345678u) : mState(seed ? seed : 1u) {}
  float next() {
    mState ^= mState << 13;
    mState ^= mState >> 17;
    mState ^= mState << 5;
    return static_cast<float>(mState) * (2.0f / 4294967296.0f) - 1.0f;
  }

 private:
  uint32_t mState;
};

// Voiced, speech-like: a 130 Hz pulse-ish harmonic series under two formants, plus a little
// noise, with a slow syllable envelope.
inline std::vector<float> speechLike(int count, float rate = 44100.0f, uint32_t seed = 7) {
  std::vector<float> out(count);
  Noise noise(seed);
  const double f0 = 130.0;
  for (int n = 0; n < count; ++n) {
    const double t = n / static_cast<double>(rate);
    double v = 0.0;
    for (int h = 1; h <= 30; ++h) {
      const double f = f0 * h;
      const double formants = 1.0 / (1.0 + std::pow((f - 700.0) / 150.0, 2)) +
                              0.6 / (1.0 + std::pow((f - 1200.0) / 200.0, 2)) + 0.05;
      v += formants * std::sin(2.0 * M_PI * f * t);
    }
    const double syllable = 0.5 + 0.5 * std::sin(2.0 * M_PI * 3.0 * t);
    out[n] = static_cast<float>(0.2 * syllable * v + 0.01 * noise.next());
  }
  return out;
}

// A band-limited sawtooth carrier.
inline std::vector<float> sawtooth(int count, double hz = 110.0, float rate = 44100.0f) {
  std::vector<float> out(count);
  for (int n = 0; n < count; ++n) {
    double v = 0.0;
    for (int h = 1; h * hz < rate * 0.45; ++h) {
      v += std::sin(2.0 * M_PI * hz * h * n / rate) / h;
    }
    out[n] = static_cast<float>(0.3 * v);
  }
  return out;
}

inline std::vector<float> whiteNoise(int count, float gain = 0.5f, uint32_t seed = 99) {
  std::vector<float> out(count);
  Noise noise(seed);
  for (float& v : out) v = gain * noise.next();
  return out;
}

// Renders whole inputs through the engine in blocks of blockSize; returns (A, B).
inline std::pair<std::vector<float>, std::vector<float>> render(VocoderEngine& e,
                                                                const std::vector<float>& speech,
                                                                const std::vector<float>& carrier,
                                                                int blockSize) {
  const int count = static_cast<int>(speech.size());
  std::vector<float> a(count), b(count);
  for (int start = 0; start < count; start += blockSize) {
    const int n = std::min(blockSize, count - start);
    engineProcess(speech.data() + start, carrier.data() + start, a.data() + start,
                  b.data() + start, n, e);
  }
  return {a, b};
}

}  // namespace engine_fixture
