// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/client/input_feed.h"

#include <algorithm>
#include <cstring>

namespace host_client {

void InputFeed::setSource(size_t index, const float* samples, size_t length) {
  if (index >= kMaxSources) return;
  mSources[index] = {samples, samples ? length : 0};
  mSourceCount = std::max(mSourceCount, index + 1);
}

void InputFeed::clearSources() {
  for (Source& source : mSources) source = {};
  mSourceCount = 0;
}

float InputFeed::sample(const Source& source, size_t at) const {
  if (!source.samples || source.length == 0) return 0.0f;
  if (mLooping) return source.samples[at % source.length];
  return at < source.length ? source.samples[at] : 0.0f;
}

void InputFeed::fill(UInt32 channel, float* out, UInt32 frames) const {
  if (mMixedPairs) {
    const Source& first = mSources[std::min<size_t>(2 * channel, kMaxSources - 2)];
    const Source& second = mSources[std::min<size_t>(2 * channel + 1, kMaxSources - 1)];
    for (UInt32 n = 0; n < frames; ++n) {
      float sum = 0.0f;
      if (first.samples) sum += sample(first, mPosition + n) / 2.0f;
      if (second.samples) sum += sample(second, mPosition + n) / 2.0f;
      out[n] = sum;
    }
    return;
  }
  if (mSourceCount == 0) {
    std::memset(out, 0, frames * sizeof(float));
    return;
  }
  const Source& source = mSources[std::min<size_t>(channel, mSourceCount - 1)];
  if (!source.samples) {
    std::memset(out, 0, frames * sizeof(float));
  } else if (!mLooping && mPosition + frames <= source.length) {
    std::memcpy(out, source.samples + mPosition, frames * sizeof(float));
  } else {
    for (UInt32 n = 0; n < frames; ++n) out[n] = sample(source, mPosition + n);
  }
}

const float* InputFeed::lendable(UInt32 channel, UInt32 frames) const {
  if (!mLending || mMixedPairs || mLooping || mSourceCount == 0) return nullptr;
  const Source& source = mSources[std::min<size_t>(channel, mSourceCount - 1)];
  if (!source.samples || mPosition + frames > source.length) return nullptr;
  return source.samples + mPosition;
}

OSStatus InputFeed::render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                           UInt32, UInt32 frames, AudioBufferList* io) {
  auto* feed = static_cast<InputFeed*>(refCon);
  for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
    auto* out = static_cast<float*>(io->mBuffers[b].mData);
    if (!out || io->mBuffers[b].mDataByteSize < frames * sizeof(float)) return paramErr;
    if (const float* lent = feed->lendable(b, frames)) {
      // The unit reads, never writes, its input buffers (see setLending).
      io->mBuffers[b].mData = const_cast<float*>(lent);
      io->mBuffers[b].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
      continue;
    }
    feed->fill(b, out, frames);
  }
  feed->mPosition += frames;
  return noErr;
}

}  // namespace host_client
