// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/tarnwick.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "component/tarnwick_identity.h"
#include "component/tarnwick_log.h"
#include "engine/key_list.h"
#include "engine/noise_generator.h"
#include "engine/sample_sets.h"
#include "platform/notify/notification_center.h"
#include "platform/prefs/preferences.h"
#include "services/notification_names.h"

// The equaliser's own parameter ids name the same parameters as the table.
static_assert(kEqBand0GainParameter == kParamEqBand0Gain && kEqOutGainParameter == kParamEqOutGain);

namespace {

constexpr int kInputBusesWithSidechain = 2;

int32_t preference(const char* key) {
  return readIntPreference(kTarnwickIdentifier, key);
}

}  // namespace

Tarnwick::Tarnwick(ComponentInstanceRecord* inInstance)
    : AUMIDIEffectBase(inInstance, /*inProcessesInPlace=*/false) {
  eqResetBank(mEqLeft);
  eqResetBank(mEqRight);
  mRefCon = reinterpret_cast<uintptr_t>(this);
  vxlog::startWriter();  // writes the lines and alerts the render thread queues

  // The host process needs no application environment here; the notification queue is the
  // instance's link to the default centre.
  mNotificationQueue = std::make_unique<notify::NotificationQueue>();
  mServicesReady = 1;

  CreateElements();
  Globals()->UseIndexedParameters(kParameterCount);
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    Globals()->SetParameter(id, parameterDescription(id).defaultValue);
  }

  if (preference("userEnableSidechain") != 0) {
    mSidechainEnabled = 1;
    logLine("Plug-in supports sidechain");
  } else {
    mSidechainEnabled = 0;
    logLine("Plug-in has no sidechain support");
  }
  if (mSidechainEnabled) {
    SetNumberOfElements(kAudioUnitScope_Input, kInputBusesWithSidechain);
    if (Inputs().GetNumberOfElements() > 0) GetInput(0)->SetName("Tarnwick Carrier");
    if (Inputs().GetNumberOfElements() > 1) GetInput(1)->SetName("Tarnwick Modulator");
  }
  logLine(preference("userEnableFullMultiChannelSupport") != 0
              ? "Plug-in supports up to 4 input channels"
              : "Plug-in has no multi-channel support");
  logLine("MIDI supported");
  mMidiChannel = preference("userMidiChannel");
  char midiLine[64];
  std::snprintf(midiLine, sizeof midiLine, "Listening on MIDI channel %d (-1 = omni)", mMidiChannel);
  logLine(midiLine);
  if (preference("userEnableChannelAlert") != 0) {
    mChannelAlertEnabled = 1;
    logLine("Channel warnings enabled");
  } else {
    mChannelAlertEnabled = 0;
    logLine("No warning on channels < 2");
  }

  mLevelInfo[tarnwick_notify::kAnalyzerLevelsKey] = std::vector<float>(kEqBandCount, 0.0f);
  mLevelInfo[tarnwick_notify::kRefConKey] = mRefCon;
  mMidiKeyInfo[tarnwick_notify::kKeysListKey] = std::vector<uint8_t>(kHeldKeyCount * sizeof(float));
  mMidiKeyInfo[tarnwick_notify::kRefConKey] = mRefCon;
  mRenderKeyInfo = mMidiKeyInfo;

  mEngine.reset(new VocoderEngine());  // value-initialised: all zero; set up by the first render

  try {
    mNotificationMgr = std::make_unique<tarnwick_services::Tarnwick_BackgroundNotificationMgr>();
    if (mNotificationMgr->init()) {
      mNotificationMgr->setInstance(mEngine.get(), mRefCon, [this] { postKeysPressed(); });
    } else {
      mNotificationMgr.reset();
      mServicesReady = 0;
    }
  } catch (const std::exception&) {
    mNotificationMgr.reset();
    mServicesReady = 0;
  }
}

Tarnwick::~Tarnwick() {
  vxlog::flush();  // what this instance's render thread queued is out before it goes
  // First, so that no key message reaches the engine while it is freed.
  if (mNotificationMgr) {
    mNotificationMgr->tearDown();
    mNotificationMgr.reset();
  }
  mEngine.reset();
  mNotificationQueue.reset();
}

void Tarnwick::EngineRecordRelease::operator()(VocoderEngine* engine) const {
  engineRelease(*engine);
  delete engine;
}

OSStatus Tarnwick::Initialize() {
  const OSStatus status = AUMIDIEffectBase::Initialize();
  if (status != noErr) return status;
  Float64 rate = GetOutput(0)->GetStreamFormat().mSampleRate;
  if (rate == 0.0) {
    logLine("Sample rate is zero in Initialize(), reverting to default sample rate (44100 Hz)");
    rate = 44100.0;
  }
  eqInitialiseBanks(mEqLeft, mEqRight, rate);
  mEqInputsKnown = false;
  // The engine's random draws continue rand()'s sequence from here, on a generator of its own.
  noiseGeneratorTakeFromLibrary(mEngine->synth.noise);
  // The engine's first set-up (on the render thread) then copies the synth's sample sets
  // instead of decoding them.
  sampleSetsPrepare();
  if (!allocateRenderBuffers(GetMaxFramesPerSlice())) return memFullErr;
  PropertyChanged(kTarnwickProperty_RefCon, kAudioUnitScope_Global, 0);
  return noErr;
}

UInt32 Tarnwick::SupportedNumChannels(const AUChannelInfo** outInfo) {
  static const AUChannelInfo kFull[] = {{2, 2}, {2, 1}, {1, 2}};
  static const AUChannelInfo kStereo[] = {{2, 2}};
  const bool full = preference("userEnableFullMultiChannelSupport") != 0;
  if (outInfo) *outInfo = full ? kFull : kStereo;
  return full ? 3 : 1;
}

OSStatus Tarnwick::GetParameterInfo(AudioUnitScope inScope, AudioUnitParameterID inID,
                                    AudioUnitParameterInfo& outInfo) {
  return fillParameterInfo(inScope, inID, outInfo);
}

void Tarnwick::GetUIComponentDescs(ComponentDescription* outDescs) {
  if (!outDescs) return;
  outDescs[0] = {kAudioUnitCarbonViewComponentType, kCarbonViewSubtype, kCarbonViewManufacturer, 0,
                 0};
}

bool Tarnwick::acceptsChannel(uint8_t inChannel) const {
  return mMidiChannel < 0 || static_cast<int32_t>(inChannel) == mMidiChannel;
}

OSStatus Tarnwick::HandleNoteOn(uint8_t inChannel, uint8_t inNoteNumber, uint8_t inVelocity,
                                UInt32) {
  if (!acceptsChannel(inChannel)) return noErr;
  postMidiKeyList(engineMidiNoteOn(inNoteNumber, inVelocity, *mEngine));
  return noErr;
}

OSStatus Tarnwick::HandleNoteOff(uint8_t inChannel, uint8_t inNoteNumber, uint8_t, UInt32) {
  if (!acceptsChannel(inChannel)) return noErr;
  postMidiKeyList(engineMidiNoteOff(inNoteNumber, *mEngine));
  return noErr;
}

OSStatus Tarnwick::HandleControlChange(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}

OSStatus Tarnwick::HandlePitchWheel(uint8_t inChannel, uint8_t, uint8_t inPitch2, UInt32) {
  if (!acceptsChannel(inChannel)) return noErr;
  engineMidiPitchBend(inPitch2, *mEngine);
  return noErr;
}

void Tarnwick::postKeysPressed() {
  notify::UserInfo info;
  info[tarnwick_notify::kKeysListKey] = std::vector<uint8_t>(kHeldKeyCount * sizeof(float));
  info[tarnwick_notify::kRefConKey] = mRefCon;
  postKeyList(info, /*wait=*/true);
}

bool Tarnwick::postKeyList(notify::UserInfo& info, bool wait) {
  auto& bytes = std::get<std::vector<uint8_t>>(info.find(tarnwick_notify::kKeysListKey)->second);
  float keys[kHeldKeyCount];
  notify::Center& center = notify::Center::defaultCenter();
  if (wait) {
    engineCopyKeyList(*mEngine, keys);
    std::memcpy(bytes.data(), keys, sizeof keys);
    center.post(tarnwick_notify::kSetKeysPressed, nullptr, info);
    return true;
  }
  if (!engineTryCopyPublishedKeys(*mEngine, keys)) return false;
  std::memcpy(bytes.data(), keys, sizeof keys);
  return center.tryPost(tarnwick_notify::kSetKeysPressed, nullptr, info);
}

void Tarnwick::postMidiKeyList(bool applied) {
  // Notes may come on the render thread: never wait; a skipped post, or one for a note that is
  // kept for the next block, is made by the next render update.
  if (!applied || !postKeyList(mMidiKeyInfo, /*wait=*/false)) {
    mKeyListPostPending.store(true, std::memory_order_release);
  }
}

bool Tarnwick::allocateRenderBuffers(UInt32 inMaxFrames) {
  UInt32 channels = 0;
  for (UInt32 bus = 0; bus < Inputs().GetNumberOfElements(); ++bus) {
    channels += GetInput(bus)->NumberChannels();
  }
  if (mScratchCapacity >= static_cast<int32_t>(inMaxFrames) &&
      mCombinedCapacityBuffers >= channels && mCombinedList) {
    return true;
  }
  releaseRenderBuffers();
  const UInt32 buffers = channels > 0 ? channels : 1;
  mScratchStorage.reset(new (std::nothrow) float[size_t(kScratchChannels) * inMaxFrames]());
  mCombinedListBytes.reset(new (std::nothrow) uint8_t[audioBufferListSize(buffers)]());
  mCombinedSamples.reset(new (std::nothrow) float[size_t(buffers) * inMaxFrames]());
  if (!mScratchStorage || !mCombinedListBytes || !mCombinedSamples) {
    releaseRenderBuffers();
    return false;
  }
  for (int c = 0; c < kScratchChannels; ++c) {
    mScratch[c] = mScratchStorage.get() + size_t(c) * inMaxFrames;
  }
  mScratchCapacity = static_cast<int32_t>(inMaxFrames);
  mCombinedList = reinterpret_cast<AudioBufferList*>(mCombinedListBytes.get());
  mCombinedStorage = mCombinedSamples.get();
  mCombinedCapacityBuffers = buffers;
  return true;
}

void Tarnwick::releaseRenderBuffers() {
  for (float*& channel : mScratch) channel = nullptr;
  mScratchStorage.reset();
  mScratchCapacity = 0;
  mScratchFrames = -1;
  mCombinedList = nullptr;
  mCombinedStorage = nullptr;
  mCombinedListBytes.reset();
  mCombinedSamples.reset();
  mCombinedCapacityBuffers = 0;
}
