// SPDX-License-Identifier: GPL-3.0-or-later
// The host-side parameter services against the component opened through its entry point:
// who is told of a set, coalescing at the interval, gesture events in order, nothing after
// dispose, removal or close, and the refusals.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "platform/au/au_listener.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;
using Clock = std::chrono::steady_clock;

namespace {

struct Heard {
  void* object;
  AudioUnitEventType type;
  AudioUnitParameterID id;
  float value;
  Clock::time_point at;
};

// What one listener was told, in order.
struct Recorder {
  std::vector<Heard> heard;

  static void onParameter(void* self, void* object, const AudioUnitParameter* p, float value) {
    static_cast<Recorder*>(self)->heard.push_back(
        {object, kAudioUnitEvent_ParameterValueChange, p->mParameterID, value, Clock::now()});
  }
  static void onEvent(void* self, void* object, const AudioUnitEvent* e, uint64_t, float value) {
    static_cast<Recorder*>(self)->heard.push_back(
        {object, e->mEventType, e->mArgument.mParameter.mParameterID, value, Clock::now()});
  }
};

AudioUnitParameter parameter(AudioUnit unit, AudioUnitParameterID id) {
  return AudioUnitParameter{unit, id, kAudioUnitScope_Global, 0};
}

AudioUnitEvent event(AudioUnitEventType type, AudioUnit unit, AudioUnitParameterID id) {
  AudioUnitEvent e{};
  e.mEventType = type;
  e.mArgument.mParameter = parameter(unit, id);
  return e;
}

// Turns the main loop (the test's thread) for a while.
void pump(double seconds = 0.05) {
  runloop::RunLoop::main().runUntil(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(seconds)));
}

class ParameterListeners : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(fx.openStatus(), noErr); }
  AUParameterListenerRef listen(Recorder& recorder, float interval = 0.0f) {
    AUParameterListenerRef ref = nullptr;
    EXPECT_EQ(AUListenerCreate(&Recorder::onParameter, &recorder, nullptr, interval, &ref), noErr);
    return ref;
  }
  Instance fx;
  int objectA = 0, objectB = 0;
};

}  // namespace

// The editor's pattern (registered with no object, sending with itself) and a sender that
// registered with the object it sends as.
TEST_F(ParameterListeners, SetReachesEveryRegistrationButTheSendersOnItsLoop) {
  Recorder a, b;
  AUParameterListenerRef la = listen(a), lb = listen(b);
  const AudioUnitParameter fbAmount = parameter(fx.unit(), 0);
  ASSERT_EQ(AUListenerAddParameter(la, &objectA, &fbAmount), noErr);
  ASSERT_EQ(AUListenerAddParameter(la, nullptr, &fbAmount), noErr);
  ASSERT_EQ(AUListenerAddParameter(lb, nullptr, &fbAmount), noErr);
  ASSERT_EQ(AUListenerAddParameter(lb, nullptr, &fbAmount), noErr);  // twice: heard once
  const AudioUnitParameter other = parameter(fx.unit(), 1);
  ASSERT_EQ(AUListenerAddParameter(lb, &objectB, &other), noErr);

  ASSERT_EQ(AUParameterSet(la, &objectA, &fbAmount, 42.0f, 0), noErr);
  EXPECT_EQ(fx.parameter(0), 42.0f);
  EXPECT_TRUE(a.heard.empty() && b.heard.empty()) << "told inside the set, not on the loop";
  pump();
  ASSERT_EQ(a.heard.size(), 1u);
  EXPECT_EQ(a.heard[0].object, nullptr);
  EXPECT_EQ(a.heard[0].value, 42.0f);
  ASSERT_EQ(b.heard.size(), 1u);
  EXPECT_EQ(b.heard[0].id, 0u);
  EXPECT_EQ(b.heard[0].value, 42.0f);

  // Notify tells the current value without setting it, again sparing only the sender.
  a.heard.clear();
  b.heard.clear();
  ASSERT_EQ(fx.setParameter(0, 17.0f), noErr);  // a host's own write: nobody hears of it
  pump();
  EXPECT_TRUE(a.heard.empty() && b.heard.empty());
  ASSERT_EQ(AUParameterListenerNotify(lb, nullptr, &fbAmount), noErr);
  pump();
  ASSERT_EQ(a.heard.size(), 2u);
  EXPECT_EQ(a.heard[0].value, 17.0f);
  EXPECT_EQ(a.heard[1].value, 17.0f);
  EXPECT_TRUE(b.heard.empty());
  EXPECT_EQ(fx.parameter(0), 17.0f);

  EXPECT_EQ(AUListenerDispose(la), noErr);
  EXPECT_EQ(AUListenerDispose(lb), noErr);
}

TEST_F(ParameterListeners, ValuesCoalesceToTheLatestAtMostOncePerInterval) {
  constexpr float kInterval = 0.05f;
  Recorder r;
  AUParameterListenerRef l = listen(r, kInterval);
  const AudioUnitParameter p0 = parameter(fx.unit(), 0), p1 = parameter(fx.unit(), 1);
  ASSERT_EQ(AUListenerAddParameter(l, nullptr, &p0), noErr);
  ASSERT_EQ(AUListenerAddParameter(l, nullptr, &p1), noErr);

  // A burst between two turns: one delivery per parameter, the latest value, first-told first.
  for (int v = 0; v <= 100; ++v) {
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p0, float(v), 0), noErr);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p1, float(100 - v), 0), noErr);
  }
  pump(0.02);
  ASSERT_EQ(r.heard.size(), 2u);
  EXPECT_EQ(r.heard[0].id, 0u);
  EXPECT_EQ(r.heard[0].value, 100.0f);
  EXPECT_EQ(r.heard[1].id, 1u);
  EXPECT_EQ(r.heard[1].value, 0.0f);

  // A steady stream of sets while the loop turns: deliveries keep coming, never closer than
  // the interval, and the last one carries the last value.
  r.heard.clear();
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(400);
  int v = 0;
  while (Clock::now() < end) {
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p0, float(v++ % 100), 0), noErr);
    runloop::RunLoop::main().runOnce();
  }
  const float last = float((v - 1) % 100);
  pump(2 * kInterval);
  ASSERT_GE(r.heard.size(), 3u);
  EXPECT_LT(r.heard.size(), size_t(v));
  for (size_t i = 1; i < r.heard.size(); ++i) {
    EXPECT_GE(r.heard[i].at - r.heard[i - 1].at,
              std::chrono::duration<double>(kInterval) - std::chrono::milliseconds(2))
        << "delivery " << i;
  }
  EXPECT_EQ(r.heard.back().value, last);
  EXPECT_EQ(AUListenerDispose(l), noErr);
}

// The editor's gesture bracket as a host's event listener sees it: begins in order, the last
// value inside the bracket, ends in order; a plain parameter listener hears only the value.
TEST_F(ParameterListeners, GestureEventsArriveInOrderAroundTheValues) {
  const std::vector<AudioUnitParameterID> ids = {0, 1, 2, 3, 10, 22, 46};
  Recorder host, editor;
  AUEventListenerRef hostListener = nullptr;
  ASSERT_EQ(AUEventListenerCreate(&Recorder::onEvent, &host, nullptr, 0.1f, &hostListener), noErr);
  AUParameterListenerRef editorListener = listen(editor, 0.1f);
  for (AudioUnitParameterID id : ids) {
    for (AudioUnitEventType type :
         {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
          kAudioUnitEvent_EndParameterChangeGesture}) {
      const AudioUnitEvent e = event(type, fx.unit(), id);
      ASSERT_EQ(AUEventListenerAddEventType(hostListener, nullptr, &e), noErr);
    }
    const AudioUnitParameter p = parameter(fx.unit(), id);
    ASSERT_EQ(AUListenerAddParameter(editorListener, nullptr, &p), noErr);
  }

  int view = 0;
  for (AudioUnitParameterID id : ids) {
    const AudioUnitEvent begin = event(kAudioUnitEvent_BeginParameterChangeGesture, fx.unit(), id);
    ASSERT_EQ(AUEventListenerNotify(editorListener, &view, &begin), noErr);
  }
  const AudioUnitParameter dragged = parameter(fx.unit(), 3);
  for (float v : {10.0f, 20.0f, 30.0f}) {
    ASSERT_EQ(AUParameterSet(editorListener, &view, &dragged, v, 0), noErr);
  }
  for (AudioUnitParameterID id : ids) {
    const AudioUnitEvent end = event(kAudioUnitEvent_EndParameterChangeGesture, fx.unit(), id);
    ASSERT_EQ(AUEventListenerNotify(editorListener, &view, &end), noErr);
  }
  ASSERT_EQ(AUParameterSet(editorListener, &view, &dragged, 40.0f, 0), noErr);  // after the end
  pump(0.3);

  std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>> expected;
  for (AudioUnitParameterID id : ids) expected.push_back({1, id});
  expected.push_back({0, 3});
  for (AudioUnitParameterID id : ids) expected.push_back({2, id});
  expected.push_back({0, 3});
  std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>> got;
  for (const Heard& h : host.heard) got.push_back({h.type, h.id});
  EXPECT_EQ(got, expected);
  ASSERT_EQ(host.heard.size(), expected.size());
  EXPECT_EQ(host.heard[ids.size()].value, 30.0f);
  EXPECT_EQ(host.heard.back().value, 40.0f);

  ASSERT_EQ(editor.heard.size(), 1u) << "a parameter listener hears values only, coalesced";
  EXPECT_EQ(editor.heard[0].value, 40.0f);

  // The sender's own registration is spared for events too.
  host.heard.clear();
  const AudioUnitEvent begin = event(kAudioUnitEvent_BeginParameterChangeGesture, fx.unit(), 0);
  ASSERT_EQ(AUEventListenerNotify(hostListener, nullptr, &begin), noErr);
  pump(0.15);
  EXPECT_TRUE(host.heard.empty());
  EXPECT_EQ(AUListenerDispose(hostListener), noErr);
  EXPECT_EQ(AUListenerDispose(editorListener), noErr);
}

// Pending deliveries die with the listener, the registration or the instance.
TEST_F(ParameterListeners, NothingIsHeardAfterDisposeRemovalOrClose) {
  const AudioUnitParameter p = parameter(fx.unit(), 0);
  struct Case {
    const char* name;
    int end;  // 0 dispose, 1 remove, 2 close the instance
  };
  for (const Case& c : {Case{"dispose", 0}, Case{"remove", 1}, Case{"close", 2}}) {
    SCOPED_TRACE(c.name);
    AudioUnit own = nullptr;
    ASSERT_EQ(OpenAComponent(tarnwickComponent(), &own), noErr);
    const AudioUnitParameter q = parameter(own, 0);
    Recorder r, bystander;
    AUParameterListenerRef l = listen(r), other = listen(bystander);
    ASSERT_EQ(AUListenerAddParameter(l, nullptr, &q), noErr);
    ASSERT_EQ(AUListenerAddParameter(other, nullptr, &p), noErr);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &q, 5.0f, 0), noErr);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, 6.0f, 0), noErr);
    switch (c.end) {
      case 0:
        EXPECT_EQ(AUListenerDispose(l), noErr);
        break;
      case 1:
        EXPECT_EQ(AUListenerRemoveParameter(l, nullptr, &q), noErr);
        break;
      default:
        EXPECT_EQ(CloseComponent(own), noErr);
    }
    pump();
    EXPECT_TRUE(r.heard.empty());
    ASSERT_EQ(bystander.heard.size(), 1u) << "another unit's listener is unaffected";
    if (c.end == 2) {
      // The editor tears down after the host closed the unit: removal stays quiet.
      EXPECT_EQ(AUListenerRemoveParameter(l, nullptr, &q), noErr);
      EXPECT_EQ(AUListenerAddParameter(l, nullptr, &p), noErr);  // the listener still works
      ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, 7.0f, 0), noErr);
      pump();
      ASSERT_EQ(r.heard.size(), 1u);
      EXPECT_EQ(r.heard[0].value, 7.0f);
    } else {
      EXPECT_EQ(CloseComponent(own), noErr);
    }
    if (c.end != 0) {
      EXPECT_EQ(AUListenerDispose(l), noErr);
    }
    EXPECT_EQ(AUListenerDispose(l), paramErr);
    EXPECT_EQ(AUListenerDispose(other), noErr);
  }
}

// A listener disposing itself, or another listener of the same batch, from its callback.
TEST_F(ParameterListeners, DisposeFromInsideACallbackStopsTheRestOfTheBatch) {
  struct Self {
    AUParameterListenerRef ref = nullptr;
    int calls = 0;
    static void on(void* s, void*, const AudioUnitParameter*, float) {
      auto* self = static_cast<Self*>(s);
      ++self->calls;
      EXPECT_EQ(AUListenerDispose(self->ref), noErr);
    }
  } self;
  ASSERT_EQ(AUListenerCreate(&Self::on, &self, nullptr, 0.0f, &self.ref), noErr);
  for (AudioUnitParameterID id : {0u, 1u, 2u}) {
    const AudioUnitParameter p = parameter(fx.unit(), id);
    ASSERT_EQ(AUListenerAddParameter(self.ref, nullptr, &p), noErr);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, 1.0f, 0), noErr);
  }
  pump();
  EXPECT_EQ(self.calls, 1);
}

TEST_F(ParameterListeners, BadInputIsRefusedAndNobodyIsTold) {
  Recorder r;
  AUParameterListenerRef l = listen(r);
  AUParameterListenerRef out = reinterpret_cast<AUParameterListenerRef>(&r);
  struct CreateCase {
    AUParameterListenerProc proc;
    float interval;
    bool withOut;
  };
  for (const CreateCase& c :
       {CreateCase{nullptr, 0.1f, true}, CreateCase{&Recorder::onParameter, -1.0f, true},
        CreateCase{&Recorder::onParameter, NAN, true},
        CreateCase{&Recorder::onParameter, INFINITY, true},
        CreateCase{&Recorder::onParameter, 0.1f, false}}) {
    EXPECT_EQ(AUListenerCreate(c.proc, &r, nullptr, c.interval, c.withOut ? &out : nullptr),
              paramErr);
    if (c.withOut) {
      EXPECT_EQ(out, nullptr);
    }
  }

  const AudioUnitParameter p = parameter(fx.unit(), 0);
  const AudioUnitParameter noUnit = parameter(nullptr, 0);
  const AudioUnitParameter noSuchId = parameter(fx.unit(), 999);
  ASSERT_EQ(AUListenerAddParameter(l, nullptr, &p), noErr);
  ASSERT_EQ(AUListenerAddParameter(l, nullptr, &noSuchId), noErr);  // nothing can be told of it
  int stranger = 0;
  auto* unknown = reinterpret_cast<AUParameterListenerRef>(&stranger);
  EXPECT_EQ(AUListenerAddParameter(l, nullptr, nullptr), paramErr);
  EXPECT_EQ(AUListenerAddParameter(l, nullptr, &noUnit), paramErr);
  EXPECT_EQ(AUListenerAddParameter(unknown, nullptr, &p), paramErr);
  EXPECT_EQ(AUListenerRemoveParameter(unknown, nullptr, &p), paramErr);
  EXPECT_EQ(AUListenerDispose(unknown), paramErr);
  EXPECT_EQ(AUListenerDispose(nullptr), paramErr);
  AudioUnitEvent badType = event(7, fx.unit(), 0);
  EXPECT_EQ(AUEventListenerAddEventType(l, nullptr, &badType), paramErr);
  EXPECT_EQ(AUEventListenerNotify(l, nullptr, &badType), paramErr);
  EXPECT_EQ(AUEventListenerNotify(l, nullptr, nullptr), paramErr);

  const float before = fx.parameter(0);
  EXPECT_NE(AUParameterSet(nullptr, nullptr, &noSuchId, 1.0f, 0), noErr);
  EXPECT_NE(AUParameterListenerNotify(nullptr, nullptr, &noSuchId), noErr);
  const AudioUnitEvent gestureOnNothing =
      event(kAudioUnitEvent_BeginParameterChangeGesture, fx.unit(), 999);
  EXPECT_NE(AUEventListenerNotify(nullptr, nullptr, &gestureOnNothing), noErr);
  EXPECT_EQ(AUParameterSet(nullptr, nullptr, &noUnit, 1.0f, 0), badComponentInstance);
  EXPECT_EQ(AUParameterSet(nullptr, nullptr, nullptr, 1.0f, 0), paramErr);
  pump();
  EXPECT_TRUE(r.heard.empty());
  EXPECT_EQ(fx.parameter(0), before);
  EXPECT_EQ(AUListenerDispose(l), noErr);
}
