// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/artwork_palette.h"

Palette dayPalette() {
  Palette p{};
  p.panelTop = {0.200, 0.205, 0.215};
  p.panelBottom = {0.120, 0.122, 0.130};
  p.sectionTop = {0.175, 0.178, 0.188};
  p.sectionBottom = {0.140, 0.142, 0.150};
  p.sectionEdgeLight = {1, 1, 1, 0.10};
  p.sectionEdgeDark = {0, 0, 0, 0.55};
  p.sectionTitle = {0.957, 0.698, 0.290};
  p.caption = {0.855, 0.860, 0.870};
  p.captionSmall = {0.600, 0.610, 0.625};
  p.brand = {0.940, 0.935, 0.920};
  p.brandAccent = {0.957, 0.698, 0.290};
  p.recess = {0.060, 0.062, 0.068};
  p.recessEdge = {1, 1, 1, 0.09};
  p.tick = {0.700, 0.705, 0.715, 0.55};
  p.screen = {0.030, 0.050, 0.040};
  p.screenGrid = {0.30, 0.75, 0.45, 0.16};
  p.whiteKeyTop = {0.975, 0.965, 0.935};
  p.whiteKeyBottom = {0.880, 0.865, 0.830};
  p.blackKey = {0.070, 0.070, 0.078};
  p.keyGap = {0.30, 0.29, 0.28};
  p.grain = {1, 1, 1, 0.018};
  p.night = false;
  return p;
}

Palette nightPalette() {
  Palette p{};
  p.panelTop = {0.085, 0.110, 0.170};
  p.panelBottom = {0.030, 0.040, 0.070};
  p.sectionTop = {0.080, 0.100, 0.155};
  p.sectionBottom = {0.052, 0.066, 0.108};
  p.sectionEdgeLight = {0.6, 0.75, 1, 0.12};
  p.sectionEdgeDark = {0, 0, 0, 0.6};
  p.sectionTitle = {0.520, 0.800, 0.960};
  p.caption = {0.760, 0.820, 0.910};
  p.captionSmall = {0.480, 0.560, 0.680};
  p.brand = {0.850, 0.900, 0.980};
  p.brandAccent = {0.520, 0.800, 0.960};
  p.recess = {0.015, 0.022, 0.040};
  p.recessEdge = {0.6, 0.75, 1, 0.10};
  p.tick = {0.560, 0.660, 0.800, 0.55};
  p.screen = {0.010, 0.025, 0.035};
  p.screenGrid = {0.35, 0.65, 0.85, 0.16};
  p.whiteKeyTop = {0.860, 0.880, 0.920};
  p.whiteKeyBottom = {0.720, 0.750, 0.810};
  p.blackKey = {0.030, 0.036, 0.055};
  p.keyGap = {0.16, 0.19, 0.26};
  p.grain = {0.7, 0.8, 1, 0.016};
  p.night = true;
  return p;
}
