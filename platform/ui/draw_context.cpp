// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/draw_context.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "platform/ui/image.h"
#include "platform/ui/pixel_ops.h"

namespace ui {
namespace {

cairo_operator_t nativeOperator(CompositeOp op) {
  switch (op) {
    case CompositeOp::Clear: return CAIRO_OPERATOR_CLEAR;
    case CompositeOp::Copy: return CAIRO_OPERATOR_SOURCE;
    case CompositeOp::SourceIn: return CAIRO_OPERATOR_IN;
    case CompositeOp::SourceOut: return CAIRO_OPERATOR_OUT;
    case CompositeOp::SourceAtop: return CAIRO_OPERATOR_ATOP;
    case CompositeOp::DestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case CompositeOp::DestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case CompositeOp::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case CompositeOp::DestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case CompositeOp::XOR: return CAIRO_OPERATOR_XOR;
    case CompositeOp::PlusLighter: return CAIRO_OPERATOR_ADD;
    default: return CAIRO_OPERATOR_OVER;
  }
}

void appendPath(cairo_t* cr, const BezierPath& path) {
  for (const auto& e : path.elements()) {
    switch (e.op) {
      case BezierPath::Op::Move: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
      case BezierPath::Op::Line: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
      case BezierPath::Op::Curve:
        cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                       e.points[2].x, e.points[2].y);
        break;
      case BezierPath::Op::Close: cairo_close_path(cr); break;
    }
  }
}

// Sets up cr so that (0, 0) is the top-left corner of r and y grows downwards, whatever the
// view's flipping.
void uprightAt(cairo_t* cr, const Rect& r) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.yy < 0) {
    cairo_translate(cr, r.minX(), r.maxY());
    cairo_scale(cr, 1, -1);
  } else {
    cairo_translate(cr, r.minX(), r.minY());
  }
}

PangoLayout* makeLayout(cairo_t* cr, const std::string& text, const Font& font) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, font.family.c_str());
  pango_font_description_set_absolute_size(desc, std::max(1.0, font.size) * PANGO_SCALE);
  pango_font_description_set_weight(desc, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  return layout;
}

// A layout of text, width points wide, that keeps its line breaks and wraps at words (at
// characters within a word too long for a line).
PangoLayout* makeBlockLayout(cairo_t* cr, const std::string& text, const Font& font, double width) {
  PangoLayout* layout = makeLayout(cr, text, font);
  pango_layout_set_single_paragraph_mode(layout, FALSE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
  return layout;
}

PangoAlignment pangoAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Center:
      return PANGO_ALIGN_CENTER;
    case TextAlignment::Right:
      return PANGO_ALIGN_RIGHT;
    default:
      return PANGO_ALIGN_LEFT;
  }
}

// Draws layout inside rect, upright and clipped to it, its top `top` points below rect's top;
// takes the layout over.
void showLayoutIn(cairo_t* cr, const Rect& rect, PangoLayout* layout, double top) {
  cairo_save(cr);
  uprightAt(cr, rect);
  cairo_rectangle(cr, 0, 0, rect.width(), rect.height());
  cairo_clip(cr);
  cairo_move_to(cr, 0, top);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_restore(cr);
}

}  // namespace

CompositeOp compositeOpFromNumber(int number) {
  if (number < 0 || number > 13) return CompositeOp::SourceOver;
  return static_cast<CompositeOp>(number);
}

DrawContext::DrawContext(cairo_t* cr, cairo_surface_t* target, double scale)
    : mCr(cr), mTarget(target), mScale(scale) {}

void DrawContext::saveGState() {
  cairo_save(mCr);
  mSaved.push_back(mState);
}

void DrawContext::restoreGState() {
  if (mSaved.empty()) return;
  cairo_restore(mCr);
  mState = mSaved.back();
  mSaved.pop_back();
}

void DrawContext::setColor(const Color& c) { mState.color = c; }
void DrawContext::setCompositeOp(CompositeOp op) { mState.op = op; }
void DrawContext::setShadow(const Shadow& s) { mState.shadow = s, mState.hasShadow = true; }
void DrawContext::clearShadow() { mState.hasShadow = false; }
void DrawContext::setLineWidth(double width) { mState.lineWidth = width; }

void DrawContext::clipToRect(const Rect& r) {
  cairo_rectangle(mCr, r.minX(), r.minY(), r.width(), r.height());
  cairo_clip(mCr);
}

void DrawContext::translate(double dx, double dy) { cairo_translate(mCr, dx, dy); }

void DrawContext::setSourceColor(cairo_t* cr) const {
  const Color& c = mState.color;
  cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

bool DrawContext::deviceBox(const Rect& extents, int* x, int* y, int* w, int* h) const {
  double xs[4] = {extents.minX(), extents.maxX(), extents.minX(), extents.maxX()};
  double ys[4] = {extents.minY(), extents.minY(), extents.maxY(), extents.maxY()};
  double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(mCr, &xs[i], &ys[i]);
    x0 = std::min(x0, xs[i]), x1 = std::max(x1, xs[i]);
    y0 = std::min(y0, ys[i]), y1 = std::max(y1, ys[i]);
  }
  if (mState.hasShadow) {
    const double grow = std::ceil(mState.shadow.blurRadius * mScale * 1.5) + 1;
    const double dx = mState.shadow.offset.width * mScale;
    const double dy = -mState.shadow.offset.height * mScale;
    x0 = std::min(x0, x0 + dx) - grow, x1 = std::max(x1, x1 + dx) + grow;
    y0 = std::min(y0, y0 + dy) - grow, y1 = std::max(y1, y1 + dy) + grow;
  }
  const int tw = cairo_image_surface_get_width(mTarget);
  const int th = cairo_image_surface_get_height(mTarget);
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
  const int ix1 = std::min(tw, static_cast<int>(std::ceil(x1)) + 1);
  const int iy1 = std::min(th, static_cast<int>(std::ceil(y1)) + 1);
  if (ix1 <= ix0 || iy1 <= iy0) return false;
  *x = ix0, *y = iy0, *w = ix1 - ix0, *h = iy1 - iy0;
  return true;
}

void DrawContext::perform(const Rect& extents, const std::function<void(cairo_t*)>& paint) {
  // Plus-darker works on the window's pixels; inside a translucent view's group it is drawn
  // source-over.
  const bool darker = mState.op == CompositeOp::PlusDarker && cairo_get_group_target(mCr) == mTarget;
  if (!mState.hasShadow && !darker) {
    cairo_save(mCr);
    cairo_set_operator(mCr, nativeOperator(mState.op));
    setSourceColor(mCr);
    paint(mCr);
    cairo_restore(mCr);
    return;
  }
  if (mState.op == CompositeOp::PlusDarker && !darker) {
    const CompositeOp saved = mState.op;
    mState.op = CompositeOp::SourceOver;
    perform(extents, paint);
    mState.op = saved;
    return;
  }
  // The shape (and its shadow) go through a temporary layer in target pixels, clipped as the
  // context is.
  int bx, by, bw, bh;
  if (!deviceBox(extents, &bx, &by, &bw, &bh)) return;
  auto drawShape = [&](cairo_surface_t* layer) {
    cairo_t* lcr = cairo_create(layer);
    cairo_translate(lcr, -bx, -by);
    cairo_matrix_t ctm;
    cairo_get_matrix(mCr, &ctm);
    cairo_transform(lcr, &ctm);
    cairo_rectangle_list_t* clips = cairo_copy_clip_rectangle_list(mCr);
    if (clips->status == CAIRO_STATUS_SUCCESS) {
      for (int i = 0; i < clips->num_rectangles; ++i) {
        const auto& r = clips->rectangles[i];
        cairo_rectangle(lcr, r.x, r.y, r.width, r.height);
      }
      if (clips->num_rectangles > 0) cairo_clip(lcr);
    }
    cairo_rectangle_list_destroy(clips);
    setSourceColor(lcr);
    paint(lcr);
    cairo_destroy(lcr);
  };
  cairo_surface_t* shape = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bw, bh);
  drawShape(shape);
  cairo_surface_t* shadowLayer = nullptr;
  double sdx = 0, sdy = 0;
  if (mState.hasShadow) {
    shadowLayer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bw, bh);
    cairo_t* scr = cairo_create(shadowLayer);
    cairo_set_source_surface(scr, shape, 0, 0);
    cairo_paint(scr);
    cairo_destroy(scr);
    blurAlpha(shadowLayer, static_cast<int>(std::lround(mState.shadow.blurRadius * mScale * 0.5)));
    sdx = std::round(mState.shadow.offset.width * mScale);
    sdy = std::round(-mState.shadow.offset.height * mScale);
  }
  const Color& sc = mState.shadow.color;
  if (darker) {
    // Shadow and shape are drawn source-over into one layer, which then goes onto the target.
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bw, bh);
    cairo_t* lcr = cairo_create(layer);
    if (shadowLayer) {
      cairo_set_source_rgba(lcr, sc.red, sc.green, sc.blue, sc.alpha);
      cairo_mask_surface(lcr, shadowLayer, sdx, sdy);
    }
    cairo_set_source_surface(lcr, shape, 0, 0);
    cairo_paint(lcr);
    cairo_destroy(lcr);
    double cx0, cy0, cx1, cy1;
    cairo_clip_extents(mCr, &cx0, &cy0, &cx1, &cy1);
    int kx, ky, kw, kh;
    PixelRect clip{bx, by, bw, bh};
    if (deviceBox(Rect(cx0, cy0, cx1 - cx0, cy1 - cy0), &kx, &ky, &kw, &kh)) {
      const int x0 = std::max(kx, bx), y0 = std::max(ky, by);
      const int x1 = std::min(kx + kw, bx + bw), y1 = std::min(ky + kh, by + bh);
      clip = PixelRect{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
    }
    cairo_surface_flush(cairo_get_target(mCr));
    compositePlusDarker(mTarget, layer, bx, by, clip);
    cairo_surface_destroy(layer);
  } else {
    cairo_save(mCr);
    cairo_identity_matrix(mCr);
    cairo_set_operator(mCr, nativeOperator(mState.op));
    cairo_set_source_rgba(mCr, sc.red, sc.green, sc.blue, sc.alpha);
    cairo_mask_surface(mCr, shadowLayer, bx + sdx, by + sdy);
    cairo_restore(mCr);
    cairo_save(mCr);
    cairo_set_operator(mCr, nativeOperator(mState.op));
    setSourceColor(mCr);
    paint(mCr);
    cairo_restore(mCr);
  }
  if (shadowLayer) cairo_surface_destroy(shadowLayer);
  cairo_surface_destroy(shape);
}

void DrawContext::fill(const BezierPath& path) {
  if (path.isEmpty()) return;
  perform(path.bounds(), [&](cairo_t* cr) {
    appendPath(cr, path);
    cairo_fill(cr);
  });
}

void DrawContext::stroke(const BezierPath& path) {
  if (path.isEmpty()) return;
  const double w = path.lineWidth();
  perform(path.bounds().insetBy(-w, -w), [&](cairo_t* cr) {
    appendPath(cr, path);
    cairo_set_line_width(cr, w);
    cairo_stroke(cr);
  });
}

void DrawContext::fillGradient(const BezierPath& path, const Color& start, const Color& end,
                               Point from, Point to) {
  if (path.isEmpty()) return;
  perform(path.bounds(), [&](cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_linear(from.x, from.y, to.x, to.y);
    cairo_pattern_add_color_stop_rgba(g, 0, start.red, start.green, start.blue, start.alpha);
    cairo_pattern_add_color_stop_rgba(g, 1, end.red, end.green, end.blue, end.alpha);
    cairo_set_source(cr, g);
    appendPath(cr, path);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  });
}

void DrawContext::fillRect(const Rect& r) { fill(BezierPath::rect(r)); }

void DrawContext::strokeRect(const Rect& r) {
  BezierPath p = BezierPath::rect(r);
  p.setLineWidth(mState.lineWidth);
  stroke(p);
}

void DrawContext::fillOval(const Rect& r) { fill(BezierPath::oval(r)); }

void DrawContext::strokeOval(const Rect& r) {
  BezierPath p = BezierPath::oval(r);
  p.setLineWidth(mState.lineWidth);
  stroke(p);
}

void DrawContext::drawImage(const Image& image, const Rect& dest, const Rect& fromRect,
                            CompositeOp op, double fraction) {
  if (dest.isEmpty()) return;
  const Size is = image.size();
  const Rect from = fromRect.isEmpty() ? Rect(0, 0, is.width, is.height) : fromRect;
  if (from.isEmpty()) return;
  double ppu = 1;
  cairo_surface_t* surface = image.surfaceForScale(mScale, &ppu);
  if (!surface) return;
  const double alpha = std::clamp(fraction, 0.0, 1.0);
  const CompositeOp saved = mState.op;
  mState.op = op;
  perform(dest, [&](cairo_t* cr) {
    cairo_save(cr);
    uprightAt(cr, dest);
    cairo_rectangle(cr, 0, 0, dest.width(), dest.height());
    cairo_clip(cr);
    cairo_scale(cr, dest.width() / from.width(), dest.height() / from.height());
    // Image coordinates grow upwards from the bottom-left corner, as a view's do. The part
    // drawn is cut out first so that filtering never reaches pixels beside it.
    const double top = is.height - from.maxY();
    cairo_scale(cr, 1 / ppu, 1 / ppu);
    cairo_surface_t* part = cairo_surface_create_for_rectangle(
        surface, from.minX() * ppu, top * ppu, from.width() * ppu, from.height() * ppu);
    cairo_set_source_surface(cr, part, 0, 0);
    cairo_surface_destroy(part);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
  });
  mState.op = saved;
}

void DrawContext::drawImageAt(const Image& image, Point p, CompositeOp op, double fraction) {
  const Size s = image.size();
  // In a flipped view the point is the image's top-left corner.
  drawImage(image, Rect(p.x, p.y, s.width, s.height), Rect(), op, fraction);
}

void DrawContext::drawText(const std::string& text, const Rect& rect, const Font& font,
                           TextAlignment alignment, LineBreak lineBreak) {
  if (text.empty() || rect.isEmpty()) return;
  perform(rect, [&](cairo_t* cr) {
    PangoLayout* layout = makeLayout(cr, text, font);
    pango_layout_set_width(layout, static_cast<int>(rect.width() * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, lineBreak == LineBreak::TruncateTail
                                           ? PANGO_ELLIPSIZE_END
                                           : PANGO_ELLIPSIZE_NONE);
    pango_layout_set_alignment(layout, pangoAlignment(alignment));
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    // Centred vertically, on a device pixel.
    showLayoutIn(cr, rect, layout, std::round((rect.height() - h) * 0.5 * mScale) / mScale);
  });
}

Size DrawContext::textSize(const std::string& text, const Font& font) const {
  PangoLayout* layout = makeLayout(mCr, text, font);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  return Size{static_cast<double>(w), static_cast<double>(h)};
}

void DrawContext::drawTextBlock(const std::string& text, const Rect& rect, const Font& font,
                                TextAlignment alignment) {
  if (text.empty() || rect.isEmpty()) return;
  perform(rect, [&](cairo_t* cr) {
    PangoLayout* layout = makeBlockLayout(cr, text, font, rect.width());
    pango_layout_set_alignment(layout, pangoAlignment(alignment));
    showLayoutIn(cr, rect, layout, 0);
  });
}

Size DrawContext::measureTextBlock(const std::string& text, const Font& font, double width) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* layout = makeBlockLayout(cr, text, font, width);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return Size{static_cast<double>(w), static_cast<double>(h)};
}

}  // namespace ui
