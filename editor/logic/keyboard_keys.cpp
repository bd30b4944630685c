// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/logic/keyboard_keys.h"

#include <algorithm>
#include <cstring>

namespace keyboard_keys {

int whiteKey(int i) { return static_cast<int>(i * 24.0 / 14.0 + 0.8); }

int whiteKeyCount(int numKeys) { return numKeys * 14 / 24; }

bool isWhiteKey(int k, int numKeys) {
  for (int i = 0; i < numKeys; ++i) {
    if (whiteKey(i) == k) return true;
  }
  return false;
}

int hitTest(double x, double y, double w, double h, int numKeys) {
  if (numKeys <= 0 || w <= 0 || h <= 0) return -1;
  auto inside = [x, y](double rx, double ry, double rw, double rh) {
    return x >= rx && x < rx + rw && y >= ry && y < ry + rh;
  };
  int found = -1;
  const double column = w / numKeys;
  for (int k = 0; k < numKeys; ++k) {
    if (inside(k * column, h / 3, column, h * 2 / 3)) found = k;
  }
  if (found >= 0) return found;
  const int whites = whiteKeyCount(numKeys);
  if (whites <= 0) return -1;
  const double whiteWidth = w / whites;
  for (int i = 0; i < whites; ++i) {
    if (inside(i * whiteWidth, 0, whiteWidth, h / 3)) return whiteKey(i);
  }
  return -1;
}

std::vector<uint32_t> decodeWords(const uint8_t* bytes, size_t length, bool swap) {
  const size_t count = std::min<size_t>(length / 4, kMaxEntries);
  std::vector<uint32_t> words(count);
  if (count) std::memcpy(words.data(), bytes, count * 4);
  if (swap) {
    for (uint32_t& w : words) w = __builtin_bswap32(w);
  }
  return words;
}

namespace {

std::vector<uint8_t> encode(const float* entries, size_t count, bool bigEndian) {
  std::vector<uint8_t> bytes(count * 4);
  for (size_t i = 0; i < count; ++i) {
    uint32_t word;
    std::memcpy(&word, &entries[i], 4);
    if (bigEndian && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) word = __builtin_bswap32(word);
    std::memcpy(&bytes[i * 4], &word, 4);
  }
  return bytes;
}

}  // namespace

std::vector<uint8_t> encodeBigEndian(const float* entries, size_t count) {
  return encode(entries, count, true);
}

std::vector<uint8_t> encodeNative(const float* entries, size_t count) {
  return encode(entries, count, false);
}

std::vector<int> shiftedNotes(const float* entries, size_t count, int semitones) {
  std::vector<int> notes;
  for (size_t i = 0; i < count; ++i) {
    if (entries[i] != 0.0f) notes.push_back(static_cast<int>(entries[i]) + semitones);
  }
  return notes;
}

}  // namespace keyboard_keys
