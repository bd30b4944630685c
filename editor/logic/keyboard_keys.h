// SPDX-License-Identifier: GPL-3.0-or-later
// The on-screen keyboard's arithmetic: which keys are white, which key a point hits, the key
// list's two byte formats. Key k (0 at the left) sounds MIDI note k + kLowestNote.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace keyboard_keys {

inline constexpr int kLowestNote = 48;
inline constexpr int kDefaultKeys = 24;
// Key-list entries a view keeps at most (one less than its 1024-entry store).
inline constexpr int kMaxEntries = 1023;

// White key number i (counted among the white keys from the left) is key whiteKey(i).
int whiteKey(int i);
// The number of white keys among numKeys keys.
int whiteKeyCount(int numKeys);
// True when some white key number i < numKeys lands on key k.
bool isWhiteKey(int k, int numKeys);

// The key a point hits, or -1. (x, y) in the view's coordinates with y growing upwards from
// the bottom edge; w, h the view's size. Upper two thirds: numKeys equal columns (the last
// column containing the point wins). Lower third: the white keys, equally wide.
int hitTest(double x, double y, double w, double h, int numKeys);

// Drawing split between the lower (white keys only) and upper part, from the bottom edge.
inline double drawingSplit(double h) { return h * 1.25 / 3; }

// Key-list bytes: one 32-bit word per entry (a float's bit pattern), native byte order for the
// live list, big-endian for saved state. Decoding takes length / 4 entries, capped at
// kMaxEntries; swap reverses each word's bytes.
std::vector<uint32_t> decodeWords(const uint8_t* bytes, size_t length, bool swap);
std::vector<uint8_t> encodeBigEndian(const float* entries, size_t count);
std::vector<uint8_t> encodeNative(const float* entries, size_t count);

// The notes a chord moves to: non-zero entries (integer part) shifted by semitones, zero
// (empty) entries left out.
std::vector<int> shiftedNotes(const float* entries, size_t count, int semitones);

}  // namespace keyboard_keys
