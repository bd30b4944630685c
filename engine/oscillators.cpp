// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/oscillators.h"

#include <algorithm>
#include <cmath>

#include "engine/oscillators_lanes.h"
#include "engine/synth_filter.h"

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

// Tables, wrap limits and distortion of one renderer kind; fixed for a whole call.
struct StepContext {
  const float* tableA;
  const float* tableB;
  double limitA;
  double limitB;
  float distortion;
};

inline StepContext waveContext(const SynthState& s) {
  return {s.waveTableA, s.waveTableB, kWaveWrap, kWaveWrap, s.distortion};
}

inline StepContext sampleContext(const SynthState& s) {
  return {s.sampleTableA, s.sampleTableB, sampleWrap(s.loopLengthA), sampleWrap(s.loopLengthB),
          s.distortion};
}

// One sample of both oscillators free-running over the context's tables; advances the phases.
template <Combine kCombine>
inline float stepFree(float& phaseA, float& phaseB, double incA, double incB,
                      const StepContext& c) {
  const double pa = readablePhase(phaseA, c.limitA);
  const double pb = readablePhase(phaseB, c.limitB);
  const double a = interpolate(c.tableA, pa);
  const double b = interpolate(c.tableB, pb);
  bool wrapped;
  phaseA = static_cast<float>(advancePhase(pa, incA, c.limitA, wrapped));
  phaseB = static_cast<float>(advancePhase(pb, incB, c.limitB, wrapped));
  return combine<kCombine>(a, b, c.distortion);
}

// One sample with oscillator B hard-synced to A over the wave tables: when A wraps, B outputs
// entry 0 and restarts from 0 before its increment is added.
template <Combine kCombine>
inline float stepSynced(float& phaseA, float& phaseB, double incA, double incB,
                        const StepContext& c) {
  const double pa = readablePhase(phaseA, kWaveWrap);
  const double a = interpolate(c.tableA, pa);
  bool wrappedA;
  phaseA = static_cast<float>(advancePhase(pa, incA, kWaveWrap, wrappedA));
  double b;
  double pb;
  if (wrappedA) {
    b = c.tableB[0];
    pb = 0.0;
  } else {
    pb = readablePhase(phaseB, kWaveWrap);
    b = interpolate(c.tableB, pb);
  }
  bool wrappedB;
  phaseB = static_cast<float>(advancePhase(pb, incB, kWaveWrap, wrappedB));
  return combine<kCombine>(a, b, c.distortion);
}

enum class Kind { kPlain, kRing, kSync, kSyncRing, kSample };

template <Kind kKind>
inline float step(float& phaseA, float& phaseB, double incA, double incB, const StepContext& c) {
  if constexpr (kKind == Kind::kPlain || kKind == Kind::kSample)
    return stepFree<Combine::kSum>(phaseA, phaseB, incA, incB, c);
  else if constexpr (kKind == Kind::kRing)
    return stepFree<Combine::kProduct>(phaseA, phaseB, incA, incB, c);
  else if constexpr (kKind == Kind::kSync)
    return stepSynced<Combine::kSum>(phaseA, phaseB, incA, incB, c);
  else
    return stepSynced<Combine::kProduct>(phaseA, phaseB, incA, incB, c);
}

template <Kind kKind>
inline float renderOne(float ratioA, float ratioB, SynthVoice& voice, const SynthState& s,
                       const StepContext& c) {
  return step<kKind>(voice.phaseA, voice.phaseB, phaseIncrement(s.modA, ratioA, s),
                     phaseIncrement(s.modB, ratioB, s), c);
}

// Adds `count` samples of the kGroup voices slots[0 … kGroup − 1] into sum, the voices of one
// sample in slot order. The increments are those of the per-sample renderers, formed once. With
// kFilter (the last group of a chunk) each finished sum also goes through the filter into out,
// in the same pass.
template <Kind kKind, int kGroup, bool kFilter>
void addGroup(const int* slots, SynthState& s, const StepContext& c, float* sum, float* out,
              int count) {
  // Four lanes for the vector kernels; those past kGroup stay idle at phase 0, increment 0.
  float phaseA[4] = {};
  float phaseB[4] = {};
  double incA[4] = {};
  double incB[4] = {};
  for (int g = 0; g < kGroup; ++g) {
    const int k = slots[g];
    phaseA[g] = s.voices[k].phaseA;
    phaseB[g] = s.voices[k].phaseB;
    incA[g] = phaseIncrement(s.modA, static_cast<float>(s.ratioA[k]), s);
    incB[g] = phaseIncrement(s.modB, static_cast<float>(s.ratioB[k]), s);
  }
  static_assert(kGroup >= 1 && kGroup <= 4);
  static const bool lanes512 = oscLanes512Available();
  static const bool lanes2 = oscLanesAvx2Available();
  static const bool lanes = oscLanesAvailable();
  bool done = false;
  {
    const FourVoices v{.voices = kGroup,
                       .phaseA = phaseA,
                       .phaseB = phaseB,
                       .incA = incA,
                       .incB = incB,
                       .tableA = c.tableA,
                       .tableB = c.tableB,
                       .limitA = c.limitA,
                       .limitB = c.limitB,
                       .product = kKind == Kind::kRing || kKind == Kind::kSyncRing,
                       .synced = kKind == Kind::kSync || kKind == Kind::kSyncRing,
                       .distortion = c.distortion};
    done = lanes512 && oscFourVoicesAvx512(v, s, sum, out, count, kFilter);
    done = done || (lanes2 && oscFourVoicesAvx2(v, s, sum, out, count, kFilter));
    done = done || (lanes && oscFourVoicesAvx(v, s, sum, out, count, kFilter));
  }
  if (!done) {
    synth_filter::FilterRun filter(s);
    for (int n = 0; n < count; ++n) {
      float acc = sum[n];
#pragma GCC unroll 4
      for (int g = 0; g < kGroup; ++g)
        acc += step<kKind>(phaseA[g], phaseB[g], incA[g], incB[g], c);
      if constexpr (kFilter) {
        out[n] = filter.step(acc);
      } else {
        sum[n] = acc;
      }
    }
    if constexpr (kFilter) filter.finish();
  }
  for (int g = 0; g < kGroup; ++g) {
    s.voices[slots[g]].phaseA = phaseA[g];
    s.voices[slots[g]].phaseB = phaseB[g];
  }
}

// Voices in groups of four (independent phase chains side by side), the rest in one group; the
// last group's pass runs the filter.
template <Kind kKind>
void renderVoices(const int* slots, int voiceCount, SynthState& s, const StepContext& c, float* sum,
                  float* out, int count) {
  int i = 0;
  for (; i + 4 < voiceCount; i += 4) addGroup<kKind, 4, false>(slots + i, s, c, sum, out, count);
  switch (voiceCount - i) {
    case 4:
      addGroup<kKind, 4, true>(slots + i, s, c, sum, out, count);
      break;
    case 3:
      addGroup<kKind, 3, true>(slots + i, s, c, sum, out, count);
      break;
    case 2:
      addGroup<kKind, 2, true>(slots + i, s, c, sum, out, count);
      break;
    case 1:
      addGroup<kKind, 1, true>(slots + i, s, c, sum, out, count);
      break;
    default: {
      synth_filter::FilterRun filter(s);
      for (int n = 0; n < count; ++n) out[n] = filter.step(sum[n]);
      filter.finish();
      break;
    }
  }
}

}  // namespace

float oscRenderPlain(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderOne<Kind::kPlain>(ratioA, ratioB, voice, synth, waveContext(synth));
}

float oscRenderRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderOne<Kind::kRing>(ratioA, ratioB, voice, synth, waveContext(synth));
}

float oscRenderSync(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderOne<Kind::kSync>(ratioA, ratioB, voice, synth, waveContext(synth));
}

float oscRenderSyncRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderOne<Kind::kSyncRing>(ratioA, ratioB, voice, synth, waveContext(synth));
}

float oscRenderSample(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth) {
  return renderOne<Kind::kSample>(ratioA, ratioB, voice, synth, sampleContext(synth));
}

void oscRenderVoices(OscRenderer renderer, const int* slots, int voiceCount, SynthState& synth,
                     float* sum, float* out, int count) {
  if (renderer == oscRenderPlain) {
    renderVoices<Kind::kPlain>(slots, voiceCount, synth, waveContext(synth), sum, out, count);
  } else if (renderer == oscRenderRing) {
    renderVoices<Kind::kRing>(slots, voiceCount, synth, waveContext(synth), sum, out, count);
  } else if (renderer == oscRenderSync) {
    renderVoices<Kind::kSync>(slots, voiceCount, synth, waveContext(synth), sum, out, count);
  } else if (renderer == oscRenderSyncRing) {
    renderVoices<Kind::kSyncRing>(slots, voiceCount, synth, waveContext(synth), sum, out, count);
  } else if (renderer == oscRenderSample) {
    renderVoices<Kind::kSample>(slots, voiceCount, synth, sampleContext(synth), sum, out, count);
  } else {
    for (int n = 0; n < count; ++n) {
      for (int i = 0; i < voiceCount; ++i) {
        const int k = slots[i];
        sum[n] += renderer(static_cast<float>(synth.ratioA[k]), static_cast<float>(synth.ratioB[k]),
                           synth.voices[k], synth);
      }
      out[n] = synth_filter::filterSample(synth, sum[n]);
    }
  }
}
