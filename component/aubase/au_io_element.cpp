// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_io_element.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {
constexpr Float64 kDefaultSampleRate = 44100.0;
constexpr UInt32 kDefaultChannels = 2;
constexpr UInt32 kBytesPerSample = sizeof(Float32);
constexpr UInt32 kCanonicalFlags =
    kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
}  // namespace

AUIOElement::AUIOElement(AUBase& inAudioUnit)
    : AUElement(inAudioUnit), mStreamFormat(CanonicalFormat(kDefaultSampleRate, kDefaultChannels)) {
  ResizeList();
}

AUIOElement::~AUIOElement() = default;

AudioStreamBasicDescription AUIOElement::CanonicalFormat(Float64 inSampleRate, UInt32 inChannels) {
  return canonicalStreamFormat(inSampleRate, inChannels);
}

bool AUIOElement::IsCanonicalFormat(const AudioStreamBasicDescription& inFormat) {
  return std::isfinite(inFormat.mSampleRate) && inFormat.mSampleRate >= 0.0 &&
         inFormat.mFormatID == kAudioFormatLinearPCM && inFormat.mFormatFlags == kCanonicalFlags &&
         inFormat.mBytesPerPacket == kBytesPerSample && inFormat.mFramesPerPacket == 1 &&
         inFormat.mBytesPerFrame == kBytesPerSample && inFormat.mBitsPerChannel == 32 &&
         inFormat.mChannelsPerFrame >= 1 && inFormat.mChannelsPerFrame <= kMaxChannels;
}

bool AUIOElement::SameFormat(const AudioStreamBasicDescription& inA,
                             const AudioStreamBasicDescription& inB) {
  return inA.mSampleRate == inB.mSampleRate && inA.mFormatID == inB.mFormatID &&
         inA.mFormatFlags == inB.mFormatFlags && inA.mBytesPerPacket == inB.mBytesPerPacket &&
         inA.mFramesPerPacket == inB.mFramesPerPacket && inA.mBytesPerFrame == inB.mBytesPerFrame &&
         inA.mChannelsPerFrame == inB.mChannelsPerFrame &&
         inA.mBitsPerChannel == inB.mBitsPerChannel;
}

void AUIOElement::SetStreamFormat(const AudioStreamBasicDescription& inFormat) {
  const bool channelsChange = inFormat.mChannelsPerFrame != mStreamFormat.mChannelsPerFrame;
  mStreamFormat = inFormat;
  if (channelsChange) {
    DeallocateBuffer();
    ResizeList();
  }
}

void AUIOElement::ResizeList() {
  const UInt32 capacity = std::max<UInt32>(NumberChannels(), 1);
  void* memory = std::calloc(1, audioBufferListSize(capacity));
  if (!memory) throw std::bad_alloc();
  mBufferList.reset(static_cast<AudioBufferList*>(memory));
  mListCapacity = capacity;
}

void AUIOElement::AllocateBuffer(UInt32 inMaxFrames) {
  if (mStorage && mAllocatedFrames == inMaxFrames) return;
  mStorage = std::make_unique<float[]>(size_t(NumberChannels()) * inMaxFrames);
  mAllocatedFrames = inMaxFrames;
  PrepareBuffer(0);
}

void AUIOElement::DeallocateBuffer() {
  mStorage.reset();
  mAllocatedFrames = 0;
  mBufferList->mNumberBuffers = 0;
}

AudioBufferList& AUIOElement::PrepareBuffer(UInt32 inNumberFrames) {
  if (!mStorage || inNumberFrames > mAllocatedFrames) throw kAudioUnitErr_TooManyFramesToProcess;
  AudioBufferList& list = *mBufferList;
  const UInt32 channels = NumberChannels();
  list.mNumberBuffers = channels;
  for (UInt32 ch = 0; ch < channels; ++ch) {
    list.mBuffers[ch].mNumberChannels = 1;
    list.mBuffers[ch].mDataByteSize = inNumberFrames * kBytesPerSample;
    list.mBuffers[ch].mData = mStorage.get() + size_t(ch) * mAllocatedFrames;
  }
  return list;
}

OSStatus AUIOElement::SetBufferList(const AudioBufferList& inList) {
  if (inList.mNumberBuffers > mListCapacity) return kAudioUnitErr_FormatNotSupported;
  AudioBufferList& list = *mBufferList;
  list.mNumberBuffers = inList.mNumberBuffers;
  std::copy_n(inList.mBuffers, inList.mNumberBuffers, list.mBuffers);
  return noErr;
}

void AUIOElement::CopyBufferListTo(AudioBufferList& ioList) const {
  const AudioBufferList& list = *mBufferList;
  const UInt32 count = std::min(list.mNumberBuffers, ioList.mNumberBuffers);
  std::copy_n(list.mBuffers, count, ioList.mBuffers);
}

void AUIOElement::CopyBufferContentsTo(AudioBufferList& ioList) const {
  const AudioBufferList& list = *mBufferList;
  const UInt32 count = std::min(list.mNumberBuffers, ioList.mNumberBuffers);
  for (UInt32 i = 0; i < count; ++i) {
    const AudioBuffer& from = list.mBuffers[i];
    AudioBuffer& to = ioList.mBuffers[i];
    if (!from.mData || !to.mData || from.mData == to.mData) continue;
    std::memmove(to.mData, from.mData, std::min(from.mDataByteSize, to.mDataByteSize));
  }
}
