// SPDX-License-Identifier: GPL-3.0-or-later
// The log: lines queued by render threads come out whole and in order, interleaved correctly
// with lines written at once and with alerts; a writer stuck on its output never makes a
// render thread wait or allocate.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/alert/alert.h"
#include "platform/log/log.h"
#include "support/alloc_counter.h"
#include "support/lock_counter.h"

namespace {

struct Recorder {
  std::vector<std::string> lines;
  std::atomic<bool> blocked{false};
  std::atomic<int> entered{0};
};
Recorder gRecorder;

void record(const char* line, void*) {
  gRecorder.entered.fetch_add(1);
  while (gRecorder.blocked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  gRecorder.lines.emplace_back(line);
}

int recordAlert(const alert::Alert& a, void*) {
  gRecorder.lines.push_back("alert:" + a.title + "|" + a.text + "|" + a.defaultButton);
  return alert::kDefaultButton;
}

class Log : public testing::Test {
 protected:
  void SetUp() override {
    vxlog::startWriter();
    vxlog::flush();
    gRecorder.lines.clear();
    vxlog::setSink(record, nullptr);
    alert::setPresenter(recordAlert, nullptr);
  }
  void TearDown() override {
    vxlog::flush();
    vxlog::setSink(nullptr, nullptr);
    alert::setPresenter(nullptr, nullptr);
  }
};

TEST_F(Log, QueuedLinesAlertsAndDirectLinesKeepTheirOrderAndText) {
  // Four render threads at once: each thread's lines arrive whole and in its order.
  constexpr int kThreads = 4, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string text = "thread " + std::to_string(t) + " line " + std::to_string(i);
        while (!vxlog::renderLine(text.c_str())) std::this_thread::yield();  // full: retry
      }
    });
  }
  for (auto& thread : threads) thread.join();
  vxlog::flush();
  ASSERT_EQ(gRecorder.lines.size(), size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : gRecorder.lines) {
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
    ASSERT_EQ(i, next[t]++) << line;
  }

  // A direct line comes after what was queued before it; an alert takes its place in line.
  gRecorder.lines.clear();
  vxlog::renderLine("first");
  vxlog::renderAlert("Title", "Alert text", "OK");
  vxlog::renderLine("third");
  vxlog::line("direct");
  vxlog::flush();
  EXPECT_EQ(gRecorder.lines,
            (std::vector<std::string>{"first", "alert:Title|Alert text|OK", "third", "direct"}));

  // Text longer than a cell is cut, not overrun.
  gRecorder.lines.clear();
  vxlog::renderLine(std::string(2000, 'x').c_str());
  vxlog::flush();
  ASSERT_EQ(gRecorder.lines.size(), 1u);
  EXPECT_EQ(gRecorder.lines[0], std::string(vxlog::kMaxText - 1, 'x'));
}

TEST_F(Log, AStuckWriterNeverMakesTheRenderThreadWaitOrAllocate) {
  gRecorder.blocked = true;
  gRecorder.entered = 0;
  vxlog::renderLine("stuck");  // the writer thread takes it and blocks in the sink
  while (gRecorder.entered.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  const uint64_t droppedBefore = vxlog::droppedEntries();
  long waits = -1, allocations = -1;
  int accepted = 0;
  std::thread render([&] {
    lock_counter::Scope locks;
    alloc_counter::Scope allocs;
    for (int i = 0; i < 3 * int(vxlog::kQueueSlots); ++i) {
      accepted += vxlog::renderLine("queued while the writer is stuck") ? 1 : 0;
    }
    waits = locks.waits();
    allocations = allocs.allocations();
  });
  render.join();  // returns although the writer cannot write
  EXPECT_EQ(allocations, 0);
  if (lock_counter::available()) {
    EXPECT_EQ(waits, 0);
  }
  EXPECT_LE(accepted, int(vxlog::kQueueSlots));
  EXPECT_GE(accepted, int(vxlog::kQueueSlots) - 1);
  EXPECT_EQ(vxlog::droppedEntries() - droppedBefore, uint64_t(3 * vxlog::kQueueSlots - accepted));

  gRecorder.blocked = false;
  vxlog::flush();
  EXPECT_EQ(gRecorder.lines.size(), size_t(1 + accepted));
}

}  // namespace
