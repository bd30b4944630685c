// SPDX-License-Identifier: GPL-3.0-or-later
// Automation under render: a random parameter, any of the 48, set to a random value in its
// range before every 32-sample block for ten seconds, while MIDI notes come and go; the output
// stays finite and under a stated bound.
#include <random>

#include "conformance.h"

using namespace conformance;

namespace {

// Peak bound on any output sample: +30 dB over full scale, room for the equaliser's +12 dB on
// top of a resonant, distorted synth; the figures show the peak actually reached.
constexpr double kPeakBound = 31.6;

struct AutomationRun {
  double rate;
  uint32_t seed;
};

struct Outcome {
  SampleStats stats;
  long changes = 0, noteOns = 0, noteOffs = 0;
};

Outcome automate(const AutomationRun& run) {
  constexpr UInt32 kBlock = 32;
  const int count = int(run.rate * 10.0) / int(kBlock) * int(kBlock);
  HostedRig rig(run.rate, engine_fixture::speechLike(count, float(run.rate)),
                engine_fixture::sawtooth(count, 98.0, float(run.rate)));
  Outcome outcome;
  std::mt19937 random(run.seed);
  std::uniform_int_distribution<AudioUnitParameterID> anyId(0, kParameterCount - 1);
  std::uniform_int_distribution<int> anyNote(36, 84);
  std::vector<int> held;
  quietly([&] {
    ASSERT_EQ(rig.init(), noErr);
    OutputBuffers out(2, kBlock);
    for (int done = 0; done < count; done += int(kBlock)) {
      const AudioUnitParameterID id = anyId(random);
      const ParameterDescription& d = parameterDescription(id);
      std::uniform_real_distribution<float> value(d.minValue, d.maxValue);
      ASSERT_EQ(rig.fx.setParameter(id, value(random)), noErr);
      ++outcome.changes;
      if (random() % 16 == 0) {  // about 86 MIDI events a second at 44.1 kHz
        if (held.size() < 8 && (held.empty() || random() % 2)) {
          held.push_back(anyNote(random));
          rig.fx.midi(0x90, UInt32(held.back()), 1 + random() % 127);
          ++outcome.noteOns;
        } else {
          const size_t which = random() % held.size();
          rig.fx.midi(0x80, UInt32(held[which]), 0);
          held.erase(held.begin() + long(which));
          ++outcome.noteOffs;
        }
      }
      ASSERT_EQ(renderBlock(rig.fx.unit(), out, done), noErr);
      outcome.stats.add(out.channel(0), kBlock);
      outcome.stats.add(out.channel(1), kBlock);
    }
  });
  return outcome;
}

}  // namespace

TEST(ConformanceAutomation, RandomChangesEvery32SamplesForTenSecondsStayFiniteAndBounded) {
  clearPreferences();
  std::vector<AutomationRun> runs = {{44100, 1}};
  if (fullPass()) runs.insert(runs.end(), {{48000, 2}, {96000, 3}, {8000, 4}, {44100, 5}});
  Outcome total;
  for (const AutomationRun& run : runs) {
    SCOPED_TRACE(testing::Message() << run.rate << " Hz, seed " << run.seed);
    const Outcome o = automate(run);
    EXPECT_EQ(o.stats.nan, 0);
    EXPECT_EQ(o.stats.inf, 0);
    EXPECT_EQ(o.stats.subnormal, 0);
    EXPECT_LT(o.stats.peak, kPeakBound);
    EXPECT_GT(o.noteOns, long(run.rate * 10.0 / 32 / 64));  // half the expected events
    total.stats.nan += o.stats.nan;
    total.stats.inf += o.stats.inf;
    total.stats.subnormal += o.stats.subnormal;
    total.stats.peak = std::max(total.stats.peak, o.stats.peak);
    total.changes += o.changes;
    total.noteOns += o.noteOns;
    total.noteOffs += o.noteOffs;
  }
  figure("runs_of_10_s", runs.size());
  figure("parameter_changes", total.changes);
  figure("note_ons", total.noteOns);
  figure("note_offs", total.noteOffs);
  figure("nan_inf_subnormal", total.stats.bad());
  figure("peak", total.stats.peak);
  figure("peak_bound", kPeakBound);
}
