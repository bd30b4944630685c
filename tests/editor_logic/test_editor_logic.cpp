// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's arithmetic without a display: keyboard keys and hit zones, key-list formats and
// transposition, the analyser throttle, gesture nesting, the night fraction, the wave menus.
#include <gtest/gtest.h>

#include <cstring>

#include "editor/logic/editor_timing.h"
#include "editor/logic/keyboard_keys.h"
#include "editor/logic/wave_menus.h"

namespace kk = keyboard_keys;

TEST(KeyboardKeys, WhiteKeysAreTheCMajorScaleOfTwoOctaves) {
  std::vector<int> white;
  for (int k = 0; k < 24; ++k) {
    if (kk::isWhiteKey(k, 24)) white.push_back(k);
  }
  EXPECT_EQ(white, (std::vector<int>{0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19, 21, 23}));
  EXPECT_EQ(kk::whiteKeyCount(24), 14);
  for (int i = 0; i < 14; ++i) EXPECT_TRUE(kk::isWhiteKey(kk::whiteKey(i), 24)) << i;
}

TEST(KeyboardKeys, HitZones) {
  // A 448 × 120 view: upper two thirds are 24 columns of 18.67, the lower third 14 keys of 32.
  struct Case {
    double x, y;
    int key;
  } cases[] = {
      {5, 100, 0},     // upper zone, first column
      {20, 100, 1},    // upper zone: a black key's column is its own key
      {20, 10, 0},     // lower third under that black key: the white key below it
      {40, 10, 2},     // second white key
      {447, 10, 23},   // last white key
      {447, 119, 23},  // last column
      {240, 41, 12},   // just above the zone boundary: column 12
      {240, 39, 12},   // lower zone: white key 7 is key 12
      {300, 60, 16},   // upper zone: column 16
      {-1, 60, -1},    // outside
      {10, 121, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kk::hitTest(c.x, c.y, 448, 120, 24), c.key) << c.x << "," << c.y;
  }
}

TEST(KeyboardKeys, StateFormatsAndTransposition) {
  const float chord[4] = {60, 0, 64, 67};
  const auto saved = kk::encodeBigEndian(chord, 4);
  ASSERT_EQ(saved.size(), 16u);
  EXPECT_EQ(saved[0], 0x42);  // 60.0f is 0x42700000, most significant byte first
  EXPECT_EQ(saved[1], 0x70);
  const auto words = kk::decodeWords(saved.data(), saved.size(), true);
  ASSERT_EQ(words.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    float f;
    std::memcpy(&f, &words[i], 4);
    EXPECT_EQ(f, chord[i]);
  }
  const auto native = kk::encodeNative(chord, 4);
  EXPECT_EQ(kk::decodeWords(native.data(), native.size(), false), words);
  std::vector<uint8_t> big(5000, 0);
  EXPECT_EQ(kk::decodeWords(big.data(), big.size(), false).size(), 1023u);
  EXPECT_EQ(kk::decodeWords(big.data(), 7, false).size(), 1u);

  const float top[3] = {71, 0, 48};
  EXPECT_EQ(kk::shiftedNotes(top, 3, +1), (std::vector<int>{72, 49}));
  EXPECT_EQ(kk::shiftedNotes(top, 3, -1), (std::vector<int>{70, 47}));
}

TEST(EditorTiming, ThrottleGesturesAndNight) {
  TickThrottle throttle;
  EXPECT_TRUE(throttle.accept(100));
  EXPECT_FALSE(throttle.accept(102));  // 2 ticks later: dropped
  EXPECT_FALSE(throttle.accept(97));   // 3 ticks earlier: dropped
  EXPECT_TRUE(throttle.accept(104));   // 4 ticks after the last accepted
  EXPECT_TRUE(throttle.accept(99));    // 5 back: the clock may be compared either way
  EXPECT_GT(systemTicks(), 0);

  GestureNesting nesting;
  EXPECT_TRUE(nesting.begin());
  EXPECT_FALSE(nesting.begin());
  EXPECT_FALSE(nesting.end());  // still open
  EXPECT_TRUE(nesting.end());   // the last end sends the events
  EXPECT_EQ(nesting.depth(), 0);
  EXPECT_TRUE(nesting.end());  // an unmatched end still sends (depth was 0)
  EXPECT_TRUE(nesting.begin());

  EXPECT_NEAR(nightFraction(1, 0), 1.0, 1e-6);
  EXPECT_NEAR(nightFraction(7, 0), 0.5, 1e-6);
  EXPECT_NEAR(nightFraction(13, 0), 0.0, 1e-6);
  EXPECT_NEAR(nightFraction(19, 0), 0.5, 1e-6);
  EXPECT_GT(nightFraction(23, 59), nightFraction(19, 0));
  const double now = nightFractionNow();
  EXPECT_TRUE(now >= 0 && now <= 1);
}

TEST(WaveMenus, RetitlingCorrectsIndicesAndValuesSelectItems) {
  EXPECT_STREQ(wave_menus::title(9, false), "Harsh");
  EXPECT_STREQ(wave_menus::title(7, true), "OFF");
  EXPECT_STREQ(wave_menus::title(9, true), "");
  EXPECT_FALSE(wave_menus::enabled(8, true));
  EXPECT_TRUE(wave_menus::enabled(8, false));
  struct Case {
    int remembered;
    bool samples;
    int index;
  } cases[] = {{9, true, 7}, {7, true, 7}, {3, true, 3}, {-1, true, 7},
               {10, false, 10}, {11, false, 10}, {-1, false, 10}, {9, false, 9}};
  for (const Case& c : cases) {
    EXPECT_EQ(wave_menus::correctedIndex(c.remembered, c.samples), c.index) << c.remembered;
  }
  EXPECT_EQ(wave_menus::indexForValue(12, 11), 0);
  EXPECT_EQ(wave_menus::indexForValue(-0.5f, 11), 0);
  EXPECT_EQ(wave_menus::indexForValue(10.0f, 11), 10);
  EXPECT_EQ(wave_menus::indexForValue(10.7f, 11), 0);  // beyond the last item
  EXPECT_EQ(wave_menus::indexForValue(3.9f, 11), 3);
  EXPECT_EQ(wave_menus::valueForIndex(-1, 11), 0.0f);
  EXPECT_EQ(wave_menus::valueForIndex(14, 11), 10.0f);
}
