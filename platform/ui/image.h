// SPDX-License-Identifier: GPL-3.0-or-later
// A bitmap image read from a PNG file. Its size is in logical units: a file "name@2x.png"
// beside "name.png" is the same image at twice the pixel density and is used when drawing at a
// scale above 1.25; a file given as "name@2x.png" alone has half its pixel size as logical size.
// Immutable once loaded; may be shared between threads, drawn on the main thread.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class Image {
 public:
  // Reads the PNG at path (and its @2x companion when present). Null when the file is missing or
  // not a readable PNG; error (may be null) then says why. [any thread]
  static std::shared_ptr<Image> loadPNG(const std::string& path, std::string* error = nullptr);
  // Wraps a cairo image surface (ARGB32 or RGB24) drawn at pixelsPerUnit pixels per logical
  // unit; takes a reference. [any thread]
  static std::shared_ptr<Image> fromSurface(cairo_surface_t* surface, double pixelsPerUnit = 1);

  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  Size size() const { return mSize; }  // logical units
  const std::string& path() const { return mPath; }
  // The best representation for drawing at scale, and its pixels per logical unit.
  cairo_surface_t* surfaceForScale(double scale, double* pixelsPerUnit) const;

 private:
  Image() = default;
  Size mSize;
  std::string mPath;
  cairo_surface_t* mSurface1x = nullptr;  // may be null when only a 2x file exists
  cairo_surface_t* mSurface2x = nullptr;  // may be null
};

}  // namespace ui
