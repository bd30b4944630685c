// SPDX-License-Identifier: GPL-3.0-or-later
// One offline render: loads the component bundle, opens an instance through the registry,
// feeds the input files through render callbacks and renders block by block on the calling
// thread. Talks to the component only through the audio-unit calls.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hosts/render/audio_file.h"
#include "hosts/render/midi_file.h"
#include "component/tarnwick_identity.h"
#include "platform/au/au_types.h"
#include "platform/plist/plist_value.h"

namespace render {


struct RenderJob {
  std::string componentPath;
  Audio speech;   // no channels: silence on the main input
  Audio carrier;  // no channels: no external carrier
  double rate = 44100.0;
  std::vector<int> notes;  // held from the first frame to the end
  std::vector<MidiEvent> midi;
  std::vector<std::pair<AudioUnitParameterID, float>> parameters;  // applied in order
  std::string statePath;      // restored before the parameters; empty: none
  // A state restored before the parameters (a --preset); null: none. Shared by a batch's jobs.
  std::shared_ptr<const plist::Value> state;
  std::string saveStatePath;  // written after the render; empty: none
  size_t block = 512;
  double tailSeconds = 2.0;
  bool raw = false;    // exactly the input's length from frame 0, no compensation, no tail
  bool quiet = false;  // no notes on standard error
  // Called after every block with the frames done and the frames in all; may be empty.
  // [any thread; the rendering thread]
  std::function<void(size_t done, size_t total)> progress;
};

struct RenderResult {
  std::vector<std::vector<float>> channels;  // two
  double wallSeconds = 0.0;
};

// Runs the job on the calling thread, through an instance of its own. Returns false with
// *error set (a message for the user) on any failure.
// [not the render thread; main thread or a batch worker]
bool runRender(const RenderJob& job, RenderResult* out, std::string* error);

}  // namespace render
