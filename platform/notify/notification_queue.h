// SPDX-License-Identifier: GPL-3.0-or-later
// A queue of notifications for one centre: enqueued copies are posted, in order, when the
// owner flushes the queue (normally from its main-thread loop).
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

#include "platform/notify/notification_center.h"

namespace notify {

class NotificationQueue {
 public:
  // center must outlive the queue.
  explicit NotificationQueue(Center& center = Center::defaultCenter());
  NotificationQueue(const NotificationQueue&) = delete;
  NotificationQueue& operator=(const NotificationQueue&) = delete;

  Center& center() const { return mCenter; }

  // Stores a copy of the notification. Allocates. [not the render thread]
  void enqueue(std::string name, const void* object, UserInfo info = {});
  // Posts everything enqueued before the call, in order, on the calling thread, and returns how
  // many were posted. Notifications enqueued by the observers wait for the next flush.
  // [any thread]
  size_t flush();
  size_t pending() const;  // [any thread]

 private:
  struct Entry {
    std::string name;
    const void* object;
    UserInfo info;
  };

  Center& mCenter;
  mutable std::mutex mMutex;
  std::deque<Entry> mEntries;
};

}  // namespace notify
