// SPDX-License-Identifier: GPL-3.0-or-later
// The ten-band output equaliser and band analyser: per channel a chain of ten peaking sections
// (band 0 first), each followed by a band-pass analyser section that measures the level around
// the band's centre. Plain records and free functions; no platform calls, no allocation.
#pragma once

#include <cstdint>
#include <type_traits>

inline constexpr int kEqBandCount = 10;

// Band centres in Hz and fixed gain offsets in dB, band 0 first.
inline constexpr double kEqCentreFrequencies[kEqBandCount] = {
    32.0, 64.0, 125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0};
inline constexpr double kEqFixedOffsetsDb[kEqBandCount] = {3.0, 2.0,  1.0, 0.0, 0.0,
                                                           0.0, 1.25, 1.5, 2.0, 2.5};

// Parameter ids: band i's gain is kEqBand0GainParameter + i; the chain's overall gain.
inline constexpr int kEqBand0GainParameter = 12;
inline constexpr int kEqOutGainParameter = 22;

inline constexpr double kEqQ = 1.0;
// Range of the band gains and the overall gain, dB.
inline constexpr float kEqGainMinDb = -12.0f;
inline constexpr float kEqGainMaxDb = 12.0f;
// Used when a sample rate is not positive and finite, and for a band computed flat.
inline constexpr double kEqFallbackSampleRate = 44100.0;
inline constexpr double kEqFlatFrequency = 1000.0;
// A centre at or above half the sample rate has no stable design: centres are limited to this
// fraction of the sample rate (only the 16 kHz band below 35556 Hz is affected).
inline constexpr double kEqMaxCentreFraction = 0.45;
// level = (mean |left band-pass| + mean |right band-pass|) × kEqLevelScale. The band-pass
// sections only measure: they run in single precision, the audio path in double.
inline constexpr float kEqLevelScale = 2.5f;

// One band of one channel. Zero-filled is a valid state: a band whose coefficients are not yet
// computed (valid 0) is made flat, with stage gain 1, before its first use.
struct EqBandFilter {
  float x1;                            // previous input of the peaking section
  float stageGain;                     // linear factor applied to the section's output
  float x2;                            // input before that
  float y1;                            // previous output of the section, before stageGain
  float y2;                            // output before that
  float ax1, ax2;                      // previous inputs of the analyser section
  float ay1, ay2;                      // its previous outputs divided by ab0 / aa0
  float b0, b1, b2, a0, a1, a2;        // peaking section
  float ab0, ab1, ab2, aa0, aa1, aa2;  // analyser band-pass, 0 dB peak; ab1 0, ab2 −ab0
  uint8_t valid;                       // 1 once the coefficients are computed
  // Derived from the coefficients by computeBand (write them only through it), for the render
  // path: the peaking section divided through by a0, the analyser's feedback by aa0, ab0 / aa0.
  double qb0, qb1, qb2, qa1, qa2;
  double qScale;
  float qaa1, qaa2;
};
static_assert(std::is_trivial_v<EqBandFilter> && std::is_standard_layout_v<EqBandFilter>);

// Zeroes every field, stage gain 1, valid 0. [main thread; at construction]
void eqResetBank(EqBandFilter bank[kEqBandCount]);

// Computes both coefficient sets of one band for a centre frequency (Hz), a peak gain (dB) and a
// Q, and sets valid. State and stage gain are left alone. A sample rate that is not positive and
// finite counts as kEqFallbackSampleRate; a Q that is not positive counts as kEqQ; the centre is
// limited to kEqMaxCentreFraction × sampleRate; a centre that is not positive or a non-finite
// gain gives a flat band. [any thread; no allocation]
void computeBand(EqBandFilter& filter, double sampleRate, double frequency, double gainDb,
                 double q);

// Stage gain 1 and every band at its fixed offset, Q 1. State is kept. [main thread; Initialize]
void eqInitialiseBanks(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                       double sampleRate);

// Stage gains from the overall gain (dB; ten stages multiply to 10^(outGainDb/20)) and each band
// at its fixed offset plus bandGainsDb[i]. Gains are clamped to kEqGainMinDb..kEqGainMaxDb; a
// non-finite gain counts as 0. State is kept. [render thread; periodic update; no allocation]
void updateEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                     const float bandGainsDb[kEqBandCount], float outGainDb, double sampleRate);

// Filters nFrames samples of each channel (two distinct buffers) in place through its chain and
// raises bandLevels[i] to band i's level of this block when that is greater (peak hold; the caller
// resets the levels). nFrames <= 0 touches nothing. A section whose state turns non-finite (NaN,
// infinite or overflowing input) is cleared at the end of the block, and a non-finite level is not
// stored. Subnormal values are flushed to zero while it runs (the floating-point mode is restored).
// A band whose sections are the identity as they stand (b = a, stage gain 1, previous inputs equal
// to previous outputs, on both channels) is passed over: its analysers measure the samples as they
// come, and its previous inputs and outputs become the last two of them.
// [render thread; no allocation, no lock, no I/O]
void runEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                  float bandLevels[kEqBandCount], float* leftSamples, float* rightSamples,
                  int nFrames);
// The same, reading each channel's block from its input and writing it to its output: an input
// is either its output (in place) or does not overlap any output, and is left as it was.
// [render thread; no allocation, no lock, no I/O]
void runEqualiser(EqBandFilter left[kEqBandCount], EqBandFilter right[kEqBandCount],
                  float bandLevels[kEqBandCount], const float* leftIn, const float* rightIn,
                  float* leftOut, float* rightOut, int nFrames);
