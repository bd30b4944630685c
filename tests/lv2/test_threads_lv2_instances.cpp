// SPDX-License-Identifier: GPL-3.0-or-later
// Tarnwick.lv2 instances rendering on their own threads while the main thread creates and
// destroys others: the level routing, MIDI and parameters of each instance stay its own.
// Runs under ThreadSanitizer with the "threads" label.
#include <atomic>
#include <memory>
#include <thread>

#include "lv2/lv2_test_host.h"

namespace {

using namespace lv2_test;

float vocoderInput(uint32_t port, size_t n) {
  return port < 2 ? speechAt(n, 44100.0) : sawAt(n, 44100.0);
}

TEST(Lv2Threads, InstancesRenderWhileOthersComeAndGo) {
  tarnwick_host::usePrivateHome();
  Plugin first({});
  Plugin second({});
  ASSERT_TRUE(first.ok() && second.ok());
  first.control(kParamSynthOn) = 0.0f;  // the side-chain carrier
  std::atomic<int> running{2};
  std::atomic<size_t> badSamples{0};
  auto renderer = [&](Plugin& plugin, bool notes) {
    std::vector<float> left;
    size_t position = 0;
    for (int block = 0; block < 400; ++block) {
      if (notes && block % 40 == 0)
        plugin.addMidi(17, 0x90, static_cast<uint8_t>(50 + block / 40), 100);
      if (block % 50 == 0) plugin.control(kParamSoundMode) = static_cast<float>(block / 50 % 8);
      left.clear();
      plugin.render(256, 256, vocoderInput, &left, nullptr, &position);
      for (float s : left) badSamples += std::isfinite(s) ? 0 : 1;
    }
    running.fetch_sub(1);
  };
  std::thread a(renderer, std::ref(first), false);
  std::thread b(renderer, std::ref(second), true);
  int cycles = 0;
  while (running.load() > 0 || cycles < 4) {
    auto passing = std::make_unique<Plugin>(Plugin::Options{});
    ASSERT_TRUE(passing->ok());
    size_t position = 0;
    passing->render(512, 256, vocoderInput, nullptr, nullptr, &position);
    ++cycles;
  }
  a.join();
  b.join();
  EXPECT_EQ(badSamples.load(), 0u);
  EXPECT_GE(cycles, 4);
  int sounding = 0;
  for (int band = 0; band < kBandCount; ++band) {
    sounding += first.level(band) > 1e-4f ? 1 : 0;
    EXPECT_TRUE(std::isfinite(second.level(band)));
  }
  EXPECT_GE(sounding, 3);
}

}  // namespace
