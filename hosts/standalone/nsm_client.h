// SPDX-License-Identifier: GPL-3.0-or-later
// A Non Session Manager client over OSC (liblo): announces the app to the server at NSM_URL and
// answers /nsm/client/open and /nsm/client/save through the handlers. Messages are handled only
// inside poll(), on the calling thread.
#pragma once

#include <lo/lo.h>

#include <functional>
#include <memory>
#include <string>

namespace standalone {

class NsmClient {
 public:
  struct Handlers {
    // path: the prefix of this client's files in the session; clientId: its JACK client name.
    // Returns false with *message set when the session cannot be opened.
    std::function<bool(const std::string& path, const std::string& displayName,
                        const std::string& clientId, std::string* message)>
        open;
    // Returns false with *message set when the state cannot be saved.
    std::function<bool(std::string* message)> save;
  };

  // The OSC error codes a client answers with.
  static constexpr int kErrGeneral = -1;
  static constexpr int kErrLaunchFailed = -4;
  static constexpr int kErrCreateFailed = -10;

  // Creates the OSC server on a free port and announces the app (name, executable) to the
  // session manager at url. Null with *error set when url is not usable. [main thread]
  static std::unique_ptr<NsmClient> start(const std::string& url, const std::string& appName,
                                          const std::string& executable, Handlers handlers,
                                          std::string* error);
  ~NsmClient();
  NsmClient(const NsmClient&) = delete;
  NsmClient& operator=(const NsmClient&) = delete;

  // The OSC socket; readable when a message waits. [any thread]
  int fd() const;
  // Handles every waiting message. [main thread]
  void poll();
  // Whether the manager answered the announcement, and what it called itself.
  bool announced() const { return mAnnounced; }
  const std::string& managerName() const { return mManagerName; }
  // The last error the manager sent, if any.
  const std::string& lastError() const { return mLastError; }

 private:
  NsmClient() = default;
  static int onOpen(const char*, const char*, lo_arg** argv, int, lo_message, void* self);
  static int onSave(const char*, const char*, lo_arg**, int, lo_message, void* self);
  static int onReply(const char*, const char*, lo_arg** argv, int, lo_message, void* self);
  static int onError(const char*, const char*, lo_arg** argv, int, lo_message, void* self);
  void answer(const char* path, bool ok, const std::string& message, int code);

  lo_address mManager = nullptr;
  lo_server mServer = nullptr;
  Handlers mHandlers;
  bool mAnnounced = false;
  std::string mManagerName;
  std::string mLastError;
};

}  // namespace standalone
