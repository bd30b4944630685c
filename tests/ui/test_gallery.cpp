// SPDX-License-Identifier: GPL-3.0-or-later
// Every control in one offscreen window, written as screenshots at 1x and 2x (and with the
// pop-up open and a value shown on hover) into build/screenshots/.
#include <gtest/gtest.h>

#include <string>

#include "gallery.h"
#include "platform/ui/vxui.h"
#include "ui_test_support.h"

using namespace ui;
using namespace ui_test;

namespace {

const std::string kShots = std::string(TARNWICK_BUILD_DIR) + "/screenshots/";

class GalleryTest : public ::testing::TestWithParam<double> {};

TEST_P(GalleryTest, DrawsEveryControlAndWritesScreenshots) {
  Application::shared().useOffscreen();
  const double s = GetParam();
  const std::string suffix = s == 1 ? "1x" : "2x";
  Window window(Rect(0, 0, 540, 250), kTitledWindowMask);
  window.setScaleFactor(s);
  Gallery g = buildGallery(window);
  g.freeze->setState(1);
  g.flip->setState(1);
  window.display();
  ASSERT_TRUE(window.writePNG(kShots + "ui-controls-" + suffix + ".png"));
  // The lit part of the vertical slider's groove is the accent colour (amber).
  const Point lit = g.amount->convertPointToWindow({14, 140});
  const uint32_t px = window.pixelAt(static_cast<int>(lit.x * s), static_cast<int>((250 - lit.y) * s));
  EXPECT_GT((px >> 16) & 0xff, 200u);
  EXPECT_LT(px & 0xff, 100u);

  // The pop-up open and a hover value beside the pointer.
  click(window, centreOf(*g.mode));
  window.sendEvent(mouse(EventType::MouseMoved, centreOf(*g.mode)));
  window.display();
  ASSERT_NE(window.overlay(), nullptr);
  ASSERT_TRUE(window.writePNG(kShots + "ui-popup-" + suffix + ".png"));
  window.sendEvent(key(kEscapeKey));
  click(window, centreOf(*g.amountField));
  const Rect band = g.eq->cellFrameAtRowColumn(0, 3);
  window.sendEvent(mouse(EventType::MouseMoved, g.eq->convertPointToWindow({band.midX(), band.midY()})));
  window.display();
  EXPECT_EQ(window.hoverText(), "0.0");
  ASSERT_TRUE(window.writePNG(kShots + "ui-hover-" + suffix + ".png"));
}

INSTANTIATE_TEST_SUITE_P(Scales, GalleryTest, ::testing::Values(1.0, 2.0),
                         [](const auto& info) { return info.param == 1.0 ? "x1" : "x2"; });

}  // namespace
