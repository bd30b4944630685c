// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's background pictures ("tkwx-128" by day, "tkwx-129" by night) and the slider knob
// ("tkwx-133"), drawn from the editor geometry at any scale.
#pragma once

#include <cairo.h>

#include "tools/artwork/artwork_palette.h"

namespace artwork {

// Draws the whole panel in logical units (the caller scales the context).
void drawPanel(cairo_t* cr, const Palette& palette);
// Parts of the panel, in drawing order.
void drawPlate(cairo_t* cr, const Palette& palette);
void drawControlBeds(cairo_t* cr, const Palette& palette);
void drawKeyboardPicture(cairo_t* cr, const Palette& palette);
void drawAnalyzerScreen(cairo_t* cr, const Palette& palette);
void drawLettering(cairo_t* cr, const Palette& palette);

// The slider knob, logical size kKnobWidth × kKnobHeight, transparent around the cap.
void drawKnob(cairo_t* cr);

}  // namespace artwork
