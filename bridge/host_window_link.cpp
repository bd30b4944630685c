// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/host_window_link.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>

namespace {

using ErrorHandler = int (*)(Display*, XErrorEvent*);

// The connection whose checked requests are under way, the errors absorbed for it, and the
// handler to hand every other error to.
Display* gCheckedDisplay = nullptr;
uint64_t gAbsorbed = 0;
ErrorHandler gPrevious = nullptr;

int absorbVanishedWindow(Display* display, XErrorEvent* error) {
  if (display == gCheckedDisplay &&
      (error->error_code == BadWindow || error->error_code == BadDrawable)) {
    ++gAbsorbed;
    return 0;
  }
  return gPrevious ? gPrevious(display, error) : 0;
}

Display* dpy(void* display) { return static_cast<Display*>(display); }

}  // namespace

HostWindowLink::~HostWindowLink() {
  unwatch();
  if (mDisplay) XCloseDisplay(dpy(mDisplay));
}

bool HostWindowLink::open(void* uiDisplay) {
  if (mDisplay) return true;
  if (!uiDisplay) return false;
  mDisplay = XOpenDisplay(DisplayString(dpy(uiDisplay)));
  return mDisplay != nullptr;
}

void HostWindowLink::beginChecked() {
  gPrevious = XSetErrorHandler(absorbVanishedWindow);
  gCheckedDisplay = dpy(mDisplay);
  gAbsorbed = 0;
}

bool HostWindowLink::endChecked() {
  XSync(dpy(mDisplay), False);
  XSetErrorHandler(gPrevious);
  gCheckedDisplay = nullptr;
  gPrevious = nullptr;
  mVanishedErrors += gAbsorbed;
  return gAbsorbed == 0;
}

bool HostWindowLink::exists(uint64_t window) {
  if (!mDisplay || window == 0) return false;
  beginChecked();
  XWindowAttributes attributes;
  const Status got = XGetWindowAttributes(dpy(mDisplay), window, &attributes);
  return endChecked() && got != 0;
}

bool HostWindowLink::watch(uint64_t window) {
  unwatch();
  if (!exists(window)) return false;
  mWindow = window;
  mGone = false;
  selectAncestors();
  mViewable = isViewable();
  return !mGone;
}

void HostWindowLink::selectAncestors() {
  Display* d = dpy(mDisplay);
  beginChecked();
  for (uint64_t w : mWatched) {
    if (w != mWindow) XSelectInput(d, w, NoEventMask);
  }
  mWatched.clear();
  ::Window current = mWindow;
  const ::Window root = DefaultRootWindow(d);
  while (current && current != root) {
    mWatched.push_back(current);
    XSelectInput(d, current, StructureNotifyMask);
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, current, &rootReturn, &parent, &children, &count)) break;
    if (children) XFree(children);
    current = parent;
  }
  if (!endChecked()) mGone = true;
}

void HostWindowLink::unwatch() {
  if (!mDisplay || mWatched.empty()) {
    mWatched.clear();
    mWindow = 0;
    return;
  }
  if (!mGone) {
    beginChecked();
    for (uint64_t w : mWatched) XSelectInput(dpy(mDisplay), w, NoEventMask);
    endChecked();
  }
  mWatched.clear();
  mWindow = 0;
  // Events still queued for the windows no longer watched are dropped.
  while (XPending(dpy(mDisplay)) > 0) {
    XEvent event;
    XNextEvent(dpy(mDisplay), &event);
  }
}

std::optional<ui::Point> HostWindowLink::contentTopLeft() {
  if (!mDisplay || !mWindow || mGone) return std::nullopt;
  Display* d = dpy(mDisplay);
  int x = 0, y = 0;
  ::Window child = 0;
  beginChecked();
  const Bool ok = XTranslateCoordinates(d, mWindow, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  if (!endChecked() || !ok) {
    mGone = true;
    return std::nullopt;
  }
  return ui::Point{static_cast<double>(x), static_cast<double>(y)};
}

bool HostWindowLink::isViewable() {
  if (!mDisplay || !mWindow || mGone) return false;
  XWindowAttributes attributes;
  beginChecked();
  const Status got = XGetWindowAttributes(dpy(mDisplay), mWindow, &attributes);
  if (!endChecked() || !got) {
    mGone = true;
    return false;
  }
  return attributes.map_state == IsViewable;
}

void HostWindowLink::setTitle(uint64_t window, const std::string& title) {
  if (!mDisplay || !window || (window == mWindow && mGone)) return;
  Display* d = dpy(mDisplay);
  beginChecked();
  XStoreName(d, window, title.c_str());
  const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, window, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  if (!endChecked() && window == mWindow) mGone = true;
}

void HostWindowLink::keepAbove(uint64_t other) {
  if (!mDisplay || !mWindow || mGone || !other) return;
  beginChecked();
  XSetTransientForHint(dpy(mDisplay), other, mWindow);
  endChecked();
  raise(other);
}

void HostWindowLink::raise(uint64_t other) {
  if (!mDisplay || !other) return;
  beginChecked();
  XRaiseWindow(dpy(mDisplay), other);
  endChecked();
}

bool HostWindowLink::eventsPending() {
  if (!mDisplay) return false;
  Display* d = dpy(mDisplay);
  if (XEventsQueued(d, QueuedAlready) > 0) return true;
  pollfd fd{ConnectionNumber(d), POLLIN, 0};
  return poll(&fd, 1, 0) > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR));
}

HostWindowLink::Changes HostWindowLink::takeChanges() {
  Changes changes;
  if (!mDisplay) return changes;
  Display* d = dpy(mDisplay);
  bool visibility = false;
  bool reparented = false;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    const uint64_t about = event.xany.window;
    if (std::find(mWatched.begin(), mWatched.end(), about) == mWatched.end()) continue;
    switch (event.type) {
      case ConfigureNotify:
        changes.moved = true;
        break;
      case MapNotify:
      case UnmapNotify:
        visibility = true;
        break;
      case ReparentNotify:
        if (event.xreparent.window == mWindow) reparented = true;
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == mWindow) mGone = true;
        break;
      default:
        break;
    }
  }
  if (mGone) {
    mWatched.clear();
    changes.destroyed = true;
    if (mViewable) changes.hidden = true;
    mViewable = false;
    return changes;
  }
  if (reparented) {
    selectAncestors();
    changes.moved = true;
    visibility = true;
  }
  if (visibility) {
    const bool viewable = isViewable();
    if (viewable != mViewable) (viewable ? changes.shown : changes.hidden) = true;
    mViewable = viewable;
  }
  if (mGone) {
    changes.destroyed = true;
    changes.hidden = mViewable;
    mViewable = false;
  }
  return changes;
}
