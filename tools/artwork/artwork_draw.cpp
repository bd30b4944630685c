// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/artwork_draw.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace artwork {

namespace {

struct FontStyle {
  const char* description;
  double letterSpacing;  // logical units
};

FontStyle styleOf(Font font) {
  switch (font) {
    case Font::Brand: return {"DejaVu Sans Condensed Bold 25px", 7.0};
    case Font::SectionTitle: return {"DejaVu Sans Condensed Bold 10.5px", 2.2};
    case Font::Caption: return {"DejaVu Sans Condensed Bold 9px", 0.8};
    case Font::Small: return {"DejaVu Sans Condensed 8.5px", 0.3};
    case Font::Glyph: return {"DejaVu Sans 12px", 0.0};
  }
  return {"DejaVu Sans 9px", 0.0};
}

PangoLayout* makeLayout(cairo_t* cr, const char* utf8, Font font) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  // Glyph outlines at the device scale, no hinting: the same shapes at 1x and 2x.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);

  const FontStyle s = styleOf(font);
  PangoFontDescription* description = pango_font_description_from_string(s.description);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes,
                         pango_attr_letter_spacing_new(int(s.letterSpacing * PANGO_SCALE)));
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  pango_layout_set_text(layout, utf8, -1);
  return layout;
}

}  // namespace

void setColour(cairo_t* cr, const Colour& c, double alphaScale) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a * alphaScale);
}

void roundedRect(cairo_t* cr, Rect r, double radius) {
  radius = std::min({radius, r.w / 2, r.h / 2});
  if (radius <= 0) {
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    return;
  }
  const double pi = M_PI;
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.right() - radius, r.y + radius, radius, -pi / 2, 0);
  cairo_arc(cr, r.right() - radius, r.bottom() - radius, radius, 0, pi / 2);
  cairo_arc(cr, r.x + radius, r.bottom() - radius, radius, pi / 2, pi);
  cairo_arc(cr, r.x + radius, r.y + radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

double textWidth(cairo_t* cr, const char* utf8, Font font) {
  PangoLayout* layout = makeLayout(cr, utf8, font);
  PangoRectangle ink, logical;
  pango_layout_get_extents(layout, &ink, &logical);
  g_object_unref(layout);
  return double(logical.width) / PANGO_SCALE - styleOf(font).letterSpacing;
}

void text(cairo_t* cr, const char* utf8, Rect r, Font font, const Colour& colour,
          bool leftAligned) {
  PangoLayout* layout = makeLayout(cr, utf8, font);
  PangoRectangle ink, logical;
  pango_layout_get_extents(layout, &ink, &logical);
  // Letter spacing adds space after the last glyph too: leave it out when centring.
  const double width = double(logical.width) / PANGO_SCALE - styleOf(font).letterSpacing;
  const double height = double(logical.height) / PANGO_SCALE;
  const double x = leftAligned ? r.x : r.x + (r.w - width) / 2;
  const double y = r.y + (r.h - height) / 2;
  cairo_save(cr);
  setColour(cr, colour);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

void recess(cairo_t* cr, Rect r, double radius, const Palette& p) {
  cairo_save(cr);
  // Lower lip catching the light.
  roundedRect(cr, {r.x, r.y + 0.5, r.w, r.h + 0.5}, radius);
  setColour(cr, p.recessEdge);
  cairo_fill(cr);
  roundedRect(cr, r, radius);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, r.y, 0, r.bottom());
  cairo_pattern_add_color_stop_rgba(fill, 0, p.recess.r * 0.6, p.recess.g * 0.6, p.recess.b * 0.6,
                                    1);
  cairo_pattern_add_color_stop_rgba(fill, 1, p.recess.r * 1.4, p.recess.g * 1.4, p.recess.b * 1.4,
                                    1);
  cairo_set_source(cr, fill);
  cairo_fill(cr);
  cairo_pattern_destroy(fill);
  cairo_restore(cr);
}

}  // namespace artwork
