// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing checked by pixels at known points, at 1x and 2x; the scale factor's sources; the
// control gallery written as screenshots (build/screenshots/ui-controls-*.png).
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/ui/vxui.h"

using namespace ui;

namespace {

// A view that draws with a function (flipped or not).
class Painter : public View {
 public:
  Painter(const Rect& frame, bool flipped, std::function<void(DrawContext&)> paint)
      : View(frame), mFlipped(flipped), mPaint(std::move(paint)) {}
  bool isFlipped() const override { return mFlipped; }
  void drawRect(DrawContext& ctx, const Rect&) override { mPaint(ctx); }

 private:
  bool mFlipped;
  std::function<void(DrawContext&)> mPaint;
};

uint32_t argb(int a, int r, int g, int b) {
  return (static_cast<uint32_t>(a) << 24) | (r << 16) | (g << 8) | b;
}

int channel(uint32_t px, int shift) { return static_cast<int>((px >> shift) & 0xff); }

class DrawingTest : public ::testing::TestWithParam<double> {
 protected:
  void SetUp() override {
    Application::shared().useOffscreen();
    mWindow = std::make_unique<Window>(Rect(0, 0, 100, 80), kBorderlessWindowMask);
    mWindow->setScaleFactor(GetParam());
    mWindow->setBackgroundColor(Color::rgba(0, 0, 0, 1));
    mWindow->setContentView(std::make_unique<View>());
  }
  void add(const Rect& frame, bool flipped, std::function<void(DrawContext&)> paint) {
    mWindow->contentView()->addSubview(std::make_unique<Painter>(frame, flipped, std::move(paint)));
  }
  // The pixel at window point (x, y) in logical units from the top-left corner.
  uint32_t at(double x, double y) {
    const double s = GetParam();
    return mWindow->pixelAt(static_cast<int>(x * s), static_cast<int>(y * s));
  }
  std::unique_ptr<Window> mWindow;
};

TEST_P(DrawingTest, ViewsDrawInTheirOwnCoordinatesFlippedOrNot) {
  add(Rect(10, 10, 40, 30), false, [](DrawContext& c) {
    c.setColor(Color::rgba(1, 0, 0));
    c.fillRect(Rect(0, 0, 20, 15));  // the lower-left quarter
  });
  add(Rect(60, 10, 30, 30), true, [](DrawContext& c) {
    c.setColor(Color::rgba(0, 1, 0));
    c.fillRect(Rect(0, 0, 10, 10));  // the top-left corner
    c.fillRect(Rect(25, 25, 50, 50));  // clipped to the view
  });
  mWindow->display();
  const double s = GetParam();
  EXPECT_EQ(at(11, 69), argb(255, 255, 0, 0));
  EXPECT_EQ(at(29.5, 55.5), argb(255, 255, 0, 0));
  EXPECT_EQ(at(31, 69), argb(255, 0, 0, 0));
  EXPECT_EQ(at(11, 54), argb(255, 0, 0, 0));
  EXPECT_EQ(at(61, 41), argb(255, 0, 255, 0));
  EXPECT_EQ(at(69.5, 49.5), argb(255, 0, 255, 0));
  EXPECT_EQ(at(61, 51), argb(255, 0, 0, 0));
  EXPECT_EQ(at(89.5, 69.5), argb(255, 0, 255, 0));
  EXPECT_EQ(at(91, 71), argb(255, 0, 0, 0));  // outside the view
  // Sharp edges: the device pixels on either side of an edge are fully in or out.
  const int edge = static_cast<int>(10 * s);
  EXPECT_EQ(mWindow->pixelAt(edge, static_cast<int>(69 * s)), argb(255, 255, 0, 0));
  EXPECT_EQ(mWindow->pixelAt(edge - 1, static_cast<int>(69 * s)), argb(255, 0, 0, 0));
}

TEST_P(DrawingTest, CompositingPlusLighterAndPlusDarker) {
  add(Rect(0, 0, 100, 80), false, [](DrawContext& c) {
    c.setColor(Color::white(128 / 255.0));
    c.fillRect(Rect(0, 0, 100, 80));
    c.setCompositeOp(CompositeOp::PlusLighter);
    c.setColor(Color::white(64 / 255.0));
    c.fillRect(Rect(0, 0, 50, 80));
    c.setCompositeOp(compositeOpFromNumber(11));
    c.setColor(Color::white(191 / 255.0));
    c.fillRect(Rect(50, 0, 50, 40));
    c.setColor(Color::rgba(1, 1, 0, 0.35));  // translucent: less darkening
    c.fillRect(Rect(50, 40, 50, 40));
  });
  mWindow->display();
  EXPECT_EQ(at(10, 40), argb(255, 192, 192, 192));
  EXPECT_EQ(at(75, 70), argb(255, 64, 64, 64));  // 128 + 191 - 255
  // Partly covered: alpha stays 1; blue = 1 - ((0.35 - 0) + (1 - 0.5)) = 0.15 (38 of 255).
  const uint32_t mixed = at(75, 10);
  EXPECT_EQ(channel(mixed, 24), 255);
  EXPECT_EQ(channel(mixed, 16), 128);
  EXPECT_NEAR(channel(mixed, 0), 38, 1);
}

TEST_P(DrawingTest, PlusDarkerOnTransparentShowsTheSourceAndHonoursTheClip) {
  mWindow->setBackgroundColor(Color::clear());
  add(Rect(20, 20, 40, 40), true, [](DrawContext& c) {
    c.setCompositeOp(CompositeOp::PlusDarker);
    c.setColor(Color::rgba(1, 1, 0, 1));
    c.fillRect(Rect(-20, 0, 80, 20));  // the top 20 units of the view, clipped to it
  });
  mWindow->display();
  EXPECT_EQ(at(30, 25), argb(255, 255, 255, 0));
  EXPECT_EQ(at(10, 25), 0u);
  EXPECT_EQ(at(30, 45), 0u);
}

TEST_P(DrawingTest, ShadowsFallAtTheirOffsetWhateverTheFlipping) {
  for (bool flipped : {false, true}) {
    const double x = flipped ? 55 : 5;
    add(Rect(x, 10, 40, 60), flipped, [flipped](DrawContext& c) {
      c.setShadow(Shadow{{10, -20}, 0, Color::rgba(0, 0, 1, 1)});
      c.setColor(Color::rgba(1, 0, 0));
      c.fillRect(Rect(0, flipped ? 0 : 40, 20, 20));  // the top 20 units
    });
  }
  mWindow->display();
  for (double x : {5.0, 55.0}) {
    EXPECT_EQ(at(x + 5, 15), argb(255, 255, 0, 0)) << x;
    EXPECT_EQ(at(x + 25, 45), argb(255, 0, 0, 255)) << x;  // right 10, down 20
    EXPECT_EQ(at(x + 5, 45), argb(255, 0, 0, 0)) << x;
  }
}

TEST_P(DrawingTest, ImagesAreUprightAndDrawnWithAFraction) {
  // 10 x 10: the top half red, the bottom half green.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_rectangle(cr, 0, 0, 10, 5);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 1, 0);
  cairo_rectangle(cr, 0, 5, 10, 5);
  cairo_fill(cr);
  cairo_destroy(cr);
  std::shared_ptr<Image> image = Image::fromSurface(s);
  cairo_surface_destroy(s);
  ASSERT_TRUE(image);
  add(Rect(0, 0, 100, 80), false, [image](DrawContext& c) {
    c.drawImageAt(*image, {10, 60});  // top-left corner at window (10, 10)
    c.drawImage(*image, Rect(30, 50, 20, 20), Rect(), CompositeOp::SourceOver, 0.5);
  });
  add(Rect(60, 0, 40, 80), true, [image](DrawContext& c) {
    c.drawImage(*image, Rect(0, 10, 10, 10), Rect(0, 5, 10, 5), CompositeOp::Copy, 1.0);
  });
  mWindow->display();
  EXPECT_EQ(at(12, 11), argb(255, 255, 0, 0));
  EXPECT_EQ(at(12, 19), argb(255, 0, 255, 0));
  EXPECT_NEAR(channel(at(35, 12), 16), 128, 2);  // half red over black
  EXPECT_EQ(channel(at(35, 12), 8), 0);
  // Only the upper half, stretched over the whole destination.
  EXPECT_EQ(at(65, 19), argb(255, 255, 0, 0));
}

TEST_P(DrawingTest, TextStaysInItsRectangleAndFollowsTheAlignment) {
  add(Rect(0, 0, 100, 80), true, [](DrawContext& c) {
    c.setColor(Color::white(1));
    c.drawText("A long title that does not fit", Rect(10, 10, 50, 20), Font::system(12),
               TextAlignment::Left, LineBreak::TruncateTail);
    c.drawText("OK", Rect(10, 40, 80, 20), Font::boldSystem(12), TextAlignment::Right);
  });
  mWindow->display();
  auto inked = [&](double x0, double y0, double x1, double y1) {
    int n = 0;
    for (double y = y0; y < y1; y += 0.5) {
      for (double x = x0; x < x1; x += 0.5) n += channel(at(x, y), 16) > 100;
    }
    return n;
  };
  EXPECT_GT(inked(10, 10, 60, 30), 20);
  EXPECT_EQ(inked(60.5, 10, 100, 30), 0);  // truncated, not spilling
  EXPECT_GT(inked(70, 40, 90, 60), 10);
  EXPECT_EQ(inked(10, 40, 60, 60), 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, DrawingTest, ::testing::Values(1.0, 2.0),
                         [](const auto& info) { return info.param == 1.0 ? "x1" : "x2"; });

TEST(ScaleFactorTest, HostFirstThenEnvironmentThenOne) {
  Application& app = Application::shared();
  app.useOffscreen();
  ::unsetenv(kScaleEnvironmentVariable);
  app.setHostScaleFactor(0);
  EXPECT_EQ(app.scaleFactor(), 1);
  ::setenv(kScaleEnvironmentVariable, "1.5", 1);
  EXPECT_EQ(app.scaleFactor(), 1.5);
  ::setenv(kScaleEnvironmentVariable, "bogus", 1);
  EXPECT_EQ(app.scaleFactor(), 1);
  ::setenv(kScaleEnvironmentVariable, "1.5", 1);
  app.setHostScaleFactor(2);
  EXPECT_EQ(app.scaleFactor(), 2);
  app.setHostScaleFactor(40);
  EXPECT_EQ(app.scaleFactor(), 4);
  app.setHostScaleFactor(0);
  ::unsetenv(kScaleEnvironmentVariable);
  Window w(Rect(0, 0, 33, 21), kBorderlessWindowMask);
  w.setScaleFactor(1.5);
  w.display();
  EXPECT_EQ(cairo_image_surface_get_width(w.backingSurface()), 50);
  EXPECT_EQ(cairo_image_surface_get_height(w.backingSurface()), 32);
}

}  // namespace
