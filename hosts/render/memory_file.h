// SPDX-License-Identifier: GPL-3.0-or-later
// A sound file held in memory for libsndfile's virtual I/O: standard input read whole before
// decoding, or an output file built whole before it goes to standard output (pipes cannot
// seek back to finish a header).
#pragma once

#include <sndfile.h>

#include <cstdio>
#include <vector>

namespace render {

class MemoryFile {
 public:
  MemoryFile() = default;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Reads stream to its end; false on a read error. [main thread]
  bool readAll(FILE* stream);
  // Writes the bytes and flushes; false when the stream refuses them. [main thread]
  bool writeAll(FILE* stream) const;
  // A libsndfile handle on the bytes (reading) or on an empty, growing file (writing); the
  // caller closes it before this object goes. Null with sf_strerror(nullptr) set on failure.
  SNDFILE* open(int mode, SF_INFO* info);

 private:
  static sf_count_t length(void* self);
  static sf_count_t seek(sf_count_t offset, int whence, void* self);
  static sf_count_t read(void* out, sf_count_t count, void* self);
  static sf_count_t write(const void* in, sf_count_t count, void* self);
  static sf_count_t tell(void* self);

  std::vector<unsigned char> mBytes;
  size_t mPosition = 0;
};

}  // namespace render
