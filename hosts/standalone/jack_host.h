// SPDX-License-Identifier: GPL-3.0-or-later
// The app's JACK client: seven ports named for what they carry, the process callback that hands
// each cycle to a Processor, latency reporting, and the server's notices (sample rate, buffer
// size, shutdown) passed to the main thread through a wake-up pipe.
#pragma once

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "hosts/standalone/processor.h"

namespace standalone {

// The ports, in the order of JackHost::portName.
enum Port : int { kSpeechL, kSpeechR, kCarrierL, kCarrierR, kMidiIn, kOutL, kOutR, kPortCount };

// Port groups that --connect options and auto-connection address.
enum class PortGroup { Speech, Carrier, Midi, Out };

// Called at the start and end of every process callback, on the render thread; for
// measurements. Must not allocate or wait.
class CycleObserver {
 public:
  virtual ~CycleObserver() = default;
  virtual void cycleBegins() = 0;
  virtual void cycleEnds() = 0;
};

class JackHost {
 public:
  // Why open failed.
  enum class OpenFailure { None, NoServer, NameTaken, Other };

  // The short port name ("speech_in_L", ..., "out_R").
  static const char* portName(Port port);

  // Opens a client named clientName (exactName: refuse another name) on the running server,
  // never starting one. Null with *error and *failure set on failure.
  // [main thread]
  static std::unique_ptr<JackHost> open(const std::string& clientName, bool exactName,
                                        std::string* error, OpenFailure* failure);
  ~JackHost();
  JackHost(const JackHost&) = delete;
  JackHost& operator=(const JackHost&) = delete;

  jack_client_t* client() const { return mClient; }
  std::string clientName() const;
  double sampleRate() const;
  uint32_t bufferSize() const;

  // Attaches the processor (which must outlive the activation) and an optional observer,
  // activates, then registers the ports. latencyFrames is added to the path from the inputs to the outputs. [main thread]
  bool activate(Processor* processor, uint32_t latencyFrames, CycleObserver* observer,
                std::string* error);
  // Stops the process callback (the ports' connections go with it). [main thread]
  void deactivate();

  // Connects the group's ports to the ports whose full names match the extended regular
  // expression (JACK's own matching): audio ports in order of listing to L then R (one match
  // feeds both), every matching MIDI port to the MIDI input. Returns the number of connections
  // made; *report lists them or says why none were. [main thread; after activate]
  int connectMatching(PortGroup group, const std::string& pattern, std::string* report);
  // Connects the physical capture ports to the speech input, the physical MIDI sources to the
  // MIDI input and the outputs to the physical playback ports. [main thread; after activate]
  void autoConnect(std::string* report);

  // Readable when the server changed the sample rate or shut down. [any thread]
  int wakeFd() const { return mWake[0]; }
  // Reads away pending wake-ups. [main thread]
  void drainWake();
  // The rate the server announced last (0: none yet), and whether the server is gone.
  double announcedRate() const { return mAnnouncedRate.load(); }
  bool serverGone() const { return mServerGone.load(); }
  // MIDI events dropped because a cycle held more than kMaxEvents. [any thread]
  uint64_t droppedEvents() const { return mDroppedEvents.load(std::memory_order_relaxed); }

  static constexpr size_t kMaxEvents = 1024;

 private:
  JackHost() = default;
  static int processCallback(jack_nframes_t frames, void* arg);          // [render thread]
  // [not the render thread; a JACK notification thread]
  static int sampleRateCallback(jack_nframes_t rate, void* arg);
  // [not the render thread; a JACK notification thread]
  static int bufferSizeCallback(jack_nframes_t frames, void* arg);
  // [not the render thread; a JACK notification thread]
  static void latencyCallback(jack_latency_callback_mode_t mode, void* arg);
  // [not the render thread; a JACK notification thread]
  static void shutdownCallback(jack_status_t, const char* reason, void* arg);
  void process(jack_nframes_t frames);
  int connectNames(PortGroup group, const std::vector<std::string>& theirs, std::string* report);
  void wake();

  jack_client_t* mClient = nullptr;
  std::array<jack_port_t*, kPortCount> mPorts{};  // written before mPortsReady is set
  std::atomic<bool> mPortsReady{false};
  Processor* mProcessor = nullptr;
  CycleObserver* mObserver = nullptr;
  uint32_t mLatencyFrames = 0;
  bool mActive = false;
  std::vector<MidiEvent> mEvents = std::vector<MidiEvent>(kMaxEvents);
  std::atomic<double> mAnnouncedRate{0.0};
  std::atomic<bool> mServerGone{false};
  std::atomic<uint64_t> mDroppedEvents{0};
  int mWake[2] = {-1, -1};
};

}  // namespace standalone
