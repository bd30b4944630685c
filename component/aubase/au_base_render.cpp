// SPDX-License-Identifier: GPL-3.0-or-later
// AUBase: the render entry.
#include "component/aubase/au_base.h"

namespace {
constexpr UInt32 kBytesPerSample = sizeof(Float32);

// Clears a flag for its scope; the flag was set by the caller.
class RenderGuard {
 public:
  explicit RenderGuard(std::atomic<bool>& inFlag) : mFlag(inFlag) {}
  ~RenderGuard() { mFlag.store(false, std::memory_order_release); }
  RenderGuard(const RenderGuard&) = delete;
  RenderGuard& operator=(const RenderGuard&) = delete;

 private:
  std::atomic<bool>& mFlag;
};

// The host's list must carry one one-channel buffer per output channel, either all with data of
// at least inNumberFrames samples or all with null data (then the unit's buffers are used).
OSStatus CheckHostBufferList(const AudioBufferList& inList, UInt32 inChannels,
                             UInt32 inNumberFrames, bool& outHostHasBuffers) {
  if (inList.mNumberBuffers != inChannels) return kAudioUnitErr_FormatNotSupported;
  const bool hostHasBuffers = inList.mBuffers[0].mData != nullptr;
  for (UInt32 i = 0; i < inList.mNumberBuffers; ++i) {
    const AudioBuffer& buffer = inList.mBuffers[i];
    if (buffer.mNumberChannels != 1) return kAudioUnitErr_FormatNotSupported;
    if ((buffer.mData != nullptr) != hostHasBuffers) return paramErr;
    if (hostHasBuffers && buffer.mDataByteSize < inNumberFrames * kBytesPerSample) return paramErr;
  }
  outHostHasBuffers = hostHasBuffers;
  return noErr;
}
}  // namespace

OSStatus AUBase::DoRender(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& inTimeStamp, UInt32 inBusNumber,
                          UInt32 inNumberFrames, AudioBufferList& ioData) {
  if (!IsInitialized()) return kAudioUnitErr_Uninitialized;
  if (inNumberFrames > GetMaxFramesPerSlice()) return kAudioUnitErr_TooManyFramesToProcess;
  AUElement* element = Outputs().GetElement(inBusNumber);
  if (!element) return kAudioUnitErr_InvalidElement;
  auto& output = static_cast<AUOutputElement&>(*element);
  bool hostHasBuffers = false;
  const OSStatus checked =
      CheckHostBufferList(ioData, output.NumberChannels(), inNumberFrames, hostHasBuffers);
  if (checked != noErr) return checked;
  if (mInRender.exchange(true, std::memory_order_acq_rel)) {
    return kAudioUnitErr_CannotDoInCurrentContext;
  }
  RenderGuard guard(mInRender);

  output.PrepareBuffer(inNumberFrames);
  if (hostHasBuffers) output.SetBufferList(ioData);
  const AURealtimeSnapshot<RenderNotifications>::Reader notifications(mRenderNotifications);
  NotifyRender(*notifications, ioActionFlags | kAudioUnitRenderAction_PreRender, inTimeStamp,
               inBusNumber, inNumberFrames, ioData);
  OSStatus result = noErr;
  try {
    result = Render(ioActionFlags, inTimeStamp, inNumberFrames);
  } catch (...) {
    result = StatusFromCurrentException();
  }
  if (result == noErr) {
    if (hostHasBuffers) {
      output.CopyBufferContentsTo(ioData);
    } else {
      output.CopyBufferListTo(ioData);
    }
  } else {
    mLastRenderError.store(result, std::memory_order_relaxed);
  }
  AudioUnitRenderActionFlags postFlags = ioActionFlags | kAudioUnitRenderAction_PostRender;
  if (result != noErr) postFlags |= kAudioUnitRenderAction_PostRenderError;
  NotifyRender(*notifications, postFlags, inTimeStamp, inBusNumber, inNumberFrames, ioData);
  return result;
}
