// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing context handed to View::drawRect: cairo underneath, in the view's coordinates
// (bottom-up unless the view is flipped), clipped to the view, at the window's scale factor.
// Every operation honours the current colour, compositing operation and shadow. Text and
// images are drawn upright whatever the flipping. Valid only during the drawRect call that
// received it. [main thread]
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/bezier_path.h"
#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/shadow.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class Image;

// Compositing operations, numbered as the platform's compositing constants are.
enum class CompositeOp {
  Clear = 0,
  Copy = 1,
  SourceOver = 2,
  SourceIn = 3,
  SourceOut = 4,
  SourceAtop = 5,
  DestinationOver = 6,
  DestinationIn = 7,
  DestinationOut = 8,
  DestinationAtop = 9,
  XOR = 10,
  PlusDarker = 11,   // result = max(0, S + D - 1) per channel (premultiplied form), alpha added
  Highlight = 12,    // drawn as source-over
  PlusLighter = 13,  // result = min(1, S + D) per channel and alpha
};

// The operation with that number; source-over for numbers outside 0 to 13.
CompositeOp compositeOpFromNumber(int number);

class DrawContext {
 public:
  // target must be a cairo image surface (ARGB32) without a device scale; cr draws on it, its
  // transform mapping the view's logical coordinates to target pixels (scale included).
  DrawContext(cairo_t* cr, cairo_surface_t* target, double scale);
  DrawContext(const DrawContext&) = delete;
  DrawContext& operator=(const DrawContext&) = delete;

  double scaleFactor() const { return mScale; }
  cairo_t* cairo() const { return mCr; }  // for drawing this interface does not offer

  // Graphics state: colour, line width, compositing, shadow, transform and clip.
  void saveGState();
  void restoreGState();

  void setColor(const Color& c);
  void setCompositeOp(CompositeOp op);
  CompositeOp compositeOp() const { return mState.op; }
  void setShadow(const Shadow& s);
  void clearShadow();
  void setLineWidth(double width);

  void clipToRect(const Rect& r);
  void translate(double dx, double dy);

  void fill(const BezierPath& path);
  void stroke(const BezierPath& path);  // with the path's line width
  // Fills with a linear gradient from start (at point from) to end (at point to).
  void fillGradient(const BezierPath& path, const Color& start, const Color& end, Point from,
                    Point to);
  void fillRect(const Rect& r);
  void strokeRect(const Rect& r);
  void fillOval(const Rect& r);
  void strokeOval(const Rect& r);

  // Draws the part from of image (whole image when from is empty) into dest, scaled, with op
  // and the alpha multiplied by fraction (0 to 1).
  void drawImage(const Image& image, const Rect& dest, const Rect& from = Rect(),
                 CompositeOp op = CompositeOp::SourceOver, double fraction = 1.0);
  // Draws image with its own size at point (its bottom-left corner in a non-flipped view).
  void drawImageAt(const Image& image, Point point, CompositeOp op = CompositeOp::SourceOver,
                   double fraction = 1.0);

  // Draws one line of text (UTF-8) in rect, vertically centred, in the current colour.
  void drawText(const std::string& text, const Rect& rect, const Font& font,
                TextAlignment alignment = TextAlignment::Left,
                LineBreak lineBreak = LineBreak::TruncateTail);
  // The size one line of text takes.
  Size textSize(const std::string& text, const Font& font) const;
  // Draws text (UTF-8, several lines) wrapped at word boundaries to rect's width, from its top.
  void drawTextBlock(const std::string& text, const Rect& rect, const Font& font,
                     TextAlignment alignment = TextAlignment::Left);
  // The size text takes wrapped to width, without a context. [any thread]
  static Size measureTextBlock(const std::string& text, const Font& font, double width);

 private:
  struct State {
    Color color;
    CompositeOp op = CompositeOp::SourceOver;
    bool hasShadow = false;
    Shadow shadow;
    double lineWidth = 1;
  };
  // Draws what paint puts on a cairo context (in this view's coordinates, current source set)
  // with the current shadow and compositing; extents are the user-space extents it touches.
  void perform(const Rect& extents, const std::function<void(cairo_t*)>& paint);
  // extents (user space, grown by the shadow) in target pixels, limited to the target.
  bool deviceBox(const Rect& extents, int* x, int* y, int* w, int* h) const;
  void setSourceColor(cairo_t* cr) const;

  cairo_t* mCr;
  cairo_surface_t* mTarget;
  double mScale;
  State mState;
  std::vector<State> mSaved;
};

}  // namespace ui
