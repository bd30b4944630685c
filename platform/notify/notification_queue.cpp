// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/notify/notification_queue.h"

#include <utility>

namespace notify {

NotificationQueue::NotificationQueue(Center& center) : mCenter(center) {}

void NotificationQueue::enqueue(std::string name, const void* object, UserInfo info) {
  std::lock_guard<std::mutex> lock(mMutex);
  mEntries.push_back(Entry{std::move(name), object, std::move(info)});
}

size_t NotificationQueue::flush() {
  std::deque<Entry> due;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    due.swap(mEntries);
  }
  for (const Entry& entry : due) mCenter.post(entry.name, entry.object, entry.info);
  return due.size();
}

size_t NotificationQueue::pending() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mEntries.size();
}

}  // namespace notify
