// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes handed to the Standard MIDI File reader must parse or be refused
// with a message, never crash or read out of bounds; whatever parses holds only note on, note
// off and pitch bend events with 7-bit data, at finite, non-negative, non-decreasing times.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hosts/render/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::string error;
  const auto file = render::parseMidiFile(bytes, &error);
  if (!file) {
    if (error.empty()) std::abort();  // a refusal always says why
  } else {
    double previous = 0.0;
    for (const render::MidiEvent& event : file->events) {
      const uint8_t kind = event.status & 0xF0;
      if (kind != 0x80 && kind != 0x90 && kind != 0xE0) std::abort();
      if (event.data1 > 0x7F || event.data2 > 0x7F) std::abort();
      if (!std::isfinite(event.seconds) || event.seconds < previous) std::abort();
      previous = event.seconds;
    }
  }
  // The same bytes as a note name: a key 0 … 127 or nothing.
  const auto key = render::parseNoteName(std::string(data, data + std::min<size_t>(size, 16)));
  if (key && (*key < 0 || *key > 127)) std::abort();
  return 0;
}
