// SPDX-License-Identifier: GPL-3.0-or-later
// What lies under the controls: slider slots with their scales, toggle sockets, wells under the
// fields and menus, button beds; and the slider knob.
#include <cmath>

#include "tools/artwork/artwork_draw.h"
#include "tools/artwork/artwork_panel.h"

namespace artwork {

namespace {

using editor_geometry::Kind;
using editor_geometry::kKnobThickness;

void slot(cairo_t* cr, const editor_geometry::Slot& s, const Palette& p) {
  const Rect f = s.frame;
  const double cx = f.x + f.w / 2;
  const double top = f.y + kKnobThickness / 2, bottom = f.bottom() - kKnobThickness / 2;
  if (s.grooveOnly) {
    recess(cr, {cx - 2, top - 3, 4, bottom - top + 6}, 2, p);
    return;
  }
  // Scale marks both sides; longer at the ends and at zero of a bipolar range.
  const int marks = 10;
  cairo_save(cr);
  cairo_set_line_width(cr, 1);
  for (int i = 0; i <= marks; ++i) {
    const double y = std::round(top + (bottom - top) * i / marks) + 0.5;
    const double value = s.maxValue - (s.maxValue - s.minValue) * i / marks;
    const bool major = i == 0 || i == marks || (s.minValue < 0 && std::fabs(value) < 1e-9);
    const double length = major ? 6 : 3.5;
    setColour(cr, p.tick, major ? 1.4 : 0.9);
    cairo_move_to(cr, cx - 5 - length, y);
    cairo_line_to(cr, cx - 5, y);
    cairo_move_to(cr, cx + 5, y);
    cairo_line_to(cr, cx + 5 + length, y);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  recess(cr, {cx - 2.5, top - 3, 5, bottom - top + 6}, 2.5, p);
}

void socket(cairo_t* cr, const editor_geometry::Control& c, const Palette& p) {
  const Rect f = c.frame;
  switch (c.kind) {
    case Kind::Toggle:
      // The toggle cell lights the rounded rectangle inset by (4, 10), radius 8.
      recess(cr, {f.x + 4, f.y + 10, f.w - 8, f.h - 20}, 8, p);
      break;
    case Kind::NumberField:
    case Kind::TextField:
      recess(cr, f, 3, p);
      break;
    case Kind::PopUp: {
      recess(cr, f, 4, p);
      // The menu mark at the right end.
      const double x = f.right() - 12, y = f.y + f.h / 2;
      cairo_move_to(cr, x - 4, y - 2);
      cairo_line_to(cr, x + 4, y - 2);
      cairo_line_to(cr, x, y + 3);
      cairo_close_path(cr);
      setColour(cr, p.sectionTitle, 0.85);
      cairo_fill(cr);
      break;
    }
    case Kind::PushButton: {
      // A raised cap with a bevel; the button cell draws its title over it.
      roundedRect(cr, {f.x, f.y + 1, f.w, f.h}, 5);
      cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
      cairo_fill(cr);
      roundedRect(cr, f, 5);
      cairo_pattern_t* cap = cairo_pattern_create_linear(0, f.y, 0, f.bottom());
      const Colour top = p.sectionTop, bottom = p.sectionBottom;
      cairo_pattern_add_color_stop_rgb(cap, 0, top.r * 1.55, top.g * 1.55, top.b * 1.55);
      cairo_pattern_add_color_stop_rgb(cap, 1, bottom.r * 1.05, bottom.g * 1.05, bottom.b * 1.05);
      cairo_set_source(cr, cap);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(cap);
      setColour(cr, p.sectionEdgeDark);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void drawControlBeds(cairo_t* cr, const Palette& p) {
  const auto& panel = editor_geometry::panel();
  for (const auto& s : panel.slots) slot(cr, s, p);
  for (const auto& c : panel.controls) {
    if (!c.hidden) socket(cr, c, p);
  }
}

void drawAnalyzerScreen(cairo_t* cr, const Palette& p) {
  const Rect a = editor_geometry::panel().analyzer;
  const Rect screen{a.x - 6, a.y - 4, a.w + 12, a.h + 8};
  recess(cr, screen, 4, p);
  cairo_save(cr);
  roundedRect(cr, {screen.x + 1, screen.y + 1, screen.w - 2, screen.h - 2}, 3);
  setColour(cr, p.screen);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1);
  setColour(cr, p.screenGrid);
  for (int i = 0; i <= 4; ++i) {  // +12, +6, 0, -6, -12 dB
    const double y = std::round(a.y + 7 + (a.h - 14) * i / 4) + 0.5;
    cairo_move_to(cr, a.x - 2, y);
    cairo_line_to(cr, a.right() + 2, y);
  }
  for (int i = 1; i < 10; ++i) {
    const double x = std::round(a.x + a.w * i / 10) + 0.5;
    cairo_move_to(cr, x, a.y);
    cairo_line_to(cr, x, a.bottom());
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

void drawKeyboardPicture(cairo_t* cr, const Palette& p) {
  const Rect k = editor_geometry::panel().keyboard;
  constexpr int kKeys = 24, kWhite = 14;
  // Bezel around the keys.
  recess(cr, {k.x - 5, k.y - 5, k.w + 10, k.h + 9}, 5, p);
  cairo_save(cr);
  cairo_rectangle(cr, k.x, k.y, k.w, k.h);
  setColour(cr, p.keyGap);
  cairo_fill(cr);
  const double whiteWidth = k.w / kWhite;
  for (int i = 0; i < kWhite; ++i) {
    const Rect key{k.x + i * whiteWidth + 0.5, k.y, whiteWidth - 1, k.h - 0.5};
    roundedRect(cr, {key.x, key.y - 4, key.w, key.h + 4}, 3);
    cairo_pattern_t* ivory = cairo_pattern_create_linear(0, key.y, 0, key.bottom());
    cairo_pattern_add_color_stop_rgb(ivory, 0, p.whiteKeyBottom.r, p.whiteKeyBottom.g,
                                     p.whiteKeyBottom.b);
    cairo_pattern_add_color_stop_rgb(ivory, 0.08, p.whiteKeyTop.r, p.whiteKeyTop.g,
                                     p.whiteKeyTop.b);
    cairo_pattern_add_color_stop_rgb(ivory, 0.92, p.whiteKeyTop.r, p.whiteKeyTop.g,
                                     p.whiteKeyTop.b);
    cairo_pattern_add_color_stop_rgb(ivory, 1, p.whiteKeyBottom.r, p.whiteKeyBottom.g,
                                     p.whiteKeyBottom.b);
    cairo_set_source(cr, ivory);
    cairo_fill(cr);
    cairo_pattern_destroy(ivory);
  }
  // Black keys: the columns k × w / 24 of the black keys, over the upper part that the
  // keyboard view highlights as black (down to h × 1.25 / 3 above the bottom edge).
  const double keyWidth = k.w / kKeys;
  const double blackBottom = k.y + k.h - k.h * 1.25 / 3;
  for (int key = 0; key < kKeys; ++key) {
    const int inOctave = key % 12;
    const bool black = inOctave == 1 || inOctave == 3 || inOctave == 6 || inOctave == 8 ||
                       inOctave == 10;
    if (!black) continue;
    const Rect r{k.x + key * keyWidth + 1, k.y, keyWidth - 2, blackBottom - k.y};
    roundedRect(cr, {r.x - 0.5, r.y - 4, r.w + 1, r.h + 5}, 2.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_fill(cr);
    roundedRect(cr, {r.x, r.y - 4, r.w, r.h + 4}, 2);
    setColour(cr, p.blackKey);
    cairo_fill(cr);
    // A glossy top face, shorter than the key.
    roundedRect(cr, {r.x + 2, r.y + 1, r.w - 4, r.h - 7}, 1.5);
    cairo_pattern_t* gloss = cairo_pattern_create_linear(0, r.y, 0, r.bottom());
    cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.04);
    cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.16);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);
  }
  // The shadow of the bezel on the keys' back ends.
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, k.y, 0, k.y + 8);
  cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.45);
  cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0);
  cairo_rectangle(cr, k.x, k.y, k.w, 8);
  cairo_set_source(cr, shade);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);
  cairo_restore(cr);
}

void drawKnob(cairo_t* cr) {
  using editor_geometry::kKnobHeight;
  using editor_geometry::kKnobWidth;
  const Rect cap{1, 1, kKnobWidth - 2, kKnobHeight - 3};
  roundedRect(cr, {cap.x, cap.y + 1.5, cap.w, cap.h}, 3);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_fill(cr);
  roundedRect(cr, cap, 3);
  cairo_pattern_t* metal = cairo_pattern_create_linear(0, cap.y, 0, cap.bottom());
  cairo_pattern_add_color_stop_rgb(metal, 0, 0.93, 0.93, 0.94);
  cairo_pattern_add_color_stop_rgb(metal, 0.45, 0.72, 0.73, 0.75);
  cairo_pattern_add_color_stop_rgb(metal, 0.55, 0.60, 0.61, 0.63);
  cairo_pattern_add_color_stop_rgb(metal, 1, 0.80, 0.80, 0.82);
  cairo_set_source(cr, metal);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(metal);
  cairo_set_line_width(cr, 0.8);
  cairo_set_source_rgba(cr, 0.1, 0.1, 0.12, 0.9);
  cairo_stroke(cr);
  // Index line across the middle, in the panel's amber.
  const double y = cap.y + cap.h / 2;
  cairo_rectangle(cr, cap.x + 2, y - 0.75, cap.w - 4, 1.5);
  cairo_set_source_rgb(cr, 0.957 * 0.8, 0.698 * 0.8, 0.290 * 0.8);
  cairo_fill(cr);
}

}  // namespace artwork
