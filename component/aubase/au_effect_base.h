// SPDX-License-Identifier: GPL-3.0-or-later
// An effect: one input bus and one output bus, channel configurations checked at Initialize,
// bypass and in-place processing, and a Render that pulls input 0 and calls ProcessBufferLists.
#pragma once

#include <atomic>

#include "component/aubase/au_base.h"

class AUEffectBase : public AUBase {
 public:
  // [main thread]
  AUEffectBase(ComponentInstanceRecord* inInstance, bool inProcessesInPlace = true);
  ~AUEffectBase() override;

  // Checks the channel counts of input 0 and output 0 against SupportedNumChannels:
  // kAudioUnitErr_FormatNotSupported when no configuration fits. [main thread]
  OSStatus Initialize() override;

  // Bypass (global, UInt32, writable; turning it off resets the unit) and in-place processing
  // (global, UInt32, writable only while uninitialised). [main thread]
  OSStatus GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                           AudioUnitElement inElement, UInt32& outDataSize,
                           Boolean& outWritable) override;
  OSStatus GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       void* outData) override;
  OSStatus SetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       const void* inData, UInt32 inDataSize) override;
  bool SupportsTail() override { return true; }  // [main thread]

  // Pulls input 0 (kAudioUnitErr_NoConnection without a source). In place, when the input's
  // buffers fit the output, the output takes the input's buffers. Bypassed: copies input to
  // output (extra output buffers zeroed); otherwise calls ProcessBufferLists. With the
  // output-is-silence flag and not in place, zeroes the output. [render thread]
  OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& inTimeStamp,
                  UInt32 inNumberFrames) override;
  // Default: copies input to output. [render thread]
  virtual OSStatus ProcessBufferLists(AudioUnitRenderActionFlags& ioActionFlags,
                                      const AudioBufferList& inBuffer, AudioBufferList& outBuffer,
                                      UInt32 inFramesToProcess);

  // [any thread]
  bool IsBypassEffect() const { return mBypassEffect.load(std::memory_order_relaxed); }
  void SetBypassEffect(bool inFlag) { mBypassEffect.store(inFlag, std::memory_order_relaxed); }
  bool ProcessesInPlace() const { return mProcessesInPlace.load(std::memory_order_relaxed); }
  // [main thread; uninitialised]
  void SetProcessesInPlace(bool inFlag) { mProcessesInPlace.store(inFlag); }
  // The sample rate of output 0. [any thread]
  Float64 GetSampleRate();
  // The channel count of output 0. [any thread]
  UInt32 GetNumberOfChannels();

 private:
  std::atomic<bool> mBypassEffect{false};
  std::atomic<bool> mProcessesInPlace;
};
