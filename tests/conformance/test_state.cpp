// SPDX-License-Identifier: GPL-3.0-or-later
// Saved state as a host uses it: every parameter and the held keys randomised, saved, restored
// into a fresh instance and compared, the re-save byte-identical (XML and binary) over many
// rounds; 1 MB blobs of random bytes and a thousand truncated or mutated states refused
// cleanly: refused states change nothing, accepted ones leave a unit that renders finite.
#include <random>

#include "conformance.h"

using namespace conformance;

namespace {

constexpr const char* kKeyListKey = "VexaphonTarnwickKeylistState";

std::vector<float> parameters(Instance& fx) {
  std::vector<float> values;
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) values.push_back(fx.parameter(id));
  return values;
}

// The held keys as the saved state carries them.
std::vector<uint8_t> keyBytes(Instance& fx) {
  plist::Value saved;
  if (fx.saveState(saved) != noErr || !saved.find(kKeyListKey)) return {};
  return saved.find(kKeyListKey)->asData();
}

void randomise(Instance& fx, std::mt19937& random, std::vector<int>& notes) {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const ParameterDescription& d = parameterDescription(id);
    std::uniform_real_distribution<float> value(d.minValue, d.maxValue);
    ASSERT_EQ(fx.setParameter(id, value(random)), noErr);
  }
  const int count = int(random() % 33);  // 0 … 32 keys, repeats allowed
  for (int i = 0; i < count; ++i) {
    notes.push_back(27 + int(random() % 101));
    ASSERT_EQ(fx.midi(0x90, UInt32(notes.back()), 100), noErr);
  }
}

// Renders a few blocks through the update schedule; true when every sample is finite.
bool rendersFinite(Instance& fx) {
  InputFeed feed;
  feed.channels = {engine_fixture::speechLike(4096)};
  feed.connect(fx.unit(), 0);
  OutputBuffers out(2, 1024);
  SampleStats stats;
  bool ok = true;
  quietly([&] {
    for (int block = 0; block < 4; ++block) {
      ok = ok && renderBlock(fx.unit(), out, block * 1024) == noErr;
      stats.add(out.channel(0), 1024);
      stats.add(out.channel(1), 1024);
    }
  });
  return ok && stats.nan == 0 && stats.inf == 0;
}

}  // namespace

TEST(ConformanceState, RandomisedStatesRoundTripAndReSaveByteIdentical) {
  clearPreferences();
  const int rounds = fullPass() ? 200 : 40;
  int identical = 0;
  long keysCompared = 0;
  std::mt19937 random(2026);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    Instance source;
    ASSERT_EQ(AudioUnitInitialize(source.unit()), noErr);
    std::vector<int> notes;
    randomise(source, random, notes);
    plist::Value saved;
    ASSERT_EQ(source.saveState(saved), noErr);

    Instance target;  // fresh and uninitialised, as a host restores a session
    ASSERT_EQ(target.restoreState(saved), noErr);
    EXPECT_EQ(parameters(target), parameters(source));
    const std::vector<uint8_t> keys = keyBytes(target);
    EXPECT_EQ(keys, keyBytes(source));
    // The held notes are the slots in use, in the order they were pressed.
    std::vector<float> slots(32);
    ASSERT_EQ(keys.size(), 128u);
    std::memcpy(slots.data(), keys.data(), 128);
    std::vector<int> restored;
    for (float k : slots) {
      if (k >= 27.0f) restored.push_back(int(k));
    }
    EXPECT_EQ(restored, notes);
    keysCompared += long(notes.size());

    plist::Value again;
    ASSERT_EQ(target.saveState(again), noErr);
    const bool same = plist::serialise(again) == plist::serialise(saved) &&
                      plist::serialise(again, plist::Format::Binary) ==
                          plist::serialise(saved, plist::Format::Binary);
    EXPECT_TRUE(same);
    identical += same;
    // And through the bytes a host stores: parsed back, the state restores the same.
    const plist::Data bytes = plist::serialise(saved, plist::Format::Binary);
    const auto parsed = plist::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    Instance third;
    ASSERT_EQ(third.restoreState(*parsed), noErr);
    EXPECT_EQ(parameters(third), parameters(source));
  }
  figure("rounds", rounds);
  figure("byte_identical_resaves", identical);
  figure("held_keys_compared", keysCompared);
}

TEST(ConformanceState, MegabyteBlobsAreRefusedAndChangeNothing) {
  clearPreferences();
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  fx.setParameter(kParamSoundMode, 4.0f);
  fx.midi(0x90, 62, 100);
  plist::Value good;
  ASSERT_EQ(fx.saveState(good), noErr);
  const std::vector<float> before = parameters(fx);
  const std::vector<uint8_t> keysBefore = keyBytes(fx);
  std::mt19937 random(77);
  int refused = 0, unparsable = 0;
  for (int blob = 0; blob < 3; ++blob) {
    plist::Data bytes(1 << 20);
    for (auto& b : bytes) b = uint8_t(random());
    if (blob == 1) std::memcpy(bytes.data(), "bplist00", 8);
    if (blob == 2) std::memcpy(bytes.data(), "<?xml version=\"1.0\"?><plist>", 28);
    // As the bytes a host read from a session file.
    const auto parsed = plist::parse(bytes.data(), bytes.size());
    if (!parsed) {
      ++unparsable;
    } else if (fx.restoreState(*parsed) != noErr) {
      ++refused;
    }
    // As a data value in place of the dictionary, and as the parameter data of a good one.
    refused += fx.restoreState(plist::Value::data(bytes)) != noErr;
    plist::Value withBlob = good;
    withBlob.set("data", plist::Value::data(bytes));
    refused += fx.restoreState(withBlob) != noErr;
    EXPECT_EQ(parameters(fx), before);
    EXPECT_EQ(keyBytes(fx), keysBefore);
  }
  EXPECT_EQ(unparsable + refused, 9);
  EXPECT_TRUE(rendersFinite(fx));
  figure("blobs", 3);
  figure("blob_bytes", 1 << 20);
  figure("unparsable", unparsable);
  figure("refused", refused);
}

TEST(ConformanceState, ThousandTruncatedOrMutatedStatesAreHandledCleanly) {
  clearPreferences();
  Instance source;
  ASSERT_EQ(AudioUnitInitialize(source.unit()), noErr);
  std::mt19937 random(4242);
  std::vector<int> notes;
  randomise(source, random, notes);
  plist::Value good;
  ASSERT_EQ(source.saveState(good), noErr);
  const plist::Data xml = plist::serialise(good);
  const plist::Data binary = plist::serialise(good, plist::Format::Binary);
  const plist::Data data = good.find("data")->asData();

  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  fx.setParameter(kParamSoundMode, 2.0f);
  int unparsable = 0, refused = 0, accepted = 0, unclean = 0;
  const int trials = 1000;
  for (int trial = 0; trial < trials; ++trial) {
    std::optional<plist::Value> state;
    switch (trial % 4) {
      case 0:
      case 1: {  // the stored bytes, cut short or with bytes changed
        plist::Data bytes = trial % 4 == 0 ? xml : binary;
        if (random() % 2) {
          bytes.resize(random() % bytes.size());
        } else {
          for (int m = 0, n = 1 + int(random() % 8); m < n; ++m) {
            bytes[random() % bytes.size()] = uint8_t(random());
          }
        }
        state = plist::parse(bytes.data(), bytes.size());
        break;
      }
      case 2: {  // the parameter data cut short or changed in place
        plist::Data cut = data;
        if (random() % 2) {
          cut.resize(random() % cut.size());
        } else {
          cut[random() % cut.size()] = uint8_t(random());
        }
        state = good;
        state->set("data", plist::Value::data(cut));
        break;
      }
      default: {  // entries removed or replaced by other types
        state = good;
        const char* keys[] = {"version", "type", "subtype",  "manufacturer",
                              "data",    "name", kKeyListKey};
        for (int m = 0, n = 1 + int(random() % 3); m < n; ++m) {
          const char* key = keys[random() % std::size(keys)];
          if (random() % 2) {
            state->asDictionary().erase(key);
          } else {
            state->set(key, random() % 2 ? plist::Value::string("x") : plist::Value::integer(7));
          }
        }
        if (trial % 40 == 3) state = plist::Value::dictionary();  // nothing at all
        break;
      }
    }
    if (!state) {
      ++unparsable;
      continue;
    }
    const std::vector<float> before = parameters(fx);
    const std::vector<uint8_t> keysBefore = keyBytes(fx);
    if (fx.restoreState(*state) != noErr) {
      ++refused;
      const bool unchanged = parameters(fx) == before && keyBytes(fx) == keysBefore;
      EXPECT_TRUE(unchanged) << "trial " << trial << ": refused, but changed the unit";
      unclean += !unchanged;
    } else {
      ++accepted;
      // Accepted values may be anything a float holds: the next update clamps them.
      if (trial % 10 < 2 || trial % 4 == 2) {
        const bool finite = rendersFinite(fx);
        EXPECT_TRUE(finite) << "trial " << trial;
        unclean += !finite;
      }
    }
  }
  // The empty dictionary is refused.
  EXPECT_EQ(fx.restoreState(plist::Value::dictionary()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(rendersFinite(fx));
  figure("trials", trials);
  figure("unparsable", unparsable);
  figure("refused_unchanged", refused);
  figure("accepted", accepted);
  figure("unclean", unclean);
}
