// SPDX-License-Identifier: GPL-3.0-or-later
// The removal contract of the notification centre under concurrent posting. Also runs under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/notify/notification_center.h"
#include "support/lock_counter.h"

namespace {

using notify::Center;
using notify::Notification;
using namespace std::chrono_literals;

// Aborts the test program when body does not finish in time (a deadlock would hang ctest).
template <typename Body>
void withinSeconds(int seconds, Body body) {
  std::atomic<bool> done{false};
  std::thread watchdog([&done, seconds] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done.load()) {
      if (std::chrono::steady_clock::now() > deadline) {
        std::fprintf(stderr, "deadlock: test did not finish within %d s\n", seconds);
        std::abort();
      }
      std::this_thread::sleep_for(5ms);
    }
  });
  body();
  done.store(true);
  watchdog.join();
}

// Posts name on center from its own thread until stopped.
class Poster {
 public:
  Poster(Center& center, const char* name)
      : mThread([this, &center, name] {
          while (!mStop.load()) {
            center.post(name);
            mPosts.fetch_add(1);
          }
        }) {}
  ~Poster() {
    mStop.store(true);
    mThread.join();
  }
  long posts() const { return mPosts.load(); }

 private:
  std::atomic<bool> mStop{false};
  std::atomic<long> mPosts{0};
  std::thread mThread;
};

TEST(NotificationThreads, RemovalWaitsForACallRunningOnAnotherThread) {
  withinSeconds(30, [] {
    Center center;
    for (int round = 0; round < 20; ++round) {
      struct Shared {
        std::atomic<bool> entered{false};
        std::atomic<bool> finished{false};
        std::atomic<bool> removalReturned{false};
        std::atomic<int> callsAfterRemoval{0};
      };
      auto shared = std::make_shared<Shared>();
      const Center::Token token =
          center.addObserver("Tick", nullptr, [shared](const Notification&) {
            if (shared->removalReturned.load()) shared->callsAfterRemoval.fetch_add(1);
            shared->finished.store(false);
            shared->entered.store(true);
            std::this_thread::sleep_for(2ms);
            shared->finished.store(true);
          });
      Poster poster(center, "Tick");
      while (!shared->entered.load()) std::this_thread::yield();
      ASSERT_TRUE(center.removeObserver(token));
      shared->removalReturned.store(true);
      // The call that was running when removal began has finished, and none start afterwards.
      EXPECT_TRUE(shared->finished.load()) << "round " << round;
      const long postsAtRemoval = poster.posts();
      while (poster.posts() < postsAtRemoval + 50) std::this_thread::yield();
      EXPECT_EQ(shared->callsAfterRemoval.load(), 0) << "round " << round;
    }
  });
}

TEST(NotificationThreads, SelfRemovalInsideACallbackDoesNotDeadlockWhileOthersPost) {
  withinSeconds(30, [] {
    Center center;
    std::atomic<int> afterRemoval{0};
    std::atomic<bool> removed{false};
    std::atomic<int> calls{0};
    std::atomic<Center::Token> token{0};
    token.store(center.addObserver("Tick", nullptr, [&](const Notification&) {
      if (removed.load()) afterRemoval.fetch_add(1);
      if (calls.fetch_add(1) == 200) {
        // Another poster may be inside this same callback: removal waits for it, not for us.
        EXPECT_TRUE(center.removeObserver(token.load()));
        removed.store(true);
      }
    }));
    {
      Poster first(center, "Tick");
      Poster second(center, "Tick");
      while (!removed.load()) std::this_thread::yield();
      const long seen = first.posts() + second.posts();
      while (first.posts() + second.posts() < seen + 200) std::this_thread::yield();
    }
    EXPECT_EQ(afterRemoval.load(), 0);
    EXPECT_EQ(center.observerCount(), 0u);
  });
}

TEST(NotificationThreads, ConcurrentAddRemoveAndPostStayConsistent) {
  withinSeconds(60, [] {
    Center center;
    std::atomic<long> delivered{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> posters;
    for (int i = 0; i < 2; ++i) {
      posters.emplace_back([&center, &stop, i] {
        while (!stop.load()) center.post(i % 2 ? "Even" : "Odd", nullptr);
      });
    }
    std::vector<std::thread> churners;
    for (int t = 0; t < 2; ++t) {
      churners.emplace_back([&, t] {
        for (int i = 0; i < 200; ++i) {
          auto alive = std::make_shared<std::atomic<bool>>(true);
          auto violations = std::make_shared<std::atomic<int>>(0);
          auto hits = std::make_shared<std::atomic<int>>(0);
          const Center::Token token = center.addObserver(
              t ? "Even" : "Odd", nullptr,
              [&delivered, alive, violations, hits](const Notification&) {
                if (!alive->load()) violations->fetch_add(1);
                delivered.fetch_add(1);
                hits->fetch_add(1);
              });
          // The first observer of each thread stays until a post has reached it, so that the
          // run proves delivery however the threads are scheduled.
          while (i == 0 && hits->load() == 0) std::this_thread::yield();
          std::this_thread::yield();
          EXPECT_TRUE(center.removeObserver(token));
          alive->store(false);
          std::this_thread::yield();
          EXPECT_EQ(violations->load(), 0);
        }
      });
    }
    for (auto& churner : churners) churner.join();
    stop.store(true);
    for (auto& poster : posters) poster.join();
    EXPECT_EQ(center.observerCount(), 0u);
    EXPECT_GT(delivered.load(), 0);
  });
}

// The render thread's post: never a blocking lock call (counted where no sanitizer interposes
// the same functions), and a post that reports true has delivered.
TEST(NotificationThreads, TryPostNeverWaitsWhileObserversComeAndGo) {
  withinSeconds(60, [] {
    Center center;
    std::atomic<long> delivered{0};
    center.addObserver("Levels", nullptr, [&delivered](const Notification&) {
      delivered.fetch_add(1);
    });
    const notify::UserInfo info;
    EXPECT_TRUE(center.tryPost("Levels", nullptr, info));
    EXPECT_EQ(delivered.load(), 1);
    std::atomic<bool> churning{true};
    std::thread churner([&] {
      for (int i = 0; i < 20000; ++i) {
        center.removeObserver(center.addObserver("Other", nullptr, [](const Notification&) {}));
      }
      churning.store(false);
    });
    long accepted = 0, skipped = 0, waits = 0;
    {
      lock_counter::Scope scope;
      while (churning.load()) {
        if (center.tryPost("Levels", nullptr, info)) {
          ++accepted;
        } else {
          ++skipped;
        }
      }
      waits = scope.waits();
    }
    churner.join();
    if (lock_counter::available()) {
      EXPECT_EQ(waits, 0);
    }
    EXPECT_EQ(delivered.load(), 1 + accepted);
    EXPECT_TRUE(center.tryPost("Levels", nullptr, info));
    std::printf("tryPost under churn: %ld delivered, %ld skipped\n", accepted, skipped);
  });
}

}  // namespace
