// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-make-sample-sets <output.cpp>
//
// Synthesises the material of the synthesiser's sample sets 0 … 5 and writes it as a C++ source
// holding the delta-coded arrays, the literal leading samples and the accumulator start values
// (engine/sample_set_data.h describes the form). Deterministic: a fixed-seed xorshift generator,
// never rand().
//
// Every set is a sum of sinusoids whose frequencies are whole numbers of cycles per loop length, so
// the material is periodic over its loop and sample[loop] continues sample[0]. The fundamental of
// the pitched sets is chosen so that, after the set's root offset, key 60 sounds at the pitch of a
// waveform table at key 60 (a period of about 1023 × 2^(root offset + 1/600) samples).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../engine/sample_set_data.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kRate = 44100.0;
constexpr int kTableWrap = 1023;  // a waveform table's period in entries

// The frequency in Hz that a waveform table plays at key 60 with a tuning of 440 at 44100 Hz.
double key60Hz() {
  return kRate * std::pow(2.0, 0.25) * 0.005804988662131519 * 440.0 / kTableWrap *
         std::pow(2.0, -1.0 / 600.0);
}

class Xorshift64 {
 public:
  explicit Xorshift64(uint64_t seed) : mState(seed) {}
  double uniform() {  // [0, 1)
    mState ^= mState << 13;
    mState ^= mState >> 7;
    mState ^= mState << 17;
    return static_cast<double>(mState >> 11) * (1.0 / 9007199254740992.0);
  }

 private:
  uint64_t mState;
};

// amplitude × sin(2π × cycles × n / period + phase)
struct Partial {
  int64_t cycles;
  double amplitude;
  double phase;
};

// Sums the partials over n = 0 … count − 1. Phases advance by exact integer steps through one
// sine period, so the result is periodic over `period` to the last bit.
std::vector<double> renderPartials(const std::vector<Partial>& partials, int64_t period,
                                   int count) {
  std::vector<double> sinTable(period), cosTable(period);
  for (int64_t k = 0; k < period; ++k) {
    sinTable[k] = std::sin(kTwoPi * static_cast<double>(k) / static_cast<double>(period));
    cosTable[k] = std::cos(kTwoPi * static_cast<double>(k) / static_cast<double>(period));
  }
  std::vector<double> out(count, 0.0);
  for (const Partial& p : partials) {
    if (p.cycles <= 0 || 2 * p.cycles >= period) continue;
    const double s = p.amplitude * std::cos(p.phase);
    const double c = p.amplitude * std::sin(p.phase);
    int64_t index = 0;
    for (int n = 0; n < count; ++n) {
      out[n] += s * sinTable[index] + c * cosTable[index];
      index += p.cycles;
      if (index >= period) index -= period;
    }
  }
  return out;
}

void normalisePeak(std::vector<double>& x, double peak) {
  double m = 0.0;
  for (double v : x) m = std::max(m, std::fabs(v));
  if (m > 0.0)
    for (double& v : x) v *= peak / m;
}

// Whole cycles of the fundamental per period for a set with the given root offset.
int64_t fundamentalCycles(int64_t period, double rootOffset) {
  return std::llround(static_cast<double>(period) /
                      (kTableWrap * std::pow(2.0, rootOffset + 1.0 / 600.0)));
}

double centsToRatio(double cents) {
  return std::pow(2.0, cents / 1200.0);
}

// The level of a resonance of the given centre and half-power bandwidth at f (Hz).
double resonance(double f, double centre, double bandwidth) {
  const double x = (f - centre) / (0.5 * bandwidth);
  return 1.0 / std::sqrt(1.0 + x * x);
}

struct Formant {
  double centre, bandwidth, gain;
};

double formantEnvelope(double f, const std::vector<Formant>& formants) {
  double e = 0.01;
  for (const Formant& fm : formants) e += fm.gain * resonance(f, fm.centre, fm.bandwidth);
  return e;
}

// "Indigo": a soft additive pad, each harmonic a slowly beating triplet. Written as a cosine
// series over 2 × 44519 samples, so its first half mirrored about sample 44519 is the whole period
// and the stored half plays back and forth without a seam. Signs are chosen so that sample 0 is
// close to 0, where the accumulator starts.
std::vector<double> makeIndigo(const SampleSetFormat& f) {
  const int64_t period = 2 * (f.deltaCount - 1);
  const int64_t k0 = fundamentalCycles(period, f.rootOffset);
  struct Component {
    int64_t cycles;
    double amplitude;
  };
  std::vector<Component> components;
  for (int h = 1; h * key60Hz() <= 4000.0; ++h) {
    const double a = std::pow(h, -1.3) * std::exp(-h / 14.0);
    const int64_t centre = h * k0;
    const int64_t spread = std::max<int64_t>(1, std::llround(0.6 * h));
    components.push_back({centre, a});
    components.push_back({centre - spread, 0.55 * a});
    components.push_back({centre + spread, 0.5 * a});
  }
  std::stable_sort(
      components.begin(), components.end(),
      [](const Component& x, const Component& y) { return x.amplitude > y.amplitude; });
  std::vector<Partial> partials;
  double sumAtZero = 0.0;
  for (const Component& c : components) {
    const double sign = sumAtZero > 0.0 ? -1.0 : 1.0;
    sumAtZero += sign * c.amplitude;
    partials.push_back({c.cycles, sign * c.amplitude, kTwoPi / 4.0});  // a cosine
  }
  std::vector<double> x = renderPartials(partials, period, f.deltaCount);
  normalisePeak(x, 0.45);
  return x;
}

// Harmonics of a voice at fundamental cycles k0 × detune, rounded to whole cycles per period.
void addHarmonicVoice(std::vector<Partial>& partials, double k0, double detune, double maxHz,
                      double level, bool alignedPhases, Xorshift64& rng,
                      double (*amplitude)(int h, double hz)) {
  const double offset = rng.uniform() * kTwoPi;
  for (int h = 1; h * key60Hz() <= maxHz; ++h) {
    const double hz = h * key60Hz() * detune;
    const int64_t cycles = std::llround(h * k0 * detune);
    const double phase = alignedPhases ? std::fmod(h * offset, kTwoPi) : rng.uniform() * kTwoPi;
    partials.push_back({cycles, level * amplitude(h, hz), phase});
  }
}

// "Vox": a small choir singing "ah": three slightly detuned voices through vowel formants.
std::vector<double> makeVox(const SampleSetFormat& f, Xorshift64& rng) {
  const int64_t period = f.loopLength;
  const double k0 = static_cast<double>(fundamentalCycles(period, f.rootOffset));
  std::vector<Partial> partials;
  for (double cents : {-8.0, 0.0, 7.0}) {
    addHarmonicVoice(partials, k0, centsToRatio(cents), 5000.0, 1.0, false, rng,
                     [](int h, double hz) {
                       static const std::vector<Formant> ah = {
                           {730, 160, 1.0}, {1090, 180, 0.6}, {2440, 240, 0.25}, {3400, 300, 0.1}};
                       return formantEnvelope(hz, ah) / std::sqrt(static_cast<double>(h));
                     });
  }
  std::vector<double> x = renderPartials(partials, period, f.literalCount + f.deltaCount);
  normalisePeak(x, 0.5);
  return x;
}

// "Strings": four bowed-string-like sawtooth voices, detuned a few cents, with a soft top.
std::vector<double> makeStrings(const SampleSetFormat& f, Xorshift64& rng) {
  const int64_t period = f.loopLength;
  const double k0 = static_cast<double>(fundamentalCycles(period, f.rootOffset));
  std::vector<Partial> partials;
  for (double cents : {-11.0, -4.0, 3.0, 10.0}) {
    addHarmonicVoice(
        partials, k0, centsToRatio(cents), 7000.0, 1.0, true, rng, [](int h, double hz) {
          const double top = 1.0 / std::sqrt(1.0 + std::pow(hz / 3000.0, 4.0));
          const double body =
              1.0 + 0.5 * resonance(hz, 450.0, 300.0) + 0.4 * resonance(hz, 2500.0, 900.0);
          return top * body / h;
        });
  }
  std::vector<double> x = renderPartials(partials, period, f.literalCount + f.deltaCount);
  normalisePeak(x, 0.5);
  return x;
}

// "Airy": a breathy band of noise around 3 kHz: every whole-cycle frequency from 350 Hz to
// 9 kHz with a random magnitude and phase under a bell-shaped envelope.
std::vector<double> makeAiry(const SampleSetFormat& f, Xorshift64& rng) {
  const int64_t period = f.loopLength;
  std::vector<Partial> partials;
  const double binHz = kRate / static_cast<double>(period);
  for (int64_t k = 1; 2 * k < period; ++k) {
    const double hz = k * binHz;
    if (hz < 350.0 || hz > 9000.0) continue;
    const double octaves = std::log2(hz / 3000.0);
    const double envelope = std::exp(-0.5 * octaves * octaves / (1.1 * 1.1));
    const double magnitude = std::sqrt(-2.0 * std::log(1.0 - rng.uniform()));
    partials.push_back({k, envelope * magnitude, rng.uniform() * kTwoPi});
  }
  std::vector<double> x = renderPartials(partials, period, f.literalCount + f.deltaCount);
  normalisePeak(x, 0.5);
  return x;
}

// "Voxpad": a darker vowel ("oh") sung by five detuned voices, for pads.
std::vector<double> makeVoxpad(const SampleSetFormat& f, Xorshift64& rng) {
  const int64_t period = f.loopLength;
  const double k0 = static_cast<double>(fundamentalCycles(period, f.rootOffset));
  std::vector<Partial> partials;
  for (double cents : {-14.0, -6.0, 0.0, 6.0, 13.0}) {
    addHarmonicVoice(partials, k0, centsToRatio(cents), 5000.0, 1.0, false, rng,
                     [](int h, double hz) {
                       static const std::vector<Formant> oh = {
                           {450, 160, 1.0}, {800, 180, 0.5}, {2830, 250, 0.08}, {3500, 300, 0.04}};
                       return formantEnvelope(hz, oh) / std::pow(h, 0.7);
                     });
  }
  std::vector<double> x = renderPartials(partials, period, f.literalCount + f.deltaCount);
  normalisePeak(x, 0.45);
  return x;
}

// "Unisono": five sawtooth voices spread ±20 cents.
std::vector<double> makeUnisono(const SampleSetFormat& f, Xorshift64& rng) {
  const int64_t period = f.loopLength;
  const double k0 = static_cast<double>(fundamentalCycles(period, f.rootOffset));
  std::vector<Partial> partials;
  const double cents[] = {-20.0, -10.0, 0.0, 10.0, 20.0};
  const double levels[] = {0.7, 0.85, 1.0, 0.85, 0.7};
  for (int v = 0; v < 5; ++v) {
    addHarmonicVoice(partials, k0, centsToRatio(cents[v]), 6000.0, levels[v], true, rng,
                     [](int h, double) { return 1.0 / h; });
  }
  std::vector<double> x = renderPartials(partials, period, f.literalCount + f.deltaCount);
  normalisePeak(x, 0.45);
  return x;
}

struct Encoded {
  std::vector<float> literals;
  float startValue = 0.0f;
  std::vector<int8_t> deltas;
  double maxErrorUnits = 0.0;  // largest decoding error in delta units
};

// Closed-loop delta coding: each delta is chosen from the decoder's own accumulator, so the
// error never builds up.
Encoded encode(const std::vector<double>& x, const SampleSetFormat& f) {
  Encoded e;
  for (int i = 0; i < f.literalCount; ++i) e.literals.push_back(static_cast<float>(x[i]));
  e.startValue =
      f.literalCount > 0 ? static_cast<float>(e.literals.back() / kSampleSetScale) : 0.0f;
  const double unit = f.step / 127.0;
  float accumulator = e.startValue;
  for (int k = 0; k < f.deltaCount; ++k) {
    const double target = x[f.literalCount + k] / kSampleSetScale;
    const long d = std::clamp(std::lround((target - accumulator) / unit), -127L, 127L);
    const int8_t delta = static_cast<int8_t>(d);
    accumulator = sampleSetAccumulate(accumulator, delta, f.step);
    e.deltas.push_back(delta);
    e.maxErrorUnits = std::max(e.maxErrorUnits, std::fabs(target - accumulator) / unit);
  }
  return e;
}

void appendHexFloat(std::string& out, float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%af", static_cast<double>(v));
  out += buf;
}

void appendSet(std::string& out, int set, const Encoded& e) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "const int8_t kDeltas%d[%zu] = {\n", set, e.deltas.size());
  out += buf;
  for (size_t i = 0; i < e.deltas.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%d,", static_cast<int>(e.deltas[i]));
    out += buf;
    out += (i % 24 == 23 || i + 1 == e.deltas.size()) ? '\n' : ' ';
  }
  out += "};\n";
  if (!e.literals.empty()) {
    std::snprintf(buf, sizeof buf, "const float kLiterals%d[%zu] = {", set, e.literals.size());
    out += buf;
    for (float v : e.literals) {
      appendHexFloat(out, v);
      out += ", ";
    }
    out += "};\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnwick-make-sample-sets <output.cpp>\n");
    return 2;
  }
  Xorshift64 rng(0x7461726e7769636bULL);
  std::vector<double> material[kEncodedSampleSetCount] = {
      makeIndigo(kSampleSetFormats[0]),       makeVox(kSampleSetFormats[1], rng),
      makeStrings(kSampleSetFormats[2], rng), makeAiry(kSampleSetFormats[3], rng),
      makeVoxpad(kSampleSetFormats[4], rng),  makeUnisono(kSampleSetFormats[5], rng)};

  std::string out;
  out.reserve(1 << 21);
  out +=
      "// SPDX-License-Identifier: GPL-3.0-or-later\n"
      "// Generated by tarnwick-make-sample-sets (tools/make_sample_sets.cpp). Do not edit.\n"
      "#include \"engine/sample_set_data.h\"\n\nnamespace {\n";
  Encoded encoded[kEncodedSampleSetCount];
  for (int set = 0; set < kEncodedSampleSetCount; ++set) {
    encoded[set] = encode(material[set], kSampleSetFormats[set]);
    // More than a few units of error means the material moves faster than the deltas follow.
    if (encoded[set].maxErrorUnits > 4.0) {
      std::fprintf(stderr, "sample set %d: the deltas cannot follow the material (%.1f units)\n",
                   set, encoded[set].maxErrorUnits);
      return 1;
    }
    appendSet(out, set, encoded[set]);
  }
  out +=
      "}  // namespace\n\nconst SampleSetEncoding kSampleSetEncodings[kEncodedSampleSetCount] = "
      "{\n";
  for (int set = 0; set < kEncodedSampleSetCount; ++set) {
    char buf[128];
    if (encoded[set].literals.empty())
      std::snprintf(buf, sizeof buf, "    {kDeltas%d, nullptr, ", set);
    else
      std::snprintf(buf, sizeof buf, "    {kDeltas%d, kLiterals%d, ", set, set);
    out += buf;
    appendHexFloat(out, encoded[set].startValue);
    out += "},\n";
  }
  out += "};\n";

  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  if (std::fclose(file) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", argv[1]);
    return 1;
  }
  return 0;
}
