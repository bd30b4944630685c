// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/audio_file.h"

#include "hosts/render/memory_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace render {

bool readAudio(const std::string& path, Audio* out, std::string* error) {
  SF_INFO info{};
  MemoryFile input;
  SNDFILE* file = nullptr;
  if (path == kStandardStream) {
    if (!input.readAll(stdin)) {
      *error = "cannot read audio from standard input";
      return false;
    }
    file = input.open(SFM_READ, &info);
  } else {
    file = sf_open(path.c_str(), SFM_READ, &info);
  }
  const std::string name = path == kStandardStream ? "<stdin>" : path;
  if (!file) {
    *error = "cannot read audio file '" + name + "': " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels <= 0 || info.frames <= 0 || info.samplerate <= 0) {
    sf_close(file);
    *error = "audio file '" + name + "' holds no audio";
    return false;
  }
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  if (got <= 0) {
    *error = "audio file '" + name + "' could not be decoded";
    return false;
  }
  out->rate = info.samplerate;
  out->channels.assign(info.channels, std::vector<float>(static_cast<size_t>(got)));
  for (sf_count_t n = 0; n < got; ++n) {
    for (int c = 0; c < info.channels; ++c) {
      out->channels[c][n] = interleaved[static_cast<size_t>(n) * info.channels + c];
    }
  }
  return true;
}

int outputFormat(const std::string& path, const std::string& type, const std::string& bits,
                 std::string* error) {
  const size_t dot = path.find_last_of('.');
  std::string extension = !type.empty()                ? type
                          : path == kStandardStream    ? "wav"
                          : dot == std::string::npos   ? ""
                                                       : path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  int container = 0;
  if (extension == "wav") {
    container = SF_FORMAT_WAV;
  } else if (extension == "flac") {
    container = SF_FORMAT_FLAC;
  } else if (extension == "aif" || extension == "aiff") {
    container = SF_FORMAT_AIFF;
  } else {
    *error = "unknown output extension '." + extension + "' (use .wav, .flac or .aiff)";
    return 0;
  }
  int sample = 0;
  if (bits == "16") {
    sample = SF_FORMAT_PCM_16;
  } else if (bits == "24") {
    sample = SF_FORMAT_PCM_24;
  } else if (bits == "32f") {
    sample = SF_FORMAT_FLOAT;
  } else {
    *error = "--bits must be 16, 24 or 32f, not '" + bits + "'";
    return 0;
  }
  SF_INFO probe{};
  probe.channels = 2;
  probe.samplerate = 44100;
  probe.format = container | sample;
  if (!sf_format_check(&probe)) {
    *error = "--bits " + bits + " is not available in ." + extension + " files";
    return 0;
  }
  return container | sample;
}

std::string extensionOf(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_FLAC:
      return ".flac";
    case SF_FORMAT_AIFF:
      return ".aiff";
    default:
      return ".wav";
  }
}

bool writeAudio(const std::string& path, int format, double rate,
                const std::vector<std::vector<float>>& channels, std::string* error) {
  SF_INFO info{};
  info.channels = static_cast<int>(channels.size());
  info.samplerate = static_cast<int>(rate);
  info.format = format;
  const bool toStdout = path == kStandardStream;
  const std::string temporary = path + ".partial";
  MemoryFile memory;
  SNDFILE* file =
      toStdout ? memory.open(SFM_WRITE, &info) : sf_open(temporary.c_str(), SFM_WRITE, &info);
  if (!file) {
    *error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return false;
  }
  // Samples beyond full scale are clipped for integer formats, not wrapped.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const size_t frames = channels.empty() ? 0 : channels.front().size();
  std::vector<float> interleaved(frames * channels.size());
  for (size_t n = 0; n < frames; ++n) {
    for (size_t c = 0; c < channels.size(); ++c)
      interleaved[n * channels.size() + c] = channels[c][n];
  }
  const sf_count_t written =
      sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
  const int closed = sf_close(file);
  if (toStdout) {
    if (written != static_cast<sf_count_t>(frames) || closed != 0 || !memory.writeAll(stdout)) {
      *error = "writing to standard output failed";
      return false;
    }
    return true;
  }
  if (written != static_cast<sf_count_t>(frames) || closed != 0 ||
      std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    *error = "writing '" + path + "' failed";
    return false;
  }
  return true;
}

}  // namespace render
