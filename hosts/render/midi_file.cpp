// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/midi_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace render {
namespace {

constexpr size_t kMaxFileBytes = 64u << 20;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note

struct Reader {
  const uint8_t* at;
  const uint8_t* end;
  bool has(size_t n) const { return static_cast<size_t>(end - at) >= n; }
  uint32_t be(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | *at++;
    return v;
  }
  // A variable-length quantity of at most four bytes; false when cut off or too long.
  bool vlq(uint32_t* out) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      if (!has(1)) return false;
      const uint8_t b = *at++;
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) {
        *out = v;
        return true;
      }
    }
    return false;
  }
};

struct RawEvent {
  uint64_t tick;
  size_t order;
  bool tempo;
  uint32_t tempoValue;
  MidiEvent event;
};

// Appends the track's events to out; returns false when the track is cut off or malformed.
bool parseTrack(Reader track, size_t* order, std::vector<RawEvent>* out) {
  uint64_t tick = 0;
  uint8_t running = 0;
  while (track.has(1)) {
    uint32_t delta = 0;
    if (!track.vlq(&delta)) return false;
    tick += delta;
    if (!track.has(1)) return false;
    uint8_t status = *track.at;
    if (status & 0x80) {
      ++track.at;
    } else if (running) {
      status = running;
    } else {
      return false;
    }
    if (status == 0xFF) {
      running = 0;
      if (!track.has(1)) return false;
      const uint8_t type = *track.at++;
      uint32_t length = 0;
      if (!track.vlq(&length) || !track.has(length)) return false;
      if (type == 0x51 && length == 3) {
        Reader value{track.at, track.at + 3};
        out->push_back({tick, (*order)++, true, value.be(3), {}});
      }
      track.at += length;
      if (type == 0x2F) return true;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      running = 0;
      uint32_t length = 0;
      if (!track.vlq(&length) || !track.has(length)) return false;
      track.at += length;
      continue;
    }
    if (status >= 0xF0) return false;  // system common/real-time bytes do not belong in an SMF
    running = status;
    const uint8_t kind = status & 0xF0;
    const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    if (!track.has(dataBytes)) return false;
    const uint8_t d1 = track.at[0] & 0x7F;
    const uint8_t d2 = dataBytes == 2 ? (track.at[1] & 0x7F) : 0;
    track.at += dataBytes;
    if (kind == 0x80 || kind == 0x90 || kind == 0xE0) {
      out->push_back({tick, (*order)++, false, 0, {0.0, status, d1, d2}});
    }
  }
  return true;
}

}  // namespace

std::optional<MidiFile> parseMidiFile(const std::vector<uint8_t>& bytes, std::string* error) {
  Reader file{bytes.data(), bytes.data() + bytes.size()};
  if (!file.has(14) || std::string(reinterpret_cast<const char*>(file.at), 4) != "MThd") {
    *error = "not a Standard MIDI File (no MThd header)";
    return std::nullopt;
  }
  file.at += 4;
  const uint32_t headerLength = file.be(4);
  if (headerLength < 6 || !file.has(headerLength)) {
    *error = "broken MIDI file header";
    return std::nullopt;
  }
  const uint32_t format = file.be(2);
  const uint32_t trackCount = file.be(2);
  const uint32_t division = file.be(2);
  file.at += headerLength - 6;
  if (format > 1) {
    *error = "MIDI file format " + std::to_string(format) + " is not supported (only 0 and 1)";
    return std::nullopt;
  }
  double secondsPerTickAtTempo = 0.0;  // for SMPTE time: seconds per tick, tempo ignored
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const int ticksPerFrame = division & 0xFF;
    const double rate = fps == 29 ? 29.97 : fps;
    if (fps <= 0 || ticksPerFrame == 0) {
      *error = "MIDI file has an invalid time division";
      return std::nullopt;
    }
    secondsPerTickAtTempo = 1.0 / (rate * ticksPerFrame);
  } else if (division == 0) {
    *error = "MIDI file has a time division of 0";
    return std::nullopt;
  }

  MidiFile result;
  std::vector<RawEvent> raw;
  size_t order = 0;
  for (uint32_t t = 0; t < trackCount; ++t) {
    // Skip chunks that are not tracks, as the format requires.
    while (file.has(8) && std::string(reinterpret_cast<const char*>(file.at), 4) != "MTrk") {
      file.at += 4;
      const uint32_t length = file.be(4);
      if (!file.has(length))
        file.at = file.end;
      else
        file.at += length;
    }
    if (!file.has(8)) {
      result.truncated = true;
      break;
    }
    file.at += 4;
    const uint32_t length = file.be(4);
    const size_t available = std::min<size_t>(length, static_cast<size_t>(file.end - file.at));
    if (available < length) result.truncated = true;
    if (!parseTrack(Reader{file.at, file.at + available}, &order, &raw)) result.truncated = true;
    file.at += available;
  }

  std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  double seconds = 0.0;
  uint64_t lastTick = 0;
  uint32_t tempo = kDefaultTempo;
  for (const RawEvent& e : raw) {
    const double perTick =
        secondsPerTickAtTempo > 0.0 ? secondsPerTickAtTempo : tempo * 1e-6 / division;
    seconds += static_cast<double>(e.tick - lastTick) * perTick;
    lastTick = e.tick;
    if (e.tempo) {
      if (e.tempoValue > 0) tempo = e.tempoValue;
      continue;
    }
    MidiEvent event = e.event;
    event.seconds = seconds;
    result.events.push_back(event);
  }
  return result;
}

std::optional<MidiFile> readMidiFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open MIDI file '" + path + "'";
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    if (bytes.size() > kMaxFileBytes) {
      *error = "MIDI file '" + path + "' is too large";
      return std::nullopt;
    }
  }
  std::string why;
  auto parsed = parseMidiFile(bytes, &why);
  if (!parsed) *error = "'" + path + "': " + why;
  return parsed;
}

std::optional<int> parseNoteName(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    const int number = std::stoi(text);
    return number <= 127 ? std::optional<int>(number) : std::nullopt;
  }
  static constexpr int kPitchClass[7] = {9, 11, 0, 2, 4, 5, 7};  // A … G
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter < 'A' || letter > 'G') return std::nullopt;
  int pitch = kPitchClass[letter - 'A'];
  size_t i = 1;
  if (i < text.size() && (text[i] == '#' || text[i] == 'b')) {
    pitch += text[i] == '#' ? 1 : -1;
    ++i;
  }
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i >= text.size() || i + 2 < text.size()) return std::nullopt;
  int octave = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    octave = octave * 10 + (text[i] - '0');
  }
  if (negative) octave = -octave;
  const int note = (octave + 1) * 12 + pitch;
  if (note < 0 || note > 127) return std::nullopt;
  return note;
}

}  // namespace render
