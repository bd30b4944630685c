// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard and analyser views inside the editor on real instances: clicks in both hit
// zones play the component's keys and light the keys it reports, transposition and its arrow
// keys, the analyser's throttle and its transparency to clicks, the day/night picture, and two
// instances with two editors keeping their keys and levels apart.
#include "editor/editor_clock.h"
#include "editor_fixture.h"
#include "platform/ui/matrix.h"

using namespace editor_test;
using tarnwick_host::Instance;
using tarnwick_host::KeyListener;

namespace {

const editor_geometry::Rect& keyboardFrame() { return editor_geometry::panel().keyboard; }

// Panel point over key k's column in the upper zone, and over white key i in the lower zone.
ui::Point upperKey(int k) {
  const auto& kb = keyboardFrame();
  return {kb.x + (k + 0.5) * kb.w / 24, kb.y + 10};
}
ui::Point lowerWhite(int i) {
  const auto& kb = keyboardFrame();
  return {kb.x + (i + 0.5) * kb.w / 14, kb.bottom() - 8};
}

bool isLit(uint32_t p) { return red(p) > 200 && green(p) > 200 && blue(p) < 90; }

void postLevels(uint64_t refCon, std::vector<float> levels) {
  notify::UserInfo info;
  info["Vexaphon_Tarnwick_RefCon"] = refCon;
  info["Vexaphon_Tarnwick_AnalyzerLevels"] = std::move(levels);
  notify::Center::defaultCenter().post("Vexaphon_Tarnwick_SetAnalyzerLevels", nullptr, info);
}

int64_t gTicks = 1000;
int64_t steppedTicks() { return gTicks; }

}  // namespace

TEST(EditorKeyboard, ClicksInBothZonesPlayKeysThatLightUpFromTheComponentsList) {
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  KeyListener keys(fx.refCon());
  Editor editor(fx.unit());
  ASSERT_NE(editor.view(), nullptr);
  const ui::Point csharp = upperKey(1);
  EXPECT_FALSE(isLit(editor.pixel(lowerWhite(0).x, lowerWhite(0).y)));

  editor.click(csharp.x, csharp.y);  // upper zone: the black key's own column
  EXPECT_EQ(keys.held(), (std::vector<int>{49}));
  editor.click(csharp.x, lowerWhite(0).y);  // lower third under it: the white key C
  EXPECT_EQ(keys.held(), (std::vector<int>{49, 48}));
  const ui::Point e = lowerWhite(2);
  editor.click(e.x, e.y);
  EXPECT_EQ(keys.held(), (std::vector<int>{49, 48, 52}));
  editor.click(upperKey(1).x, upperKey(1).y);  // a held key: released
  EXPECT_EQ(keys.held(), (std::vector<int>{48, 52}));

  pumpFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(isLit(editor.pixel(lowerWhite(0).x, lowerWhite(0).y)));
  EXPECT_TRUE(isLit(editor.pixel(e.x, e.y)));
  EXPECT_FALSE(isLit(editor.pixel(lowerWhite(1).x, lowerWhite(1).y)));

  // MIDI into the instance lights keys too: the view draws the component's list.
  fx.midi(0x90, 71, 100);
  pumpFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(isLit(editor.pixel(lowerWhite(13).x, lowerWhite(13).y)));
}

TEST(EditorKeyboard, TransposeButtonsArrowKeysAndAllOff) {
  Instance fx;
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  KeyListener keys(fx.refCon());
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  fx.midi(0x90, 60, 100);
  fx.midi(0x90, 64, 100);
  fx.midi(0x90, 71, 100);
  view->iaKeyboardTransposeUp(nullptr);
  EXPECT_EQ(keys.held(), (std::vector<int>{61, 65, 72}));  // 72 is beyond the keys shown

  // Arrow keys while the keyboard is first responder.
  const ui::Point key = upperKey(20);
  editor.click(key.x, key.y);  // also presses note 68
  ASSERT_EQ(editor.window()->firstResponder(), view->uiTarnwickKeyboardView);
  editor.pressKey(ui::kDownArrowKey);
  EXPECT_EQ(keys.held(), (std::vector<int>{60, 64, 71, 67}));
  editor.pressKey(ui::kLeftArrowKey);
  EXPECT_EQ(keys.held(), (std::vector<int>{59, 63, 70, 66}));
  editor.pressKey('a');  // not an arrow: nothing
  EXPECT_EQ(keys.held(), (std::vector<int>{59, 63, 70, 66}));

  view->iaKeyboardReset(nullptr);
  EXPECT_TRUE(keys.held().empty());
  fx.midi(0x90, 48, 100);
  view->iaKeyboardTransposeDown(nullptr);
  EXPECT_EQ(keys.held(), (std::vector<int>{47}));
}

TEST(EditorAnalyzer, ThrottleDropsCloseUpdatesAndClicksPassThrough) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  VXAnalyzerView* analyzer = view->uiTarnwickAnalyzerView;
  analyzer->setTickSource(&steppedTicks);
  const auto& a = editor_geometry::panel().analyzer;
  const double barX = a.x + a.w / 20, top = a.y + 4, bottom = a.bottom() - 3;
  auto barAt = [&](double y) {
    const uint32_t p = editor.pixel(barX, y);
    return green(p) > red(p) + 40;
  };

  postLevels(view->refCon(), {1.7f, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // beyond 1: full height
  pumpFor(std::chrono::milliseconds(40));
  EXPECT_TRUE(barAt(top));
  gTicks += 2;
  postLevels(view->refCon(), {0.1f, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // 2 ticks later: dropped
  pumpFor(std::chrono::milliseconds(40));
  EXPECT_EQ(analyzer->shownValues().front(), 1.7f);
  EXPECT_TRUE(barAt(top));
  gTicks += 2;
  postLevels(view->refCon(), {0.1f, -1, 0, 0, 0, 0, 0, 0, 0, 0});  // 4 after the last shown
  pumpFor(std::chrono::milliseconds(40));
  EXPECT_EQ(analyzer->shownValues().front(), 0.1f);
  EXPECT_FALSE(barAt(top));
  EXPECT_TRUE(barAt(bottom));
  gTicks += 10;
  postLevels(view->refCon() + 1, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1});  // another instance's
  pumpFor(std::chrono::milliseconds(40));
  EXPECT_EQ(analyzer->shownValues().front(), 0.1f);

  // A drag over the display moves the equaliser cell beneath it.
  const double cellX = a.x + 3.5 * a.w / 10;
  editor.drag(cellX, a.y + a.h / 2, -30);
  EXPECT_GT(fx.parameter(15), 2.0f);
}

TEST(EditorBackground, NightPictureFollowsTheTimeOfDay) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  struct Case {
    int hour;
    double night;
  } cases[] = {{1, 1.0}, {7, 0.5}, {13, 0.0}, {19, 0.5}};
  uint32_t panelAt[4];
  int n = 0;
  for (const Case& c : cases) {
    editor_clock::setTimeOfDay(c.hour, 0);
    view->update();
    panelAt[n++] = editor.pixel(300, 20);  // plain panel in the header
    EXPECT_NEAR(view->nightFractionShown(), c.night, 1e-6) << c.hour;
  }
  editor_clock::setTimeOfDay(-1, 0);
  EXPECT_GT(blue(panelAt[0]), red(panelAt[0]) + 20);  // night: blue-black
  EXPECT_LT(std::abs(blue(panelAt[2]) - red(panelAt[2])), 12);  // day: graphite
  for (int shift : {0, 8, 16}) {  // 07:00 and 19:00 alike, to rounding
    EXPECT_NEAR(int(panelAt[1] >> shift & 0xFF), int(panelAt[3] >> shift & 0xFF), 1);
  }
}

TEST(EditorInstances, TwoEditorsKeepTheirKeysAndLevelsApart) {
  Instance a, b;
  ASSERT_EQ(AudioUnitInitialize(a.unit()), noErr);
  ASSERT_EQ(AudioUnitInitialize(b.unit()), noErr);
  KeyListener keysA(a.refCon()), keysB(b.refCon());
  Editor editorA(a.unit()), editorB(b.unit());
  ASSERT_TRUE(editorA.view() && editorB.view());
  const ui::Point c = lowerWhite(4);
  editorA.click(c.x, c.y);
  EXPECT_EQ(keysA.held(), (std::vector<int>{55}));
  EXPECT_TRUE(keysB.held().empty());
  b.midi(0x90, 72 - 12, 100);
  pumpFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(isLit(editorA.pixel(c.x, c.y)));
  EXPECT_FALSE(isLit(editorB.pixel(c.x, c.y)));
  EXPECT_TRUE(isLit(editorB.pixel(lowerWhite(7).x, lowerWhite(7).y)));
  EXPECT_FALSE(isLit(editorA.pixel(lowerWhite(7).x, lowerWhite(7).y)));

  postLevels(b.refCon(), {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
  pumpFor(std::chrono::milliseconds(40));
  EXPECT_EQ(editorB.view()->uiTarnwickAnalyzerView->shownValues().size(), 10u);
  EXPECT_TRUE(editorA.view()->uiTarnwickAnalyzerView->shownValues().empty());
}
