// SPDX-License-Identifier: GPL-3.0-or-later
// Notification centre and queue on one thread: matching, order, payloads, re-entrancy, and the
// allocation cost of posting.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/notify/notification_center.h"
#include "platform/notify/notification_queue.h"
#include "support/alloc_counter.h"

namespace {

using notify::Center;
using notify::Notification;
using notify::NotificationQueue;
using notify::UserInfo;

TEST(NotificationCenter, DeliversSynchronouslyWithThePayload) {
  Center center;
  std::vector<float> levels;
  std::vector<uint8_t> keys;
  uint64_t refCon = 0;
  std::string label;
  bool delivered = false;
  center.addObserver("Levels", nullptr, [&](const Notification& n) {
    delivered = true;
    levels = *n.get<std::vector<float>>("levels");
    keys = *n.get<std::vector<uint8_t>>("keys");
    refCon = *n.get<uint64_t>("refCon");
    label = *n.get<std::string>("label");
    EXPECT_EQ(n.get<double>("refCon"), nullptr);  // wrong type
    EXPECT_EQ(n.get<uint64_t>("absent"), nullptr);
  });
  UserInfo info;
  info["levels"] = std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9.5f};
  info["keys"] = std::vector<uint8_t>(128, 0x42);
  info["refCon"] = uint64_t(0xDEADBEEF);
  info["label"] = std::string("band levels");
  center.post("Levels", nullptr, info);
  ASSERT_TRUE(delivered);  // before post returned
  EXPECT_EQ(levels.size(), 10u);
  EXPECT_FLOAT_EQ(levels[9], 9.5f);
  EXPECT_EQ(keys, std::vector<uint8_t>(128, 0x42));
  EXPECT_EQ(refCon, 0xDEADBEEFu);
  EXPECT_EQ(label, "band levels");
}

TEST(NotificationCenter, MatchesByNameAndObjectFilter) {
  Center center;
  int a = 0, b = 0;
  std::vector<std::string> seen;
  auto log = [&seen](const char* who) {
    return [&seen, who](const Notification& n) {
      seen.push_back(std::string(who) + ":" + std::string(n.name()));
    };
  };
  center.addObserver("Ping", nullptr, log("any"));
  center.addObserver("Ping", &a, log("onlyA"));
  center.addObserver("", nullptr, log("all"));
  center.addObserver("Pong", &b, log("pongB"));

  center.post("Ping", &a);
  center.post("Ping", &b);
  center.post("Ping");
  center.post("Pong", &a);
  center.post("Pong", &b);
  const std::vector<std::string> expected = {
      "any:Ping", "onlyA:Ping", "all:Ping",  // object a
      "any:Ping", "all:Ping",                // object b
      "any:Ping", "all:Ping",                // no object: filtered observers stay quiet
      "all:Pong",                            // Pong from a
      "all:Pong", "pongB:Pong"};             // Pong from b, in registration order
  EXPECT_EQ(seen, expected);
}

TEST(NotificationCenter, RemovedObserversAreNotCalled) {
  Center center;
  int calls = 0;
  const Center::Token token =
      center.addObserver("N", nullptr, [&](const Notification&) { ++calls; });
  EXPECT_NE(token, 0u);
  center.post("N");
  EXPECT_TRUE(center.removeObserver(token));
  EXPECT_FALSE(center.removeObserver(token));
  EXPECT_FALSE(center.removeObserver(0));
  center.post("N");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, AnObserverCanRemoveItselfAndOthersFromItsCallback) {
  Center center;
  std::vector<std::string> seen;
  Center::Token self = 0, later = 0;
  self = center.addObserver("N", nullptr, [&](const Notification&) {
    seen.push_back("self");
    EXPECT_TRUE(center.removeObserver(self));   // must not wait for this very call
    EXPECT_TRUE(center.removeObserver(later));  // pending in this post: skipped
  });
  later = center.addObserver("N", nullptr, [&](const Notification&) { seen.push_back("later"); });
  center.post("N");
  center.post("N");
  EXPECT_EQ(seen, std::vector<std::string>{"self"});
}

TEST(NotificationCenter, ObserversAddedDuringAPostJoinFromTheNextPost) {
  Center center;
  int added = 0;
  bool once = false;
  center.addObserver("N", nullptr, [&](const Notification&) {
    if (once) return;
    once = true;
    center.addObserver("N", nullptr, [&](const Notification&) { ++added; });
  });
  center.post("N");
  EXPECT_EQ(added, 0);
  center.post("N");
  EXPECT_EQ(added, 1);
}

TEST(NotificationCenter, NestedPostsAndThrowingCallbacksLeaveTheCentreUsable) {
  Center center;
  std::vector<std::string> seen;
  center.addObserver("Outer", nullptr, [&](const Notification&) {
    seen.push_back("outer");
    center.post("Inner");
    seen.push_back("outer done");
  });
  const Center::Token inner =
      center.addObserver("Inner", nullptr, [&](const Notification&) { seen.push_back("inner"); });
  center.post("Outer");
  EXPECT_EQ(seen, (std::vector<std::string>{"outer", "inner", "outer done"}));

  const Center::Token thrower = center.addObserver(
      "Throw", nullptr, [](const Notification&) { throw std::runtime_error("x"); });
  EXPECT_THROW(center.post("Throw"), std::runtime_error);
  // The aborted post released its deliveries: removal must not wait for them.
  EXPECT_TRUE(center.removeObserver(thrower));
  EXPECT_TRUE(center.removeObserver(inner));
}

TEST(NotificationCenter, ManyMatchingObserversAreAllDelivered) {
  Center center;
  std::vector<int> order;
  const int count = static_cast<int>(Center::kInlineMatches) * 3 + 1;
  for (int i = 0; i < count; ++i) {
    center.addObserver("N", nullptr, [&order, i](const Notification&) { order.push_back(i); });
  }
  center.post("N");
  ASSERT_EQ(static_cast<int>(order.size()), count);
  for (int i = 0; i < count; ++i) EXPECT_EQ(order[i], i);
}

TEST(NotificationCenter, DefaultCentreIsOneObject) {
  EXPECT_EQ(&Center::defaultCenter(), &Center::defaultCenter());
}

TEST(NotificationCenterCost, PostingDoesNotAllocateInSteadyState) {
  Center center;
  const std::string longName = "Vexaphon_Tarnwick_SetAnalyzerLevels";  // beyond short strings
  UserInfo info;
  info["Vexaphon_Tarnwick_AnalyzerLevels"] = std::vector<float>(10, 0.0f);
  info["Vexaphon_Tarnwick_RefCon"] = uint64_t(1);
  {
    alloc_counter::Scope scope;
    center.post(longName, nullptr, info);
    center.post("Vexaphon_Tarnwick_SetKeysPressed");
    EXPECT_EQ(scope.allocations(), 0) << "post without observers allocated";
  }
  float sum = 0;
  for (int i = 0; i < 4; ++i) {
    center.addObserver(longName, nullptr, [&sum](const Notification& n) {
      const auto* levels = n.get<std::vector<float>>("Vexaphon_Tarnwick_AnalyzerLevels");
      if (levels) sum += (*levels)[3];
    });
  }
  center.post(longName, nullptr, info);  // warm-up
  auto& levels = std::get<std::vector<float>>(info["Vexaphon_Tarnwick_AnalyzerLevels"]);
  auto& refCon = std::get<uint64_t>(info["Vexaphon_Tarnwick_RefCon"]);
  {
    alloc_counter::Scope scope;
    for (int block = 0; block < 100; ++block) {
      levels[3] = 1.0f;
      refCon = uint64_t(block);
      center.post(longName, nullptr, info);
    }
    EXPECT_EQ(scope.allocations(), 0) << "post to observers allocated";
  }
  EXPECT_FLOAT_EQ(sum, 400.0f);

  // The counter does see allocations made inside the library: more observers than fit inline.
  for (size_t i = 0; i < Center::kInlineMatches; ++i) {
    center.addObserver(longName, nullptr, [](const Notification&) {});
  }
  alloc_counter::Scope scope;
  center.post(longName, nullptr, info);
  EXPECT_GT(scope.allocations(), 0);
}

TEST(NotificationQueue, DeliversCopiesInOrderOnFlush) {
  Center center;
  NotificationQueue queue(center);
  EXPECT_EQ(&queue.center(), &center);
  std::vector<std::string> seen;
  int object = 0;
  center.addObserver("", nullptr, [&](const Notification& n) {
    const auto* text = n.get<std::string>("text");
    seen.push_back(std::string(n.name()) + (text ? "=" + *text : "") +
                   (n.object() == &object ? "@object" : ""));
    if (n.name() == "First") queue.enqueue("FromCallback", nullptr);
  });
  UserInfo info;
  info["text"] = std::string("original");
  queue.enqueue("First", &object, info);
  std::get<std::string>(info["text"]) = "changed later";
  queue.enqueue("Second", nullptr);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(queue.pending(), 2u);
  EXPECT_EQ(queue.flush(), 2u);
  EXPECT_EQ(seen, (std::vector<std::string>{"First=original@object", "Second"}));
  EXPECT_EQ(queue.pending(), 1u);  // enqueued by the observer, for the next flush
  EXPECT_EQ(queue.flush(), 1u);
  EXPECT_EQ(seen.back(), "FromCallback");
  EXPECT_EQ(queue.flush(), 0u);
}

}  // namespace
