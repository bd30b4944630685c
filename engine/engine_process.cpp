// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_process.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/engine_frame_step.h"
#include "engine/fat_mode.h"
#include "engine/float_util.h"
#include "engine/key_list.h"
#include "engine/room.h"
#include "engine/subnormal_guard.h"
#include "engine/synth_carrier.h"

namespace {
// Samples of synth carrier and room rendered in turn within a segment.
constexpr int kInterleaveChunk = 32;
}  // namespace

void engineProcess(const float* speechIn, const float* carrierIn, float* outA, float* outB,
                   int frames, VocoderEngine& e) {
  if (e.initialised == 0 || e.synth.configured == 0) return;
  const SubnormalGuard subnormalsAsZero;
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
  const float filterbankAmt = e.filterbankAmt;
  const float carrierGain = e.carrierGain;
  const float speechGain = e.speechGain;
  const bool synthOn = e.synthOn > 0.5f;
  const bool fatOn = e.fatMode >= 1;
  const bool roomOn = e.roomAmount > 0.001f;

  // Segments end at each frame step (framePos stays in kHopSize … kFrameSize − 1), so the synth,
  // whose modulation the frame step updates, renders each segment before its samples are used.
  float* const synthCarrier = e.synth.blockCarrier;
  // The room runs on the dry-plus-vocoded samples of each segment; outputs are written after it,
  // when every input of the segment has been read.
  float roomInA[kHopSize];
  float roomInB[kHopSize];
  float wetA[kHopSize];
  float wetB[kHopSize];
  int n = 0;
  while (n < frames) {
    const int segment = std::min(frames - n, kFrameSize - framePos);
    const int segmentStart = n;
    if (roomOn) {
      // Nothing the room reads in this segment comes from this segment's carrier (the dry
      // carrier is 1024 samples old), so the synth renders its carrier in chunks between the
      // room's: the two serial chains (the synth filter's, the room's glides) then overlap.
      for (int i = 0; i < segment; ++i) {
        const int at = segmentStart + i;
        const float speech = finiteOrZero(speechSource[at]);
        e.speechFrame[framePos + i] = speech;
        const float drySpeech = e.speechDelay[e.speechDelayPos];
        e.speechDelay[e.speechDelayPos] = speech;
        e.speechDelayPos = (e.speechDelayPos + 1) & (kFrameSize - 1);
        // The delayed carrier is read here, before the carrier of this segment is written.
        const int carrierAt = (e.carrierDelayPos + i) & (kFrameSize - 1);
        const float dryCarrier = e.carrierDelay[carrierAt];
        if (!synthOn) {
          const float carrier = finiteOrZero(carrierSource[at]);
          e.carrierFrame[framePos + i] = carrier;
          e.carrierDelay[carrierAt] = carrier;
        }
        float a = e.outAccumA[framePos + i - kHopSize];
        float b = e.outAccumB[framePos + i - kHopSize];
        if (fatOn) fatModeStep(e, a, b);
        const float dry = dryCarrier * carrierGain + drySpeech * speechGain;
        roomInA[i] = filterbankAmt * a + dry;
        roomInB[i] = filterbankAmt * b + dry;
        wetA[i] = 0.0f;
        wetB[i] = 0.0f;
      }
      for (int c = 0; c < segment; c += kInterleaveChunk) {
        const int count = std::min(kInterleaveChunk, segment - c);
        if (synthOn) synthRenderCarrier(e.synth, synthCarrier + c, count);
        roomProcessBlock(roomInA + c, roomInB + c, wetA + c, wetB + c, count, e.room);
      }
      if (synthOn) {
        for (int i = 0; i < segment; ++i) {
          const float carrier = finiteOrZero(synthCarrier[i]);
          e.carrierFrame[framePos + i] = carrier;
          e.carrierDelay[(e.carrierDelayPos + i) & (kFrameSize - 1)] = carrier;
        }
      }
      e.carrierDelayPos = (e.carrierDelayPos + segment) & (kFrameSize - 1);
      for (int i = 0; i < segment; ++i) {
        outA[segmentStart + i] = wetA[i] + flushToZero(roomInA[i]);
        outB[segmentStart + i] = wetB[i] + flushToZero(roomInB[i]);
      }
      n += segment;
      framePos += segment;
    } else {
      if (synthOn) synthRenderCarrier(e.synth, synthCarrier, segment);
      for (int i = 0; i < segment; ++i, ++n) {
        // Both inputs are read before either output is written: they may share arrays.
        const float speech = finiteOrZero(speechSource[n]);
        const float carrier = finiteOrZero(synthOn ? synthCarrier[i] : carrierSource[n]);
        e.speechFrame[framePos] = speech;
        e.carrierFrame[framePos] = carrier;

        const float drySpeech = e.speechDelay[e.speechDelayPos];
        const float dryCarrier = e.carrierDelay[e.carrierDelayPos];
        e.speechDelay[e.speechDelayPos] = speech;
        e.carrierDelay[e.carrierDelayPos] = carrier;
        e.speechDelayPos = (e.speechDelayPos + 1) & (kFrameSize - 1);
        e.carrierDelayPos = (e.carrierDelayPos + 1) & (kFrameSize - 1);

        float a = e.outAccumA[framePos - kHopSize];
        float b = e.outAccumB[framePos - kHopSize];
        if (fatOn) fatModeStep(e, a, b);

        const float dry = dryCarrier * carrierGain + drySpeech * speechGain;
        outA[n] = 0.0f + (filterbankAmt * a + dry);
        outB[n] = 0.0f + (filterbankAmt * b + dry);
        ++framePos;
      }
    }
    if (framePos == kFrameSize) {
      engineFrameStep(e);
      framePos = kHopSize;
    }
  }

  e.framePos = framePos;
  e.processing = e.processing2 = 0;
}
