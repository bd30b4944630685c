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
  // The room runs once per segment on the dry-plus-vocoded samples; outputs are written after it,
  // when every input of the segment has been read.
  float roomInA[kHopSize];
  float roomInB[kHopSize];
  float wetA[kHopSize];
  float wetB[kHopSize];
  int n = 0;
  while (n < frames) {
    const int segment = std::min(frames - n, kFrameSize - framePos);
    const int segmentStart = n;
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
      const float sA = filterbankAmt * a + dry;
      const float sB = filterbankAmt * b + dry;
      if (roomOn) {
        roomInA[i] = sA;
        roomInB[i] = sB;
      } else {
        outA[n] = 0.0f + sA;
        outB[n] = 0.0f + sB;
      }
      ++framePos;
    }
    if (roomOn) {
      std::fill(wetA, wetA + segment, 0.0f);
      std::fill(wetB, wetB + segment, 0.0f);
      roomProcessBlock(roomInA, roomInB, wetA, wetB, segment, e.room);
      for (int i = 0; i < segment; ++i) {
        outA[segmentStart + i] = wetA[i] + flushToZero(roomInA[i]);
        outB[segmentStart + i] = wetB[i] + flushToZero(roomInB[i]);
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
