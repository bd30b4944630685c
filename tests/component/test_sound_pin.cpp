// SPDX-License-Identifier: GPL-3.0-or-later
// The sound, pinned: every Sound Mode with an external carrier and with the synth, with and
// without the room and Fat mode (and a few other switches), rendered for 2 s through the entry
// point and held within 1e-5 relative RMS of renders recorded in sound_pin_reference.txt.
//
// Each render is kept as a fingerprint: per channel its energy, kProjections projections onto
// pseudo-random ±1 sequences and kRawSamples samples at fixed positions. For a difference d
// between two renders, each projection difference has mean square |d|² (the weights are
// independent ±1), so the mean square of the kProjections differences estimates |d|², and
// |d| / |reference| is the relative RMS difference of the whole render.
//
// TARNWICK_SOUND_PIN_WRITE=<file> writes the fingerprints of the current build to <file>
// instead of comparing (the references are made that way from a build whose sound is right).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "component/parameter_table.h"
#include "support/engine_fixture.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;

namespace {

constexpr double kRate = 44100;
constexpr int kFrames = 88200;  // 2 s
constexpr int kBlock = 512;
constexpr int kProjections = 64;
constexpr int kRawSamples = 32;
constexpr double kRelativeRmsBound = 1e-5;
// The raw samples are few, so their own relative RMS is a noisier estimate: a looser bound.
constexpr double kRawRelativeRmsBound = 1e-4;

struct Case {
  std::string name;
  int soundMode;
  bool synth;
  float roomAmount;  // %
  bool fat;
  std::map<int, float> extra;  // further parameters
};

std::vector<Case> cases() {
  std::vector<Case> all;
  for (int mode = 0; mode < 8; ++mode) {
    const std::string m = "mode" + std::to_string(mode);
    all.push_back({m + "_external_dry", mode, false, 0, false, {}});
    all.push_back({m + "_external_room", mode, false, 25, false, {}});
    all.push_back({m + "_synth_dry", mode, true, 0, false, {}});
    all.push_back({m + "_synth_room", mode, true, 25, false, {}});
    all.push_back({m + "_synth_room_fat", mode, true, 25, true, {}});
  }
  std::map<int, float> eq;
  for (int band = 0; band < 10; ++band) eq[kParamEqBand0Gain + band] = -12.0f + 2.5f * band;
  eq[kParamEqOutGain] = -4.0f;
  all.push_back({"mode0_synth_room_eq_gains", 0, true, 25, false, eq});
  all.push_back({"mode3_external_vcuv_hf_large_room", 3, false, 80, false,
                 {{kParamVcUvEnable, 1}, {kParamHfPassthrough, 1}, {kParamRoomSize, 100}}});
  all.push_back({"mode6_synth_small_room_modulated", 6, true, 60, false,
                 {{kParamRoomSize, 10},
                  {kParamOscAModSource, 1},
                  {kParamOscAModDepth, 60},
                  {kParamOscBModSource, 2},
                  {kParamOscBModDepth, -40},
                  {kParamFilterCutoff, 40},
                  {kParamFilterResonance, 70},
                  {kParamOscSync, 1}}});
  return all;
}

struct Fingerprint {
  double energy[2] = {};
  double projections[2][kProjections] = {};
  float raw[2][kRawSamples] = {};
};

// The ±1 weights of sample n: bit k of word n of a fixed xorshift64 sequence.
class Weights {
 public:
  uint64_t next() {
    mState ^= mState << 13;
    mState ^= mState >> 7;
    mState ^= mState << 17;
    return mState;
  }

 private:
  uint64_t mState = 0x9E3779B97F4A7C15ull;
};

Fingerprint fingerprint(const std::vector<float> (&channels)[2]) {
  static_assert(kProjections == 64);
  Fingerprint f;
  for (int c = 0; c < 2; ++c) {
    Weights w;
    const std::vector<float>& v = channels[c];
    for (size_t n = 0; n < v.size(); ++n) {
      const uint64_t bits = w.next();
      const double x = v[n];
      f.energy[c] += x * x;
      for (int k = 0; k < kProjections; ++k) f.projections[c][k] += (bits >> k) & 1 ? x : -x;
    }
    for (int i = 0; i < kRawSamples; ++i) {
      f.raw[c][i] = v[2048 + size_t(i) * (v.size() - 4096) / kRawSamples];
    }
  }
  return f;
}

// Renders one case through a fresh instance: speech on the left input, a sawtooth carrier on the
// right, 512-frame blocks.
Fingerprint render(const Case& c) {
  static const std::vector<float> speech = engine_fixture::speechLike(kFrames);
  static const std::vector<float> saw = engine_fixture::sawtooth(kFrames, 98.0);
  std::srand(1);  // the noise carrier draws from rand()
  Instance fx;
  InputFeed main;
  main.channels = {speech, saw};
  EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, kRate, 2), noErr);
  EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, kRate, 2), noErr);
  EXPECT_EQ(main.connect(fx.unit(), 0), noErr);
  fx.setParameter(kParamSoundMode, float(c.soundMode));
  fx.setParameter(kParamSynthOn, c.synth ? 1.0f : 0.0f);
  fx.setParameter(kParamRoomAmount, c.roomAmount);
  fx.setParameter(kParamSynthFatMode, c.fat ? 1.0f : 0.0f);
  for (const auto& [id, value] : c.extra) fx.setParameter(id, value);
  EXPECT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  if (c.synth) {
    for (int note : {48, 55, 60, 64}) EXPECT_EQ(fx.midi(0x90, note, 100), noErr);
  }
  OutputBuffers out(2, kBlock);
  std::vector<float> channels[2];
  for (int start = 0; start < kFrames; start += kBlock) {
    EXPECT_EQ(renderBlock(fx.unit(), out, start), noErr);
    for (int ch = 0; ch < 2; ++ch) {
      channels[ch].insert(channels[ch].end(), out.channel(ch), out.channel(ch) + kBlock);
    }
  }
  return fingerprint(channels);
}

std::string referencePath() {
  // The compiler names this file relative to the build folder (Ninja) or absolutely.
  std::string file = __FILE__;
  if (file.front() != '/') file = std::string(TARNWICK_BUILD_DIR) + "/" + file;
  return file.substr(0, file.find_last_of('/') + 1) + "sound_pin_reference.txt";
}

void write(std::ostream& out, const std::string& name, const Fingerprint& f) {
  out.precision(17);
  for (int c = 0; c < 2; ++c) {
    out << name << ' ' << c << ' ' << f.energy[c];
    for (double p : f.projections[c]) out << ' ' << p;
    out.precision(9);
    for (float r : f.raw[c]) out << ' ' << r;
    out.precision(17);
    out << '\n';
  }
}

std::map<std::string, Fingerprint> readReferences() {
  std::map<std::string, Fingerprint> refs;
  std::ifstream in(referencePath());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    int c = -1;
    fields >> name >> c;
    if (c < 0 || c > 1) continue;
    Fingerprint& f = refs[name];
    fields >> f.energy[c];
    for (double& p : f.projections[c]) fields >> p;
    for (float& r : f.raw[c]) fields >> r;
    if (!fields) refs.erase(name);
  }
  return refs;
}

TEST(SoundPin, EverySoundModeRendersAsRecorded) {
  clearPreferences();
  const std::vector<Case> all = cases();
  if (const char* out = std::getenv("TARNWICK_SOUND_PIN_WRITE")) {
    std::ofstream file(out);
    file << "# case channel energy projections[" << kProjections << "] raw[" << kRawSamples
         << "]: tests/component/test_sound_pin.cpp\n";
    for (const Case& c : all) write(file, c.name, render(c));
    ASSERT_TRUE(file.good()) << out;
    GTEST_SKIP() << "wrote " << out;
  }
  const std::map<std::string, Fingerprint> refs = readReferences();
  ASSERT_EQ(refs.size(), all.size()) << referencePath();
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    const auto found = refs.find(c.name);
    ASSERT_NE(found, refs.end());
    const Fingerprint& ref = found->second;
    const Fingerprint now = render(c);
    for (int ch = 0; ch < 2; ++ch) {
      // Every case makes sound: a silent render would pin nothing.
      ASSERT_GT(ref.energy[ch], 1e-3) << "channel " << ch;
      double projected = 0;
      for (int k = 0; k < kProjections; ++k) {
        const double d = now.projections[ch][k] - ref.projections[ch][k];
        projected += d * d;
      }
      const double relative = std::sqrt(projected / kProjections / ref.energy[ch]);
      EXPECT_LE(relative, kRelativeRmsBound) << "channel " << ch;
      double rawDiff = 0, rawRef = 0;
      for (int i = 0; i < kRawSamples; ++i) {
        const double d = double(now.raw[ch][i]) - ref.raw[ch][i];
        rawDiff += d * d;
        rawRef += double(ref.raw[ch][i]) * ref.raw[ch][i];
      }
      EXPECT_LE(std::sqrt(rawDiff / std::max(rawRef, 1e-30)), kRawRelativeRmsBound)
          << "channel " << ch;
      EXPECT_NEAR(now.energy[ch], ref.energy[ch], 2 * kRelativeRmsBound * ref.energy[ch])
          << "channel " << ch;
    }
  }
}

}  // namespace
