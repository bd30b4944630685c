// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/views/vx_analyzer_view.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/draw_context.h"

bool VXAnalyzerView::setValuesFromArray(const float* levels, size_t count) {
  if (!mThrottle.accept(mTicks.load(std::memory_order_relaxed)())) return false;
  uint32_t words[kMaxBands];
  count = std::min<size_t>(count, kMaxBands);
  std::memcpy(words, levels, count * sizeof(float));
  mLevels.publish(words, count);
  setNeedsDisplay();
  return true;
}

void VXAnalyzerView::drawRect(ui::DrawContext& context, const ui::Rect&) {
  size_t count = 0;
  if (mLevels.read(mScratch.data(), count)) {
    mShown.resize(count);
    if (count) std::memcpy(mShown.data(), mScratch.data(), count * sizeof(float));
  }
  if (mShown.empty()) return;
  context.saveGState();
  context.setCompositeOp(ui::CompositeOp::PlusLighter);
  const ui::Rect b = bounds();
  const double bandWidth = b.width() / mShown.size();
  for (size_t i = 0; i < mShown.size(); ++i) {
    const double level = mShown[i];
    const double v = level > 0 ? std::min(level, 1.0) : 0.0;  // NaN draws as 0
    const ui::Rect bar = ui::Rect(i * bandWidth, 0, bandWidth, v * b.height()).insetBy(1, 1);
    context.setColor(ui::Color::rgba(0, 1, 0, 0.5));
    context.strokeRect(bar);
    context.setColor(ui::Color::rgba(0, 1, 0, 0.25));
    context.fillRect(bar);
  }
  context.restoreGState();
}
