// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: pixel work cairo does not offer (plus-darker, the shadow blur), on ARGB32 image
// surfaces in device pixels. [main thread]
#pragma once

typedef struct _cairo_surface cairo_surface_t;

namespace ui {

// A rectangle of device pixels.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Composites source (whose pixel (0, 0) lies at target pixel (at.x, at.y)) onto target with
// plus-darker, premultiplied: alpha = min(1, Sa + Da), colour = max(0, alpha - ((Sa - S) +
// (Da - D))). Only target pixels inside clip (and inside the target) change.
void compositePlusDarker(cairo_surface_t* target, cairo_surface_t* source, int atX, int atY,
                         const PixelRect& clip);

// Blurs the alpha of an ARGB32 surface in place (three box passes of the given radius in
// pixels, close to a gaussian of that standard deviation); colour channels become 0.
void blurAlpha(cairo_surface_t* surface, int radius);

}  // namespace ui
