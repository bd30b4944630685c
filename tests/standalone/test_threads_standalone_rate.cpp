// SPDX-License-Identifier: GPL-3.0-or-later
// A sample-rate change while tarnwick renders: the main thread pauses rendering, takes the
// component through the new formats and resumes, while a render thread keeps running cycles
// with notes in them. Every change succeeds, no render fails, and the synth sounds at the last
// rate (ThreadSanitizer pass with the threads label).
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "hosts/standalone/component_host.h"
#include "hosts/standalone/processor.h"
#include "support/tarnwick_host.h"

namespace {

using namespace standalone;
using namespace std::chrono_literals;

TEST(StandaloneRateChange, RenderingPausesForTheNewRateAndSoundsAfterIt) {
  tarnwick_host::usePrivateHome();
  ComponentHost host(std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component", 44100.0, 256);
  ASSERT_TRUE(host.ok()) << host.error();
  ASSERT_TRUE(host.initialise()) << host.error();
  Processor processor(host);

  constexpr uint32_t kFrames = 256;
  std::atomic<bool> stop{false};
  std::atomic<bool> noteWanted{true};
  std::atomic<long> cycles{0};
  std::atomic<float> peak{0.0f};
  std::thread render([&] {
    std::vector<float> speech(kFrames), left(kFrames), right(kFrames);
    for (uint32_t n = 0; n < kFrames; ++n) speech[n] = 0.4f * (2.0f * ((n % 400) / 400.0f) - 1.0f);
    const float* inputs[4] = {speech.data(), speech.data(), nullptr, nullptr};
    float* out[2] = {left.data(), right.data()};
    const MidiEvent note{kFrames / 3, 3, {0x90, 60, 100}};
    while (!stop.load()) {
      const bool sendNote = noteWanted.exchange(false);
      processor.process(kFrames, inputs, out, &note, sendNote ? 1 : 0);
      float p = 0.0f;
      for (uint32_t n = 0; n < kFrames; ++n) p = std::max({p, std::fabs(left[n]), std::fabs(right[n])});
      peak.store(p);
      ++cycles;
      std::this_thread::sleep_for(200us);
    }
  });
  const auto waitCycles = [&](long n) {
    const long target = cycles.load() + n;
    while (cycles.load() < target) std::this_thread::sleep_for(1ms);
  };

  waitCycles(50);
  for (const double rate : {48000.0, 96000.0, 22050.0, 44100.0, 48000.0}) {
    EXPECT_TRUE(processor.whilePaused([&] { return host.changeRate(rate); }))
        << rate << ": " << host.error();
    EXPECT_EQ(host.rate(), rate);
    waitCycles(20);
  }
  noteWanted = true;
  float loudest = 0.0f;
  for (int i = 0; i < 40; ++i) {
    waitCycles(1);
    loudest = std::max(loudest, peak.load());
  }
  stop = true;
  render.join();

  EXPECT_EQ(host.failedRenders(), 0u);
  EXPECT_GT(loudest, 1e-2f) << "no sound at the last rate";
}

}  // namespace
