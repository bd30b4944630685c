// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide notification centre: observers register for a name (and optionally one
// posting object); posts are delivered synchronously on the posting thread, in registration
// order.
//
// Removal contract: once removeObserver returns, that observer's callback is never called
// again, whatever other threads are posting; removeObserver waits for calls of that observer
// that are running on other threads. Called from inside the observer's own callback (or from
// any callback of a post that is about to reach it) on the same thread, it does not wait for
// that call and the pending delivery is skipped.
//
// Cost of a post (also from the render thread): a shared lock that only add/remove take
// exclusively (a post may wait for one such short update, or for one that is waiting to start:
// writers are preferred), a scan of the observers, and per
// matching observer one reference-count increment and one atomic counter round trip. A post
// allocates nothing unless more than kInlineMatches observers match; on a thread that first
// touches this library's thread-local state after the library was dlopen'ed, the C runtime
// may allocate that state once. The last reference to an observer removed during a post may be
// dropped (and its callback freed) on the posting thread.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notify/notification.h"

namespace notify {

class Center {
 public:
  using Token = uint64_t;  // 0 is never issued
  static constexpr size_t kInlineMatches = 16;

  // The process's default centre, created on first use and never destroyed. [any thread]
  static Center& defaultCenter();

  Center();
  ~Center();
  Center(const Center&) = delete;
  Center& operator=(const Center&) = delete;

  // Registers callback for posts named name (empty: every name) whose object is object (null:
  // any object). Allocates. [not the render thread]
  Token addObserver(std::string name, const void* object, Callback callback);
  // Unregisters; false when token is unknown (already removed). Blocks as described above.
  // [not the render thread]
  bool removeObserver(Token token);

  // Delivers to every matching observer before returning. info is only borrowed.
  // [any thread]
  void post(std::string_view name, const void* object, const UserInfo& info) const;
  void post(std::string_view name, const void* object = nullptr) const;
  // Delivers as post does, unless an add or remove holds the lock or waits for it: then
  // delivers nothing and returns false. Never waits. [render thread]
  bool tryPost(std::string_view name, const void* object, const UserInfo& info) const;

  // Registered observers. [any thread]
  size_t observerCount() const;

 private:
  struct Observer;
  class DeliveryList;

  // post and tryPost; with wait false, gives up (false) when the lock is not free for reading.
  bool deliver(std::string_view name, const void* object, const UserInfo& info,
               bool wait) const;

  // Reader-writer lock that prefers writers, so that a stream of posts cannot starve add and
  // remove. Never held while a callback runs, so readers never nest.
  mutable pthread_rwlock_t mLock;
  std::vector<std::shared_ptr<Observer>> mObservers;  // registration order
  std::atomic<Token> mNextToken{1};
};

}  // namespace notify
