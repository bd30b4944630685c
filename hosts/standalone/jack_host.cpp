// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/jack_host.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace standalone {
namespace {

constexpr const char* kPortNames[kPortCount] = {"speech_in_L",  "speech_in_R", "carrier_in_L",
                                                "carrier_in_R", "midi_in",     "out_L",
                                                "out_R"};

bool isInput(int port) {
  return port <= kMidiIn;
}

// The names jack_get_ports returned, freed on the way out.
struct PortList {
  const char** names = nullptr;
  ~PortList() {
    if (names) jack_free(names);
  }
  size_t size() const {
    size_t n = 0;
    while (names && names[n]) ++n;
    return n;
  }
};

// libjack's own messages: kept quiet while a client opens (a missing server is reported once,
// by open), then prefixed. [any thread]
std::atomic<bool> gQuietJack{false};
void printJackMessage(const char* message) {
  if (!gQuietJack.load()) std::fprintf(stderr, "tarnwick: JACK: %s\n", message);
}

}  // namespace

const char* JackHost::portName(Port port) {
  return kPortNames[port];
}

std::unique_ptr<JackHost> JackHost::open(const std::string& clientName, bool exactName,
                                         std::string* error, OpenFailure* failure) {
  *failure = OpenFailure::Other;
  if (clientName.empty() || clientName.size() > size_t(jack_client_name_size() - 1)) {
    *error = "the JACK client name must be 1 to " + std::to_string(jack_client_name_size() - 1) +
             " characters";
    return nullptr;
  }
  std::unique_ptr<JackHost> host(new JackHost);
  if (pipe2(host->mWake, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = "cannot create a pipe";
    return nullptr;
  }
  jack_set_error_function(printJackMessage);
  jack_set_info_function(printJackMessage);
  gQuietJack.store(true);
  jack_status_t status{};
  const int options = JackNoStartServer | (exactName ? JackUseExactName : 0);
  host->mClient = jack_client_open(clientName.c_str(), jack_options_t(options), &status);
  gQuietJack.store(false);
  if (!host->mClient) {
    if (status & JackNameNotUnique) {
      *failure = OpenFailure::NameTaken;
      *error = "the JACK client name '" + clientName + "' is taken";
    } else if (status & (JackServerFailed | JackServerError)) {
      *failure = OpenFailure::NoServer;
      const char* server = std::getenv("JACK_DEFAULT_SERVER");
      *error = std::string("no JACK server is running") +
               (server ? std::string(" (server name '") + server + "')" : "") +
               "; start one first, e.g. with qjackctl, or: jackd -d alsa";
    } else {
      char text[64];
      std::snprintf(text, sizeof text, "cannot open a JACK client (status 0x%x)", unsigned(status));
      *error = text;
    }
    return nullptr;
  }
  jack_set_process_callback(host->mClient, &JackHost::processCallback, host.get());
  jack_set_sample_rate_callback(host->mClient, &JackHost::sampleRateCallback, host.get());
  jack_set_buffer_size_callback(host->mClient, &JackHost::bufferSizeCallback, host.get());
  jack_set_latency_callback(host->mClient, &JackHost::latencyCallback, host.get());
  jack_on_info_shutdown(host->mClient, &JackHost::shutdownCallback, host.get());
  *failure = OpenFailure::None;
  return host;
}

JackHost::~JackHost() {
  if (mClient) {
    if (mActive && !mServerGone.load()) jack_deactivate(mClient);
    jack_client_close(mClient);
  }
  for (int fd : mWake) {
    if (fd >= 0) close(fd);
  }
}

std::string JackHost::clientName() const {
  return jack_get_client_name(mClient);
}

double JackHost::sampleRate() const {
  return jack_get_sample_rate(mClient);
}

uint32_t JackHost::bufferSize() const {
  return jack_get_buffer_size(mClient);
}

bool JackHost::activate(Processor* processor, uint32_t latencyFrames, CycleObserver* observer,
                        std::string* error) {
  mProcessor = processor;
  mObserver = observer;
  mLatencyFrames = latencyFrames;
  if (jack_activate(mClient) != 0) {
    *error = "cannot activate the JACK client";
    return false;
  }
  // The ports appear only once the client is active, so that whoever sees them can connect.
  for (int p = 0; p < kPortCount; ++p) {
    const char* type = p == kMidiIn ? JACK_DEFAULT_MIDI_TYPE : JACK_DEFAULT_AUDIO_TYPE;
    const unsigned long flags = isInput(p) ? JackPortIsInput : JackPortIsOutput;
    if (!mPorts[p]) mPorts[p] = jack_port_register(mClient, kPortNames[p], type, flags, 0);
    if (!mPorts[p]) {
      *error = std::string("cannot register the JACK port '") + kPortNames[p] + "'";
      jack_deactivate(mClient);
      return false;
    }
  }
  mPortsReady.store(true, std::memory_order_release);
  mActive = true;
  return true;
}

void JackHost::deactivate() {
  if (mActive && !mServerGone.load()) jack_deactivate(mClient);
  mActive = false;
}

int JackHost::processCallback(jack_nframes_t frames, void* arg) {
  static_cast<JackHost*>(arg)->process(frames);
  return 0;
}

void JackHost::process(jack_nframes_t frames) {
  if (!mPortsReady.load(std::memory_order_acquire)) return;
  if (mObserver) mObserver->cycleBegins();
  const float* inputs[4];
  for (int p = kSpeechL; p <= kCarrierR; ++p) {
    inputs[p] = static_cast<const float*>(jack_port_get_buffer(mPorts[p], frames));
  }
  float* out[2] = {static_cast<float*>(jack_port_get_buffer(mPorts[kOutL], frames)),
                   static_cast<float*>(jack_port_get_buffer(mPorts[kOutR], frames))};
  void* midiBuffer = jack_port_get_buffer(mPorts[kMidiIn], frames);
  const uint32_t available = midiBuffer ? jack_midi_get_event_count(midiBuffer) : 0;
  size_t count = 0;
  for (uint32_t i = 0; i < available; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midiBuffer, i) != 0 || event.size == 0) continue;
    if (count == kMaxEvents) {
      mDroppedEvents.fetch_add(available - i, std::memory_order_relaxed);
      break;
    }
    MidiEvent& e = mEvents[count++];
    e.frame = event.time;
    e.size = static_cast<uint32_t>(std::min<size_t>(event.size, 3));
    std::copy(event.buffer, event.buffer + e.size, e.bytes);
  }
  if (mProcessor) {
    mProcessor->process(frames, inputs, out, mEvents.data(), count);
  } else {
    for (float* o : out) std::fill(o, o + frames, 0.0f);
  }
  if (mObserver) mObserver->cycleEnds();
}

int JackHost::sampleRateCallback(jack_nframes_t rate, void* arg) {
  auto* self = static_cast<JackHost*>(arg);
  self->mAnnouncedRate.store(rate);
  self->wake();
  return 0;
}

// Cycles of any length render in pieces of the component's maximum frames: nothing to do.
int JackHost::bufferSizeCallback(jack_nframes_t, void*) {
  return 0;
}

void JackHost::latencyCallback(jack_latency_callback_mode_t mode, void* arg) {
  auto* self = static_cast<JackHost*>(arg);
  if (!self->mPortsReady.load(std::memory_order_acquire)) return;
  jack_latency_range_t range{UINT32_MAX, 0};
  const bool capture = mode == JackCaptureLatency;
  const int from = capture ? kSpeechL : kOutL;
  const int to = capture ? kCarrierR : kOutR;
  for (int p = from; p <= to; ++p) {
    jack_latency_range_t r;
    jack_port_get_latency_range(self->mPorts[p], mode, &r);
    range.min = std::min(range.min, r.min);
    range.max = std::max(range.max, r.max);
  }
  range.min += self->mLatencyFrames;
  range.max += self->mLatencyFrames;
  const int setFrom = capture ? kOutL : kSpeechL;
  const int setTo = capture ? kOutR : kMidiIn;
  for (int p = setFrom; p <= setTo; ++p) jack_port_set_latency_range(self->mPorts[p], mode, &range);
}

void JackHost::shutdownCallback(jack_status_t, const char*, void* arg) {
  auto* self = static_cast<JackHost*>(arg);
  self->mServerGone.store(true);
  self->wake();
}

void JackHost::wake() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(mWake[1], &byte, 1);  // full pipe: already awake
}

void JackHost::drainWake() {
  char bytes[64];
  while (read(mWake[0], bytes, sizeof bytes) > 0) {
  }
}

int JackHost::connectMatching(PortGroup group, const std::string& pattern, std::string* report) {
  const bool midi = group == PortGroup::Midi;
  const bool output = group == PortGroup::Out;
  PortList matches;
  matches.names = jack_get_ports(mClient, pattern.c_str(),
                                 midi ? JACK_DEFAULT_MIDI_TYPE : JACK_DEFAULT_AUDIO_TYPE,
                                 output ? JackPortIsInput : JackPortIsOutput);
  const std::string own = clientName() + ":";
  std::vector<std::string> others;
  for (size_t i = 0; i < matches.size(); ++i) {
    if (std::string(matches.names[i]).rfind(own, 0) != 0) others.push_back(matches.names[i]);
  }
  if (others.empty()) {
    *report = "no " + std::string(midi ? "MIDI" : "audio") + (output ? " input" : " output") +
              " port matches '" + pattern + "'";
    return 0;
  }
  return connectNames(group, others, report);
}

int JackHost::connectNames(PortGroup group, const std::vector<std::string>& theirs,
                           std::string* report) {
  const bool output = group == PortGroup::Out;
  const std::string own = clientName() + ":";
  int made = 0;
  report->clear();
  const auto link = [&](int ours, const std::string& other) {
    const std::string ourName = own + kPortNames[ours];
    const int result = output ? jack_connect(mClient, ourName.c_str(), other.c_str())
                              : jack_connect(mClient, other.c_str(), ourName.c_str());
    if (result == 0 || result == EEXIST) {
      ++made;
      *report += (report->empty() ? "" : ", ") +
                 (output ? std::string(kPortNames[ours]) + " -> " + other
                         : other + " -> " + kPortNames[ours]);
    }
  };
  if (group == PortGroup::Midi) {
    for (const std::string& name : theirs) link(kMidiIn, name);
  } else {
    const int first = group == PortGroup::Speech    ? kSpeechL
                      : group == PortGroup::Carrier ? kCarrierL
                                                    : kOutL;
    link(first, theirs[0]);
    link(first + 1, theirs.size() > 1 ? theirs[1] : theirs[0]);
  }
  return made;
}

void JackHost::autoConnect(std::string* report) {
  report->clear();
  const auto physical = [&](PortGroup group, const char* type, unsigned long flags) {
    PortList ports;
    ports.names = jack_get_ports(mClient, nullptr, type, flags | JackPortIsPhysical);
    if (ports.size() == 0) return;
    std::vector<std::string> names(ports.names, ports.names + std::min<size_t>(ports.size(), 2));
    if (group == PortGroup::Midi) names.resize(1);  // the first hardware MIDI source
    std::string line;
    if (connectNames(group, names, &line) > 0) *report += (report->empty() ? "" : "; ") + line;
  };
  physical(PortGroup::Speech, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  physical(PortGroup::Midi, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
  physical(PortGroup::Out, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
}

}  // namespace standalone
