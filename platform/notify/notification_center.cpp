// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/notify/notification_center.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace notify {

struct Center::Observer {
  Token token;
  std::string name;
  const void* object;
  Callback callback;
  std::atomic<bool> removed{false};
  std::atomic<uint32_t> inFlight{0};  // deliveries collected by posts and not yet finished
  std::atomic<uint32_t> removers{0};  // threads waiting in removeObserver
};

namespace {

// Built in static storage (no heap allocation, even on first use) and never destroyed.
const UserInfo& emptyUserInfo() {
  alignas(UserInfo) static unsigned char storage[sizeof(UserInfo)];
  static const UserInfo* empty = new (storage) UserInfo;
  return *empty;
}

// Scoped holds of a pthread reader-writer lock. A read hold made with wait false may fail;
// held() tells.
class ReadHold {
 public:
  explicit ReadHold(pthread_rwlock_t* lock, bool wait = true)
      : mLock(lock),
        mHeld(wait ? pthread_rwlock_rdlock(mLock) == 0 : pthread_rwlock_tryrdlock(mLock) == 0) {}
  ~ReadHold() {
    if (mHeld) pthread_rwlock_unlock(mLock);
  }
  ReadHold(const ReadHold&) = delete;
  ReadHold& operator=(const ReadHold&) = delete;
  bool held() const { return mHeld; }

 private:
  pthread_rwlock_t* mLock;
  bool mHeld;
};

class WriteHold {
 public:
  explicit WriteHold(pthread_rwlock_t* lock) : mLock(lock) { pthread_rwlock_wrlock(mLock); }
  ~WriteHold() { pthread_rwlock_unlock(mLock); }
  WriteHold(const WriteHold&) = delete;
  WriteHold& operator=(const WriteHold&) = delete;

 private:
  pthread_rwlock_t* mLock;
};

}  // namespace

// Deliveries collected by one post, released one by one as they finish (or all at once when a
// callback throws). Registered in a per-thread list so that a removal from inside a callback
// knows which in-flight deliveries are its own thread's.
class Center::DeliveryList {
 public:
  using Held = std::shared_ptr<Center::Observer>;

  DeliveryList(Held* held, size_t count) : mHeld(held), mCount(count), mOuter(tInnermost) {
    tInnermost = this;
  }
  ~DeliveryList() {
    while (mReleased < mCount) releaseNext();
    tInnermost = mOuter;
  }
  DeliveryList(const DeliveryList&) = delete;
  DeliveryList& operator=(const DeliveryList&) = delete;

  size_t size() const { return mCount; }
  Center::Observer& at(size_t index) const { return *mHeld[index]; }

  // Finishes the delivery at index mReleased.
  void releaseNext() {
    Center::Observer& observer = *mHeld[mReleased];
    ++mReleased;
    observer.inFlight.fetch_sub(1);
    if (observer.removers.load() > 0) observer.inFlight.notify_all();
  }

  // Unfinished deliveries of observer collected by posts on the calling thread.
  static uint32_t heldOnThisThread(const Center::Observer* observer) {
    uint32_t held = 0;
    for (const DeliveryList* list = tInnermost; list; list = list->mOuter) {
      for (size_t i = list->mReleased; i < list->mCount; ++i) {
        if (list->mHeld[i].get() == observer) ++held;
      }
    }
    return held;
  }

 private:
  static thread_local DeliveryList* tInnermost;

  Held* mHeld;
  size_t mCount;
  size_t mReleased = 0;
  DeliveryList* mOuter;
};

thread_local Center::DeliveryList* Center::DeliveryList::tInnermost = nullptr;

Center& Center::defaultCenter() {
  static Center* center = new Center;  // never destroyed: observers may post during teardown
  return *center;
}

Center::Center() {
  pthread_rwlockattr_t attributes;
  pthread_rwlockattr_init(&attributes);
  pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
  pthread_rwlock_init(&mLock, &attributes);
  pthread_rwlockattr_destroy(&attributes);
}

Center::~Center() {
  pthread_rwlock_destroy(&mLock);
}

Center::Token Center::addObserver(std::string name, const void* object, Callback callback) {
  auto observer = std::make_shared<Observer>();
  observer->token = mNextToken.fetch_add(1);
  observer->name = std::move(name);
  observer->object = object;
  observer->callback = std::move(callback);
  const Token token = observer->token;
  WriteHold hold(&mLock);
  mObservers.push_back(std::move(observer));
  return token;
}

bool Center::removeObserver(Token token) {
  std::shared_ptr<Observer> victim;
  {
    WriteHold hold(&mLock);
    auto found = std::find_if(mObservers.begin(), mObservers.end(),
                              [token](const auto& observer) { return observer->token == token; });
    if (found == mObservers.end()) return false;
    victim = *found;
    victim->removed.store(true);
    mObservers.erase(found);
  }
  const uint32_t ours = DeliveryList::heldOnThisThread(victim.get());
  victim->removers.fetch_add(1);
  for (uint32_t current = victim->inFlight.load(); current > ours;
       current = victim->inFlight.load()) {
    victim->inFlight.wait(current);
  }
  victim->removers.fetch_sub(1);
  return true;
}

void Center::post(std::string_view name, const void* object) const {
  post(name, object, emptyUserInfo());
}

void Center::post(std::string_view name, const void* object, const UserInfo& info) const {
  deliver(name, object, info, true);
}

bool Center::tryPost(std::string_view name, const void* object, const UserInfo& info) const {
  return deliver(name, object, info, false);
}

bool Center::deliver(std::string_view name, const void* object, const UserInfo& info,
                     bool wait) const {
  std::shared_ptr<Observer> inlineHeld[kInlineMatches];
  std::vector<std::shared_ptr<Observer>> overflow;
  std::shared_ptr<Observer>* held = inlineHeld;
  size_t count = 0;
  {
    ReadHold hold(&mLock, wait);
    if (!hold.held()) return false;
    auto matches = [&](const Observer& observer) {
      return (observer.name.empty() || observer.name == name) &&
             (!observer.object || observer.object == object);
    };
    size_t matching = 0;
    for (const auto& observer : mObservers) matching += matches(*observer) ? 1 : 0;
    if (matching == 0) return true;
    if (matching > kInlineMatches) {
      overflow.resize(matching);
      held = overflow.data();
    }
    for (const auto& observer : mObservers) {
      if (!matches(*observer)) continue;
      observer->inFlight.fetch_add(1);
      held[count++] = observer;
    }
  }
  const Notification notification(name, object, info);
  DeliveryList deliveries(held, count);
  for (size_t i = 0; i < deliveries.size(); ++i) {
    Observer& observer = deliveries.at(i);
    if (!observer.removed.load()) observer.callback(notification);
    deliveries.releaseNext();
  }
  return true;
}

size_t Center::observerCount() const {
  ReadHold hold(&mLock);
  return mObservers.size();
}

}  // namespace notify
