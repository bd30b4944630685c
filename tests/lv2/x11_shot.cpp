// SPDX-License-Identifier: GPL-3.0-or-later
// lv2_x11_shot <out.png> [window id]: writes what the X server shows of a window (the root window
// by default) as PNG, for the checks in hosts we did not write. Exit status 0 on success, 1 for
// a usage error, 2 when there is no display, no such window or the file cannot be written.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: lv2_x11_shot <out.png> [window id]\n");
    return 1;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "lv2_x11_shot: no display\n");
    return 2;
  }
  // The window's area as the screen shows it, read from the root window (a window of another
  // depth or one partly covered reads the same way).
  const Window root = DefaultRootWindow(display);
  const Window window = argc == 3 ? std::strtoul(argv[2], nullptr, 0) : root;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return 2;
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
  XWindowAttributes screen;
  XGetWindowAttributes(display, root, &screen);
  if (x < 0 || y < 0 || x + attributes.width > screen.width || y + attributes.height > screen.height) {
    std::fprintf(stderr, "lv2_x11_shot: the window is not wholly on the screen\n");
    return 2;
  }
  XImage* image = XGetImage(display, root, x, y, attributes.width, attributes.height, AllPlanes,
                            ZPixmap);
  if (!image) return 2;
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, attributes.width, attributes.height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < attributes.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < attributes.width; ++x) row[x] = XGetPixel(image, x, y) & 0xFFFFFF;
  }
  cairo_surface_mark_dirty(surface);
  const bool ok = cairo_surface_write_to_png(surface, argv[1]) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  XDestroyImage(image);
  XCloseDisplay(display);
  return ok ? 0 : 2;
}
