// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/oscillators.h"

#include <algorithm>
#include <cmath>

namespace {

// The wave tables wrap at 1023 so that interpolation reads entries 0 … 1024.
constexpr double kWaveWrap = 1023.0;
// The largest sample-table wrap limit whose interpolation (entries 0 … limit + 1) stays inside.
constexpr int kMaxSampleWrap = kSampleTableSize - 2;

// Table entries per sample.
inline double phaseIncrement(double mod, float ratio, const SynthState& s) {
  return std::fabs(s.baseIncrement * mod * s.bendFactor * ratio) / s.octaveDivisor;
}

inline double sampleWrap(int32_t loopLength) {
  return static_cast<double>(std::min<int32_t>(loopLength, kMaxSampleWrap));
}

// A stored phase as a read position: anything outside [0, limit] (NaN included) restarts at 0.
inline double readablePhase(float phase, double limit) {
  const double p = phase;
  return (p >= 0.0 && p <= limit) ? p : 0.0;
}

// Adds the increment and reduces the phase by the limit as often as needed, in constant time.
// `wrapped` tells whether the limit was crossed. A result that is not a valid position restarts
// at 0, so a NaN or infinite increment never indexes outside the table.
inline double advancePhase(double p, double increment, double limit, bool& wrapped) {
  p += increment;
  wrapped = p > limit;
  if (wrapped) {
    p -= limit;
    if (p > limit) p = std::fmod(p, limit);
  }
  return (p >= 0.0 && p <= limit) ? p : 0.0;
}

// Linear interpolation at position p, 0 ≤ p ≤ limit; reads entries i and i + 1.
inline double interpolate(const float* table, double p) {
  const int i = static_cast<int>(p);
  const double t0 = table[i];
  return t0 + (static_cast<double>(table[i + 1]) - t0) * (p - i);
}

// The soft-clipping stage: v = |x| − 0.5; out = v × distortion × (|v| − 0.25) + x.
inline float distort(double x, float distortion) {
  const float v = static_cast<float>(std::fabs(x) - 0.5);
  return static_cast<float>(v * static_cast<double>(distortion) * (std::fabs(v) - 0.25) + x);
}

enum class Combine { kSum, kProduct };

template <Combine kCombine>
inline float combine(double a, double b, float distortion) {
  return distort(kCombine == Combine::kSum ? a + b : a * b, distortion);
}

// Both oscillators free-running over the given tables.
template <Combine kCombine>
inline float renderFree(float ratioA, float ratioB, SynthVoice& voice, const SynthState& s,
                        const float* tableA, const float* tableB, double limitA, double limitB) {
  const double pa = readablePhase(voice.phaseA, limitA);
  const double pb = readablePhase(voice.phaseB, limitB);
  const double a = interpolate(tableA, pa);
  const double b = interpolate(tableB, pb);
  bool wrapped;
  voice.phaseA =
      static_cast<float>(advancePhase(pa, phaseIncrement(s.modA, ratioA, s), limitA, wrapped));
  voice.phaseB =
      static_cast<float>(advancePhase(pb, phaseIncrement(s.modB, ratioB, s), limitB, wrapped));
  return combine<kCombine>(a, b, s.distortion);
}

// Oscillator B hard-synced to A over the wave tables: when A wraps, B outputs entry 0 and
// restarts from 0 before its increment is added.
template <Combine kCombine>
inline float renderSynced(float ratioA, float ratioB, SynthVoice& voice, const SynthState& s) {
  const double pa = readablePhase(voice.phaseA, kWaveWrap);
  const double a = interpolate(s.waveTableA, pa);
  bool wrappedA;
  voice.phaseA =
      static_cast<float>(advancePhase(pa, phaseIncrement(s.modA, ratioA, s), kWaveWrap, wrappedA));
  double b;
  double pb;
  if (wrappedA) {
    b = s.waveTableB[0];
    pb = 0.0;
  } else {
    pb = readablePhase(voice.phaseB, kWaveWrap);
    b = interpolate(s.waveTableB, pb);
  }
  bool wrappedB;
  voice.phaseB =
      static_cast<float>(advancePhase(pb, phaseIncrement(s.modB, ratioB, s), kWaveWrap, wrappedB));
  return combine<kCombine>(a, b, s.distortion);
}

}  // namespace

float oscRenderPlain(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderFree<Combine::kSum>(ratioA, ratioB, voice, synth, synth.waveTableA, synth.waveTableB,
                                   kWaveWrap, kWaveWrap);
}

float oscRenderRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderFree<Combine::kProduct>(ratioA, ratioB, voice, synth, synth.waveTableA,
                                       synth.waveTableB, kWaveWrap, kWaveWrap);
}

float oscRenderSync(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderSynced<Combine::kSum>(ratioA, ratioB, voice, synth);
}

float oscRenderSyncRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderSynced<Combine::kProduct>(ratioA, ratioB, voice, synth);
}

float oscRenderSample(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderFree<Combine::kSum>(ratioA, ratioB, voice, synth, synth.sampleTableA,
                                   synth.sampleTableB, sampleWrap(synth.loopLengthA),
                                   sampleWrap(synth.loopLengthB));
}
