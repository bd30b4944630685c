// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/image.h"

#include <cairo.h>
#include <sys/stat.h>

namespace ui {
namespace {

bool isFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

cairo_surface_t* readPNG(const std::string& path, std::string* error) {
  if (!isFile(path)) {
    if (error) *error = "no such file: " + path;
    return nullptr;
  }
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    if (error) *error = "not a readable PNG: " + path;
    cairo_surface_destroy(s);
    return nullptr;
  }
  return s;
}

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::shared_ptr<Image> Image::loadPNG(const std::string& path, std::string* error) {
  std::shared_ptr<Image> image(new Image());
  image->mPath = path;
  if (endsWith(path, "@2x.png")) {
    image->mSurface2x = readPNG(path, error);
    if (!image->mSurface2x) return nullptr;
  } else {
    image->mSurface1x = readPNG(path, error);
    if (!image->mSurface1x) return nullptr;
    if (endsWith(path, ".png")) {
      const std::string twice = path.substr(0, path.size() - 4) + "@2x.png";
      if (isFile(twice)) image->mSurface2x = readPNG(twice, nullptr);
    }
  }
  if (image->mSurface1x) {
    image->mSize = Size{static_cast<double>(cairo_image_surface_get_width(image->mSurface1x)),
                        static_cast<double>(cairo_image_surface_get_height(image->mSurface1x))};
  } else {
    image->mSize = Size{cairo_image_surface_get_width(image->mSurface2x) * 0.5,
                        cairo_image_surface_get_height(image->mSurface2x) * 0.5};
  }
  return image;
}

std::shared_ptr<Image> Image::fromSurface(cairo_surface_t* surface, double pixelsPerUnit) {
  if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || pixelsPerUnit <= 0) {
    return nullptr;
  }
  std::shared_ptr<Image> image(new Image());
  cairo_surface_reference(surface);
  const double w = cairo_image_surface_get_width(surface) / pixelsPerUnit;
  const double h = cairo_image_surface_get_height(surface) / pixelsPerUnit;
  if (pixelsPerUnit >= 1.5) {
    image->mSurface2x = surface;
  } else {
    image->mSurface1x = surface;
  }
  image->mSize = Size{w, h};
  return image;
}

Image::~Image() {
  if (mSurface1x) cairo_surface_destroy(mSurface1x);
  if (mSurface2x) cairo_surface_destroy(mSurface2x);
}

cairo_surface_t* Image::surfaceForScale(double scale, double* pixelsPerUnit) const {
  cairo_surface_t* chosen = (scale > 1.25 && mSurface2x) || !mSurface1x ? mSurface2x : mSurface1x;
  if (!chosen) return nullptr;
  *pixelsPerUnit = cairo_image_surface_get_width(chosen) / mSize.width;
  return chosen;
}

}  // namespace ui
