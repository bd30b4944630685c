// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/au_listener_base.h"

#include <algorithm>
#include <utility>

namespace {

bool sameParameter(const AudioUnitParameter& a, const AudioUnitParameter& b) {
  return a.mAudioUnit == b.mAudioUnit && a.mParameterID == b.mParameterID && a.mScope == b.mScope &&
         a.mElement == b.mElement;
}

bool sameProperty(const AudioUnitProperty& a, const AudioUnitProperty& b) {
  return a.mAudioUnit == b.mAudioUnit && a.mPropertyID == b.mPropertyID && a.mScope == b.mScope &&
         a.mElement == b.mElement;
}

bool isPropertyEvent(const AudioUnitEvent& event) {
  return event.mEventType == kAudioUnitEvent_PropertyChange;
}

// Same parameter or property, whatever the event type.
bool sameTarget(const AudioUnitEvent& a, const AudioUnitEvent& b) {
  if (isPropertyEvent(a) != isPropertyEvent(b)) return false;
  return isPropertyEvent(a) ? sameProperty(a.mArgument.mProperty, b.mArgument.mProperty)
                            : sameParameter(a.mArgument.mParameter, b.mArgument.mParameter);
}

}  // namespace

bool sameEventTarget(const AudioUnitEvent& a, const AudioUnitEvent& b) {
  return a.mEventType == b.mEventType && sameTarget(a, b);
}

AudioUnit unitOfEvent(const AudioUnitEvent& event) {
  return isPropertyEvent(event) ? event.mArgument.mProperty.mAudioUnit
                                : event.mArgument.mParameter.mAudioUnit;
}

AUListenerBase::AUListenerBase(AUParameterListenerProc parameterProc, AUEventListenerProc eventProc,
                               void* userData, std::shared_ptr<runloop::RunLoop> loop,
                               Clock::duration interval)
    : mParameterProc(parameterProc),
      mEventProc(eventProc),
      mUserData(userData),
      mLoopOwner(std::move(loop)),
      mLoop(mLoopOwner ? mLoopOwner.get() : &runloop::RunLoop::main()),
      mInterval(interval) {}

void AUListenerBase::addRegistration(void* object, const AudioUnitEvent& event) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mDisposed) return;
  for (const Registration& r : mRegistrations) {
    if (r.object == object && sameEventTarget(r.event, event)) return;
  }
  mRegistrations.push_back(Registration{mNextRegistration++, object, event});
}

void AUListenerBase::removeRegistration(void* object, const AudioUnitEvent& event) {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto found = std::find_if(mRegistrations.begin(), mRegistrations.end(), [&](const auto& r) {
      return r.object == object && sameEventTarget(r.event, event);
    });
    if (found == mRegistrations.end()) return;
    const uint64_t id = found->id;
    mRegistrations.erase(found);
    mQueue.erase(std::remove_if(mQueue.begin(), mQueue.end(),
                                [id](const Delivery& d) { return d.registration == id; }),
                 mQueue.end());
  }
  waitUntilIdle();
}

bool AUListenerBase::forgetUnit(AudioUnit unit) {
  std::lock_guard<std::mutex> lock(mMutex);
  const size_t registrations = mRegistrations.size();
  mRegistrations.erase(
      std::remove_if(mRegistrations.begin(), mRegistrations.end(),
                     [unit](const auto& r) { return unitOfEvent(r.event) == unit; }),
      mRegistrations.end());
  mQueue.erase(std::remove_if(mQueue.begin(), mQueue.end(),
                              [unit](const auto& d) { return unitOfEvent(d.event) == unit; }),
               mQueue.end());
  return mRegistrations.size() != registrations;
}

void AUListenerBase::tell(const AudioUnitEvent& event, AudioUnitParameterValue value,
                          uint64_t hostTime, const AUListenerBase* sender, void* sendingObject) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mDisposed) return;
  bool queued = false;
  for (const Registration& r : mRegistrations) {
    if (!sameEventTarget(r.event, event)) continue;
    if (sender == this && r.object == sendingObject) continue;
    enqueueLocked(r, event, value, hostTime);
    queued = true;
  }
  if (queued) scheduleLocked();
}

void AUListenerBase::enqueueLocked(const Registration& registration, const AudioUnitEvent& event,
                                   AudioUnitParameterValue value, uint64_t hostTime) {
  if (event.mEventType == kAudioUnitEvent_ParameterValueChange) {
    for (auto it = mQueue.rbegin(); it != mQueue.rend(); ++it) {
      if (it->registration == registration.id) {
        if (it->event.mEventType != kAudioUnitEvent_ParameterValueChange) break;
        it->value = value;
        it->hostTime = hostTime;
        return;
      }
      if (sameTarget(it->event, event)) break;  // a gesture on it follows: keep the order
    }
  }
  mQueue.push_back(Delivery{registration.id, registration.object, event, value, hostTime});
}

void AUListenerBase::scheduleLocked() {
  if (mTimer != 0) return;
  const Clock::time_point due = mLastDelivery + mInterval;
  const Clock::duration delay = std::max(Clock::duration::zero(), due - Clock::now());
  std::weak_ptr<AUListenerBase> weak = weak_from_this();
  mTimer = mLoop->schedule(delay, [weak] {
    if (auto self = weak.lock()) self->deliverPending();
  });
}

bool AUListenerBase::isLiveLocked(uint64_t registration) const {
  return std::any_of(mRegistrations.begin(), mRegistrations.end(),
                     [registration](const auto& r) { return r.id == registration; });
}

void AUListenerBase::deliverPending() {
  std::vector<Delivery> batch;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mTimer = 0;
    mLastDelivery = Clock::now();
    batch.swap(mQueue);
  }
  for (const Delivery& delivery : batch) {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mDisposed || !isLiveLocked(delivery.registration)) continue;
      ++mCallbackDepth;
      mCallbackThread = std::this_thread::get_id();
    }
    call(delivery);
    {
      std::lock_guard<std::mutex> lock(mMutex);
      --mCallbackDepth;
    }
    mIdle.notify_all();
  }
}

void AUListenerBase::call(const Delivery& delivery) {
  if (mEventProc) {
    mEventProc(mUserData, delivery.object, &delivery.event, delivery.hostTime, delivery.value);
  } else {
    mParameterProc(mUserData, delivery.object, &delivery.event.mArgument.mParameter,
                   delivery.value);
  }
}

void AUListenerBase::dispose() {
  runloop::RunLoop::TimerId timer = 0;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mDisposed = true;
    mRegistrations.clear();
    mQueue.clear();
    std::swap(timer, mTimer);
  }
  if (timer != 0) mLoop->cancel(timer);
  waitUntilIdle();
}

void AUListenerBase::waitUntilIdle() {
  std::unique_lock<std::mutex> lock(mMutex);
  mIdle.wait(lock, [this] {
    return mCallbackDepth == 0 || mCallbackThread == std::this_thread::get_id();
  });
}
