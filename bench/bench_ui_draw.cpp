// SPDX-License-Identifier: GPL-3.0-or-later
// The UI layer's drawing cost (offscreen): a whole redraw of a window of controls, and the
// keyboard-style highlights drawn with plus-darker and plus-lighter, at 1x and 2x.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/ui/vxui.h"

namespace {

using namespace ui;

std::unique_ptr<Window> controlsWindow(double scale) {
  Application::shared().useOffscreen();
  auto window = std::make_unique<Window>(Rect(0, 0, 540, 250), kTitledWindowMask);
  window->setScaleFactor(scale);
  auto root = std::make_unique<View>(Rect(0, 0, 540, 250));
  for (int i = 0; i < 12; ++i) {
    root->addSubview(std::make_unique<Slider>(Rect(10 + i * 30, 40, 24, 150), 0, 100, i * 8));
  }
  auto popup = std::make_unique<PopUpButton>(Rect(380, 40, 140, 24));
  popup->addItemsWithTitles({"Classic", "Bright", "Warm"});
  root->addSubview(std::move(popup));
  for (int i = 0; i < 4; ++i) {
    root->addSubview(std::make_unique<Button>(Rect(380, 80 + i * 32, 140, 26), "Toggle",
                                              ButtonType::Toggle));
  }
  root->addSubview(std::make_unique<TextField>(Rect(380, 215, 60, 22), "50"));
  window->setContentView(std::move(root));
  return window;
}

void BM_RedrawControls(benchmark::State& state) {
  auto window = controlsWindow(static_cast<double>(state.range(0)));
  for (auto _ : state) {
    window->display();
    benchmark::DoNotOptimize(window->pixelAt(1, 1));
  }
}
BENCHMARK(BM_RedrawControls)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

class Highlights : public View {
 public:
  using View::View;
  void drawRect(DrawContext& c, const Rect&) override {
    const Rect b = bounds();
    c.saveGState();
    c.setShadow(Shadow{{0, 0}, 2, Color::rgba(1, 1, 0, 0.5)});
    const double w = b.width() / 24;
    for (int k = 0; k < 24; ++k) {
      const bool white = k % 2 == 0;
      c.setCompositeOp(white ? CompositeOp::PlusDarker : CompositeOp::PlusLighter);
      c.setColor(Color::rgba(1, 1, 0, white ? 1.0 : 0.35));
      if (k % 3 == 0) c.fillRect(Rect(k * w, b.height() * 0.4, w, b.height() * 0.6));
    }
    c.restoreGState();
  }
};

void BM_KeyboardHighlights(benchmark::State& state) {
  Application::shared().useOffscreen();
  Window window(Rect(0, 0, 480, 90), kBorderlessWindowMask);
  window.setScaleFactor(static_cast<double>(state.range(0)));
  window.setContentView(std::make_unique<Highlights>(Rect(0, 0, 480, 90)));
  for (auto _ : state) {
    window.display();
    benchmark::DoNotOptimize(window.pixelAt(1, 1));
  }
}
BENCHMARK(BM_KeyboardHighlights)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
