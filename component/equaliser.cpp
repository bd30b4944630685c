// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/equaliser.h"
#include "engine/subnormal_guard.h"

#include <algorithm>
#include <cmath>
#include <cstring>


namespace {

constexpr double kPi = 3.14159265358979323846;



// Left and right travel together as the two lanes of one vector: every lane computes exactly
// what a scalar loop over that channel would.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
using FloatPair = float __attribute__((vector_size(2 * sizeof(float))));

// A second-order section of each channel divided through by its a0. The recurrences run in double
// precision within a block: in single precision the rounding noise of the low bands, whose poles
// lie close to z = 1, comes within 57 to 78 dB of the signal.
struct Quotients {
  Pair b0, b1, b2, a1, a2;
};

Quotients quotients(const float (&l)[6], const float (&r)[6]) {
  const Pair a0{l[3], r[3]};
  return {Pair{l[0], r[0]} / a0, Pair{l[1], r[1]} / a0, Pair{l[2], r[2]} / a0,
          Pair{l[4], r[4]} / a0, Pair{l[5], r[5]} / a0};
}

struct SectionState {
  Pair x1, x2, y1, y2;
};

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

inline Pair absolute(Pair v) {
  return v < 0.0 ? -v : v;
}

// One lane of the state as stored: rounded to float, subnormal values flushed to zero, and all
// four cleared when any is not finite (or overflows the float range).
void store(const SectionState& s, int lane, float& x1, float& x2, float& y1, float& y2) {
  float v[4] = {float(s.x1[lane]), float(s.x2[lane]), float(s.y1[lane]), float(s.y2[lane])};
  bool finite = true;
  for (float& f : v) {
    finite = finite && std::isfinite(f);
    if (std::fpclassify(f) == FP_SUBNORMAL) f = 0.0f;
  }
  if (!finite) v[0] = v[1] = v[2] = v[3] = 0.0f;
  x1 = v[0], x2 = v[1], y1 = v[2], y2 = v[3];
}

void makeUsable(EqBandFilter& f) {
  if (f.valid) return;
  computeBand(f, kEqFallbackSampleRate, kEqFlatFrequency, 0.0, kEqQ);
  f.stageGain = 1.0f;
}

// Equalises both channels with one band in place and returns the band's level of this block.
float runBand(EqBandFilter& left, EqBandFilter& right, float* __restrict leftSamples,
              float* __restrict rightSamples, int nFrames) {
  makeUsable(left);
  makeUsable(right);
  const Quotients eq = quotients({left.b0, left.b1, left.b2, left.a0, left.a1, left.a2},
                                 {right.b0, right.b1, right.b2, right.a0, right.a1, right.a2});
  const Quotients bp =
      quotients({left.ab0, left.ab1, left.ab2, left.aa0, left.aa1, left.aa2},
                {right.ab0, right.ab1, right.ab2, right.aa0, right.aa1, right.aa2});
  const Pair gain{left.stageGain, right.stageGain};
  SectionState s = load(left.x1, left.x2, left.y1, left.y2, right.x1, right.x2, right.y1, right.y2);
  SectionState a =
      load(left.ax1, left.ax2, left.ay1, left.ay2, right.ax1, right.ax2, right.ay1, right.ay2);
  Pair sum{0.0, 0.0};
  // The recurrences of the two channels and of equaliser and analyser are independent, so one
  // pass gives the same values as equalising left, then right, then analysing left, then right.
  for (int k = 0; k < nFrames; ++k) {
    const Pair y = step(eq, s, Pair{leftSamples[k], rightSamples[k]}) * gain;
    // The analysers see the samples as the buffers hold them, rounded to float.
    const FloatPair out = __builtin_convertvector(y, FloatPair);
    leftSamples[k] = out[0];
    rightSamples[k] = out[1];
    sum += absolute(step(bp, a, __builtin_convertvector(out, Pair)));
  }
  store(s, 0, left.x1, left.x2, left.y1, left.y2);
  store(s, 1, right.x1, right.x2, right.y1, right.y2);
  store(a, 0, left.ax1, left.ax2, left.ay1, left.ay2);
  store(a, 1, right.ax1, right.ax2, right.ay1, right.ay2);
  return static_cast<float>((sum[0] / nFrames + sum[1] / nFrames) * kEqLevelScale);
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

void runEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                  float bandLevels[kEqBandCount], float* leftSamples, float* rightSamples,
                  int nFrames) {
  if (nFrames <= 0 || leftSamples == nullptr || rightSamples == nullptr) return;
  SubnormalGuard subnormalsOff;
  for (int i = 0; i < kEqBandCount; ++i) {
    const float level = runBand(left[i], right[i], leftSamples, rightSamples, nFrames);
    if (std::isfinite(level) && level > bandLevels[i]) bandLevels[i] = level;
  }
}
