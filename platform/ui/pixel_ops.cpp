// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/pixel_ops.h"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ui {

void compositePlusDarker(cairo_surface_t* target, cairo_surface_t* source, int atX, int atY,
                         const PixelRect& clip) {
  cairo_surface_flush(target);
  cairo_surface_flush(source);
  const int tw = cairo_image_surface_get_width(target);
  const int th = cairo_image_surface_get_height(target);
  const int sw = cairo_image_surface_get_width(source);
  const int sh = cairo_image_surface_get_height(source);
  const int x0 = std::max({0, clip.x, atX});
  const int y0 = std::max({0, clip.y, atY});
  const int x1 = std::min({tw, clip.x + clip.width, atX + sw});
  const int y1 = std::min({th, clip.y + clip.height, atY + sh});
  if (x1 <= x0 || y1 <= y0) return;
  unsigned char* tdata = cairo_image_surface_get_data(target);
  unsigned char* sdata = cairo_image_surface_get_data(source);
  const int tstride = cairo_image_surface_get_stride(target);
  const int sstride = cairo_image_surface_get_stride(source);
  for (int y = y0; y < y1; ++y) {
    auto* trow = reinterpret_cast<uint32_t*>(tdata + y * tstride);
    const auto* srow = reinterpret_cast<const uint32_t*>(sdata + (y - atY) * sstride);
    for (int x = x0; x < x1; ++x) {
      const uint32_t s = srow[x - atX];
      const int sa = s >> 24;
      if (sa == 0) continue;
      const uint32_t d = trow[x];
      const int da = d >> 24;
      const int ao = std::min(255, sa + da);
      uint32_t out = static_cast<uint32_t>(ao) << 24;
      for (int shift = 0; shift <= 16; shift += 8) {
        const int sc = (s >> shift) & 0xff, dc = (d >> shift) & 0xff;
        const int c = std::clamp(ao - ((sa - sc) + (da - dc)), 0, ao);
        out |= static_cast<uint32_t>(c) << shift;
      }
      trow[x] = out;
    }
  }
  cairo_surface_mark_dirty_rectangle(target, x0, y0, x1 - x0, y1 - y0);
}

namespace {

void boxPass(std::vector<float>& a, int width, int height, int radius, bool horizontal) {
  std::vector<float> line(static_cast<size_t>(horizontal ? width : height));
  const int outer = horizontal ? height : width;
  const int n = static_cast<int>(line.size());
  const float norm = 1.0f / static_cast<float>(2 * radius + 1);
  for (int o = 0; o < outer; ++o) {
    auto at = [&](int i) -> float& {
      return horizontal ? a[static_cast<size_t>(o) * width + i]
                        : a[static_cast<size_t>(i) * width + o];
    };
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < n) ? at(i) : 0.0f;
    for (int i = 0; i < n; ++i) {
      line[i] = sum * norm;
      const int add = i + radius + 1, drop = i - radius;
      if (add < n) sum += at(add);
      if (drop >= 0) sum -= at(drop);
    }
    for (int i = 0; i < n; ++i) at(i) = line[i];
  }
}

}  // namespace

void blurAlpha(cairo_surface_t* surface, int radius) {
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  std::vector<float> a(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
    for (int x = 0; x < w; ++x) a[static_cast<size_t>(y) * w + x] = static_cast<float>(row[x] >> 24);
  }
  if (radius > 0) {
    for (int pass = 0; pass < 3; ++pass) {
      boxPass(a, w, h, radius, true);
      boxPass(a, w, h, radius, false);
    }
  }
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < w; ++x) {
      const int v = std::clamp(static_cast<int>(a[static_cast<size_t>(y) * w + x] + 0.5f), 0, 255);
      row[x] = static_cast<uint32_t>(v) << 24;
    }
  }
  cairo_surface_mark_dirty(surface);
}

}  // namespace ui
