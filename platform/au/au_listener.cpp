// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/au_listener.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/au/au_listener_base.h"
#include "platform/au/audio_unit_calls.h"

namespace {

// The live listeners. Lock order: this table's mutex, then a listener's.
struct ListenerTable {
  std::mutex mutex;
  std::unordered_map<AUListenerBase*, std::shared_ptr<AUListenerBase>> listeners;
};

ListenerTable& table() {
  static auto* shared = new ListenerTable;  // never destroyed: listeners may outlive statics
  return *shared;
}

std::shared_ptr<AUListenerBase> find(AUListenerBase* listener) {
  ListenerTable& shared = table();
  std::lock_guard<std::mutex> lock(shared.mutex);
  auto found = shared.listeners.find(listener);
  return found == shared.listeners.end() ? nullptr : found->second;
}

uint64_t hostTimeNow() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool validIntervalSeconds(Float32 seconds) {
  return std::isfinite(seconds) && seconds >= 0.0f && seconds <= 3600.0f;
}

OSStatus create(AUParameterListenerProc parameterProc, AUEventListenerProc eventProc,
                void* userData, std::shared_ptr<runloop::RunLoop> loop, Float32 interval,
                AUListenerBase** out) {
  if (!out) return paramErr;
  *out = nullptr;
  if ((!parameterProc && !eventProc) || !validIntervalSeconds(interval)) return paramErr;
  try {
    const auto period = std::chrono::duration_cast<runloop::RunLoop::Clock::duration>(
        std::chrono::duration<double>(interval));
    auto listener = std::make_shared<AUListenerBase>(parameterProc, eventProc, userData,
                                                     std::move(loop), period);
    ListenerTable& shared = table();
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.listeners.emplace(listener.get(), listener);
    *out = listener.get();
    return noErr;
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
}

bool validEventType(AudioUnitEventType type) {
  return type <= kAudioUnitEvent_PropertyChange;
}

AudioUnitEvent valueChangeEvent(const AudioUnitParameter& parameter) {
  AudioUnitEvent event{};
  event.mEventType = kAudioUnitEvent_ParameterValueChange;
  event.mArgument.mParameter = parameter;
  return event;
}

// Tells every listener; the table stays locked so that no listener is disposed half-way.
void tellAll(const AudioUnitEvent& event, AudioUnitParameterValue value, AUListenerBase* sender,
             void* sendingObject) {
  const uint64_t now = hostTimeNow();
  ListenerTable& shared = table();
  std::lock_guard<std::mutex> lock(shared.mutex);
  for (auto& entry : shared.listeners) {
    entry.second->tell(event, value, now, sender, sendingObject);
  }
}

OSStatus currentValue(const AudioUnitParameter& parameter, AudioUnitParameterValue* out) {
  return AudioUnitGetParameter(parameter.mAudioUnit, parameter.mParameterID, parameter.mScope,
                               parameter.mElement, out);
}

}  // namespace

OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData,
                          std::shared_ptr<runloop::RunLoop> inRunLoop,
                          Float32 inNotificationInterval, AUParameterListenerRef* outListener) {
  if (!inProc) {
    if (outListener) *outListener = nullptr;
    return paramErr;
  }
  return create(inProc, nullptr, inUserData, std::move(inRunLoop), inNotificationInterval,
                outListener);
}

OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData,
                               std::shared_ptr<runloop::RunLoop> inRunLoop,
                               Float32 inNotificationInterval, AUEventListenerRef* outListener) {
  if (!inProc) {
    if (outListener) *outListener = nullptr;
    return paramErr;
  }
  return create(nullptr, inProc, inUserData, std::move(inRunLoop), inNotificationInterval,
                outListener);
}

OSStatus AUListenerDispose(AUParameterListenerRef inListener) {
  std::shared_ptr<AUListenerBase> listener;
  {
    ListenerTable& shared = table();
    std::lock_guard<std::mutex> lock(shared.mutex);
    auto found = shared.listeners.find(inListener);
    if (found == shared.listeners.end()) return paramErr;
    listener = std::move(found->second);
    shared.listeners.erase(found);
  }
  listener->dispose();
  return noErr;
}

OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                const AudioUnitParameter* inParameter) {
  if (!inParameter || !inParameter->mAudioUnit) return paramErr;
  auto listener = find(inListener);
  if (!listener) return paramErr;
  try {
    listener->addRegistration(inObject, valueChangeEvent(*inParameter));
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter) {
  if (!inParameter) return paramErr;
  auto listener = find(inListener);
  if (!listener) return paramErr;
  listener->removeRegistration(inObject, valueChangeEvent(*inParameter));
  return noErr;
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                     const AudioUnitEvent* inEvent) {
  if (!inEvent || !validEventType(inEvent->mEventType) || !unitOfEvent(*inEvent)) return paramErr;
  auto listener = find(inListener);
  if (!listener) return paramErr;
  try {
    listener->addRegistration(inObject, *inEvent);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                        const AudioUnitEvent* inEvent) {
  if (!inEvent || !validEventType(inEvent->mEventType)) return paramErr;
  auto listener = find(inListener);
  if (!listener) return paramErr;
  listener->removeRegistration(inObject, *inEvent);
  return noErr;
}

OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames) {
  if (!inParameter) return paramErr;
  const OSStatus status =
      AudioUnitSetParameter(inParameter->mAudioUnit, inParameter->mParameterID, inParameter->mScope,
                            inParameter->mElement, inValue, inBufferOffsetInFrames);
  if (status != noErr) return status;
  try {
    tellAll(valueChangeEvent(*inParameter), inValue, inSendingListener, inSendingObject);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter) {
  if (!inParameter) return paramErr;
  AudioUnitEvent event = valueChangeEvent(*inParameter);
  return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent) {
  if (!inEvent || !validEventType(inEvent->mEventType)) return paramErr;
  AudioUnitParameterValue value = 0.0f;
  if (inEvent->mEventType != kAudioUnitEvent_PropertyChange) {
    const OSStatus status = currentValue(inEvent->mArgument.mParameter, &value);
    if (status != noErr) return status;
  } else if (!inEvent->mArgument.mProperty.mAudioUnit) {
    return badComponentInstance;
  }
  try {
    tellAll(*inEvent, value, inSendingListener, inSendingObject);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  }
  return noErr;
}

void AUListenersForgetUnit(AudioUnit inUnit) {
  if (!inUnit) return;
  std::vector<std::shared_ptr<AUListenerBase>> touched;
  {
    ListenerTable& shared = table();
    std::lock_guard<std::mutex> lock(shared.mutex);
    for (auto& entry : shared.listeners) {
      if (entry.second->forgetUnit(inUnit)) touched.push_back(entry.second);
    }
  }
  for (auto& listener : touched) listener->waitUntilIdle();
}
