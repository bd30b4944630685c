// SPDX-License-Identifier: GPL-3.0-or-later
// Driving the built tarnwick-render as a user would: a subprocess through the shell, files in a
// private folder that is also HOME (default preferences), audio read back with libsndfile.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace render_cli {

// Exit statuses of tarnwick-render.
inline constexpr int kUsageError = 1;
inline constexpr int kProcessingError = 2;

inline const std::string kRender = std::string(TARNWICK_BUILD_DIR) + "/tarnwick-render";

inline const std::string& folder() {
  static const std::string path = [] {
    char pattern[] = "/tmp/tarnwick-render-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    const std::string dir = made ? made : "/tmp";
    setenv("HOME", dir.c_str(), 1);
    return dir;
  }();
  return path;
}

inline std::string file(const std::string& name) {
  return folder() + "/" + name;
}

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a shell command line with stdout and stderr captured.
inline Outcome shell(const std::string& commandLine) {
  const std::string command =
      "{ " + commandLine + "; } >" + file("stdout.txt") + " 2>" + file("stderr.txt");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(file("stdout.txt")),
          slurp(file("stderr.txt"))};
}

inline Outcome run(const std::string& args) {
  return shell(kRender + " " + args);
}

inline void writeMono(const std::string& path, const std::vector<float>& samples,
                      int rate = 44100) {
  SF_INFO info{};
  info.channels = 1;
  info.samplerate = rate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(f);
}

struct Stereo {
  int rate = 0;
  std::vector<float> left, right;
};

inline Stereo readStereo(const std::string& path) {
  Stereo s;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(f, nullptr) << path;
  if (!f) return s;
  EXPECT_EQ(info.channels, 2);
  std::vector<float> data(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(f, data.data(), info.frames);
  sf_close(f);
  s.rate = info.samplerate;
  for (sf_count_t n = 0; n < info.frames; ++n) {
    s.left.push_back(data[n * info.channels]);
    s.right.push_back(data[n * info.channels + 1]);
  }
  return s;
}

inline double energy(const std::vector<float>& x) {
  double e = 0.0;
  for (float s : x) e += double(s) * s;
  return e;
}

// A quiet noise bed with one loud click at clickAt.
inline std::vector<float> speechWithClick(size_t frames, size_t clickAt) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.01f, 0.01f);
  std::vector<float> x(frames);
  for (float& s : x) s = noise(random);
  x[clickAt] = 0.9f;
  return x;
}

}  // namespace render_cli
