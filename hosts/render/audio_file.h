// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing audio files through libsndfile for the offline host.
#pragma once

#include <string>
#include <vector>

namespace render {

struct Audio {
  double rate = 0.0;
  std::vector<std::vector<float>> channels;  // at least one channel, all the same length
  size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// The path that names standard input (reading) or standard output (writing).
inline constexpr const char* kStandardStream = "-";

// Reads any file libsndfile understands; "-" reads all of standard input. Returns false with
// *error set for a missing, unreadable or malformed file, or one without frames.
bool readAudio(const std::string& path, Audio* out, std::string* error);

// The libsndfile format for type ("wav", "flac", "aif", "aiff"; empty: path's extension, and
// "wav" for "-") and bits ("16", "24", "32f"); 0 with *error set for an unknown type or a
// combination the container lacks.
int outputFormat(const std::string& path, const std::string& type, const std::string& bits,
                 std::string* error);
// The usual extension of a format outputFormat returned (".wav", ".flac", ".aiff").
std::string extensionOf(int format);

// Writes the channels (same length each) interleaved; "-" writes the whole file to standard
// output at the end. A file is written beside the target and renamed, so a failure never
// leaves a partial file under the output name. False with *error on failure.
bool writeAudio(const std::string& path, int format, double rate,
                const std::vector<std::vector<float>>& channels, std::string* error);

}  // namespace render
