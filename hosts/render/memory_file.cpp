// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/memory_file.h"

#include <algorithm>
#include <cstring>

namespace render {

bool MemoryFile::readAll(FILE* stream) {
  unsigned char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
    mBytes.insert(mBytes.end(), chunk, chunk + got);
  }
  mPosition = 0;
  return !std::ferror(stream);
}

bool MemoryFile::writeAll(FILE* stream) const {
  return std::fwrite(mBytes.data(), 1, mBytes.size(), stream) == mBytes.size() &&
         std::fflush(stream) == 0;
}

SNDFILE* MemoryFile::open(int mode, SF_INFO* info) {
  static SF_VIRTUAL_IO io = {&MemoryFile::length, &MemoryFile::seek, &MemoryFile::read,
                             &MemoryFile::write, &MemoryFile::tell};
  mPosition = 0;
  return sf_open_virtual(&io, mode, info, this);
}

sf_count_t MemoryFile::length(void* self) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->mBytes.size());
}

sf_count_t MemoryFile::seek(sf_count_t offset, int whence, void* self) {
  auto* file = static_cast<MemoryFile*>(self);
  sf_count_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<sf_count_t>(file->mPosition);
  if (whence == SEEK_END) base = static_cast<sf_count_t>(file->mBytes.size());
  const sf_count_t target = base + offset;
  if (target < 0) return -1;
  file->mPosition = static_cast<size_t>(target);
  return target;
}

sf_count_t MemoryFile::read(void* out, sf_count_t count, void* self) {
  auto* file = static_cast<MemoryFile*>(self);
  if (file->mPosition >= file->mBytes.size() || count <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(count), file->mBytes.size() - file->mPosition);
  std::memcpy(out, file->mBytes.data() + file->mPosition, n);
  file->mPosition += n;
  return static_cast<sf_count_t>(n);
}

sf_count_t MemoryFile::write(const void* in, sf_count_t count, void* self) {
  auto* file = static_cast<MemoryFile*>(self);
  if (count <= 0) return 0;
  const size_t n = static_cast<size_t>(count);
  if (file->mPosition + n > file->mBytes.size()) file->mBytes.resize(file->mPosition + n);
  std::memcpy(file->mBytes.data() + file->mPosition, in, n);
  file->mPosition += n;
  return count;
}

sf_count_t MemoryFile::tell(void* self) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->mPosition);
}

}  // namespace render
