// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/equaliser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "component/equaliser_lanes.h"
#include "engine/subnormal_guard.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Left and right travel together as the two lanes of one vector: every lane computes exactly
// what a scalar loop over that channel would.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
using FloatPair = float __attribute__((vector_size(2 * sizeof(float))));
using IntPair = int __attribute__((vector_size(2 * sizeof(int))));

// |v| by clearing the sign bit, as the kernels do.
inline FloatPair magnitude(FloatPair v) {
  return reinterpret_cast<FloatPair>(reinterpret_cast<IntPair>(v) & 0x7fffffff);
}

// A second-order section of each channel divided through by its a0. The recurrences run in double
// precision within a block: in single precision the rounding noise of the low bands, whose poles
// lie close to z = 1, comes within 57 to 78 dB of the signal.
struct Quotients {
  Pair b0, b1, b2, a1, a2;
};

Quotients quotients(const EqBandFilter& l, const EqBandFilter& r) {
  return {Pair{l.qb0, r.qb0}, Pair{l.qb1, r.qb1}, Pair{l.qb2, r.qb2}, Pair{l.qa1, r.qa1},
          Pair{l.qa2, r.qa2}};
}

struct SectionState {
  Pair x1, x2, y1, y2;
};

// The analyser section is ab0·(1 − z⁻²) / (1 + aa1·z⁻¹ + aa2·z⁻²) divided through by aa0, as
// computeBand makes it (ab1 = 0, ab2 = −ab0). It only feeds the band levels, so it runs in single
// precision on w = output / ab0; ab0 scales the block's sum of |w| instead of every sample.
struct AnalyserQuotients {
  float a1, a2;
  double scale;  // ab0 / aa0
};

AnalyserQuotients analyserQuotients(const EqBandFilter& f) {
  return {f.qaa1, f.qaa2, f.qScale};
}

SectionState load(float lx1, float lx2, float ly1, float ly2, float rx1, float rx2, float ry1,
                  float ry2) {
  return {Pair{lx1, rx1}, Pair{lx2, rx2}, Pair{ly1, ry1}, Pair{ly2, ry2}};
}

// Direct form I; the feedback term of y1 comes last so that it alone is on the recursive path.
inline Pair step(const Quotients& q, SectionState& s, Pair x) {
  const Pair y = (q.b0 * x + q.b1 * s.x1 + q.b2 * s.x2 - q.a2 * s.y2) - q.a1 * s.y1;
  s.x2 = s.x1;
  s.x1 = x;
  s.y2 = s.y1;
  s.y1 = y;
  return y;
}

// One section's state as stored: subnormal values flushed to zero, and all four cleared when any
// is not finite. Comparisons only (no classification by bits), so that it gives the same values
// in any floating-point mode and a loop over lanes vectorises.
inline void keepState(float v[4]) {
  constexpr float kMax = std::numeric_limits<float>::max();
  constexpr float kMinNormal = std::numeric_limits<float>::min();
  bool finite = true;
  for (int k = 0; k < 4; ++k) finite = finite & (std::fabs(v[k]) <= kMax);
  for (int k = 0; k < 4; ++k) {
    const bool subnormal = (std::fabs(v[k]) < kMinNormal) & (v[k] != 0.0f);
    v[k] = (finite & !subnormal) ? v[k] : 0.0f;
  }
}

void store(float x1v, float x2v, float y1v, float y2v, float& x1, float& x2, float& y1, float& y2) {
  float v[4] = {x1v, x2v, y1v, y2v};
  keepState(v);
  x1 = v[0], x2 = v[1], y1 = v[2], y2 = v[3];
}

// One lane of a double-precision state, rounded to float (a value beyond the float range counts
// as not finite).
void store(const SectionState& s, int lane, float& x1, float& x2, float& y1, float& y2) {
  store(float(s.x1[lane]), float(s.x2[lane]), float(s.y1[lane]), float(s.y2[lane]), x1, x2, y1, y2);
}

// The level of one band from the sums of |w| of its two channels over nFrames samples.
float bandLevel(const EqBandFilter& left, const EqBandFilter& right, float sumLeft, float sumRight,
                int nFrames) {
  const double meanLeft = sumLeft * analyserQuotients(left).scale / nFrames;
  const double meanRight = sumRight * analyserQuotients(right).scale / nFrames;
  return static_cast<float>((meanLeft + meanRight) * kEqLevelScale);
}

// One band's analysers on both channels over a block: loaded from the band, stepped once per
// sample, stored back with the block's level.
struct AnalyserPair {
  FloatPair aa1, aa2, ax1, ax2, aw1, aw2;
  FloatPair sum{0.0f, 0.0f};

  AnalyserPair(const EqBandFilter& left, const EqBandFilter& right)
      : aa1{left.qaa1, right.qaa1}, aa2{left.qaa2, right.qaa2}, ax1{left.ax1, right.ax1},
        ax2{left.ax2, right.ax2}, aw1{left.ay1, right.ay1}, aw2{left.ay2, right.ay2} {}

  // out: the band's output samples of both channels, as the buffers hold them.
  inline void step(FloatPair out) {
    const FloatPair w = ((out - ax2) - aa2 * aw2) - aa1 * aw1;
    ax2 = ax1;
    ax1 = out;
    aw2 = aw1;
    aw1 = w;
    sum += magnitude(w);
  }

  // Stores the state and returns the band's level of this block.
  float finish(EqBandFilter& left, EqBandFilter& right, int nFrames) const {
    store(ax1[0], ax2[0], aw1[0], aw2[0], left.ax1, left.ax2, left.ay1, left.ay2);
    store(ax1[1], ax2[1], aw1[1], aw2[1], right.ax1, right.ax2, right.ay1, right.ay2);
    return bandLevel(left, right, sum[0], sum[1], nFrames);
  }
};

void makeUsable(EqBandFilter& f) {
  if (f.valid) return;
  computeBand(f, kEqFallbackSampleRate, kEqFlatFrequency, 0.0, kEqQ);
  f.stageGain = 1.0f;
}

// One band's analysers on both channels: the same recurrence as in runBand, on samples that no
// section of the band changed (a band passed over). Returns the band's level of this block.
float analyseBand(EqBandFilter& left, EqBandFilter& right, const float* leftIn,
                  const float* rightIn, int nFrames) {
  AnalyserPair analysers(left, right);
  for (int k = 0; k < nFrames; ++k) analysers.step(FloatPair{leftIn[k], rightIn[k]});
  return analysers.finish(left, right, nFrames);
}

// Equalises both channels with one band from the inputs to the outputs (each input its output or
// apart from both outputs) and returns the band's level of this block. Out of line, so that its
// loop has the registers to itself.
__attribute__((noinline)) float runBand(EqBandFilter& left, EqBandFilter& right,
                                        const float* leftIn, const float* rightIn, float* leftOut,
                                        float* rightOut, int nFrames) {
  const Quotients eq = quotients(left, right);
  const Pair gain{left.stageGain, right.stageGain};
  SectionState s = load(left.x1, left.x2, left.y1, left.y2, right.x1, right.x2, right.y1, right.y2);
  AnalyserPair analysers(left, right);
  // The recurrences of the two channels and of equaliser and analyser are independent, so one
  // pass gives the same values as equalising left, then right, then analysing left, then right.
  for (int k = 0; k < nFrames; ++k) {
    const Pair y = step(eq, s, Pair{leftIn[k], rightIn[k]}) * gain;
    // The analysers see the samples as the buffers hold them, rounded to float.
    const FloatPair out = __builtin_convertvector(y, FloatPair);
    leftOut[k] = out[0];
    rightOut[k] = out[1];
    analysers.step(out);
  }
  store(s, 0, left.x1, left.x2, left.y1, left.y2);
  store(s, 1, right.x1, right.x2, right.y1, right.y2);
  return analysers.finish(left, right, nFrames);
}

// A section that is the identity as it stands: b = a (so its quotients are 1, q, r, q, r), stage
// gain 1, and its previous inputs equal to its previous outputs. Exact comparisons: a band a
// hundredth of a dB off is not flat.
bool isIdentity(const EqBandFilter& f) {
  return f.qb0 == 1.0 && f.qb1 == f.qa1 && f.qb2 == f.qa2 && f.stageGain == 1.0f && f.x1 == f.y1 &&
         f.x2 == f.y2;
}

// Makes every band usable and marks the bands whose sections run; returns how many run.
int chooseActive(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                 bool passOverFlat, bool active[kEqBandCount]) {
  int count = 0;
  for (int i = 0; i < kEqBandCount; ++i) {
    makeUsable(left[i]);
    makeUsable(right[i]);
    active[i] = !(passOverFlat && isIdentity(left[i]) && isIdentity(right[i]));
    count += active[i];
  }
  return count;
}

// A band passed over ends the block in the identity's state: its previous inputs and outputs are
// the last two samples its analysers saw, as they stored them.
void keepIdentityState(EqBandFilter& f) {
  f.x1 = f.y1 = f.ax1;
  f.x2 = f.y2 = f.ax2;
}

// The bands in lane order (see EqLanes) as the lanes of a wavefront kernel; the quotients as
// runBand forms them.
void loadLanes(EqLanes& lanes, const EqBandFilter left[kEqBandCount],
               const EqBandFilter right[kEqBandCount], const bool active[kEqBandCount]) {
  // Every field a kernel reads is written (analyser lanes 20 … 23 are not read): the pad section
  // lanes from 2 · active on hold zeros.
  int source[kEqBandCount];
  int activeCount = 0, passedOver = 0;
  for (int i = 0; i < kEqBandCount; ++i) activeCount += active[i];
  for (int l = 0; l < kEqLaneCount; ++l) lanes.stage[l] = l / 2;
  // Pad lanes past the bands' lanes here, those of passed-over bands below: a fixed count of
  // lanes per field, so that the compiler writes each field in a few stores.
  auto zeroSection = [&lanes](int l) {
    lanes.b0[l] = lanes.b1[l] = lanes.b2[l] = lanes.a1[l] = lanes.a2[l] = lanes.gain[l] = 0.0;
    lanes.x1[l] = lanes.x2[l] = lanes.y1[l] = lanes.y2[l] = 0.0;
  };
  for (int l = kEqUsedLanes; l < kEqLaneCount; ++l) zeroSection(l);
  for (int j = kEqBandCount; j < 16; ++j) lanes.source[j] = 0;
  lanes.active = 0;
  for (int i = 0; i < kEqBandCount; ++i) {
    if (active[i]) ++lanes.active;
    source[i] = lanes.active;
    lanes.band[active[i] ? lanes.active - 1 : activeCount + passedOver++] = i;
  }
  for (int j = 0; j < kEqBandCount; ++j) {
    const int i = lanes.band[j];
    for (int c = 0; c < 2; ++c) {
      const EqBandFilter& f = c == 0 ? left[i] : right[i];
      const int l = 2 * j + c;
      if (j < activeCount) {
        const Quotients eq = quotients(left[i], right[i]);
        lanes.b0[l] = eq.b0[c], lanes.b1[l] = eq.b1[c], lanes.b2[l] = eq.b2[c];
        lanes.a1[l] = eq.a1[c], lanes.a2[l] = eq.a2[c];
        lanes.gain[l] = f.stageGain;
        lanes.x1[l] = f.x1, lanes.x2[l] = f.x2, lanes.y1[l] = f.y1, lanes.y2[l] = f.y2;
      } else {
        zeroSection(l);
      }
      const AnalyserQuotients bp = analyserQuotients(f);
      lanes.aa1[l] = bp.a1, lanes.aa2[l] = bp.a2;
      lanes.ax1[l] = f.ax1, lanes.ax2[l] = f.ax2, lanes.aw1[l] = f.ay1, lanes.aw2[l] = f.ay2;
      lanes.sum[l] = 0.0f;
      lanes.skew[l] = kEqWavefrontSkew * source[i];
    }
    lanes.source[j] = source[i];
  }
}

// keepState of the four state values of each of the bands' lanes (0 … kEqUsedLanes − 1), rounded
// to float, lane by lane in a loop the compiler vectorises.
template <class T>
void keepLanes(const T* v0, const T* v1, const T* v2, const T* v3, float out[4][kEqLaneCount]) {
  for (int l = 0; l < kEqUsedLanes; ++l) {
    float v[4] = {float(v0[l]), float(v1[l]), float(v2[l]), float(v3[l])};
    keepState(v);
    for (int k = 0; k < 4; ++k) out[k][l] = v[k];
  }
}

void storeLanes(const EqLanes& lanes, EqBandFilter left[kEqBandCount],
                EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount], int nFrames) {
  alignas(64) float analysers[4][kEqLaneCount];
  alignas(64) float sections[4][kEqLaneCount];
  keepLanes(lanes.ax1, lanes.ax2, lanes.aw1, lanes.aw2, analysers);
  keepLanes(lanes.x1, lanes.x2, lanes.y1, lanes.y2, sections);
  for (int j = 0; j < kEqBandCount; ++j) {
    const int i = lanes.band[j];
    for (int c = 0; c < 2; ++c) {
      EqBandFilter& f = c == 0 ? left[i] : right[i];
      const int l = 2 * j + c;
      f.ax1 = analysers[0][l], f.ax2 = analysers[1][l];
      f.ay1 = analysers[2][l], f.ay2 = analysers[3][l];
      if (j < lanes.active) {
        f.x1 = sections[0][l], f.x2 = sections[1][l];
        f.y1 = sections[2][l], f.y2 = sections[3][l];
      } else {
        keepIdentityState(f);
      }
    }
    const float level =
        bandLevel(left[i], right[i], lanes.sum[2 * j], lanes.sum[2 * j + 1], nFrames);
    if (std::isfinite(level) && level > bandLevels[i]) bandLevels[i] = level;
  }
}

// The input copied to the output where they are apart, for a block that no section changed.
void copyThrough(const float* in, float* out, int nFrames) {
  if (in != out) std::memcpy(out, in, sizeof(float) * static_cast<size_t>(nFrames));
}

// The portable per-band loop over the bands chooseActive marked.
void runBands(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
              float bandLevels[kEqBandCount], const bool active[kEqBandCount], const float* leftIn,
              const float* rightIn, float* leftOut, float* rightOut, int nFrames) {
  // The first active band reads the inputs; every later one works on the outputs in place.
  // A band passed over analyses the samples as they stand.
  const float* sourceLeft = leftIn;
  const float* sourceRight = rightIn;
  for (int i = 0; i < kEqBandCount; ++i) {
    float level;
    if (active[i]) {
      level = runBand(left[i], right[i], sourceLeft, sourceRight, leftOut, rightOut, nFrames);
      sourceLeft = leftOut;
      sourceRight = rightOut;
    } else {
      level = analyseBand(left[i], right[i], sourceLeft, sourceRight, nFrames);
      keepIdentityState(left[i]);
      keepIdentityState(right[i]);
    }
    if (std::isfinite(level) && level > bandLevels[i]) bandLevels[i] = level;
  }
}

float clampedGain(float gainDb) {
  return std::isfinite(gainDb) ? std::clamp(gainDb, kEqGainMinDb, kEqGainMaxDb) : 0.0f;
}

}  // namespace

void eqResetBank(EqBandFilter bank[kEqBandCount]) {
  std::memset(bank, 0, sizeof(EqBandFilter) * kEqBandCount);
  for (int i = 0; i < kEqBandCount; ++i) bank[i].stageGain = 1.0f;
}

void computeBand(EqBandFilter& filter, double sampleRate, double frequency, double gainDb,
                 double q) {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) sampleRate = kEqFallbackSampleRate;
  if (!(q > 0.0) || !std::isfinite(q)) q = kEqQ;
  if (!(frequency > 0.0) || !std::isfinite(gainDb)) {
    frequency = kEqFlatFrequency;
    gainDb = 0.0;
  }
  frequency = std::min(frequency, kEqMaxCentreFraction * sampleRate);

  const float a = static_cast<float>(std::pow(10.0, gainDb / 40.0));
  const float w = static_cast<float>(2.0 * kPi * frequency / sampleRate);
  const float alpha = std::sin(w) / static_cast<float>(2.0 * q);
  const float c = -2.0f * std::cos(w);

  filter.b0 = 1.0f + alpha * a;
  filter.b1 = c;
  filter.b2 = 1.0f - alpha * a;
  filter.a0 = 1.0f + alpha / a;
  filter.a1 = c;
  filter.a2 = 1.0f - alpha / a;

  filter.ab0 = alpha;
  filter.ab1 = 0.0f;
  filter.ab2 = -alpha;
  filter.aa0 = 1.0f + alpha;
  filter.aa1 = c;
  filter.aa2 = 1.0f - alpha;

  const double a0 = filter.a0, aa0 = filter.aa0;
  filter.qb0 = filter.b0 / a0;
  filter.qb1 = filter.b1 / a0;
  filter.qb2 = filter.b2 / a0;
  filter.qa1 = filter.a1 / a0;
  filter.qa2 = filter.a2 / a0;
  filter.qaa1 = static_cast<float>(filter.aa1 / aa0);
  filter.qaa2 = static_cast<float>(filter.aa2 / aa0);
  filter.qScale = filter.ab0 / aa0;
  filter.valid = 1;
}

void eqInitialiseBanks(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                       double sampleRate) {
  for (EqBandFilter* bank : {left, right}) {
    for (int i = 0; i < kEqBandCount; ++i) {
      bank[i].stageGain = 1.0f;
      computeBand(bank[i], sampleRate, kEqCentreFrequencies[i], kEqFixedOffsetsDb[i], kEqQ);
    }
  }
}

void updateEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                     const float bandGainsDb[kEqBandCount], float outGainDb, double sampleRate) {
  const double outGain = std::pow(10.0, clampedGain(outGainDb) / 20.0);
  const float stageGain = static_cast<float>(std::pow(outGain, 1.0 / kEqBandCount));
  for (EqBandFilter* bank : {left, right}) {
    for (int i = 0; i < kEqBandCount; ++i) {
      bank[i].stageGain = stageGain;
      computeBand(bank[i], sampleRate, kEqCentreFrequencies[i],
                  kEqFixedOffsetsDb[i] + clampedGain(bandGainsDb[i]), kEqQ);
    }
  }
}

void runEqualiserWith(EqKernel kernel, EqBandFilter left[kEqBandCount],
                      EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount],
                      const float* leftIn, const float* rightIn, float* leftOut, float* rightOut,
                      int nFrames, bool passOverFlat) {
  if (nFrames <= 0 || !leftIn || !rightIn || !leftOut || !rightOut) return;
  SubnormalGuard subnormalsOff;
  bool active[kEqBandCount];
  const int activeCount = chooseActive(left, right, passOverFlat, active);
  if (kernel != EqKernel::kPortable && eqKernelSupported(kernel)) {
    EqLanes lanes;
    loadLanes(lanes, left, right, active);
    if (kernel == EqKernel::kAvx512) {
      eqRunLanesAvx512(lanes, leftIn, rightIn, leftOut, rightOut, nFrames);
    } else {
      eqRunLanesAvx(lanes, leftIn, rightIn, leftOut, rightOut, nFrames);
    }
    storeLanes(lanes, left, right, bandLevels, nFrames);
  } else {
    runBands(left, right, bandLevels, active, leftIn, rightIn, leftOut, rightOut, nFrames);
  }
  if (activeCount == 0) {
    copyThrough(leftIn, leftOut, nFrames);
    copyThrough(rightIn, rightOut, nFrames);
  }
}

void runEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                  float bandLevels[kEqBandCount], float* leftSamples, float* rightSamples,
                  int nFrames) {
  runEqualiser(left, right, bandLevels, leftSamples, rightSamples, leftSamples, rightSamples,
               nFrames);
}

void runEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                  float bandLevels[kEqBandCount], const float* leftIn, const float* rightIn,
                  float* leftOut, float* rightOut, int nFrames) {
  // The wavefront spends kEqWavefrontTrail partly idle steps on every block: short blocks are
  // cheaper band by band.
  const EqKernel kernel = nFrames >= kEqWavefrontMinFrames ? eqBestKernel() : EqKernel::kPortable;
  runEqualiserWith(kernel, left, right, bandLevels, leftIn, rightIn, leftOut, rightOut, nFrames);
}
