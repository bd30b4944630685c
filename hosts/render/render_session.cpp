// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/render_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "component/tarnwick_identity.h"
#include "hosts/client/host_client.h"
#include "platform/prefs/preferences.h"

namespace render {
namespace {

constexpr UInt32 kChannels = 2;
constexpr UInt32 kNoteVelocity = 100;

std::vector<float> monoMix(const Audio& audio) {
  std::vector<float> mix(audio.frames(), 0.0f);
  for (const auto& channel : audio.channels) {
    for (size_t n = 0; n < mix.size(); ++n) mix[n] += channel[n] / audio.channels.size();
  }
  return mix;
}

// Sources 0 and 1 from the file's channels (a mono file feeds both); nothing: silence.
void feedFrom(host_client::InputFeed& feed, const Audio& audio) {
  for (size_t c = 0; c < 2; ++c) {
    if (audio.channels.empty()) {
      feed.setSource(c, nullptr);
    } else {
      const auto& channel = audio.channels[std::min(c, audio.channels.size() - 1)];
      feed.setSource(c, channel.data(), channel.size());
    }
  }
}

int midiChannel() {
  const int32_t channel = readIntPreference(kTarnwickIdentifier, "userMidiChannel");
  return channel >= 0 && channel < 16 ? channel : 0;
}

}  // namespace

bool runRender(const RenderJob& job, RenderResult* out, std::string* error) {
  auto hosted = host_client::HostedUnit::open(job.componentPath, error);
  if (!hosted) return false;
  if (!hosted->setFormats(job.rate, kChannels, error)) return false;
  const bool sideChain = hosted->hasSideChain();

  // With a side chain the carrier goes to input element 1; without one the component takes the
  // carrier from the main bus's second channel, so the speech is mixed to the first.
  std::vector<float> speechMix, carrierMix;
  host_client::InputFeed mainFeed, sideFeed;
  const bool hasCarrier = !job.carrier.channels.empty();
  if (hasCarrier && !sideChain) {
    speechMix = monoMix(job.speech);
    carrierMix = monoMix(job.carrier);
    mainFeed.setSource(0, job.speech.channels.empty() ? nullptr : speechMix.data(),
                       speechMix.size());
    mainFeed.setSource(1, carrierMix.data(), carrierMix.size());
    if (!job.quiet) {
      std::fprintf(stderr,
                   "tarnwick-render: the component has no side chain (preference "
                   "userEnableSidechain); the carrier goes to the right main channel\n");
    }
  } else {
    feedFrom(mainFeed, job.speech);
  }
  feedFrom(sideFeed, job.carrier);
  if (!hosted->connect(0, &mainFeed, error) ||
      (sideChain && !hosted->connect(1, &sideFeed, error))) {
    return false;
  }

  const UInt32 maxFrames = hosted->maxFrames();
  if (maxFrames == 0) {
    *error = "reading the maximum frames per slice failed";
    return false;
  }
  if (job.block < 1 || job.block > maxFrames) {
    *error = "--block " + std::to_string(job.block) + " is outside 1 … " +
             std::to_string(maxFrames) + " (the component's maximum frames per slice)";
    return false;
  }

  if (!job.statePath.empty() && !hosted->restoreStateFile(job.statePath, error)) return false;
  if (job.state) {
    const OSStatus status = hosted->restoreState(*job.state);
    if (status != noErr) {
      *error = host_client::failureText("restoring the preset", status);
      return false;
    }
  }
  for (const auto& [id, value] : job.parameters) {
    const OSStatus status = hosted->setParameter(id, value);
    if (status != noErr) {
      *error = host_client::failureText("setting parameter " + std::to_string(id), status);
      return false;
    }
  }
  if (!hosted->initialize(error)) return false;

  const int channel = midiChannel();
  for (int note : job.notes) hosted->midi(0x90 | channel, note, kNoteVelocity);

  size_t inputFrames = std::max(job.speech.frames(), job.carrier.frames());
  std::vector<std::pair<size_t, MidiEvent>> events;
  for (const MidiEvent& e : job.midi) {
    events.emplace_back(static_cast<size_t>(std::llround(e.seconds * job.rate)), e);
  }
  if (!events.empty()) inputFrames = std::max(inputFrames, events.back().first + 1);
  const size_t skip = job.raw ? 0 : size_t(kTarnwickLatencyFrames);
  const size_t kept =
      job.raw ? inputFrames
              : inputFrames + static_cast<size_t>(std::llround(job.tailSeconds * job.rate));
  const size_t total = skip + kept;
  if (kept == 0) {
    *error = "nothing to render: the input is empty";
    return false;
  }

  std::vector<float> storage(size_t(kChannels) * job.block);
  float* block[kChannels] = {storage.data(), storage.data() + job.block};
  out->channels.assign(kChannels, std::vector<float>(kept, 0.0f));

  const auto start = std::chrono::steady_clock::now();
  size_t nextEvent = 0;
  size_t position = 0;
  while (position < total) {
    while (nextEvent < events.size() && events[nextEvent].first <= position) {
      const MidiEvent& e = events[nextEvent++].second;
      hosted->midi(e.status, e.data1, e.data2);
    }
    size_t frames = std::min(job.block, total - position);
    if (nextEvent < events.size()) frames = std::min(frames, events[nextEvent].first - position);
    const OSStatus status = hosted->render(static_cast<UInt32>(frames), block, kChannels);
    if (status != noErr) {
      *error = "rendering failed at frame " + std::to_string(position) + " (" +
               host_client::statusText(status) + ")";
      return false;
    }
    for (UInt32 c = 0; c < kChannels; ++c) {
      for (size_t n = 0; n < frames; ++n) {
        const size_t at = position + n;
        if (at >= skip) out->channels[c][at - skip] = block[c][n];
      }
    }
    position += frames;
    if (job.progress) job.progress(position, total);
  }
  out->wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!job.saveStatePath.empty() && !hosted->saveStateFile(job.saveStatePath, error)) {
    return false;
  }
  return true;
}

}  // namespace render
