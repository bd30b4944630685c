// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/nsm_client.h"

#include <unistd.h>

#include <cstdio>

namespace standalone {
namespace {

constexpr int kApiMajor = 1;
constexpr int kApiMinor = 2;

void ignoreServerError(int, const char*, const char*) {}

}  // namespace

std::unique_ptr<NsmClient> NsmClient::start(const std::string& url, const std::string& appName,
                                            const std::string& executable, Handlers handlers,
                                            std::string* error) {
  std::unique_ptr<NsmClient> client(new NsmClient);
  client->mHandlers = std::move(handlers);
  client->mManager = lo_address_new_from_url(url.c_str());
  if (!client->mManager) {
    *error = "NSM_URL '" + url + "' is not an OSC address";
    return nullptr;
  }
  client->mServer =
      lo_server_new_with_proto(nullptr, lo_address_get_protocol(client->mManager), ignoreServerError);
  if (!client->mServer) {
    *error = "cannot open an OSC port for the session manager";
    return nullptr;
  }
  lo_server_add_method(client->mServer, "/nsm/client/open", "sss", &NsmClient::onOpen,
                       client.get());
  lo_server_add_method(client->mServer, "/nsm/client/save", "", &NsmClient::onSave, client.get());
  lo_server_add_method(client->mServer, "/reply", nullptr, &NsmClient::onReply, client.get());
  lo_server_add_method(client->mServer, "/error", "sis", &NsmClient::onError, client.get());
  if (lo_send_from(client->mManager, client->mServer, LO_TT_IMMEDIATE, "/nsm/server/announce",
                   "sssiii", appName.c_str(), ":", executable.c_str(), kApiMajor, kApiMinor,
                   int(getpid())) < 0) {
    *error = "cannot reach the session manager at '" + url + "'";
    return nullptr;
  }
  return client;
}

NsmClient::~NsmClient() {
  if (mServer) lo_server_free(mServer);
  if (mManager) lo_address_free(mManager);
}

int NsmClient::fd() const {
  return lo_server_get_socket_fd(mServer);
}

void NsmClient::poll() {
  while (lo_server_recv_noblock(mServer, 0) > 0) {
  }
}

void NsmClient::answer(const char* path, bool ok, const std::string& message, int code) {
  if (ok) {
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/reply", "ss", path, message.c_str());
  } else {
    lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/error", "sis", path, code,
                 message.c_str());
  }
}

int NsmClient::onOpen(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
  auto* client = static_cast<NsmClient*>(self);
  std::string message;
  const bool ok = client->mHandlers.open && client->mHandlers.open(&argv[0]->s, &argv[1]->s,
                                                                   &argv[2]->s, &message);
  client->answer("/nsm/client/open", ok, ok && message.empty() ? "opened" : message,
                 kErrLaunchFailed);
  return 0;
}

int NsmClient::onSave(const char*, const char*, lo_arg**, int, lo_message, void* self) {
  auto* client = static_cast<NsmClient*>(self);
  std::string message;
  const bool ok = client->mHandlers.save && client->mHandlers.save(&message);
  client->answer("/nsm/client/save", ok, ok && message.empty() ? "saved" : message,
                 kErrGeneral);
  return 0;
}

int NsmClient::onReply(const char*, const char* types, lo_arg** argv, int argc, lo_message,
                       void* self) {
  auto* client = static_cast<NsmClient*>(self);
  if (argc >= 3 && types[0] == 's' && std::string(&argv[0]->s) == "/nsm/server/announce" &&
      types[2] == 's') {
    client->mAnnounced = true;
    client->mManagerName = &argv[2]->s;
  }
  return 0;
}

int NsmClient::onError(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
  auto* client = static_cast<NsmClient*>(self);
  client->mLastError = std::string(&argv[0]->s) + ": " + &argv[2]->s;
  return 0;
}

}  // namespace standalone
