// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-make-artwork <output folder>: draws the editor's pictures at 1x and 2x
// (tkwx-128 day panel, tkwx-129 night panel, tkwx-133 slider knob; "<name>.png" and
// "<name>@2x.png") and writes the layout resource "Tarnwick_CocoaView.plist", all from the
// editor geometry. Exit status 0 on success, 1 with a message on stderr otherwise.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "editor/layout/editor_geometry.h"
#include "tools/artwork/artwork_panel.h"
#include "tools/artwork/layout_writer.h"

namespace {

template <typename Draw>
bool render(const std::string& path, double width, double height, double scale, Draw draw) {
  cairo_surface_t* surface = cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, int(std::lround(width * scale)), int(std::lround(height * scale)));
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  draw(cr);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "tarnwick-make-artwork: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnwick-make-artwork <output folder>\n");
    return 1;
  }
  const std::string folder = argv[1];
  const auto& panel = editor_geometry::panel();
  bool ok = true;
  for (double scale : {1.0, 2.0}) {
    const std::string suffix = scale == 1.0 ? ".png" : "@2x.png";
    ok &= render(folder + "/tkwx-128" + suffix, panel.width, panel.height, scale,
                 [](cairo_t* cr) { artwork::drawPanel(cr, dayPalette()); });
    ok &= render(folder + "/tkwx-129" + suffix, panel.width, panel.height, scale,
                 [](cairo_t* cr) { artwork::drawPanel(cr, nightPalette()); });
    ok &= render(folder + "/tkwx-133" + suffix, editor_geometry::kKnobWidth,
                 editor_geometry::kKnobHeight, scale, [](cairo_t* cr) { artwork::drawKnob(cr); });
  }
  std::string message;
  if (!writeLayoutResource(folder + "/Tarnwick_CocoaView.plist", &message)) {
    std::fprintf(stderr, "tarnwick-make-artwork: %s\n", message.c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}
