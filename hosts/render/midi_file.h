// SPDX-License-Identifier: GPL-3.0-or-later
// A Standard MIDI File reader (formats 0 and 1) for the offline host: note on, note off and
// pitch bend, with the tempo map applied. Bounds-checked throughout: a truncated or malformed
// track ends at the last complete event and is reported, never read past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace render {

struct MidiEvent {
  double seconds;  // from the start of the file
  uint8_t status;  // 0x8n, 0x9n or 0xEn
  uint8_t data1;
  uint8_t data2;
};

struct MidiFile {
  std::vector<MidiEvent> events;  // sorted by time; simultaneous events keep file order
  bool truncated = false;         // a track ended early or held bytes that are not MIDI
};

// Parses the bytes of a file. Returns nullopt with *error set when there is no usable header
// (not an SMF, format 2, zero division).
std::optional<MidiFile> parseMidiFile(const std::vector<uint8_t>& bytes, std::string* error);

// Reads and parses a file; *error says why on failure (unreadable, too large, not an SMF).
std::optional<MidiFile> readMidiFile(const std::string& path, std::string* error);

// A key from a name ("C4" = 60, "F#3", "Bb-1") or a number 0 … 127; nullopt otherwise.
std::optional<int> parseNoteName(const std::string& text);

}  // namespace render
