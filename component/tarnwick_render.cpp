// SPDX-License-Identifier: GPL-3.0-or-later
// The render path: input pulls, the combined side-chain list, validation, the periodic engine
// update, routing into four scratch channels, the engine, the equaliser, the level post, the
// channel check and the output mix. [render thread]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "component/tarnwick.h"
#include "component/tarnwick_identity.h"
#include "engine/cpu_features.h"
#include "engine/engine_process.h"
#include "platform/log/log.h"
#include "platform/notify/notification_center.h"
#include "services/notification_names.h"

namespace {

constexpr UInt32 kSampleBytes = sizeof(float);

// Made when the component is loaded, so that the render thread only hands them to the log.
const std::string kChannelAlertText =
    std::string("You are running '") + kTarnwickDisplayName +
    "' with less than 2 input channels - please note that the side chain is not available "
    "in this mode. Insert the effect on a stereo track in order to use the side chain for "
    "an external carrier signal.";
const std::string kLayoutRule(112, '-');
constexpr double kUpdatePeriodSeconds = 0.0625;

// A buffer that holds at least frames samples of one channel.
bool holdsFrames(const AudioBuffer& buffer, UInt32 frames) {
  return buffer.mData != nullptr && buffer.mDataByteSize >= frames * kSampleBytes;
}

const float* channel(const AudioBufferList& list, UInt32 index) {
  return static_cast<const float*>(list.mBuffers[index].mData);
}

float* channel(AudioBufferList& list, UInt32 index) {
  return static_cast<float*>(list.mBuffers[index].mData);
}

void copySamples(float* out, const float* in, UInt32 frames) {
  if (out != in) std::memmove(out, in, frames * kSampleBytes);
}

// The input buffer that feeds speech A, speech B, carrier A and carrier B for each count of
// input buffers (−1: silence); more than four buffers count as one.
constexpr int kInputRoutes[5][4] = {
    {0, 0, -1, -1}, {0, 0, -1, -1}, {0, 0, 1, 1}, {0, 1, 2, 2}, {0, 1, 2, 3}};

const int* inputRoute(UInt32 buffers) {
  return kInputRoutes[buffers <= 4 ? buffers : 1];
}

// Copies every input buffer to the output buffer of the same index, reusing the last input
// when there are fewer; never reads or writes past either buffer.
void bypassCopy(const AudioBufferList& in, AudioBufferList& out, UInt32 frames) {
  if (in.mNumberBuffers == 0) return;
  for (UInt32 i = 0; i < out.mNumberBuffers; ++i) {
    const AudioBuffer& source = in.mBuffers[i < in.mNumberBuffers ? i : in.mNumberBuffers - 1];
    AudioBuffer& target = out.mBuffers[i];
    if (!source.mData || !target.mData) continue;
    UInt32 bytes = frames * kSampleBytes;
    bytes = std::min(bytes, std::min(source.mDataByteSize, target.mDataByteSize));
    if (source.mData != target.mData) std::memmove(target.mData, source.mData, bytes);
  }
}

// left[n] = (a[n] + c[n])·k and right[n] = (b[n] + d[n])·k. The inputs are scratch channels,
// which no output buffer overlaps; left and right may be one buffer (right is written last).
// Whole runs of kMixRun samples go through local arrays, so that their loops vectorise whatever
// the outputs alias. Written once, built for the baseline and for AVX2 (mixPairs picks).
__attribute__((always_inline)) inline void mixPairsBody(const float* a, const float* c,
                                                        const float* b, const float* d, float k,
                                                        float* left, float* right, UInt32 frames) {
  constexpr size_t kMixRun = 64;
  size_t start = 0;
  for (; start + kMixRun <= frames; start += kMixRun) {
    const float* const a0 = a + start;
    const float* const b0 = b + start;
    const float* const c0 = c + start;
    const float* const d0 = d + start;
    float runLeft[kMixRun];
    float runRight[kMixRun];
    for (size_t n = 0; n < kMixRun; ++n) runLeft[n] = (a0[n] + c0[n]) * k;
    for (size_t n = 0; n < kMixRun; ++n) runRight[n] = (b0[n] + d0[n]) * k;
    std::memcpy(left + start, runLeft, sizeof runLeft);
    std::memcpy(right + start, runRight, sizeof runRight);
  }
  for (size_t n = start; n < frames; ++n) {
    left[n] = (a[n] + c[n]) * k;
    right[n] = (b[n] + d[n]) * k;
  }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"), noinline)) void mixPairsAvx2(const float* a, const float* c,
                                                           const float* b, const float* d,
                                                           float k, float* left, float* right,
                                                           UInt32 frames) {
  mixPairsBody(a, c, b, d, k, left, right, frames);
}
#endif

void mixPairs(const float* a, const float* c, const float* b, const float* d, float k,
              float* left, float* right, UInt32 frames) {
#if defined(__x86_64__) || defined(__i386__)
  if (cpuFeatures().avx2) {
    mixPairsAvx2(a, c, b, d, k, left, right, frames);
    return;
  }
#endif
  mixPairsBody(a, c, b, d, k, left, right, frames);
}

void zeroBuffers(AudioBufferList& list) {
  for (UInt32 i = 0; i < list.mNumberBuffers; ++i) {
    if (list.mBuffers[i].mData)
      std::memset(list.mBuffers[i].mData, 0, list.mBuffers[i].mDataByteSize);
  }
}

void logError(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

// Reads and writes the global parameters for the coupling rules.
class GlobalParameters : public ParameterAccess {
 public:
  explicit GlobalParameters(AUElement& element) : mElement(element) {}
  float get(AudioUnitParameterID id) override { return mElement.GetParameter(id); }
  void set(AudioUnitParameterID id, float value) override { mElement.SetParameter(id, value); }

 private:
  AUElement& mElement;
};

}  // namespace

OSStatus Tarnwick::Render(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& inTimeStamp, UInt32 inNumberFrames) {
  if (!HasInput(0)) return kAudioUnitErr_NoConnection;
  AUOutputElement* output = GetOutput(0);
  AUInputElement* main = GetInput(0);
  OSStatus status = main->PullInput(ioActionFlags, inTimeStamp, 0, inNumberFrames);
  if (status != noErr) return status;
  const AudioBufferList& mainList = main->GetBufferList();
  const bool inPlace = ProcessesInPlace();
  if (inPlace) {
    if (mainList.mNumberBuffers > output->BufferListCapacity()) return kTarnwickErr_RenderRefused;
    if (output->SetBufferList(mainList) != noErr) return kTarnwickErr_RenderRefused;
  }
  AudioBufferList& outList = output->GetBufferList();

  if (IsBypassEffect()) {
    bypassCopy(mainList, outList, inNumberFrames);
    status = noErr;
  } else if (!mSidechainEnabled) {
    status = ProcessBufferLists(ioActionFlags, mainList, outList, inNumberFrames);
  } else {
    const AudioBufferList* combined = nullptr;
    if (HasInput(1)) {
      AudioUnitRenderActionFlags sideFlags = ioActionFlags;
      AUInputElement* side = GetInput(1);
      if (side->PullInput(sideFlags, inTimeStamp, 1, inNumberFrames) == noErr) {
        const AudioBufferList& sideList = side->GetBufferList();
        const UInt32 count = mainList.mNumberBuffers + sideList.mNumberBuffers;
        if (mCombinedList && count <= mCombinedCapacityBuffers &&
            static_cast<int32_t>(inNumberFrames) <= mScratchCapacity) {
          mCombinedList->mNumberBuffers = count;
          for (UInt32 i = 0; i < count; ++i) {
            const bool fromMain = i < mainList.mNumberBuffers;
            const AudioBuffer& source =
                fromMain ? mainList.mBuffers[i] : sideList.mBuffers[i - mainList.mNumberBuffers];
            AudioBuffer& target = mCombinedList->mBuffers[i];
            target.mNumberChannels = 1;
            target.mDataByteSize = inNumberFrames * kSampleBytes;
            // A buffer that holds the block is read where it lies; a short or missing one is
            // copied and padded with silence.
            if (source.mData && source.mDataByteSize >= target.mDataByteSize) {
              target.mData = source.mData;
              continue;
            }
            float* samples = mCombinedStorage + size_t(i) * size_t(mScratchCapacity);
            target.mData = samples;
            const UInt32 bytes =
                source.mData ? std::min(source.mDataByteSize, target.mDataByteSize) : 0;
            if (bytes) std::memcpy(samples, source.mData, bytes);
            std::memset(reinterpret_cast<uint8_t*>(samples) + bytes, 0,
                        target.mDataByteSize - bytes);
          }
          combined = mCombinedList;
        }
      }
    }
    status =
        ProcessBufferLists(ioActionFlags, combined ? *combined : mainList, outList, inNumberFrames);
  }
  if ((ioActionFlags & kAudioUnitRenderAction_OutputIsSilence) && !inPlace) zeroBuffers(outList);
  return status;
}

bool Tarnwick::updateDue(int32_t interval) const {
  return mSamplesSinceUpdate >= interval || mSamplesSinceUpdate < 0;
}

void Tarnwick::applyParameterUpdate(Float64 inSampleRate) {
  AUElement& globals = *Globals();
  GlobalParameters access(globals);
  applyCouplingRules(access, mLastSoundMode);
  float values[kParameterCount];
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id)
    values[id] = globals.GetParameter(id);
  const EngineParams params = makeEngineParams(values, static_cast<float>(inSampleRate));
  engineSetup(params, *mEngine);
  mEngineReady = 1;
}

void Tarnwick::updateEqualiserFromParameters(Float64 inSampleRate) {
  AUElement& globals = *Globals();
  float gains[kEqBandCount];
  for (int i = 0; i < kEqBandCount; ++i) gains[i] = globals.GetParameter(kEqBand0GainParameter + i);
  const float outGain = globals.GetParameter(kEqOutGainParameter);
  if (mEqInputsKnown && std::memcmp(gains, mEqInputGains, sizeof gains) == 0 &&
      std::memcmp(&outGain, &mEqInputOutGain, sizeof outGain) == 0 &&
      std::memcmp(&inSampleRate, &mEqInputRate, sizeof inSampleRate) == 0) {
    return;
  }
  updateEqualiser(mEqLeft, mEqRight, gains, outGain, inSampleRate);
  std::memcpy(mEqInputGains, gains, sizeof gains);
  mEqInputOutGain = outGain;
  mEqInputRate = inSampleRate;
  mEqInputsKnown = true;
}

void Tarnwick::publishLevels() {
  auto found = mLevelInfo.find(tarnwick_notify::kAnalyzerLevelsKey);
  if (found == mLevelInfo.end()) return;
  auto* levels = std::get_if<std::vector<float>>(&found->second);
  if (!levels || levels->size() != kEqBandCount) return;
  std::copy(mBandLevels, mBandLevels + kEqBandCount, levels->begin());
  // Never waits: while an observer is being added or removed, this post is skipped and the
  // next update's levels follow a sixteenth of a second later.
  notify::Center::defaultCenter().tryPost(tarnwick_notify::kSetAnalyzerLevels, nullptr,
                                          mLevelInfo);
}

void Tarnwick::checkChannelLayout(const AudioBufferList& inBuffer, const AudioBufferList& outBuffer,
                                  UInt32 inFrames) {
  const int32_t inputs = static_cast<int32_t>(inBuffer.mNumberBuffers);
  const int32_t outputs = static_cast<int32_t>(outBuffer.mNumberBuffers);
  if (inputs == mLastInputBufferCount && outputs == mLastOutputBufferCount) return;
  // Queued for the log's writer thread: the render thread neither allocates nor writes here.
  if (mChannelAlertEnabled && inputs < 2) {
    vxlog::renderAlert("Less than 2 input channels available", kChannelAlertText.c_str(),
                       "Understood");
  }
  mLastInputBufferCount = inputs;
  mLastOutputBufferCount = outputs;
  char text[160];
  std::snprintf(text, sizeof text,
                "Tarnwick: we're getting %d input buffers, each with %d channels and %d frames",
                inputs, static_cast<int>(inBuffer.mBuffers[0].mNumberChannels),
                static_cast<int>(inFrames));
  vxlog::renderLine(text);
  std::snprintf(text, sizeof text,
                "Tarnwick: we're getting %d output buffers, each with %d channels and %d frames",
                outputs, static_cast<int>(outBuffer.mBuffers[0].mNumberChannels),
                static_cast<int>(inFrames));
  vxlog::renderLine(text);
  vxlog::renderLine(kLayoutRule.c_str());
}

OSStatus Tarnwick::ProcessBufferLists(AudioUnitRenderActionFlags&, const AudioBufferList& inBuffer,
                                      AudioBufferList& outBuffer, UInt32 nFrames) {
  if (inBuffer.mNumberBuffers == 0) {
    logError("ERROR in ProcessBufferLists: this is not a valid input mNumberBuffers");
    return kTarnwickErr_RenderRefused;
  }
  if (outBuffer.mNumberBuffers == 0) {
    logError("ERROR in ProcessBufferLists: this is not a valid output mNumberBuffers");
    return kTarnwickErr_RenderRefused;
  }
  if (inBuffer.mBuffers[0].mNumberChannels != 1) {
    logError(
        "ERROR in ProcessBufferLists: we don't support interlaced audio input buffers in this "
        "version");
    return kTarnwickErr_RenderRefused;
  }
  if (outBuffer.mBuffers[0].mNumberChannels != 1) {
    logError(
        "ERROR in ProcessBufferLists: we don't support interlaced audio output buffers in this "
        "version");
    return kTarnwickErr_RenderRefused;
  }
  // Every buffer that will be read or written must hold the block, not only buffer 0.
  const UInt32 needed = nFrames * kSampleBytes;
  const UInt32 routedInputs = inBuffer.mNumberBuffers <= 4 ? inBuffer.mNumberBuffers : 1;
  for (UInt32 i = 0; i < routedInputs; ++i) {
    if (!holdsFrames(inBuffer.mBuffers[i], nFrames)) {
      std::fprintf(stderr,
                   "ERROR in ProcessBufferLists: inBufferList.mBuffers[%u] doesn't seem to be in "
                   "proper floating point format (mDataByteSize is %d should be %d)\n",
                   i, static_cast<int>(inBuffer.mBuffers[i].mDataByteSize),
                   static_cast<int>(needed));
      std::fflush(stderr);
      return kTarnwickErr_RenderRefused;
    }
  }
  const UInt32 outputs = outBuffer.mNumberBuffers;
  const UInt32 writtenOutputs = (outputs == 1 || outputs == 2 || outputs == 4) ? outputs : 1;
  for (UInt32 i = 0; i < writtenOutputs; ++i) {
    if (!holdsFrames(outBuffer.mBuffers[i], nFrames)) {
      std::fprintf(stderr,
                   "ERROR in ProcessBufferLists: outBufferList.mBuffers[%u] doesn't seem to be in "
                   "proper floating point format (mDataByteSize is %d should be %d)\n",
                   i, static_cast<int>(outBuffer.mBuffers[i].mDataByteSize),
                   static_cast<int>(needed));
      std::fflush(stderr);
      return kTarnwickErr_RenderRefused;
    }
  }
  if (static_cast<int32_t>(nFrames) > mScratchCapacity || !mScratch[0]) return kTarnwickErr_RenderRefused;

  const Float64 rate = GetOutput(0)->GetStreamFormat().mSampleRate;
  const int32_t interval = static_cast<int32_t>(rate * kUpdatePeriodSeconds);
  const bool due = updateDue(interval);
  if (due) applyParameterUpdate(rate);

  mScratchFrames = static_cast<int32_t>(nFrames);
  float* s0 = mScratch[0];
  float* s1 = mScratch[1];
  float* s2 = mScratch[2];
  float* s3 = mScratch[3];
  // s0, s1: the equalised channels A and B; s2, s3: the same channels unequalised.
  if (mServicesReady && mEngineReady) {
    // The engine reads the speech (buffer 0) and the carrier where they lie and writes every
    // sample of A and B; the inputs are not read again, so in-place outputs are safe below.
    const int carrierBuffer = inputRoute(inBuffer.mNumberBuffers)[2];
    const float* carrier = s3;  // no carrier buffer: a silent carrier
    if (carrierBuffer < 0) {
      std::memset(s3, 0, needed);
    } else {
      carrier = channel(inBuffer, static_cast<UInt32>(carrierBuffer));
    }
    engineProcess(channel(inBuffer, 0), carrier, s2, s3, static_cast<int>(nFrames), *mEngine);
    if (due) updateEqualiserFromParameters(rate);
    runEqualiser(mEqLeft, mEqRight, mBandLevels, s2, s3, s0, s1, static_cast<int>(nFrames));
  } else {
    // Without the engine the routed inputs pass through.
    const int* route = inputRoute(inBuffer.mNumberBuffers);
    float* const slots[4] = {s0, s1, s2, s3};
    for (int slot = 0; slot < 4; ++slot) {
      if (route[slot] < 0) {
        std::memset(slots[slot], 0, needed);
      } else {
        copySamples(slots[slot], channel(inBuffer, static_cast<UInt32>(route[slot])), nFrames);
      }
    }
    if (due) updateEqualiserFromParameters(rate);
    runEqualiser(mEqLeft, mEqRight, mBandLevels, s0, s1, static_cast<int>(nFrames));
  }
  if (due) {
    publishLevels();
    if (mKeyListPostPending.exchange(false, std::memory_order_acq_rel) &&
        !postKeyList(mRenderKeyInfo, /*wait=*/false)) {
      mKeyListPostPending.store(true, std::memory_order_release);
    }
    checkChannelLayout(inBuffer, outBuffer, nFrames);
    mSamplesSinceUpdate = 0;
    std::fill(mBandLevels, mBandLevels + kEqBandCount, 0.0f);
  }

  const float k = 1.0f / std::sqrt(static_cast<float>(inBuffer.mNumberBuffers));
  switch (outputs) {
    case 1: {
      float* out = channel(outBuffer, 0);
      for (UInt32 n = 0; n < nFrames; ++n) out[n] = (s0[n] + s1[n] + s2[n] + s3[n]) * k;
      break;
    }
    case 2:
      mixPairs(s0, s2, s1, s3, k, channel(outBuffer, 0), channel(outBuffer, 1), nFrames);
      break;
    case 4:
      copySamples(channel(outBuffer, 0), s0, nFrames);
      copySamples(channel(outBuffer, 1), s1, nFrames);
      copySamples(channel(outBuffer, 2), s2, nFrames);
      copySamples(channel(outBuffer, 3), s3, nFrames);
      break;
    default:
      break;
  }
  mSamplesSinceUpdate += static_cast<int32_t>(nFrames);
  return noErr;
}
