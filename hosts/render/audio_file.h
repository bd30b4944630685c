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

// Reads any file libsndfile understands. Returns false with *error set for a missing,
// unreadable or malformed file, or one without frames.
bool readAudio(const std::string& path, Audio* out, std::string* error);

// The libsndfile format for path's extension (.wav, .flac, .aif/.aiff) and bits ("16", "24",
// "32f"); 0 with *error set for an unknown extension or a combination the container lacks.
int outputFormat(const std::string& path, const std::string& bits, std::string* error);

// Writes the channels (same length each) interleaved; false with *error on failure.
bool writeAudio(const std::string& path, int format, double rate,
                const std::vector<std::vector<float>>& channels, std::string* error);

}  // namespace render
