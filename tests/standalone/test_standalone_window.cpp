// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick with its editor window, on a private Xvfb server and a private dummy JACK server: the
// window titled "Tarnwick" shows the editor at the panel's size, a click held on a keyboard key
// makes the output sound and lights the key, a slider dragged to its top moves its parameter
// there (read back from the state saved on quit), and screenshots of the whole window at 1x and
// 2x go to <build>/screenshots/tarnwick-1x.png and tarnwick-2x.png.
#include <cstring>

#include "standalone/jack_fixture.h"

#if TARNWICK_STANDALONE_WINDOW_TEST
#include "editor/layout/editor_geometry.h"
#include "platform/plist/plist_value.h"
#include "standalone/x11_session.h"

namespace {

using namespace standalone_test;
namespace geometry = editor_geometry;

// The value of a global parameter in a saved state; NAN when it is not there.
float savedParameter(const fs::path& state, uint32_t id) {
  const auto value = plist::readFile(state.string());
  const plist::Value* data = value ? value->find("data") : nullptr;
  if (!data || !data->isData()) return NAN;
  const plist::Data& bytes = data->asData();
  const auto word = [&](size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
           uint32_t(bytes[at + 3]);
  };
  for (size_t at = 0; at + 12 <= bytes.size();) {
    const uint32_t scope = word(at), element = word(at + 4), count = word(at + 8);
    at += 12;
    for (uint32_t i = 0; i < count && at + 8 <= bytes.size(); ++i, at += 8) {
      if (scope == 0 && element == 0 && word(at) == id) {
        const uint32_t bits = word(at + 4);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
      }
    }
  }
  return NAN;
}

// Pixels that differ between two pictures inside a box around (x, y).
int changedAround(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int width,
                  int x, int y, int radius) {
  int changed = 0;
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const size_t i = size_t(y + dy) * width + (x + dx);
      if (i < a.size() && i < b.size() && a[i] != b[i]) ++changed;
    }
  }
  return changed;
}

// A visible slider with a parameter whose default sits in the lower half of its range.
const geometry::Control* lowSlider() {
  for (const auto& c : geometry::panel().controls) {
    if (c.kind == geometry::Kind::Slider && c.parameter >= 0 && !c.hidden &&
        c.maxValue > c.minValue && c.value < c.minValue + 0.5 * (c.maxValue - c.minValue)) {
      return &c;
    }
  }
  return nullptr;
}

using StandaloneWindow = JackTest;

TEST_F(StandaloneWindow, TheEditorShowsAKeySoundsAndLightsAndASliderMovesItsParameter) {
  Xvfb x(folder.path);
  if (!x.display()) GTEST_SKIP() << "Xvfb cannot start here: " << x.log();
  setenv("DISPLAY", x.name().c_str(), 1);
  const geometry::Panel& panel = geometry::panel();
  const fs::path shots = fs::path(TARNWICK_BUILD_DIR) / "screenshots";
  fs::create_directories(shots);

  auto app = startApp({"--no-auto-connect"}, "window.log");
  const ::Window window = x.findWindow("Tarnwick", int(panel.width) - 1);
  ASSERT_NE(window, 0u) << app->log();
  XWindowAttributes attributes;
  XGetWindowAttributes(x.display(), window, &attributes);
  EXPECT_EQ(attributes.width, int(panel.width));
  EXPECT_EQ(attributes.height, int(panel.height));

  Probe probe;
  ASSERT_TRUE(probe.waitForPort("tarnwick:out_R")) << app->log();
  ASSERT_TRUE(probe.connect("probe:out_L", "tarnwick:speech_in_L"));
  ASSERT_TRUE(probe.connect("probe:out_R", "tarnwick:speech_in_R"));
  ASSERT_TRUE(probe.connect("tarnwick:out_L", "probe:in_L"));
  ASSERT_TRUE(probe.connect("tarnwick:out_R", "probe:in_R"));
  probe.play(true);
  // A fresh instance plays the chord of the preset the menu shows; ALL OFF releases it.
  const geometry::Control* allOff = nullptr;
  for (const auto& c : panel.controls) {
    if (c.action && std::string(c.action) == "iaKeyboardReset") allOff = &c;
  }
  ASSERT_NE(allOff, nullptr);
  x.moveTo(window, int(allOff->frame.x + allOff->frame.w / 2),
           int(allOff->frame.y + allOff->frame.h / 2));
  x.button(true);
  x.button(false);
  float quiet = 1.0f;
  for (int i = 0; i < 20 && (quiet = probe.peakOver(600ms)) >= 1e-4f; ++i) {
  }
  EXPECT_LT(quiet, 1e-4f) << "no key is held after ALL OFF, yet the output sounds";
  EXPECT_TRUE(x.writePng(window, (shots / "tarnwick-1x.png").string()));

  // A white key in the middle of the keyboard, below the black keys.
  const int keyX = int(panel.keyboard.x + panel.keyboard.w * 0.5 + 4);
  const int keyY = int(panel.keyboard.y + panel.keyboard.h * 0.85);
  int width = 0, height = 0;
  const auto before = x.pixels(window, &width, &height);
  x.moveTo(window, keyX, keyY);
  x.button(true);
  EXPECT_GT(probe.peakOver(800ms), 1e-2f) << "a held key on the keyboard does not sound";
  const auto held = x.pixels(window, &width, &height);
  EXPECT_GT(changedAround(before, held, width, keyX, keyY, 4), 20) << "the key did not light up";
  x.button(false);

  const geometry::Control* slider = lowSlider();
  ASSERT_NE(slider, nullptr);
  const geometry::Rect& f = slider->frame;
  const double travel = f.h - geometry::kKnobThickness;
  const double fraction = (slider->value - slider->minValue) / (slider->maxValue - slider->minValue);
  const int sliderX = int(f.x + f.w / 2);
  const int knobY = int(f.bottom() - geometry::kKnobThickness / 2 - fraction * travel);
  x.moveTo(window, sliderX, knobY);
  x.button(true);
  for (int step = 1; step <= 10; ++step) {
    x.moveTo(window, sliderX, knobY - int((knobY - f.y + 20) * step / 10));
    std::this_thread::sleep_for(20ms);
  }
  x.button(false);
  std::this_thread::sleep_for(300ms);

  EXPECT_EQ(app->stop(SIGINT), 0) << app->log();
  const float value = savedParameter(config / "tarnwick" / "state.plist", uint32_t(slider->parameter));
  EXPECT_NEAR(value, slider->maxValue, 0.02 * (slider->maxValue - slider->minValue))
      << "the slider '" << (slider->outlet ? slider->outlet : "?") << "' (parameter "
      << slider->parameter << ") was dragged to its top";
  ASSERT_TRUE(probe.waitForPortGone("tarnwick:out_R"));

  // The same window at twice the scale.
  setenv("TARNWICK_UI_SCALE", "2", 1);
  auto doubled = startApp({"--no-auto-connect"}, "window-2x.log");
  unsetenv("TARNWICK_UI_SCALE");
  const ::Window large = x.findWindow("Tarnwick", int(2 * panel.width) - 1);
  ASSERT_NE(large, 0u) << doubled->log();
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(x.writePng(large, (shots / "tarnwick-2x.png").string()));
  EXPECT_EQ(doubled->stop(SIGTERM), 0) << doubled->log();
  EXPECT_EQ(Xvfb::errors(), 0);
}

}  // namespace

#else
TEST(StandaloneWindow, NeedsTheUiLayerAndTheEditor) {
  GTEST_SKIP() << "this build has no UI layer or no editor bundle";
}
#endif
