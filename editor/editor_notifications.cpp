// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editor_notifications.h"

#include <cstring>

#include "platform/notify/notification_center.h"
#include "services/notification_names.h"

namespace editor_notify {

void postKeyMessage(const char* name, const void* poster, uint64_t refCon, int note) {
  notify::UserInfo info;
  info[tarnwick_notify::kRefConKey] = refCon;
  if (std::strcmp(name, tarnwick_notify::kAllKeysOffMsg) != 0) {
    info[tarnwick_notify::kKeysNumberKey] = static_cast<uint64_t>(static_cast<int64_t>(note));
  }
  notify::Center::defaultCenter().post(name, poster, info);
}

void postGesture(const char* name, const void* poster) {
  notify::Center::defaultCenter().post(name, poster);
}

}  // namespace editor_notify
