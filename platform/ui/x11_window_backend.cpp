// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 back end's windows: an X window per ui::Window, shown by copying the backing image
// through a cairo-xlib surface, and the X events of those windows.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/ui/application.h"
#include "platform/ui/event.h"
#include "platform/ui/window.h"
#include "platform/ui/window_backend.h"
#include "platform/ui/x11_window_events.h"

namespace ui {
namespace {

constexpr long kEventMask = ExposureMask | StructureNotifyMask | ButtonPressMask |
                            ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | EnterWindowMask | LeaveWindowMask | FocusChangeMask;
constexpr double kDoubleClickSeconds = 0.4;

class X11WindowBackend;
std::map<::Window, X11WindowBackend*>& registry() {
  static auto* map = new std::map<::Window, X11WindowBackend*>();
  return *map;
}

int toPixels(double logical, double scale) {
  return std::max(1, static_cast<int>(std::ceil(logical * scale - 1e-9)));
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class X11WindowBackend : public WindowBackend {
 public:
  X11WindowBackend(Display* d, ui::Window* owner) : mDisplay(d), mOwner(owner) {}
  ~X11WindowBackend() override { destroy(); }

  bool create(const Rect& r, unsigned style, uint64_t parent, double scale) {
    mScale = scale;
    mEmbedded = parent != 0;
    const ::Window parentWindow = parent ? static_cast<::Window>(parent) : DefaultRootWindow(mDisplay);
    XSetWindowAttributes attributes{};
    attributes.event_mask = kEventMask;
    attributes.background_pixel = BlackPixel(mDisplay, DefaultScreen(mDisplay));
    attributes.bit_gravity = NorthWestGravity;
    const uint64_t errorsBefore = Application::shared().x11ErrorCount();
    mWindow = XCreateWindow(mDisplay, parentWindow, static_cast<int>(r.minX() * (parent ? scale : 1)),
                            static_cast<int>(r.minY() * (parent ? scale : 1)),
                            toPixels(r.width(), scale), toPixels(r.height(), scale), 0,
                            CopyFromParent, InputOutput, CopyFromParent,
                            CWEventMask | CWBackPixel | CWBitGravity, &attributes);
    XSync(mDisplay, False);
    if (!mWindow || Application::shared().x11ErrorCount() != errorsBefore) {
      mWindow = 0;  // the server refused it: there is nothing to destroy
      return false;
    }
    registry()[mWindow] = this;
    mPixelW = toPixels(r.width(), scale);
    mPixelH = toPixels(r.height(), scale);
    if (!mEmbedded) {
      Atom wmDelete = XInternAtom(mDisplay, "WM_DELETE_WINDOW", False);
      XSetWMProtocols(mDisplay, mWindow, &wmDelete, 1);
      XClassHint* hint = XAllocClassHint();
      hint->res_name = const_cast<char*>("tarnwick");
      hint->res_class = const_cast<char*>("Tarnwick");
      XSetClassHint(mDisplay, mWindow, hint);
      XFree(hint);
      if (style == kBorderlessWindowMask) {
        // Motif hints: decorations off.
        const long hints[5] = {2, 0, 0, 0, 0};
        Atom motif = XInternAtom(mDisplay, "_MOTIF_WM_HINTS", False);
        XChangeProperty(mDisplay, mWindow, motif, motif, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(hints), 5);
      }
      mResizable = (style & kResizableWindowMask) != 0;
      mPosition = r.origin;
    }
    return true;
  }

  uint64_t handle() const override { return mWindow; }
  ::Window xid() const { return mWindow; }
  ui::Window* owner() const { return mOwner; }
  double scale() const { return mScale; }

  void show() override {
    if (!mWindow) return;
    if (mEmbedded) {
      XMapWindow(mDisplay, mWindow);
    } else {
      applySizeHints();
      XMapRaised(mDisplay, mWindow);
      XMoveWindow(mDisplay, mWindow, static_cast<int>(mPosition.x), static_cast<int>(mPosition.y));
    }
  }

  void hide() override {
    if (mWindow) XUnmapWindow(mDisplay, mWindow);
  }

  void setTitle(const std::string& title) override {
    if (!mWindow || mEmbedded) return;
    XStoreName(mDisplay, mWindow, title.c_str());
    Atom netName = XInternAtom(mDisplay, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(mDisplay, "UTF8_STRING", False);
    XChangeProperty(mDisplay, mWindow, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
  }

  void setGeometry(Point topLeft, Size size, double scale) override {
    if (!mWindow) return;
    mScale = scale;
    mPixelW = toPixels(size.width, scale);
    mPixelH = toPixels(size.height, scale);
    mPosition = topLeft;
    if (mEmbedded) {
      XResizeWindow(mDisplay, mWindow, mPixelW, mPixelH);
    } else {
      XMoveResizeWindow(mDisplay, mWindow, static_cast<int>(topLeft.x), static_cast<int>(topLeft.y),
                        mPixelW, mPixelH);
      applySizeHints();
    }
  }

  void setSizeHints(Size minLogical, Size maxLogical, double scale) override {
    mMin = minLogical, mMax = maxLogical, mScale = scale;
    applySizeHints();
  }

  void present(cairo_surface_t* backing) override {
    if (!mWindow || !backing) return;
    const int w = cairo_image_surface_get_width(backing);
    const int h = cairo_image_surface_get_height(backing);
    if (!mSurface) {
      mSurface = cairo_xlib_surface_create(mDisplay, mWindow,
                                           DefaultVisual(mDisplay, DefaultScreen(mDisplay)), w, h);
    } else {
      cairo_xlib_surface_set_size(mSurface, w, h);
    }
    cairo_t* cr = cairo_create(mSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, backing, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mSurface);
  }

  void setKeyboardFocus(bool take) override {
    if (!mWindow) return;
    if (take) {
      int revert = 0;
      XGetInputFocus(mDisplay, &mPreviousFocus, &revert);
      XWindowAttributes a;
      if (XGetWindowAttributes(mDisplay, mWindow, &a) && a.map_state == IsViewable) {
        XSetInputFocus(mDisplay, mWindow, RevertToParent, CurrentTime);
      }
    } else {
      if (mPreviousFocus > PointerRoot && mPreviousFocus != mWindow) {
        XSetInputFocus(mDisplay, mPreviousFocus, RevertToParent, CurrentTime);
      } else if (mEmbedded) {
        XWindowAttributes a;
        ::Window root, parent, *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count) &&
            XGetWindowAttributes(mDisplay, parent, &a) && a.map_state == IsViewable) {
          XSetInputFocus(mDisplay, parent, RevertToParent, CurrentTime);
        }
        if (children) XFree(children);
      }
      mPreviousFocus = 0;
    }
  }

  void destroy() override {
    if (mSurface) {
      cairo_surface_destroy(mSurface);
      mSurface = nullptr;
    }
    if (!mWindow) return;
    registry().erase(mWindow);
    if (!mGone) XDestroyWindow(mDisplay, mWindow);
    XFlush(mDisplay);
    mWindow = 0;
  }

  // The X window is gone already (its parent was destroyed).
  void markGone() { mGone = true; }

  // Click counting: a press of the same button within the double-click time and 4 pixels.
  int countClick(int button, int x, int y) {
    const double t = now();
    if (button == mLastButton && t - mLastPress < kDoubleClickSeconds &&
        std::abs(x - mLastX) <= 4 && std::abs(y - mLastY) <= 4) {
      ++mClicks;
    } else {
      mClicks = 1;
    }
    mLastButton = button, mLastPress = t, mLastX = x, mLastY = y;
    return mClicks;
  }
  int clicks() const { return mClicks; }
  int pixelWidth() const { return mPixelW; }
  int pixelHeight() const { return mPixelH; }
  void setPixelSize(int w, int h) { mPixelW = w, mPixelH = h; }

 private:
  void applySizeHints() {
    if (!mWindow || mEmbedded) return;
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize | USPosition;
    hints->x = static_cast<int>(mPosition.x);
    hints->y = static_cast<int>(mPosition.y);
    if (mResizable) {
      hints->min_width = mMin.width > 0 ? toPixels(mMin.width, mScale) : 1;
      hints->min_height = mMin.height > 0 ? toPixels(mMin.height, mScale) : 1;
      hints->max_width = mMax.width > 0 ? toPixels(mMax.width, mScale) : 32767;
      hints->max_height = mMax.height > 0 ? toPixels(mMax.height, mScale) : 32767;
    } else {
      hints->min_width = hints->max_width = mPixelW;
      hints->min_height = hints->max_height = mPixelH;
    }
    XSetWMNormalHints(mDisplay, mWindow, hints);
    XFree(hints);
  }

  Display* mDisplay;
  ui::Window* mOwner;
  ::Window mWindow = 0;
  ::Window mPreviousFocus = 0;
  cairo_surface_t* mSurface = nullptr;
  double mScale = 1;
  bool mEmbedded = false;
  bool mGone = false;
  bool mResizable = false;
  Point mPosition;
  Size mMin, mMax;
  int mPixelW = 1, mPixelH = 1;
  int mLastButton = 0, mLastX = 0, mLastY = 0, mClicks = 0;
  double mLastPress = 0;
};

char32_t functionKey(KeySym sym) {
  switch (sym) {
    case XK_Up: case XK_KP_Up: return kUpArrowKey;
    case XK_Down: case XK_KP_Down: return kDownArrowKey;
    case XK_Left: case XK_KP_Left: return kLeftArrowKey;
    case XK_Right: case XK_KP_Right: return kRightArrowKey;
    case XK_Delete: case XK_KP_Delete: return kDeleteFunctionKey;
    case XK_Home: case XK_KP_Home: return kHomeKey;
    case XK_End: case XK_KP_End: return kEndKey;
    case XK_Return: return kReturnKey;
    case XK_KP_Enter: return kEnterKey;
    case XK_Escape: return kEscapeKey;
    case XK_BackSpace: return kBackspaceKey;
    case XK_Tab: case XK_ISO_Left_Tab: return kTabKey;
    default: return 0;
  }
}

std::string utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

bool isInput(int type) {
  return type == ButtonPress || type == ButtonRelease || type == MotionNotify ||
         type == KeyPress || type == KeyRelease;
}

}  // namespace

std::unique_ptr<WindowBackend> makeX11WindowBackend(ui::Window* window, const Rect& r,
                                                    unsigned style, uint64_t parent,
                                                    double scale) {
  Application& app = Application::shared();
  if (!app.hasDisplay() || !app.checkDisplayThread("window creation")) return nullptr;
  auto backend = std::make_unique<X11WindowBackend>(static_cast<Display*>(app.x11Display()), window);
  if (!backend->create(r, style, parent, scale)) return nullptr;
  return backend;
}

namespace x11 {

uint32_t modifiersFromState(unsigned int state) {
  uint32_t flags = 0;
  if (state & ShiftMask) flags |= kShiftKey;
  if (state & LockMask) flags |= kAlphaLock;
  if (state & ControlMask) flags |= kControlKey;
  if (state & Mod1Mask) flags |= kOptionKey;
  if (state & Mod4Mask) flags |= kCommandKey;
  return flags;
}

void dispatchEvent(Display* display, XEvent* xe) {
  auto found = registry().find(xe->xany.window);
  if (found == registry().end()) return;
  X11WindowBackend* backend = found->second;
  ui::Window* window = backend->owner();
  Application& app = Application::shared();
  if (app.modalWindow() && app.modalWindow() != window && isInput(xe->type)) return;
  const double s = backend->scale();
  const double logicalHeight = window->contentSize().height;
  auto location = [&](int x, int y) { return Point{x / s, logicalHeight - y / s}; };
  Event e;
  e.timestamp = now();
  switch (xe->type) {
    case Expose:
      if (xe->xexpose.count == 0) window->nativeExposed();
      return;
    case ConfigureNotify: {
      const int w = xe->xconfigure.width, h = xe->xconfigure.height;
      if (w != backend->pixelWidth() || h != backend->pixelHeight()) {
        backend->setPixelSize(w, h);
        window->nativeResized(Size{w / s, h / s});
      }
      return;
    }
    case DestroyNotify:
      if (xe->xdestroywindow.window == backend->xid()) {
        backend->markGone();
        window->nativeDestroyed();
      }
      return;
    case ClientMessage:
      if (static_cast<Atom>(xe->xclient.data.l[0]) == XInternAtom(display, "WM_DELETE_WINDOW", False)) {
        window->close();
      }
      return;
    case FocusOut:
      // Only a real move of the focus elsewhere (not the pointer-root hand-over to us).
      if (xe->xfocus.mode == NotifyNormal && xe->xfocus.detail != NotifyPointer &&
          xe->xfocus.detail != NotifyInferior) {
        window->nativeFocusChanged(false);
      }
      return;
    case FocusIn:
      window->nativeFocusChanged(true);
      return;
    case ButtonPress:
    case ButtonRelease: {
      const unsigned b = xe->xbutton.button;
      e.locationInWindow = location(xe->xbutton.x, xe->xbutton.y);
      e.modifierFlags = modifiersFromState(xe->xbutton.state);
      if (b >= 4 && b <= 7) {
        if (xe->type == ButtonRelease) return;
        e.type = EventType::ScrollWheel;
        e.deltaY = b == 4 ? 1 : b == 5 ? -1 : 0;
        e.deltaX = b == 6 ? 1 : b == 7 ? -1 : 0;
      } else {
        e.button = static_cast<int>(b);
        if (xe->type == ButtonPress) {
          e.type = EventType::MouseDown;
          e.clickCount = backend->countClick(e.button, xe->xbutton.x, xe->xbutton.y);
        } else {
          e.type = EventType::MouseUp;
          e.clickCount = backend->clicks();
        }
      }
      break;
    }
    case MotionNotify:
      e.locationInWindow = location(xe->xmotion.x, xe->xmotion.y);
      e.modifierFlags = modifiersFromState(xe->xmotion.state);
      e.type = (xe->xmotion.state & (Button1Mask | Button2Mask | Button3Mask))
                   ? EventType::MouseDragged
                   : EventType::MouseMoved;
      break;
    case LeaveNotify:
      if (xe->xcrossing.mode != NotifyNormal) return;
      e.type = EventType::MouseExited;
      break;
    case KeyPress:
    case KeyRelease: {
      char text[32] = {0};
      KeySym sym = 0;
      const int n = XLookupString(&xe->xkey, text, sizeof text - 1, &sym, nullptr);
      e.type = xe->type == KeyPress ? EventType::KeyDown : EventType::KeyUp;
      e.modifierFlags = modifiersFromState(xe->xkey.state);
      const char32_t fn = functionKey(sym);
      if (fn) {
        e.key = fn;
        e.characters = fn < 0x80 ? std::string(1, static_cast<char>(fn)) : utf8(fn);
      } else {
        e.characters.assign(text, static_cast<size_t>(std::max(0, n)));
        const KeySym base = XLookupKeysym(&xe->xkey, 0);
        e.key = base > 0 && base < 0x100 ? static_cast<char32_t>(base)
                                         : (e.characters.empty() ? 0 : static_cast<unsigned char>(e.characters[0]));
      }
      break;
    }
    default:
      return;
  }
  window->sendEvent(e);
}

}  // namespace x11
}  // namespace ui
