// SPDX-License-Identifier: GPL-3.0-or-later
// The audio-unit base: scopes and elements, parameters, stream formats, the standard
// properties, property listeners, render notifications, the render entry and the class-info
// state. Payload conventions of this system for object-valued properties: ClassInfo,
// ElementName and ParameterValueStrings exchange a plist::Value owned by the caller (data points
// at it, size sizeof(plist::Value)); AUPreset names are UTF-8 owned by the unit. Operations may
// throw an OSStatus (bad scope, element or parameter); the entry dispatch returns it as the code.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "component/aubase/au_input_element.h"
#include "component/aubase/au_output_element.h"
#include "component/aubase/au_realtime_snapshot.h"
#include "component/aubase/au_scope.h"
#include "component/aubase/component_base.h"
#include "platform/plist/plist_value.h"

class AUBase : public ComponentBase {
 public:
  static constexpr UInt32 kDefaultMaxFramesPerSlice = 1156;
  // Largest accepted maximum frames per slice.
  static constexpr UInt32 kMaxFramesPerSliceLimit = 1u << 20;
  static constexpr UInt32 kNumberOfScopes = 5;  // global, input, output, group, part
  static constexpr const char* kUntitledPresetName = "Untitled";

  // [main thread]
  AUBase(ComponentInstanceRecord* inInstance, UInt32 inNumInputElements, UInt32 inNumOutputElements,
         UInt32 inNumGroupElements = 0);
  ~AUBase() override;

  // ---- lifecycle [main thread]
  void PostConstructor() override;  // creates the elements
  void PreDestructor() override;    // uninitialises
  // Creates the elements of every scope once; later calls do nothing.
  void CreateElements();
  // A new element for a scope: AUElement for global, group and part, AUInputElement for input,
  // AUOutputElement for output.
  virtual std::unique_ptr<AUElement> CreateElement(AudioUnitScope inScope,
                                                   AudioUnitElement inElement);
  // Allocates every bus's buffers for the maximum frames, then calls Initialize; on failure the
  // buffers are freed again and the unit stays uninitialised. Already initialised: noErr.
  OSStatus DoInitialize();
  // Calls Cleanup and frees the bus buffers when initialised.
  void DoCleanup();
  virtual OSStatus Initialize();
  virtual void Cleanup();
  virtual OSStatus Reset(AudioUnitScope inScope, AudioUnitElement inElement);
  // [any thread]
  bool IsInitialized() const { return mInitialized.load(std::memory_order_acquire); }

  // ---- selector dispatch [any thread; thread of the call: the selector's own thread]
  OSStatus DispatchSelector(ComponentParameters& inParams) override;
  bool CanDo(int16_t inSelector) const override;
  // The standard properties, after the virtual hooks below. [main thread; unless noted]
  OSStatus DispatchGetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                   AudioUnitElement inElement, UInt32& outDataSize,
                                   Boolean& outWritable);
  // outData holds at least the size DispatchGetPropertyInfo reported.
  OSStatus DispatchGetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, void* outData);
  OSStatus DispatchSetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
  // The render entry: checks, pre-render notifications, Render, copy to the host's list,
  // post-render notifications. A failing Render's status is kept for the LastRenderError
  // property, which reads and clears it. No allocation, no lock. [render thread]
  OSStatus DoRender(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& inTimeStamp,
                    UInt32 inBusNumber, UInt32 inNumberFrames, AudioBufferList& ioData);

  // ---- property hooks, consulted before the standard properties: return
  // kAudioUnitErr_InvalidProperty to leave a property to the base (the defaults do).
  // [main thread; or the thread a host reads a property on]
  virtual OSStatus GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                   AudioUnitElement inElement, UInt32& outDataSize,
                                   Boolean& outWritable);
  virtual OSStatus GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, void* outData);
  virtual OSStatus SetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
  // A set with null data. Default: kAudioUnitErr_InvalidPropertyValue.
  virtual OSStatus RemovePropertyValue(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                       AudioUnitElement inElement);

  // ---- property listeners. A removed listener is not called again once removal returns
  // (unless removed from inside a notification on the same thread: then from the next one).
  // [not the render thread]
  OSStatus AddPropertyListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc,
                               void* inUserData);
  // Removes every listener of inID with inProc (and inUserData when inMatchUserData).
  OSStatus RemovePropertyListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc,
                                  void* inUserData, bool inMatchUserData);
  // Calls every listener of inID on the calling thread. No allocation. [any thread]
  void PropertyChanged(AudioUnitPropertyID inID, AudioUnitScope inScope,
                       AudioUnitElement inElement);

  // ---- render notifications: called before (PreRender flag) and after (PostRender flag) each
  // render, the same set for both halves of a render. Handed to the render thread without locks;
  // not called again once removal returns (removal waits for a render in progress to end; from
  // inside a notification it takes effect from the next render). [not the render thread]
  OSStatus AddRenderNotification(AURenderCallback inProc, void* inUserData);
  OSStatus RemoveRenderNotification(AURenderCallback inProc, void* inUserData);

  // ---- parameters
  // Default: the value held by the element. [any thread]
  virtual OSStatus GetParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, AudioUnitParameterValue& outValue);
  virtual OSStatus SetParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                                AudioUnitElement inElement, AudioUnitParameterValue inValue,
                                UInt32 inBufferOffsetInFrames);
  // outInfo arrives zeroed. Default: kAudioUnitErr_InvalidParameter. [main thread]
  virtual OSStatus GetParameterInfo(AudioUnitScope inScope, AudioUnitParameterID inID,
                                    AudioUnitParameterInfo& outInfo);
  // Fills *outStrings with an array of strings; outStrings null only asks whether there are
  // strings. Default: kAudioUnitErr_InvalidProperty. [main thread]
  virtual OSStatus GetParameterValueStrings(AudioUnitScope inScope, AudioUnitParameterID inID,
                                            plist::Value* outStrings);

  // ---- render. Default: noErr, output left as prepared. [render thread]
  virtual OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& inTimeStamp, UInt32 inNumberFrames);

  // ---- stream formats [main thread]
  // Default: the canonical format of AUIOElement.
  virtual bool ValidFormat(AudioUnitScope inScope, AudioUnitElement inElement,
                           const AudioStreamBasicDescription& inFormat);
  // Default: only while uninitialised.
  virtual bool StreamFormatWritable(AudioUnitScope inScope, AudioUnitElement inElement);
  // Default: sets the bus's format.
  virtual OSStatus ChangeStreamFormat(AudioUnitScope inScope, AudioUnitElement inElement,
                                      const AudioStreamBasicDescription& inPrevFormat,
                                      const AudioStreamBasicDescription& inNewFormat);
  // Throws kAudioUnitErr_InvalidScope / kAudioUnitErr_InvalidElement. [any thread]
  const AudioStreamBasicDescription& GetStreamFormat(AudioUnitScope inScope,
                                                     AudioUnitElement inElement);

  // ---- what the standard properties report [main thread]
  virtual Float64 GetLatency() { return 0.0; }
  virtual Float64 GetTailTime() { return 0.0; }
  virtual bool SupportsTail() { return false; }
  // Sets *outInfo (when not null) to the unit's (input, output) channel pairs; returns the
  // count. -1 and -2 are wildcards, other negative counts mean "up to". Default: none.
  virtual UInt32 SupportedNumChannels(const AUChannelInfo** outInfo);
  virtual int GetNumCustomUIComponents() { return 0; }
  virtual void GetUIComponentDescs(ComponentDescription* outDescs);
  // Presets with a number >= 0 are factory presets. Default: kAudioUnitErr_InvalidPropertyValue.
  virtual OSStatus NewFactoryPresetSet(const AUPreset& inPreset);

  // ---- class-info state [main thread]
  virtual OSStatus SaveState(plist::Value* outData);
  virtual OSStatus RestoreState(const plist::Value& inData);

  // ---- access
  // Throws kAudioUnitErr_InvalidScope beyond the part scope. [any thread]
  AUScope& GetScope(AudioUnitScope inScope);
  AUScope& GlobalScope() { return *mScopes[kAudioUnitScope_Global]; }
  AUScope& Inputs() { return *mScopes[kAudioUnitScope_Input]; }
  AUScope& Outputs() { return *mScopes[kAudioUnitScope_Output]; }
  AUElement* Globals() { return GlobalScope().GetElement(0); }
  // Throw kAudioUnitErr_InvalidScope / kAudioUnitErr_InvalidElement. [any thread]
  AUElement* GetElement(AudioUnitScope inScope, AudioUnitElement inElement);
  AUIOElement* GetIOElement(AudioUnitScope inScope, AudioUnitElement inElement);
  AUInputElement* GetInput(AudioUnitElement inElement);
  AUOutputElement* GetOutput(AudioUnitElement inElement);
  // Whether input inElement exists and has a source. [any thread]
  bool HasInput(AudioUnitElement inElement);
  // Input, output or group buses (the global scope keeps its one element). Throws
  // kAudioUnitErr_Initialized while initialised. [main thread]
  void SetNumberOfElements(AudioUnitScope inScope, UInt32 inNumberOfElements);
  // [any thread]
  UInt32 GetMaxFramesPerSlice() const { return mMaxFramesPerSlice.load(std::memory_order_relaxed); }
  // Throws kAudioUnitErr_Initialized while initialised, kAudioUnitErr_InvalidPropertyValue for 0
  // or more than the limit; notifies the property's listeners. [main thread]
  void SetMaxFramesPerSlice(UInt32 inFrames);
  // [main thread]
  const std::string& GetPresetName() const { return mPresetName; }
  SInt32 GetPresetNumber() const { return mPresetNumber; }
  void SetPresentPreset(SInt32 inNumber, std::string inName);

 private:
  struct PropertyListener {
    AudioUnitPropertyID id;
    AUPropertyListenerProc proc;
    void* userData;
  };
  struct RenderNotification {
    AURenderCallback proc;
    void* userData;
  };
  using PropertyListeners = std::vector<PropertyListener>;
  using RenderNotifications = std::vector<RenderNotification>;

  OSStatus DispatchGetPropertySelector(const AudioUnitGetPropertyArgs& inArgs);
  OSStatus SetStreamFormatProperty(AudioUnitScope inScope, AudioUnitElement inElement,
                                   const AudioStreamBasicDescription& inFormat);
  OSStatus SetConnectionProperty(AudioUnitElement inElement,
                                 const AudioUnitConnection& inConnection);
  OSStatus SetPresetProperty(AudioUnitPropertyID inID, const AUPreset& inPreset);
  OSStatus SetElementNameProperty(AudioUnitScope inScope, AudioUnitElement inElement,
                                  const plist::Value& inName);
  UInt32 ParameterListSize(AudioUnitScope inScope);
  // Calls each of inList. [render thread]
  static void NotifyRender(const RenderNotifications& inList, AudioUnitRenderActionFlags inFlags,
                           const AudioTimeStamp& inTimeStamp, UInt32 inBusNumber,
                           UInt32 inNumberFrames, AudioBufferList& ioData);
  void AllocateBuffers();
  void DeallocateBuffers();

  const UInt32 mInitialNumInputs;
  const UInt32 mInitialNumOutputs;
  const UInt32 mInitialNumGroups;
  bool mElementsCreated = false;
  std::atomic<bool> mInitialized{false};
  std::atomic<bool> mInRender{false};
  std::atomic<UInt32> mMaxFramesPerSlice{kDefaultMaxFramesPerSlice};
  std::atomic<OSStatus> mLastRenderError{noErr};
  UInt32 mOfflineRender = 0;
  std::unique_ptr<AUScope> mScopes[kNumberOfScopes];
  std::string mPresetName{kUntitledPresetName};
  SInt32 mPresetNumber = -1;
  AURealtimeSnapshot<PropertyListeners> mPropertyListeners;
  AURealtimeSnapshot<RenderNotifications> mRenderNotifications;
};
