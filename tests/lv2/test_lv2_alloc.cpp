// SPDX-License-Identifier: GPL-3.0-or-later
// run() of Tarnwick.lv2 neither allocates nor makes a waiting call (locks, condition waits,
// yields, sleeps) once the first block has run: audio, parameter changes, MIDI notes mid-block,
// blocks split into pieces, the analyser levels, the UI's commands and messages. This is what lv2:hardRTCapable in tarnwick.ttl
// rests on.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "lv2/lv2_test_host.h"
#include "support/alloc_counter.h"
#include "support/lock_counter.h"
#include "support/counter_self_check.h"

namespace {

using namespace lv2_test;

float vocoderInput(uint32_t port, size_t n) {
  return port < 2 ? speechAt(n, 44100.0) : sawAt(n, 44100.0);
}

struct Counts {
  long allocations = 0;
  long waits = 0;
};

// ui: every block carries UI commands, and a worker thread of the test host posts the key
// messages while the render thread runs.
Counts countInSteadyState(Plugin& plugin, bool midi, bool ui = false) {
  size_t position = 0;
  plugin.render(512, 512, vocoderInput, nullptr, nullptr, &position);  // the first run
  std::atomic<bool> stop{false};
  std::thread worker;
  plugin.setCollectUi(false);  // the test host's own copies would count
  if (ui) {
    worker = std::thread([&] {
      while (!stop.load()) {
        plugin.worker().drain(plugin.handle());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  const long uiEventsBefore = plugin.uiEvents();
  lock_counter::Scope waits;
  alloc_counter::Scope scope;
  const uint32_t blocks[] = {512, 1, 137, 4096, 64, 1024};
  for (int round = 0; round < 60; ++round) {
    const uint32_t block = blocks[round % 6];
    if (midi) {
      plugin.addMidi(block / 2, 0x90, static_cast<uint8_t>(48 + round % 24), 100);
      if (round % 3 == 2)
        plugin.addMidi(block - 1, 0x80, static_cast<uint8_t>(48 + (round - 2) % 24), 0);
      plugin.addMidi(0, 0xE0, 0, static_cast<uint8_t>(64 + round % 8));
    }
    if (ui) {
      const UiUrids& u = plugin.urids();
      plugin.sendUi(u.keyOn, 48 + round % 24);
      if (round % 3 == 2) plugin.sendUi(u.keyOff, 48 + (round - 2) % 24);
      if (round % 10 == 9) plugin.sendUi(u.allKeysOff);
      if (round % 4 == 0) plugin.sendUi(u.hello);
      if (round % 8 == 0) plugin.sendUi(u.clearPendingDefault);
    }
    if (round % 5 == 0) plugin.control(kParamSoundMode) = static_cast<float>(round % 8);
    plugin.enabled() = round % 11 == 10 ? 0.0f : 1.0f;  // a bypassed block now and then
    if (round % 7 == 0)
      plugin.control(kParamEqBand0Gain + round % 10) = static_cast<float>(round % 12);
    plugin.render(block, block, vocoderInput, nullptr, nullptr, &position);
  }
  const Counts counts{scope.allocations(), waits.waits()};
  if (ui) {
    stop = true;
    worker.join();
    EXPECT_GT(plugin.uiEvents() - uiEventsBefore, 60);  // levels, key lists, flags went out
  }
  // The levels reached the ports through the component's post on this thread.
  EXPECT_GT(plugin.level(5), 0.0f);
  return counts;
}

void expectRealTime(const Counts& counts) {
  EXPECT_EQ(counts.allocations, 0);
  if (lock_counter::available()) {
    EXPECT_EQ(counts.waits, 0);
  }
}

TEST(Lv2Alloc, RunAllocatesNothingAfterTheFirstBlock) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  plugin.control(kParamSynthOn) = 0.0f;
  expectRealTime(countInSteadyState(plugin, false));
}

TEST(Lv2Alloc, MidiNotesInRunAllocateNothing) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  expectRealTime(countInSteadyState(plugin, true));
}

TEST(Lv2Alloc, UiCommandsAndMessagesInRunAllocateNothing) {
  Plugin plugin({});
  ASSERT_TRUE(plugin.ok());
  expectRealTime(countInSteadyState(plugin, true, true));
}

TEST(Lv2Alloc, BlocksInPiecesAllocateNothing) {
  Plugin plugin({44100.0, 4096, true, false});  // the component keeps 1156 frames
  ASSERT_TRUE(plugin.ok());
  expectRealTime(countInSteadyState(plugin, true));
}

// Every instance observes the level posts; with more instances than the centre delivers to
// without allocating (16), a level post must still allocate nothing.
TEST(Lv2Alloc, ManyInstancesAllocateNothing) {
  std::vector<std::unique_ptr<Plugin>> plugins;
  for (int i = 0; i < 24; ++i) {
    plugins.push_back(std::make_unique<Plugin>(Plugin::Options{}));
    ASSERT_TRUE(plugins.back()->ok());
    plugins.back()->control(kParamSynthOn) = 0.0f;
  }
  for (auto& plugin : plugins) {
    size_t position = 0;
    plugin->render(512, 512, vocoderInput, nullptr, nullptr, &position);
  }
  Plugin& last = *plugins.back();
  last.setCollectUi(false);
  size_t position = 512;
  alloc_counter::Scope scope;
  last.render(44100, 512, vocoderInput, nullptr, nullptr, &position);  // several level posts
  EXPECT_EQ(scope.allocations(), 0);
  EXPECT_GT(last.level(5), 0.0f);
  EXPECT_EQ(plugins.front()->level(5), 0.0f);  // another instance's levels stay its own
}

// The counters must see an allocation and a waiting call made on this thread.
TEST(Lv2Alloc, TheCountersSeeAllocationsAndWaits) {
  expectCountersSeeAllocationsAndWaits();
}

}  // namespace
