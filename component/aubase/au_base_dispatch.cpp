// SPDX-License-Identifier: GPL-3.0-or-later
// AUBase: selector dispatch, property listeners and render notifications.
#include <algorithm>

#include "component/aubase/au_base.h"

namespace {
template <class Args>
const Args* ArgsOf(const ComponentParameters& inParams) {
  return static_cast<const Args*>(inParams.args);
}
}  // namespace

bool AUBase::CanDo(int16_t inSelector) const {
  switch (inSelector) {
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect:
    case kAudioUnitGetPropertyInfoSelect:
    case kAudioUnitGetPropertySelect:
    case kAudioUnitSetPropertySelect:
    case kAudioUnitGetParameterSelect:
    case kAudioUnitSetParameterSelect:
    case kAudioUnitResetSelect:
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    case kAudioUnitRenderSelect:
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
      return true;
    default:
      return ComponentBase::CanDo(inSelector);
  }
}

OSStatus AUBase::DispatchGetPropertySelector(const AudioUnitGetPropertyArgs& inArgs) {
  if (!inArgs.ioDataSize) return paramErr;
  UInt32 size = 0;
  Boolean writable = false;
  const OSStatus info =
      DispatchGetPropertyInfo(inArgs.id, inArgs.scope, inArgs.element, size, writable);
  if (info != noErr) return info;
  if (!inArgs.outData) {
    *inArgs.ioDataSize = size;
    return noErr;
  }
  if (*inArgs.ioDataSize < size) return paramErr;
  const OSStatus result =
      DispatchGetProperty(inArgs.id, inArgs.scope, inArgs.element, inArgs.outData);
  if (result == noErr) *inArgs.ioDataSize = size;
  return result;
}

OSStatus AUBase::DispatchSelector(ComponentParameters& inParams) {
  const bool takesArgs =
      inParams.what != kAudioUnitInitializeSelect && inParams.what != kAudioUnitUninitializeSelect;
  if (!inParams.args && takesArgs && AUBase::CanDo(inParams.what)) return paramErr;
  switch (inParams.what) {
    case kAudioUnitInitializeSelect:
      return DoInitialize();
    case kAudioUnitUninitializeSelect:
      DoCleanup();
      return noErr;
    case kAudioUnitGetPropertyInfoSelect: {
      const auto& args = *ArgsOf<AudioUnitGetPropertyInfoArgs>(inParams);
      UInt32 size = 0;
      Boolean writable = false;
      const OSStatus result =
          DispatchGetPropertyInfo(args.id, args.scope, args.element, size, writable);
      if (result != noErr) return result;
      if (args.outDataSize) *args.outDataSize = size;
      if (args.outWritable) *args.outWritable = writable;
      return noErr;
    }
    case kAudioUnitGetPropertySelect:
      return DispatchGetPropertySelector(*ArgsOf<AudioUnitGetPropertyArgs>(inParams));
    case kAudioUnitSetPropertySelect: {
      const auto& args = *ArgsOf<AudioUnitSetPropertyArgs>(inParams);
      if (!args.inData) return RemovePropertyValue(args.id, args.scope, args.element);
      return DispatchSetProperty(args.id, args.scope, args.element, args.inData, args.inDataSize);
    }
    case kAudioUnitGetParameterSelect: {
      const auto& args = *ArgsOf<AudioUnitGetParameterArgs>(inParams);
      if (!args.outValue) return paramErr;
      AudioUnitParameterValue value = 0.0f;
      const OSStatus result = GetParameter(args.id, args.scope, args.element, value);
      if (result == noErr) *args.outValue = value;
      return result;
    }
    case kAudioUnitSetParameterSelect: {
      const auto& args = *ArgsOf<AudioUnitSetParameterArgs>(inParams);
      return SetParameter(args.id, args.scope, args.element, args.value, args.bufferOffsetInFrames);
    }
    case kAudioUnitResetSelect: {
      const auto& args = *ArgsOf<AudioUnitResetArgs>(inParams);
      return Reset(args.scope, args.element);
    }
    case kAudioUnitAddPropertyListenerSelect: {
      const auto& args = *ArgsOf<AudioUnitPropertyListenerArgs>(inParams);
      return AddPropertyListener(args.id, args.proc, args.userData);
    }
    case kAudioUnitRemovePropertyListenerSelect: {
      const auto& args = *ArgsOf<AudioUnitPropertyListenerArgs>(inParams);
      return RemovePropertyListener(args.id, args.proc, args.userData, false);
    }
    case kAudioUnitRemovePropertyListenerWithUserDataSelect: {
      const auto& args = *ArgsOf<AudioUnitPropertyListenerArgs>(inParams);
      return RemovePropertyListener(args.id, args.proc, args.userData, true);
    }
    case kAudioUnitRenderSelect: {
      const auto& args = *ArgsOf<AudioUnitRenderArgs>(inParams);
      if (!args.ioActionFlags || !args.inTimeStamp || !args.ioData) return paramErr;
      return DoRender(*args.ioActionFlags, *args.inTimeStamp, args.inOutputBusNumber,
                      args.inNumberFrames, *args.ioData);
    }
    case kAudioUnitAddRenderNotifySelect: {
      const auto& args = *ArgsOf<AudioUnitRenderNotifyArgs>(inParams);
      return AddRenderNotification(args.proc, args.userData);
    }
    case kAudioUnitRemoveRenderNotifySelect: {
      const auto& args = *ArgsOf<AudioUnitRenderNotifyArgs>(inParams);
      return RemoveRenderNotification(args.proc, args.userData);
    }
    default:
      return ComponentBase::DispatchSelector(inParams);
  }
}

OSStatus AUBase::RemovePropertyValue(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {
  return kAudioUnitErr_InvalidPropertyValue;
}

OSStatus AUBase::AddPropertyListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc,
                                     void* inUserData) {
  if (!inProc) return paramErr;
  mPropertyListeners.Update([&](const PropertyListeners& inCurrent) {
    auto next = std::make_unique<PropertyListeners>(inCurrent);
    next->push_back(PropertyListener{inID, inProc, inUserData});
    return next;
  });
  return noErr;
}

OSStatus AUBase::RemovePropertyListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc,
                                        void* inUserData, bool inMatchUserData) {
  mPropertyListeners.Update([&](const PropertyListeners& inCurrent) {
    auto next = std::make_unique<PropertyListeners>(inCurrent);
    std::erase_if(*next, [&](const PropertyListener& inListener) {
      return inListener.id == inID && inListener.proc == inProc &&
             (!inMatchUserData || inListener.userData == inUserData);
    });
    return next;
  });
  return noErr;
}

void AUBase::PropertyChanged(AudioUnitPropertyID inID, AudioUnitScope inScope,
                             AudioUnitElement inElement) {
  AURealtimeSnapshot<PropertyListeners>::Reader listeners(mPropertyListeners);
  for (const PropertyListener& listener : *listeners) {
    if (listener.id == inID) {
      listener.proc(listener.userData, mComponentInstance, inID, inScope, inElement);
    }
  }
}

OSStatus AUBase::AddRenderNotification(AURenderCallback inProc, void* inUserData) {
  if (!inProc) return paramErr;
  mRenderNotifications.Update([&](const RenderNotifications& inCurrent) {
    auto next = std::make_unique<RenderNotifications>(inCurrent);
    const bool present = std::any_of(next->begin(), next->end(), [&](const auto& inEntry) {
      return inEntry.proc == inProc && inEntry.userData == inUserData;
    });
    if (!present) next->push_back(RenderNotification{inProc, inUserData});
    return next;
  });
  return noErr;
}

OSStatus AUBase::RemoveRenderNotification(AURenderCallback inProc, void* inUserData) {
  mRenderNotifications.Update([&](const RenderNotifications& inCurrent) {
    auto next = std::make_unique<RenderNotifications>(inCurrent);
    std::erase_if(*next, [&](const RenderNotification& inEntry) {
      return inEntry.proc == inProc && inEntry.userData == inUserData;
    });
    return next;
  });
  return noErr;
}

void AUBase::NotifyRender(const RenderNotifications& inList, AudioUnitRenderActionFlags inFlags,
                          const AudioTimeStamp& inTimeStamp, UInt32 inBusNumber,
                          UInt32 inNumberFrames, AudioBufferList& ioData) {
  for (const RenderNotification& entry : inList) {
    AudioUnitRenderActionFlags flags = inFlags;
    entry.proc(entry.userData, &flags, &inTimeStamp, inBusNumber, inNumberFrames, &ioData);
  }
}
