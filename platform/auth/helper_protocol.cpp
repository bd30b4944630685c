// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/auth/helper_protocol.h"

#include <errno.h>
#include <unistd.h>

namespace auth {

bool writeAll(int fd, const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, void* data, size_t size) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool writeU32(int fd, uint32_t value) {
  return writeAll(fd, &value, sizeof value);
}
bool readU32(int fd, uint32_t* value) {
  return readAll(fd, value, sizeof *value);
}

bool isValidRequest(const RunRequest& request) {
  if (request.argv.empty() || request.argv.size() > kMaxArguments) return false;
  if (request.argv[0].empty() || request.argv[0][0] != '/') return false;
  for (const std::string& argument : request.argv) {
    if (argument.size() > kMaxArgumentBytes || argument.find('\0') != std::string::npos) {
      return false;
    }
  }
  return true;
}

bool writeRequest(int fd, const RunRequest& request) {
  if (!isValidRequest(request)) return false;
  std::string bytes;
  auto put = [&bytes](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); };
  put(kRunRequest);
  put(request.flags);
  put(static_cast<uint32_t>(request.argv.size()));
  for (const std::string& argument : request.argv) {
    put(static_cast<uint32_t>(argument.size()));
    bytes += argument;
  }
  return writeAll(fd, bytes.data(), bytes.size());
}

bool readRequest(int fd, RunRequest* request) {
  uint32_t kind = 0, flags = 0, count = 0;
  if (!readU32(fd, &kind) || kind != kRunRequest || !readU32(fd, &flags) || !readU32(fd, &count) ||
      count == 0 || count > kMaxArguments) {
    return false;
  }
  request->flags = flags;
  request->argv.assign(count, std::string());
  for (std::string& argument : request->argv) {
    uint32_t length = 0;
    if (!readU32(fd, &length) || length > kMaxArgumentBytes) return false;
    argument.resize(length);
    if (length > 0 && !readAll(fd, argument.data(), length)) return false;
  }
  return isValidRequest(*request);
}

}  // namespace auth
