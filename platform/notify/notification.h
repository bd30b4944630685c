// SPDX-License-Identifier: GPL-3.0-or-later
// A notification as observers receive it: a name, the posting object (an identity only, never
// dereferenced by the centre) and a user-info dictionary owned by the poster for the duration
// of the post. Observers copy what they keep.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace notify {

// One user-info value: an unsigned 64-bit number, a real, a data blob, an array of floats or a
// string.
using UserValue =
    std::variant<uint64_t, double, std::vector<uint8_t>, std::vector<float>, std::string>;

// The user-info dictionary; looked up by std::string_view without allocating. A poster that
// posts repeatedly (the render thread) keeps one UserInfo and overwrites its values in place
// with values of the same sizes, which does not allocate.
using UserInfo = std::map<std::string, UserValue, std::less<>>;

class Notification {
 public:
  Notification(std::string_view name, const void* object, const UserInfo& userInfo)
      : mName(name), mObject(object), mUserInfo(&userInfo) {}

  std::string_view name() const { return mName; }
  const void* object() const { return mObject; }
  const UserInfo& userInfo() const { return *mUserInfo; }

  // The entry for key when it holds a T, else null. Valid for the duration of the callback.
  template <typename T>
  const T* get(std::string_view key) const {
    auto found = mUserInfo->find(key);
    return found == mUserInfo->end() ? nullptr : std::get_if<T>(&found->second);
  }

 private:
  std::string_view mName;
  const void* mObject;
  const UserInfo* mUserInfo;
};

// Called synchronously on the posting thread.
using Callback = std::function<void(const Notification&)>;

}  // namespace notify
