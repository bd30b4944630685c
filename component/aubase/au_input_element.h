// SPDX-License-Identifier: GPL-3.0-or-later
// An input bus and its source: nothing, a connection to another unit's output, or a render
// callback. The source is handed to the render thread without locks.
#pragma once

#include "component/aubase/au_io_element.h"
#include "component/aubase/au_realtime_snapshot.h"

class AUInputElement : public AUIOElement {
 public:
  enum class SourceKind { None, Connection, Callback };
  struct Source {
    SourceKind kind = SourceKind::None;
    AudioUnitConnection connection{};
    AURenderCallbackStruct callback{};
  };

  explicit AUInputElement(AUBase& inAudioUnit);  // [main thread]
  ~AUInputElement() override;

  // A null source unit removes the connection. Replaces any callback. [main thread]
  void SetConnection(const AudioUnitConnection& inConnection);
  // A null proc removes the callback. Replaces any connection. [main thread]
  void SetInputCallback(AURenderCallback inProc, void* inRefCon);
  // [any thread]
  Source GetSource() const;
  bool IsActive() const;
  bool HasConnection() const;
  bool IsCallback() const;

  // Renders the source for inNumberFrames frames into this element's own buffer list (see
  // GetBufferList): a callback is called with that list; a connection is rendered by calling the
  // source unit's entry routine with the render selector. A callback may point a buffer at
  // memory of its own that holds the frames (the list refers to it until the next pull; a unit
  // that processes in place would write there, so only callers that know it does not lend).
  // kAudioUnitErr_NoConnection without a source; otherwise the source's status. No allocation,
  // no lock. [render thread]
  OSStatus PullInput(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& inTimeStamp,
                     AudioUnitElement inElement, UInt32 inNumberFrames);

 private:
  AURealtimeSnapshot<Source> mSource;
};
