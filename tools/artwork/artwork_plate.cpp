// SPDX-License-Identifier: GPL-3.0-or-later
// The panel plate: background, brushed grain, section plates and screws.
#include <cmath>
#include <cstdint>

#include "tools/artwork/artwork_draw.h"
#include "tools/artwork/artwork_panel.h"

namespace artwork {

namespace {

// Deterministic grain: the same picture on every build.
struct Grain {
  uint32_t state = 0x2545F491u;
  double next() {
    state = state * 1664525u + 1013904223u;
    return double(state >> 8) / double(1u << 24);
  }
};

void screw(cairo_t* cr, double x, double y, const Palette& p) {
  cairo_save(cr);
  cairo_arc(cr, x, y + 0.6, 4.2, 0, 2 * M_PI);
  setColour(cr, p.recessEdge);
  cairo_fill(cr);
  cairo_pattern_t* head = cairo_pattern_create_radial(x - 1.2, y - 1.2, 0.5, x, y, 4.2);
  const double base = p.night ? 0.30 : 0.42;
  cairo_pattern_add_color_stop_rgb(head, 0, base + 0.25, base + 0.25, base + 0.27);
  cairo_pattern_add_color_stop_rgb(head, 1, base - 0.2, base - 0.2, base - 0.18);
  cairo_arc(cr, x, y, 4, 0, 2 * M_PI);
  cairo_set_source(cr, head);
  cairo_fill(cr);
  cairo_pattern_destroy(head);
  cairo_set_line_width(cr, 1.1);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_move_to(cr, x - 2.6, y - 1.4);
  cairo_line_to(cr, x + 2.6, y + 1.4);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void section(cairo_t* cr, const editor_geometry::Section& s, const Palette& p) {
  const Rect r = s.frame;
  cairo_save(cr);
  // Soft drop shadow under the plate.
  for (int i = 3; i >= 1; --i) {
    roundedRect(cr, {r.x - i * 0.5, r.y + i, r.w + i, r.h + i * 0.8}, 9);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.10);
    cairo_fill(cr);
  }
  roundedRect(cr, r, 8);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, r.y, 0, r.bottom());
  cairo_pattern_add_color_stop_rgb(fill, 0, p.sectionTop.r, p.sectionTop.g, p.sectionTop.b);
  cairo_pattern_add_color_stop_rgb(fill, 1, p.sectionBottom.r, p.sectionBottom.g,
                                   p.sectionBottom.b);
  cairo_set_source(cr, fill);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(fill);
  cairo_set_line_width(cr, 1);
  setColour(cr, p.sectionEdgeDark);
  cairo_stroke(cr);
  // Bevel: a light top edge.
  roundedRect(cr, {r.x + 1, r.y + 1, r.w - 2, r.h - 2}, 7);
  cairo_pattern_t* bevel = cairo_pattern_create_linear(0, r.y, 0, r.y + 24);
  cairo_pattern_add_color_stop_rgba(bevel, 0, p.sectionEdgeLight.r, p.sectionEdgeLight.g,
                                    p.sectionEdgeLight.b, p.sectionEdgeLight.a);
  cairo_pattern_add_color_stop_rgba(bevel, 1, p.sectionEdgeLight.r, p.sectionEdgeLight.g,
                                    p.sectionEdgeLight.b, 0);
  cairo_set_source(cr, bevel);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_pattern_destroy(bevel);
  // Title band: the name and a thin rule running to the right edge.
  const double ty = r.y + 6;
  text(cr, s.title, {r.x + 12, ty, 200, 14}, Font::SectionTitle, p.sectionTitle, true);
  const double end = r.x + 12 + textWidth(cr, s.title, Font::SectionTitle) + 10;
  cairo_move_to(cr, end, ty + 7.5);
  cairo_line_to(cr, r.right() - 12, ty + 7.5);
  setColour(cr, p.sectionTitle, 0.28);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace

void drawPlate(cairo_t* cr, const Palette& p) {
  const auto& panel = editor_geometry::panel();
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, panel.height);
  cairo_pattern_add_color_stop_rgb(fill, 0, p.panelTop.r, p.panelTop.g, p.panelTop.b);
  cairo_pattern_add_color_stop_rgb(fill, 1, p.panelBottom.r, p.panelBottom.g, p.panelBottom.b);
  cairo_rectangle(cr, 0, 0, panel.width, panel.height);
  cairo_set_source(cr, fill);
  cairo_fill(cr);
  cairo_pattern_destroy(fill);

  // Brushed-metal grain: faint horizontal strokes of random length.
  Grain grain;
  cairo_set_line_width(cr, 0.5);
  for (int i = 0; i < 1400; ++i) {
    const double y = grain.next() * panel.height;
    const double x = grain.next() * panel.width;
    const double length = 30 + grain.next() * 220;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + length, y);
    setColour(cr, p.grain, 0.5 + grain.next());
    cairo_stroke(cr);
  }
  // Header rule under the brand.
  cairo_rectangle(cr, 0, 54, panel.width, 1);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 55, panel.width, 1);
  setColour(cr, p.sectionEdgeLight);
  cairo_fill(cr);

  for (const auto& s : panel.sections) section(cr, s, p);
  for (double x : {7.0, panel.width - 7}) {
    for (double y : {7.0, panel.height - 7}) screw(cr, x, y, p);
  }
}

void drawPanel(cairo_t* cr, const Palette& palette) {
  drawPlate(cr, palette);
  drawAnalyzerScreen(cr, palette);
  drawControlBeds(cr, palette);
  drawKeyboardPicture(cr, palette);
  drawLettering(cr, palette);
}

}  // namespace artwork
