// SPDX-License-Identifier: GPL-3.0-or-later
// Component registry and host-side calls, against a fake component routine that records the
// argument record of every call it receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_registry.h"

namespace {

// What the fake routine saw last; args are copied because the records live on the caller's
// stack only for the duration of the call.
struct LastCall {
  int calls = 0;
  int16_t what = 0;
  void* storage = nullptr;
  bool argsNull = false;
  ComponentOpenArgs open{};
  ComponentCanDoArgs canDo{};
  AudioUnitGetPropertyInfoArgs propertyInfo{};
  AudioUnitGetPropertyArgs getProperty{};
  AudioUnitSetPropertyArgs setProperty{};
  AudioUnitGetParameterArgs getParameter{};
  AudioUnitSetParameterArgs setParameter{};
  AudioUnitResetArgs reset{};
  AudioUnitPropertyListenerArgs listener{};
  AudioUnitRenderArgs render{};
  AudioUnitRenderNotifyArgs renderNotify{};
  MusicDeviceMIDIEventArgs midi{};
  MusicDeviceSysExArgs sysEx{};
};

LastCall gLast;
enum class OpenBehaviour { Succeed, Fail, ThrowBadAlloc, ThrowOther } gOpenBehaviour;
int gStorageObject = 0;  // the fake instance's "object"

constexpr OSStatus kFakeOpenFailure = -4242;
// Distinct status per selector, so that pass-through of the routine's result is visible.
OSStatus statusFor(int16_t what) {
  return what == kComponentVersionSelect ? 0x00020304 : 1000 + what;
}

template <typename Args>
void copyArgs(const ComponentParameters* params, Args* into) {
  if (params->args) *into = *static_cast<const Args*>(params->args);
}

OSStatus FakeRoutine(ComponentParameters* params, void* storage) {
  LastCall& last = gLast;
  ++last.calls;
  last.what = params->what;
  last.storage = storage;
  last.argsNull = params->args == nullptr;
  switch (params->what) {
    case kComponentOpenSelect:
      copyArgs(params, &last.open);
      switch (gOpenBehaviour) {
        case OpenBehaviour::Fail:
          return kFakeOpenFailure;
        case OpenBehaviour::ThrowBadAlloc:
          throw std::bad_alloc();
        case OpenBehaviour::ThrowOther:
          throw std::runtime_error("open failed");
        case OpenBehaviour::Succeed:
          SetComponentInstanceStorage(last.open.self, &gStorageObject);
          return noErr;
      }
      return noErr;
    case kComponentCloseSelect:
      copyArgs(params, &last.open);
      return noErr;
    case kComponentCanDoSelect:
      copyArgs(params, &last.canDo);
      return last.canDo.selector == kAudioUnitRenderSelect ? 1 : 0;
    case kAudioUnitGetPropertyInfoSelect:
      copyArgs(params, &last.propertyInfo);
      if (last.propertyInfo.outDataSize) *last.propertyInfo.outDataSize = 8;
      if (last.propertyInfo.outWritable) *last.propertyInfo.outWritable = 1;
      break;
    case kAudioUnitGetPropertySelect:
      copyArgs(params, &last.getProperty);
      std::memset(last.getProperty.outData, 0xAB, 4);
      *last.getProperty.ioDataSize = 4;
      break;
    case kAudioUnitSetPropertySelect:
      copyArgs(params, &last.setProperty);
      break;
    case kAudioUnitGetParameterSelect:
      copyArgs(params, &last.getParameter);
      *last.getParameter.outValue = 0.75f;
      break;
    case kAudioUnitSetParameterSelect:
      copyArgs(params, &last.setParameter);
      break;
    case kAudioUnitResetSelect:
      copyArgs(params, &last.reset);
      break;
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      copyArgs(params, &last.listener);
      break;
    case kAudioUnitRenderSelect:
      copyArgs(params, &last.render);
      break;
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
      copyArgs(params, &last.renderNotify);
      break;
    case kMusicDeviceMIDIEventSelect:
      copyArgs(params, &last.midi);
      break;
    case kMusicDeviceSysExSelect:
      copyArgs(params, &last.sysEx);
      break;
    default:
      break;
  }
  return statusFor(params->what);
}

OSStatus OtherRoutine(ComponentParameters*, void*) {
  return noErr;
}

void ListenerProc(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}
OSStatus NotifyProc(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                    AudioBufferList*) {
  return noErr;
}

ComponentDescription describe(const char (&subtype)[5], UInt32 flags = 0) {
  return ComponentDescription{kAudioUnitType_MusicEffect, fourCharCode(subtype),
                              fourCharCode("VxRg"), flags, 0};
}

// ---- registry

TEST(ComponentRegistry, RegisterFindAndDescribe) {
  const Component first = RegisterComponentEntry(describe("rgA1"), FakeRoutine, "Vx: First", 7);
  const Component second = RegisterComponentEntry(describe("rgA2"), FakeRoutine, "Vx: Second");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(RegisterComponentEntry(describe("rgA1"), FakeRoutine, "renamed"), first);
  EXPECT_EQ(RegisterComponentEntry(describe("rgA3"), nullptr, "no routine"), nullptr);

  ComponentDescription exact = describe("rgA2");
  EXPECT_EQ(FindNextComponent(nullptr, &exact), second);
  EXPECT_EQ(FindNextComponent(second, &exact), nullptr);

  ComponentDescription byMaker{0, 0, fourCharCode("VxRg"), 0, 0};
  std::vector<Component> found;
  for (Component c = FindNextComponent(nullptr, &byMaker); c; c = FindNextComponent(c, &byMaker)) {
    found.push_back(c);
  }
  ASSERT_GE(found.size(), 2u);
  EXPECT_LT(std::find(found.begin(), found.end(), first) - found.begin(),
            std::find(found.begin(), found.end(), second) - found.begin());
  EXPECT_EQ(CountComponents(&byMaker), found.size());
  EXPECT_GE(CountComponents(nullptr), found.size());

  ComponentDescription missing = describe("none");
  EXPECT_EQ(FindNextComponent(nullptr, &missing), nullptr);
  int notAComponent = 0;
  EXPECT_EQ(FindNextComponent(reinterpret_cast<Component>(&notAComponent), nullptr), nullptr);

  ComponentDescription info{};
  std::string name;
  ASSERT_EQ(GetComponentInfo(first, &info, &name), noErr);
  EXPECT_EQ(info.componentSubType, fourCharCode("rgA1"));
  EXPECT_EQ(info.componentManufacturer, fourCharCode("VxRg"));
  EXPECT_EQ(name, "Vx: First");
  EXPECT_EQ(GetComponentRegisteredVersion(first), 7u);
  EXPECT_EQ(GetComponentInfo(nullptr, &info, &name), paramErr);
  EXPECT_EQ(GetComponentInfo(reinterpret_cast<Component>(&notAComponent), nullptr, nullptr),
            paramErr);
}

TEST(ComponentRegistry, FlagsMatchUnderTheMask) {
  const Component flagged = RegisterComponentEntry(describe("rgF1", 0x5), OtherRoutine, "flags");
  ComponentDescription wantBit0 = describe("rgF1", 0x1);
  wantBit0.componentFlagsMask = 0x1;
  EXPECT_EQ(FindNextComponent(nullptr, &wantBit0), flagged);
  ComponentDescription wantBit1 = describe("rgF1", 0x2);
  wantBit1.componentFlagsMask = 0x2;
  EXPECT_EQ(FindNextComponent(nullptr, &wantBit1), nullptr);
  ComponentDescription ignoreFlags = describe("rgF1", 0x2);
  EXPECT_EQ(FindNextComponent(nullptr, &ignoreFlags), flagged);  // mask 0: flags ignored
}

TEST(ComponentRegistry, ConcurrentRegistrationGivesOneHandlePerDescription) {
  std::vector<std::thread> threads;
  std::vector<Component> handles(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &handles] {
      for (int i = 0; i < 50; ++i) {
        handles[t] = RegisterComponentEntry(describe("rgC1"), OtherRoutine, "concurrent");
        ComponentDescription any{};
        FindNextComponent(nullptr, &any);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (Component handle : handles) EXPECT_EQ(handle, handles[0]);
  ComponentDescription exact = describe("rgC1");
  EXPECT_EQ(CountComponents(&exact), 1u);
}

// ---- instances and host-side calls

class ComponentInstance : public ::testing::Test {
 protected:
  void SetUp() override {
    gLast = LastCall{};
    gOpenBehaviour = OpenBehaviour::Succeed;
    mComponent = RegisterComponentEntry(describe("rgI1"), FakeRoutine, "Vx: Instance");
    ASSERT_EQ(OpenAComponent(mComponent, &mUnit), noErr);
    ASSERT_NE(mUnit, nullptr);
  }
  void TearDown() override {
    if (mUnit) {
      EXPECT_EQ(CloseComponent(mUnit), noErr);
    }
  }

  // Expects that the last call reached the routine with selector what and the unit's storage.
  void expectReached(int16_t what) {
    EXPECT_EQ(gLast.what, what);
    EXPECT_EQ(gLast.storage, &gStorageObject);
  }

  Component mComponent = nullptr;
  AudioUnit mUnit = nullptr;
};

TEST_F(ComponentInstance, OpenSetsStorageThroughTheOpenSelector) {
  EXPECT_EQ(gLast.what, kComponentOpenSelect);
  EXPECT_EQ(gLast.storage, nullptr);
  EXPECT_EQ(gLast.open.self, mUnit);
  EXPECT_EQ(mUnit->storage, &gStorageObject);
  EXPECT_EQ(mUnit->entry, &FakeRoutine);
  EXPECT_EQ(mUnit->description.componentSubType, fourCharCode("rgI1"));
}

TEST_F(ComponentInstance, CloseCallsTheCloseSelectorOnce) {
  gLast = LastCall{};
  AudioUnit unit = mUnit;
  mUnit = nullptr;
  EXPECT_EQ(CloseComponent(unit), noErr);
  EXPECT_EQ(gLast.calls, 1);
  EXPECT_EQ(gLast.what, kComponentCloseSelect);
  EXPECT_EQ(gLast.storage, &gStorageObject);
  EXPECT_EQ(gLast.open.self, unit);
  EXPECT_EQ(CloseComponent(unit), badComponentInstance);  // already closed: not touched
  EXPECT_EQ(CloseComponent(nullptr), badComponentInstance);
  ComponentInstanceRecord foreign{FakeRoutine, &gStorageObject, {}};
  EXPECT_EQ(CloseComponent(&foreign), badComponentInstance);
  EXPECT_EQ(gLast.calls, 1);
}

TEST_F(ComponentInstance, FailedOpensReturnTheStatusAndNoInstance) {
  const std::pair<OpenBehaviour, OSStatus> cases[] = {{OpenBehaviour::Fail, kFakeOpenFailure},
                                                      {OpenBehaviour::ThrowBadAlloc, memFullErr},
                                                      {OpenBehaviour::ThrowOther, -1}};
  for (const auto& [behaviour, status] : cases) {
    gOpenBehaviour = behaviour;
    AudioUnit unit = reinterpret_cast<AudioUnit>(&gStorageObject);
    EXPECT_EQ(OpenAComponent(mComponent, &unit), status);
    EXPECT_EQ(unit, nullptr);
  }
  EXPECT_EQ(OpenAComponent(nullptr, &mUnit), paramErr);
  EXPECT_EQ(OpenAComponent(mComponent, nullptr), paramErr);
}

TEST_F(ComponentInstance, VersionAndCanDoPassTheRoutinesResult) {
  EXPECT_EQ(CallComponentVersion(mUnit), 0x00020304);
  expectReached(kComponentVersionSelect);
  EXPECT_TRUE(gLast.argsNull);
  EXPECT_EQ(CallComponentCanDo(mUnit, kAudioUnitRenderSelect), 1);
  EXPECT_EQ(gLast.canDo.selector, kAudioUnitRenderSelect);
  EXPECT_EQ(CallComponentCanDo(mUnit, 0x7777), 0);
}

TEST_F(ComponentInstance, LifecycleCallsCarryNoArguments) {
  EXPECT_EQ(AudioUnitInitialize(mUnit), statusFor(kAudioUnitInitializeSelect));
  expectReached(kAudioUnitInitializeSelect);
  EXPECT_TRUE(gLast.argsNull);
  EXPECT_EQ(AudioUnitUninitialize(mUnit), statusFor(kAudioUnitUninitializeSelect));
  expectReached(kAudioUnitUninitializeSelect);
  EXPECT_TRUE(gLast.argsNull);
  EXPECT_EQ(AudioUnitReset(mUnit, kAudioUnitScope_Input, 1), statusFor(kAudioUnitResetSelect));
  expectReached(kAudioUnitResetSelect);
  EXPECT_EQ(gLast.reset.scope, kAudioUnitScope_Input);
  EXPECT_EQ(gLast.reset.element, 1u);
}

TEST_F(ComponentInstance, PropertyCallsCarryTheirRecords) {
  UInt32 size = 0;
  Boolean writable = 0;
  EXPECT_EQ(AudioUnitGetPropertyInfo(mUnit, 65536, kAudioUnitScope_Global, 0, &size, &writable),
            statusFor(kAudioUnitGetPropertyInfoSelect));
  expectReached(kAudioUnitGetPropertyInfoSelect);
  EXPECT_EQ(gLast.propertyInfo.id, 65536u);
  EXPECT_EQ(gLast.propertyInfo.scope, kAudioUnitScope_Global);
  EXPECT_EQ(gLast.propertyInfo.outDataSize, &size);
  EXPECT_EQ(gLast.propertyInfo.outWritable, &writable);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(writable, 1);
  EXPECT_EQ(AudioUnitGetPropertyInfo(mUnit, 3, kAudioUnitScope_Output, 2, nullptr, nullptr),
            statusFor(kAudioUnitGetPropertyInfoSelect));
  EXPECT_EQ(gLast.propertyInfo.element, 2u);
  EXPECT_EQ(gLast.propertyInfo.outDataSize, nullptr);

  uint8_t buffer[16] = {};
  UInt32 capacity = sizeof buffer;
  EXPECT_EQ(AudioUnitGetProperty(mUnit, 8, kAudioUnitScope_Input, 1, buffer, &capacity),
            statusFor(kAudioUnitGetPropertySelect));
  expectReached(kAudioUnitGetPropertySelect);
  EXPECT_EQ(gLast.getProperty.id, 8u);
  EXPECT_EQ(gLast.getProperty.scope, kAudioUnitScope_Input);
  EXPECT_EQ(gLast.getProperty.element, 1u);
  EXPECT_EQ(gLast.getProperty.outData, buffer);
  EXPECT_EQ(capacity, 4u);
  EXPECT_EQ(buffer[3], 0xAB);
  EXPECT_EQ(buffer[4], 0);

  const double rate = 48000.0;
  EXPECT_EQ(AudioUnitSetProperty(mUnit, 2, kAudioUnitScope_Output, 0, &rate, sizeof rate),
            statusFor(kAudioUnitSetPropertySelect));
  expectReached(kAudioUnitSetPropertySelect);
  EXPECT_EQ(gLast.setProperty.id, 2u);
  EXPECT_EQ(gLast.setProperty.scope, kAudioUnitScope_Output);
  EXPECT_EQ(gLast.setProperty.inData, &rate);
  EXPECT_EQ(gLast.setProperty.inDataSize, sizeof rate);
}

TEST_F(ComponentInstance, ListenerAndNotifyCallsCarryProcAndUserData) {
  int userData = 0;
  EXPECT_EQ(AudioUnitAddPropertyListener(mUnit, 65536, ListenerProc, &userData),
            statusFor(kAudioUnitAddPropertyListenerSelect));
  expectReached(kAudioUnitAddPropertyListenerSelect);
  EXPECT_EQ(gLast.listener.id, 65536u);
  EXPECT_EQ(gLast.listener.proc, &ListenerProc);
  EXPECT_EQ(gLast.listener.userData, &userData);

  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(mUnit, 65536, ListenerProc, &userData),
            statusFor(kAudioUnitRemovePropertyListenerWithUserDataSelect));
  expectReached(kAudioUnitRemovePropertyListenerWithUserDataSelect);
  EXPECT_EQ(gLast.listener.userData, &userData);
  EXPECT_EQ(AudioUnitRemovePropertyListener(mUnit, 65536, ListenerProc),
            statusFor(kAudioUnitRemovePropertyListenerSelect));
  expectReached(kAudioUnitRemovePropertyListenerSelect);
  EXPECT_EQ(gLast.listener.userData, nullptr);

  EXPECT_EQ(AudioUnitAddRenderNotify(mUnit, NotifyProc, &userData),
            statusFor(kAudioUnitAddRenderNotifySelect));
  expectReached(kAudioUnitAddRenderNotifySelect);
  EXPECT_EQ(gLast.renderNotify.proc, &NotifyProc);
  EXPECT_EQ(gLast.renderNotify.userData, &userData);
  EXPECT_EQ(AudioUnitRemoveRenderNotify(mUnit, NotifyProc, &userData),
            statusFor(kAudioUnitRemoveRenderNotifySelect));
  expectReached(kAudioUnitRemoveRenderNotifySelect);
  EXPECT_EQ(gLast.renderNotify.userData, &userData);
}

TEST_F(ComponentInstance, ParameterCallsCarryIdScopeElementValueAndOffset) {
  AudioUnitParameterValue value = 0;
  EXPECT_EQ(AudioUnitGetParameter(mUnit, 47, kAudioUnitScope_Global, 0, &value),
            statusFor(kAudioUnitGetParameterSelect));
  expectReached(kAudioUnitGetParameterSelect);
  EXPECT_EQ(gLast.getParameter.id, 47u);
  EXPECT_EQ(gLast.getParameter.outValue, &value);
  EXPECT_FLOAT_EQ(value, 0.75f);

  EXPECT_EQ(AudioUnitSetParameter(mUnit, 12, kAudioUnitScope_Global, 3, -6.5f, 128),
            statusFor(kAudioUnitSetParameterSelect));
  expectReached(kAudioUnitSetParameterSelect);
  EXPECT_EQ(gLast.setParameter.id, 12u);
  EXPECT_EQ(gLast.setParameter.element, 3u);
  EXPECT_FLOAT_EQ(gLast.setParameter.value, -6.5f);
  EXPECT_EQ(gLast.setParameter.bufferOffsetInFrames, 128u);
}

TEST_F(ComponentInstance, RenderAndMidiCallsCarryTheirRecords) {
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp{};
  AudioBufferList list{};
  EXPECT_EQ(AudioUnitRender(mUnit, &flags, &stamp, 0, 512, &list),
            statusFor(kAudioUnitRenderSelect));
  expectReached(kAudioUnitRenderSelect);
  EXPECT_EQ(gLast.render.ioActionFlags, &flags);
  EXPECT_EQ(gLast.render.inTimeStamp, &stamp);
  EXPECT_EQ(gLast.render.inOutputBusNumber, 0u);
  EXPECT_EQ(gLast.render.inNumberFrames, 512u);
  EXPECT_EQ(gLast.render.ioData, &list);

  EXPECT_EQ(MusicDeviceMIDIEvent(mUnit, 0x93, 60, 100, 17), statusFor(kMusicDeviceMIDIEventSelect));
  expectReached(kMusicDeviceMIDIEventSelect);
  EXPECT_EQ(gLast.midi.status, 0x93u);
  EXPECT_EQ(gLast.midi.data1, 60u);
  EXPECT_EQ(gLast.midi.data2, 100u);
  EXPECT_EQ(gLast.midi.offsetSampleFrame, 17u);

  const uint8_t sysEx[] = {0xF0, 0x7E, 0xF7};
  EXPECT_EQ(MusicDeviceSysEx(mUnit, sysEx, sizeof sysEx), statusFor(kMusicDeviceSysExSelect));
  expectReached(kMusicDeviceSysExSelect);
  EXPECT_EQ(gLast.sysEx.data, sysEx);
  EXPECT_EQ(gLast.sysEx.length, 3u);
}

TEST_F(ComponentInstance, NullUnitsNeverReachARoutine) {
  gLast = LastCall{};
  AudioUnitParameterValue value;
  UInt32 size = 4;
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(AudioUnitInitialize(nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitUninitialize(nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitGetPropertyInfo(nullptr, 0, 0, 0, nullptr, nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitGetProperty(nullptr, 0, 0, 0, &value, &size), badComponentInstance);
  EXPECT_EQ(AudioUnitSetProperty(nullptr, 0, 0, 0, &value, 4), badComponentInstance);
  EXPECT_EQ(AudioUnitAddPropertyListener(nullptr, 0, ListenerProc, nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(nullptr, 0, ListenerProc, nullptr),
            badComponentInstance);
  EXPECT_EQ(AudioUnitGetParameter(nullptr, 0, 0, 0, &value), badComponentInstance);
  EXPECT_EQ(AudioUnitSetParameter(nullptr, 0, 0, 0, 1.0f, 0), badComponentInstance);
  EXPECT_EQ(AudioUnitRender(nullptr, &flags, nullptr, 0, 64, nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitReset(nullptr, 0, 0), badComponentInstance);
  EXPECT_EQ(AudioUnitAddRenderNotify(nullptr, NotifyProc, nullptr), badComponentInstance);
  EXPECT_EQ(AudioUnitRemoveRenderNotify(nullptr, NotifyProc, nullptr), badComponentInstance);
  EXPECT_EQ(MusicDeviceMIDIEvent(nullptr, 0x90, 60, 1, 0), badComponentInstance);
  EXPECT_EQ(MusicDeviceSysEx(nullptr, nullptr, 0), badComponentInstance);
  EXPECT_EQ(CallComponentVersion(nullptr), badComponentInstance);
  EXPECT_EQ(gLast.calls, 0);
}

}  // namespace
