// SPDX-License-Identifier: GPL-3.0-or-later
// The band-level display: green bars added over the panel (plus-lighter), one per band, band 0
// at the left. Transparent and never hit: clicks reach the controls beneath it.
//
// Threads: setValuesFromArray runs where the component posts its levels (the render thread).
// It never waits or allocates: it hands the levels over through a latest-wins buffer and marks
// the view for redisplay (one atomic store). Everything else is [main thread].
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "editor/logic/editor_timing.h"
#include "editor/logic/latest_values.h"
#include "platform/ui/view.h"

class VXAnalyzerView : public ui::View {
 public:
  static constexpr int kMaxBands = 1023;
  using TickSource = int64_t (*)();

  VXAnalyzerView() { prepare(); }
  void awakeFromNib() override { prepare(); }

  // Takes count levels (at most kMaxBands), unless an update was taken less than 4 ticks
  // (1/60 s) ago. Returns whether it was taken. [any thread]
  bool setValuesFromArray(const float* levels, size_t count);
  // The tick clock (systemTicks unless replaced; tests step it). [main thread; before use]
  void setTickSource(TickSource source) { mTicks = source; }

  // The levels the last drawing used. [main thread]
  const std::vector<float>& shownValues() const { return mShown; }

  bool isOpaque() const override { return false; }
  ui::View* hitTest(ui::Point) override { return nullptr; }
  void drawRect(ui::DrawContext& context, const ui::Rect& dirtyRect) override;

 private:
  void prepare() {}

  LatestValues<kMaxBands> mLevels;  // float bit patterns
  TickThrottle mThrottle;
  std::atomic<TickSource> mTicks{&systemTicks};
  std::vector<float> mShown;  // [main thread]
  std::vector<uint32_t> mScratch = std::vector<uint32_t>(kMaxBands);
};
