// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-render as a tool people script: quiet streams, pipes both ways, rate conversion,
// level, batches, no process started behind the user's back, and the manual page.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "render/render_cli_support.h"

namespace {

using namespace render_cli;

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

float peakOf(const Stereo& s) {
  float peak = 0.0f;
  for (const auto* channel : {&s.left, &s.right}) {
    for (float v : *channel) peak = std::max(peak, std::fabs(v));
  }
  return peak;
}

// Speech-like input: harmonics of 140 Hz in syllables, with a little noise.
std::vector<float> speech(size_t frames, int rate = 44100) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
  std::vector<float> x(frames);
  for (size_t n = 0; n < frames; ++n) {
    double s = 0.0;
    for (int h = 1; h <= 12; ++h) s += std::sin(2.0 * M_PI * 140.0 * h * n / rate) / h;
    x[n] = static_cast<float>(0.3 * s * (0.5 + 0.5 * std::sin(2.0 * M_PI * 3.0 * n / rate))) +
           noise(random);
  }
  return x;
}

std::vector<float> saw(size_t frames, int rate) {
  std::vector<float> x(frames);
  for (size_t n = 0; n < frames; ++n) x[n] = static_cast<float>(std::fmod(n * 110.0 / rate, 1.0) - 0.5);
  return x;
}

TEST(RenderScripting, StdoutStaysEmptyAndDiagnosticsReachStderrOnlyWhenAsked) {
  writeMono(file("quiet-in.wav"), speech(22050));
  Outcome r = run("-s " + file("quiet-in.wav") + " -n C4 -o " + file("quiet.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // One summary line, naming the output; none of the component's lines.
  EXPECT_EQ(count(r.err, "\n"), 1u) << r.err;
  EXPECT_NE(r.err.find(file("quiet.wav") + ": 2.50 s, peak"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Plug-in supports sidechain"), std::string::npos) << r.err;

  r = run("-v -s " + file("quiet-in.wav") + " -n C4 -o " + file("verbose.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // The component's lines, in the order it made them: its start-up, then the render thread's
  // layout lines from the queue, then the summary.
  const size_t sidechain = r.err.find("Plug-in supports sidechain");
  const size_t layout = r.err.find("Tarnwick: we're getting 4 input buffers");
  const size_t outputs = r.err.find("Tarnwick: we're getting 2 output buffers");
  const size_t rule = r.err.find(std::string(112, '-'));
  const size_t summary = r.err.find(file("verbose.wav") + ": ");
  ASSERT_NE(sidechain, std::string::npos) << r.err;
  EXPECT_LT(sidechain, layout);
  EXPECT_LT(layout, outputs);
  EXPECT_LT(outputs, rule);
  EXPECT_LT(rule, summary) << r.err;
  EXPECT_NE(summary, std::string::npos) << r.err;

  r = run("-q -s " + file("quiet-in.wav") + " -n C4 -o " + file("q.wav"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out + r.err, "");
}

TEST(RenderScripting, PipesCarryTheSameSamplesAsFiles) {
  writeMono(file("pipe-in.wav"), speech(30000));
  // 24-bit files: sox carries 24-bit samples through unchanged (float ones it re-quantises).
  const std::string common = "-n C3,G3 --tail 0.5 ";
  ASSERT_EQ(run(common + "-s " + file("pipe-in.wav") + " -o " + file("file.wav")).code, 0);
  // Audio to stdout, read by sox; and the speech from stdin.
  Outcome r = shell(kRender + " " + common + "-s " + file("pipe-in.wav") +
                    " -o - | sox -t wav - " + file("from-pipe.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  r = shell(kRender + " " + common + "-s - -o " + file("from-stdin.wav") + " < " +
            file("pipe-in.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  const Stereo reference = readStereo(file("file.wav"));
  ASSERT_EQ(reference.left.size(), 30000u + 22050u);
  EXPECT_GT(energy(reference.left), 1.0);
  for (const char* name : {"from-pipe.wav", "from-stdin.wav"}) {
    const Stereo other = readStereo(file(name));
    EXPECT_EQ(other.rate, 44100) << name;
    EXPECT_EQ(other.left, reference.left) << name;
    EXPECT_EQ(other.right, reference.right) << name;
  }
  // A broken stream on stdin is an error, not a crash.
  r = shell("echo not audio | " + kRender + " -s - -n C4 -o " + file("never.wav"));
  EXPECT_EQ(r.code, kProcessingError);
  EXPECT_NE(r.err.find("cannot read audio file '<stdin>'"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(file("never.wav")));
}

TEST(RenderScripting, ACarrierAtAnotherRateIsConvertedToTheSpeechRate) {
  writeMono(file("speech-44k.wav"), speech(44100));
  writeMono(file("carrier-48k.wav"), saw(48000, 48000), 48000);
  const Outcome r = run("--tail 0 -s " + file("speech-44k.wav") + " -c " +
                        file("carrier-48k.wav") + " -o " + file("converted.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(count(r.err, "converting the carrier '" + file("carrier-48k.wav") +
                             "' from 48000 Hz to 44100 Hz (libsoxr)\n"),
            1u)
      << r.err;
  const Stereo out = readStereo(file("converted.wav"));
  EXPECT_EQ(out.rate, 44100);
  ASSERT_EQ(out.left.size(), 44100u);
  // The carrier arrives: the vocoded output carries energy, and matches a render with the
  // carrier made at 44100 Hz to begin with far more closely than one without a carrier.
  writeMono(file("carrier-44k.wav"), saw(44100, 44100));
  ASSERT_EQ(run("-q --tail 0 -s " + file("speech-44k.wav") + " -c " + file("carrier-44k.wav") +
                " -o " + file("native.wav"))
                .code,
            0);
  const Stereo native = readStereo(file("native.wav"));
  std::vector<float> difference(out.left.size());
  for (size_t n = 0; n < difference.size(); ++n) difference[n] = out.left[n] - native.left[n];
  EXPECT_GT(energy(out.left), 1.0);
  EXPECT_LT(energy(difference), 0.05 * energy(native.left));
}

TEST(RenderScripting, NormalizeAndGainSetThePeakAndOnlyWhatStillClipsIsReported) {
  writeMono(file("level-in.wav"), speech(44100));
  const std::string in = "-n C3,G3,C4,E4,G4 --tail 0.5 -s " + file("level-in.wav");
  Outcome r = run(in + " --gain 12 -o " + file("loud.wav"));
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_GT(peakOf(readStereo(file("loud.wav"))), 0.999f);  // clipped to full scale
  EXPECT_NE(r.err.find("warning: the output clips"), std::string::npos) << r.err;

  const struct {
    const char* options;
    double expectedDbfs;
  } cases[] = {{"--normalize", -1.0}, {"--normalize=-6", -6.0}, {"--normalize --gain -3", -4.0}};
  for (const auto& c : cases) {
    r = run(in + " " + c.options + " -o " + file("normalized.wav"));
    ASSERT_EQ(r.code, 0) << c.options << r.err;
    EXPECT_EQ(r.err.find("clips"), std::string::npos) << r.err;
    const double peakDb = 20.0 * std::log10(peakOf(readStereo(file("normalized.wav"))));
    EXPECT_NEAR(peakDb, c.expectedDbfs, 0.01) << c.options;
  }
  r = run(in + " --normalize --gain 6 -o " + file("hot.wav"));
  EXPECT_NE(r.err.find("warning: the output clips (peak 1.778, +5.0 dBFS)"), std::string::npos)
      << r.err;
  EXPECT_EQ(run(in + " --normalize=3 -o " + file("never.wav")).code, kUsageError);
  EXPECT_EQ(run(in + " --gain loud -o " + file("never.wav")).code, kUsageError);
}

TEST(RenderScripting, ABatchRendersEveryGoodFileAndReportsTheBadOne) {
  const std::string takes = file("takes");
  mkdir(takes.c_str(), 0700);
  const std::vector<std::string> good = {"a.wav", "b.wav", "c.flac", "d.wav"};
  for (size_t i = 0; i < good.size(); ++i) {
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = 44100;
    info.format = (i == 2 ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open((takes + "/" + good[i]).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const std::vector<float> x = speech(11025 * (i + 1));
    sf_writef_float(f, x.data(), static_cast<sf_count_t>(x.size()));
    sf_close(f);
  }
  std::ofstream(takes + "/broken.wav") << "RIFF, but nothing after it";
  const Outcome r = run("-O " + file("out") + " -j 3 -n C4 --tail 0 " + takes + "/a.wav " +
                        takes + "/b.wav " + takes + "/broken.wav " + takes + "/c.flac -s " +
                        takes + "/d.wav");
  EXPECT_EQ(r.code, kProcessingError) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(count(r.err, "cannot read audio file '" + takes + "/broken.wav'"), 1u) << r.err;
  EXPECT_NE(r.err.find("4 of 5 files rendered into " + file("out") + ", 1 failed"),
            std::string::npos)
      << r.err;
  for (size_t i = 0; i < good.size(); ++i) {
    const Stereo out = readStereo(file("out/" + good[i]));
    EXPECT_EQ(out.left.size(), 11025 * (i + 1)) << good[i];
    EXPECT_GT(energy(out.left), 0.1) << good[i];
    EXPECT_NE(r.err.find(takes + "/" + good[i]), std::string::npos) << "table row " << good[i];
  }
  EXPECT_FALSE(exists(file("out/broken.wav")));
  // Usage faults of a batch.
  EXPECT_EQ(run(takes + "/a.wav " + takes + "/b.wav -n C4").code, kUsageError);
  EXPECT_EQ(run("-O " + file("out") + " -o x.wav " + takes + "/a.wav").code, kUsageError);
  EXPECT_EQ(run("-O " + file("out") + " -j 0 " + takes + "/a.wav").code, kUsageError);
}

TEST(RenderScripting, ARenderStartsNoProcess) {
  // Stand-ins for the programs the update check and the download offer would start: each
  // leaves a mark. HOME has no preferences (the check would be on) and no day stamp.
  const std::string bin = file("fake-bin");
  mkdir(bin.c_str(), 0700);
  for (const char* program : {"curl", "xdg-open", "open"}) {
    const std::string path = bin + "/" + program;
    std::ofstream(path) << "#!/bin/sh\ntouch '" << file(std::string("started-") + program)
                        << "'\n";
    chmod(path.c_str(), 0700);
  }
  writeMono(file("spawn-in.wav"), speech(22050));
  writeMono(file("spawn-in-2.wav"), speech(11025));
  const Outcome r = shell("PATH='" + bin + "':$PATH " + kRender + " -v -j 2 -O " +
                          file("spawn-out") + " -n C4 " + file("spawn-in.wav") + " " +
                          file("spawn-in-2.wav") + "; sleep 0.5");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(count(r.err, "Automatic update checking has been disabled"), 2u) << r.err;
  EXPECT_EQ(r.err.find("could not curl"), std::string::npos) << r.err;
  for (const char* program : {"curl", "xdg-open", "open"}) {
    EXPECT_FALSE(exists(file(std::string("started-") + program))) << program << " was started";
  }
}

TEST(RenderScripting, InstalledWithAManualPageThatSaysWhatHelpSays) {
  const std::string prefix = file("prefix");
  const Outcome install = shell("cmake --install '" + std::string(TARNWICK_BUILD_DIR) +
                                "' --prefix '" + prefix + "'");
  ASSERT_EQ(install.code, 0) << install.out << install.err;
  // The installed program finds the installed component.
  const Outcome installed =
      shell(prefix + "/bin/tarnwick-render -n C4 --tail 0.2 -o " + file("installed.wav"));
  EXPECT_EQ(installed.code, 0) << installed.err;
  EXPECT_GT(energy(readStereo(file("installed.wav")).left), 0.0);

  std::string page = slurp(prefix + "/share/man/man1/tarnwick-render.1");
  ASSERT_NE(page.find(".TH TARNWICK\\-RENDER 1"), std::string::npos) << page;
  for (size_t at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at)) {
    page.replace(at, 2, "-");
  }
  const Outcome help = run("--help");
  ASSERT_EQ(help.code, 0);
  // Every option of --help, and its explanation, is in the page.
  std::istringstream lines(help.out);
  size_t options = 0;
  bool inOptions = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Options:") inOptions = true;
    if (line.empty()) inOptions = false;
    if (!inOptions || line.rfind("  -", 0) != 0) continue;
    const size_t gap = line.find("   ", 2);
    ASSERT_NE(gap, std::string::npos) << line;
    const std::string name = line.substr(2, gap - 2);
    const std::string text = line.substr(line.find_first_not_of(' ', gap));
    EXPECT_NE(page.find(".B " + name + "\n" + text + "\n"), std::string::npos) << line;
    ++options;
  }
  EXPECT_GE(options, 20u);
  for (const char* section : {".SH CHANNELS", ".SH BATCH", ".SH EXIT STATUS"}) {
    EXPECT_NE(page.find(section), std::string::npos) << section;
  }
}

}  // namespace
