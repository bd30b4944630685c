// SPDX-License-Identifier: GPL-3.0-or-later
// An input or output bus: its stream format and a buffer list of one 32-bit float channel per
// buffer. The element owns storage for channels x maximum frames, allocated when the unit
// initialises, so that render never allocates; the list may point at other memory for a render
// (the host's buffers, or an input's buffers when processing in place).
#pragma once

#include <cstdlib>
#include <memory>

#include "component/aubase/au_element.h"

class AUIOElement : public AUElement {
 public:
  // Channel count above which a format is refused.
  static constexpr UInt32 kMaxChannels = 64;

  explicit AUIOElement(AUBase& inAudioUnit);  // [main thread]
  ~AUIOElement() override;

  AUIOElement* AsIOElement() override { return this; }

  // Linear PCM, 32-bit float, packed, non-interleaved, native byte order. [any thread]
  static AudioStreamBasicDescription CanonicalFormat(Float64 inSampleRate, UInt32 inChannels);
  static bool IsCanonicalFormat(const AudioStreamBasicDescription& inFormat);
  static bool SameFormat(const AudioStreamBasicDescription& inA,
                         const AudioStreamBasicDescription& inB);

  // [any thread; changes only while uninitialised]
  const AudioStreamBasicDescription& GetStreamFormat() const { return mStreamFormat; }
  UInt32 NumberChannels() const { return mStreamFormat.mChannelsPerFrame; }
  // Sets the format; drops buffers sized for the old one. Allocates. [main, uninitialised]
  void SetStreamFormat(const AudioStreamBasicDescription& inFormat);

  // Allocates zeroed storage for inMaxFrames frames per channel. [main thread; not rendering]
  void AllocateBuffer(UInt32 inMaxFrames);
  void DeallocateBuffer();
  UInt32 AllocatedFrames() const { return mAllocatedFrames; }

  // Points the list at the element's own storage, inNumberFrames x 4 bytes per buffer. Throws
  // kAudioUnitErr_TooManyFramesToProcess beyond the allocated frames (none allocated: before
  // Initialize). [render thread]
  AudioBufferList& PrepareBuffer(UInt32 inNumberFrames);
  // The list as last prepared or set. [render thread]
  AudioBufferList& GetBufferList() { return *mBufferList; }
  const AudioBufferList& GetBufferList() const { return *mBufferList; }
  // Makes the list point at inList's buffers (not copied). kAudioUnitErr_FormatNotSupported
  // when inList has more buffers than this element has channels. [render thread]
  OSStatus SetBufferList(const AudioBufferList& inList);
  UInt32 BufferListCapacity() const { return mListCapacity; }
  // Writes this list's buffer pointers and sizes into ioList (up to ioList's count). [render]
  void CopyBufferListTo(AudioBufferList& ioList) const;
  // Copies the samples of this list into ioList's buffers, buffer by buffer, skipping buffers
  // that already share memory; extra ioList buffers are left alone. [render thread]
  void CopyBufferContentsTo(AudioBufferList& ioList) const;

 private:
  struct FreeList {
    void operator()(AudioBufferList* inList) const { std::free(inList); }
  };
  void ResizeList();

  AudioStreamBasicDescription mStreamFormat;
  std::unique_ptr<float[]> mStorage;
  UInt32 mAllocatedFrames = 0;
  UInt32 mListCapacity = 0;
  std::unique_ptr<AudioBufferList, FreeList> mBufferList;
};
