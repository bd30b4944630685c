// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/plist/plist_value.h"
#include "platform/prefs/preferences.h"

namespace render {
namespace {

constexpr const char* kDomain = "com.vexaphon.audiounit.Tarnwick";
constexpr UInt32 kChannels = 2;
constexpr UInt32 kNoteVelocity = 100;

// Two channels fed from a file's channels (a mono file feeds both); zeros past the end.
struct Feed {
  std::vector<const std::vector<float>*> sources;  // one per bus channel; null: silence
  size_t position = 0;

  // [render thread, here the main thread]
  static OSStatus render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* io) {
    auto* feed = static_cast<Feed*>(refCon);
    for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
      auto* out = static_cast<float*>(io->mBuffers[b].mData);
      if (!out || io->mBuffers[b].mDataByteSize < frames * sizeof(float)) return -50;
      const std::vector<float>* source =
          b < feed->sources.size() ? feed->sources[b] : feed->sources.back();
      for (UInt32 n = 0; n < frames; ++n) {
        const size_t at = feed->position + n;
        out[n] = source && at < source->size() ? (*source)[at] : 0.0f;
      }
    }
    feed->position += frames;
    return noErr;
  }
};

const std::vector<float>* channelOf(const Audio& audio, size_t c) {
  if (audio.channels.empty()) return nullptr;
  return &audio.channels[std::min(c, audio.channels.size() - 1)];
}

std::vector<float> monoMix(const Audio& audio) {
  std::vector<float> mix(audio.frames(), 0.0f);
  for (const auto& channel : audio.channels) {
    for (size_t n = 0; n < mix.size(); ++n) mix[n] += channel[n] / audio.channels.size();
  }
  return mix;
}

OSStatus setFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element, double rate) {
  const AudioStreamBasicDescription f = canonicalStreamFormat(rate, kChannels);
  return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &f, sizeof f);
}

OSStatus connect(AudioUnit unit, AudioUnitElement bus, Feed* feed) {
  AURenderCallbackStruct callback{&Feed::render, feed};
  return AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                              bus, &callback, sizeof callback);
}

std::string statusText(const char* what, OSStatus status) {
  return std::string(what) + " failed (status " + std::to_string(status) + ")";
}

// Closes the instance on every path out.
struct OpenUnit {
  AudioUnit unit = nullptr;
  bool initialised = false;
  ~OpenUnit() {
    if (initialised) AudioUnitUninitialize(unit);
    if (unit) CloseComponent(unit);
  }
};

bool restoreState(AudioUnit unit, const std::string& path, std::string* error) {
  plist::ReadStatus status = plist::ReadStatus::Ok;
  const auto state = plist::readFile(path, &status);
  if (!state) {
    *error = "cannot restore state from '" + path + "': " +
             (status == plist::ReadStatus::Missing     ? "no such file"
              : status == plist::ReadStatus::TooLarge  ? "file too large"
              : status == plist::ReadStatus::Malformed ? "not a property list"
                                                       : "unreadable");
    return false;
  }
  const OSStatus result = AudioUnitSetProperty(
      unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &*state, sizeof(plist::Value));
  if (result != noErr) {
    *error =
        "the component refused the state in '" + path + "' (status " + std::to_string(result) + ")";
    return false;
  }
  return true;
}

bool saveState(AudioUnit unit, const std::string& path, std::string* error) {
  plist::Value state = plist::Value::dictionary();
  UInt32 size = sizeof(plist::Value);
  const OSStatus result = AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo,
                                               kAudioUnitScope_Global, 0, &state, &size);
  if (result != noErr) {
    *error = statusText("reading the component's state", result);
    return false;
  }
  if (!plist::writeFile(path, state)) {
    *error = "cannot write state file '" + path + "'";
    return false;
  }
  return true;
}

int midiChannel() {
  const int32_t channel = readIntPreference(kDomain, "userMidiChannel");
  return channel >= 0 && channel < 16 ? channel : 0;
}

}  // namespace

bool runRender(const RenderJob& job, RenderResult* out, std::string* error) {
  std::vector<Component> found;
  std::string message;
  OSStatus status = loadComponentBundle(job.componentPath, &found, &message);
  if (status != noErr || found.empty()) {
    *error = "cannot load the component bundle '" + job.componentPath + "'" +
             (message.empty() ? "" : ": " + message);
    return false;
  }
  OpenUnit open;
  status = OpenAComponent(found.front(), &open.unit);
  if (status != noErr) {
    *error = statusText("opening the component", status);
    return false;
  }
  AudioUnit unit = open.unit;

  if ((status = setFormat(unit, kAudioUnitScope_Input, 0, job.rate)) != noErr ||
      (status = setFormat(unit, kAudioUnitScope_Output, 0, job.rate)) != noErr) {
    *error = statusText("setting the 2-channel stream format", status);
    return false;
  }
  const bool sideChain = setFormat(unit, kAudioUnitScope_Input, 1, job.rate) == noErr;

  // With a side chain the carrier goes to input element 1; without one the component takes the
  // carrier from the main bus's second channel, so the speech is mixed to the first.
  std::vector<float> speechMix, carrierMix;
  Feed mainFeed, sideFeed;
  const bool hasCarrier = !job.carrier.channels.empty();
  if (hasCarrier && !sideChain) {
    speechMix = monoMix(job.speech);
    carrierMix = monoMix(job.carrier);
    mainFeed.sources = {job.speech.channels.empty() ? nullptr : &speechMix, &carrierMix};
    if (!job.quiet) {
      std::fprintf(stderr,
                   "tarnwick-render: the component has no side chain (preference "
                   "userEnableSidechain); the carrier goes to the right main channel\n");
    }
  } else {
    mainFeed.sources = {channelOf(job.speech, 0), channelOf(job.speech, 1)};
  }
  sideFeed.sources = {channelOf(job.carrier, 0), channelOf(job.carrier, 1)};
  if ((status = connect(unit, 0, &mainFeed)) != noErr ||
      (sideChain && (status = connect(unit, 1, &sideFeed)) != noErr)) {
    *error = statusText("connecting the input callbacks", status);
    return false;
  }

  UInt32 maxFrames = 0;
  UInt32 size = sizeof maxFrames;
  status = AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice,
                                kAudioUnitScope_Global, 0, &maxFrames, &size);
  if (status != noErr || maxFrames == 0) {
    *error = statusText("reading the maximum frames per slice", status);
    return false;
  }
  if (job.block < 1 || job.block > maxFrames) {
    *error = "--block " + std::to_string(job.block) + " is outside 1 … " +
             std::to_string(maxFrames) + " (the component's maximum frames per slice)";
    return false;
  }

  if (!job.statePath.empty() && !restoreState(unit, job.statePath, error)) return false;
  for (const auto& [id, value] : job.parameters) {
    status = AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0);
    if (status != noErr) {
      *error = "setting parameter " + std::to_string(id) + " failed (status " +
               std::to_string(status) + ")";
      return false;
    }
  }
  if ((status = AudioUnitInitialize(unit)) != noErr) {
    *error = statusText("initialising the component", status);
    return false;
  }
  open.initialised = true;

  const int channel = midiChannel();
  for (int note : job.notes) MusicDeviceMIDIEvent(unit, 0x90 | channel, note, kNoteVelocity, 0);

  size_t inputFrames = std::max(job.speech.frames(), job.carrier.frames());
  std::vector<std::pair<size_t, MidiEvent>> events;
  for (const MidiEvent& e : job.midi) {
    events.emplace_back(static_cast<size_t>(std::llround(e.seconds * job.rate)), e);
  }
  if (!events.empty()) inputFrames = std::max(inputFrames, events.back().first + 1);
  const size_t skip = job.raw ? 0 : kLatencyFrames;
  const size_t kept =
      job.raw ? inputFrames
              : inputFrames + static_cast<size_t>(std::llround(job.tailSeconds * job.rate));
  const size_t total = skip + kept;
  if (kept == 0) {
    *error = "nothing to render: the input is empty";
    return false;
  }

  std::vector<float> storage(size_t(kChannels) * job.block);
  std::vector<uint8_t> listBytes(audioBufferListSize(kChannels));
  auto& list = *reinterpret_cast<AudioBufferList*>(listBytes.data());
  out->channels.assign(kChannels, std::vector<float>(kept, 0.0f));

  // The progress line is for people: only on a terminal, and never with --quiet.
  const bool progress = !job.quiet && isatty(STDERR_FILENO);
  const auto start = std::chrono::steady_clock::now();
  auto lastProgress = start;
  size_t nextEvent = 0;
  size_t position = 0;
  while (position < total) {
    while (nextEvent < events.size() && events[nextEvent].first <= position) {
      const MidiEvent& e = events[nextEvent++].second;
      MusicDeviceMIDIEvent(unit, e.status, e.data1, e.data2, 0);
    }
    size_t frames = std::min(job.block, total - position);
    if (nextEvent < events.size()) frames = std::min(frames, events[nextEvent].first - position);
    list.mNumberBuffers = kChannels;
    for (UInt32 c = 0; c < kChannels; ++c) {
      list.mBuffers[c] = {1, static_cast<UInt32>(frames * sizeof(float)),
                          storage.data() + size_t(c) * job.block};
    }
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    stamp.mSampleTime = static_cast<double>(position);
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    status = AudioUnitRender(unit, &flags, &stamp, 0, static_cast<UInt32>(frames), &list);
    if (status != noErr) {
      *error = "rendering failed at frame " + std::to_string(position) + " (status " +
               std::to_string(status) + ")";
      return false;
    }
    for (UInt32 c = 0; c < kChannels; ++c) {
      const auto* samples = static_cast<const float*>(list.mBuffers[c].mData);
      for (size_t n = 0; n < frames; ++n) {
        const size_t at = position + n;
        if (at >= skip) out->channels[c][at - skip] = samples[n];
      }
    }
    position += frames;
    const auto now = std::chrono::steady_clock::now();
    if (progress && (now - lastProgress > std::chrono::milliseconds(200) || position == total)) {
      lastProgress = now;
      const double elapsed = std::chrono::duration<double>(now - start).count();
      std::fprintf(stderr, "\rrendering %5.1f%%  %.2f of %.2f s  %.1fx realtime",
                   100.0 * position / total, position / job.rate, total / job.rate,
                   elapsed > 0.0 ? position / job.rate / elapsed : 0.0);
      if (position == total) std::fputc('\n', stderr);
      std::fflush(stderr);
    }
  }
  out->wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!job.saveStatePath.empty() && !saveState(unit, job.saveStatePath, error)) return false;
  return true;
}

}  // namespace render
