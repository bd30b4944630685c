// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-render driven as a user would: the built executable in a subprocess, with files in
// a private folder and a private HOME (default preferences), outputs read with libsndfile.
#include <cmath>

#include "component/equaliser.h"
#include "render/render_cli_support.h"

namespace {

using namespace render_cli;

size_t peakIndex(const std::vector<float>& x) {
  size_t at = 0;
  for (size_t n = 1; n < x.size(); ++n) {
    if (std::fabs(x[n]) > std::fabs(x[at])) at = n;
  }
  return at;
}

const char* kDryClick = "--set 'Filterbank Amt=0' --set 'Speech Amt=100' --set 'Room Amount=0'";

TEST(RenderCli, ListsTheParameters) {
  const Outcome r = run("--list-params");
  ASSERT_EQ(r.code, 0) << r.err;
  size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 48u);
  EXPECT_NE(r.out.find("Sound Mode"), std::string::npos);
  EXPECT_NE(r.out.find("Room Size"), std::string::npos);
}

TEST(RenderCli, UnknownParameterNameFailsWithAMessage) {
  const Outcome r = run("--notes C4 --set 'Sound Mood=1' -o " + file("never.wav"));
  EXPECT_EQ(r.code, kUsageError);
  EXPECT_NE(r.err.find("unknown parameter 'Sound Mood'"), std::string::npos) << r.err;
  EXPECT_EQ(std::fopen(file("never.wav").c_str(), "r"), nullptr);
}

TEST(RenderCli, UnknownNamesSuggestTheNearestAndOutOfRangeValuesAreClamped) {
  const Outcome r = run("--notes C4 --set 'Room Sise=10' -o " + file("never.wav"));
  EXPECT_EQ(r.code, kUsageError);
  EXPECT_NE(r.err.find("did you mean 'Room Size'"), std::string::npos) << r.err;
  const Outcome clamped =
      run("-q --notes C4 --tail 0.1 --set 'Sound Mode=99' -o " + file("clamped.wav"));
  EXPECT_EQ(clamped.code, 0) << clamped.err;
  EXPECT_NE(clamped.err.find("Sound Mode=99 is out of range, clamped to 7"), std::string::npos)
      << clamped.err;
}

TEST(RenderCli, OutOfRangeValueAndBadIdFail) {
  EXPECT_EQ(run("--notes C4 --set 48=1").code, kUsageError);
  EXPECT_EQ(run("--notes H4").code, kUsageError);
}

TEST(RenderCli, BrokenWavFailsCleanly) {
  std::mt19937 random(3);
  std::ofstream bad(file("broken.wav"), std::ios::binary);
  bad << "RIFF";
  for (int i = 0; i < 4000; ++i) bad.put(static_cast<char>(random()));
  bad.close();
  const Outcome r = run("-q -s " + file("broken.wav") + " -o " + file("out.wav"));
  EXPECT_EQ(r.code, kProcessingError);
  EXPECT_NE(r.err.find("cannot read audio file"), std::string::npos) << r.err;
}

TEST(RenderCli, BlockLargerThanTheMaximumFails) {
  writeMono(file("short.wav"), std::vector<float>(4410, 0.0f));
  const Outcome r = run("-q -b 100000 -s " + file("short.wav") + " -o " + file("out.wav"));
  EXPECT_EQ(r.code, kProcessingError);
  EXPECT_NE(r.err.find("maximum frames"), std::string::npos) << r.err;
  EXPECT_EQ(run("-q -b 0 -s " + file("short.wav") + " -o " + file("out.wav")).code, kUsageError);
}

TEST(RenderCli, UnknownOutputExtensionFails) {
  const Outcome r = run("-q --notes C4 -o " + file("out.mp9"));
  EXPECT_EQ(r.code, kUsageError);
  EXPECT_NE(r.err.find("extension"), std::string::npos) << r.err;
}

TEST(RenderCli, RawOutputHasTheInputsLength) {
  writeMono(file("raw-in.wav"), speechWithClick(23456, 9000));
  const Outcome r = run("-q --raw -s " + file("raw-in.wav") + " -o " + file("raw-out.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo out = readStereo(file("raw-out.wav"));
  EXPECT_EQ(out.left.size(), 23456u);
  EXPECT_EQ(out.rate, 44100);
}

TEST(RenderCli, DefaultOutputIsLatencyCompensated) {
  constexpr size_t kClick = 12000;
  writeMono(file("click.wav"), speechWithClick(30000, kClick));
  Outcome r = run(std::string("-q --bits 32f ") + kDryClick + " -s " + file("click.wav") + " -o " +
                  file("comp.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo comp = readStereo(file("comp.wav"));
  EXPECT_EQ(comp.left.size(), 30000u + 2 * 44100u);  // the input and the default tail
  EXPECT_EQ(peakIndex(comp.left), kClick);
  EXPECT_GT(std::fabs(comp.left[kClick]), 0.1f);

  r = run(std::string("-q --raw --bits 32f ") + kDryClick + " -s " + file("click.wav") + " -o " +
          file("uncomp.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(peakIndex(readStereo(file("uncomp.wav")).left), kClick + 1024);
}

TEST(RenderCli, RawDryOutputIsTheSpeechDelayedThroughTheEqualiser) {
  // Dry speech only: the engine hands out the speech 1024 samples late. Both buses are stereo
  // (four buffers), so each output is (equalised + unequalised) / 2.
  constexpr size_t kFrames = 20000;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
  std::vector<float> speech(kFrames);
  for (float& s : speech) s = noise(random);
  writeMono(file("dry-in.wav"), speech);
  const Outcome r = run(std::string("-q --raw --bits 32f ") + kDryClick + " -s " +
                        file("dry-in.wav") + " -o " + file("dry-out.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo out = readStereo(file("dry-out.wav"));
  ASSERT_EQ(out.left.size(), kFrames);

  EqBandFilter eqL[kEqBandCount], eqR[kEqBandCount];
  eqResetBank(eqL);
  eqResetBank(eqR);
  eqInitialiseBanks(eqL, eqR, 44100);
  float levels[kEqBandCount] = {};
  std::vector<float> delayed(kFrames, 0.0f);
  for (size_t n = 1024; n < kFrames; ++n) delayed[n] = speech[n - 1024];
  std::vector<float> left = delayed, right = delayed;
  for (size_t at = 0; at < kFrames; at += 512) {
    const int frames = static_cast<int>(std::min<size_t>(512, kFrames - at));
    runEqualiser(eqL, eqR, levels, left.data() + at, right.data() + at, frames);
  }
  for (size_t n = 0; n < kFrames; ++n) {
    ASSERT_NEAR(out.left[n], (left[n] + delayed[n]) / 2, 1e-6f) << n;
    ASSERT_NEAR(out.right[n], (right[n] + delayed[n]) / 2, 1e-6f) << n;
  }
}

TEST(RenderCli, BlockSizeDoesNotChangeTheOutput) {
  writeMono(file("blocks.wav"), speechWithClick(11025, 3000));
  const std::string common = "-q --raw --bits 32f --set 'Synth On/Off=0' -s " + file("blocks.wav");
  ASSERT_EQ(run(common + " -b 1 -o " + file("b1.wav")).code, 0);
  ASSERT_EQ(run(common + " -b 512 -o " + file("b512.wav")).code, 0);
  const Stereo a = readStereo(file("b1.wav"));
  const Stereo b = readStereo(file("b512.wav"));
  ASSERT_EQ(a.left.size(), b.left.size());
  EXPECT_GT(energy(a.left), 0.0);
  // Not bit-identical (the block split reorders float sums, about 1e-11), but equal far below
  // any audible or 24-bit level.
  float largest = 0.0f;
  for (size_t n = 0; n < a.left.size(); ++n) {
    const float d = std::max(std::fabs(a.left[n] - b.left[n]), std::fabs(a.right[n] - b.right[n]));
    largest = std::max(largest, d);
  }
  EXPECT_LT(largest, 1e-7f);
}

TEST(RenderCli, HeldNotesSoundWithoutInput) {
  const Outcome r =
      run("-q --tail 1 --set 'Carrier Amt=100' --notes C4,E4 -o " + file("notes.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo out = readStereo(file("notes.wav"));
  EXPECT_EQ(out.left.size(), 44100u);
  EXPECT_GT(energy(out.left), 1e-3);
}

// A format-0 file, 480 ticks per quarter at 120 bpm: optionally a note on at 0, off at 1 s.
std::vector<uint8_t> tinyMidiFile(bool withNote) {
  std::vector<uint8_t> track;
  if (withNote) track = {0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0};  // 960 ticks = 1 s
  for (uint8_t b : {0x00, 0xFF, 0x2F, 0x00}) track.push_back(b);
  std::vector<uint8_t> smf = {
      'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
      1,   0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  for (uint8_t b : track) smf.push_back(b);
  return smf;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(RenderCli, MidiFilePlaysNotes) {
  writeBytes(file("note.mid"), tinyMidiFile(true));
  writeBytes(file("empty.mid"), tinyMidiFile(false));
  Outcome r = run("-q --tail 0.5 --set 'Carrier Amt=100' -m " + file("note.mid") + " -o " +
                  file("midi.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo played = readStereo(file("midi.wav"));
  r = run("-q --tail 0.5 --set 'Carrier Amt=100' -m " + file("empty.mid") + " -o " +
          file("nomidi.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo silent = readStereo(file("nomidi.wav"));
  // The note lasts 1 s: its length sets the render's, and it sounds.
  EXPECT_EQ(played.left.size(), 44100u + 1 + 22050u);
  EXPECT_GT(energy(played.left), 1e-3);
  EXPECT_LT(energy(silent.left), energy(played.left) * 1e-3);
}

TEST(RenderCli, TruncatedAndForeignMidiFilesDoNotCrash) {
  std::vector<uint8_t> cut = tinyMidiFile(true);
  cut.resize(cut.size() - 6);
  writeBytes(file("cut.mid"), cut);
  Outcome r = run("-q --tail 0.2 -m " + file("cut.mid") + " -o " + file("cut.wav"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
  writeBytes(file("junk.mid"), {'R', 'I', 'F', 'F', 1, 2, 3});
  r = run("-q -m " + file("junk.mid") + " -o " + file("junk.wav"));
  EXPECT_EQ(r.code, kProcessingError);
  EXPECT_NE(r.err.find("not a Standard MIDI File"), std::string::npos) << r.err;
}

TEST(RenderCli, StateRoundTripsThroughAFile) {
  ASSERT_EQ(run("-q --tail 0.1 --notes C4 --set 'Sound Mode=3' --save-state " + file("s.plist") +
                " -o " + file("s1.wav"))
                .code,
            0);
  const Outcome r = run("-q --tail 0.1 --state " + file("s.plist") + " --save-state " +
                        file("s2.plist") + " -o " + file("s2.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(slurp(file("s.plist")), slurp(file("s2.plist")));
  EXPECT_EQ(run("-q --state " + file("missing.plist")).code, kProcessingError);
}

TEST(RenderCli, TheDemoRendersAndSaysWhatItMade) {
  const Outcome r = run("-o " + file("demo.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo demo = readStereo(file("demo.wav"));
  EXPECT_GT(demo.left.size(), 2u * 44100u);  // a few seconds of speech and the tail
  EXPECT_GT(energy(demo.left), 1.0);
  EXPECT_NE((r.out + r.err).find(file("demo.wav")), std::string::npos) << r.out << r.err;
}

TEST(RenderCli, WithARateGivenEveryInputIsConvertedToIt) {
  writeMono(file("speech-44.wav"), speechWithClick(4410, 100));
  writeMono(file("carrier-48.wav"), speechWithClick(4800, 100), 48000);
  const Outcome r = run("-r 48000 --tail 0 -s " + file("speech-44.wav") + " -c " +
                        file("carrier-48.wav") + " -o " + file("mixed-rates.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("converting the speech '" + file("speech-44.wav") +
                       "' from 44100 Hz to 48000 Hz"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("converting the carrier"), std::string::npos) << r.err;
  const Stereo out = readStereo(file("mixed-rates.wav"));
  EXPECT_EQ(out.rate, 48000);
  EXPECT_EQ(out.left.size(), 4800u);
}

TEST(RenderCli, AMalformedStateFileFailsAndLeavesTheOutputAlone) {
  writeBytes(file("broken.plist"), {'<', '?', 'x', 'm', 'l', ' ', 'n', 'o'});
  std::ofstream(file("keep.wav")) << "previous render";
  const Outcome r = run("-q --state " + file("broken.plist") + " -o " + file("keep.wav"));
  EXPECT_EQ(r.code, kProcessingError);
  EXPECT_NE(r.err.find("not a property list"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(file("keep.wav")), "previous render");
}

}  // namespace
