// SPDX-License-Identifier: GPL-3.0-or-later
// engineProcess's own loops and its sequence, written once and compiled for two instruction sets
// (engine_process.cpp: portable x86-64; engine_process_avx2.cpp: AVX2). No product is fused with
// a sum and no float sum is reordered, so both give the same output bit for bit.
//
// Included inside a namespace of its own, hence no include guard. Needs <algorithm>, <cstring>,
// engine/engine_frame_step.h, engine/fat_mode.h, engine/float_util.h, engine/key_list.h,
// engine/room.h and engine/synth_carrier.h before it.

// The delay rings hold kFrameSize samples; a segment's positions form at most two runs.
constexpr int kRingMask = kFrameSize - 1;

// out[i] = ring[pos + i] for i < count (positions wrap).
void readRing(const float* ring, int pos, float* out, int count) {
  const int first = std::min(count, kFrameSize - pos);
  std::memcpy(out, ring + pos, sizeof(float) * first);
  std::memcpy(out + first, ring, sizeof(float) * (count - first));
}

// ring[pos + i] = in[i] for i < count (positions wrap).
void writeRing(float* ring, int pos, const float* in, int count) {
  const int first = std::min(count, kFrameSize - pos);
  std::memcpy(ring + pos, in, sizeof(float) * first);
  std::memcpy(ring, in + first, sizeof(float) * (count - first));
}

// Reads count delayed samples from the ring into out, writes in[0 … count-1] in their place and
// returns the position after them. count ≤ kFrameSize; in and out must not overlap the ring.
int exchangeRing(float* ring, int pos, const float* in, float* out, int count) {
  readRing(ring, pos, out, count);
  writeRing(ring, pos, in, count);
  return (pos + count) & kRingMask;
}

// Takes in one segment of speech and carrier at framePos (carrierIn null: the carrier comes later;
// only its delayed samples are read) and makes the dry-plus-vocoded signal of both channels:
// mix = filterbankAmt · (overlap-added output, through Fat mode) + the delayed dry mix. Leaves
// e.carrierDelayPos for the caller to advance. segment ≤ kHopSize.
void mixSegment(VocoderEngine& e, const float* speechIn, const float* carrierIn, int framePos,
                int segment, float* mixA, float* mixB) {
  float* const speechFrame = e.speechFrame + framePos;
  for (int i = 0; i < segment; ++i) speechFrame[i] = finiteOrZero(speechIn[i]);
  float drySpeech[kHopSize];
  float dryCarrier[kHopSize];
  e.speechDelayPos =
      exchangeRing(e.speechDelay, e.speechDelayPos, speechFrame, drySpeech, segment);
  if (carrierIn == nullptr) {
    readRing(e.carrierDelay, e.carrierDelayPos, dryCarrier, segment);
  } else {
    float* const carrierFrame = e.carrierFrame + framePos;
    for (int i = 0; i < segment; ++i) carrierFrame[i] = finiteOrZero(carrierIn[i]);
    exchangeRing(e.carrierDelay, e.carrierDelayPos, carrierFrame, dryCarrier, segment);
  }
  const float filterbankAmt = e.filterbankAmt;
  const float carrierGain = e.carrierGain;
  const float speechGain = e.speechGain;
  const float* const accumA = e.outAccumA + framePos - kHopSize;
  const float* const accumB = e.outAccumB + framePos - kHopSize;
  if (e.fatMode >= 1) {
    float fatA[kHopSize];
    float fatB[kHopSize];
    std::memcpy(fatA, accumA, sizeof(float) * segment);
    std::memcpy(fatB, accumB, sizeof(float) * segment);
    fatModeBlock(e, fatA, fatB, segment);
    for (int i = 0; i < segment; ++i) {
      const float dry = dryCarrier[i] * carrierGain + drySpeech[i] * speechGain;
      mixA[i] = filterbankAmt * fatA[i] + dry;
      mixB[i] = filterbankAmt * fatB[i] + dry;
    }
  } else {
    for (int i = 0; i < segment; ++i) {
      const float dry = dryCarrier[i] * carrierGain + drySpeech[i] * speechGain;
      mixA[i] = filterbankAmt * accumA[i] + dry;
      mixB[i] = filterbankAmt * accumB[i] + dry;
    }
  }
}

// engineProcess's work on a set-up engine, with the subnormal guard in place.
// [render thread; no allocation, no locks]
void process(const float* speechIn, const float* carrierIn, float* outA, float* outB, int frames,
             VocoderEngine& e) {
  e.processing = e.processing2 = 1;
  engineApplyPendingKeys(e);
  synthSelectRenderer(e.synth);

  const float* speechSource = speechIn;
  const float* carrierSource = carrierIn;
  if (e.flip > 0.5f) {
    speechSource = carrierIn;
    carrierSource = speechIn;
  }
  int framePos = e.framePos;
  const bool synthOn = e.synthOn > 0.5f;
  const bool roomOn = e.roomAmount > 0.001f;

  // Segments end at each frame step (framePos stays in kHopSize … kFrameSize − 1), so the synth,
  // whose modulation the frame step updates, renders each segment before its samples are used.
  float* const synthCarrier = e.synth.blockCarrier;
  // The dry-plus-vocoded samples of each segment (the room's input when it runs); outputs are
  // written after it, when every input of the segment has been read.
  float mixA[kHopSize];
  float mixB[kHopSize];
  float wetA[kHopSize];
  float wetB[kHopSize];
  int n = 0;
  while (n < frames) {
    const int segment = std::min(frames - n, kFrameSize - framePos);
    const int segmentStart = n;
    if (roomOn) {
      // Nothing the room reads in this segment comes from this segment's carrier (the dry
      // carrier is 1024 samples old). The synth renders the whole segment's carrier, then the
      // room the whole segment: one call each per segment costs less than turns of 32 samples
      // gain from overlapping the two serial chains.
      mixSegment(e, speechSource + segmentStart, synthOn ? nullptr : carrierSource + segmentStart,
                 framePos, segment, mixA, mixB);
      std::memset(wetA, 0, sizeof(float) * segment);
      std::memset(wetB, 0, sizeof(float) * segment);
      if (synthOn) synthRenderCarrier(e.synth, synthCarrier, segment);
      roomProcessBlock(mixA, mixB, wetA, wetB, segment, e.room);
      if (synthOn) {
        float* const carrierFrame = e.carrierFrame + framePos;
        for (int i = 0; i < segment; ++i) carrierFrame[i] = finiteOrZero(synthCarrier[i]);
        writeRing(e.carrierDelay, e.carrierDelayPos, carrierFrame, segment);
      }
      e.carrierDelayPos = (e.carrierDelayPos + segment) & kRingMask;
      for (int i = 0; i < segment; ++i) {
        outA[segmentStart + i] = wetA[i] + flushToZero(mixA[i]);
        outB[segmentStart + i] = wetB[i] + flushToZero(mixB[i]);
      }
      n += segment;
      framePos += segment;
    } else {
      if (synthOn) synthRenderCarrier(e.synth, synthCarrier, segment);
      // Every input of the segment is read before any output is written: they may share arrays.
      mixSegment(e, speechSource + segmentStart,
                 synthOn ? synthCarrier : carrierSource + segmentStart, framePos, segment, mixA,
                 mixB);
      e.carrierDelayPos = (e.carrierDelayPos + segment) & kRingMask;
      for (int i = 0; i < segment; ++i) {
        outA[segmentStart + i] = 0.0f + mixA[i];
        outB[segmentStart + i] = 0.0f + mixB[i];
      }
      n += segment;
      framePos += segment;
    }
    if (framePos == kFrameSize) {
      engineFrameStep(e);
      framePos = kHopSize;
    }
  }

  e.framePos = framePos;
  e.processing = e.processing2 = 0;
}
