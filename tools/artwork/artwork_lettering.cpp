// SPDX-License-Identifier: GPL-3.0-or-later
// The lettering: product name with its day or night emblem, and every caption of the geometry.
#include <cmath>

#include "tools/artwork/artwork_draw.h"
#include "tools/artwork/artwork_panel.h"

namespace artwork {

namespace {

void sun(cairo_t* cr, double x, double y, const Palette& p) {
  cairo_save(cr);
  setColour(cr, p.brandAccent);
  cairo_arc(cr, x, y, 4.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4;
    cairo_move_to(cr, x + 7 * std::cos(a), y + 7 * std::sin(a));
    cairo_line_to(cr, x + 9.5 * std::cos(a), y + 9.5 * std::sin(a));
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

void moon(cairo_t* cr, double x, double y, const Palette& p) {
  cairo_save(cr);
  cairo_push_group(cr);
  setColour(cr, p.brandAccent);
  cairo_arc(cr, x, y, 8, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_arc(cr, x + 4.5, y - 3, 7, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pop_group_to_source(cr);
  cairo_paint(cr);
  // A few stars across the header.
  static const double stars[][3] = {{380, 14, 1.0}, {442, 38, 0.7}, {504, 12, 0.8},
                                    {700, 46, 0.6}, {770, 10, 0.9}, {300, 44, 0.6}};
  for (const auto& s : stars) {
    cairo_arc(cr, s[0], s[1], s[2], 0, 2 * M_PI);
    setColour(cr, p.caption, 0.7);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

}  // namespace

void drawLettering(cairo_t* cr, const Palette& p) {
  const auto& panel = editor_geometry::panel();
  const Rect t = panel.title;
  const double emblem = t.x + 12;
  if (p.night) {
    moon(cr, emblem, t.y + t.h / 2, p);
  } else {
    sun(cr, emblem, t.y + t.h / 2, p);
  }
  const double nameX = emblem + 22;
  text(cr, "TARNWICK", {nameX, t.y, t.w, t.h}, Font::Brand, p.brand, true);
  const double nameWidth = textWidth(cr, "TARNWICK", Font::Brand);
  text(cr, "VOCODER  ·  SYNTH", {nameX + nameWidth + 16, t.y + 4, 160, t.h}, Font::SectionTitle,
       p.captionSmall, true);
  for (const auto& c : panel.captions) {
    switch (c.style) {
      case editor_geometry::Caption::Name:
        text(cr, c.text, c.frame, Font::Caption, p.caption);
        break;
      case editor_geometry::Caption::Small:
        text(cr, c.text, c.frame, Font::Small, p.captionSmall);
        break;
      case editor_geometry::Caption::Title:
        text(cr, c.text, c.frame, Font::SectionTitle, p.sectionTitle);
        break;
    }
  }
}

}  // namespace artwork
