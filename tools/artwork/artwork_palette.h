// SPDX-License-Identifier: GPL-3.0-or-later
// The two colour schemes of the panel: day (warm graphite, amber lettering) and night (blue-black,
// moonlit lettering). The night picture is laid over the day one with a time-of-day fraction, so
// both use the same geometry and only their colours differ.
#pragma once

struct Colour {
  double r, g, b, a = 1.0;
};

struct Palette {
  Colour panelTop, panelBottom;        // the panel's vertical gradient
  Colour sectionTop, sectionBottom;    // raised section plates
  Colour sectionEdgeLight, sectionEdgeDark;
  Colour sectionTitle;                 // section names
  Colour caption, captionSmall;        // control names, small print
  Colour brand, brandAccent;           // product name, its accent rule
  Colour recess, recessEdge;           // slots, sockets and wells
  Colour tick;                         // scale marks
  Colour screen, screenGrid;           // analyser display
  Colour whiteKeyTop, whiteKeyBottom, blackKey, keyGap;
  Colour grain;                        // brushed texture strokes
  bool night;
};

Palette dayPalette();
Palette nightPalette();
