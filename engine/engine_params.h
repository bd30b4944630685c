// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The parameter snapshot the effect fills (cleared to zero first) before each engine update:
// 38 floats; "/100" members are the parameter divided by 100.
struct EngineParams {
  float filterbankAmt;  // "Filterbank Amt" / 100
  float carrierAmt;     // "Carrier Amt" / 100
  float speechAmt;      // "Speech Amt" / 100
  float reverbAmt;      // "Reverb Amt" / 100
  float diffusion;      // "Diffusion" / 99
  float decay;          // "Decay" / 99
  float release;        // "Release" / 100
  float fatMode;
  float soundMode;  // 0 … 7
  float hfPassthrough;
  float vcuvEnable;
  float freeze;
  float flip;
  float roomAmount;        // "Room Amount" / 100
  float roomSize;          // "Room Size" / 100
  float filterCutoff;      // / 100
  float filterResonance;   // / 100
  float filterDistortion;  // / 100
  float synthOn;
  float synthTuning;  // 430 … 450
  float synthBaseOctave;
  float spare;
  float wavesSamples;
  float oscAWaveform;
  float oscBWaveform;
  float oscSync;
  float oscRingMod;
  float oscAPitchSemi;
  float oscAPitchCent;
  float oscAModSource;
  float oscAModDepth;  // / 1000
  float oscAModSpeed;  // / 100
  float oscBPitchSemi;
  float oscBPitchCent;
  float oscBModSource;
  float oscBModDepth;  // / 1000
  float oscBModSpeed;  // / 100
  float sampleRate;    // Hz
};
static_assert(sizeof(EngineParams) == 38 * sizeof(float));
