// SPDX-License-Identifier: GPL-3.0-or-later
// One of the room's modulated delays held in locals for a block.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/distance_delay.h"

// glide(factor) and then pass(smoothed, x) do what distanceDelaySetDistance(line, factor, false)
// and then distanceDelayProcess(line, &x, &x, 1) do, with the same arithmetic, and close()
// stores the state back. The glide reads no audio, so the block path runs the glides of many
// samples before their passes. roomProcess calls the two functions, and the room tests hold
// both paths to the same bits. The lane kernels read the ring and the glide constants through
// the accessors and move the write position with skip(). [render thread; no allocation]
class DelayCursor {
 public:
  explicit DelayCursor(DistanceDelay& line)
      : mLine(line),
        mRing(line.buffer),
        mLength(line.length),
        mMaxDistance(line.maxDistance),
        mSampleRate(line.sampleRate),
        mSpeedOfSound(line.speedOfSound),
        mTarget(line.targetDelay),
        mSmoothed(line.smoothedDelay),
        mWrite(line.writePos),
        mLive(line.active && line.buffer != nullptr && line.length >= 2) {
    const float l = static_cast<float>(mLength);
    uint32_t bits;
    std::memcpy(&bits, &l, sizeof bits);
    bits -= 1;
    std::memcpy(&mLimit, &bits, sizeof mLimit);
    if (mWrite < 0 || mWrite > mLength) mWrite = 0;
  }

  // The glide of one sample for distance factor `factor`: the smoothed delay the ring is read at.
  // Depends on no audio, so a block can run it ahead of the feed.
  float glide(float factor) {
    if (!mLive) {
      mTarget = delayFor(factor);
      return 1.0f;
    }
    return glideTo(target(factor));
  }

  // The first half of glide() on a live line: the delay it glides towards, bounded to
  // 1 … limit().
  float target(float factor) const {
    float delay = delayFor(factor);
    if (!std::isfinite(delay) || delay < 1.0f) {
      delay = 1.0f;
    } else if (delay > mLimit) {
      delay = mLimit;
    }
    return delay;
  }

  // The second half of glide() on a live line: one glide step towards `target` (from target()).
  // The only serial chain of the room.
  float glideTo(float target) {
    constexpr float kGlideFrames = 3000.0f;
    constexpr double kGlideScale = 0.0003332222592469177;
    mTarget = target;
    float smoothed =
        static_cast<float>(static_cast<double>(kGlideFrames * mSmoothed + target) * kGlideScale);
    if (!(smoothed >= 1.0f)) {
      smoothed = 1.0f;
    } else if (smoothed > mLimit) {
      smoothed = mLimit;
    }
    mSmoothed = smoothed;
    return smoothed;
  }

  // Writes x and returns the ring read at `smoothed` (from glide) of the same sample.
  float pass(float smoothed, float x) {
    if (!mLive) return x;
    const int32_t slots = mLength + 1;
    const int32_t whole = static_cast<int32_t>(smoothed);
    const float fraction = smoothed - static_cast<float>(whole);
    int32_t ia = mWrite + whole;
    if (ia >= slots) ia -= slots;
    int32_t ib = ia + 1;
    if (ib >= slots) ib -= slots;
    const float a = mRing[ia];
    const float b = mRing[ib];
    mRing[mWrite] = x;
    mWrite = mWrite == 0 ? mLength : mWrite - 1;
    return a + (b - a) * fraction;
  }

  // The glide state (target and smoothed delay) of `other`, a copy of this cursor.
  void takeGlide(const DelayCursor& other) {
    mTarget = other.mTarget;
    mSmoothed = other.mSmoothed;
  }

  void close() {
    mLine.targetDelay = mTarget;
    if (!mLive) return;
    mLine.smoothedDelay = mSmoothed;
    mLine.writePos = mWrite;
  }

  bool live() const { return mLive; }
  float* ring() const { return mRing; }
  int32_t length() const { return mLength; }  // highest ring index
  int32_t write() const { return mWrite; }    // slot the next pass writes
  float maxDistance() const { return mMaxDistance; }
  float sampleRate() const { return mSampleRate; }
  float speedOfSound() const { return mSpeedOfSound; }
  float limit() const { return mLimit; }  // largest delay the read can use
  float smoothed() const { return mSmoothed; }
  // The state glideTo(target) leaves when it returns smoothed, for glide steps run elsewhere.
  void setGlide(float target, float smoothed) {
    mTarget = target;
    mSmoothed = smoothed;
  }
  // Moves the write position down by n (>= 1) slots after a lane kernel wrote them, none of
  // them below slot 0 except that the last may land on it.
  void skip(int32_t n) { mWrite = mWrite - n < 0 ? mLength : mWrite - n; }

 private:
  // The delay in samples of distance factor `factor`, 1 … length − 1.
  float delayFor(float factor) const {
    constexpr float kMinDistance = 1.0f;
    const float metres = factor * mMaxDistance;
    const float d =
        metres >= kMinDistance ? (metres < mMaxDistance ? metres : mMaxDistance) : kMinDistance;
    float delay = d * mSampleRate / mSpeedOfSound;
    if (delay >= 1.0f) {
      if (static_cast<float>(mLength) <= delay) delay = static_cast<float>(mLength - 1);
    } else {
      delay = 1.0f;
    }
    return delay;
  }

  DistanceDelay& mLine;
  float* mRing;
  int32_t mLength;
  float mMaxDistance;
  float mSampleRate;
  float mSpeedOfSound;
  float mLimit;
  float mTarget;
  float mSmoothed;
  int32_t mWrite;
  bool mLive;
};
