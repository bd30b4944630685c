// SPDX-License-Identifier: GPL-3.0-or-later
// The host-side parameter services: parameter and event listeners, parameter sets that tell the
// listeners, and gesture events for host automation.
//
// Delivery. A listener is called only on its run loop's thread, from a timer of that loop, never
// inside the call that caused the change. Value changes are coalesced per registration: between
// two deliveries only the latest value of each parameter is kept, and deliveries are at least the
// listener's interval apart (interval 0: on the loop's next turn). Gesture and property events
// are never coalesced; everything a listener is told arrives in the order it was told, and a
// value that was pending before an end-gesture event is delivered before that event.
//
// Sender. Every registration is a (listener, object) pair. A change told with a sending
// listener and sending object reaches every registration of the parameter except the one whose
// listener and object are both the sender's; a listener registered with another object (null,
// typically) is told its own changes.
//
// Lifetime. Once AUListenerDispose, AUListenerRemoveParameter or AUEventListenerRemoveEventType
// returns, the listener (or that registration) is never called again; pending deliveries are
// dropped, and a call running on another thread is waited for (a call from inside the
// listener's own callback does not wait). Closing a unit (CloseComponent) drops every
// registration on it the same way, so listeners of a closed instance are never called again.
//
// Threads. Every call is thread-safe and may be made from any thread except the render thread
// (they allocate and lock).
#pragma once

#include <memory>

#include "platform/au/au_types.h"
#include "platform/runloop/run_loop.h"

struct AUListenerBase;
using AUParameterListenerRef = AUListenerBase*;
using AUEventListenerRef = AUListenerBase*;

// inObject is the object the parameter was registered with.
using AUParameterListenerProc = void (*)(void* inUserData, void* inObject,
                                         const AudioUnitParameter* inParameter,
                                         AudioUnitParameterValue inValue);
// inEventHostTime: steady-clock nanoseconds at which the event was told. inParameterValue: the
// parameter's value for parameter events (the value at the time the event was told), 0 for
// property events.
using AUEventListenerProc = void (*)(void* inUserData, void* inObject,
                                     const AudioUnitEvent* inEvent, uint64_t inEventHostTime,
                                     AudioUnitParameterValue inParameterValue);

// Creates a parameter listener delivering on inRunLoop (null: the main loop) at most once per
// inNotificationInterval seconds (0 or more). paramErr for a null proc or out pointer or a
// negative or non-finite interval. [not the render thread]
OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData,
                          std::shared_ptr<runloop::RunLoop> inRunLoop,
                          Float32 inNotificationInterval, AUParameterListenerRef* outListener);

// Creates an event listener: as above, for the event types it registers for with
// AUEventListenerAddEventType (AUListenerAddParameter registers for value changes).
OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData,
                               std::shared_ptr<runloop::RunLoop> inRunLoop,
                               Float32 inNotificationInterval, AUEventListenerRef* outListener);

// Disposes a listener of either kind; paramErr for an unknown or disposed one.
// [not the render thread; see Lifetime]
OSStatus AUListenerDispose(AUParameterListenerRef inListener);

// Registers (listener, object) for value changes of the parameter. Registering the same pair
// again is noErr and changes nothing. paramErr for an unknown listener, a null parameter or a
// null unit. [not the render thread]
OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                const AudioUnitParameter* inParameter);
// Removes that registration. Removing one that is not there (or was dropped when its unit
// closed) is noErr. [not the render thread]
OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter);

// Registers (listener, object) for one event type (0 to 3) on the event's parameter or
// property. paramErr for an unknown listener, a null event, an unknown type or a null unit.
OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                     const AudioUnitEvent* inEvent);
OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                        const AudioUnitEvent* inEvent);

// Sets the parameter on its unit (AudioUnitSetParameter) and, when that succeeds, tells every
// registration of it except the sender's the value set. The unit's failure is returned and
// nobody is told. inSendingListener and inSendingObject may be null. [not the render thread]
OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames);

// Tells every registration of the parameter except the sender's its current value
// (AudioUnitGetParameter), without setting it. The unit's failure is returned and nobody is told.
OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter);

// Tells an event: a value change (as AUParameterListenerNotify), a begin or end gesture on a
// parameter (type 1 and 2; the parameter must be readable on its unit) or a property change.
// paramErr for a null event or an unknown type.
OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent);

// Drops every registration on inUnit and waits for calls about it running on other threads.
// CloseComponent calls it before the unit's close selector. [not the render thread]
void AUListenersForgetUnit(AudioUnit inUnit);
