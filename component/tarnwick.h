// SPDX-License-Identifier: GPL-3.0-or-later
// The vocoder effect: an audio-unit effect with MIDI input that owns one vocoder engine, the
// output equaliser and band analyser, and the notifications to its editor.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "component/aubase/aubase.h"
#include "component/equaliser.h"
#include "component/parameter_table.h"
#include "component/tarnwick_identity.h"
#include "engine/vocoder_engine.h"
#include "platform/notify/notification.h"
#include "platform/notify/notification_queue.h"
#include "services/background_notification_mgr.h"

class Tarnwick : public AUMIDIEffectBase {
 public:
  // [main thread; the thread that opens the instance]
  explicit Tarnwick(ComponentInstanceRecord* inInstance);
  ~Tarnwick() override;

  OSStatus Version() override { return kTarnwickVersion; }
  OSStatus Initialize() override;  // [main thread]

  OSStatus GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                           AudioUnitElement inElement, UInt32& outDataSize,
                           Boolean& outWritable) override;
  OSStatus GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       void* outData) override;

  // [render thread]
  OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& inTimeStamp,
                  UInt32 inNumberFrames) override;
  OSStatus ProcessBufferLists(AudioUnitRenderActionFlags& ioActionFlags,
                              const AudioBufferList& inBuffer, AudioBufferList& outBuffer,
                              UInt32 inFramesToProcess) override;

  // [main thread]
  OSStatus GetParameterInfo(AudioUnitScope inScope, AudioUnitParameterID inID,
                            AudioUnitParameterInfo& outInfo) override;
  OSStatus SaveState(plist::Value* outData) override;
  OSStatus RestoreState(const plist::Value& inData) override;
  OSStatus GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, plist::Value*) override {
    return kAudioUnitErr_InvalidProperty;
  }
  int GetNumCustomUIComponents() override { return 1; }
  void GetUIComponentDescs(ComponentDescription* outDescs) override;
  Float64 GetLatency() override { return kTarnwickLatencyFrames / kTarnwickLatencyRate; }
  Float64 GetTailTime() override { return 1000.0; }
  bool SupportsTail() override { return true; }
  UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;

  // MIDI, on the one thread that delivers it (the render thread, between render calls, as hosts
  // do); never waits for the editor's key changes. [the MIDI delivery thread]
  OSStatus HandleNoteOn(uint8_t inChannel, uint8_t inNoteNumber, uint8_t inVelocity,
                        UInt32 inStartFrame) override;
  OSStatus HandleNoteOff(uint8_t inChannel, uint8_t inNoteNumber, uint8_t inVelocity,
                         UInt32 inStartFrame) override;
  OSStatus HandleControlChange(uint8_t inChannel, uint8_t inController, uint8_t inValue,
                               UInt32 inStartFrame) override;
  OSStatus HandlePitchWheel(uint8_t inChannel, uint8_t inPitch1, uint8_t inPitch2,
                            UInt32 inStartFrame) override;

  // Posts the whole held-key list to the editor. [not the render thread]
  void postKeysPressed();
  // The same post with a caller-owned dictionary holding both keys (the list at its full size);
  // allocates nothing. Without wait, gives up (false) rather than wait for the centre's lock.
  // [any thread; the thread that owns info]
  bool postKeyList(notify::UserInfo& info, bool wait);

  // The engine, for the instance's own services (key messages from the editor). [any thread]
  VocoderEngine* engine() const { return mEngine.get(); }
  uint64_t refCon() const { return mRefCon; }


 private:
  static constexpr int kScratchChannels = 4;

  bool acceptsChannel(uint8_t inChannel) const;
  // applied: the key change went into the list now (false: kept for the next block).
  void postMidiKeyList(bool applied);  // [the MIDI delivery thread]
  bool updateDue(int32_t interval) const;
  void applyParameterUpdate(Float64 inSampleRate);
  void updateEqualiserFromParameters(Float64 inSampleRate);
  void publishLevels();
  void checkChannelLayout(const AudioBufferList& inBuffer, const AudioBufferList& outBuffer,
                          UInt32 inFrames);
  bool allocateRenderBuffers(UInt32 inMaxFrames);
  void releaseRenderBuffers();

  // Members as the effect lays them out.
  uint8_t mPendingDefaultSetting = 1;
  EqBandFilter mEqLeft[kEqBandCount];
  EqBandFilter mEqRight[kEqBandCount];
  float mBandLevels[kEqBandCount] = {};
  uint8_t mChannelAlertEnabled = 1;
  int32_t mMidiChannel = -1;
  uint8_t mEngineReady = 0;
  // The engine record: zero at construction; its own blocks are released before it goes.
  struct EngineRecordRelease {
    void operator()(VocoderEngine* engine) const;
  };
  std::unique_ptr<VocoderEngine, EngineRecordRelease> mEngine;
  int32_t mSamplesSinceUpdate = -1;
  uint64_t mRefCon = 0;
  int32_t mLastInputBufferCount = -1;
  int32_t mLastOutputBufferCount = -1;
  int32_t mLastSoundMode = -1;
  std::unique_ptr<notify::NotificationQueue> mNotificationQueue;
  uint8_t mServicesReady = 0;
  // Created at the end of construction, torn down first in the destructor. [main thread]
  std::unique_ptr<tarnwick_services::Tarnwick_BackgroundNotificationMgr> mNotificationMgr;
  uint8_t mSidechainEnabled = 1;
  float* mScratch[kScratchChannels] = {};  // views into mScratchStorage
  int32_t mScratchFrames = -1;

  // Render-path storage, allocated at Initialize for the maximum frames so that render does
  // not allocate: the scratch channels, the combined main + side-chain list and its channel
  // storage. Owned here; mScratch, mCombinedList and mCombinedStorage point into it.
  std::unique_ptr<float[]> mScratchStorage;
  std::unique_ptr<uint8_t[]> mCombinedListBytes;
  std::unique_ptr<float[]> mCombinedSamples;
  int32_t mScratchCapacity = 0;
  AudioBufferList* mCombinedList = nullptr;
  float* mCombinedStorage = nullptr;
  UInt32 mCombinedCapacityBuffers = 0;
  notify::UserInfo mLevelInfo;  // reused by every level post
  // The inputs of the banks' last update from the parameters: an update with the same inputs
  // (bit for bit) would compute the same coefficients and is skipped. mEqInputsKnown is false
  // until the first update after the banks are reset or initialised. [render thread; cleared on
  // the main thread at construction and Initialize]
  float mEqInputGains[kEqBandCount] = {};
  float mEqInputOutGain = 0.0f;
  Float64 mEqInputRate = 0.0;
  bool mEqInputsKnown = false;
  // reused by the key posts of the MIDI handlers [any thread; the MIDI delivery thread]
  notify::UserInfo mMidiKeyInfo;
  notify::UserInfo mRenderKeyInfo;  // reused by the render thread's retries [render thread]
  std::atomic<bool> mKeyListPostPending{false};  // a MIDI key post was skipped
};
