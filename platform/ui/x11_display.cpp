// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/x11_display.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/application.h"
#include "platform/ui/event.h"
#include "platform/ui/x11_window_events.h"

namespace ui::x11 {
namespace {

std::atomic<uint64_t> gErrors{0};
std::atomic<uint64_t> gForeign{0};

int logError(Display* display, XErrorEvent* e) {
  char text[256] = {0};
  XGetErrorText(display, e->error_code, text, sizeof text - 1);
  std::fprintf(stderr, "vxui: X error %d (%s), request %d.%d, resource 0x%lx (ignored)\n",
               e->error_code, text, e->request_code, e->minor_code, e->resourceid);
  std::fflush(stderr);
  gErrors.fetch_add(1);
  return 0;
}

int logIOError(Display*) {
  std::fprintf(stderr, "vxui: the connection to the X server is lost\n");
  std::fflush(stderr);
  return 0;
}

}  // namespace

void* open(const char* name, std::string* error) {
  Display* display = XOpenDisplay(name);
  if (!display) {
    if (error) {
      const char* shown = name ? name : std::getenv("DISPLAY");
      *error = std::string("cannot open the X display \"") + (shown ? shown : "") + "\"";
    }
    return nullptr;
  }
  XSetErrorHandler(logError);
  XSetIOErrorHandler(logIOError);
  XrmInitialize();
  return display;
}

void close(void* display) { XCloseDisplay(static_cast<Display*>(display)); }

int connectionFd(void* display) { return ConnectionNumber(static_cast<Display*>(display)); }

bool pending(void* display) { return XPending(static_cast<Display*>(display)) > 0; }

void flush(void* display) { XFlush(static_cast<Display*>(display)); }

size_t dispatchPending(void* display) {
  auto* d = static_cast<Display*>(display);
  size_t n = 0;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    dispatchEvent(d, &event);
    ++n;
  }
  return n;
}

double xftDpi(void* display) {
  const char* resources = XResourceManagerString(static_cast<Display*>(display));
  if (!resources) return 0;
  XrmDatabase db = XrmGetStringDatabase(resources);
  if (!db) return 0;
  double dpi = 0;
  char* type = nullptr;
  XrmValue value;
  if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
    dpi = std::strtod(value.addr, nullptr);
  }
  XrmDestroyDatabase(db);
  return dpi > 0 ? dpi : 0;
}

uint32_t queryModifiers(void* display) {
  auto* d = static_cast<Display*>(display);
  ::Window root, child;
  int rx, ry, wx, wy;
  unsigned int mask = 0;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
  return modifiersFromState(mask);
}

uint64_t errorCount() { return gErrors.load(); }
uint64_t foreignThreadCalls() { return gForeign.load(); }

void noteForeignThreadCall(const char* what) {
  gForeign.fetch_add(1);
  std::fprintf(stderr, "vxui: %s called off the display thread (refused)\n", what);
  std::fflush(stderr);
}

}  // namespace ui::x11
