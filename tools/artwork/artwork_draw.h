// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing helpers of the artwork generator, over cairo and pango. All coordinates are logical
// units; the context carries the scale.
#pragma once

#include <cairo.h>

#include "editor/layout/editor_geometry.h"
#include "tools/artwork/artwork_palette.h"

namespace artwork {

using editor_geometry::Rect;

void setColour(cairo_t* cr, const Colour& c, double alphaScale = 1.0);
void roundedRect(cairo_t* cr, Rect r, double radius);

enum class Font { Brand, SectionTitle, Caption, Small, Glyph };
// Draws text centred in r (vertically centred; horizontally centred unless leftAligned), with
// the letter spacing that suits font.
void text(cairo_t* cr, const char* utf8, Rect r, Font font, const Colour& colour,
          bool leftAligned = false);
// The width the text takes, in logical units.
double textWidth(cairo_t* cr, const char* utf8, Font font);

// A recessed well: dark fill, dark inner top edge, light lower lip.
void recess(cairo_t* cr, Rect r, double radius, const Palette& p);

}  // namespace artwork
