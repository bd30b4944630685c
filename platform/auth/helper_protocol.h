// SPDX-License-Identifier: GPL-3.0-or-later
// The pipe protocol between the reset program and its privileged helper (a process started
// once with administrator rights, reading requests on its standard input, answering on its
// standard output). Integers are 32-bit in the machine's byte order (both ends are one build).
//
//   helper, once started as root:  "TKOK"
//   request:   u32 kRunRequest, u32 flags (kCaptureOutput), u32 argc, argc x (u32 length, bytes)
//              argv[0] is the tool's absolute path
//   answer:    i32 status (0: started); with kCaptureOutput and status 0, the output as frames
//              (u32 length, bytes), a frame of length 0 ending it
//
// Closing the request pipe ends the helper. A malformed request ends it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace auth {

inline constexpr char kHelperReady[4] = {'T', 'K', 'O', 'K'};
inline constexpr uint32_t kRunRequest = 1;
inline constexpr uint32_t kCaptureOutput = 1u << 0;
inline constexpr uint32_t kMaxArguments = 20;  // the tool and up to 19 arguments
inline constexpr uint32_t kMaxArgumentBytes = 4096;
inline constexpr uint32_t kMaxFrameBytes = 65536;

struct RunRequest {
  uint32_t flags = 0;
  std::vector<std::string> argv;
};

// Whole writes and reads on a descriptor, retried on EINTR; false on error or early end.
bool writeAll(int fd, const void* data, size_t size);
bool readAll(int fd, void* data, size_t size);
bool writeU32(int fd, uint32_t value);
bool readU32(int fd, uint32_t* value);

// Valid: kMaxArguments or fewer entries, the first an absolute path, none longer than
// kMaxArgumentBytes or holding a zero byte.
bool isValidRequest(const RunRequest& request);
bool writeRequest(int fd, const RunRequest& request);
// False on end of input, a read error or a request that is not valid.
bool readRequest(int fd, RunRequest* request);

}  // namespace auth
