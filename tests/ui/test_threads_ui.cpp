// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-overs to the UI thread (offscreen): redraw requests from other threads, and work
// performed on the main thread with and without waiting, while the main thread turns the loop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ui/vxui.h"

using namespace ui;

namespace {

class CountingView : public View {
 public:
  using View::View;
  void drawRect(DrawContext&, const Rect&) override { ++draws; }
  int draws = 0;  // main thread only
};

TEST(UiThreadsTest, RedrawRequestsAndPerformsFromOtherThreadsLandOnTheMainThread) {
  Application& app = Application::shared();
  app.useOffscreen();
  Window window(Rect(0, 0, 64, 48), kBorderlessWindowMask);
  window.setScaleFactor(1);
  auto content = std::make_unique<CountingView>(Rect(0, 0, 64, 48));
  CountingView* view = content.get();
  window.setContentView(std::move(content));
  window.makeKeyAndOrderFront();
  app.runOnce();
  const int drawsBefore = view->draws;

  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  const std::thread::id mainId = std::this_thread::get_id();
  std::atomic<int> performed{0};
  std::atomic<int> offMain{0};
  std::atomic<int> finished{0};
  int counter = 0;  // only ever touched on the main thread
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        view->setNeedsDisplay();
        Application::performOnMainThread(
            [&] {
              ++counter;
              if (std::this_thread::get_id() != mainId) ++offMain;
              ++performed;
            },
            i % 2 == 0);
      }
      ++finished;
    });
  }
  ASSERT_TRUE(app.runUntil([&] { return finished == kThreads && performed == kThreads * kRounds; },
                           std::chrono::seconds(30)));
  for (auto& w : workers) w.join();
  app.runOnce();
  EXPECT_EQ(counter, kThreads * kRounds);
  EXPECT_EQ(offMain.load(), 0);
  EXPECT_GT(view->draws, drawsBefore);
  EXPECT_FALSE(window.needsDisplay());
  // stop() from another thread ends a blocking run.
  std::thread stopper([&] { Application::shared().stop(); });
  app.run(std::chrono::milliseconds(10000));
  stopper.join();
}

}  // namespace
