// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_input_element.h"

#include "platform/au/component.h"

AUInputElement::AUInputElement(AUBase& inAudioUnit) : AUIOElement(inAudioUnit) {}

AUInputElement::~AUInputElement() = default;

void AUInputElement::SetConnection(const AudioUnitConnection& inConnection) {
  mSource.Update([&inConnection](const Source&) {
    auto next = std::make_unique<Source>();
    if (inConnection.sourceAudioUnit) {
      next->kind = SourceKind::Connection;
      next->connection = inConnection;
    }
    return next;
  });
}

void AUInputElement::SetInputCallback(AURenderCallback inProc, void* inRefCon) {
  mSource.Update([inProc, inRefCon](const Source&) {
    auto next = std::make_unique<Source>();
    if (inProc) {
      next->kind = SourceKind::Callback;
      next->callback = AURenderCallbackStruct{inProc, inRefCon};
    }
    return next;
  });
}

AUInputElement::Source AUInputElement::GetSource() const {
  AURealtimeSnapshot<Source>::Reader source(mSource);
  return *source;
}

bool AUInputElement::IsActive() const {
  AURealtimeSnapshot<Source>::Reader source(mSource);
  return source->kind != SourceKind::None;
}

bool AUInputElement::HasConnection() const {
  AURealtimeSnapshot<Source>::Reader source(mSource);
  return source->kind == SourceKind::Connection;
}

bool AUInputElement::IsCallback() const {
  AURealtimeSnapshot<Source>::Reader source(mSource);
  return source->kind == SourceKind::Callback;
}

OSStatus AUInputElement::PullInput(AudioUnitRenderActionFlags& ioActionFlags,
                                   const AudioTimeStamp& inTimeStamp, AudioUnitElement inElement,
                                   UInt32 inNumberFrames) {
  AURealtimeSnapshot<Source>::Reader source(mSource);
  if (source->kind == SourceKind::None) return kAudioUnitErr_NoConnection;
  AudioBufferList& list = PrepareBuffer(inNumberFrames);
  if (source->kind == SourceKind::Callback) {
    return source->callback.inputProc(source->callback.inputProcRefCon, &ioActionFlags,
                                      &inTimeStamp, inElement, inNumberFrames, &list);
  }
  ComponentInstanceRecord* unit = source->connection.sourceAudioUnit;
  if (!unit->entry) return kAudioUnitErr_NoConnection;
  AudioUnitRenderArgs args{&ioActionFlags, &inTimeStamp, source->connection.sourceOutputNumber,
                           inNumberFrames, &list};
  ComponentParameters params{kAudioUnitRenderSelect, &args};
  return unit->entry(&params, unit->storage);
}
