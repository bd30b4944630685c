// SPDX-License-Identifier: GPL-3.0-or-later
// One listener's state behind an AUParameterListenerRef / AUEventListenerRef: its registrations,
// the queue of what it has been told and not yet delivered, and the delivery timer on its run
// loop. The functions of au_listener.h own these through a process-wide table; a timer holds
// only a weak reference, so a disposed listener's state goes with its last delivery.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/au/au_listener.h"

// Same event target: type, and the parameter's or property's unit, id, scope and element.
bool sameEventTarget(const AudioUnitEvent& a, const AudioUnitEvent& b);
// The unit an event is about.
AudioUnit unitOfEvent(const AudioUnitEvent& event);

struct AUListenerBase : std::enable_shared_from_this<AUListenerBase> {
 public:
  using Clock = runloop::RunLoop::Clock;

  // Exactly one of parameterProc and eventProc is set. loop: null for the main loop.
  AUListenerBase(AUParameterListenerProc parameterProc, AUEventListenerProc eventProc,
                 void* userData, std::shared_ptr<runloop::RunLoop> loop, Clock::duration interval);
  AUListenerBase(const AUListenerBase&) = delete;
  AUListenerBase& operator=(const AUListenerBase&) = delete;

  bool isEventListener() const { return mEventProc != nullptr; }

  // Registration by (object, event); adding twice keeps one. [any thread]
  void addRegistration(void* object, const AudioUnitEvent& event);
  void removeRegistration(void* object, const AudioUnitEvent& event);
  // Drops registrations and queued deliveries about unit; true when any was dropped.
  bool forgetUnit(AudioUnit unit);

  // Queues event for every registration that matches it, except (sender, sendingObject);
  // schedules a delivery when none is pending. [any thread, not the render thread]
  void tell(const AudioUnitEvent& event, AudioUnitParameterValue value, uint64_t hostTime,
            const AUListenerBase* sender, void* sendingObject);

  // Stops all delivery: registrations and queue dropped, the pending timer cancelled, and a
  // callback running on another thread waited for. [any thread]
  void dispose();
  // Waits until no callback of this listener runs on another thread.
  void waitUntilIdle();

 private:
  struct Registration {
    uint64_t id;
    void* object;
    AudioUnitEvent event;
  };
  struct Delivery {
    uint64_t registration;
    void* object;
    AudioUnitEvent event;
    AudioUnitParameterValue value;
    uint64_t hostTime;
  };

  // Queues one delivery, merging a value change into a pending one of the same registration
  // when no event about the same target follows it. Lock held.
  void enqueueLocked(const Registration& registration, const AudioUnitEvent& event,
                     AudioUnitParameterValue value, uint64_t hostTime);
  void scheduleLocked();
  bool isLiveLocked(uint64_t registration) const;
  // The timer's work, on the loop's thread.
  void deliverPending();
  void call(const Delivery& delivery);

  const AUParameterListenerProc mParameterProc;
  const AUEventListenerProc mEventProc;
  void* const mUserData;
  const std::shared_ptr<runloop::RunLoop> mLoopOwner;
  runloop::RunLoop* const mLoop;
  const Clock::duration mInterval;

  std::mutex mMutex;
  std::condition_variable mIdle;
  std::vector<Registration> mRegistrations;
  std::vector<Delivery> mQueue;
  uint64_t mNextRegistration = 1;
  runloop::RunLoop::TimerId mTimer = 0;
  Clock::time_point mLastDelivery{};
  bool mDisposed = false;
  int mCallbackDepth = 0;  // callbacks running now (nested ones on the loop's thread count too)
  std::thread::id mCallbackThread;
};
