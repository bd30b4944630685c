// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's whole state: one flat record per effect instance. Allocate it value-initialised
// (all zero) with the size engineStateSize() reports, call engineSetup before the first
// engineProcess, and engineRelease before freeing it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/distance_delay.h"
#include "engine/engine_params.h"
#include "engine/filter_bank_scratch.h"
#include "engine/key_exchange.h"
#include "engine/room.h"
#include "engine/shaping_scratch.h"
#include "engine/slow_oscillator.h"
#include "engine/synth_state.h"

inline constexpr int kFrameSize = 1024;
inline constexpr int kHopSize = 512;
inline constexpr int kFrameArraySize = kFrameSize + 10;
inline constexpr int kBinArraySize = 2 * (kFrameSize + 10);
inline constexpr int kSpectrumArraySize = 4 * (kFrameSize + 10);
inline constexpr uint32_t kEngineTag = 0x766f636f;  // 'voco'

struct VocoderEngine {
  uint32_t tag;
  int32_t initialised;  // 0 until the first engineSetup; engineProcess renders nothing before
  int32_t updating;
  int32_t processing;
  int32_t processing2;
  int32_t soundMode;  // 0 … 7
  int32_t hfPassthrough;
  int32_t vcuvEnable;
  int32_t freeze;
  int32_t fatMode;
  float synthOn;  // on above 0.5
  float flip;     // on above 0.5
  float release;
  float filterbankAmt;
  float carrierGain;  // carrier amount × 0.5
  float speechGain;
  float roomAmount;  // unclamped; the room runs above 0.001
  float reverbAmt;
  float diffusion;
  float decay;
  float heldKeys[kHeldKeyCount];  // MIDI notes, below 27 = free; written under keys.writerBusy
  float speechFrame[kFrameArraySize];
  float carrierFrame[kFrameArraySize];
  float outAccumA[kFrameArraySize];
  float outAccumB[kFrameArraySize];
  float fftTable[kFrameArraySize];
  float speechSpectrum[kSpectrumArraySize];
  float carrierSpectrum[kSpectrumArraySize];
  float speechFrameWelch[2 * kFrameArraySize];
  float carrierFrameWelch[2 * kFrameArraySize];
  float analysisWindow[kFrameArraySize];
  float synthesisWindow[kFrameArraySize];
  float welchWindow[kFrameArraySize];
  float envAttack[kBinArraySize];
  float envRelease[kBinArraySize];
  float heldSpeech[kBinArraySize];  // complex, bins 0 … 511
  float speechDelay[kFrameSize];
  float carrierDelay[kFrameSize];
  int32_t speechDelayPos;
  int32_t carrierDelayPos;
  float carrierMag[kBinArraySize];
  // Modes 3 … 5: the carrier's fastAtan2 phase in radians. Modes 0 and 2 take the carrier's
  // direction from the bin itself and do not write it; nothing reads it across frames.
  float carrierPhase[kBinArraySize];
  float speechEnv[kBinArraySize];
  double fatCounter;
  SynthState synth;
  SynthParams synthParams;
  RoomState room;
  DistanceDelay* fatDelayA;
  DistanceDelay* fatDelayB;
  int32_t framePos;  // 512 … 1023
  // Working storage, not state: preallocated so that engineProcess never allocates.
  KeyExchange keys;
  SpectralScratch spectral;
  FilterBankScratch filterBank;
  SlowOscillator fatOscillator;  // phasors of the Fat-mode modulation at fatCounter
};

// sizeof(VocoderEngine). [any thread]
size_t engineStateSize();
// 1024. [any thread]
int engineFrameSize();

// Copies and converts a parameter snapshot; the first call builds the tables, windows and
// delay lines. [render thread; allocates only on the first call]
void engineSetup(const EngineParams& params, VocoderEngine& engine);

// Frees the four delay lines. [not the render thread]
void engineRelease(VocoderEngine& engine);
