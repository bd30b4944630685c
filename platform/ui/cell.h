// SPDX-License-Identifier: GPL-3.0-or-later
// A cell: the value, look and mouse tracking of a control (or of one element of a matrix).
// Values are held as a double; intValue truncates towards zero, stringValue of a numeric cell
// is the shortest decimal text.
//
// Tracking is event driven (no nested event loop, so that a host's idle-driven UI never
// blocks): the control hands the cell its mouse-down, every drag and the mouse-up through
// trackMouse. The base trackMouse calls startTrackingAt on the down, continueTracking on each
// drag and stopTracking on the up, and calls beginGesture exactly once when an interaction
// starts and endGesture exactly once when it ends (also when it is cut short: the window
// closes, the view leaves it). Subclasses announce interactions by overriding beginGesture and
// endGesture, not by wrapping trackMouse. [main thread]
#pragma once

#include <string>

#include "platform/ui/color.h"
#include "platform/ui/event.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/object.h"

namespace ui {

class DrawContext;
class View;

class Cell : public Object {
 public:
  Cell();
  ~Cell() override;

  View* controlView() const { return mControlView; }
  void setControlView(View* view) { mControlView = view; }

  // Values.
  virtual double doubleValue() const { return mValue; }
  virtual void setDoubleValue(double value);
  float floatValue() const { return static_cast<float>(doubleValue()); }
  void setFloatValue(float value) { setDoubleValue(value); }
  int intValue() const;
  void setIntValue(int value) { setDoubleValue(value); }
  virtual std::string stringValue() const;
  virtual void setStringValue(const std::string& text);
  int state() const { return mState; }  // 0 off, 1 on
  virtual void setState(int state);

  // The value a double-click or a Ctrl- or command-click restores (controls that have one).
  bool hasDefaultValue() const { return mHasDefault; }
  double defaultValue() const { return mDefault; }
  void setDefaultValue(double value) { mDefault = value, mHasDefault = true; }
  void clearDefaultValue() { mHasDefault = false; }

  // Look.
  const std::string& title() const { return mTitle; }
  void setTitle(const std::string& title);
  const std::string& alternateTitle() const { return mAlternateTitle; }
  void setAlternateTitle(const std::string& title);
  const Font& font() const { return mFont; }
  void setFont(const Font& font);
  TextAlignment alignment() const { return mAlignment; }
  void setAlignment(TextAlignment a);
  Color textColor() const { return mTextColor; }
  void setTextColor(const Color& c);
  bool isEnabled() const { return mEnabled; }
  void setEnabled(bool enabled);
  bool isHighlighted() const { return mHighlighted; }
  void setHighlighted(bool flag);
  bool isContinuous() const { return mContinuous; }  // action on every drag, not only the up
  void setContinuous(bool flag) { mContinuous = flag; }
  int tag() const { return mTag; }
  void setTag(int tag) { mTag = tag; }

  // Drawing, in the control view's (flipped) coordinates. drawWithFrame draws the bezel and
  // calls drawInteriorWithFrame; both default to a plain look.
  virtual void drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView);
  virtual void drawInteriorWithFrame(DrawContext& context, const Rect& cellFrame,
                                     View* controlView);

  // Tracking (see the contract above). point arguments are in the control view's coordinates.
  // trackMouse returns, for the mouse-up, whether it ended inside cellFrame; for the other
  // events, whether tracking goes on.
  virtual bool trackMouse(const Event& event, const Rect& cellFrame, View* controlView,
                          bool untilMouseUp);
  virtual bool startTrackingAt(Point startPoint, View* controlView);
  virtual bool continueTracking(Point lastPoint, Point currentPoint, View* controlView);
  virtual void stopTracking(Point lastPoint, Point stopPoint, View* controlView, bool mouseIsUp);
  bool isTracking() const { return mTracking; }
  // Ends an interaction that the mouse cannot finish (window closed, control removed): the
  // cell stops tracking and endGesture is called. Nothing when not tracking.
  void cancelTracking();

  // Interaction hooks: called once at the start and once at the end of every user interaction
  // that may change the value (mouse tracking, a wheel step, a menu shown, a typed entry).
  virtual void beginGesture() {}
  virtual void endGesture() {}

  // Scroll wheel over the cell; true when handled (the value may have changed).
  virtual bool scrollWheel(const Event& event, const Rect& cellFrame, View* controlView);
  // Text shown while the pointer rests over the cell; empty: none.
  virtual std::string hoverText() const { return {}; }

  // The cell's frame while trackMouse runs (valid between start and stop).
  const Rect& trackingFrame() const { return mTrackingFrame; }
  // The modifiers and click count of the event being tracked.
  uint32_t trackingModifiers() const { return mTrackingModifiers; }
  int trackingClickCount() const { return mTrackingClicks; }

 protected:
  void redraw();  // marks the control view for redisplay
  // Sends the action of the control view (a Control or a Matrix) with it as sender.
  bool sendAction();

 private:
  View* mControlView = nullptr;
  double mValue = 0;
  int mState = 0;
  double mDefault = 0;
  bool mHasDefault = false;
  std::string mTitle;
  std::string mAlternateTitle;
  Font mFont;
  TextAlignment mAlignment = TextAlignment::Center;
  Color mTextColor = Color::white(1);
  bool mEnabled = true;
  bool mHighlighted = false;
  bool mContinuous = true;
  int mTag = 0;
  bool mTracking = false;
  Rect mTrackingFrame;
  Point mLastPoint;
  uint32_t mTrackingModifiers = 0;
  int mTrackingClicks = 1;
};

}  // namespace ui
